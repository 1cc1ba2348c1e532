// Registry types as people read them.
#pragma once

#include <cstdint>
#include <string>

namespace portquell {

// "HKLM", "HKCU", "HKCR", "HKU" or "HKCC"; "HKLM" for any other handle.
[[nodiscard]] const char* RootName(std::int32_t root);

// "REG_SZ", "REG_DWORD", ... or "type 99".
[[nodiscard]] std::string TypeName(std::uint32_t type);

}  // namespace portquell
