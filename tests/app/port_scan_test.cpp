// The start-up scan against an in-memory registry and a fake window.
#include <gtest/gtest.h>

#include <functional>

#include "app/modAppMainUsr.h"
#include "app/system_error_text.h"
#include "fake_window.h"
#include "faulty_registry.h"
#include "port_registry.h"

namespace portquell {
namespace {

using testing::AddPort;
using testing::DumpMachine;
using testing::FakeWindow;
using testing::SetPortValue;
using Bytes = std::vector<std::uint8_t>;

class PortScan : public ::testing::Test {
protected:
    void Run() { Main(window_, counted_, devices_); }

    // Visible boxes as "caption/tag/state".
    std::vector<std::string> VisibleBoxes() const {
        std::vector<std::string> out;
        for (const auto& box : window_.Boxes()) {
            if (box.visible) out.push_back(box.caption + "/" + box.tag + "/" + std::to_string(box.state));
        }
        return out;
    }

    MemoryRegistry reg_;
    testing::FaultyRegistry counted_{reg_};
    MemoryDevices devices_;
    FakeWindow window_{counted_, &devices_};
};

TEST_F(PortScan, NoPortsLeavesTheDesignAndSaysSo) {
    Run();
    EXPECT_TRUE(VisibleBoxes().empty());
    EXPECT_EQ(1, window_.BoxCount());
    ASSERT_EQ(1u, window_.messages.size());
    EXPECT_EQ("No serial ports found...", window_.messages[0].text);
    EXPECT_EQ(MessageIcon::None, window_.messages[0].icon);
    EXPECT_EQ(2115, window_.ControlRect(Control::fraPorts).height);
    EXPECT_EQ(2280, window_.ControlRect(Control::cmdClose).top);
    EXPECT_EQ(2640 + FakeWindow::kChromeHeight, window_.OuterRect().height);
    EXPECT_FALSE(bScanning);
}

TEST_F(PortScan, LoadingCentresTheWindowOnTheWholeScreen) {
    Run();
    const Rect outer = window_.OuterRect();
    EXPECT_EQ(28800 / 2 - (3630 + FakeWindow::kChromeWidth) / 2, outer.left);
    EXPECT_EQ(16200 / 2 - (2640 + FakeWindow::kChromeHeight) / 2, outer.top);
}

TEST_F(PortScan, GapsInInstanceNumbersKeepInstanceTagsAndBoxOrder) {
    AddPort(reg_, "3", "COM3");
    AddPort(reg_, "1", "COM1");
    Run();
    EXPECT_EQ((std::vector<std::string>{"COM1/1/0", "COM3/3/0"}), VisibleBoxes());
    EXPECT_EQ(545, window_.BoxRect(1).top);
    EXPECT_EQ(180, window_.BoxRect(1).left);
    EXPECT_EQ(3075, window_.BoxRect(1).width);
    EXPECT_EQ("Found 2 serial ports, and 0 was already disabled", window_.messages.at(0).text);
}

TEST_F(PortScan, OnlyInstancesOneToTwoHundredCount) {
    for (const char* instance : {"0", "201", "999", "abc", "007", "-1"}) {
        AddPort(reg_, instance, std::string("X") + instance);
    }
    AddPort(reg_, "200", "COM200");
    Run();
    EXPECT_EQ((std::vector<std::string>{"COM200/200/0"}), VisibleBoxes());
}

TEST_F(PortScan, KeyWithoutDeviceParametersIsSkipped) {
    RegHandle key = 0;
    ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, testing::kPortsKey + "\\2", 0,
                                  regaccess::kAllAccess, false, &key, nullptr));
    ASSERT_EQ(0, reg_.CloseKey(key));
    SetPortValue(reg_, "4", "SkipEnumerations", regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF});
    Run();
    // Instance 4 has no PortName: an empty caption, still a port.
    EXPECT_EQ((std::vector<std::string>{"/4/1"}), VisibleBoxes());
}

struct SkipCase {
    const char* label;
    bool present;
    std::uint32_t type;
    Bytes data;
    int state;
};

