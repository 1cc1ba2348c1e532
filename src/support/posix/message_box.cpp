#include "support/message_box.h"

#include <cstdio>

#include "support/program_title.h"

namespace portquell {

// Systems without the window system: the message goes to standard error.
void ShowMessageBox(void*, const std::string& text, MessageIcon icon) {
    std::fprintf(stderr, "%s%s: %s\n", kProgramTitle, icon == MessageIcon::Warning ? " (warning)" : "",
                 text.c_str());
}

// Without the window system no one can answer: No, which changes nothing.
bool AskYesNo(void*, const std::string& text) {
    std::fprintf(stderr, "%s: %s (answered No)\n", kProgramTitle, text.c_str());
    return false;
}

}  // namespace portquell
