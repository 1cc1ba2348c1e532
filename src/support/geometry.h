// Positions and sizes in twips (1/1440 inch; 15 twips per pixel at 96 DPI).
#pragma once

#include <cstdint>

namespace portquell {

struct Size {
    std::int32_t width;
    std::int32_t height;
};

struct Rect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t width;
    std::int32_t height;
};

}  // namespace portquell
