// Text read from outside (registry names and data, device properties) as
// it may be shown: on the console, in a message, in the event log.
#pragma once

#include <string>

namespace portquell {

// A name in the system's language as the console shows it: the characters
// ANSI text means, as UTF-8 (the console writer turns it into what the
// console or a redirected file takes); control characters, line and
// paragraph separators and bidirectional overrides as \xHH or \uXXXX, so
// that nothing read can move the cursor or reorder a line.
[[nodiscard]] std::string DisplayText(const std::string& text);

}  // namespace portquell
