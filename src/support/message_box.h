// The program's one way to show a message box: modal, titled "Portquell",
// an OK button only, with or without the warning icon.
#pragma once

#include <string>


namespace portquell {

enum class MessageIcon { None, Warning };

}  // namespace portquell

namespace portquell {

// owner is the window the box belongs to (a native window handle), or
// null before the main window exists.
void ShowMessageBox(void* owner, const std::string& text, MessageIcon icon);

// The same box with Yes and No buttons, Yes the default (Enter), No on
// Escape; true when the answer is Yes.
[[nodiscard]] bool AskYesNo(void* owner, const std::string& text);

}  // namespace portquell
