// Ticks and clears after the scan: what they write, where, and what the
// user sees when the registry refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/frmMain_events.h"
#include "app/modAppMainUsr.h"
#include "app/window_changes.h"
#include "guard/mouse_guard.h"
#include "ports/serial_port.h"
#include "app/system_error_text.h"
#include "fake_window.h"
#include "faulty_registry.h"
#include "port_registry.h"

namespace portquell {
namespace {

using testing::AddPort;
using testing::DumpMachine;
using testing::FakeWindow;
using testing::PortValue;
using Bytes = std::vector<std::uint8_t>;

const Bytes kOff{0xFF, 0xFF, 0xFF, 0xFF};
const Bytes kOn{0, 0, 0, 0};

class PortSwitch : public ::testing::Test {
protected:
    void SetUp() override {
        AddPort(reg_, "1", "COM1");
        AddPort(reg_, "3", "COM3");
    }

    void Start(FakeWindow& window) {
        Main(window, reg_, window.Devices());
        window.messages.clear();
    }

    MemoryRegistry reg_;
};

TEST_F(PortSwitch, TickAndClearWriteTheDwordToThatPortOnly) {
    FakeWindow window(reg_);
    Start(window);
    const std::string before = DumpMachine(reg_);

    window.UserClick(1);  // COM3, instance 3
    auto value = PortValue(reg_, "3", "SkipEnumerations");
    EXPECT_EQ(regtype::kDword, value.type);
    EXPECT_EQ(kOff, value.data);
    EXPECT_FALSE(PortValue(reg_, "1", "SkipEnumerations").present);
    const std::string expected =
        before + "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\3\\Device Parameters "
                 "[SkipEnumerations] type 4: 255 255 255 255\n";
    // The new value is the only change.
    EXPECT_EQ(testing::SortedLines(expected), testing::SortedLines(DumpMachine(reg_)));

    window.UserClick(1);
    value = PortValue(reg_, "3", "SkipEnumerations");
    EXPECT_EQ(regtype::kDword, value.type);
    EXPECT_EQ(kOn, value.data);  // cleared: 0 is written, the value stays
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.questions.empty());  // no serial mouse: no question
    EXPECT_EQ(0u, reg_.OpenHandleCount());
}

TEST_F(PortSwitch, RepeatedClicksLeaveTheLastState) {
    FakeWindow window(reg_);
    Start(window);
    for (int i = 0; i < 5; ++i) window.UserClick(0);  // ends ticked
    EXPECT_EQ(kTicked, window.BoxState(0));
    EXPECT_EQ(kOff, PortValue(reg_, "1", "SkipEnumerations").data);
}

TEST_F(PortSwitch, ClickOnAPortWhoseKeyWasRemovedCreatesIt) {
    FakeWindow window(reg_);
    Start(window);
    ASSERT_EQ(0, reg_.DeleteTree(regroot::kLocalMachine, testing::kPortsKey));
    window.UserClick(1);
    const auto value = PortValue(reg_, "3", "SkipEnumerations");
    EXPECT_TRUE(value.present);
    EXPECT_EQ(kOff, value.data);
    EXPECT_FALSE(PortValue(reg_, "3", "PortName").present);  // nothing else is written
}

TEST_F(PortSwitch, ClickWhileScanningWritesNothing) {
    FakeWindow window(reg_);
    Start(window);
    bScanning = true;
    window.UserClick(0);
    bScanning = false;
    EXPECT_FALSE(PortValue(reg_, "1", "SkipEnumerations").present);
}

struct RefusalCase {
    const char* label;
    RegStatus createStatus;
    RegStatus setStatus;
    bool otherRun = false;  // another run holds the machine's lock
};

class RefusedWrite : public PortSwitch, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedWrite, BoxGoesBackAndTheUserIsTold) {
    // What a user without administrator rights meets: keys cannot be
    // created or opened for writing, or values cannot be set.
    testing::FaultyRegistry refusing(
        reg_, testing::Faults{0, GetParam().createStatus, 0, GetParam().setStatus});
    FakeWindow window(refusing);
    Main(window, refusing, window.Devices());
    window.messages.clear();
    const std::string before = DumpMachine(reg_);
    MemoryEventLog log;
    MemoryRunLock lock;
    lock.holder = GetParam().otherRun ? MemoryRunLock::Holder::Other : MemoryRunLock::Holder::None;
    const ChangeSeams seams{log, lock, {}};
    UseChangeSeams(&seams);

