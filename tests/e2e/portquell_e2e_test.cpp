// The real portquell.exe, started in a Wine prefix under Xvfb and driven
// through the window system: the report, the boxes and their geometry, the
// registry after clicks (read back with reg query), the keyboard, About,
// the message boxes' buttons and icons, a refused write, and both ways of
// closing. tests/e2e/window_e2e.sh runs it under each look and DPI
// (PORTQUELL_LOOK, PORTQUELL_DPI).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/window_design.h"
#include "inspector.h"
#include "support/program_title.h"

namespace portquell::e2e {
namespace {

constexpr const char* kMainClass = design::kWindowClass;
constexpr char kDialogClass[] = "#32770";
constexpr char kPorts[] = "SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501";
constexpr int IDC_FRAPORTS = design::kIdFrame;
constexpr int IDC_CMDCLOSE = design::kIdClose;
constexpr int IDC_CMDABOUT = design::kIdAbout;
constexpr int IDC_CHKPORT = design::kIdFirstBox;

std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

void SeedPort(int instance, const char* name, const DWORD* skip) {
    const std::string path = std::string(kPorts) + "\\" + std::to_string(instance) +
                             "\\Device Parameters";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "PortName", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(name),
                                            static_cast<DWORD>(strlen(name) + 1)));
    if (skip != nullptr) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "SkipEnumerations", 0, REG_DWORD,
                                                reinterpret_cast<const BYTE*>(skip), 4));
    }
    RegCloseKey(key);
}

void SetText(const std::string& path, const char* name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(key);
}

constexpr char kEnum[] = "SYSTEM\\CurrentControlSet\\Enum";
constexpr char kMouseKey[] = "SYSTEM\\CurrentControlSet\\Enum\\SERENUM\\PNP0F0C\\4&1234&0&0000";

constexpr char kFtdi[] = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A1\\0000";

// A serial mouse as serenum installs one under the port at portKey.
void SeedMouseOn(const std::string& portKey) {
    SetText(portKey, "ParentIdPrefix", REG_SZ, std::string("4&1234&0") + '\0');
    SetText(portKey, "ClassGUID", REG_SZ, std::string("{4D36E978-E325-11CE-BFC1-08002BE10318}") + '\0');
    SetText("SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}", "UpperFilters",
            REG_MULTI_SZ, std::string("serenum") + '\0' + '\0');
    SetText(kMouseKey, "ClassGUID", REG_SZ, std::string("{4D36E96F-E325-11CE-BFC1-08002BE10318}") + '\0');
    SetText(kMouseKey, "CompatibleIDs", REG_MULTI_SZ, std::string("SERIAL_MOUSE") + '\0' + '\0');
    SetText(kMouseKey, "HardwareID", REG_MULTI_SZ, std::string("SERENUM\\PNP0F0C") + '\0' + '\0');
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// "0xffffffff" or "0x0" as reg query prints a REG_DWORD; "" when missing.
std::string QuerySkipAt(const std::string& instanceKey) {
    const std::string out =
        RunAndCapture("reg query \"HKLM\\" + instanceKey + "\\Device Parameters\" /v SkipEnumerations");
    const auto at = out.find("REG_DWORD");
    if (at == std::string::npos) return "";
    const auto start = out.find("0x", at);
    const auto end = out.find_first_of("\r\n ", start);
    return out.substr(start, end - start);
}

std::string QuerySkip(int instance) { return QuerySkipAt(std::string(kPorts) + "\\" + std::to_string(instance)); }

class Program {
public:
    explicit Program(const std::string& arguments = "") {
        const std::string exe = Env("PORTQUELL_EXE", "portquell.exe");
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
        started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
    }
    ~Program() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    bool Started() const { return started_; }
    DWORD Pid() const { return process_.dwProcessId; }
    bool Exited(int timeoutMs) const {
        return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
    }
    HWND Main() const { return WaitForWindow(Pid(), kMainClass, kProgramTitle, 20000); }
    HWND Message() const { return WaitForWindow(Pid(), kDialogClass, kProgramTitle, 20000); }
    bool MessageGone() const { return WaitForNoWindow(Pid(), kDialogClass, 5000); }

    // Waits for the start-up report, checks its text, closes it with key
    // and returns the main window (null, with a failure, if anything is off).
    HWND DismissReport(const std::string& expected, WORD key = VK_RETURN) const {
        HWND report = Message();
        if (report == nullptr) {
            ADD_FAILURE() << "no report";
            return nullptr;
        }
        EXPECT_EQ(expected, MessageBoxText(report));
        PressKey(report, key);
        if (!MessageGone()) {
            ADD_FAILURE() << "the report stayed open";
            return nullptr;
        }
        return Main();
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

// Pixel edges of a twips rectangle at the window's DPI, as the program
// converts them.
RECT Pixels(HWND window, int left, int top, int width, int height) {
    const int dpi = static_cast<int>(GetDpiForWindow(window));
    return RECT{MulDiv(left, dpi, 1440), MulDiv(top, dpi, 1440), MulDiv(left + width, dpi, 1440),
                MulDiv(top + height, dpi, 1440)};
}

void ExpectRect(const RECT& expected, const RECT& actual, const std::string& what) {
    EXPECT_EQ(expected.left, actual.left) << what;
    EXPECT_EQ(expected.top, actual.top) << what;
    EXPECT_EQ(expected.right, actual.right) << what;
    EXPECT_EQ(expected.bottom, actual.bottom) << what;
}

ControlInfo Find(HWND main, int id) {
    for (const ControlInfo& c : ListControls(main)) {
        if (c.id == id) return c;
    }
    ADD_FAILURE() << "no control " << id;
    return {};
}

// Waits until a box shows the expected check state.
bool WaitChecked(HWND main, int id, int state) {
    for (int i = 0; i < 100; ++i) {
        if (SendMessageA(GetDlgItem(main, id), BM_GETCHECK, 0, 0) == state) return true;
        Sleep(50);
    }
    return false;
}

bool WaitSkip(int instance, const std::string& expected) {
    for (int i = 0; i < 40; ++i) {
        if (QuerySkip(instance) == expected) return true;
        Sleep(100);
    }
    return false;
}

// The report and About: one OK button and no icon.
void ExpectPlainBox(HWND box, const std::string& what) {
    EXPECT_EQ(std::vector<std::string>{"OK"}, MessageBoxButtons(box)) << what;
    EXPECT_STREQ("none", MessageBoxIconKind(box)) << what;
}

class PortquellE2E : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPorts);
        for (const char* e : {"SERENUM", "FTDIBUS", "USB"}) {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kEnum) + "\\" + e).c_str());
        }
    }
};

