#include "app/windows/frmMain.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "app/frmMain_events.h"
#include "app/window_design.h"
#include "app/windows/resource.h"
#include "support/message_box.h"

namespace portquell {

namespace {

// Not WS_CLIPCHILDREN: the frame paints only its border and caption, and
// the window's background must show through it.
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

using namespace design;

constexpr char kButton[] = "BUTTON";

}  // namespace

frmMain::frmMain(HINSTANCE instance, RegistryApi& registry, DeviceApi& devices)
    : instance_(instance), registry_(registry), devices_(devices) {}

frmMain::~frmMain() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (font_ != nullptr) DeleteObject(font_);
}

void frmMain::Load() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &frmMain::WindowProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    wc.hIcon = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_PORTQUELL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_PORTQUELL),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    RegisterClassExA(&wc);

    hwnd_ = CreateWindowExA(kWindowExStyle, kWindowClass, kProgramTitle, kWindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) throw std::runtime_error("the main window could not be created");
    dpi_ = GetDpiForWindow(hwnd_);

    // The design's client area, whatever the frame around it measures.
    RECT outer{0, 0, Px(kClientWidth), Px(kClientHeight)};
    AdjustWindowRectExForDpi(&outer, kWindowStyle, FALSE, kWindowExStyle, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    outerHeight_ = Twips(outer.bottom - outer.top);

    // Created in tab order: frame, first box, Close, About.
    frame_.hwnd = CreateControl(kButton, "Disable serial mouse detection on",
                                BS_GROUPBOX | WS_VISIBLE, kIdFrame);
    frame_.twips = kFrame;
    Element box;
    box.hwnd = CreateControl(kButton, "COMx", BS_AUTOCHECKBOX | BS_NOTIFY | WS_TABSTOP,
                             kIdFirstBox);
    box.twips = kBox;
    box.visible = false;
    boxes_.push_back(box);
    // The guard's box after the port boxes in tab order (each new box goes
    // in after the one before it), before Close.
    guard_.hwnd = CreateControl(kButton, kGuardCaption, BS_AUTOCHECKBOX | BS_NOTIFY | WS_TABSTOP, kIdGuard);
    guard_.twips = kGuard;
    guard_.visible = false;
    close_.hwnd = CreateControl(kButton, "Close", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE,
                                kIdClose);
    close_.twips = kClose;
    about_.hwnd = CreateControl(kButton, "About...",
                                BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, kIdAbout);
    about_.twips = kAbout;
    ApplyFont();
    PlaceAll();
    Form_Load(*this);
}

