// A registry held in memory that answers as Windows does wherever the
// handler can tell: predefined roots, case-insensitive names that keep
// their case, handles with access rights, Win32 status codes, sub-keys
// enumerated in case-insensitive name order, values in creation order.
// Every build has it: it is the registry of the native tests and of
// systems without one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/registry_api.h"

namespace portquell {

class MemoryRegistry final : public RegistryApi {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    RegStatus OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegHandle* result) override;
    RegStatus CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access, bool inheritHandle, RegHandle* result,
                          std::uint32_t* disposition) override;
    RegStatus QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type,
                           std::uint8_t* data, std::uint32_t* size) override;
    RegStatus SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                         const std::uint8_t* data, std::uint32_t size) override;
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char* name,
                      std::uint32_t nameSize) override;
    RegStatus EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* dataSize) override;
    RegStatus CloseKey(RegHandle key) override;
    RegStatus DeleteValue(RegHandle key, const std::string& name) override;
    RegStatus DeleteKey(RegHandle key, const std::string& subKey) override;

    // RegDeleteTreeA of root\subKey (not part of what the handler uses;
    // tests remove keys with it). Handles still open on a removed key
    // answer 1018, as Windows does.
    [[nodiscard]] RegStatus DeleteTree(RegHandle root, const std::string& subKey);

    // Number of handles given out and not yet closed (roots excluded).
    [[nodiscard]] std::size_t OpenHandleCount() const { return handles_.size() - kRootCount; }

private:
    struct Key;
    struct Handle {
        std::shared_ptr<Key> key;
        std::uint32_t access;
    };
    struct LookupResult {
        RegStatus status;
        Handle* handle;
    };

    LookupResult Lookup(RegHandle key);
    // root\subKey removed, with its sub-keys or only when it has none.
    RegStatus Remove(RegHandle root, const std::string& subKey, bool withSubKeys);
    RegHandle NewHandle(std::shared_ptr<Key> key, std::uint32_t access);

    static constexpr std::size_t kRootCount = 5;
    std::map<RegHandle, Handle> handles_;
    RegHandle nextHandle_ = 0x100;
};

}  // namespace portquell