bool WaitFocus(HWND main, HWND control) {
    for (int i = 0; i < 40 && FocusOf(main) != control; ++i) Sleep(50);
    return FocusOf(main) == control;
}

// A user with only a keyboard: Enter on the report, then Space switches
// the first port, Tab and Space the next; the focus comes back after a
// message box; Escape ends the program. Real keys, typed on the display.
TEST_F(PortquellE2E, KeyboardAlone) {
    SeedPort(1, "COM1", nullptr);
    SeedPort(2, "COM2", nullptr);
    Program program;
    ASSERT_TRUE(program.Started());
    ASSERT_NE(nullptr, program.Message());
    ASSERT_TRUE(TypeKeys("Return"));
    ASSERT_TRUE(program.MessageGone()) << "Enter did not close the report";
    HWND main = program.Main();
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(WaitFocus(main, GetDlgItem(main, IDC_CHKPORT))) << "the first port's box has the focus";
    EXPECT_EQ(0, SendMessageA(main, WM_QUERYUISTATE, 0, 0) & (UISF_HIDEFOCUS | UISF_HIDEACCEL))
        << "focus rectangles and access keys shown from the start";
    ASSERT_TRUE(TypeKeys("space"));
    EXPECT_TRUE(WaitSkip(1, "0xffffffff")) << QuerySkip(1);
    ASSERT_TRUE(TypeKeys("Tab space"));
    EXPECT_TRUE(WaitSkip(2, "0xffffffff")) << QuerySkip(2);
    // About and back: the keyboard is where it was.
    Click(GetDlgItem(main, IDC_CMDABOUT));
    ASSERT_NE(nullptr, program.Message());
    ASSERT_TRUE(TypeKeys("Return"));
    ASSERT_TRUE(program.MessageGone());
    EXPECT_TRUE(WaitFocus(main, GetDlgItem(main, IDC_CMDABOUT))) << "the focus came back to About";
    ASSERT_TRUE(TypeKeys("Return"));  // Enter on the focused About opens it
    EXPECT_EQ(0u, MessageBoxText(program.Message()).find("Tool for disabling serial mouse detection"));
    ASSERT_TRUE(TypeKeys("Return") && program.MessageGone());
    ASSERT_TRUE(TypeKeys("Escape"));
    EXPECT_TRUE(program.Exited(10000)) << "Escape did not end the program";
    EXPECT_EQ("0xffffffff", QuerySkip(1));
}

