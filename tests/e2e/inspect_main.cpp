// portquell-inspect: drives a running Portquell from the command line.
//   report            waits for the report box and prints its text
//   ok                closes the open message box with Enter
//   list              lists the main window's controls with geometry and state
//   click ID          clicks the control with that id
//   screenshot FILE   saves the main window as a BMP file
//   close             closes the main window with its close box
//   loopkey PATH      makes HKLM\PATH a volatile registry link to itself, a
//                     key that exists but cannot be opened
//   holdlock SECONDS [abandon]  holds Portquell's machine-wide lock that
//                     long, as a run changing the PC does; with abandon it
//                     then ends holding it, as a run killed midway
#include <cstdio>
#include <cstdlib>
#include <string>
#include <windows.h>

#include "app/window_design.h"
#include "inspector.h"
#include "support/program_title.h"

using namespace portquell::e2e;

namespace {

constexpr int kTimeoutMs = 30000;

HWND Main() { return WaitForWindow(0, portquell::design::kWindowClass, portquell::kProgramTitle, kTimeoutMs); }
HWND Box() { return WaitForWindow(0, "#32770", portquell::kProgramTitle, kTimeoutMs); }

int Fail(const char* what) {
    std::fprintf(stderr, "portquell-inspect: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("usage: portquell-inspect report|ok|list|click ID|screenshot FILE|close");
    const std::string command = argv[1];
    if (command == "report") {
        HWND box = Box();
        if (box == nullptr) return Fail("no message box");
        std::printf("%s\n", MessageBoxText(box).c_str());
    } else if (command == "ok") {
        HWND box = Box();
        if (box == nullptr) return Fail("no message box");
        PressKey(box, VK_RETURN);
        if (!WaitForNoWindow(0, "#32770", kTimeoutMs)) return Fail("the message box stayed open");
    } else if (command == "list") {
        HWND main = Main();
        if (main == nullptr) return Fail("no main window");
        for (const ControlInfo& c : ListControls(main)) {
            std::printf("%d %s \"%s\" %ld %ld %ld %ld visible=%d checked=%d\n", c.id,
                        c.windowClass.c_str(), c.text.c_str(), c.rect.left, c.rect.top,
                        c.rect.right, c.rect.bottom, c.visible ? 1 : 0, c.checked);
        }
    } else if (command == "click" && argc == 3) {
        HWND main = Main();
        if (main == nullptr) return Fail("no main window");
        HWND control = ControlById(main, std::atoi(argv[2]));
        if (control == nullptr) return Fail("no such control");
        Click(control);
    } else if (command == "screenshot" && argc == 3) {
        HWND main = Main();
        if (main == nullptr) return Fail("no main window");
        Sleep(300);  // let the last paint reach the screen
        if (!SaveScreenshot(main, argv[2])) return Fail("the screenshot could not be written");
    } else if (command == "close") {
        HWND main = Main();
        if (main == nullptr) return Fail("no main window");
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (command == "loopkey" && argc == 3) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr,
                            REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                            nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return Fail("the link key could not be created");
        }
        std::wstring target = L"\\Registry\\Machine\\";
        for (const char* c = argv[2]; *c != '\0'; ++c) target += static_cast<wchar_t>(*c);
        const LONG status = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                                           reinterpret_cast<const BYTE*>(target.data()),
                                           static_cast<DWORD>(target.size() * sizeof(wchar_t)));
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return Fail("the link could not be set");
    } else if (command == "holdlock" && (argc == 3 || argc == 4)) {
        HANDLE lock = CreateMutexW(nullptr, TRUE, L"Global\\Portquell.Change");
        if (lock == nullptr) return Fail("the lock could not be made");
        std::printf("held\n");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
        if (argc == 4) ExitProcess(0);  // never released: abandoned
        ReleaseMutex(lock);
        CloseHandle(lock);
    } else {
        return Fail("unknown command");
    }
    return 0;
}
