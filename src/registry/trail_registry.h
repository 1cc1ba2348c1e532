// A registry that passes every call on and keeps each change it was asked
// to make: the key, the value, what it held before and after (each read
// through the registry under it) and the status, refused ones too. What a
// run changed is reported from it, whichever command or window made it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "registry/dry_run_registry.h"
#include "registry/registry_api.h"

namespace portquell {

// A value as read: its type and bytes; none where there was no value.
struct TrailValue {
    std::uint32_t type = regtype::kNone;
    std::string data;  // one character per byte
    bool operator==(const TrailValue& other) const { return type == other.type && data == other.data; }
};

struct RegChange {
    RegWrite write;  // what was asked (key and name; the type and data of a SetValue)
    RegStatus status = regstatus::kSuccess;
    // SetValue and DeleteValue: the value before and after the call;
    // CreateKey and DeleteKey: whether the key was there.
    std::optional<TrailValue> before;
    std::optional<TrailValue> after;
    bool existedBefore = false;
    bool existsAfter = false;
    // SetValue and DeleteValue: the values named to the trail, read from the
    // same key (a port's PortName, to name the port).
    std::vector<std::pair<std::string, TrailValue>> beside;
};

class TrailRegistry final : public RegistryApi {
public:
    // base must outlive it. besideNames: values read beside each changed
    // one, to name its key.
    explicit TrailRegistry(RegistryApi& base, std::vector<std::string> besideNames = {})
        : base_(base), besideNames_(std::move(besideNames)) {}

    RegStatus OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegHandle* result) override;
    RegStatus CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access, bool inheritHandle, RegHandle* result,
                          std::uint32_t* disposition) override;
    RegStatus QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type,
                           std::uint8_t* data, std::uint32_t* size) override {
        return base_.QueryValueEx(key, name, type, data, size);
    }
    RegStatus SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                         const std::uint8_t* data, std::uint32_t size) override;
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char* name, std::uint32_t nameSize) override {
        return base_.EnumKey(key, index, name, nameSize);
    }
    RegStatus EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override {
        return base_.EnumValue(key, index, name, nameSize, type, data, dataSize);
    }
    RegStatus CloseKey(RegHandle key) override;
    RegStatus DeleteValue(RegHandle key, const std::string& name) override;
    RegStatus DeleteKey(RegHandle key, const std::string& subKey) override;

    // Every change asked for, in order.
    [[nodiscard]] const std::vector<RegChange>& Changes() const { return changes_; }

private:
    struct Place {
        RegHandle root = 0;
        std::string path;
    };
    // Where key\subKey is, for a root or a handle it gave out.
    [[nodiscard]] std::optional<Place> PlaceOf(RegHandle key, const std::string& subKey) const;
    // A value as it is now: through key where it lets it be read, else
    // through a key of its own.
    [[nodiscard]] std::optional<TrailValue> ReadValue(RegHandle key, const Place& place, const std::string& name);
    [[nodiscard]] static std::optional<TrailValue> ReadThrough(RegistryApi& registry, RegHandle key,
                                                                const std::string& name, RegStatus& status);
    [[nodiscard]] bool KeyExists(const Place& place);
    void Beside(RegHandle key, RegChange& change);
    RegChange& Record(RegWrite::Kind kind, const Place& place, const std::string& name);

    RegistryApi& base_;
    std::vector<std::string> besideNames_;
    std::map<RegHandle, Place> handles_;
    std::vector<RegChange> changes_;
};

}  // namespace portquell
