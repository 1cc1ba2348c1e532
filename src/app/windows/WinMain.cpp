// The program's entry point: the window, the scan, then the window's
// events until it is closed.
#include <windows.h>

#include <exception>
#include <string>

#include "app/modAppMainUsr.h"
#include "app/window_changes.h"
#include "app/windows/frmMain.h"
#include "support/message_box.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // A DLL loaded later comes from System32 only, never from the folder
    // the program was started from (a Downloads folder, say).
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    portquell::RegistryApi& registry = portquell::PlatformRegistry();
    portquell::DeviceApi& devices = portquell::PlatformDevices();
    const portquell::ChangeSeams seams{portquell::PlatformEventLog(), portquell::PlatformRunLock(),
                                       {"", std::string("portquell ") + (commandLine != nullptr ? commandLine : ""),
                                        portquell::RunningAccount(), portquell::RunningProgramPath()}};
    portquell::UseChangeSeams(&seams);
    portquell::frmMain form(instance, registry, devices);
    try {
        portquell::Main(form, registry, devices,
                        portquell::ScopeOfCommandLine(commandLine != nullptr ? commandLine : ""));
    } catch (const std::exception& e) {
        // Loading the window or building the list failed: the program ends,
        // saying why rather than vanishing.
        portquell::ShowMessageBox(nullptr, std::string("Portquell could not start: ") + e.what(),
                                  portquell::MessageIcon::Warning);
        return 1;
    }

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and Space work as in a dialog.
        if (form.Handle() != nullptr && IsDialogMessageA(form.Handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
