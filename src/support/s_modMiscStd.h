// Small conversions shared by the registry handler and the port switch,
// and the centring of a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/geometry.h"

namespace portquell {

// What CenterForm needs of a window, in twips.
class CenterableForm {
public:
    virtual ~CenterableForm() = default;
    [[nodiscard]] virtual Size ScreenSize() const = 0;
    // Position and size of the window, title bar and borders included.
    [[nodiscard]] virtual Rect OuterRect() const = 0;
    virtual void MoveOuter(std::int32_t left, std::int32_t top) = 0;
};

// Decimal text to a signed 32-bit number: optional sign, blanks around the
// digits allowed. Anything else (letters, fractions, out of range, only
// blanks, empty) gives 0; the caller cannot tell that from "0".
[[nodiscard]] std::int32_t StrToLong(const std::string& text) noexcept;

// The four bytes of a 32-bit value, least significant first, one character
// per byte: -1 gives "\xFF\xFF\xFF\xFF".
[[nodiscard]] std::string LongToByteString(std::int32_t value);

// Copies the four bytes of value (least significant first) into bytes at
// index..index+3. Raises error 9 and changes nothing unless all four
// elements exist.
void CopyLongToBytes(std::int32_t value, std::vector<std::uint8_t>& bytes, std::int32_t index);

// Places the window in the middle of the whole screen at its current size.
void CenterForm(CenterableForm& form);

}  // namespace portquell