class SkipEnumerationsForms : public PortScan, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(SkipEnumerationsForms, OnlyFourFFBytesNotTextCountAsDisabled) {
    const SkipCase& c = GetParam();
    AddPort(reg_, "1", "COM1");
    if (c.present) SetPortValue(reg_, "1", "SkipEnumerations", c.type, c.data);
    Run();
    EXPECT_EQ(c.state, window_.BoxState(0));
    EXPECT_EQ(std::string("Found 1 serial ports, and ") + (c.state ? "1" : "0") +
                  " was already disabled",
              window_.messages.at(0).text);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SkipEnumerationsForms,
    ::testing::Values(SkipCase{"dword_minus_one", true, regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF}, 1},
                      SkipCase{"dword_zero", true, regtype::kDword, {0, 0, 0, 0}, 0},
                      SkipCase{"dword_one", true, regtype::kDword, {1, 0, 0, 0}, 0},
                      SkipCase{"missing", false, 0, {}, 0},
                      SkipCase{"binary_ff", true, regtype::kBinary, {0xFF, 0xFF, 0xFF, 0xFF}, 1},
                      SkipCase{"binary_five_ff", true, regtype::kBinary,
                               {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0},
                      SkipCase{"text_ff", true, regtype::kSz,
                               {'F', 'F', ' ', 'F', 'F', ' ', 'F', 'F', ' ', 'F', 'F', 0}, 0},
                      // The serial enumerator reads four bytes of any type
                      // but text as the number.
                      SkipCase{"text_of_four_ff_bytes", true, regtype::kSz, {0xFF, 0xFF, 0xFF, 0xFF}, 0},
                      SkipCase{"none_ff", true, regtype::kNone, {0xFF, 0xFF, 0xFF, 0xFF}, 1},
                      SkipCase{"text_lower_ff", true, regtype::kSz,
                               {'f', 'f', ' ', 'f', 'f', ' ', 'f', 'f', ' ', 'f', 'f', 0}, 0},
                      SkipCase{"qword_minus_one", true, regtype::kQword, Bytes(8, 0xFF), 0}),
    [](const ::testing::TestParamInfo<SkipCase>& info) { return info.param.label; });

struct LayoutCase {
    int ports;
    std::int32_t frameHeight;
    std::int32_t buttonTop;
    std::int32_t outerHeight;  // 0: the design's
};

// Both kinds of frame: one thin enough for the fit's 500 twips below the
// buttons (Wine's default look), and Windows 10/11's, 585 twips tall,
// which would cut 85 twips off the buttons.
constexpr std::int32_t kThinChrome = 420;
constexpr std::int32_t kWindowsChrome = 585;

class LayoutFit : public PortScan,
                  public ::testing::WithParamInterface<std::tuple<LayoutCase, std::int32_t>> {};

TEST_P(LayoutFit, FrameButtonsAndWindowFollowTheList) {
    const auto& [c, chrome] = GetParam();
    window_.SetChromeHeight(chrome);
    for (int n = 1; n <= c.ports; ++n) AddPort(reg_, std::to_string(n), "COM" + std::to_string(n));
    const std::int32_t designOuter = 2640 + chrome;
    Run();
    EXPECT_EQ(c.frameHeight, window_.ControlRect(Control::fraPorts).height);
    EXPECT_EQ(c.buttonTop, window_.ControlRect(Control::cmdClose).top);
    EXPECT_EQ(c.buttonTop, window_.ControlRect(Control::cmdAbout).top);
    // The fit's formula where the frame leaves room for it; otherwise the
    // design's 45-twip margin below the buttons plus the real frame.
    const std::int32_t outer =
        c.outerHeight == 0 ? designOuter
                           : (chrome == kThinChrome ? c.outerHeight : c.buttonTop + 315 + 45 + chrome);
    EXPECT_EQ(outer, window_.OuterRect().height);
    EXPECT_LE(c.buttonTop + 315 + 45, window_.OuterRect().height - chrome) << "buttons cut off";
    EXPECT_EQ(2340, window_.ControlRect(Control::cmdClose).left);
    // The buttons line up with the frame's two edges.
    const Rect frame = window_.ControlRect(Control::fraPorts), close = window_.ControlRect(Control::cmdClose);
    EXPECT_EQ(frame.left + frame.width, close.left + close.width);
    EXPECT_EQ(frame.left, window_.ControlRect(Control::cmdAbout).left);
    EXPECT_EQ(0, window_.scrollExtent);
    if (c.ports > 0) {
        EXPECT_EQ(300 + 245 * (c.ports - 1), window_.BoxRect(static_cast<std::int16_t>(c.ports - 1)).top);
        // Every box lies inside the frame.
        const Rect last = window_.BoxRect(static_cast<std::int16_t>(c.ports - 1));
        if (c.ports != 7) {
            EXPECT_LE(last.top + last.height, c.frameHeight);
        }
    }
    // The window stays where centring put it.
    EXPECT_EQ(16200 / 2 - designOuter / 2, window_.OuterRect().top);
}

