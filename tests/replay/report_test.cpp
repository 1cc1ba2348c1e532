// A report holds what the commands read and answered; replayed on the
// in-memory machine it gives every answer back, anonymized too; taking it
// changes nothing; a report that is no report is refused, never half read.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "cli/machine_report.h"
#include "cli/portquell_cli.h"
#include "faulty_registry.h"
#include "json_check.h"
#include "port_registry.h"
#include "replay/replay_machine.h"
#include "replay/report_reader.h"

namespace portquell {
namespace {

const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum";
const std::string kFtdi = kEnum + "\\FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";
const std::string kMouse = "SERENUM\\PNP0F0C\\4&1234&0&0000";
const std::string kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

DeviceInfo Device(const std::string& id, const std::string& guid, const std::string& parent = "") {
    DeviceInfo d;
    d.instanceId = id;
    d.classGuid = guid;
    d.present = true;
    d.parent = parent;
    if (guid == kMouseClassGuid) d.compatibleIds = {"SERIAL_MOUSE"};
    return d;
}

// An onboard port and an FTDI adapter with a mouse under COM1, on a
// computer named PC-LAB7; arrange adds what a case needs.
void Machine(MemoryRegistry& reg, MemoryDevices& devices) {
    testing::AddPortAt(reg, kEnum + "\\ACPI\\PNP0501\\1", "COM1");
    testing::AddPortAt(reg, kFtdi, "COM5");
    testing::SetPrefixAt(reg, kEnum + "\\ACPI\\PNP0501\\1", "4&1234&0");
    testing::SetPortsClassAt(reg, kEnum + "\\ACPI\\PNP0501\\1");
    testing::SetTextAt(reg, kFtdi, "FriendlyName", "USB Serial Port (COM5)");
    testing::SetTextAt(reg, "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName", "ComputerName", "PC-LAB7");
    testing::SetTextAt(reg, kVersionKey, "ProductName", "Windows 10 Pro");
    testing::SetTextAt(reg, kVersionKey, "DisplayVersion", "22H2");
    testing::SetTextAt(reg, kVersionKey, "CurrentBuildNumber", "19045");
    testing::SetTextAt(reg, kVersionKey, "UBR", std::string("\xDB\x0E\0", 3), regtype::kDword);  // (and a NUL)
    // A count the enumerator skips by: its bytes (0x80) in the report.
    testing::SetValueAt(reg, kFtdi, "SkipEnumerations", regtype::kDword, {0x80, 0, 0, 0});
    devices.Add(Device("ACPI\\PNP0501\\1", testing::kPortsClassGuidText));
    devices.Add(Device("FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000", testing::kPortsClassGuidText, "USB\\VID_0403&PID_6001\\A1B2C3D4"));
    devices.Add(Device(kMouse, kMouseClassGuid, "ACPI\\PNP0501\\1"));
    devices.SetReported("USB\\VID_0403&PID_6001\\A1B2C3D4", "GPS receiver A1B2C3D4");
}

struct Case {
    const char* label;
    std::function<void(MemoryRegistry&, MemoryDevices&, testing::FaultyRegistry&)> arrange;
};

class ReportReplay : public ::testing::TestWithParam<Case> {};

TEST_P(ReportReplay, EveryAnswerComesBackOnTheReplayedMachine) {
    for (const bool anonymize : {false, true}) {
        MemoryRegistry reg;
        MemoryDevices devices;
        Machine(reg, devices);
        testing::FaultyRegistry faulty(reg);
        GetParam().arrange(reg, devices, faulty);
        const std::string before = testing::DumpMachine(reg);
        const MachineReport report = TakeReport(faulty, devices, anonymize);
        EXPECT_EQ(before, testing::DumpMachine(reg));
        EXPECT_EQ(3u, devices.Devices().size());
        std::ostringstream written;
        WriteReport(report, written);
        EXPECT_TRUE(testing::JsonCheck::Valid(written.str()));
        EXPECT_EQ(0u, written.str().find("{\"notice\": \"This report holds this computer's name and the serial numbers"));
        EXPECT_NE(std::string::npos, written.str().find("\"product\": \"Windows 10 Pro\", \"displayVersion\": \"22H2\", \"build\": \"19045.3803\""));
        EXPECT_EQ(anonymize, written.str().find("A1B2C3D4") == std::string::npos && written.str().find("PC-LAB7") == std::string::npos) << written.str();
        MachineReport read;
        std::string why;
        ASSERT_TRUE(ReadReport(written.str(), read, why)) << why;
        ASSERT_EQ(ReportedCommands().size(), read.answers.size());
        for (const MachineReport::Answer& answer : read.answers) {
            ReplayRegistry replayed;
            MemoryDevices tree;
            ASSERT_TRUE(LoadMachine(read, replayed, tree, why)) << why;
            std::ostringstream out, err;
            EXPECT_EQ(answer.exit, RunCli(answer.args, replayed, tree, out, err)) << answer.args[0];
            EXPECT_EQ(answer.out, out.str()) << answer.args[0] << (anonymize ? " anonymized" : "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Machines, ReportReplay,
    ::testing::Values(
        Case{"onboard_and_ftdi_with_a_mouse", [](auto&, auto&, auto&) {}},
        Case{"guard_on", [](MemoryRegistry& r, MemoryDevices& d, auto&) {
                 std::ostringstream o;
                 (void)RunCli({"guard", "on"}, r, d, o, o);
             }},
        Case{"a_key_refused", [](auto&, auto&, testing::FaultyRegistry& f) {
                 f.FailWhen([&f](const testing::RegCallRecord& c) {
                     return c.call == testing::RegCall::OpenKeyEx && c.name.find("FTDIBUS\\VID") != std::string::npos;
                 }, 5);
             }},
        // A key the commands open themselves, refused: the key, not one above it.
        Case{"class_key_refused", [](auto&, auto&, testing::FaultyRegistry& f) {
                 f.FailWhen([](const testing::RegCallRecord& c) {
                     return c.call == testing::RegCall::OpenKeyEx && c.name.find("Class\\{4D36E978") != std::string::npos;
                 }, 5);
             }},
        Case{"mice_listing_refused", [](auto&, MemoryDevices& d, auto&) { d.FailListing(kMouseClassGuid, "", DevStatus::Win32(5)); }}),
    [](const auto& info) { return std::string(info.param.label); });

// The file: written whole and named, or not written and said (exit 3).
TEST(ReportFile, WrittenOrSaidWhyNot) {
    MemoryRegistry reg;
    MemoryDevices devices;
    Machine(reg, devices);
    const std::string file = ::testing::TempDir() + "portquell-report-test.json";
    for (const std::string& path : {file, ::testing::TempDir() + "no-such-folder/r.json"}) {
        std::ostringstream out, err;
        const int code = RunCli({"report", path}, reg, devices, out, err);
        EXPECT_EQ(path == file ? 0 : 3, code) << err.str();
        EXPECT_NE(std::string::npos, err.str().find(path == file ? "report written to " : "could not write the report to "));
        EXPECT_TRUE(out.str().empty());
    }
    std::ifstream read(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(read)), std::istreambuf_iterator<char>());
    MachineReport report;
    std::string why;
    EXPECT_TRUE(ReadReport(text, report, why)) << why;
    std::remove(file.c_str());
}

TEST(ReportReader, RefusesWhatIsNoReport) {
    MemoryRegistry reg;
    MemoryDevices devices;
    Machine(reg, devices);
    std::ostringstream text;
    WriteReport(TakeReport(reg, devices, false), text);
    const std::string good = text.str();
    const auto with = [&good](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::pair<std::string, std::string> rows[] = {
        {"", "a value expected"},
        {"{\"format\": 1", "'}' expected"},
        {with("\"format\": 1", "\"format\": 2"), "report.format: 2 is not format 1"},
        {with("\"format\": 1", "\"format\": \"1\""), "report.format: a number from"},
        {with("\"type\": ", "\"type\": -"), ".type: a number from 0 to 4294967295"},
        {with("\"present\": true", "\"present\": 1"), ".present: true or false expected"},
        {with("\"root\": \"HKLM\"", "\"root\": \"HKXX\""), ".root: HKLM"},
        {with("\"data\": \"", "\"data\": \"G"), ".data: hexadecimal bytes expected"},
        {with("\"version\": \"", "\"version\": \"\\u0100"), "beyond one byte"},
        {std::string(40, '[') + std::string(40, ']'), "nested too deep"},
        {with("\"exit\": ", "\"exit\": 99999999999999999999"), "a number too long"},
        {good + "x", "text after the document"},
    };
    for (const auto& [input, why] : rows) {
        MachineReport report;
        std::string said;
        EXPECT_FALSE(ReadReport(input, report, said)) << why;
        EXPECT_NE(std::string::npos, said.find(why)) << said;
    }
    MachineReport report;
    std::string said;
    EXPECT_TRUE(ReadReport(good, report, said)) << said;
}

}  // namespace
}  // namespace portquell