    window.UserClick(1);
    UseChangeSeams(nullptr);
    EXPECT_EQ(kCleared, window.BoxState(1));
    EXPECT_EQ(before, DumpMachine(reg_));
    ASSERT_EQ(1u, window.messages.size());
    EXPECT_EQ(GetParam().otherRun, window.messages[0].text.find("Another Portquell run is changing this PC; nothing "
                                                                 "was changed.") == 0);
    // A refusal is an event of its own; a run that waited made none.
    EXPECT_EQ(GetParam().otherRun ? 0u : 1u, log.events.size());
    const std::string status =
        std::to_string(GetParam().createStatus != 0 ? GetParam().createStatus : GetParam().setStatus);
    EXPECT_EQ(!GetParam().otherRun, window.messages[0].text.find("(status " + status + ")") != std::string::npos)
        << window.messages[0].text;
    // Rights are named only when they are the reason.
    const bool denied = status == "5";
    EXPECT_EQ(denied, window.messages[0].text.find("administrator") != std::string::npos)
        << window.messages[0].text;
    if (!denied && !GetParam().otherRun) {
        const std::string description = SystemErrorText(std::stoi(status));
        EXPECT_NE(std::string::npos,
                  window.messages[0].text.find(description.empty()
                                                   ? "The system gives no description of this status."
                                                   : description))
            << window.messages[0].text;
    }
    EXPECT_EQ(MessageIcon::Warning, window.messages[0].icon);
    // Putting the box back raised no second write attempt.
    EXPECT_EQ(1, std::count(window.events.begin(), window.events.end(), "click 1"));
    EXPECT_EQ(0u, reg_.OpenHandleCount());
    EXPECT_TRUE(refusing.HandlesNotClosedOnce().empty());
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedWrite,
                         ::testing::Values(RefusalCase{"open_denied", 5, 0},
                                           RefusalCase{"set_denied", 0, 5},
                                           RefusalCase{"set_failed", 0, 1018},
                                           RefusalCase{"another_run", 0, 0, true}),
                         [](const auto& info) { return std::string(info.param.label); });

// A port whose state could not be read shows neither state; a tick on it
// writes as disable would: the read refused again refuses the write, the
// box goes back and the message says why.
TEST_F(PortSwitch, AStateThatCouldNotBeReadIsNeitherAndRefusesTheTick) {
    testing::FaultyRegistry blind(reg_);
    blind.FailWhen([&](const testing::RegCallRecord& r) {
        return r.call == testing::RegCall::QueryValueEx && r.name == "SkipEnumerations" &&
               blind.PathOf(r.key).find("\\3\\") != std::string::npos;
    }, regstatus::kAccessDenied);
    FakeWindow window(blind);
    Main(window, blind, window.Devices());
    EXPECT_EQ(kIndeterminate, window.BoxState(1));
    EXPECT_NE(std::string::npos, window.messages[0].text.find("\r\nThe state of COM3 could not be read (status 5"));
    const std::string before = DumpMachine(reg_);
    window.UserClick(1);
    EXPECT_EQ(kIndeterminate, window.BoxState(1));
    EXPECT_EQ(before, DumpMachine(reg_));
    EXPECT_NE(std::string::npos, window.messages.back().text.find("could not be read (status 5")) << window.messages.back().text;
    EXPECT_EQ(MessageIcon::Warning, window.messages.back().icon);
}

// The guard's box: shown where the guard is set, beside an adapter's port
// or with /all, ticked where it holds; a click runs guard on or off; the
// offer after a tick on an adapter without a serial number, once a run.
struct GuardCase {
    const char* label;
    std::function<void(MemoryRegistry&, testing::FaultyRegistry&)> arrange;
    PortScope scope;
    bool shown, ticked;        // at start-up
    std::vector<int> clicks;   // port boxes by index; -1 the guard's box
    std::vector<bool> answers;
    std::size_t questions;     // asked by the clicks
    bool inForce;              // the policy afterwards
    std::string says;          // part of the last message
};

class GuardBox : public PortSwitch, public ::testing::WithParamInterface<GuardCase> {};