INSTANTIATE_TEST_SUITE_P(ZeroToNine, LayoutFit,
                         ::testing::Combine(::testing::Values(LayoutCase{0, 2115, 2280, 0}, LayoutCase{1, 2115, 2280, 0},
                                           LayoutCase{2, 2115, 2280, 0}, LayoutCase{3, 2115, 2280, 0},
                                           LayoutCase{4, 1430, 1540, 2355},
                                           LayoutCase{5, 1675, 1785, 2600},
                                           LayoutCase{6, 1920, 2030, 2845},
                                           LayoutCase{7, 2115, 2280, 0},
                                           LayoutCase{8, 2410, 2520, 3335},
                                           LayoutCase{9, 2655, 2765, 3580}),
                                            ::testing::Values(kThinChrome, kWindowsChrome)),
                         [](const auto& info) {
                             return std::to_string(std::get<0>(info.param).ports) + "_ports_" +
                                    (std::get<1>(info.param) == kThinChrome ? "thin_frame" : "windows_frame");
                         });

TEST_F(PortScan, ListTallerThanTheWorkAreaScrollsInsideTheFrame) {
    for (int n = 1; n <= 200; ++n) AddPort(reg_, std::to_string(n), "COM" + std::to_string(n));
    Run();
    const std::int32_t listHeight = 300 + 245 * 199 + 195 + 200;
    EXPECT_EQ(listHeight, window_.scrollExtent);
    const Rect outer = window_.OuterRect();
    EXPECT_GE(outer.top, FakeWindow::kWorkArea.top);
    EXPECT_EQ(FakeWindow::kWorkArea.height, outer.height);
    EXPECT_LE(outer.top + outer.height, FakeWindow::kWorkArea.top + FakeWindow::kWorkArea.height);
    const Rect close = window_.ControlRect(Control::cmdClose);
    EXPECT_EQ(close.top + close.height + 45 + FakeWindow::kChromeHeight, outer.height);
    EXPECT_EQ("Found 200 serial ports, and 0 was already disabled", window_.messages.at(0).text);
}

// Registry refusals in the middle of the scan: a refused open skips the
// port, a failed read becomes the handler's text for that status, and
// every key opened is closed exactly once.
struct ScanFault {
    const char* label;
    std::function<void(testing::FaultyRegistry&)> arrange;
    std::vector<std::string> boxes;
};

class ScanFaults : public PortScan, public ::testing::WithParamInterface<ScanFault> {};

TEST_P(ScanFaults, RefusalsAreSkippedOrShownAndEveryKeyClosedOnce) {
    AddPort(reg_, "1", "COM1");
    AddPort(reg_, "2", "COM2");
    AddPort(reg_, "3", "COM3");
    SetPortValue(reg_, "3", "SkipEnumerations", regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF});
    testing::FaultyRegistry faulty(reg_);
    GetParam().arrange(faulty);
    Main(window_, faulty, window_.Devices());
    EXPECT_EQ(GetParam().boxes, VisibleBoxes());
    // Each box in neither state is named in the report, with its status;
    // none is counted as disabled.
    std::size_t unread = 0;
    for (const auto& box : window_.Boxes()) {
        if (box.state != kIndeterminate) continue;
        ++unread;
        // (a port whose name could not be read either by its key)
        const std::string name = box.caption.rfind("COM", 0) == 0 ? box.caption : "ACPI\\PNP0501\\" + box.tag;
        EXPECT_NE(std::string::npos, window_.messages.back().text.find("\r\nThe state of " + name +
                                                                      " could not be read (status "))
            << window_.messages.back().text;
    }
    const std::string& report = window_.messages.back().text;
    std::size_t told = 0;
    for (std::size_t at = report.find("could not be read"); at != std::string::npos; at = report.find("could not be read", at + 1)) {
        ++told;
    }
    EXPECT_EQ(unread, told);
    const auto ticked = std::count_if(GetParam().boxes.begin(), GetParam().boxes.end(),
                                      [](const std::string& b) { return b.back() == '1'; });
    EXPECT_EQ(std::to_string(ticked) + " was already disabled",
              window_.messages.back().text.substr(window_.messages.back().text.find(", and ") + 6, 22));
    EXPECT_TRUE(faulty.HandlesNotClosedOnce().empty());
    EXPECT_EQ(0u, faulty.CountOf(testing::RegCall::SetValueEx));
}