// The phantom mouse on COM5 behind a USB adapter: the window lists COM5
// after COM1 and says why; ticking it asks once, Enter answers Yes; the
// mouse's key goes and the message says what happened (Wine cannot
// restart the port).
TEST_F(PortquellE2E, SerialMouseRemovedByKeyboard) {
    SeedPort(1, "COM1", nullptr);
    SetText(std::string(kFtdi) + "\\Device Parameters", "PortName", REG_SZ, std::string("COM5") + '\0');
    SeedMouseOn(kFtdi);
    Program program;
    HWND main = program.DismissReport("Found 2 serial ports, and 0 was already disabled\r\nCOM5 is listed because "
                                      "Windows has taken the device on it for a serial mouse.");
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("COM5", Find(main, IDC_CHKPORT + 1).text);
    EXPECT_TRUE(WaitFocus(main, GetDlgItem(main, IDC_CHKPORT)));
    ASSERT_TRUE(TypeKeys("Tab space"));
    HWND question = program.Message();
    ASSERT_NE(nullptr, question);
    EXPECT_NE(std::string::npos, MessageBoxText(question).find("COM5")) << MessageBoxText(question);
    EXPECT_EQ((std::vector<std::string>{"&Yes", "&No"}), MessageBoxButtons(question));
    EXPECT_EQ("0xffffffff", QuerySkipAt(kFtdi)) << "written before the question";
    ASSERT_TRUE(TypeKeys("Return"));  // Yes is the default
    // The answer's message takes the question's place.
    std::string text;
    for (int i = 0; i < 100 && text.find("removed") == std::string::npos; ++i) {
        Sleep(100);
        HWND told = program.Message();
        if (told != nullptr && told != question) text = MessageBoxText(told);
    }
    EXPECT_EQ(0u, text.find("Windows did not restart COM5 (")) << text;
    EXPECT_NE(std::string::npos, text.find("The serial mouse on COM5 (SERENUM\\PNP0F0C\\4&1234&0&0000) was removed."))
        << text;
    EXPECT_FALSE(KeyExists(kMouseKey)) << "the mouse's key is gone";
    ASSERT_TRUE(TypeKeys("Return"));
    ASSERT_TRUE(program.MessageGone());
    ASSERT_TRUE(TypeKeys("Escape"));
    EXPECT_TRUE(program.Exited(10000));
}

