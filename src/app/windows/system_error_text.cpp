#include "app/system_error_text.h"

#include <windows.h>

namespace portquell {

std::string SystemErrorText(std::int32_t status) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text =
        length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
    if (buffer != nullptr)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace portquell
