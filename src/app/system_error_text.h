// The system's own description of a Win32 status code, as FormatMessage
// gives it, without the line break at its end; "" where the system has
// none (and on systems without Win32 messages).
#pragma once

#include <cstdint>
#include <string>

namespace portquell {

[[nodiscard]] std::string SystemErrorText(std::int32_t status);

// "status 5: Access is denied.", or "status N" where the system has no
// description.
[[nodiscard]] inline std::string StatusInWords(std::int32_t status) {
    const std::string description = SystemErrorText(status);
    return "status " + std::to_string(status) + (description.empty() ? "" : ": " + description);
}

}  // namespace portquell
