#include "support/s_modMiscStd.h"

#include <limits>

#include "support/app_error.h"

namespace portquell {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::int32_t StrToLong(const std::string& text) noexcept {
    std::size_t pos = 0;
    const std::size_t end = text.size();
    while (pos < end && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < end && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t firstDigit = pos;
    // Accumulate as a negative number so that -2147483648 fits.
    std::int64_t magnitude = 0;
    while (pos < end && text[pos] >= '0' && text[pos] <= '9') {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > 2147483648LL) return 0;
        ++pos;
    }
    if (pos == firstDigit) return 0;
    while (pos < end && IsBlank(text[pos])) ++pos;
    if (pos != end) return 0;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<std::int32_t>(value);
}

std::string LongToByteString(std::int32_t value) {
    std::vector<std::uint8_t> buffer(5, 0);
    CopyLongToBytes(value, buffer, 0);
    return std::string(buffer.begin(), buffer.begin() + 4);
}

void CopyLongToBytes(std::int32_t value, std::vector<std::uint8_t>& bytes, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) + 4 > bytes.size()) {
        throw SubscriptOutOfRangeError();
    }
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(index) + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

void CenterForm(CenterableForm& form) {
    const Size screen = form.ScreenSize();
    const Rect outer = form.OuterRect();
    form.MoveOuter(screen.width / 2 - outer.width / 2, screen.height / 2 - outer.height / 2);
}

}  // namespace portquell