// An adapter without a serial number, ticked by keyboard: the window
// offers the guard (Yes the default), its box shows it held, and clearing
// the box undoes it.
TEST_F(PortquellE2E, GuardOfferedForAnAdapterWithoutSerialNumber) {
    const std::string ch340 = std::string(kEnum) + "\\USB\\VID_1A86&PID_7523\\5&1D2E3F&0&1";
    const std::string denyList = "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions\\DenyDeviceIDs";
    SeedPort(1, "COM1", nullptr);
    SetText(ch340 + "\\Device Parameters", "PortName", REG_SZ, std::string("COM7") + '\0');
    Program program("/all");
    HWND main = program.DismissReport("Found 2 serial ports, and 0 was already disabled");
    ASSERT_NE(nullptr, main);
    HWND guard = GetDlgItem(main, design::kIdGuard);
    ASSERT_NE(nullptr, guard);
    EXPECT_TRUE(IsWindowVisible(guard)) << "shown with /all";
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(guard, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(WaitFocus(main, GetDlgItem(main, IDC_CHKPORT)));
    ASSERT_TRUE(TypeKeys("Tab space"));  // COM7 ticked
    HWND question = program.Message();
    ASSERT_NE(nullptr, question);
    EXPECT_NE(std::string::npos, MessageBoxText(question).find("no serial number")) << MessageBoxText(question);
    ASSERT_TRUE(TypeKeys("Return"));  // Yes
    std::string text;
    for (int i = 0; i < 100 && text.find("every port") == std::string::npos; ++i) {
        Sleep(100);
        HWND told = program.Message();
        if (told != nullptr && told != question) text = MessageBoxText(told);
    }
    EXPECT_EQ(0u, text.find("Serial mice are kept off every port now")) << text;
    ASSERT_TRUE(TypeKeys("Return"));
    ASSERT_TRUE(program.MessageGone());
    EXPECT_EQ(BST_CHECKED, SendMessageA(guard, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(KeyExists(denyList));
    EXPECT_EQ("0xffffffff", QuerySkipAt(ch340));
    ASSERT_TRUE(TypeKeys("Tab space"));  // the guard's box, cleared
    HWND undone = program.Message();
    ASSERT_NE(nullptr, undone);
    EXPECT_EQ(0u, MessageBoxText(undone).find("Serial mice are no longer kept off every port")) << MessageBoxText(undone);
    ASSERT_TRUE(TypeKeys("Return"));
    ASSERT_TRUE(program.MessageGone());
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(guard, BM_GETCHECK, 0, 0));
    EXPECT_FALSE(KeyExists(denyList)) << "guard off removes what guard on created";
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.Exited(10000));
}

// portquell.exe /all: ACPI, FTDI and USB ports in the same window, each
// name as it stands ('&' shown, not an access key), each click on its key.
TEST_F(PortquellE2E, AllListsEveryPort) {
    const std::string ftdi = std::string(kEnum) + "\\FTDIBUS\\VID_0403+PID_6001+A1\\0000";
    const std::string usb = std::string(kEnum) + "\\USB\\VID_067B&PID_2303\\5&2A&0&2";
    SeedPort(1, "COM1", nullptr);
    SeedPort(2, "R&D", nullptr);
    SetText(ftdi + "\\Device Parameters", "PortName", REG_SZ, std::string("COM5") + '\0');
    SetText(usb + "\\Device Parameters", "PortName", REG_SZ, std::string("com7") + '\0');
    // A parallel port is no serial port.
    SetText(std::string(kEnum) + "\\ACPI\\PNP0400\\1\\Device Parameters", "PortName", REG_SZ, std::string("LPT1") + '\0');
    {
        Program plain;
        HWND main = plain.DismissReport("Found 2 serial ports, and 0 was already disabled");
        ASSERT_NE(nullptr, main);
        EXPECT_EQ(nullptr, GetDlgItem(main, IDC_CHKPORT + 2)) << "without /all, the ACPI ports only";
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(plain.Exited(10000));
    }
    Program program("/all");
    HWND main = program.DismissReport("Found 4 serial ports, and 0 was already disabled");
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("COM1", Find(main, IDC_CHKPORT).text);
    EXPECT_EQ("R&&D", Find(main, IDC_CHKPORT + 1).text) << "one '&' shown, no access key";
    EXPECT_EQ("COM5", Find(main, IDC_CHKPORT + 2).text);
    EXPECT_EQ("com7", Find(main, IDC_CHKPORT + 3).text);
    EXPECT_EQ(nullptr, GetDlgItem(main, IDC_CHKPORT + 4));
    Click(GetDlgItem(main, IDC_CHKPORT + 2));
    EXPECT_TRUE(WaitChecked(main, IDC_CHKPORT + 2, BST_CHECKED));
    for (int i = 0; i < 40 && QuerySkipAt(ftdi) != "0xffffffff"; ++i) Sleep(100);
    EXPECT_EQ("0xffffffff", QuerySkipAt(ftdi));
    Click(GetDlgItem(main, IDC_CHKPORT + 3));
    for (int i = 0; i < 40 && QuerySkipAt(usb) != "0xffffffff"; ++i) Sleep(100);
    EXPECT_EQ("0xffffffff", QuerySkipAt(usb));
    // That adapter has no serial number: the guard is offered; No.
    HWND offer = program.Message();
    ASSERT_NE(nullptr, offer);
    EXPECT_NE(std::string::npos, MessageBoxText(offer).find("no serial number")) << MessageBoxText(offer);
    ASSERT_TRUE(TypeKeys("Tab Return"));
    ASSERT_TRUE(program.MessageGone());
    EXPECT_EQ("", QuerySkip(1));
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.Exited(10000));
}

