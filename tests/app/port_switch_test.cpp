// Ticks and clears after the scan: what they write, where, and what the
// user sees when the registry refuses.
#include <gtest/gtest.h>

#include <algorithm>
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
        Main(window, reg_);
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
};

class RefusedWrite : public PortSwitch, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedWrite, BoxGoesBackAndTheUserIsTold) {
    // What a user without administrator rights meets: keys cannot be
    // created or opened for writing, or values cannot be set.
    testing::FaultyRegistry refusing(
        reg_, testing::Faults{0, GetParam().createStatus, 0, GetParam().setStatus});
    FakeWindow window(refusing);
    Main(window, refusing);
    window.messages.clear();
    const std::string before = DumpMachine(reg_);

    window.UserClick(1);
    EXPECT_EQ(kCleared, window.BoxState(1));
    EXPECT_EQ(before, DumpMachine(reg_));
    ASSERT_EQ(1u, window.messages.size());
    const std::string status =
        std::to_string(GetParam().createStatus != 0 ? GetParam().createStatus : GetParam().setStatus);
    EXPECT_NE(std::string::npos, window.messages[0].text.find("(status " + status + ")"))
        << window.messages[0].text;
    // Rights are named only when they are the reason.
    const bool denied = status == "5";
    EXPECT_EQ(denied, window.messages[0].text.find("administrator") != std::string::npos)
        << window.messages[0].text;
    if (!denied) {
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
                                           RefusalCase{"set_failed", 0, 1018}),
                         [](const auto& info) { return std::string(info.param.label); });

// A tick on a port with a serial mouse present under it asks once whether
// to remove it now; Yes restarts the port, removes the mouse and says in
// one message what happened.
struct MouseCase {
    const char* label;
    bool present;
    bool asked;
    bool answer;
    std::function<void(MemoryDevices&)> arrange;
    bool removed;
    const char* says;  // "" for no message
};

class MouseQuestion : public PortSwitch, public ::testing::WithParamInterface<MouseCase> {};

TEST_P(MouseQuestion, AskedOnceAndTold) {
    const MouseCase& c = GetParam();
    const std::string mouseId = "SERENUM\\PNP0F0C\\4&1234&0&0000";
    RegHandle key = 0;
    ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, testing::kPortsKey + "\\3", 0, regaccess::kAllAccess,
                                  false, &key, nullptr));
    ASSERT_EQ(0, reg_.SetValueEx(key, "ParentIdPrefix", regtype::kSz,
                                 reinterpret_cast<const std::uint8_t*>("4&1234&0"), 9));
    ASSERT_EQ(0, reg_.CloseKey(key));
    MemoryDevices devices;
    DeviceInfo port;
    port.instanceId = "ACPI\\PNP0501\\3";
    port.classGuid = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
    devices.Add(port);
    DeviceInfo mouse;
    mouse.instanceId = mouseId;
    mouse.compatibleIds = {"SERIAL_MOUSE"};
    mouse.classGuid = kMouseClassGuid;
    mouse.present = c.present;
    devices.Add(mouse);
    c.arrange(devices);
    FakeWindow window(reg_, &devices);
    Start(window);
    window.answers = {c.answer};

    window.UserClick(1);  // COM3 ticked
    EXPECT_EQ(kOff, PortValue(reg_, "3", "SkipEnumerations").data);
    EXPECT_EQ(c.asked ? 1u : 0u, window.questions.size());
    if (!window.questions.empty()) {
        EXPECT_NE(std::string::npos, window.questions[0].find("COM3"));
    }
    const auto& left = devices.Devices();
    EXPECT_EQ(c.removed, std::none_of(left.begin(), left.end(), [&](const DeviceInfo& d) { return d.instanceId == mouseId; }));
    if (*c.says == 0) {
        EXPECT_TRUE(window.messages.empty());
    } else {
        ASSERT_EQ(1u, window.messages.size());
        EXPECT_NE(std::string::npos, window.messages[0].text.find(c.says)) << window.messages[0].text;
    }
    window.UserClick(1);  // cleared: never a question
    EXPECT_EQ(c.asked ? 1u : 0u, window.questions.size());
}

INSTANTIATE_TEST_SUITE_P(
    Mice, MouseQuestion,
    ::testing::Values(
        MouseCase{"yes", true, true, true, [](MemoryDevices&) {}, true,
                  "The serial mouse on COM3 was removed and the port restarted"},
        MouseCase{"no", true, true, false, [](MemoryDevices&) {}, false, ""},
        MouseCase{"not_present", false, false, true, [](MemoryDevices&) {}, false, ""},
        MouseCase{"restart_refused", true, true, true,
                  [](MemoryDevices& d) { d.FailRestart("ACPI\\PNP0501\\3", DevStatus::Win32(devstatus::kNoStatus)); },
                  true, "Windows did not restart the port (no status)"},
        MouseCase{"removal_refused", true, true, true,
                  [](MemoryDevices& d) { d.FailRemove("SERENUM\\PNP0F0C\\4&1234&0&0000", DevStatus::Win32(5)); },
                  false, "could not be removed (status 5): removing devices needs administrator rights"},
        MouseCase{"list_refused", true, false, true, [](MemoryDevices& d) { d.FailList(DevStatus::Win32(5)); }, false,
                  ""}),
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