const std::string kCh340 = std::string(kEnumKey) + "\\USB\\VID_1A86&PID_7523\\5&1D2E3F&0&1";
const std::string kFtdiSerial = std::string(kEnumKey) + "\\FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";
const auto kAdapters = [](MemoryRegistry& r, testing::FaultyRegistry&) {
    testing::AddPortAt(r, kCh340, "COM7");
    testing::AddPortAt(r, kFtdiSerial, "COM5");
};
const auto kGuardOn = [](MemoryRegistry& r, testing::FaultyRegistry& f) {
    kAdapters(r, f);
    (void)GuardOn(r);
};

TEST_P(GuardBox, ShownWhereItMattersAndSwitchedAsTheCliDoes) {
    const GuardCase& c = GetParam();
    testing::FaultyRegistry faulty(reg_);
    c.arrange(reg_, faulty);
    FakeWindow window(faulty);
    Main(window, faulty, window.Devices(), c.scope);
    EXPECT_EQ(c.shown, window.guardVisible);
    EXPECT_EQ(c.ticked ? kTicked : kCleared, window.guardState);
    // Under the frame, the buttons below it, inside the window.
    const Rect frame = window.controls[0], close = window.controls[1], guard = window.controls[3];
    EXPECT_EQ(c.shown ? guard.top + guard.height + 50 : design::kClose.top, close.top);
    EXPECT_TRUE(!c.shown || guard.top == frame.top + frame.height + 50);
    EXPECT_LE(close.top + close.height + 45, window.outer.height - window.chromeHeight);
    window.answers = c.answers;
    for (const int k : c.clicks) k < 0 ? window.UserClickGuard() : window.UserClick(static_cast<std::int16_t>(k));
    EXPECT_EQ(c.questions, window.questions.size());
    EXPECT_EQ(c.inForce, ReadGuard(reg_).InForce());
    EXPECT_TRUE(c.clicks.empty() || window.guardState == (c.inForce ? kTicked : kCleared));
    EXPECT_TRUE(c.says.empty() || window.messages.back().text.find(c.says) != std::string::npos)
        << window.messages.back().text;
    // A warning only where nothing was done as asked.
    EXPECT_TRUE(c.says.empty() || window.messages.back().icon ==
                                      (c.says.find("Nothing was changed") == 0 ? MessageIcon::Warning : MessageIcon::None));
}

INSTANTIATE_TEST_SUITE_P(
    Guard, GuardBox,
    ::testing::Values(
        GuardCase{"acpi_only", [](auto&, auto&) {}, PortScope::Acpi, false, false, {}, {}, 0, false, ""},
        GuardCase{"set_and_held", kGuardOn, PortScope::Acpi, true, true, {-1}, {}, 0, false, "no longer kept off"},
        GuardCase{"all_on", [](auto&, auto&) {}, PortScope::All, true, false, {-1}, {}, 0, true,
                  "kept off every port now"},
        GuardCase{"refused", [](MemoryRegistry&, testing::FaultyRegistry& f) {
                      f.FailWhen([](const auto& r) { return r.call == testing::RegCall::CreateKeyEx; }, 5);
                  }, PortScope::All, true, false, {-1}, {}, 0, false,
                  "Nothing was changed.\r\n\r\nThis needs administrator rights"},
        GuardCase{"offered_yes", kAdapters, PortScope::All, true, false, {3}, {true}, 1, true, "kept off every port now"},
        GuardCase{"offered_once_no", kAdapters, PortScope::All, true, false, {3, 3, 3}, {false}, 1, false, ""},
        GuardCase{"serial_number", kAdapters, PortScope::All, true, false, {2}, {}, 0, false, ""},
        GuardCase{"acpi_port", kAdapters, PortScope::All, true, false, {0}, {}, 0, false, ""},
        GuardCase{"holds_already", kGuardOn, PortScope::All, true, true, {3}, {}, 0, true, ""}),
    [](const auto& info) { return std::string(info.param.label); });

// A tick on a port with a serial mouse present under it asks once whether
// to remove it now; Yes restarts the port, removes its mice and says in
// one message what became of each, and every mouse it calls removed is
// gone.
struct MouseCase {
    const char* label;
    bool present;
    bool asked;
    bool answer;
    std::function<void(MemoryDevices&)> arrange;
    bool removed;
    std::string says;  // the whole message; "" for none
    std::function<void(MemoryRegistry&, testing::FaultyRegistry&)> registry = [](auto&, auto&) {};
};

class MouseQuestion : public PortSwitch, public ::testing::WithParamInterface<MouseCase> {};

