#include "app/system_error_text.h"

namespace portquell {

// Without Win32 there are no system messages for its status codes.
std::string SystemErrorText(std::int32_t) { return ""; }

}  // namespace portquell