bool Reads(const testing::RegCallRecord& r, const char* name) {
    return r.call == testing::RegCall::QueryValueEx && r.name == name;
}
bool Opens(const testing::RegCallRecord& r, const char* instance) {
    return r.call == testing::RegCall::OpenKeyEx &&
           r.name == testing::kPortsKey + "\\" + instance + "\\Device Parameters";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScanFaults,
    ::testing::Values(
        ScanFault{"nothing_fails", [](testing::FaultyRegistry&) {},
                  {"COM1/1/0", "COM2/2/0", "COM3/3/1"}},
        ScanFault{"open_refused_skips_the_port",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen([](const auto& r) { return Opens(r, "2"); }, regstatus::kAccessDenied);
                  },
                  {"COM1/1/0", "COM3/3/1"}},
        ScanFault{"port_name_access_denied",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen([](const auto& r) { return Reads(r, "PortName") && !r.withData; },
                                 regstatus::kAccessDenied);
                  },
                  {"Access Denied/1/0", "Access Denied/2/0", "Access Denied/3/1"}},
        ScanFault{"port_name_other_status",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen([](const auto& r) { return Reads(r, "PortName") && !r.withData; }, 1018);
                  },
                  {"RegQueryValueEx Returned : (1018)/1/0", "RegQueryValueEx Returned : (1018)/2/0",
                   "RegQueryValueEx Returned : (1018)/3/1"}},
        ScanFault{"skip_read_refused_is_neither_state",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen([](const auto& r) { return Reads(r, "SkipEnumerations"); },
                                 regstatus::kAccessDenied);
                  },
                  {"COM1/1/2", "COM2/2/2", "COM3/3/2"}},
        ScanFault{"both_refused_for_one",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen([&f](const auto& r) { return (Reads(r, "SkipEnumerations") || Reads(r, "PortName")) &&
                                                            f.PathOf(r.key).find("\\2\\") != std::string::npos; }, 1018);
                  },
                  {"COM1/1/0", "RegQueryValueEx Returned : (1018)/2/2", "COM3/3/1"}},
        ScanFault{"close_refused_once",
                  [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::CloseKey, 6, 1); },
                  {"COM1/1/0", "COM2/2/0", "COM3/3/1"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PortScan, ScanWritesNothingAndReportsAfterShowing) {
    AddPort(reg_, "1", "COM1");
    AddPort(reg_, "2", "COM2");
    SetPortValue(reg_, "2", "SkipEnumerations", regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF});
    AddPort(reg_, "5", "COM5");
    SetPortValue(reg_, "5", "SkipEnumerations", regtype::kBinary, {0xFF, 0xFF, 0xFF, 0xFF});
    const std::string before = DumpMachine(reg_);
    Run();
    EXPECT_EQ(before, DumpMachine(reg_));
    EXPECT_EQ(0u, reg_.OpenHandleCount());
    EXPECT_EQ((std::vector<std::string>{"COM1/1/0", "COM2/2/1", "COM5/5/1"}), VisibleBoxes());
    // The scan's ticks raised the click handler, which wrote nothing.
    EXPECT_EQ((std::vector<std::string>{"load", "click 1", "click 2", "show", "message"}),
              window_.events);
    ASSERT_EQ(1u, window_.messages.size());
    EXPECT_TRUE(window_.messages[0].windowVisible);
    EXPECT_EQ("Found 3 serial ports, and 2 was already disabled", window_.messages[0].text);
}

TEST_F(PortScan, MainResetsTheCounters) {
    AddPort(reg_, "1", "COM1");
    iPortCount = 17;
    iDisabledCount = 4;
    Run();
    EXPECT_EQ(1, iPortCount);
    EXPECT_EQ(0, iDisabledCount);
}