const std::string kMouseId = "SERENUM\\PNP0F0C\\4&1234&0&0000";
const std::string kPhantomId = "SERENUM\\PNP0F0C\\4&1234&0&0001";
const std::string kRestarted = "COM3 was restarted: mouse detection is off for COM3 from now on.\r\n";
const std::string kNotYet = "COM3 was restarted, but mouse detection is off for COM3 only from the next restart of "
                            "Windows: not every serial mouse that may be on it is gone.\r\n";
std::string Untold(const std::string& id) {
    return "A serial mouse whose port cannot be told (" + id +
           ") is present and may be on any port: \"portquell-cli disable --all --now\" removes it.";
}
const std::string kUntold = Untold("SERENUM\\PNP0F0C\\9&9&0&0000");


DeviceInfo SerialMouseDevice(const std::string& id, bool present) {
    DeviceInfo mouse;
    mouse.instanceId = id;
    mouse.compatibleIds = {"SERIAL_MOUSE"};
    mouse.classGuid = kMouseClassGuid;
    mouse.present = present;
    mouse.parent = "ACPI\\PNP0501\\3";
    return mouse;
}

// A present serial mouse under no parent the system names, and no prefix.
void AddUntold(MemoryDevices& d) {
    DeviceInfo other = SerialMouseDevice("SERENUM\\PNP0F0C\\9&9&0&0000", true);
    other.parent.clear();
    d.Add(other);
}

TEST_P(MouseQuestion, AskedOnceAndTold) {
    const MouseCase& c = GetParam();
    RegHandle key = 0;
    ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, testing::kPortsKey + "\\3", 0, regaccess::kAllAccess,
                                  false, &key, nullptr));
    ASSERT_EQ(0, reg_.SetValueEx(key, "ParentIdPrefix", regtype::kSz,
                                 reinterpret_cast<const std::uint8_t*>("4&1234&0"), 9));
    ASSERT_EQ(0, reg_.CloseKey(key));
    testing::SetPortsClassAt(reg_, testing::kPortsKey + "\\3");
    MemoryDevices devices;
    DeviceInfo port;
    port.instanceId = "ACPI\\PNP0501\\3";
    port.classGuid = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
    port.present = true;
    devices.Add(port);
    devices.Add(SerialMouseDevice(kMouseId, c.present));
    devices.HideParents();
    devices.SetDetectionOff([this](const std::string& id) { return testing::DetectionOffAt(reg_, id); });
    c.arrange(devices);
    testing::FaultyRegistry faulty(reg_);
    c.registry(reg_, faulty);
    FakeWindow window(faulty, &devices);
    Main(window, faulty, devices);
    window.messages.clear();
    window.answers = {c.answer};

    window.UserClick(1);  // COM3 ticked
    EXPECT_EQ(kOff, PortValue(reg_, "3", "SkipEnumerations").data);
    EXPECT_EQ(c.asked ? 1u : 0u, window.questions.size());
    if (!window.questions.empty()) {
        EXPECT_NE(std::string::npos, window.questions[0].find("COM3"));
    }
    const auto installed = [&](const std::string& id) {
        const auto& left = devices.Devices();
        return std::any_of(left.begin(), left.end(), [&](const DeviceInfo& d) { return d.instanceId == id; });
    };
    EXPECT_EQ(c.removed, !installed(kMouseId));
    if (c.says.empty()) {
        EXPECT_TRUE(window.messages.empty());
    } else {
        ASSERT_EQ(1u, window.messages.size());
        const std::string& text = window.messages[0].text;
        EXPECT_EQ(c.says, text);
        // Every mouse the message calls removed is gone.
        for (std::size_t at = text.find(") was removed."); at != std::string::npos;
             at = text.find(") was removed.", at + 1)) {
            const std::size_t open = text.rfind(" (", at);
            EXPECT_FALSE(installed(text.substr(open + 2, at - open - 2))) << text;
        }
    }
    window.UserClick(1);  // cleared: never a question
    EXPECT_EQ(c.asked ? 1u : 0u, window.questions.size());
}

