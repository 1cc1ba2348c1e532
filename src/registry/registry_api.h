// The registry as the handler sees it: the nine ANSI functions it calls,
// with their Win32 status codes, and nothing Windows-specific in the types.
// Two implementations stand behind it: advapi32 on Windows and an
// in-memory registry that every build has.
#pragma once

#include <cstdint>
#include <string>

namespace portquell {

// A key handle as the program keeps it: a signed 32-bit number (Windows
// guarantees that handles fit in 32 bits, and the predefined roots are
// the sign-extended values below). 0 means no handle.
using RegHandle = std::int32_t;
using RegStatus = std::int32_t;

namespace regroot {
inline constexpr RegHandle kClassesRoot = static_cast<RegHandle>(0x80000000u);
inline constexpr RegHandle kCurrentUser = static_cast<RegHandle>(0x80000001u);
inline constexpr RegHandle kLocalMachine = static_cast<RegHandle>(0x80000002u);
inline constexpr RegHandle kUsers = static_cast<RegHandle>(0x80000003u);
inline constexpr RegHandle kCurrentConfig = static_cast<RegHandle>(0x80000005u);
}  // namespace regroot

namespace regstatus {
inline constexpr RegStatus kSuccess = 0;
inline constexpr RegStatus kFileNotFound = 2;
inline constexpr RegStatus kAccessDenied = 5;
inline constexpr RegStatus kInvalidHandle = 6;
inline constexpr RegStatus kInvalidParameter = 87;
inline constexpr RegStatus kMoreData = 234;
inline constexpr RegStatus kNoMoreItems = 259;
}  // namespace regstatus

namespace regaccess {
inline constexpr std::uint32_t kQueryValue = 0x0001;
inline constexpr std::uint32_t kSetValue = 0x0002;
inline constexpr std::uint32_t kCreateSubKey = 0x0004;
inline constexpr std::uint32_t kEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kNotify = 0x0010;
inline constexpr std::uint32_t kCreateLink = 0x0020;
inline constexpr std::uint32_t kReadControl = 0x00020000;
inline constexpr std::uint32_t kAllAccess = 0x000F003F;
// Query and enumerate, without change notification (KEY_READ is 0x20019).
inline constexpr std::uint32_t kQueryAndEnumerate = 0x00020009;
}  // namespace regaccess

namespace regdisposition {
inline constexpr std::uint32_t kCreatedNewKey = 1;
inline constexpr std::uint32_t kOpenedExistingKey = 2;
}  // namespace regdisposition

namespace regtype {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kDwordBigEndian = 5;
inline constexpr std::uint32_t kLink = 6;
inline constexpr std::uint32_t kMultiSz = 7;
inline constexpr std::uint32_t kResourceList = 8;
inline constexpr std::uint32_t kFullResourceDescriptor = 9;
inline constexpr std::uint32_t kResourceRequirementsList = 10;
inline constexpr std::uint32_t kQword = 11;
}  // namespace regtype

// Longest value name the registry allows, in characters, without the NUL.
inline constexpr std::uint32_t kMaxValueNameChars = 16383;

class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    // RegOpenKeyExA: opens root\subKey with the given access.
    [[nodiscard]] virtual RegStatus OpenKeyEx(RegHandle root, const std::string& subKey,
                                              std::uint32_t options, std::uint32_t access,
                                              RegHandle* result) = 0;

    // RegCreateKeyExA: opens root\subKey, creating every missing key of the
    // path; disposition receives kCreatedNewKey or kOpenedExistingKey.
    [[nodiscard]] virtual RegStatus CreateKeyEx(RegHandle root, const std::string& subKey,
                                                std::uint32_t options, std::uint32_t access,
                                                bool inheritHandle, RegHandle* result,
                                                std::uint32_t* disposition) = 0;

    // RegQueryValueExA: with data null only type and size are returned; with
    // a buffer too small the status is kMoreData and size the needed size.
    [[nodiscard]] virtual RegStatus QueryValueEx(RegHandle key, const std::string& name,
                                                 std::uint32_t* type, std::uint8_t* data,
                                                 std::uint32_t* size) = 0;

    // RegSetValueExA: creates or replaces the value, whatever its old type.
    [[nodiscard]] virtual RegStatus SetValueEx(RegHandle key, const std::string& name,
                                               std::uint32_t type, const std::uint8_t* data,
                                               std::uint32_t size) = 0;

    // RegEnumKeyA: the index-th sub-key name, NUL-terminated, into name.
    [[nodiscard]] virtual RegStatus EnumKey(RegHandle key, std::uint32_t index, char* name,
                                            std::uint32_t nameSize) = 0;

    // RegEnumValueA: the index-th value. nameSize is in characters and
    // includes the NUL on entry, excludes it on return. type, data and
    // dataSize may be null.
    [[nodiscard]] virtual RegStatus EnumValue(RegHandle key, std::uint32_t index, char* name,
                                              std::uint32_t* nameSize, std::uint32_t* type,
                                              std::uint8_t* data, std::uint32_t* dataSize) = 0;

    // RegCloseKey.
    [[nodiscard]] virtual RegStatus CloseKey(RegHandle key) = 0;

    // RegDeleteValueA: removes the value (the key needs kSetValue access);
    // kFileNotFound when there is none.
    [[nodiscard]] virtual RegStatus DeleteValue(RegHandle key, const std::string& name) = 0;

    // RegDeleteKeyA: removes key\subKey, which must have no sub-keys of its
    // own (kAccessDenied otherwise); its values go with it.
    [[nodiscard]] virtual RegStatus DeleteKey(RegHandle key, const std::string& subKey) = 0;
};

// The registry of the system the program runs on: advapi32 on Windows; on
// other systems, which have no registry, one in-memory registry per process.
[[nodiscard]] RegistryApi& PlatformRegistry();

}  // namespace portquell