// portquell.exe /all: every serial port in the same window (a parallel
// port and a port its driver names otherwise are none); the window's own
// keep their instance numbers as tags, the others their instance IDs, and
// a click writes the port's own key.
TEST_F(PortScan, AllListsEveryPortAndWritesItsKey) {
    const std::string ftdi = "FTDIBUS\\VID_0403+PID_6001+A1\\0000";
    const std::string usb = "USB\\VID_067B&PID_2303\\5&2A&0&2";
    AddPort(reg_, "1", "COM1");
    testing::AddPortAt(reg_, std::string(kEnumKey) + "\\" + ftdi, "COM5");
    testing::AddPortAt(reg_, std::string(kEnumKey) + "\\" + usb, "com12");
    testing::AddPortAt(reg_, std::string(kEnumKey) + "\\ACPI\\PNP0400\\1", "LPT1");
    testing::AddPortAt(reg_, std::string(kEnumKey) + "\\ROOT\\PORTS\\0000", "CNCA0");
    // The adapters' boxes name their devices, the window widens to the
    // longest caption (90 twips a character; the guard's box, shown with
    // /all, has it), and an ACPI port's box is its name.
    testing::SetTextAt(reg_, std::string(kEnumKey) + "\\" + usb, "FriendlyName", "Prolific USB-to-Serial Comm Port (COM12)");
    testing::SetTextAt(reg_, std::string(kEnumKey) + "\\ACPI\\PNP0501\\1", "FriendlyName", "Communications Port (COM1)");
    testing::SetTextAt(reg_, std::string(kEnumKey) + "\\" + ftdi, "FriendlyName", "GPS\r\n (COM5)");
    // A mouse present on COM5 lists it once: /all lists it already.
    devices_.Add({"SERENUM\\PNP0F0C\\5&AB&0&0000", {}, {"SERIAL_MOUSE"}, "", kMouseClassGuid, true, ftdi});
    Main(window_, reg_, window_.Devices(), PortScope::All);
    EXPECT_EQ((std::vector<std::string>{"COM1/1/0", "COM5  GPS  /" + ftdi + "/0",
                                        "com12  Prolific USB-to-Serial Comm Port/" + usb + "/0"}),
              VisibleBoxes());
    EXPECT_TRUE(window_.guardVisible);
    const std::int32_t extra = 300 + 90 * 55 - design::kBox.width;
    EXPECT_EQ(design::kClientWidth + testing::FakeWindow::kChromeWidth + extra, window_.outer.width);
    EXPECT_EQ(design::kFrame.width + extra, window_.controls[0].width);
    EXPECT_EQ(design::kClose.left + extra, window_.controls[1].left);
    EXPECT_EQ(design::kAbout.left, window_.controls[2].left);
    for (const auto& box : window_.Boxes()) EXPECT_EQ(design::kBox.width + extra, box.rect.width);
    EXPECT_EQ("Found 3 serial ports, and 0 was already disabled", window_.messages.back().text);
    window_.UserClick(1);
    EXPECT_EQ(Bytes({0xFF, 0xFF, 0xFF, 0xFF}),
              testing::ValueAt(reg_, std::string(kEnumKey) + "\\" + ftdi, "SkipEnumerations").data);
    EXPECT_FALSE(testing::PortValue(reg_, "1", "SkipEnumerations").present);
}

TEST_F(PortScan, WithoutAcpiPortsTheReportNamesAll) {
    testing::AddPortAt(reg_, std::string(kEnumKey) + "\\USB\\VID_067B&PID_2303\\5&2A&0&2", "COM7");
    Run();
    EXPECT_TRUE(VisibleBoxes().empty());
    EXPECT_EQ("No serial ports found...\r\n1 other serial port (USB adapter, PCI card) is not listed: "
              "start portquell.exe /all to list every port.",
              window_.messages.back().text);
}

// Beside ACPI COM1, FTDI COM5 (prefix 5&AB&0) and USB COM7: a serial mouse
// present on another port lists it after COM1, and the report says why;
// without one present, no key beyond the ACPI ones is opened.
struct StartupCase {
    const char* label;
    bool present;
    DevStatus listing;
    const char* usbPrefix;
    const char* parent;  // the mouse's parent as the system names it
    std::vector<std::string> boxes;
    std::string lines;  // the report below its first line
};

