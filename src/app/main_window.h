// The main window as the scan and the port switch see it. The Win32 window
// implements it, and so does a fake in the tests. All geometry is in twips
// (1/1440 inch); box positions are relative to the frame.
#pragma once

#include <cstdint>
#include <string>

#include "support/geometry.h"
#include "support/message_box.h"
#include "support/s_modMiscStd.h"

namespace portquell {

// The window's fixed controls besides the port boxes; chkGuard, the
// guard's box under the frame, is hidden until the scan shows it.
enum class Control { fraPorts, cmdClose, cmdAbout, chkGuard };

// Check-box states.
inline constexpr int kCleared = 0;
inline constexpr int kTicked = 1;
// Neither: the port's state could not be read. A click ticks it.
inline constexpr int kIndeterminate = 2;

class MainWindow : public CenterableForm {
public:

    // Creates the window hidden and raises Form_Load.
    virtual void Load() = 0;
    // Shows the window without making it modal.
    virtual void Show() = 0;
    // Destroys the window; the program then ends.
    virtual void Unload() = 0;

    // The part of the screen that windows may use (without the taskbar).
    [[nodiscard]] virtual Rect WorkArea() const = 0;
    // Title bar and borders: the outer height less the client height, in
    // twips, rounded up.
    [[nodiscard]] virtual std::int32_t FrameHeight() const = 0;
    virtual void SetOuterHeight(std::int32_t height) = 0;

    [[nodiscard]] virtual Rect ControlRect(Control control) const = 0;
    virtual void SetControlTop(Control control, std::int32_t top) = 0;
    virtual void SetControlHeight(Control control, std::int32_t height) = 0;
    // The width a box needs to show caption whole (its check mark, the gap
    // and the text in the window's font).
    [[nodiscard]] virtual std::int32_t CaptionWidth(const std::string& caption) const = 0;
    // Widens the client area by extra: the frame and every box grow with
    // it and Close keeps to the frame's right edge; nothing else moves.
    virtual void Widen(std::int32_t extra) = 0;
    // Lets the frame's contents scroll when they are taller than the frame;
    // contentHeight 0 turns scrolling off.
    virtual void SetFrameScrollExtent(std::int32_t contentHeight) = 0;

    // Elements of the chkPort array; element 0 exists from the start.
    [[nodiscard]] virtual std::int16_t BoxCount() const = 0;
    // Creates element index (== BoxCount()) as a hidden copy of element 0.
    virtual void CreateBox(std::int16_t index) = 0;
    [[nodiscard]] virtual Rect BoxRect(std::int16_t index) const = 0;
    virtual void SetBoxTop(std::int16_t index, std::int32_t top) = 0;
    virtual void SetBoxLeft(std::int16_t index, std::int32_t left) = 0;
    virtual void SetBoxVisible(std::int16_t index, bool visible) = 0;
    // The caption is the port's name as it stands ('&' is no mnemonic).
    virtual void SetBoxCaption(std::int16_t index, const std::string& caption) = 0;
    [[nodiscard]] virtual std::string BoxCaption(std::int16_t index) const = 0;
    virtual void SetBoxTag(std::int16_t index, const std::string& tag) = 0;
    [[nodiscard]] virtual std::string BoxTag(std::int16_t index) const = 0;
    [[nodiscard]] virtual int BoxState(std::int16_t index) const = 0;
    // Sets the state; a change raises chkPort_Click, as a user's click does.
    virtual void SetBoxState(std::int16_t index, int state) = 0;
    // Puts a box back to a state without raising chkPort_Click.
    virtual void RestoreBoxState(std::int16_t index, int state) = 0;

    // The guard's box: shown or not, its state (kTicked or kCleared; a
    // change here raises nothing).
    virtual void SetGuardVisible(bool visible) = 0;
    [[nodiscard]] virtual bool GuardVisible() const = 0;
    virtual void SetGuardState(int state) = 0;
    [[nodiscard]] virtual int GuardState() const = 0;

    // Modal message box titled "Portquell" with an OK button, owned by
    // the window once it exists.
    virtual void MessageBox(const std::string& text, MessageIcon icon) = 0;
    // The same with Yes and No, Yes the default; true for Yes.
    [[nodiscard]] virtual bool AskYesNo(const std::string& text) = 0;
};

}  // namespace portquell
