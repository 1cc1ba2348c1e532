// The main window's design, in twips (1/1440 inch; 15 twips per pixel at
// 96 DPI): one source for the real window, the layout fit, the fake window
// of the tests and the end-to-end test. Box positions are relative to the
// frame, everything else to the client area.
#pragma once

#include <cstdint>

#include "app/main_window.h"

namespace portquell::design {

inline constexpr char kWindowClass[] = "PortquellMainWindow";

inline constexpr std::int32_t kClientWidth = 3630;
inline constexpr std::int32_t kClientHeight = 2640;
inline constexpr Rect kFrame{120, 60, 3375, 2115};
inline constexpr Rect kBox{180, 300, 3075, 195};  // element 0 of chkPort
inline constexpr Rect kClose{2340, 2280, 1155, 315};
inline constexpr Rect kAbout{120, 2280, 1155, 315};
// The guard's box, under the frame when shown: a port box's size, at its
// left; the buttons move down by its row.
inline constexpr Rect kGuard{300, 2225, 3075, 195};
inline constexpr char kGuardCaption[] = "Keep serial mice off every port, also ports added later";

// Between two boxes; one box and its gap is the step of the list.
inline constexpr std::int32_t kBoxSpacing = 50;
inline constexpr std::int32_t kBoxStep = kBox.height + kBoxSpacing;
// Below the last box inside a fitted frame.
inline constexpr std::int32_t kFrameBottomMargin = 200;
// Between a fitted frame and the buttons (the design itself has 105).
inline constexpr std::int32_t kButtonGap = 50;
// The fit's allowance for title bar and borders below the buttons' bottom.
inline constexpr std::int32_t kBelowButtons = 500;
// The design's own margin between the buttons' bottom and the client
// area's (2640 - 2595): a fitted window never gives less.
inline constexpr std::int32_t kButtonMargin = kClientHeight - (kClose.top + kClose.height);
// From this many ports on the list no longer fits the design's frame and
// the frame grows instead.
inline constexpr std::int32_t kFirstGrowingCount = 8;

// A frame whose list scrolls: room above the first box (where it stands
// in the design) and below the last one, and the scroll bar's inset from
// the frame's right edge and from the first box's top.
inline constexpr std::int32_t kScrollTopMargin = kBox.top;
inline constexpr std::int32_t kScrollBottomMargin = 100;
inline constexpr std::int32_t kScrollBarInset = 60;

// Control IDs; box k has kIdFirstBox + k.
inline constexpr int kIdFrame = 100;
inline constexpr int kIdClose = 101;
inline constexpr int kIdAbout = 102;
inline constexpr int kIdFrameScroll = 103;
inline constexpr int kIdGuard = 104;
inline constexpr int kIdFirstBox = 1000;

// The dialog font of the controls.
inline constexpr char kFontFace[] = "MS Shell Dlg 2";
inline constexpr int kFontPoints = 8;

}  // namespace portquell::design