class StartupMice : public PortScan, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupMice, PortWithAPresentMouseIsListedAndTheReportSaysWhy) {
    const StartupCase& c = GetParam();
    const std::string usb = std::string(kEnumKey) + "\\USB\\VID_067B&PID_2303\\5&2A&0&2";
    AddPort(reg_, "1", "COM1");
    testing::AddPortAt(reg_, std::string(kEnumKey) + "\\FTDIBUS\\F\\0", "COM5");
    testing::SetPrefixAt(reg_, std::string(kEnumKey) + "\\FTDIBUS\\F\\0", "5&AB&0");
    testing::AddPortAt(reg_, usb, "COM7");
    testing::SetPrefixAt(reg_, usb, c.usbPrefix);
    devices_.Add({"SERENUM\\PNP0F0C\\5&AB&0&0000", {}, {}, "", kMouseClassGuid, c.present, c.parent});
    devices_.Add({"SERENUM\\PNP0F0C\\9&9&0&0000", {}, {}, "", kMouseClassGuid, false, ""});  // untold, not present
    // A mouse no serial enumerator made: the window lists the serial
    // enumerator's children only, never the whole mouse class.
    devices_.Add({"ROOT\\MOUSE\\0000", {}, {"SERIAL_MOUSE"}, "", kMouseClassGuid, true, "FTDIBUS\\F\\0"});
    devices_.FailList(c.listing);
    Run();
    EXPECT_EQ("Found " + std::to_string(c.boxes.size()) + " serial ports, and 0 was already disabled" + c.lines,
              window_.messages.at(0).text);
    EXPECT_EQ(c.boxes, VisibleBoxes());
    const auto beyond = [](const testing::RegCallRecord& r) {
        return r.call == testing::RegCall::OpenKeyEx && r.name.rfind(std::string(kEnumKey), 0) == 0 &&
               r.name.rfind(testing::kPortsKey, 0) != 0;
    };
    EXPECT_EQ(c.present && c.listing.Ok(), std::any_of(counted_.Calls().begin(), counted_.Calls().end(), beyond));
}

const std::string kOthers = " not listed: start portquell.exe /all to list every port.";
INSTANTIATE_TEST_SUITE_P(
    Mice, StartupMice,
    ::testing::Values(
        StartupCase{"present_on_ftdi", true, {}, "", "", {"COM1/1/0", "COM5/FTDIBUS\\F\\0/0"},
                    "\r\nCOM5 is listed because Windows has taken the device on it for a serial mouse.\r\n1 other "
                    "serial port (USB adapter, PCI card) is" + kOthers},
        StartupCase{"left_from_before", false, {}, "", "", {"COM1/1/0"}, ""},
        StartupCase{"present_on_the_windows_own", true, {}, "", "ACPI\\PNP0501\\1", {"COM1/1/0"},
                    "\r\n2 other serial ports (USB adapters, PCI cards) are" + kOthers},
        StartupCase{"prefix_on_two_ports", true, {}, "5&AB&0", "", {"COM1/1/0"},
                    "\r\n2 other serial ports (USB adapters, PCI cards) are" + kOthers + "\r\nA serial mouse whose port "
                    "cannot be told (SERENUM\\PNP0F0C\\5&AB&0&0000) is present and may be on any port: "
                    "\"portquell-cli disable --all --now\" removes it."},
        StartupCase{"listing_refused", true, DevStatus::Win32(5), "", "", {"COM1/1/0"},
                    "\r\nThe serial mice could not be listed (status 5" +
                        (SystemErrorText(5).empty() ? "" : ": " + SystemErrorText(5)) +
                        "): a port on which Windows has taken the device for a serial mouse may not be listed."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CommandLine, OnlyAllWidensTheList) {
    for (const char* line : {"/all", "/ALL", " -all ", "--all", "x /All"}) {
        EXPECT_EQ(PortScope::All, ScopeOfCommandLine(line)) << line;
    }
    for (const char* line : {"", "/allx", "all", "/a"}) {
        EXPECT_EQ(PortScope::Acpi, ScopeOfCommandLine(line)) << line;
    }
}

}  // namespace
}  // namespace portquell
