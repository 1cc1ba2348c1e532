// The window and portquell-cli are two front ends of one model: on
// generated machines, a tick answered Yes leaves the registry and the
// device tree exactly as 'disable PORT --now' does, and a tick answered No
// (or one that asks nothing) exactly as 'disable PORT', and the event log
// tells the same changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/modAppMainUsr.h"
#include "app/window_changes.h"
#include "cli/portquell_cli.h"
#include "fake_window.h"
#include "port_registry.h"

namespace portquell {
namespace {

const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum";
const std::string kCom1 = "ACPI\\PNP0501\\1";
const std::string kCom5 = "FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";

DeviceInfo Device(const std::string& id, const std::string& classGuid, bool present, const std::string& parent = "") {
    DeviceInfo d;
    d.instanceId = id;
    d.classGuid = classGuid;
    d.present = present;
    d.parent = parent;
    if (classGuid == kMouseClassGuid) d.compatibleIds = {"SERIAL_MOUSE"};
    return d;
}

// One generated machine, the same for the same seed.
void Machine(std::uint32_t seed, MemoryRegistry& reg, MemoryDevices& devices) {
    const auto pick = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const std::string ports = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
    testing::AddPortAt(reg, kEnum + "\\" + kCom1, "COM1");
    testing::AddPortAt(reg, kEnum + "\\" + kCom5, "COM5");
    testing::SetPrefixAt(reg, kEnum + "\\" + kCom1, "4&1234&0");
    const std::string com5Prefix = pick(2) == 0 ? "7&77&0" : "4&1234&0";
    testing::SetPrefixAt(reg, kEnum + "\\" + kCom5, com5Prefix);
    for (const std::string& id : {kCom1, kCom5}) {
        if (pick(3) == 0) testing::SetValueAt(reg, kEnum + "\\" + id, "SkipEnumerations", regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF});
        if (pick(4) != 0) testing::SetPortsClassAt(reg, kEnum + "\\" + id);
    }
    devices.Add(Device(kCom1, ports, true));
    devices.Add(Device(kCom5, ports, pick(4) != 0));
    const std::uint32_t mice = 1 + pick(3);
    for (std::uint32_t m = 0; m < mice; ++m) {
        const std::string parents[] = {kCom1, kCom5, ""};
        const std::string parent = parents[pick(3)];
        const std::string prefix = pick(4) == 0 ? "9&9&0" : parent == kCom5 ? com5Prefix : "4&1234&0";
        devices.Add(Device("SERENUM\\PNP0F0C\\" + prefix + "&000" + std::to_string(m), kMouseClassGuid, pick(3) != 0, parent));
    }
    devices.HideParents(pick(2) == 0);
    if (pick(4) == 0) devices.FailRestart(pick(2) == 0 ? kCom1 : kCom5, DevStatus::Win32(devstatus::kNoStatus));
    if (pick(4) == 0) devices.FailRemove(devices.Devices()[2].instanceId, DevStatus::Win32(pick(2) == 0 ? 5 : 3010));
    devices.SetDetectionOff([&reg](const std::string& id) { return testing::DetectionOffAt(reg, id); });
}

// What the events of a log say was changed, in order, whatever program
// and clicks made it.
std::string Changed(const MemoryEventLog& log) {
    std::string text;
    for (const MemoryEventLog::Event& event : log.events) text += event.text.substr(event.text.find("Changes:") + 8);
    return text;
}

std::string Tree(const MemoryDevices& devices) {
    std::string text;
    for (const DeviceInfo& d : devices.Devices()) text += d.instanceId + (d.present ? " present\n" : " absent\n");
    return text;
}

TEST(WindowAndCli, ATickLeavesTheMachineAsDisableDoes) {
    int asked = 0;
    for (std::uint32_t round = 0; round < 300; ++round) {
        const bool com1 = round % 2 == 0;
        const bool yes = round % 3 != 0;
        MemoryRegistry windowReg, cliReg;
        MemoryDevices windowDevices, cliDevices;
        Machine(round, windowReg, windowDevices);
        Machine(round, cliReg, cliDevices);
        MemoryEventLog windowLog, cliLog;
        MemoryRunLock windowLock, cliLock;
        const ChangeSeams windowSeams{windowLog, windowLock, {}}, cli{cliLog, cliLock, {}};
        UseChangeSeams(&windowSeams);
        testing::FakeWindow window(windowReg, &windowDevices);
        Main(window, windowReg, windowDevices, PortScope::All);
        const auto& boxes = window.Boxes();
        const auto box = std::find_if(boxes.begin(), boxes.end(), [&](const testing::FakeBox& b) {
            return b.tag == (com1 ? "1" : kCom5);
        });
        ASSERT_NE(boxes.end(), box) << round;
        const auto index = static_cast<std::int16_t>(box - boxes.begin());
        window.answers = {yes};
        std::vector<std::string> args = {"disable", com1 ? "COM1" : "COM5"};
        std::ostringstream out, err;
        if (window.BoxState(index) == kTicked) {
            // Off already: cleared first, on both, as enable does.
            window.UserClick(index);
            (void)RunCli({"enable", args[1]}, cliReg, cliDevices, out, err, {}, &cli);
        }
        window.UserClick(index);
        const bool question = !window.questions.empty();
        asked += question;
        if (question && yes) args.push_back("--now");
        (void)RunCli(args, cliReg, cliDevices, out, err, {}, &cli);
        EXPECT_EQ(testing::DumpMachine(cliReg), testing::DumpMachine(windowReg)) << round << out.str() << err.str();
        EXPECT_EQ(Changed(cliLog), Changed(windowLog)) << round;
        UseChangeSeams(nullptr);
        EXPECT_EQ(Tree(cliDevices), Tree(windowDevices)) << round << (question ? yes ? " yes" : " no" : " not asked");
    }
    EXPECT_GT(asked, 50);
}

}  // namespace
}  // namespace portquell