INSTANTIATE_TEST_SUITE_P(
    Mice, MouseQuestion,
    ::testing::Values(
        MouseCase{"yes", true, true, true, [](MemoryDevices&) {}, true,
                  kRestarted + "\r\nThe serial mouse on COM3 (" + kMouseId + ") was removed."},
        MouseCase{"no", true, true, false, [](MemoryDevices&) {}, false, ""},
        MouseCase{"not_present", false, false, true, [](MemoryDevices&) {}, false, ""},
        MouseCase{"restart_refused", true, true, true,
                  [](MemoryDevices& d) { d.FailRestart("ACPI\\PNP0501\\3", DevStatus::Win32(devstatus::kNoStatus)); },
                  false,
                  "Windows did not restart COM3 (no status): mouse detection stays on for COM3 until Windows "
                  "restarts, and until then a scan for hardware changes may find a removed mouse again.\r\n"
                  "\r\nThe serial mouse on COM3 (" + kMouseId + ") will be removed when Windows restarts (status 3010)."},
        // The present mouse first, then the one left from before, each told
        // as it went.
        MouseCase{"phantom_refused", true, true, true,
                  [](MemoryDevices& d) {
                      d.Add(SerialMouseDevice(kPhantomId, false));
                      d.FailRemove(kPhantomId, DevStatus::Win32(5));
                  },
                  true,
                  kNotYet + "\r\nThe serial mouse on COM3 (" + kMouseId + ") was removed.\r\nThe serial mouse left "
                  "from before on COM3 (" + kPhantomId + ") could not be removed (status 5): removing devices needs "
                  "administrator rights."},
        MouseCase{"removal_at_restart", true, true, true,
                  [](MemoryDevices& d) { d.FailRemove(kMouseId, DevStatus::Win32(3010)); }, false,
                  kNotYet + "\r\nThe serial mouse on COM3 (" + kMouseId +
                      ") will be removed when Windows restarts (status 3010)."},
        MouseCase{"removal_refused", true, true, true,
                  [](MemoryDevices& d) { d.FailRemove(kMouseId, DevStatus::Win32(1)); }, false,
                  kNotYet + "\r\nThe serial mouse on COM3 (" + kMouseId + ") could not be removed (status 1)."},
        MouseCase{"untold_left", true, true, true, AddUntold, true,
                  kNotYet + "\r\nThe serial mouse on COM3 (" + kMouseId + ") was removed.\r\n\r\n" + kUntold},
        // Only a mouse that may be on COM3 is present: nothing to ask, but said.
        MouseCase{"only_untold_present", false, false, true, AddUntold, false, kUntold},
        MouseCase{"list_refused", true, false, true, [](MemoryDevices& d) { d.FailList(DevStatus::Win32(5)); }, false,
                  ""},
        MouseCase{"gone_before_its_removal", true, true, true,
                  [](MemoryDevices& d) { d.FailRemove(kMouseId, DevStatus::Win32(devstatus::kNoSuchDevinst)); }, false,
                  kRestarted + "\r\nThe serial mouse on COM3 (" + kMouseId + ") was gone already."},
        // Placed among every port: a prefix that COM1 carries too places it on neither.
        MouseCase{"prefix_on_two_ports", true, false, true, [](MemoryDevices&) {}, false, Untold(kMouseId),
                  [](MemoryRegistry& r, auto&) { testing::SetPrefixAt(r, testing::kPortsKey + "\\1", "4&1234&0"); }},
        // The parent is named; another mouse's prefix cannot be read.
        MouseCase{"not_every_mouse_told", true, true, true, [](MemoryDevices& d) { d.HideParents(false); AddUntold(d); },
                  true, kNotYet + "\r\nThe serial mouse on COM3 (" + kMouseId + ") was removed.\r\n\r\n" + kUntold +
                  "\r\n\r\nNot every serial mouse could be listed and told to its port: another may still be installed.",
                  [](MemoryRegistry&, testing::FaultyRegistry& f) {
                      f.FailWhen([](const auto& r) { return r.name == "ParentIdPrefix"; }, regstatus::kAccessDenied);
                  }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PortSwitch, AboutAndClose) {
    FakeWindow window(reg_);
    Start(window);
    cmdAbout_Click(window);
    ASSERT_EQ(1u, window.messages.size());
    EXPECT_EQ(0u, window.messages[0].text.find(
                      "Tool for disabling serial mouse detection on COM-ports\r\n\r\n"));
    EXPECT_GT(window.messages[0].text.size(), 60u);  // a credit line follows
    EXPECT_EQ(std::string::npos, window.messages[0].text.find("\r\n", 58));
    EXPECT_EQ(MessageIcon::None, window.messages[0].icon);
    EXPECT_FALSE(window.unloaded);
    cmdClose_Click(window);
    EXPECT_TRUE(window.unloaded);
}

}  // namespace
}  // namespace portquell
