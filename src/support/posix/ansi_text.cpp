#include "support/ansi_text.h"

namespace portquell {

namespace {

// Windows-1252's 0x80 to 0x9F; 0 where it defines no character. Every
// other byte is the Latin-1 character of the same number.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

std::u16string DecodeAnsi(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c < 0xA0) {
            const char16_t mapped = kHighControls[c - 0x80];
            out.push_back(mapped != 0 ? mapped : u'\uFFFD');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace portquell