TEST_F(PortquellE2E, ScanReportGeometryClicksKeyboardAboutAndClose) {
    const DWORD off = 0xFFFFFFFF;
    const DWORD on = 0;
    SeedPort(1, "COM1", nullptr);
    SeedPort(2, "COM2", &off);
    SeedPort(4, "COM4", &on);
    SeedPort(7, "COM7", nullptr);

    Program program;
    ASSERT_TRUE(program.Started());
    HWND report = program.Message();
    ASSERT_NE(nullptr, report);
    EXPECT_EQ("Found 4 serial ports, and 1 was already disabled", MessageBoxText(report));
    ExpectPlainBox(report, "the report");
    HWND main = program.Main();
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(IsWindowVisible(main)) << "the window is shown before the report";
    EXPECT_EQ(main, GetWindow(report, GW_OWNER));

    // The report, then the window itself, as artefacts.
    const std::string shots = Env("PORTQUELL_E2E_OUT", ".");
    EXPECT_TRUE(SaveScreenshot(report, shots + "\\report.bmp"));
    PressKey(report, VK_RETURN);
    ASSERT_TRUE(program.MessageGone()) << "Enter did not close the report";
    Sleep(300);
    EXPECT_TRUE(SaveScreenshot(main, shots + "\\portquell.bmp"));

    // Captions, tags as instance order, states.
    const char* captions[] = {"COM1", "COM2", "COM4", "COM7"};
    const int states[] = {BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED, BST_UNCHECKED};
    for (int k = 0; k < 4; ++k) {
        const ControlInfo box = Find(main, IDC_CHKPORT + k);
        EXPECT_EQ(captions[k], box.text);
        EXPECT_EQ(states[k], box.checked) << captions[k];
        EXPECT_TRUE(box.visible) << captions[k];
        // Relative to the frame at (120, 60): left 180, top 300 + 245 k.
        ExpectRect(Pixels(main, 120 + 180, 60 + 300 + 245 * k, 3075, 195), box.rect, captions[k]);
    }
    EXPECT_EQ(nullptr, GetDlgItem(main, IDC_CHKPORT + 4));
    EXPECT_EQ("Disable serial mouse detection on", Find(main, IDC_FRAPORTS).text);

    // Four ports: frame 1430 high, buttons at 1540, window 2355 high.
    ExpectRect(Pixels(main, 120, 60, 3375, 1430), Find(main, IDC_FRAPORTS).rect, "frame");
    ExpectRect(Pixels(main, 2340, 1540, 1155, 315), Find(main, IDC_CMDCLOSE).rect, "Close");
    ExpectRect(Pixels(main, 120, 1540, 1155, 315), Find(main, IDC_CMDABOUT).rect, "About");
    EXPECT_EQ("Close", Find(main, IDC_CMDCLOSE).text);
    EXPECT_EQ("About...", Find(main, IDC_CMDABOUT).text);
    RECT outer{};
    GetWindowRect(main, &outer);
    const RECT fitted = Pixels(main, 0, 0, 3630, 2355);
    EXPECT_EQ(fitted.bottom, outer.bottom - outer.top);
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(Pixels(main, 0, 0, 3630, 2640).right, client.right) << "design client width";
    // Centred at load on the whole screen at the design size; the fit keeps
    // the top where it was.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_NEAR((screenWidth - (outer.right - outer.left)) / 2, outer.left, 1);

    // Ticking COM4 (instance 4) writes -1 there; clearing COM2 writes 0.
    Click(GetDlgItem(main, IDC_CHKPORT + 2));
    EXPECT_TRUE(WaitChecked(main, IDC_CHKPORT + 2, BST_CHECKED));
    EXPECT_TRUE(WaitSkip(4, "0xffffffff")) << QuerySkip(4);
    Click(GetDlgItem(main, IDC_CHKPORT + 1));
    EXPECT_TRUE(WaitChecked(main, IDC_CHKPORT + 1, BST_UNCHECKED));
    EXPECT_TRUE(WaitSkip(2, "0x0")) << QuerySkip(2);
    EXPECT_EQ("", QuerySkip(1)) << "untouched ports are not written";
    EXPECT_EQ("", QuerySkip(7));

    // Keyboard: focus the first box, Tab to the second, Space ticks it.
    Click(GetDlgItem(main, IDC_CHKPORT));  // ticks COM1 and gives it the focus
    EXPECT_TRUE(WaitSkip(1, "0xffffffff")) << QuerySkip(1);
    PressKey(main, VK_TAB);
    for (int i = 0; i < 40 && FocusOf(main) != GetDlgItem(main, IDC_CHKPORT + 1); ++i) Sleep(50);
    EXPECT_EQ(GetDlgItem(main, IDC_CHKPORT + 1), FocusOf(main)) << "Tab goes to the next box";
    PressKey(main, VK_SPACE);
    EXPECT_TRUE(WaitChecked(main, IDC_CHKPORT + 1, BST_CHECKED));
    EXPECT_TRUE(WaitSkip(2, "0xffffffff")) << QuerySkip(2);

    // About, closed with Escape.
    Click(GetDlgItem(main, IDC_CMDABOUT));
    HWND about = program.Message();
    ASSERT_NE(nullptr, about);
    const std::string aboutText = MessageBoxText(about);
    EXPECT_EQ(0u, aboutText.find("Tool for disabling serial mouse detection on COM-ports\r\n\r\n"))
        << aboutText;
    ExpectPlainBox(about, "About");
    PressKey(about, VK_ESCAPE);
    ASSERT_TRUE(program.MessageGone()) << "Escape did not close About";

    Click(GetDlgItem(main, IDC_CMDCLOSE));
    EXPECT_TRUE(program.Exited(10000)) << "Close did not end the program";
}

TEST_F(PortquellE2E, CloseBoxEndsTheProgram) {
    SeedPort(3, "COM3", nullptr);
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.DismissReport("Found 1 serial ports, and 0 was already disabled");
    ASSERT_NE(nullptr, main);
    // One port: the design geometry stays.
    ExpectRect(Pixels(main, 120, 60, 3375, 2115), Find(main, IDC_FRAPORTS).rect, "frame");
    ExpectRect(Pixels(main, 2340, 2280, 1155, 315), Find(main, IDC_CMDCLOSE).rect, "Close");
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.Exited(10000)) << "the close box did not end the program";
    EXPECT_EQ("", QuerySkip(3)) << "the scan wrote to the registry";
}

