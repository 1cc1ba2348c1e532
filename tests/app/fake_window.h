// A main window without a screen: it keeps the design geometry in twips,
// records what the program does to it, and raises chkPort_Click when a
// box's state changes, as the real window does.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "app/frmMain_events.h"
#include "app/main_window.h"
#include "app/window_design.h"
#include "devices/memory_devices.h"

namespace portquell::testing {

struct FakeBox {
    Rect rect;
    bool visible = false;
    std::string caption = "COMx";
    std::string tag;
    int state = kCleared;
};

struct ShownMessage {
    std::string text;
    MessageIcon icon;
    bool windowVisible;  // the window was already shown when it appeared
};

class FakeWindow final : public MainWindow {
public:
    // A 1920 x 1080 screen at 96 DPI, taskbar 40 pixels high; the window's
    // title bar and borders add 240 twips of width and 585 of height.
    static constexpr Size kScreen{28800, 16200};
    static constexpr Rect kWorkArea{0, 0, 28800, 15600};
    static constexpr std::int32_t kChromeWidth = 240;
    static constexpr std::int32_t kChromeHeight = 585;

    // Clicks work on registry and on devices, or on an empty device tree.
    explicit FakeWindow(RegistryApi& registry, DeviceApi* devices = nullptr)
        : registry_(registry), devices_(devices != nullptr ? *devices : ownDevices_) {
        FakeBox templateBox;
        templateBox.rect = design::kBox;
        boxes_.push_back(templateBox);
    }

    // Another frame around the same client area (title bar and borders of
    // another height).
    void SetChromeHeight(std::int32_t height) {
        chromeHeight = height;
        outer.height = design::kClientHeight + height;
    }

    void Load() override {
        events.push_back("load");
        Form_Load(*this);
    }
    void Show() override {
        events.push_back("show");
        visible = true;
    }
    void Unload() override {
        events.push_back("unload");
        unloaded = true;
    }

    Size ScreenSize() const override { return kScreen; }
    Rect WorkArea() const override { return kWorkArea; }
    Rect OuterRect() const override { return outer; }
    void MoveOuter(std::int32_t left, std::int32_t top) override {
        outer.left = left;
        outer.top = top;
    }
    void SetOuterHeight(std::int32_t height) override { outer.height = height; }
    std::int32_t FrameHeight() const override { return chromeHeight; }

    Rect ControlRect(Control control) const override { return controls[Index(control)]; }
    void SetControlTop(Control control, std::int32_t top) override {
        controls[Index(control)].top = top;
    }
    void SetControlHeight(Control control, std::int32_t height) override {
        controls[Index(control)].height = height;
    }
    void SetFrameScrollExtent(std::int32_t contentHeight) override {
        scrollExtent = contentHeight;
    }
    // 90 twips a character (six pixels), the check mark and its gap 300.
    std::int32_t CaptionWidth(const std::string& caption) const override {
        return 300 + 90 * static_cast<std::int32_t>(caption.size());
    }
    void Widen(std::int32_t extra) override {
        outer.width += extra;
        controls[Index(Control::fraPorts)].width += extra;
        controls[Index(Control::cmdClose)].left += extra;
        controls[Index(Control::chkGuard)].width += extra;
        for (FakeBox& box : boxes_) box.rect.width += extra;
    }

    std::int16_t BoxCount() const override { return static_cast<std::int16_t>(boxes_.size()); }
    void CreateBox(std::int16_t index) override {
        if (index != BoxCount()) throw std::logic_error("boxes are created in order");
        FakeBox copy = boxes_[0];
        copy.visible = false;
        boxes_.push_back(copy);
    }
    Rect BoxRect(std::int16_t index) const override { return boxes_.at(index).rect; }
    void SetBoxTop(std::int16_t index, std::int32_t top) override { boxes_.at(index).rect.top = top; }
    void SetBoxLeft(std::int16_t index, std::int32_t left) override {
        boxes_.at(index).rect.left = left;
    }
    void SetBoxVisible(std::int16_t index, bool v) override { boxes_.at(index).visible = v; }
    void SetBoxCaption(std::int16_t index, const std::string& caption) override {
        boxes_.at(index).caption = caption;
    }
    void SetBoxTag(std::int16_t index, const std::string& tag) override {
        boxes_.at(index).tag = tag;
    }
    std::string BoxTag(std::int16_t index) const override { return boxes_.at(index).tag; }
    std::string BoxCaption(std::int16_t index) const override { return boxes_.at(index).caption; }
    int BoxState(std::int16_t index) const override { return boxes_.at(index).state; }
    void SetBoxState(std::int16_t index, int state) override {
        if (boxes_.at(index).state == state) return;
        boxes_.at(index).state = state;
        events.push_back("click " + std::to_string(index));
        chkPort_Click(*this, index, registry_, devices_);
    }
    void RestoreBoxState(std::int16_t index, int state) override {
        boxes_.at(index).state = state;
    }
    void SetGuardVisible(bool v) override { guardVisible = v; }
    bool GuardVisible() const override { return guardVisible; }
    void SetGuardState(int state) override { guardState = state; }
    int GuardState() const override { return guardState; }
    // What a user's click on the guard's box does.
    void UserClickGuard() {
        guardState = guardState == kTicked ? kCleared : kTicked;
        events.push_back("guard click");
        chkGuard_Click(*this, registry_, devices_);
    }
    void MessageBox(const std::string& text, MessageIcon icon) override {
        events.push_back("message");
        messages.push_back(ShownMessage{text, icon, visible});
    }
    // Answers with the next of answers (No when none is left).
    bool AskYesNo(const std::string& text) override {
        events.push_back("question");
        questions.push_back(text);
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.erase(answers.begin());
        return yes;
    }

    // What a user's click on box index does.
    void UserClick(std::int16_t index) {
        SetBoxState(index, BoxState(index) == kTicked ? kCleared : kTicked);
    }

    const std::vector<FakeBox>& Boxes() const { return boxes_; }
    DeviceApi& Devices() { return devices_; }

    std::int32_t chromeHeight = kChromeHeight;
    Rect outer{0, 0, design::kClientWidth + kChromeWidth, design::kClientHeight + kChromeHeight};
    Rect controls[4] = {design::kFrame, design::kClose, design::kAbout, design::kGuard};
    bool guardVisible = false;
    int guardState = kCleared;
    std::int32_t scrollExtent = 0;
    bool visible = false;
    bool unloaded = false;
    std::vector<std::string> events;
    std::vector<ShownMessage> messages;
    std::vector<std::string> questions;
    std::vector<bool> answers;

private:
    static int Index(Control control) { return static_cast<int>(control); }
    RegistryApi& registry_;
    MemoryDevices ownDevices_;
    DeviceApi& devices_;
    std::vector<FakeBox> boxes_;
};

}  // namespace portquell::testing
