// The program's title: the main window's caption and every message box's.
#pragma once

namespace portquell {

inline constexpr const char* kProgramTitle = "Portquell";

}  // namespace portquell