TEST_F(PortquellE2E, LongListGrowsTheWindowAndScrollsInsideTheFrame) {
    constexpr int kCount = 70;
    for (int n = 1; n <= kCount; ++n) SeedPort(n, ("COM" + std::to_string(n)).c_str(), nullptr);
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.DismissReport("Found 70 serial ports, and 0 was already disabled");
    ASSERT_NE(nullptr, main);

    RECT outer{};
    GetWindowRect(main, &outer);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(outer.top, work.top);
    EXPECT_LE(outer.bottom, work.bottom) << "the grown window leaves the screen";
    const RECT frame = Find(main, IDC_FRAPORTS).rect;
    const int dpi = static_cast<int>(GetDpiForWindow(main));
    HWND bar = GetDlgItem(main, 103);
    ASSERT_NE(nullptr, bar) << "no scroll bar for a list taller than the screen";
    EXPECT_TRUE(IsWindowVisible(bar));

    // Every box on show lies inside the frame; the last one only after
    // scrolling to the end.
    auto shownInside = [&] {
        int shown = 0;
        for (const ControlInfo& c : ListControls(main)) {
            if (c.id < IDC_CHKPORT || !c.visible) continue;
            ++shown;
            EXPECT_GE(c.rect.top, frame.top) << c.text;
            // One pixel for rounding.
            EXPECT_LE(c.rect.bottom, frame.bottom - MulDiv(design::kScrollBottomMargin, dpi, 1440) + 1)
                << c.text << " inside the frame's bottom margin";
        }
        return shown;
    };
    EXPECT_GT(shownInside(), 10);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, IDC_CHKPORT + kCount - 1)));
    SendMessageA(main, WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(bar));
    EXPECT_GT(shownInside(), 10);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(main, IDC_CHKPORT + kCount - 1)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, IDC_CHKPORT)));

    Click(GetDlgItem(main, IDC_CHKPORT + kCount - 1));
    EXPECT_TRUE(WaitSkip(kCount, "0xffffffff")) << QuerySkip(kCount);
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.Exited(10000));
}

TEST_F(PortquellE2E, NoPortsSaysSoAndStillCloses) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.DismissReport("No serial ports found...", VK_ESCAPE);
    ASSERT_NE(nullptr, main);
    EXPECT_FALSE(Find(main, IDC_CHKPORT).visible);
    EXPECT_TRUE(WaitFocus(main, GetDlgItem(main, IDC_CMDCLOSE))) << "without ports the focus is on Close";
    ASSERT_TRUE(TypeKeys("Return"));
    EXPECT_TRUE(program.Exited(10000)) << "Enter on Close did not end the program";
}

// A write the registry refuses for another reason than rights: a key
// cannot be created under a volatile one (status 1021). The box goes back,
// and the warning, with one OK button and the exclamation icon, gives the
// status and the system's own description of it.
TEST_F(PortquellE2E, RefusedWriteWarnsWithTheSystemsReason) {
    SeedPort(1, "COM1", nullptr);
    SeedPort(2, "COM2", nullptr);
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.DismissReport("Found 2 serial ports, and 0 was already disabled");
    ASSERT_NE(nullptr, main);
    const std::string instance = std::string(kPorts) + "\\2";
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_LOCAL_MACHINE, instance.c_str()));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, instance.c_str(), 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);

    Click(GetDlgItem(main, IDC_CHKPORT + 1));
    HWND warning = program.Message();
    ASSERT_NE(nullptr, warning);
    char description[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_CHILD_MUST_BE_VOLATILE, 0, description, sizeof description, nullptr);
    std::string expected = description;
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r' || expected.back() == ' ')) {
        expected.pop_back();
    }
    const std::string text = MessageBoxText(warning);
    EXPECT_EQ("The change could not be saved: the registry refused it (status 1021).\r\n\r\n" +
                  (expected.empty() ? std::string("The system gives no description of this status.") : expected),
              text);
    EXPECT_EQ(std::string::npos, text.find("administrator")) << "not a matter of rights";
    EXPECT_EQ(std::vector<std::string>{"OK"}, MessageBoxButtons(warning));
    EXPECT_STREQ("exclamation", MessageBoxIconKind(warning));
    PressKey(warning, VK_RETURN);
    ASSERT_TRUE(program.MessageGone());
    EXPECT_TRUE(WaitChecked(main, IDC_CHKPORT + 1, BST_UNCHECKED)) << "the box went back";
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.Exited(10000));
}

