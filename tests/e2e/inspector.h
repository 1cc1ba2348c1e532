// Looks at and drives another process's windows through the window
// system, as a user or an accessibility tool would: finds its windows,
// reads message boxes, lists controls with geometry and state, clicks,
// types keys and takes screenshots.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace portquell::e2e {

struct ControlInfo {
    int id = 0;
    std::string windowClass;
    std::string text;
    RECT rect{};  // in the parent's client coordinates, pixels
    bool visible = false;
    int checked = -1;  // BST_* for buttons that answer BM_GETCHECK, else -1
};

// The first top-level window of process pid (any process for 0) with this
// class (and title, when given), waiting up to timeoutMs; null when none
// appeared.
HWND WaitForWindow(DWORD pid, const char* windowClass, const char* title, int timeoutMs);
// Waits until no top-level window of pid has this class.
bool WaitForNoWindow(DWORD pid, const char* windowClass, int timeoutMs);

// The text of a message box (its static text control).
std::string MessageBoxText(HWND box);
// The captions of a message box's visible buttons, in their order.
std::vector<std::string> MessageBoxButtons(HWND box);
// Which system icon a message box shows, told from the screen: "hand",
// "question", "exclamation", "asterisk", or "none" without an icon.
const char* MessageBoxIconKind(HWND box);

std::vector<ControlInfo> ListControls(HWND parent);
HWND ControlById(HWND parent, int id);

// A mouse click on a button, through the button's own click handling.
void Click(HWND control);
// A key press (down and up) delivered to the window that has the focus in
// the thread that owns window.
void PressKey(HWND window, WORD virtualKey);
// Keys typed on the X display (xdotool key, names as X knows them, e.g.
// "Return", "space", "Tab", "Escape"): real input, delivered by the
// window system to whatever has the focus, nothing aimed at a window.
bool TypeKeys(const std::string& keys);
// The window of that thread that has the keyboard focus.
HWND FocusOf(HWND window);

// Saves what the screen shows of the window (frame included) as a 24-bit
// BMP file.
bool SaveScreenshot(HWND window, const std::string& path);

// Runs a command line, waits for it and returns what it wrote.
std::string RunAndCapture(const std::string& commandLine);

}  // namespace portquell::e2e
