// Reading a report back: a strict JSON reader for the report's own form
// and its fields checked one by one. A report is untrusted input: a newer
// format, a wrong type, a huge or broken document is refused with the
// place and the reason, never half read.
#pragma once

#include <string>

#include "cli/machine_report.h"

namespace portquell {

// The largest report read, and the deepest nesting.
inline constexpr std::size_t kMaxReportBytes = 64u << 20;
inline constexpr int kMaxReportDepth = 16;

// Fills report from text; false with why ("registry[3].values[0].type: a
// number from 0 to 4294967295 expected") when it is no report this
// program can read.
[[nodiscard]] bool ReadReport(const std::string& text, MachineReport& report, std::string& why);

}  // namespace portquell