// The window as the fit leaves it, under whichever look and DPI the driver
// set: every control wholly inside the client area, at the design's
// positions scaled for the DPI, no caption cut off, and below the buttons
// the fit's 500 twips or, where the real frame needs more, the design's
// margin plus the frame.
struct Fit {
    int frameHeight;  // twips
    int buttonTop;
    int outerHeight;  // 0: the design's client area, unchanged
    bool scrolls;
};

Fit ExpectedFit(int ports, int frameTwips, int workTwips) {
    const Fit design{2115, 2280, 0, false};
    if (ports <= 3) return design;
    const int list = 300 + 245 * (ports - 1) + 195 + 200;
    const int below = std::max(500, 45 + frameTwips);
    if (list < 2115) return Fit{list, 60 + list + 50, 60 + list + 50 + 315 + below, false};
    if (ports < 8) return design;
    const int fixed = 60 + 50 + 315 + below;
    const int frame = std::min(list, workTwips - fixed);
    return Fit{frame, 60 + frame + 50, 60 + frame + 50 + 315 + below, frame < list};
}

// Text of a control as the program draws it, in its font at this DPI.
SIZE CaptionSize(const std::string& text, int dpi) {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontA(-MulDiv(design::kFontPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             CLEARTYPE_QUALITY, DEFAULT_PITCH, design::kFontFace);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    size.cy = metrics.tmHeight - metrics.tmInternalLeading;  // the glyphs, not the leading
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return size;
}

// An adapter's box names its device, and the window widens until the
// longest caption shows whole, under every frame profile.
TEST_F(PortquellE2E, LongCaptionWidensTheWindow) {
    const std::string usb = std::string(kEnum) + "\\USB\\VID_1A86&PID_7523\\5&2A&0&2";
    const std::string name = "USB-SERIAL CH340 on the bench supply's remote-control port";
    SeedPort(1, "COM1", nullptr);
    SetText(usb + "\\Device Parameters", "PortName", REG_SZ, std::string("COM7") + '\0');
    SetText(usb, "FriendlyName", REG_SZ, name + " (COM7)" + '\0');
    Program program("/all");
    HWND main = program.DismissReport("Found 2 serial ports, and 0 was already disabled");
    ASSERT_NE(nullptr, main);
    Sleep(200);
    const int dpi = static_cast<int>(GetDpiForWindow(main));
    RECT client{};
    RECT outer{};
    RECT work{};
    GetClientRect(main, &client);
    GetWindowRect(main, &outer);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const ControlInfo box = Find(main, IDC_CHKPORT + 1);
    EXPECT_EQ("COM7  " + name, box.text);
    EXPECT_LE(CaptionSize(box.text, dpi).cx + GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + MulDiv(4, dpi, 96),
              box.rect.right - box.rect.left);
    EXPECT_EQ("COM1", Find(main, IDC_CHKPORT).text);
    for (const ControlInfo& c : ListControls(main)) {
        if (c.visible) {
            EXPECT_LE(c.rect.right, client.right) << c.text << " sticks out on the right";
        }
    }
    EXPECT_EQ(Find(main, IDC_FRAPORTS).rect.right, Find(main, IDC_CMDCLOSE).rect.right) << "Close keeps to the frame";
    EXPECT_GE(outer.left, work.left);
    EXPECT_LE(outer.right, work.right);
    const std::string shots = Env("PORTQUELL_E2E_OUT", ".");
    EXPECT_TRUE(SaveScreenshot(main, shots + "\\portquell-long-" + Env("PORTQUELL_LOOK", "wine") + "-" +
                                         std::to_string(dpi) + ".bmp"));
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.Exited(10000));
}

class Layouts : public PortquellE2E, public ::testing::WithParamInterface<int> {};

