// The main window in Win32: one window class, `this` kept in the window's
// user data, every message through HandleMessage. Geometry is kept in
// twips, as the program sets it, and mapped to pixels with the window's
// DPI whenever it is applied, so nothing drifts by rounding.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "devices/device_api.h"
#include "registry/registry_api.h"

namespace portquell {

class frmMain final : public MainWindow {
public:
    // Clicks on the port boxes write to registry and may remove devices;
    // both must outlive the window.
    frmMain(HINSTANCE instance, RegistryApi& registry, DeviceApi& devices);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    [[nodiscard]] HWND Handle() const { return hwnd_; }

    void Load() override;
    void Show() override;
    void Unload() override;
    Size ScreenSize() const override;
    Rect WorkArea() const override;
    Rect OuterRect() const override;
    void MoveOuter(std::int32_t left, std::int32_t top) override;
    std::int32_t FrameHeight() const override;
    void SetOuterHeight(std::int32_t height) override;
    Rect ControlRect(Control control) const override;
    void SetControlTop(Control control, std::int32_t top) override;
    void SetControlHeight(Control control, std::int32_t height) override;
    void SetFrameScrollExtent(std::int32_t contentHeight) override;
    std::int32_t CaptionWidth(const std::string& caption) const override;
    void Widen(std::int32_t extra) override;
    std::int16_t BoxCount() const override;
    void CreateBox(std::int16_t index) override;
    Rect BoxRect(std::int16_t index) const override;
    void SetBoxTop(std::int16_t index, std::int32_t top) override;
    void SetBoxLeft(std::int16_t index, std::int32_t left) override;
    void SetBoxVisible(std::int16_t index, bool visible) override;
    void SetBoxCaption(std::int16_t index, const std::string& caption) override;
    std::string BoxCaption(std::int16_t index) const override;
    void SetBoxTag(std::int16_t index, const std::string& tag) override;
    std::string BoxTag(std::int16_t index) const override;
    int BoxState(std::int16_t index) const override;
    void SetBoxState(std::int16_t index, int state) override;
    void RestoreBoxState(std::int16_t index, int state) override;
    void SetGuardVisible(bool visible) override;
    bool GuardVisible() const override;
    void SetGuardState(int state) override;
    int GuardState() const override;
    void MessageBox(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text) override;

private:
    struct Element {
        HWND hwnd = nullptr;
        Rect twips{};
        bool visible = true;
        std::string tag;
        std::string caption;
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    // The keyboard's place when the window becomes active: the control
    // that had it, else the first port's box, else Close.
    void RestoreFocus();

    HWND CreateControl(const char* windowClass, const char* text, DWORD style, int id);
    int Px(std::int32_t twips) const { return MulDiv(twips, static_cast<int>(dpi_), 1440); }
    std::int32_t Twips(int pixels) const { return MulDiv(pixels, 1440, static_cast<int>(dpi_)); }
    // Places an element; boxes are placed relative to the frame and shifted
    // by the frame's scroll position.
    void Place(const Element& element, bool inFrame) const;
    void PlaceAll();
    void ApplyFont();
    void ScrollFrameTo(std::int32_t position);
    void UpdateScrollBar();
    Element& Fixed(Control control);
    const Element& Fixed(Control control) const;

    HINSTANCE instance_;
    RegistryApi& registry_;
    DeviceApi& devices_;
    HWND hwnd_ = nullptr;
    HWND focus_ = nullptr;  // the control that had the focus when the window was last active
    UINT dpi_ = 96;
    HFONT font_ = nullptr;
    std::int32_t outerHeight_ = 0;  // as last set, in twips
    Element frame_;
    Element close_;
    Element about_;
    Element guard_;
    std::vector<Element> boxes_;
    HWND scrollBar_ = nullptr;
    std::int32_t scrollExtent_ = 0;
    std::int32_t scrollPosition_ = 0;
};

}  // namespace portquell