HWND frmMain::CreateControl(const char* windowClass, const char* text, DWORD style, int id) {
    return CreateWindowExA(0, windowClass, text, WS_CHILD | style, 0, 0, 0, 0, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
}

void frmMain::ApplyFont() {
    // The classic dialog font at 8 points, for the window's DPI.
    HFONT font = CreateFontA(-MulDiv(kFontPoints, static_cast<int>(dpi_), 72), 0, 0, 0, FW_NORMAL,
                             FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, kFontFace);
    for (HWND control : {frame_.hwnd, close_.hwnd, about_.hwnd, guard_.hwnd, scrollBar_}) {
        if (control != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    for (const Element& box : boxes_) {
        SendMessageA(box.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
}

void frmMain::Place(const Element& element, bool inFrame) const {
    std::int32_t left = element.twips.left;
    std::int32_t top = element.twips.top;
    if (inFrame) {
        left += frame_.twips.left;
        top += frame_.twips.top - scrollPosition_;
    }
    // Edges are converted, not sizes, so neighbours never gain or lose a
    // pixel between them.
    const int x = Px(left);
    const int y = Px(top);
    SetWindowPos(element.hwnd, nullptr, x, y, Px(left + element.twips.width) - x,
                 Px(top + element.twips.height) - y, SWP_NOZORDER | SWP_NOACTIVATE);
    bool show = element.visible;
    if (inFrame && scrollExtent_ > 0) {
        // In a scrolling frame only the boxes wholly inside it are shown.
        const std::int32_t shownTop = element.twips.top - scrollPosition_;
        show = show && shownTop >= kScrollTopMargin - kBoxStep / 2 &&
               shownTop + element.twips.height <= frame_.twips.height - kScrollBottomMargin;
    }
    ShowWindow(element.hwnd, show ? SW_SHOWNA : SW_HIDE);
}

void frmMain::PlaceAll() {
    Place(frame_, false);
    Place(close_, false);
    Place(about_, false);
    Place(guard_, false);
    for (const Element& box : boxes_) Place(box, true);
    UpdateScrollBar();
}

void frmMain::Show() {
    ShowWindow(hwnd_, SW_SHOW);
    // Focus rectangles and access keys shown from the start: the keyboard
    // may be all the user has.
    SendMessageA(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    RestoreFocus();
    UpdateWindow(hwnd_);
}

void frmMain::RestoreFocus() {
    HWND target = focus_;
    if (target == nullptr || !IsWindow(target) || !IsWindowVisible(target) || !IsWindowEnabled(target)) {
        target = !boxes_.empty() && boxes_[0].visible ? boxes_[0].hwnd : close_.hwnd;
    }
    SetFocus(target);
}

void frmMain::Unload() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

Size frmMain::ScreenSize() const {
    return Size{Twips(GetSystemMetrics(SM_CXSCREEN)), Twips(GetSystemMetrics(SM_CYSCREEN))};
}

Rect frmMain::WorkArea() const {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return Rect{Twips(area.left), Twips(area.top), Twips(area.right - area.left),
                Twips(area.bottom - area.top)};
}

Rect frmMain::OuterRect() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return Rect{Twips(r.left), Twips(r.top), Twips(r.right - r.left), outerHeight_};
}

void frmMain::MoveOuter(std::int32_t left, std::int32_t top) {
    SetWindowPos(hwnd_, nullptr, Px(left), Px(top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::int32_t frmMain::FrameHeight() const {
    RECT outer{};
    RECT client{};
    GetWindowRect(hwnd_, &outer);
    GetClientRect(hwnd_, &client);
    const int pixels = (outer.bottom - outer.top) - (client.bottom - client.top);
    const auto dpi = static_cast<std::int32_t>(dpi_);
    return (pixels * 1440 + dpi - 1) / dpi;
}

void frmMain::SetOuterHeight(std::int32_t height) {
    outerHeight_ = height;
    RECT r{};
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, Px(height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

frmMain::Element& frmMain::Fixed(Control control) {
    switch (control) {
        case Control::fraPorts:
            return frame_;
        case Control::cmdClose:
            return close_;
        case Control::chkGuard:
            return guard_;
        case Control::cmdAbout:
            break;
    }
    return about_;
}

const frmMain::Element& frmMain::Fixed(Control control) const {
    return const_cast<frmMain*>(this)->Fixed(control);
}

Rect frmMain::ControlRect(Control control) const { return Fixed(control).twips; }

void frmMain::SetControlTop(Control control, std::int32_t top) {
    Fixed(control).twips.top = top;
    Place(Fixed(control), false);
}

void frmMain::SetControlHeight(Control control, std::int32_t height) {
    Fixed(control).twips.height = height;
    if (control == Control::fraPorts) {
        PlaceAll();  // which boxes fit may have changed
    } else {
        Place(Fixed(control), false);
    }
}

std::int32_t frmMain::CaptionWidth(const std::string& caption) const {
    HDC dc = GetDC(hwnd_);
    if (dc == nullptr) return 0;
    const HGDIOBJ old = SelectObject(dc, font_);
    SIZE text{};
    const int length = static_cast<int>(std::min<std::size_t>(caption.size(), 4096));
    const BOOL measured = GetTextExtentPoint32A(dc, caption.data(), length, &text);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    if (!measured) return 0;
    // The check mark, the gap after it and a margin, as the box draws them.
    const int pixels = text.cx + GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi_) + MulDiv(8, static_cast<int>(dpi_), 96);
    return MulDiv(pixels, 1440, static_cast<int>(dpi_)) + 15;
}

void frmMain::Widen(std::int32_t extra) {
    if (extra <= 0) return;
    frame_.twips.width += extra;
    close_.twips.left += extra;
    guard_.twips.width += extra;
    for (Element& box : boxes_) box.twips.width += extra;
    // The design's margin right of the frame stays as it is.
    const std::int32_t clientWidth = frame_.twips.left + frame_.twips.width + (kClientWidth - (kFrame.left + kFrame.width));
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECT outer{0, 0, Px(clientWidth), client.bottom};
    AdjustWindowRectExForDpi(&outer, kWindowStyle, FALSE, kWindowExStyle, dpi_);
    RECT now{};
    GetWindowRect(hwnd_, &now);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, now.bottom - now.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceAll();
}

void frmMain::SetFrameScrollExtent(std::int32_t contentHeight) {
    scrollExtent_ = contentHeight;
    if (scrollExtent_ > 0 && scrollBar_ == nullptr) {
        scrollBar_ = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | SBS_VERT,
                                     0, 0, 0, 0, hwnd_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdFrameScroll)),
                                     instance_, nullptr);
        // After the last box in tab order.
        SetWindowPos(scrollBar_, boxes_.back().hwnd, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ScrollFrameTo(0);
}

void frmMain::UpdateScrollBar() {
    if (scrollBar_ == nullptr) return;
    ShowWindow(scrollBar_, scrollExtent_ > 0 ? SW_SHOWNA : SW_HIDE);
    if (scrollExtent_ <= 0) return;
    const int width = GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_);
    const std::int32_t top = frame_.twips.top + kScrollTopMargin - kScrollBarInset;
    const int x = Px(frame_.twips.left + frame_.twips.width - kScrollBarInset) - width;
    const int y = Px(top);
    SetWindowPos(scrollBar_, nullptr, x, y, width,
                 Px(frame_.twips.top + frame_.twips.height - kScrollBottomMargin) - y,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    info.nMax = scrollExtent_;
    info.nPage = static_cast<UINT>(std::max(1, frame_.twips.height));
    info.nPos = scrollPosition_;
    SetScrollInfo(scrollBar_, SB_CTL, &info, TRUE);
}

void frmMain::ScrollFrameTo(std::int32_t position) {
    const std::int32_t last = std::max(0, scrollExtent_ - frame_.twips.height);
    position = std::clamp(position, 0, last);
    scrollPosition_ = position - position % kBoxStep;
    if (position == last) scrollPosition_ = last;
    for (const Element& box : boxes_) Place(box, true);
    UpdateScrollBar();
}

std::int16_t frmMain::BoxCount() const { return static_cast<std::int16_t>(boxes_.size()); }

void frmMain::CreateBox(std::int16_t index) {
    Element box = boxes_.front();
    box.hwnd = CreateControl(kButton, "", BS_AUTOCHECKBOX | BS_NOTIFY | WS_TABSTOP,
                             kIdFirstBox + index);
    box.visible = false;
    box.tag.clear();
    // Tab order follows the list: right after the previous box.
    SetWindowPos(box.hwnd, boxes_.back().hwnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(box.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    boxes_.push_back(box);
    Place(boxes_.back(), true);
}

Rect frmMain::BoxRect(std::int16_t index) const { return boxes_.at(index).twips; }

void frmMain::SetBoxTop(std::int16_t index, std::int32_t top) {
    boxes_.at(index).twips.top = top;
    Place(boxes_.at(index), true);
}

void frmMain::SetBoxLeft(std::int16_t index, std::int32_t left) {
    boxes_.at(index).twips.left = left;
    Place(boxes_.at(index), true);
}

void frmMain::SetBoxVisible(std::int16_t index, bool visible) {
    boxes_.at(index).visible = visible;
    Place(boxes_.at(index), true);
}

void frmMain::SetBoxCaption(std::int16_t index, const std::string& caption) {
    boxes_.at(index).caption = caption;
    // A button takes '&' for the mark of an access key; "&&" shows one '&'.
    std::string shown;
    for (const char c : caption) {
        shown += c;
        if (c == '&') shown += '&';
    }
    SetWindowTextA(boxes_.at(index).hwnd, shown.c_str());
}

std::string frmMain::BoxCaption(std::int16_t index) const { return boxes_.at(index).caption; }

void frmMain::SetBoxTag(std::int16_t index, const std::string& tag) { boxes_.at(index).tag = tag; }

std::string frmMain::BoxTag(std::int16_t index) const { return boxes_.at(index).tag; }

int frmMain::BoxState(std::int16_t index) const {
    const LRESULT check = SendMessageA(boxes_.at(index).hwnd, BM_GETCHECK, 0, 0);
    return check == BST_CHECKED ? kTicked : check == BST_INDETERMINATE ? kIndeterminate : kCleared;
}

void frmMain::SetBoxState(std::int16_t index, int state) {
    if (BoxState(index) == state) return;
    RestoreBoxState(index, state);
    // A change made by the program raises the click handler, as a user's does.
    chkPort_Click(*this, index, registry_, devices_);
}

void frmMain::RestoreBoxState(std::int16_t index, int state) {
    // Only a three-state box shows neither state; it does not change on a
    // click by itself (OnCommand ticks it).
    HWND box = boxes_.at(index).hwnd;
    SendMessageA(box, BM_SETSTYLE, (state == kIndeterminate ? BS_3STATE : BS_AUTOCHECKBOX) | BS_NOTIFY, TRUE);
    SendMessageA(box, BM_SETCHECK,
                 state == kTicked ? BST_CHECKED : state == kIndeterminate ? BST_INDETERMINATE : BST_UNCHECKED, 0);
}

void frmMain::SetGuardVisible(bool visible) {
    guard_.visible = visible;
    Place(guard_, false);
}

bool frmMain::GuardVisible() const { return guard_.visible; }

void frmMain::SetGuardState(int state) {
    SendMessageA(guard_.hwnd, BM_SETCHECK, state == kTicked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int frmMain::GuardState() const {
    return SendMessageA(guard_.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? kTicked : kCleared;
}

void frmMain::MessageBox(const std::string& text, MessageIcon icon) {
    ShowMessageBox(hwnd_, text, icon);
}

bool frmMain::AskYesNo(const std::string& text) { return portquell::AskYesNo(hwnd_, text); }

LRESULT CALLBACK frmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    frmMain* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<frmMain*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd_, focus)) focus_ = focus;
            } else {
                // Back from a message box (the report, About, a warning) or
                // another program: the keyboard works at once.
                RestoreFocus();
            }
            return 0;
        case WM_VSCROLL: {
            SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
            GetScrollInfo(scrollBar_, SB_CTL, &info);
            std::int32_t position = scrollPosition_;
            switch (LOWORD(wParam)) {
                case SB_LINEUP: position -= kBoxStep; break;
                case SB_LINEDOWN: position += kBoxStep; break;
                case SB_PAGEUP: position -= static_cast<std::int32_t>(info.nPage); break;
                case SB_PAGEDOWN: position += static_cast<std::int32_t>(info.nPage); break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: position = info.nTrackPos; break;
                case SB_TOP: position = 0; break;
                case SB_BOTTOM: position = scrollExtent_; break;
                default: break;
            }
            ScrollFrameTo(position);
            return 0;
        }
        case WM_MOUSEWHEEL:
            if (scrollExtent_ > 0) {
                const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
                ScrollFrameTo(scrollPosition_ - notches * 3 * kBoxStep);
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            // Controls on the window's face, not on a white page.
            SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_DESTROY:
            // The only window: with it gone the program ends.
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            HWND hwnd = hwnd_;
            hwnd_ = nullptr;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
        default:
            break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void frmMain::OnCommand(int id, int code) {
    if ((id == kIdClose && code == BN_CLICKED) || id == IDCANCEL) {
        // Escape (IDCANCEL from the dialog keys) closes as Close does.
        cmdClose_Click(*this);
    } else if (id == kIdAbout && code == BN_CLICKED) {
        cmdAbout_Click(*this);
    } else if (id == kIdGuard && code == BN_CLICKED) {
        chkGuard_Click(*this, registry_, devices_);
    } else if (id == IDOK) {
        // Enter (IDOK from the dialog keys) presses the push button that
        // has the focus, as in a dialog; on a box it does nothing.
        HWND focus = GetFocus();
        if (focus != nullptr && (focus == close_.hwnd || focus == about_.hwnd)) SendMessageA(focus, BM_CLICK, 0, 0);
    } else if (id >= kIdFirstBox && id < kIdFirstBox + BoxCount()) {
        const auto index = static_cast<std::int16_t>(id - kIdFirstBox);
        if (code == BN_CLICKED) {
            // A box whose state could not be read is ticked by a click.
            if (BoxState(index) == kIndeterminate) RestoreBoxState(index, kTicked);
            chkPort_Click(*this, index, registry_, devices_);
        } else if (code == BN_SETFOCUS && scrollExtent_ > 0) {
            // Keep the focused box in view when tabbing through a long list.
            const std::int32_t top = boxes_[index].twips.top - kScrollTopMargin;
            if (top < scrollPosition_ ||
                top + kBoxStep > scrollPosition_ + frame_.twips.height - kScrollTopMargin) {
                ScrollFrameTo(top);
            }
        }
    }
}

void frmMain::OnDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 Px(outerHeight_), SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyFont();
    PlaceAll();
}

}  // namespace portquell
