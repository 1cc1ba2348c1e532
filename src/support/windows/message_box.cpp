#include "support/message_box.h"

#include <windows.h>

#include "support/program_title.h"

namespace portquell {

void ShowMessageBox(void* owner, const std::string& text, MessageIcon icon) {
    UINT style = MB_OK | MB_SETFOREGROUND;
    if (icon == MessageIcon::Warning) style |= MB_ICONEXCLAMATION;
    // Without an owner the box must still block the whole program.
    if (owner == nullptr) style |= MB_TASKMODAL;
    MessageBoxA(static_cast<HWND>(owner), text.c_str(), kProgramTitle, style);
}

bool AskYesNo(void* owner, const std::string& text) {
    UINT style = MB_YESNO | MB_DEFBUTTON1 | MB_ICONQUESTION | MB_SETFOREGROUND;
    if (owner == nullptr) style |= MB_TASKMODAL;
    return MessageBoxA(static_cast<HWND>(owner), text.c_str(), kProgramTitle, style) == IDYES;
}

}  // namespace portquell
