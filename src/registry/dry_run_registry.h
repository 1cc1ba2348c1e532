// A registry that takes writes without passing them on: it answers as the
// registry under it would after them, and keeps them, in order, as the
// plan of what a command would change. A preview runs the command itself
// against it, so that what the preview names is what the command writes.
// It reads a key of the registry under it the first time the key is
// opened (its values and the names of its sub-keys) and never writes to
// it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "registry/memory_registry.h"
#include "registry/registry_api.h"

namespace portquell {

// One change a command made (or, in a preview, would make).
struct RegWrite {
    enum class Kind { CreateKey, SetValue, DeleteValue, DeleteKey };
    Kind kind = Kind::SetValue;
    RegHandle root = regroot::kLocalMachine;
    std::string key;   // below the root
    std::string name;  // SetValue, DeleteValue
    std::uint32_t type = regtype::kNone;  // SetValue
    std::string data;  // SetValue: one character per byte
};

// A key as it was read from the registry underneath, the first time it
// was opened: its sub-keys' names and its values in the registry's order,
// or the status that refused reading it.
struct KeyRead {
    struct Value {
        std::string name;
        std::uint32_t type = regtype::kNone;
        std::string data;  // one character per byte
    };
    RegHandle root = regroot::kLocalMachine;
    std::string path;  // below the root; "" the root itself
    RegStatus status = regstatus::kSuccess;
    std::vector<std::string> subKeys;
    std::vector<Value> values;
};

class DryRunRegistry final : public RegistryApi {
public:
    // base must outlive it.
    explicit DryRunRegistry(RegistryApi& base) : base_(base) {}

    RegStatus OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegHandle* result) override;
    RegStatus CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access, bool inheritHandle, RegHandle* result,
                          std::uint32_t* disposition) override;
    RegStatus QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type,
                           std::uint8_t* data, std::uint32_t* size) override;
    RegStatus SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                         const std::uint8_t* data, std::uint32_t size) override;
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
    RegStatus EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
    RegStatus CloseKey(RegHandle key) override;
    RegStatus DeleteValue(RegHandle key, const std::string& name) override;
    RegStatus DeleteKey(RegHandle key, const std::string& subKey) override;

    // Every change taken, in order.
    [[nodiscard]] const std::vector<RegWrite>& Writes() const { return writes_; }
    // Every key read from the registry underneath (or refused), in order.
    [[nodiscard]] const std::vector<KeyRead>& Reads() const { return reads_; }
    // Of those, what made a difference to the commands run on it: each value
    // they read (or every value of a key whose values they listed), each
    // key refused, and the keys above them, each naming only the sub-keys
    // kept. Keys with nothing read in them (a device that is no port) are
    // left out: the commands find nothing there either way.
    [[nodiscard]] std::vector<KeyRead> Used() const;

private:
    struct Place {
        RegHandle root = 0;
        std::vector<std::string> names;  // the key's path, name by name
        [[nodiscard]] std::string Path() const;
    };
    // Where subKey of key is, when key is a root or a handle it gave out;
    // false for a path the registry would refuse (then nothing is read).
    bool Locate(RegHandle key, const std::string& subKey, Place& place) const;
    // Reads each key of place's path not read yet from the registry under
    // it, from the root down; the status of a read it refused.
    RegStatus Load(const Place& place);
    // The key of a root or of a handle it gave out.
    [[nodiscard]] Place PlaceOf(RegHandle key) const;
    RegStatus LoadKey(RegHandle root, const std::string& path);
    void Opened(RegStatus status, const Place& place, const RegHandle* result);

    RegistryApi& base_;
    MemoryRegistry shadow_;           // the registry as it would be
    std::set<std::string> loaded_;    // keys read from base_, by root and path in upper case
    std::map<RegHandle, Place> handles_;
    std::vector<RegWrite> writes_;
    std::vector<KeyRead> reads_;
    std::map<std::string, std::set<std::string>> valuesRead_;  // by key, upper-case names
    std::set<std::string> valuesListed_;                       // keys whose values were listed
};

}  // namespace portquell
