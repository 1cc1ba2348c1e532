#include "support/ansi_text.h"

#include <windows.h>

#include <climits>

namespace portquell {

std::u16string DecodeAnsi(const std::string& text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return std::u16string(text.size(), u'\uFFFD');
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units) != units) {
        return std::u16string(text.size(), u'\uFFFD');
    }
    return std::u16string(wide.begin(), wide.end());
}

}  // namespace portquell
