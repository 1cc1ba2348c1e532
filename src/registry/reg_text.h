// Registry types as people read them.
#pragma once

#include <cstdint>
#include <string>

namespace portquell {

// "REG_SZ", "REG_DWORD", ... or "type 99".
[[nodiscard]] std::string TypeName(std::uint32_t type);

}  // namespace portquell
