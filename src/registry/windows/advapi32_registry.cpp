#include "registry/windows/advapi32_registry.h"

#include <windows.h>

namespace portquell {

namespace {

// Handles travel as signed 32-bit numbers; sign extension restores the
// predefined roots (HKEY_LOCAL_MACHINE is (HKEY)(LONG)0x80000002).
HKEY ToHkey(RegHandle h) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(h)); }

// Kernel handle values fit in 32 bits on every 64-bit Windows (that is
// what lets 32- and 64-bit processes share them); a value that did not
// would be closed and reported as an invalid handle rather than truncated.
RegStatus FromHkey(HKEY h, RegHandle* result) {
    const auto value = reinterpret_cast<LONG_PTR>(h);
    if (value != static_cast<LONG_PTR>(static_cast<RegHandle>(value))) {
        RegCloseKey(h);
        *result = 0;
        return regstatus::kInvalidHandle;
    }
    *result = static_cast<RegHandle>(value);
    return regstatus::kSuccess;
}

}  // namespace

RegStatus Advapi32Registry::OpenKeyEx(RegHandle root, const std::string& subKey,
                                      std::uint32_t options, std::uint32_t access,
                                      RegHandle* result) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(ToHkey(root), subKey.c_str(), options, access, &opened);
    *result = 0;
    if (status != ERROR_SUCCESS) return status;
    return FromHkey(opened, result);
}

RegStatus Advapi32Registry::CreateKeyEx(RegHandle root, const std::string& subKey,
                                        std::uint32_t options, std::uint32_t access,
                                        bool inheritHandle, RegHandle* result,
                                        std::uint32_t* disposition) {
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof(security);
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = inheritHandle ? TRUE : FALSE;
    HKEY created = nullptr;
    DWORD how = disposition != nullptr ? *disposition : 0;
    const LONG status = RegCreateKeyExA(ToHkey(root), subKey.c_str(), 0, nullptr, options, access,
                                        &security, &created, &how);
    if (disposition != nullptr) *disposition = how;
    *result = 0;
    if (status != ERROR_SUCCESS) return status;
    return FromHkey(created, result);
}

RegStatus Advapi32Registry::QueryValueEx(RegHandle key, const std::string& name,
                                         std::uint32_t* type, std::uint8_t* data,
                                         std::uint32_t* size) {
    DWORD t = type != nullptr ? *type : 0;
    DWORD s = size != nullptr ? *size : 0;
    const LONG status = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &t, data,
                                         size != nullptr ? &s : nullptr);
    if (type != nullptr) *type = t;
    if (size != nullptr) *size = s;
    return status;
}

RegStatus Advapi32Registry::SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                                       const std::uint8_t* data, std::uint32_t size) {
    return RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size);
}

RegStatus Advapi32Registry::EnumKey(RegHandle key, std::uint32_t index, char* name,
                                    std::uint32_t nameSize) {
    return RegEnumKeyA(ToHkey(key), index, name, nameSize);
}

RegStatus Advapi32Registry::EnumValue(RegHandle key, std::uint32_t index, char* name,
                                      std::uint32_t* nameSize, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* dataSize) {
    DWORD n = *nameSize;
    DWORD t = 0;
    DWORD d = dataSize != nullptr ? *dataSize : 0;
    const LONG status = RegEnumValueA(ToHkey(key), index, name, &n, nullptr,
                                      type != nullptr ? &t : nullptr, data,
                                      dataSize != nullptr ? &d : nullptr);
    *nameSize = n;
    if (type != nullptr) *type = t;
    if (dataSize != nullptr) *dataSize = d;
    return status;
}

RegStatus Advapi32Registry::CloseKey(RegHandle key) { return RegCloseKey(ToHkey(key)); }

RegStatus Advapi32Registry::DeleteValue(RegHandle key, const std::string& name) {
    return RegDeleteValueA(ToHkey(key), name.c_str());
}

RegStatus Advapi32Registry::DeleteKey(RegHandle key, const std::string& subKey) {
    return RegDeleteKeyA(ToHkey(key), subKey.c_str());
}

RegistryApi& PlatformRegistry() {
    static Advapi32Registry registry;  // stateless: it only forwards calls
    return registry;
}

}  // namespace portquell