TEST_P(Layouts, EveryControlInsideTheClientAreaAtTheDesignsPlace) {
    const int ports = GetParam();
    for (int n = 1; n <= ports; ++n) SeedPort(n, ("COM" + std::to_string(n)).c_str(), nullptr);
    Program program;
    ASSERT_TRUE(program.Started());
    HWND report = program.Message();
    ASSERT_NE(nullptr, report);
    ExpectPlainBox(report, "the report");
    PressKey(report, VK_RETURN);
    ASSERT_TRUE(program.MessageGone());
    HWND main = program.Main();
    ASSERT_NE(nullptr, main);
    Sleep(200);

    const std::string look = Env("PORTQUELL_LOOK", "wine");
    const int dpi = static_cast<int>(GetDpiForWindow(main));
    EXPECT_EQ(std::atoi(Env("PORTQUELL_DPI", "96").c_str()), dpi) << "the profile's DPI is in force";
    RECT outer{};
    RECT client{};
    GetWindowRect(main, &outer);
    GetClientRect(main, &client);
    const int framePixels = (outer.bottom - outer.top) - client.bottom;
    const int frameTwips = (framePixels * 1440 + dpi - 1) / dpi;
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const Fit fit = ExpectedFit(ports, frameTwips, MulDiv(work.bottom - work.top, 1440, dpi));
    std::printf("[ measure  ] look %s, %d DPI, %d ports: frame %d px (%d twips), outer %ld px, client %ld px\n",
                look.c_str(), dpi, ports, framePixels, frameTwips, outer.bottom - outer.top, client.bottom);
    if (look == "wine") {
        // Wine's own look leaves room for the fit's formula: heights as ever.
        EXPECT_LE(frameTwips, 500 - 45);
    }

    // Where the design puts them, scaled for the DPI.
    ExpectRect(Pixels(main, 120, 60, 3375, fit.frameHeight), Find(main, IDC_FRAPORTS).rect, "frame");
    ExpectRect(Pixels(main, 2340, fit.buttonTop, 1155, 315), Find(main, IDC_CMDCLOSE).rect, "Close");
    ExpectRect(Pixels(main, 120, fit.buttonTop, 1155, 315), Find(main, IDC_CMDABOUT).rect, "About");
    if (fit.outerHeight == 0) {
        EXPECT_EQ(Pixels(main, 0, 0, 3630, 2640).bottom, client.bottom) << "design client height";
    } else {
        EXPECT_EQ(Pixels(main, 0, 0, 0, fit.outerHeight).bottom, outer.bottom - outer.top) << "fitted height";
    }
    EXPECT_EQ(Pixels(main, 0, 0, 3630, 2640).right, client.right) << "design client width";
    if (!fit.scrolls) {
        // Centred at load on the whole screen, both ways, at the design's
        // size: the title bar and borders of this look around the design's
        // client area. The fit keeps the top where centring put it.
        const int designOuterHeight = Pixels(main, 0, 0, 0, 2640).bottom + framePixels;
        EXPECT_NEAR((GetSystemMetrics(SM_CYSCREEN) - designOuterHeight) / 2, outer.top, 1) << "vertical centre";
        EXPECT_NEAR((GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2, outer.left, 1)
            << "horizontal centre";
    }
    EXPECT_EQ(fit.scrolls, GetDlgItem(main, design::kIdFrameScroll) != nullptr &&
                               IsWindowVisible(GetDlgItem(main, design::kIdFrameScroll)));

    // Wholly inside the client area, and no caption cut off.
    int boxesShown = 0;
    for (const ControlInfo& c : ListControls(main)) {
        if (!c.visible) continue;
        EXPECT_GE(c.rect.left, 0) << c.text;
        EXPECT_GE(c.rect.top, 0) << c.text;
        EXPECT_LE(c.rect.right, client.right) << c.text << " sticks out on the right";
        EXPECT_LE(c.rect.bottom, client.bottom) << c.text << " is cut off at the bottom";
        const SIZE text = CaptionSize(c.text, dpi);
        const int width = c.rect.right - c.rect.left;
        const int height = c.rect.bottom - c.rect.top;
        if (c.id >= IDC_CHKPORT && c.id != design::kIdFrameScroll) {
            const int k = c.id - IDC_CHKPORT;
            if (!fit.scrolls) {
                ExpectRect(Pixels(main, 120 + 180, 60 + 300 + 245 * k, 3075, 195), c.rect, c.text);
            }
            ++boxesShown;
            EXPECT_LE(text.cx + GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + MulDiv(4, dpi, 96), width) << c.text;
            EXPECT_LE(text.cy, height) << c.text;
        } else if (c.id == IDC_CMDCLOSE || c.id == IDC_CMDABOUT) {
            EXPECT_LE(text.cx + 2 * GetSystemMetricsForDpi(SM_CXEDGE, dpi), width) << c.text;
            EXPECT_LE(text.cy, height) << c.text;
        } else if (c.id == IDC_FRAPORTS) {
            EXPECT_LE(text.cx + MulDiv(16, dpi, 96), width) << c.text;
        }
    }
    if (fit.scrolls) {
        EXPECT_GT(boxesShown, 3) << "a scrolling frame shows what fits";
    } else {
        EXPECT_EQ(ports, boxesShown);
    }
    if (ports == 4) {
        const std::string shots = Env("PORTQUELL_E2E_OUT", ".");
        EXPECT_TRUE(SaveScreenshot(main, shots + "\\portquell-" + look + "-" + std::to_string(dpi) + ".bmp"));
    }
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.Exited(10000));
}

INSTANTIATE_TEST_SUITE_P(Layouts, Layouts, ::testing::Values(0, 1, 4, 6, 10, 70),
                         [](const auto& info) { return std::to_string(info.param) + "_ports"; });

}  // namespace
}  // namespace portquell::e2e
