// Registry text is 8-bit text in the system's ANSI code page; what a name
// means is its characters. On Windows the code page is the system's; on
// other systems, which have none, it is Windows-1252, the code page of
// western Windows installations.
#pragma once

#include <string>

namespace portquell {

// The UTF-16 code units of ANSI text, one or more per character; a byte
// the code page does not define becomes U+FFFD.
[[nodiscard]] std::u16string DecodeAnsi(const std::string& text);

}  // namespace portquell
