// portquell-cli's commands on an in-memory registry with ports under
// several enumerators.
#include "cli/cli_formats.h"
#include "cli/cli_help.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"
#include "ports/change_run.h"

#include "devices/dry_run_devices.h"
#include "devices/memory_devices.h"
#include "ports/serial_mice.h"
#include "registry/dry_run_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <sstream>

#include "faulty_registry.h"
#include "json_check.h"
#include "port_registry.h"
#include "reg_file.h"

namespace portquell {
namespace {

using testing::AddPortAt;
using testing::DumpMachine;
using testing::ValueAt;
using Bytes = std::vector<std::uint8_t>;

const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum";
const std::string kAcpi1 = kEnum + "\\ACPI\\PNP0501\\1";
const std::string kAcpi3 = kEnum + "\\ACPI\\PNP0501\\3";
const std::string kFtdi = kEnum + "\\FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";
const std::string kUsb = kEnum + "\\USB\\VID_067B&PID_2303\\5&2A1B3C&0&2";
const Bytes kOff{0xFF, 0xFF, 0xFF, 0xFF};
const Bytes kOn{0, 0, 0, 0};

// A refusal of calls on keys whose path contains part.
testing::FaultyRegistry::Match OnKey(testing::FaultyRegistry& f, testing::RegCall call, std::string part,
                                     std::string value = "") {
    return [&f, call, part, value](const testing::RegCallRecord& r) {
        if (r.call != call || (!value.empty() && r.name != value)) return false;
        const std::string path = call == testing::RegCall::OpenKeyEx ? r.name : f.PathOf(r.key);
        return path.find(part) != std::string::npos;
    };
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A key path as a JSON string's content shows it.
std::string JsonPath(const std::string& path);

struct Result {
    int code;
    std::string out;
    std::string err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        AddPortAt(reg_, kAcpi1, "COM1");
        AddPortAt(reg_, kAcpi3, "COM3");
        testing::SetValueAt(reg_, kAcpi3, "SkipEnumerations", regtype::kDword, kOff);
        AddPortAt(reg_, kFtdi, "COM5");
        AddPortAt(reg_, kUsb, "COM12");
        // Devices that are no serial ports: a mouse with Device Parameters
        // but no PortName, a hub without Device Parameters.
        testing::SetValueAt(reg_, kEnum + "\\HID\\VID_046D&PID_C52B\\7&1", "FlipFlopWheel",
                            regtype::kDword, kOff);
        RegHandle hub = 0;
        ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, kEnum + "\\USB\\ROOT_HUB30\\4&1", 0,
                                      regaccess::kAllAccess, false, &hub, nullptr));
        ASSERT_EQ(0, reg_.CloseKey(hub));
        // A parallel port carries a PortName too, and "COM" alone names none.
        AddPortAt(reg_, kEnum + "\\ACPI\\PNP0400\\1", "LPT1");
        AddPortAt(reg_, kEnum + "\\PCI\\VEN_1415\\1", "COM");
        // Which device each adapter's port is: Windows' names for COM12,
        // what COM5's USB device (its parent) reports.
        testing::SetTextAt(reg_, kUsb, "FriendlyName", "Prolific USB-to-Serial Comm Port (COM12)");
        testing::SetTextAt(reg_, kUsb, "Mfg", "@oem12.inf,%prolific%;Prolific");
        testing::SetTextAt(reg_, kUsb, "LocationInformation", "Port_#0002.Hub_#0001");
        testing::SetTextAt(reg_, kFtdi, "DeviceDesc", "@oem40.inf,%ftdi.port%;USB Serial Port");
        // COM1 connected, COM5 unplugged (both of the Ports class), COM12
        // connected in another class, COM3 in no listing.
        for (const auto& [id, present, guid] : {std::tuple{"ACPI\\PNP0501\\1", true, kPortsClass},
                                                std::tuple{"FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000", false, kPortsClass},
                                                std::tuple{"USB\\VID_067B&PID_2303\\5&2A1B3C&0&2", true, "{4d36e96d-e325-11ce-bfc1-08002be10318}"},
                                                std::tuple{"ACPI\\PNP0400\\1", true, kPortsClass}}) {
            DeviceInfo port;
            port.instanceId = id;
            port.present = present;
            port.classGuid = guid;
            if (std::string(id).find("FTDIBUS") == 0) port.parent = kFtdiUsb;
            devices_.Add(port);
        }
        DeviceInfo usb;
        usb.instanceId = kFtdiUsb;
        usb.classGuid = "{36FC9E60-C465-11CF-8056-444553540000}";
        devices_.Add(usb);
        devices_.SetReported(kFtdiUsb, "u-blox GNSS receiver");
    }
    static constexpr const char* kFtdiUsb = "USB\\VID_0403&PID_6001\\A1B2C3D4";
    static constexpr const char* kPortsClass = "{4D36E978-E325-11CE-BFC1-08002BE10318}";

    Result Run(std::vector<std::string> args) { return RunOn(reg_, std::move(args)); }
    Result RunOn(RegistryApi& registry, std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = RunCli(args, registry, devices_, out, err);
        return Result{code, out.str(), err.str()};
    }

    MemoryRegistry reg_;
    MemoryDevices devices_;
};

TEST_F(Cli, ListShowsTheWindowsPortsInAlignedColumns) {
    const Result r = Run({"list", "--acpi"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(
        "PORT  MOUSE DETECTION  SERIAL ENUMERATOR  CONNECTED  DEVICE  KEY\n"
        "COM1  on               no                 yes        -       HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\1\n"
        "COM3  off              no                 unknown    -       HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\3\n",
        r.out);
    EXPECT_EQ("", r.err);
}

// The serial enumerator named in a port's own UpperFilters (any case,
// among other filters) or the class's; a refused read is "unknown".
TEST_F(Cli, ListAllFindsPortsUnderEveryEnumerator) {
    testing::SetFiltersAt(reg_, kFtdi, {"ftdibus_filter", "SerEnum"});
    testing::SetFiltersAt(reg_, kUsb, {"serenumx"});
    testing::FaultyRegistry faulty(reg_);
    faulty.FailWhen(OnKey(faulty, testing::RegCall::QueryValueEx, "ACPI\\PNP0501\\3", "UpperFilters"), 5);
    const Result r = RunOn(faulty, {"list"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(
        "PORT   MOUSE DETECTION  SERIAL ENUMERATOR  CONNECTED  DEVICE                                                                                       KEY\n"
        "COM1   on               no                 yes        -                                                                                            HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\1\n"
        "COM3   off              unknown            unknown    -                                                                                            HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\3\n"
        "COM5   on               yes                no         u-blox GNSS receiver, VID_0403 PID_6001, serial A1B2C3D4                                     "
        "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000\n"
        "COM12  on               no                 yes        Prolific USB-to-Serial Comm Port, VID_067B PID_2303, no serial number, "
        "Port_#0002.Hub_#0001  HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_067B&PID_2303\\5&2A1B3C&0&2\n",
        r.out);
    EXPECT_EQ(r.out, RunOn(faulty, {"list", "--all"}).out);
    // On the stack of the port's own class: COM1 and COM3 have it, whatever
    // could be read; COM12, of another class, does not.
    testing::SetPortsClassAt(reg_, kAcpi1);
    testing::SetPortsClassAt(reg_, kAcpi3);
    testing::SetTextAt(reg_, kUsb, "ClassGUID", "{4d36e96d-e325-11ce-bfc1-08002be10318}");
    const std::string json = RunOn(faulty, {"list", "--all", "--json"}).out;
    EXPECT_EQ(3u, Count(json, "\"serialEnumerator\": \"yes\"")) << json;
    EXPECT_EQ(1u, Count(json, "\"serialEnumerator\": \"no\"")) << json;
    // A class key that cannot be read: unknown, and no note of it.
    testing::FaultyRegistry classless(reg_);
    classless.FailWhen(OnKey(classless, testing::RegCall::OpenKeyEx, "\\Control\\Class\\"), 5);
    const Result unknown = RunOn(classless, {"check", "--all", "--json"});
    EXPECT_EQ(3u, Count(unknown.out, "\"serialEnumerator\": \"unknown\"")) << unknown.out;
    EXPECT_EQ(std::string::npos, unknown.err.find("serial enumerator")) << unknown.err;
    // Named in an UpperFilters of another type: not the enumerator.
    testing::SetTextAt(reg_, kAcpi1, "UpperFilters", "serenum");
    // check says where no mouse can be detected now, its status unchanged.
    const Result check = Run({"check", "COM1"});
    EXPECT_EQ(1, check.code);
    EXPECT_NE(std::string::npos, check.err.find("SkipEnumerations is missing\n")) << check.err;
    testing::SetFiltersAt(reg_, "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}",
                          {"kbdclass"});
    EXPECT_NE(std::string::npos,
              Run({"check", "COM1"}).err.find("SkipEnumerations is missing; the serial enumerator is not on its driver "
                                               "stack, so no mouse can be detected there now, but a driver update may "
                                               "add it\n"));
}

TEST_F(Cli, JsonIsStableAndEscaped) {
    const Result r = Run({"list", "--all", "--json"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(
        "{\n  \"ports\": [\n"
        "    {\"port\": \"COM1\", \"mouseDetection\": \"on\", \"enumerator\": \"ACPI\", \"device\": "
        "\"PNP0501\", \"instance\": \"1\", \"key\": "
        "\"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Enum\\\\ACPI\\\\PNP0501\\\\1\", \"serialEnumerator\": \"no\", \"connected\": true, \"name\": null, \"reported\": null, \"maker\": null, \"usb\": null, \"location\": null},\n"
        "    {\"port\": \"COM3\", \"mouseDetection\": \"off\", \"enumerator\": \"ACPI\", \"device\": "
        "\"PNP0501\", \"instance\": \"3\", \"key\": "
        "\"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Enum\\\\ACPI\\\\PNP0501\\\\3\", \"serialEnumerator\": \"no\", \"connected\": null, \"name\": null, \"reported\": null, \"maker\": null, \"usb\": null, \"location\": null},\n"
        "    {\"port\": \"COM5\", \"mouseDetection\": \"on\", \"enumerator\": \"FTDIBUS\", \"device\": "
        "\"VID_0403+PID_6001+A1B2C3D4A\", \"instance\": \"0000\", \"key\": "
        "\"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Enum\\\\FTDIBUS\\\\VID_0403+PID_6001+A1B2C3D4A\\\\0000\", \"serialEnumerator\": \"no\", \"connected\": false, "
        "\"name\": \"USB Serial Port\", \"reported\": \"u-blox GNSS receiver\", \"maker\": \"FTDI\", "
        "\"usb\": {\"vid\": \"0403\", \"pid\": \"6001\", \"serial\": \"A1B2C3D4\"}, \"location\": null},\n"
        "    {\"port\": \"COM12\", \"mouseDetection\": \"on\", \"enumerator\": \"USB\", \"device\": "
        "\"VID_067B&PID_2303\", \"instance\": \"5&2A1B3C&0&2\", \"key\": "
        "\"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Enum\\\\USB\\\\VID_067B&PID_2303\\\\5&2A1B3C&0&2\", \"serialEnumerator\": \"no\", \"connected\": true, "
        "\"name\": \"Prolific USB-to-Serial Comm Port (COM12)\", \"reported\": null, \"maker\": \"Prolific\", "
        "\"usb\": {\"vid\": \"067B\", \"pid\": \"2303\", \"serial\": null}, \"location\": \"Port_#0002.Hub_#0001\"}\n"
        "  ]\n}\n",
        r.out);
    MemoryRegistry empty;
    EXPECT_EQ("{\n  \"ports\": []\n}\n", RunOn(empty, {"list", "--json"}).out);
    AddPortAt(reg_, kEnum + "\\ACPI\\PNP0501\\9", "Q\"uote\\\x01\xE9\x7F\x80\x8C");
    // The characters the name means in the code page: \x80 is the euro sign,
    // \x8C U+0152, whose low byte is a printable 'R'.
    EXPECT_NE(std::string::npos,
              Run({"list", "--acpi", "--json"}).out.find("\"port\": \"Q\\\"uote\\\\\\u0001\\u00e9\\u007f\\u20ac\\u0152\""));
}

DeviceInfo PortDevice(const std::string& id);

// The console writer hands on whole characters only: a character cut at
// the end of what is written so far waits for its other bytes.
TEST(CliText, OnlyWholeCharactersReachTheConsole) {
    const std::vector<std::pair<std::string, std::size_t>> rows = {
        {"", 0}, {"abc", 3}, {"ab\xc3", 2}, {"ab\xc3\xa9", 4}, {"\xe2\x82", 0}, {"\xe2\x82\xac", 3},
        {"x\xf0\x9f\x98", 1}, {"\xf0\x9f\x98\x80", 4}, {"x\x80", 2}, {"\x80\x80\x80\x80", 4}};
    for (const auto& [text, whole] : rows) EXPECT_EQ(whole, WholeUtf8Length(text)) << ::testing::PrintToString(text);
}

// Which device is on a port, from each source and its fallback, whatever
// the registry holds: list's DEVICE cell and the port's JSON fields.
struct IdentityCase {
    const char* label;
    std::string id;  // the port's instance ID, named COM4
    std::vector<std::tuple<std::string, std::uint32_t, std::string>> values;  // of its instance key, bytes as stored
    std::string reported;                      // by the port itself; "" none
    std::string parent, parentReported;        // its parent in the device tree
    std::string cell;                          // the DEVICE column
    std::string json;                          // part of its JSON object
};

TEST(CliIdentity, EachFieldFromItsSourceOrItsFallbackAndNoTextEscapesItsPlace) {
    const std::string x(65536, 'x');
    const std::vector<IdentityCase> cases = {
        {"friendly_name", "USB\\VID_067B&PID_2303\\5&2A1B3C&0&2",
         {{"FriendlyName", regtype::kSz, std::string("Prolific USB-to-Serial Comm Port (COM4)") + '\0'},
          {"Mfg", regtype::kSz, std::string("Prolific") + '\0'}}, "", "", "",
         "Prolific USB-to-Serial Comm Port, VID_067B PID_2303, no serial number",
         "\"maker\": \"Prolific\", \"usb\": {\"vid\": \"067B\", \"pid\": \"2303\", \"serial\": null}"},
        {"indirect_device_desc", "ACPI\\PNP0501\\1",
         {{"DeviceDesc", regtype::kSz, std::string("@msports.inf,%*pnp0501.devicedesc%;Communications Port") + '\0'},
          {"Mfg", regtype::kSz, std::string("@msports.inf,%std%;(Standard port types)") + '\0'}}, "", "", "",
         "Communications Port",
         "\"name\": \"Communications Port\", \"reported\": null, \"maker\": \"(Standard port types)\", \"usb\": null"},
        {"reported_by_the_port", "usb\\vid_2341&pid_003d\\85736323838351F0F0D1",
         {{"FriendlyName", regtype::kSz, std::string("Arduino Uno (COM4)") + '\0'},
          {"Mfg", regtype::kSz, std::string("@mdmcpq.inf,%msft%;Microsoft") + '\0'}}, "Arduino Uno R3", "", "",
         "Arduino Uno R3, VID_2341 PID_003D, serial 85736323838351F0F0D1",
         "\"connected\": true, \"name\": \"Arduino Uno (COM4)\", \"reported\": \"Arduino Uno R3\", \"maker\": \"Arduino\""},
        {"reported_by_the_parent", "FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000",
         {{"FriendlyName", regtype::kSz, std::string("USB Serial Port (COM4)") + '\0'}}, "",
         "USB\\VID_0403&PID_6001\\A1B2C3D4", "u-blox GNSS receiver",
         "u-blox GNSS receiver, VID_0403 PID_6001, serial A1B2C3D4", "\"name\": \"USB Serial Port (COM4)\""},
        {"second_ftdi_channel", "FTDIBUS\\VID_0403+PID_6010+FT4ABCDB\\0000",
         {{"FriendlyName", regtype::kSz, std::string("FT4232H (COM41") + '\0'}}, "", "", "",
         "FT4232H (COM41, VID_0403 PID_6010, serial FT4ABCD", "\"maker\": \"FTDI\""},
        {"interface_serial_from_the_parent", "USB\\VID_1546&PID_01A8&MI_00\\6&3A&0&0000",
         {{"Mfg", regtype::kSz, std::string("Microsoft") + '\0'}}, "", "USB\\VID_1546&PID_01A8\\SN77",
         "u-blox 8 GNSS receiver", "u-blox 8 GNSS receiver, VID_1546 PID_01A8, serial SN77", "\"maker\": \"u-blox\""},
        {"parent_ids_for_another_bus", "ROOT\\PORTS\\0000", {}, "", "USB\\VID_10C4&PID_EA60\\0001", "",
         "VID_10C4 PID_EA60, serial 0001", "\"maker\": \"Silicon Labs\""},
        {"controls_escaped", "USB\\VID_1A86&PID_7523\\5&1&0&2",
         {{"FriendlyName", regtype::kSz, std::string("CH340\x1b[2J\r\nCOM9\x7f (COM4)") + '\0'}}, "", "", "",
         "CH340\\x1B[2J\\x0D\\x0ACOM9\\x7F, VID_1A86 PID_7523, no serial number",
         "\"name\": \"CH340\\u001b[2J\\u000d\\u000aCOM9\\u007f (COM4)\""},
        {"huge_multi_and_wrong_types", "ACPI\\PNP0501\\1",
         {{"FriendlyName", regtype::kMultiSz, std::string("A\0B\0\0", 5)}, {"DeviceDesc", regtype::kSz, x},
          {"Mfg", regtype::kDword, "\xff\xff\xff\xff"}}, "", "", "", std::string(200, 'x') + "...",
         "\"name\": \"" + std::string(200, 'x') + "...\", \"reported\": null, \"maker\": null"},
        {"no_terminator", "ACPI\\PNP0501\\1", {{"LocationInformation", regtype::kSz, "Port_#0001.Hub_#0002"}}, "", "",
         "", "Port_#0001.Hub_#0002", "\"location\": \"Port_#0001.Hub_#0002\"}"},
        {"french_name", "ACPI\\PNP0501\\1", {{"FriendlyName", regtype::kSz, std::string("R\xe9" "cepteur GPS \x80 (COM4)") + '\0'}},
         "", "", "", "R\xc3\xa9" "cepteur GPS \xe2\x82\xac", "\"name\": \"R\\u00e9cepteur GPS \\u20ac (COM4)\""},
        {"vendor_not_in_the_table", "USB\\VID_1234&PID_5678\\X9", {{"Mfg", regtype::kSz, std::string("Microsoft") + '\0'}},
         "", "", "", "VID_1234 PID_5678, serial X9", "\"maker\": \"Microsoft\""},
        {"no_vid_field", "USB\\VXD_0403&PID_6001\\SN1", {{"FriendlyName", regtype::kSz, std::string("Modem port (COM4)") + '\0'}},
         "", "", "", "Modem port", "\"usb\": null"},
    };
    for (const IdentityCase& c : cases) {
        MemoryRegistry reg;
        MemoryDevices devices;
        const std::string key = kEnum + "\\" + c.id;
        AddPortAt(reg, key, "COM4");
        RegHandle handle = 0;
        ASSERT_EQ(0, reg.OpenKeyEx(regroot::kLocalMachine, key, 0, regaccess::kAllAccess, &handle));
        for (const auto& [name, type, bytes] : c.values) {
            ASSERT_EQ(0, reg.SetValueEx(handle, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                        static_cast<std::uint32_t>(bytes.size())));
        }
        ASSERT_EQ(0, reg.CloseKey(handle));
        // The device tree names it in upper case, as Windows does, whatever
        // the case of its key.
        std::string treeId = c.id;
        std::transform(treeId.begin(), treeId.end(), treeId.begin(), [](unsigned char ch) { return std::toupper(ch); });
        DeviceInfo port = PortDevice(treeId);
        port.parent = c.parent;
        devices.Add(port);
        if (!c.reported.empty()) devices.SetReported(c.id, c.reported);
        if (!c.parent.empty()) devices.Add(PortDevice(c.parent));
        if (!c.parentReported.empty()) devices.SetReported(c.parent, c.parentReported);
        std::ostringstream out, json, err;
        EXPECT_EQ(0, RunCli({"list"}, reg, devices, out, err)) << c.label;
        const std::string table = out.str();
        EXPECT_NE(std::string::npos, table.find("  " + c.cell + "  HKLM\\")) << c.label << "\n" << table;
        EXPECT_EQ(2, std::count(table.begin(), table.end(), '\n')) << c.label;
        EXPECT_EQ(0, RunCli({"list", "--json"}, reg, devices, json, err)) << c.label;
        EXPECT_TRUE(testing::JsonCheck::Valid(json.str())) << c.label << json.str();
        EXPECT_NE(std::string::npos, json.str().find(c.json)) << c.label << "\n" << json.str();
    }
}

TEST_F(Cli, DisableWritesTheDwordToThatPortOnlyWhateverTheCase) {
    const std::string before = DumpMachine(reg_);
    const Result r = Run({"disable", "com5"});
    EXPECT_EQ(0, r.code) << r.err;
    const auto value = ValueAt(reg_, kFtdi, "SkipEnumerations");
    EXPECT_EQ(regtype::kDword, value.type);
    EXPECT_EQ(kOff, value.data);
    // The new value is the only change.
    EXPECT_EQ(testing::SortedLines(before + "HKLM\\" + kFtdi +
                                   "\\Device Parameters [SkipEnumerations] type 4: 255 255 255 255\n"),
              testing::SortedLines(DumpMachine(reg_)));
    EXPECT_NE(std::string::npos, r.out.find("disabled mouse detection on COM5 (was on)"));
    EXPECT_NE(std::string::npos, r.out.find("restart the"));
    EXPECT_NE(std::string::npos, r.out.find("unplug and replug"));
    EXPECT_EQ(0u, reg_.OpenHandleCount());
}

TEST_F(Cli, EnableWritesZeroAndKeepsTheValue) {
    EXPECT_EQ(0, Run({"enable", "COM3", "COM12"}).code);
    EXPECT_EQ(kOn, ValueAt(reg_, kAcpi3, "SkipEnumerations").data);
    EXPECT_EQ(regtype::kDword, ValueAt(reg_, kUsb, "SkipEnumerations").type);
    EXPECT_EQ(kOn, ValueAt(reg_, kUsb, "SkipEnumerations").data);
    EXPECT_FALSE(ValueAt(reg_, kAcpi1, "SkipEnumerations").present);
}

TEST_F(Cli, AllSwitchesEveryPort) {
    EXPECT_EQ(0, Run({"disable", "--all"}).code);
    for (const auto& key : {kAcpi1, kAcpi3, kFtdi, kUsb}) {
        EXPECT_EQ(kOff, ValueAt(reg_, key, "SkipEnumerations").data) << key;
    }
    EXPECT_NE(std::string::npos, Run({"list", "--all"}).out.find("COM12  off"));
}

TEST_F(Cli, AnUnknownPortWritesNothingAtAll) {
    const std::string before = DumpMachine(reg_);
    const Result r = Run({"disable", "COM1", "COM9", "COM5"});
    EXPECT_EQ(1, r.code);
    EXPECT_EQ(before, DumpMachine(reg_));
    EXPECT_NE(std::string::npos, r.err.find("no serial port named COM9"));
    EXPECT_NE(std::string::npos, r.err.find("nothing was changed"));
    EXPECT_EQ("", r.out);
}

TEST_F(Cli, DryRunSaysWhatWouldChangeAndWritesNothing) {
    const std::string before = DumpMachine(reg_);
    const Result r = Run({"enable", "--dry-run", "COM3"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(before, DumpMachine(reg_));
    EXPECT_EQ("would enable mouse detection on COM3 (now off): HKLM\\" + kAcpi3 +
                  "\\Device Parameters SkipEnumerations = REG_DWORD 0\n",
              r.out);
}

TEST_F(Cli, RefusedWritesChangeNothingAndExplainWhy) {
    const std::string before = DumpMachine(reg_);
    testing::FaultyRegistry denied(reg_, testing::Faults{0, 5, 0, 0});
    Result r = RunOn(denied, {"disable", "COM1", "COM5"});
    EXPECT_EQ(2, r.code);
    EXPECT_NE(std::string::npos, r.err.find("administrator"));
    EXPECT_EQ(before, DumpMachine(reg_));

    testing::FaultyRegistry other(reg_, testing::Faults{0, 1018, 0, 0});
    r = RunOn(other, {"enable", "COM1"});
    EXPECT_EQ(3, r.code);
    EXPECT_NE(std::string::npos, r.err.find("status 1018"));
    EXPECT_EQ(before, DumpMachine(reg_));

    testing::FaultyRegistry setDenied(reg_, testing::Faults{0, 0, 0, 5});
    r = RunOn(setDenied, {"disable", "COM1"});
    EXPECT_EQ(2, r.code);
    EXPECT_EQ(before, DumpMachine(reg_));
    EXPECT_EQ(0u, reg_.OpenHandleCount());

    // The third write refused: the two before it are put back, a missing
    // value removed again, COM3's REG_DWORD -1 as it was.
    testing::FaultyRegistry third(reg_);
    third.Fail(testing::RegCall::SetValueEx, 1018, 3);
    r = RunOn(third, {"enable", "COM1", "COM3", "COM5"});
    EXPECT_EQ(3, r.code);
    EXPECT_EQ(before, DumpMachine(reg_));
    EXPECT_NE(std::string::npos, r.err.find("could not write SkipEnumerations for COM5 (status 1018). Nothing was "
                                            "changed: every port written before it was put back.\n")) << r.err;
    // Putting one back refused too: named with what it holds now.
    testing::FaultyRegistry stuck(reg_);
    stuck.Fail(testing::RegCall::SetValueEx, 5, 2);
    stuck.Fail(testing::RegCall::DeleteValue, 5);
    r = RunOn(stuck, {"disable", "COM1", "COM5", "--json"});
    EXPECT_EQ(2, r.code);
    EXPECT_TRUE(testing::JsonCheck::Valid(r.out)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"written\": [],\n  \"leftChanged\": [\n    {\"port\": \"COM1\", \"key\": \"HKLM\\\\" +
                                            JsonPath(kAcpi1) + "\\\\Device Parameters\", \"mouseDetection\": \"off\""))
        << r.out;
    EXPECT_NE(std::string::npos, r.err.find("COM1 is left changed: SkipEnumerations is REG_DWORD 0xFFFFFFFF (mouse "
                                            "detection off)\n")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("COM5 is left")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("Nothing was changed")) << r.err;
    // ... and when its value cannot be read back either, says so.
    testing::FaultyRegistry blind(reg_);
    blind.Fail(testing::RegCall::SetValueEx, 5, 2);
    blind.Fail(testing::RegCall::DeleteValue, 5);
    int reads = 0;
    blind.FailWhen([&](const testing::RegCallRecord& r) {
        return r.call == testing::RegCall::QueryValueEx && r.name == "SkipEnumerations" &&
               blind.PathOf(r.key).find(kUsb) == 0 && ++reads > 2;
    }, 1018);
    r = RunOn(blind, {"disable", "COM12", "COM5"});
    EXPECT_NE(std::string::npos, r.err.find("COM12 is left changed: its value could not be read back (status 1018)")) << r.err;
}

// Refusals midway on a machine as it was: what is put back, what is left
// changed and how it is named; a value that could not be read is never
// written, nor is a key the handler could not open.
TEST_F(Cli, RefusalsMidwayNameWhatTheyLeft) {
    const std::string before = DumpMachine(reg_);
    Result r;
    // The third write refused and the second's putting back too: the first
    // is still put back, and only the second is named as left changed; a
    // value gone by then is named as missing, not as unread.
    for (const bool vanishes : {false, true}) {
        testing::FaultyRegistry second(reg_);
        int com3Writes = 0;
        second.FailWhen([&](const testing::RegCallRecord& call) {
            return call.call == testing::RegCall::SetValueEx && second.PathOf(call.key).find(kFtdi) == 0;
        }, 1018);
        second.FailWhen([&](const testing::RegCallRecord& call) {
            return call.call == testing::RegCall::SetValueEx && second.PathOf(call.key).find(kAcpi3) == 0 &&
                   ++com3Writes == 2;
        }, 5);
        second.BeforeEachCall([&](const testing::RegCallRecord& call) {
            // Gone as the value is read back.
            if (!vanishes || com3Writes != 2 || call.call != testing::RegCall::OpenKeyEx || call.name.find(kAcpi3) != 0) return;
            RegHandle key = 0;
            (void)reg_.OpenKeyEx(regroot::kLocalMachine, kAcpi3 + "\\Device Parameters", 0, regaccess::kAllAccess, &key);
            (void)reg_.DeleteValue(key, "SkipEnumerations");
            (void)reg_.CloseKey(key);
        });
        r = RunOn(second, {"enable", "COM1", "COM3", "COM5"});
        EXPECT_EQ(3, r.code);
        EXPECT_FALSE(ValueAt(reg_, kAcpi1, "SkipEnumerations").present);
        EXPECT_NE(std::string::npos, r.err.find(vanishes ? "COM3 is left changed: SkipEnumerations is missing (mouse detection on)"
                                                         : "COM3 is left changed: SkipEnumerations is 0 (mouse detection on)"))
            << r.err;
        EXPECT_EQ(std::string::npos, r.err.find("COM1 is left")) << r.err;
        testing::SetValueAt(reg_, kAcpi3, "SkipEnumerations", regtype::kDword, kOff);
    }
    EXPECT_EQ(before, DumpMachine(reg_));
    // A value that cannot be read before the write is not written; opening
    // that fails without a registry status (the handler's own failure) is a
    // refusal too.
    for (const RegStatus status : {regstatus::kAccessDenied, 1018}) {
        testing::FaultyRegistry unread(reg_);
        bool forWriting = false;
        unread.BeforeEachCall([&](const testing::RegCallRecord& call) {
            forWriting = forWriting || (call.call == testing::RegCall::CreateKeyEx && call.name.find(kAcpi1) == 0);
        });
        unread.FailWhen([&](const testing::RegCallRecord& call) {
            return forWriting && call.call == testing::RegCall::QueryValueEx && call.name == "SkipEnumerations";
        }, status);
        r = RunOn(unread, {"disable", "COM1"});
        EXPECT_EQ(status == regstatus::kAccessDenied ? 2 : 3, r.code);
        EXPECT_NE(std::string::npos, r.err.find("could not read SkipEnumerations of COM1 (status " + std::to_string(status) +
                                                "), so it was not written")) << r.err;
        EXPECT_EQ(before, DumpMachine(reg_));
    }
    testing::FaultyRegistry full(reg_);
    full.BeforeEachCall([](const testing::RegCallRecord& call) {
        if (call.call == testing::RegCall::CreateKeyEx) throw std::bad_alloc();
    });
    r = RunOn(full, {"disable", "COM1"});
    EXPECT_EQ(3, r.code) << r.err;
    EXPECT_EQ(before, DumpMachine(reg_));
}

TEST_F(Cli, ExportPrintsARegFileOfTheCurrentStates) {
    Result r = Run({"export", "--acpi"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(0u, r.out.find("REGEDIT4\n\n"));
    EXPECT_NE(std::string::npos,
              r.out.find("\n; COM3\n[HKEY_LOCAL_MACHINE\\" + kAcpi3 +
                         "\\Device Parameters]\n\"SkipEnumerations\"=dword:ffffffff\n"));
    EXPECT_NE(std::string::npos,
              r.out.find("\n; COM1\n[HKEY_LOCAL_MACHINE\\" + kAcpi1 +
                         "\\Device Parameters]\n\"SkipEnumerations\"=dword:00000000\n"));
    EXPECT_EQ(std::string::npos, r.out.find("FTDIBUS"));
    r = Run({"export"});
    EXPECT_NE(std::string::npos, r.out.find("[HKEY_LOCAL_MACHINE\\" + kFtdi + "\\Device Parameters]"));
    EXPECT_EQ(std::string::npos, r.out.find("LPT1"));
    // A key line ends at its last ']': such a port is left out and named.
    AddPortAt(reg_, kEnum + "\\USB\\VID_1]\\1", "COM21");
    r = Run({"export"});
    EXPECT_EQ(4, r.code);
    EXPECT_NE(std::string::npos, r.err.find("COM21 not exported")) << r.err;
    EXPECT_EQ(std::string::npos, r.out.find("VID_1]"));
    EXPECT_NE(std::string::npos, r.out.find("[HKEY_LOCAL_MACHINE\\" + kFtdi + "\\Device Parameters]"));
}

// Text read from the registry is data: whatever bytes a port's name or
// key holds, the console output stays printable ASCII and the export holds
// exactly the keys and states listed, nothing injected.
TEST_F(Cli, HostileRegistryTextCannotChangeWhatIsWritten) {
    const std::string injected =
        "COM9\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Injected]\r\n\"Owned\"=\"yes\"";
    AddPortAt(reg_, kEnum + "\\ACPI\\PNP0501\\7", injected);
    AddPortAt(reg_, kEnum + "\\ACPI\\PNP0501\\8", "COM\x1b[2J\x1b]0;owned\x07\x9b" "8");
    // A device name that would close the key line and open another key.
    const std::string bracketKey = kEnum + "\\EVIL\\DEV]\r\n[HKEY_LOCAL_MACHINE\\1";
    AddPortAt(reg_, bracketKey, "COM20");
    AddPortAt(reg_, kEnum + "\\EVIL\\DEV\xe4\\2", "COM21");
    AddPortAt(reg_, kEnum + "\\FTDIBUS\\A B\\0000", "COM22");  // a space is printable: carried
    AddPortAt(reg_, kEnum + "\\EVIL\\DEV[1]\\3", "COM23");   // a bracket is not

    auto printable = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(), [](char ch) {
            const auto c = static_cast<unsigned char>(ch);
            return c == '\n' || (c >= 0x20 && c < 0x7F);
        });
    };
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"list", "--all"},
                                               {"list", "--all", "--json"},
                                               {"export", "--all"},
                                               {"disable", "--dry-run", "--all"},
                                               {"disable", "--all"},
                                               {"list", "\x1b[2J"}}) {
        const Result r = Run(args);
        EXPECT_TRUE(printable(r.out)) << args[0] << ": " << r.out;
        EXPECT_TRUE(printable(r.err)) << args[0] << ": " << r.err;
    }
    const Result list = Run({"list", "--all"});
    EXPECT_NE(std::string::npos,
              list.out.find("COM9\\x0D\\x0A[HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Injected]\\x0D\\x0A\"Owned\"=\"yes\""))
        << list.out;
    EXPECT_NE(std::string::npos, list.out.find("COM\\x1B[2J\\x1B]0;owned\\x07\\x9B8")) << list.out;

    const Result exported = Run({"export", "--all"});
    EXPECT_EQ(cliexit::kExportIncomplete, exported.code);
    const auto states = testing::ParseExport(exported.out);
    ASSERT_TRUE(states.has_value()) << exported.out;
    std::set<std::string> keys;
    for (const auto& [key, state] : *states) keys.insert(key);
    EXPECT_EQ((std::set<std::string>{kAcpi1 + "\\Device Parameters", kAcpi3 + "\\Device Parameters",
                                     kEnum + "\\ACPI\\PNP0501\\7\\Device Parameters",
                                     kEnum + "\\ACPI\\PNP0501\\8\\Device Parameters",
                                     kEnum + "\\FTDIBUS\\A B\\0000\\Device Parameters",
                                     kFtdi + "\\Device Parameters", kUsb + "\\Device Parameters"}),
              keys);
    EXPECT_NE(std::string::npos, exported.err.find("COM20 not exported")) << exported.err;
    EXPECT_NE(std::string::npos, exported.err.find("COM21 not exported")) << exported.err;
    EXPECT_NE(std::string::npos, exported.err.find("COM23 not exported")) << exported.err;
    // A key refused beside a port left out: the refusal's status wins.
    testing::FaultyRegistry refusing(reg_);
    refusing.FailWhen(OnKey(refusing, testing::RegCall::OpenKeyEx, "FTDIBUS\\A B\\0000"), 1018);
    EXPECT_EQ(3, RunOn(refusing, {"export", "--all"}).code);
    AddPortAt(reg_, kEnum + "\\ACPI\\PNP0501\\10", "COM\x7F");
    EXPECT_NE(std::string::npos, Run({"list"}).out.find("COM\\x7F ")) << "DEL is escaped";
}

// Every command closes each key it opened exactly once, also when the
// registry refuses a read, an open or an enumeration on the way.
TEST_F(Cli, EveryKeyOpenedIsClosedOnceWhateverTheRegistryRefuses) {
    const std::vector<std::function<void(testing::FaultyRegistry&)>> faults = {
        [](testing::FaultyRegistry&) {},
        [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::OpenKeyEx, regstatus::kAccessDenied, 3); },
        [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::QueryValueEx, 1018, 2); },
        [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::EnumKey, regstatus::kMoreData, 2); },
        [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::EnumValue, regstatus::kAccessDenied, 1); },
        [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::CreateKeyEx, regstatus::kAccessDenied, 2); },
    };
    for (std::size_t i = 0; i < faults.size(); ++i) {
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"list"}, {"list", "--all"}, {"export", "--all"}, {"disable", "--all"}, {"enable", "COM1", "COM5"}}) {
            testing::FaultyRegistry faulty(reg_);
            faults[i](faulty);
            (void)RunOn(faulty, args);
            EXPECT_TRUE(faulty.HandlesNotClosedOnce().empty()) << "fault " << i << ": " << args[0];
        }
    }
}

// A listing that breaks off, or a key that could hold a port asked about
// and cannot be read, is a refusal for every command: nothing is written.
TEST_F(Cli, RefusalsHideNoPortAndWriteNothing) {
    AddPortAt(reg_, kEnum + "\\USB\\VID_1A86&PID_7523\\6&1", "COM3");
    const std::string before = DumpMachine(reg_);
    const struct {
        std::vector<std::string> args;
        std::function<void(testing::FaultyRegistry&)> refuse;
    } cases[] = {
        {{"list", "--all"}, [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::EnumKey, 5, 2); }},
        {{"export", "--all"}, [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::EnumKey, 5, 2); }},
        {{"disable", "--all"}, [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::EnumKey, 5, 2); }},
        {{"disable", "COM3"},
         [](testing::FaultyRegistry& f) {
             f.FailWhen(OnKey(f, testing::RegCall::OpenKeyEx, "6&1\\Device"), 5);
         }},
        {{"enable", "--all"},
         [](testing::FaultyRegistry& f) {
             f.FailWhen(OnKey(f, testing::RegCall::QueryValueEx, "FTDIBUS", "PortName"), 1018);
         }},
    };
    for (const auto& c : cases) {
        testing::FaultyRegistry faulty(reg_);
        c.refuse(faulty);
        const Result r = RunOn(faulty, c.args);
        const int expected = c.args[0] == "enable" ? 3 : 2;
        EXPECT_EQ(expected, r.code) << c.args[0] << " " << c.args[1] << ": " << r.err;
        EXPECT_EQ(before, DumpMachine(reg_)) << c.args[0] << " " << c.args[1];
    }
}

TEST_F(Cli, APortIsWrittenOnceHoweverOftenItIsNamed) {
    testing::FaultyRegistry once(reg_);
    EXPECT_EQ(0, RunOn(once, {"enable", "COM3", "com3", "ACPI\\PNP0501\\3"}).code);
    EXPECT_EQ(1u, once.CountOf(testing::RegCall::SetValueEx));
    // Two instances with one name are two ports.
    AddPortAt(reg_, kEnum + "\\USB\\VID_1A86&PID_7523\\6&1", "COM3");
    testing::FaultyRegistry twice(reg_);
    EXPECT_EQ(0, RunOn(twice, {"disable", "COM3"}).code);
    EXPECT_EQ(2u, twice.CountOf(testing::RegCall::SetValueEx));
    EXPECT_EQ(kOff, ValueAt(reg_, kEnum + "\\USB\\VID_1A86&PID_7523\\6&1", "SkipEnumerations").data);
}

// What check finds on, disable --all switches off: the window's nameless
// ACPI ports (an imported export creates them) included.
TEST_F(Cli, CheckAndDisableAllConverge) {
    testing::SetValueAt(reg_, kEnum + "\\ACPI\\PNP0501\\2", "SkipEnumerations", regtype::kSz, {'1', 0});
    EXPECT_NE(std::string::npos, Run({"list"}).out.find("-      on               no                 unknown    -" + std::string(92, ' ') + "HKLM\\" + kEnum + "\\ACPI\\PNP0501\\2"));
    for (const char* scope : {"", "--all"}) {
        std::vector<std::string> check{"check"};
        if (*scope != 0) check.push_back(scope);
        EXPECT_EQ(1, Run(check).code) << scope;
    }
    EXPECT_EQ(0, Run({"disable", "--all"}).code);
    EXPECT_EQ(0, Run({"check"}).code);
    EXPECT_EQ(0, Run({"check", "--all"}).code);
    EXPECT_EQ(0, Run({"enable", "HKLM\\" + kEnum + "\\ACPI\\PNP0501\\2"}).code);
    EXPECT_EQ(kOn, ValueAt(reg_, kEnum + "\\ACPI\\PNP0501\\2", "SkipEnumerations").data);
}

// check, as a management tool's detection step runs it: the exit status
// says whether the machine is done; what is on, missing or unreadable is
// named on stderr.
struct CheckCase {
    const char* label;
    std::vector<std::string> args;
    std::function<void(MemoryRegistry&)> arrange;
    testing::Faults faults;
    int code;
    std::string says;  // on stderr, or stdout when the check passes
    std::function<void(testing::FaultyRegistry&)> refuse = {};
    std::function<void(MemoryDevices&)> devices = {};
};


class CliCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CliCheck, ExitStatusTellsWhetherDetectionIsOffEverywhereAsked) {
    const CheckCase& c = GetParam();
    MemoryRegistry reg;
    AddPortAt(reg, kAcpi1, "COM1");
    AddPortAt(reg, kAcpi3, "COM3");
    AddPortAt(reg, kFtdi, "COM5");
    testing::SetValueAt(reg, kAcpi3, "SkipEnumerations", regtype::kDword, kOff);
    c.arrange(reg);
    const std::string before = DumpMachine(reg);
    testing::FaultyRegistry faulty(reg, c.faults);
    if (c.refuse) c.refuse(faulty);
    std::ostringstream out;
    std::ostringstream err;
    MemoryDevices devices;
    if (c.devices) c.devices(devices);
    EXPECT_EQ(c.code, RunCli(c.args, faulty, devices, out, err)) << err.str();
    const std::string said = c.code == 0 ? out.str() : err.str();
    EXPECT_NE(std::string::npos, said.find(c.says)) << said;
    EXPECT_EQ(before, DumpMachine(reg)) << "check writes nothing";
    EXPECT_EQ(0u, faulty.CountOf(testing::RegCall::SetValueEx));

    // The same check for a script: one JSON document on stdout, whatever
    // the outcome, that says compliant exactly when the status is 0.
    std::vector<std::string> json = c.args;
    json.push_back("--json");
    testing::FaultyRegistry again(reg, c.faults);
    if (c.refuse) c.refuse(again);
    std::ostringstream jsonOut;
    std::ostringstream jsonErr;
    EXPECT_EQ(c.code, RunCli(json, again, devices, jsonOut, jsonErr));
    EXPECT_TRUE(testing::JsonCheck::Valid(jsonOut.str())) << jsonOut.str();
    EXPECT_NE(std::string::npos,
              jsonOut.str().find(c.code == 0 ? "\"compliant\": true" : "\"compliant\": false"))
        << jsonOut.str();
}

void SwitchOff(MemoryRegistry& reg, const std::string& key) {
    testing::SetValueAt(reg, key, "SkipEnumerations", regtype::kDword, kOff);
}

INSTANTIATE_TEST_SUITE_P(
    Check, CliCheck,
    ::testing::Values(
        CheckCase{"acpi_port_on", {"check"}, [](MemoryRegistry&) {}, {}, 1,
                  "mouse detection is on for COM1"},
        CheckCase{"acpi_all_off", {"check", "--acpi"}, [](MemoryRegistry& r) { SwitchOff(r, kAcpi1); }, {}, 0,
                  "mouse detection is off on every port checked"},
        CheckCase{"all_includes_usb", {"check", "--all"}, [](MemoryRegistry& r) { SwitchOff(r, kAcpi1); },
                  {}, 1, "mouse detection is on for COM5"},
        CheckCase{"all_off", {"check", "--all"},
                  [](MemoryRegistry& r) {
                      SwitchOff(r, kAcpi1);
                      SwitchOff(r, kFtdi);
                  },
                  {}, 0, "off on every port checked"},
        CheckCase{"named_off", {"check", "com3"}, [](MemoryRegistry&) {}, {}, 0, "COM3"},
        CheckCase{"named_missing", {"check", "COM3", "COM9"}, [](MemoryRegistry&) {}, {}, 1,
                  "no serial port named COM9"},
        CheckCase{"access_denied", {"check", "--acpi"}, [](MemoryRegistry&) {}, testing::Faults{5, 0, 0, 0}, 2,
                  "could not open HKLM\\" + kAcpi1 + "\\Device Parameters (status 5)"},
        CheckCase{"other_refusal", {"check", "--all"}, [](MemoryRegistry&) {}, testing::Faults{1018, 0, 0, 0},
                  3, "(status 1018)"},
        // A listing that breaks off hides the ports after it.
        CheckCase{"listing_broke_off", {"check", "--all"},
                  [](MemoryRegistry& r) {
                      SwitchOff(r, kAcpi1);
                      SwitchOff(r, kFtdi);
                  },
                  {}, 2, "the listing of HKLM\\SYSTEM\\CurrentControlSet\\Enum broke off (status 5)",
                  [](testing::FaultyRegistry& f) { f.Fail(testing::RegCall::EnumKey, 5, 2); }},
        // Every port called COM3 is asked about, and every key that could be one.
        CheckCase{"second_com3_unreadable", {"check", "COM3"},
                  [](MemoryRegistry& r) { AddPortAt(r, kUsb, "COM3"); }, {}, 2,
                  "could not open HKLM\\" + kUsb + "\\Device Parameters (status 5)",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen(OnKey(f, testing::RegCall::OpenKeyEx, kUsb + "\\Device"), 5);
                  }},
        CheckCase{"second_com3_on", {"check", "COM3"},
                  [](MemoryRegistry& r) { AddPortAt(r, kUsb, "COM3"); }, {}, 1,
                  "mouse detection is on for COM3 (HKLM\\" + kUsb + "): SkipEnumerations is missing"},
        CheckCase{"unrelated_port_unreadable", {"check", "COM3"}, [](MemoryRegistry&) {}, {}, 0,
                  "off on every port checked",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen(OnKey(f, testing::RegCall::QueryValueEx, "FTDIBUS", "SkipEnumerations"), 5);
                  }},
        CheckCase{"asked_port_unreadable", {"check", "COM5"}, [](MemoryRegistry& r) { SwitchOff(r, kFtdi); },
                  {}, 2, "could not read the values of HKLM\\" + kFtdi,
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen(OnKey(f, testing::RegCall::QueryValueEx, "FTDIBUS", "SkipEnumerations"), 5);
                  }},
        // A USB adapter is checked by default; --acpi checks the window's ports.
        CheckCase{"only_usb_ports", {"check"},
                  [](MemoryRegistry& r) { ASSERT_EQ(0, r.DeleteTree(regroot::kLocalMachine, kEnum + "\\ACPI")); },
                  {}, 1, "mouse detection is on for COM5"},
        CheckCase{"only_usb_ports_acpi", {"check", "--acpi"},
                  [](MemoryRegistry& r) { ASSERT_EQ(0, r.DeleteTree(regroot::kLocalMachine, kEnum + "\\ACPI")); },
                  {}, 0, "no ACPI serial ports; 1 other port not checked: leave out --acpi"},
        // A parallel port is no serial port, whatever it holds.
        CheckCase{"parallel_port", {"check"},
                  [](MemoryRegistry& r) {
                      for (const std::string& key : {kAcpi1, kFtdi}) SwitchOff(r, key);
                      AddPortAt(r, kEnum + "\\ACPI\\PNP0400\\1", "LPT1");
                  },
                  {}, 0, "mouse detection is off on every port checked"},
        // The window lists an ACPI port without a PortName; check counts it.
        CheckCase{"acpi_port_without_name", {"check"},
                  [](MemoryRegistry& r) {
                      SwitchOff(r, kAcpi1);
                      testing::SetValueAt(r, kEnum + "\\ACPI\\PNP0501\\2", "Other", regtype::kSz, {0});
                  },
                  {}, 1,
                  "mouse detection is on for HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\2"},
        // Only the REG_DWORD that the serial enumerator reads switches it off.
        CheckCase{"text_that_reads_off", {"check", "COM1"},
                  [](MemoryRegistry& r) {
                      const std::string text = "FF FF FF FF";
                      testing::SetValueAt(r, kAcpi1, "SkipEnumerations", regtype::kSz,
                                          Bytes(text.begin(), text.end() + 1));
                  },
                  {}, 1, "SkipEnumerations is REG_SZ, not REG_DWORD"},
        CheckCase{"type_unknown", {"check", "COM1"},
                  [](MemoryRegistry& r) { testing::SetValueAt(r, kAcpi1, "SkipEnumerations", 99, {1}); },
                  {}, 1, "SkipEnumerations is type 99, not REG_DWORD"},
        CheckCase{"binary_ff", {"check", "COM1"},
                  [](MemoryRegistry& r) {
                      testing::SetValueAt(r, kAcpi1, "SkipEnumerations", regtype::kBinary, kOff);
                  },
                  {}, 0, "off on every port checked"},
        // In force, but the mice cannot be listed: the guard's state is not certain.
        CheckCase{"guard_mice_refused", {"check", "--guard", "COM3"},
                  [](MemoryRegistry& r) {
                      MemoryDevices none;
                      std::ostringstream said;
                      ASSERT_EQ(0, RunCli({"guard", "on"}, r, none, said, said)) << said.str();
                  },
                  {}, 2, "could not list the serial mice (status 5)", {},
                  [](MemoryDevices& d) { d.FailList(DevStatus::Win32(5)); }},
        CheckCase{"dword_count", {"check", "COM1"},
                  [](MemoryRegistry& r) {
                      testing::SetValueAt(r, kAcpi1, "SkipEnumerations", regtype::kDword, {0x1A, 0, 0, 0});
                  },
                  {}, 1, "SkipEnumerations is 26: only 26 scans are skipped"},
        CheckCase{"named_by_key", {"check", "acpi\\pnp0501\\3"}, [](MemoryRegistry&) {}, {}, 0,
                  "off on every port checked"},
        CheckCase{"named_by_full_key", {"check", "HKEY_LOCAL_MACHINE\\" + kAcpi3}, [](MemoryRegistry&) {}, {}, 0,
                  "off on every port checked"},
        // The window's ports are instances 1 to 200 in plain decimal: 200
        // is one, 007 (another key than 7) is not.
        CheckCase{"window_edges", {"check", "--acpi"},
                  [](MemoryRegistry& r) {
                      SwitchOff(r, kAcpi1);
                      AddPortAt(r, kEnum + "\\ACPI\\PNP0501\\200", "COM200");
                      SwitchOff(r, kEnum + "\\ACPI\\PNP0501\\200");
                      AddPortAt(r, kEnum + "\\ACPI\\PNP0501\\007", "COM7");
                  },
                  {}, 0, "mouse detection is off on every port checked\n2 other ports not checked: leave out --acpi\n"},
        // A refused key that could hold the second name asked for.
        CheckCase{"second_name_unreadable", {"check", "COM3", "COM5"}, [](MemoryRegistry&) {}, {}, 2,
                  "could not read the values of HKLM\\" + kFtdi,
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen(OnKey(f, testing::RegCall::QueryValueEx, "FTDIBUS", "SkipEnumerations"), 5);
                  }},
        // Refusals of both kinds: 3, whichever comes first.
        CheckCase{"denied_then_other", {"check", "--all"}, [](MemoryRegistry&) {}, {}, 3, "(status 1018)",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen(OnKey(f, testing::RegCall::OpenKeyEx, "ACPI\\PNP0501\\1\\Device"), 5);
                      f.FailWhen(OnKey(f, testing::RegCall::OpenKeyEx, "FTDIBUS\\VID"), 1018);
                  }},
        CheckCase{"other_then_denied", {"check", "--all"}, [](MemoryRegistry&) {}, {}, 3, "(status 1018)",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen(OnKey(f, testing::RegCall::OpenKeyEx, "ACPI\\PNP0501\\1\\Device"), 1018);
                      f.FailWhen(OnKey(f, testing::RegCall::OpenKeyEx, "FTDIBUS\\VID"), 5);
                  }},
        // With --mice, the registry's refusal and the listing's together.
        CheckCase{"refused_and_mice_denied", {"check", "--all", "--mice"}, [](MemoryRegistry&) {}, {}, 3,
                  "could not list the serial mice (status 5)",
                  [](testing::FaultyRegistry& f) {
                      f.FailWhen(OnKey(f, testing::RegCall::OpenKeyEx, "FTDIBUS\\VID"), 1018);
                  },
                  [](MemoryDevices& d) { d.FailList(DevStatus::Win32(5)); }}),
    [](const auto& info) { return std::string(info.param.label); });

// Whichever read the registry refuses, check --all never says compliant:
// not on a machine where detection is on, and not on one where it is off
// everywhere but the refused read could have hidden a port.
TEST_F(Cli, NoRefusedReadMakesCheckSayCompliant) {
    for (const bool allOff : {false, true}) {
        if (allOff) {
            ASSERT_EQ(0, Run({"disable", "--all"}).code);
        }
        testing::FaultyRegistry clean(reg_);
        ASSERT_EQ(allOff ? 0 : 1, RunOn(clean, {"check", "--all"}).code);
        for (const testing::RegCall call :
             {testing::RegCall::OpenKeyEx, testing::RegCall::QueryValueEx, testing::RegCall::EnumKey}) {
            for (int nth = 1; nth <= static_cast<int>(clean.CountOf(call)); ++nth) {
                for (const RegStatus status : {regstatus::kAccessDenied, 1018}) {
                    testing::FaultyRegistry faulty(reg_);
                    faulty.Fail(call, status, nth);
                    const int code = RunOn(faulty, {"check", "--all"}).code;
                    // A value of the mouse, whose missing PortName says it is
                    // no port, or of the parallel port, hides nothing.
                    const auto refused = std::find_if(
                        faulty.Calls().begin(), faulty.Calls().end(),
                        [&](const testing::RegCallRecord& r) { return r.call == call && r.status == status; });
                    if (refused != faulty.Calls().end() && call == testing::RegCall::QueryValueEx &&
                        (faulty.PathOf(refused->key).find("\\HID\\") != std::string::npos ||
                         faulty.PathOf(refused->key).find("\\PNP0400\\") != std::string::npos)) {
                        continue;
                    }
                    // Nor does where the serial enumerator is (the class
                    // key, an instance key, their UpperFilters), nor which
                    // device is on a port.
                    const std::set<std::string> aside = {"UpperFilters", "ClassGUID", "FriendlyName", "DeviceDesc",
                                                         "Mfg", "LocationInformation"};
                    if (refused != faulty.Calls().end() &&
                        (aside.count(refused->name) > 0 ||
                         (call == testing::RegCall::OpenKeyEx &&
                          (refused->name.find("\\Class\\") != std::string::npos ||
                           std::count(refused->name.begin(), refused->name.end(), '\\') == 5)))) {
                        continue;
                    }
                    EXPECT_NE(0, code) << static_cast<int>(call) << " #" << nth << " " << status;
                    EXPECT_LE(code, 3);
                }
            }
        }
    }
}

TEST_F(Cli, CheckJsonSaysWhetherTheMachineIsCompliant) {
    Result r = Run({"check", "--json"});
    EXPECT_EQ(1, r.code);
    EXPECT_NE(std::string::npos, r.out.find("\"compliant\": false")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"port\": \"COM1\", \"mouseDetection\": \"on\"")) << r.out;
    MemoryRegistry empty;
    r = RunOn(empty, {"check", "--json"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ("{\n  \"ports\": [],\n  \"missing\": [],\n  \"refused\": [],\n  \"compliant\": true\n}\n", r.out);
    EXPECT_NE(std::string::npos, RunOn(empty, {"check", "--acpi", "--json"}).out.find("\"otherPortsNotChecked\": 0"));
    // Refusals and missing names are in the document, with the reason.
    testing::FaultyRegistry denied(reg_, testing::Faults{5, 0, 0, 0});
    r = RunOn(denied, {"check", "COM9", "--json"});
    EXPECT_EQ(2, r.code);
    EXPECT_NE(std::string::npos, r.out.find("\"missing\": [\n    \"COM9\"\n  ]")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("{\"key\": \"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Enum\", "
                                            "\"status\": 5, \"reason\": \"could not open"))
        << r.out;
}

struct UsageCase {
    std::vector<std::string> args;
    const char* message;
};

TEST_F(Cli, UsageErrorsExitWith64) {
    const std::vector<UsageCase> cases = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"list", "--colour"}, "unknown option '--colour'"},
        {{"disable"}, "needs port names or --all"},
        {{"enable", "--all", "COM1"}, "not both"},
        {{"export", "--json"}, "--json is not for export"},
        {{"guard", "maybe"}, "guard takes 'on', 'off' or nothing"},
        {{"guard", "on", "off"}, "guard takes 'on', 'off' or nothing"},
        {{"list", "--anonymize"}, "--anonymize is for report only"},
        {{"report", "a.json", "b.json"}, "report takes one file name"},
        {{"report", "--json"}, "report writes one JSON file of every port: no options but --anonymize"},
        {{"guard", "--all"}, "no --all"},
        {{"list", "--guard"}, "--guard is for check only"},
        {{"enable", "--now", "COM1"}, "--now is for disable only"},
        {{"guard", "--dry-run"}, "--dry-run is for guard on and guard off"},
        {{"list", "--mice"}, "--mice is for check only"},
        {{"mice", "--all"}, "no --all"},
        {{"check", "--all", "COM1"}, "not both"},
        {{"check", "--dry-run"}, "--dry-run is for disable, enable and guard only"},
        {{"list", "--dry-run"}, "--dry-run is for disable, enable and guard only"},
        {{"list", "COM1"}, "unexpected argument 'COM1'"},
        {{"disable", "-n", "COM3"}, "unknown option '-n'"},
        {{"identify", "--timeout", "0"}, "--timeout takes a number of seconds"},
        {{"identify", "--timeout"}, "--timeout takes a number of seconds"},
        {{"list", "--timeout", "5"}, "--timeout is for identify only"},
        {{"identify", "--all"}, "identify watches every port"},
        {{"help", "disable", "enable"}, "help takes one command"},
    };
    const std::string before = DumpMachine(reg_);
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(64, r.code) << c.message;
        EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
        EXPECT_NE(std::string::npos, r.err.find("--help")) << r.err;
    }
    EXPECT_EQ(before, DumpMachine(reg_));
}

TEST_F(Cli, HelpAndVersion) {
    Result r = Run({"--help"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(0u, r.out.find("Usage: portquell-cli COMMAND"));
    r = Run({"list", "--version"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(0u, r.out.find("portquell-cli "));
    EXPECT_NE(std::string::npos, r.out.find(" (development build)\n")) << "names its source" << r.out;
    EXPECT_EQ('\n', r.out.back());
}

// The words of text's lines that begin with start, up to end: the
// options ("--json") or exit statuses ("64") a help or a section names.
std::set<std::string> Named(const std::string& text, const std::string& start, char end) {
    std::set<std::string> named;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(start, 0) != 0) continue;
        const std::string rest = line.substr(start.size() - (start.back() == '-' ? 2 : 0));
        const std::string word = rest.substr(0, rest.find(end));
        if (start.back() != '-' && !std::isdigit(static_cast<unsigned char>(word.empty() ? 'x' : word[0]))) continue;
        named.insert(word);
    }
    return named;
}

// Each command's own help: exit 0, its synopsis, not the overview; and
// docs/cli.md's section of the command names the same options and exit
// statuses.
TEST_F(Cli, EachCommandHasAHelpOfItsOwnThatTheReferenceMatches) {
    const std::string overview = Run({"--help"}).out;
    EXPECT_EQ(overview, Run({"help"}).out);
    EXPECT_LE(std::count(overview.begin(), overview.end(), '\n'), 25);
    std::ifstream file(PQ_DOCS_DIR "/cli.md");
    std::stringstream read;
    read << file.rdbuf();
    const std::string docs = read.str();
    ASSERT_FALSE(docs.empty());
    for (const CommandHelp& command : CommandHelps()) {
        const std::string name = command.name;
        const Result help = Run({"help", name});
        EXPECT_EQ(0, help.code) << name;
        EXPECT_EQ(0u, help.out.find("Usage: portquell-cli " + name)) << help.out;
        EXPECT_NE(std::string::npos, overview.find("  " + name + " ")) << name;
        EXPECT_EQ(help.out, Run({name, "--help"}).out) << name;
        const std::size_t at = docs.find("\n## `" + name + "`\n");
        ASSERT_NE(std::string::npos, at) << name;
        const std::string section = docs.substr(at, docs.find("\n## ", at + 1) - at);
        EXPECT_EQ(Named(help.out, "  --", ' '), Named(section, "- `--", '`')) << name;
        std::set<std::string> exits = Named(section, "- `", '`');
        const std::set<std::string> rows = Named(section, "| ", ' ');
        exits.insert(rows.begin(), rows.end());
        EXPECT_EQ(Named(help.out, "  ", ' '), exits) << name;
    }
    EXPECT_EQ(64, Run({"help", "frob"}).code);
    EXPECT_EQ(64, Run({"frob", "--help"}).code);
    // Every file the README links to is there.
    std::ifstream readme(PQ_DOCS_DIR "/../README.md");
    const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("](docs/cli.md)"));
    for (std::size_t at = 0; (at = text.find("](", at)) != std::string::npos; ++at) {
        const std::string target = text.substr(at + 2, text.find_first_of(")#", at + 2) - at - 2);
        EXPECT_TRUE(std::ifstream(PQ_DOCS_DIR "/../" + target).good()) << target;
    }
}

// Serial mice that Windows installed: found under their port (by the
// parent the system names, or by the port's ParentIdPrefix), listed,
// checked, and removed by disable --now after the write, never before.
// The device tree knows each mouse's parent (COM1's by default) and, as
// under Wine, names none unless a case says so.
struct MiceCase {
    const char* label;
    std::vector<std::string> args;
    std::function<void(MemoryDevices&, MemoryRegistry&)> arrange;
    testing::Faults faults;
    int code;
    std::string says;     // on stdout, or stderr when it says nothing there
    bool mouseLeft;       // the first mouse still installed afterwards
    std::size_t restarts; // port restarts that succeeded
    RegStatus prefixRefused = 0;  // the read of COM1's ParentIdPrefix answers this
    bool instanceKeyRefused = false;  // opening COM1's instance key answers 1018
};

class CliMice : public ::testing::TestWithParam<MiceCase> {};

const std::string kMouse = "SERENUM\\PNP0F0C\\4&1234&0&0000";
const std::string kSecondMouse = "SERENUM\\PNP0F0C\\4&1234&0&0001";
const std::string kUntoldMouse = "SERENUM\\PNP0F0C\\9&9&0&0000";
const std::string kCom1Id = "ACPI\\PNP0501\\1";
const std::string kFtdiId = "FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";

DeviceInfo Mouse(const std::string& id, bool present, const std::string& parent = kCom1Id) {
    DeviceInfo mouse;
    mouse.instanceId = id;
    mouse.hardwareIds = {"SERENUM\\PNP0F0C", "*PNP0F0C"};
    mouse.compatibleIds = {"SERIAL_MOUSE"};
    mouse.service = "sermouse";
    mouse.classGuid = kMouseClassGuid;
    mouse.present = present;
    mouse.parent = parent;
    return mouse;
}

DeviceInfo PortDevice(const std::string& id) {
    DeviceInfo port;
    port.instanceId = id;
    port.classGuid = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
    port.present = true;
    return port;
}

// COM1 (ACPI, ParentIdPrefix 4&1234&0) and COM5 (FTDI, no prefix), both
// present, with a present serial mouse under COM1; restarts read the
// registry as the serial enumerator does.
void MiceMachine(MemoryRegistry& reg, MemoryDevices& devices) {
    AddPortAt(reg, kAcpi1, "COM1");
    AddPortAt(reg, kFtdi, "COM5");
    testing::SetPrefixAt(reg, kAcpi1, "4&1234&0");
    testing::SetPortsClassAt(reg, kAcpi1);
    testing::SetPortsClassAt(reg, kFtdi);
    devices.Add(PortDevice(kCom1Id));
    devices.Add(PortDevice(kFtdiId));
    devices.Add(Mouse(kMouse, true));
    devices.HideParents();
    devices.SetDetectionOff([&reg](const std::string& id) { return testing::DetectionOffAt(reg, id); });
}

bool Installed(const MemoryDevices& devices, const std::string& id) {
    const auto& all = devices.Devices();
    return std::any_of(all.begin(), all.end(), [&](const DeviceInfo& d) { return d.instanceId == id; });
}

TEST_P(CliMice, FindsChecksAndRemovesTheMiceOfAPort) {
    const MiceCase& c = GetParam();
    MemoryRegistry reg;
    MemoryDevices devices;
    MiceMachine(reg, devices);
    c.arrange(devices, reg);
    testing::FaultyRegistry faulty(reg, c.faults);
    if (c.prefixRefused != 0) {
        faulty.FailWhen(OnKey(faulty, testing::RegCall::QueryValueEx, "ACPI\\PNP0501\\1", "ParentIdPrefix"),
                        c.prefixRefused);
    }
    if (c.instanceKeyRefused) {
        faulty.FailWhen([](const testing::RegCallRecord& r) {
            return r.call == testing::RegCall::OpenKeyEx && r.name == kAcpi1;
        }, 1018);
    }
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(c.code, RunCli(c.args, faulty, devices, out, err)) << out.str() << err.str();
    const std::string said = out.str().find(c.says) != std::string::npos ? out.str() : err.str();
    EXPECT_NE(std::string::npos, said.find(c.says)) << out.str() << err.str();
    EXPECT_EQ(c.mouseLeft, Installed(devices, kMouse));
    EXPECT_EQ(c.restarts, devices.Restarted().size());
    // Every port restarted holds detection off: none whose write failed.
    for (const std::string& id : devices.Restarted()) EXPECT_TRUE(testing::DetectionOffAt(reg, id)) << id;
    if (c.args[0] == "mice" || c.args[0] == "check") {
        std::vector<std::string> json = c.args;
        if (std::find(json.begin(), json.end(), "--json") == json.end()) json.push_back("--json");
        std::ostringstream jsonOut;
        std::ostringstream jsonErr;
        // The document is valid and gives its reason for every status but 0.
        EXPECT_EQ(c.code, RunCli(json, faulty, devices, jsonOut, jsonErr));
        EXPECT_TRUE(testing::JsonCheck::Valid(jsonOut.str())) << jsonOut.str();
        if (c.code == cliexit::kAccessDenied || c.code == cliexit::kRegistryError) {
            EXPECT_TRUE(jsonOut.str().find("\"refused\": [\n") != std::string::npos ||
                        jsonOut.str().find("\"miceRefused\"") != std::string::npos)
                << jsonOut.str();
        }
    }
}

void NoChange(MemoryDevices&, MemoryRegistry&) {}

// A key path as a JSON string's content shows it.
std::string JsonPath(const std::string& path) {
    std::string out;
    for (const char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// The first mouse as another device.
void ReplaceMouse(MemoryDevices& d, DeviceInfo replacement) {
    DeviceInfo* mouse = d.Edit(kMouse);
    ASSERT_NE(nullptr, mouse);
    *mouse = std::move(replacement);
}

INSTANTIATE_TEST_SUITE_P(
    Mice, CliMice,
    ::testing::Values(
        MiceCase{"listed_on_its_port", {"mice"}, NoChange, {}, 0,
                 "PORT  PRESENT  HARDWARE ID      DEVICE                         PORT KEY\n"
                 "COM1  yes      SERENUM\\PNP0F0C  " + kMouse + "  HKLM\\" + kAcpi1 + "\n", true, 0},
        MiceCase{"not_present", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     ReplaceMouse(d, Mouse(kMouse, false));
                 },
                 {}, 0, "COM1  no ", true, 0},
        MiceCase{"port_unknown", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Add(Mouse(kUntoldMouse, true, kFtdiId)); }, {},
                 0, "?     yes      SERENUM\\PNP0F0C  " + kUntoldMouse + "     -\n", true, 0},
        MiceCase{"parent_from_the_system", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     d.HideParents(false);
                     d.Add(Mouse("SERENUM\\PNP0F0C\\7&77&0&0000", true, kFtdiId));
                 },
                 {}, 0, "COM5  yes      SERENUM\\PNP0F0C  SERENUM\\PNP0F0C\\7&77&0&0000", true, 0},
        // A parent the system names that is no port (a bus, a port whose
        // values were not read): no prefix overrides it; the port cannot be
        // told.
        MiceCase{"parent_not_a_port", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     d.HideParents(false);
                     ReplaceMouse(d, Mouse(kMouse, true, "PCI\\VEN_8086&DEV_1\\3&1"));
                 },
                 {}, 0, "?     yes      SERENUM\\PNP0F0C  " + kMouse, true, 0},
        // Not the serial enumerator's child, under no port: on no port.
        MiceCase{"installed_by_hand", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Add(Mouse("ROOT\\MOUSE\\0000", true, "")); }, {}, 0,
                 "none  yes      SERENUM\\PNP0F0C  ROOT\\MOUSE\\0000", true, 0},
        MiceCase{"class_in_lower_case", {"mice", "--json"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     d.Edit(kMouse)->classGuid = "{4d36e96f-e325-11ce-bfc1-08002be10318}";
                     d.Add(Mouse("SERENUM\\PNP0F0C\\9&9&0&0000\x1b[2J", false, ""));
                 },
                 {}, 0,
                 "{\n  \"mice\": [\n    {\"port\": \"COM1\", \"portKey\": \"HKLM\\\\" + JsonPath(kAcpi1) +
                     "\", \"portDevice\": null, \"present\": true, \"hardwareId\": \"SERENUM\\\\PNP0F0C\", \"device\": \"SERENUM\\\\PNP0F0C\\\\"
                     "4&1234&0&0000\"},\n    {\"port\": null, \"portKey\": null, \"portDevice\": null, \"portReason\": \"its port cannot be told: it may be on "
                     "any port\", \"present\": false, \"hardwareId\": "
                     "\"SERENUM\\\\PNP0F0C\", \"device\": \"SERENUM\\\\PNP0F0C\\\\9&9&0&0000\\u001b[2J\"}\n  ],\n"
                     "  \"refused\": []\n}\n",
                 true, 0},
        MiceCase{"id_escaped_in_the_table", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Add(Mouse("SERENUM\\PNP0F0C\\9&9\x1b[2J", false, "")); },
                 {}, 0, "?     no       SERENUM\\PNP0F0C  SERENUM\\PNP0F0C\\9&9\\x1B[2J", true, 0},
        MiceCase{"prefix_lower_case", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry& r) {
                     testing::SetPrefixAt(r, kAcpi1, "4&abcd&0");
                     ReplaceMouse(d, Mouse("SERENUM\\PNP0F0C\\4&ABCD&0&0000", true));
                 },
                 {}, 0, "COM1  yes", false, 0},
        MiceCase{"prefix_without_ampersand", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     ReplaceMouse(d, Mouse("SERENUM\\PNP0F0C\\4&1234&00&0000", true));
                 },
                 {}, 0, "?     yes", false, 0},
        MiceCase{"prefix_not_a_string", {"mice"},
                 [](MemoryDevices&, MemoryRegistry& r) { testing::SetPrefixAt(r, kAcpi1, "4&1234&0", regtype::kExpandSz); },
                 {}, 0, "?     yes", true, 0},
        MiceCase{"prefix_on_two_ports", {"disable", "COM1", "--now"},
                 [](MemoryDevices&, MemoryRegistry& r) { testing::SetPrefixAt(r, kFtdi, "4&1234&0"); }, {}, 5,
                 "COM1: in force at the next restart: port restarted; a serial mouse whose port cannot be told is "
                 "present\nserial mouse " + kMouse + " is present on a port that cannot be told: not removed",
                 true, 1},
        // COM1's prefix unknown: it could be COM5's too, so no mouse is
        // placed by prefix.
        MiceCase{"prefix_refused", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry& r) {
                     testing::SetPrefixAt(r, kFtdi, "7&77&0");
                     d.Add(Mouse("SERENUM\\PNP0F0C\\7&77&0&0000", true, kFtdiId));
                 },
                 {}, 2,
                 "PORT  PRESENT  HARDWARE ID      DEVICE                         PORT KEY\n"
                 "?     yes      SERENUM\\PNP0F0C  " + kMouse + "  -\n"
                 "?     yes      SERENUM\\PNP0F0C  SERENUM\\PNP0F0C\\7&77&0&0000    -\n", true, 0, 5},
        MiceCase{"prefix_key_refused", {"mice"},
                 [](MemoryDevices&, MemoryRegistry&) {}, {}, 3,
                 "portquell-cli: could not open HKLM\\" + kAcpi1 + " (status 1018), so some mice's ports may be unknown.\n",
                 true, 0, 0, true},
        MiceCase{"prefix_refused_check", {"check", "--mice", "COM5"},
                 [](MemoryDevices&, MemoryRegistry& r) {
                     testing::SetValueAt(r, kFtdi, "SkipEnumerations", regtype::kDword, kOff);
                 },
                 {}, 3,
                 "portquell-cli: could not read the values of HKLM\\" + kAcpi1 +
                     " (status 1018), so not every port could be checked.\n",
                 true, 0, 1018},
        MiceCase{"prefix_refused_now", {"disable", "COM1", "--now"}, NoChange, {}, 5,
                 "could not read the values of HKLM\\" + kAcpi1 + " (status 5): access denied, run as administrator, "
                 "so a serial mouse's port may not be told.\n",
                 true, 1, 5},
        MiceCase{"modem_under_serenum", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     DeviceInfo modem = Mouse(kMouse, true);
                     modem.classGuid = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
                     modem.compatibleIds.clear();
                     ReplaceMouse(d, modem);
                 },
                 {}, 0, "PORT  PRESENT  HARDWARE ID  DEVICE  PORT KEY\n", true, 0},
        MiceCase{"id_unreadable", {"disable", "--all", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Add(Mouse("", true, "")); }, {}, 5,
                 "serial mouse instance ID unreadable (port cannot be told) not removed (status 0xE0000205: no "
                 "device instance ID)\n",
                 false, 2},
        MiceCase{"list_refused", {"mice"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.FailList(DevStatus::Win32(5)); }, {}, 2,
                 "could not list the serial mice (status 5)", true, 0},
        MiceCase{"list_refused_json", {"mice", "--json"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.FailList(DevStatus::Win32(5)); }, {}, 2,
                 "{\n  \"mice\": [],\n  \"refused\": [],\n  \"miceRefused\": {\"status\": 5, \"reason\": \"could "
                 "not list the serial mice (status 5)\"}\n}\n",
                 true, 0},
        MiceCase{"check_present", {"check", "--mice", "COM1"},
                 NoChange, {}, 1,
                 "a serial mouse is present on COM1 (" + kMouse + "); 'portquell-cli disable COM1 --now'", true, 0},
        MiceCase{"check_not_present", {"check", "--mice", "COM1", "--json"},
                 [](MemoryDevices& d, MemoryRegistry& r) {
                     ReplaceMouse(d, Mouse(kMouse, false));
                     testing::SetValueAt(r, kAcpi1, "SkipEnumerations", regtype::kDword, kOff);
                 },
                 {}, 0, "\"mice\": [],\n  \"compliant\": true\n}\n", true, 0},
        MiceCase{"check_other_port", {"check", "--mice", "COM5"},
                 [](MemoryDevices&, MemoryRegistry& r) { testing::SetValueAt(r, kFtdi, "SkipEnumerations", regtype::kDword, kOff); },
                 {}, 0, "off on every port checked", true, 0},
        MiceCase{"check_port_unknown", {"check", "--mice", "COM5"},
                 [](MemoryDevices& d, MemoryRegistry& r) {
                     testing::SetValueAt(r, kFtdi, "SkipEnumerations", regtype::kDword, kOff);
                     d.Add(Mouse(kUntoldMouse, true, kFtdiId));
                 },
                 {}, 1, "present on a port that cannot be told", true, 0},
        MiceCase{"check_list_refused", {"check", "--mice", "--all"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.FailList(DevStatus::Win32(0xE0000217u)); }, {}, 3,
                 "could not list the serial mice (status 0xE0000217)", true, 0},
        MiceCase{"check_list_refused_json", {"check", "--mice", "COM1", "--json"},
                 [](MemoryDevices& d, MemoryRegistry& r) {
                     testing::SetValueAt(r, kAcpi1, "SkipEnumerations", regtype::kDword, kOff);
                     d.FailList(DevStatus::Win32(5));
                 },
                 {}, 2,
                 "\"mice\": [],\n  \"miceRefused\": {\"status\": 5, \"reason\": \"could not list the serial mice "
                 "(status 5)\"},\n  \"compliant\": false\n}\n",
                 true, 0},
        MiceCase{"now_in_force", {"disable", "COM1", "--now"}, NoChange, {}, 0,
                 "COM1: in force now: port restarted; serial mouse " + kMouse + " removed\n", false, 1},
        MiceCase{"now_two_mice", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Add(Mouse(kSecondMouse, false)); }, {}, 0,
                 "removed; serial mouse " + kSecondMouse + " removed\n", false, 1},
        // A port's mice are its own by key: another port with the same
        // name keeps its mouse.
        MiceCase{"now_by_key_not_name", {"disable", "ACPI\\PNP0501\\1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry& r) {
                     AddPortAt(r, kFtdi, "COM1");
                     d.HideParents(false);
                     d.Add(Mouse("SERENUM\\PNP0F0C\\7&77&0&0000", true, kFtdiId));
                 },
                 {}, 0, "COM1: in force now: port restarted; serial mouse " + kMouse + " removed\n", false, 1},
        MiceCase{"now_restart_refused", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     d.FailRestart(kCom1Id, DevStatus::Win32(devstatus::kNoStatus));
                 },
                 {}, 5,
                 "COM1: in force at the next restart: Windows did not restart the port (no status); serial mouse " +
                     kMouse + " removed when Windows restarts (status 3010)\n",
                 true, 0},
        MiceCase{"now_from_a_32_bit_build", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     d.FailRestart(kCom1Id, DevStatus::Win32(devstatus::kInWow64));
                 },
                 {}, 5,
                 "Windows did not restart the port (status 0xE0000235: a 32-bit program cannot change devices on "
                 "64-bit Windows)",
                 true, 0},
        MiceCase{"now_restart_refused_phantom", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     ReplaceMouse(d, Mouse(kMouse, false));
                     d.FailRestart(kCom1Id, DevStatus::Win32(devstatus::kNoStatus));
                 },
                 {}, 5,
                 "Windows did not restart the port (no status); serial mouse " + kMouse +
                     " removed (a scan for hardware changes may find it again until then)\n",
                 false, 0},
        MiceCase{"now_removal_refused", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.FailRemove(kMouse, DevStatus::Win32(5)); }, {}, 5,
                 "in force at the next restart: port restarted; serial mouse " + kMouse + " not removed (status 5)\n",
                 true, 1},
        MiceCase{"now_removal_at_restart", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.FailRemove(kMouse, DevStatus::Win32(3010)); }, {}, 5,
                 "in force at the next restart: port restarted; serial mouse " + kMouse +
                     " removed when Windows restarts (status 3010)\n",
                 true, 1},
        MiceCase{"now_vanished", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     d.FailRemove(kMouse, DevStatus::Win32(devstatus::kNoSuchDevinst));
                 },
                 {}, 0, "in force now: port restarted; serial mouse " + kMouse + " gone already\n", true, 1},
        MiceCase{"now_vanished_configret", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     d.FailRemove(kMouse, DevStatus::ConfigRet(devstatus::kCrNoSuchDevinst));
                 },
                 {}, 0, "in force now: port restarted; serial mouse " + kMouse + " gone already\n", true, 1},
        MiceCase{"now_list_refused", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.FailList(DevStatus::Win32(5)); }, {}, 5,
                 "COM1: in force at the next restart: port restarted; not every serial mouse could be listed and "
                 "told to its port\n",
                 true, 1},
        // No serial enumerator on COM5's stack: not restarted, in force now.
        MiceCase{"now_without_enumerator", {"disable", "COM5", "--now"},
                 [](MemoryDevices&, MemoryRegistry& r) {
                     testing::SetTextAt(r, kFtdi, "ClassGUID", "{4D36E96D-E325-11CE-BFC1-08002BE10318}");
                 },
                 {}, 0, "COM5: in force now: no serial enumerator on this port: no mouse can be detected here\n", true,
                 0},
        MiceCase{"now_untold_named", {"disable", "COM1", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Add(Mouse(kUntoldMouse, true, kFtdiId)); }, {}, 5,
                 "serial mouse " + kUntoldMouse +
                     " is present on a port that cannot be told: not removed ('portquell-cli disable --all --now' "
                     "removes it)\n",
                 false, 1},
        MiceCase{"now_untold_all", {"disable", "--all", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Add(Mouse(kUntoldMouse, true, kFtdiId)); }, {}, 0,
                 "COM5: in force now: port restarted\nserial mouse " + kUntoldMouse + " (port cannot be told) removed\n",
                 false, 2},
        // An unplugged adapter cannot be restarted: in force when it is
        // next connected. A port off already without a mouse needs none.
        MiceCase{"now_not_connected", {"disable", "COM5", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Edit(kFtdiId)->present = false; }, {}, 0,
                 "COM5: in force when it is next connected: not connected now, so not restarted\n", true, 0},
        MiceCase{"now_off_already", {"disable", "COM5", "--now"},
                 [](MemoryDevices&, MemoryRegistry& r) { SwitchOff(r, kFtdi); }, {}, 0,
                 "COM5: in force now: off already; no serial mouse: nothing to restart\n", true, 0},
        MiceCase{"now_off_already_with_mouse", {"disable", "COM1", "--now"},
                 [](MemoryDevices&, MemoryRegistry& r) { SwitchOff(r, kAcpi1); }, {}, 0,
                 "COM1: in force now: port restarted; serial mouse " + kMouse + " removed\n", false, 1},
        // A port whose device instance is gone: the status in words.
        MiceCase{"now_device_gone", {"disable", "COM5", "--now"},
                 [](MemoryDevices& d, MemoryRegistry&) {
                     DeviceInfo* port = d.Edit(kFtdiId);
                     port->instanceId = "FTDIBUS\\OTHER\\0000";
                 },
                 {}, 5, "COM5: in force at the next restart: Windows did not restart the port (status 0xE000020B: no such device)\n",
                 true, 0},
        MiceCase{"now_write_refused", {"disable", "COM1", "--now"}, NoChange, testing::Faults{0, 0, 0, 5}, 2,
                 "could not write SkipEnumerations for COM1 (status 5)", true, 0},
        MiceCase{"without_now", {"disable", "COM1"}, NoChange, {}, 0, "restart the", true, 0},
        // The preview: the write, the restart and the removal it would make.
        MiceCase{"now_dry_run", {"disable", "COM1", "--now", "--dry-run"}, NoChange, {}, 0,
                 "SkipEnumerations = REG_DWORD -1\nCOM1: would restart the port; would remove serial mouse " + kMouse + "\n",
                 true, 0},
        MiceCase{"now_dry_run_not_connected", {"disable", "COM5", "--now", "--dry-run"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.Edit(kFtdiId)->present = false; }, {}, 0,
                 "COM5: not restarted: not connected now; in force when it is next connected\n", true, 0},
        MiceCase{"now_dry_run_list_refused", {"disable", "COM1", "--now", "--dry-run"},
                 [](MemoryDevices& d, MemoryRegistry&) { d.FailList(DevStatus::Win32(5)); }, {}, 2,
                 "the serial mice it would remove are not known", true, 0}),
    [](const auto& info) { return std::string(info.param.label); });

// The machine-wide guard over the states other tools leave in the policy
// key. For each: guard on puts it in force (or refuses, changing
// nothing), guard off then leaves the registry exactly as it was, and a
// refusal of any single write midway through either leaves it as it was
// before that command.
const std::string kPolicy = "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions";

void SetAt(MemoryRegistry& reg, const std::string& key, const std::string& name, std::uint32_t type,
           const std::string& bytes) {
    RegHandle handle = 0;
    ASSERT_EQ(0, reg.CreateKeyEx(regroot::kLocalMachine, key, 0, regaccess::kAllAccess, false, &handle, nullptr));
    ASSERT_EQ(0, reg.SetValueEx(handle, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                static_cast<std::uint32_t>(bytes.size())));
    ASSERT_EQ(0, reg.CloseKey(handle));
}
void Entry(MemoryRegistry& reg, const std::string& name, const std::string& id) {
    SetAt(reg, kPolicy + "\\DenyDeviceIDs", name, regtype::kSz, id + '\0');
}
void Switch(MemoryRegistry& reg, std::uint8_t on) {
    SetAt(reg, kPolicy, "DenyDeviceIDs", regtype::kDword, std::string{static_cast<char>(on), 0, 0, 0});
}

struct GuardCase {
    const char* label;
    std::function<void(MemoryRegistry&)> arrange;
    int on;              // guard on's exit status
    std::string added;   // the list value guard on adds ("" none)
    int off;             // guard off's exit status after it
    // What someone else does between on and off, and what off leaves then
    // beside the original.
    std::function<void(MemoryRegistry&)> between = {};
    std::function<void(MemoryRegistry&)> left = {};
};

class CliGuard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(CliGuard, OnPutsItInForceOffUndoesExactlyThatAndRefusalsChangeNothing) {
    const GuardCase& c = GetParam();
    const auto arrange = [&c](MemoryRegistry& r) {
        SetAt(r, "SOFTWARE", "", regtype::kSz, std::string(1, '\0'));
        // Windows' own keys above DeviceInstall.
        SetAt(r, "SOFTWARE\\Policies\\Microsoft\\Windows", "", regtype::kSz, std::string(1, '\0'));
        c.arrange(r);
    };
    MemoryRegistry reg;
    arrange(reg);
    const std::string original = DumpMachine(reg);
    MemoryDevices devices;
    const auto run = [&](RegistryApi& r, std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        return Result{RunCli(args, r, devices, out, err), out.str(), err.str()};
    };
    testing::FaultyRegistry counted(reg);
    const Result on = run(counted, {"guard", "on"});
    ASSERT_EQ(c.on, on.code) << on.out << on.err;
    const std::string afterOn = DumpMachine(reg);
    if (c.on != cliexit::kDone) {
        EXPECT_EQ(original, afterOn) << on.err;
        EXPECT_NE(std::string::npos, (on.out + on.err).find("nothing was changed")) << on.out << on.err;
        if (c.on == 1) {  // the entries it would switch on, for scripts too
            const std::string json = run(reg, {"guard", "on", "--json"}).out;
            EXPECT_NE(std::string::npos, json.find("\"othersOff\", \"policyChanged\": false,\n  \"otherEntries\": [{\"value\": ")) << json;
        }
        return;
    }
    EXPECT_NE(std::string::npos, on.out.find("\nserial mouse guard: in force: ")) << on.out;
    // In force by another's entry: no record of a run it never made.
    EXPECT_TRUE(!c.added.empty() || original == afterOn) << afterOn;
    EXPECT_EQ(0, run(reg, {"guard"}).code) << "in force after guard on";
    const Result checked = run(reg, {"check", "--guard"});
    EXPECT_EQ(0, checked.code);
    EXPECT_EQ(std::string::npos, checked.err.find("guard")) << checked.err;
    if (!c.added.empty()) {
        EXPECT_EQ(std::vector<std::uint8_t>({'S', 'E', 'R', 'I', 'A', 'L', '_', 'M', 'O', 'U', 'S', 'E', 0}),
                  testing::RawValueAt(reg, kPolicy + "\\DenyDeviceIDs", c.added));
    }
    EXPECT_EQ(0, run(reg, {"guard", "on"}).code);
    EXPECT_EQ(afterOn, DumpMachine(reg)) << "a second guard on changes nothing";
    if (c.between) c.between(reg);
    testing::FaultyRegistry countedOff(reg);
    const Result off = run(countedOff, {"guard", "off"});
    EXPECT_EQ(c.off, off.code) << off.out << off.err;
    MemoryRegistry left;
    arrange(left);
    if (c.left) c.left(left);
    EXPECT_EQ(c.left || c.off == 0 ? DumpMachine(left) : afterOn, DumpMachine(reg));
    // Each write of on (from the original) and of off (from after on)
    // refused in turn: the registry as it was before that command.
    for (const bool turningOn : {true, false}) {
        const testing::FaultyRegistry& clean = turningOn ? counted : countedOff;
        for (const testing::RegCall call : {testing::RegCall::CreateKeyEx, testing::RegCall::SetValueEx,
                                            testing::RegCall::DeleteValue, testing::RegCall::DeleteKey}) {
            for (int nth = 1; nth <= static_cast<int>(clean.CountOf(call)); ++nth) {
                MemoryRegistry fresh;
                arrange(fresh);
                if (!turningOn) {
                    ASSERT_EQ(0, run(fresh, {"guard", "on"}).code);
                    if (c.between) c.between(fresh);
                }
                const std::string before = DumpMachine(fresh);
                testing::FaultyRegistry faulty(fresh);
                faulty.Fail(call, regstatus::kAccessDenied, nth);
                const Result refused = run(faulty, {"guard", turningOn ? "on" : "off"});
                const std::string story = std::string(turningOn ? "on" : "off") + " #" + std::to_string(nth) + " " +
                                          std::to_string(static_cast<int>(call)) + ": " + refused.err;
                const bool hit = faulty.CountOf(call) >= static_cast<std::size_t>(nth);
                if (!hit) continue;
                // (in content: a value written back comes last in its key)
                EXPECT_EQ(testing::SortedLines(before), testing::SortedLines(DumpMachine(fresh))) << story;
                EXPECT_EQ(cliexit::kAccessDenied, refused.code) << story;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Guard, CliGuard,
    ::testing::Values(
        GuardCase{"no_policy_yet", [](MemoryRegistry&) {}, 0, "1", 0},
        GuardCase{"switch_without_a_list", [](MemoryRegistry& r) { Switch(r, 0); }, 0, "1", 0},
        // Windows' policy key exists, with a value of another policy's:
        // the keys below it come and go, it stays.
        GuardCase{"policy_key_of_others",
                  [](MemoryRegistry& r) {
                      SetAt(r, "SOFTWARE\\Policies\\Microsoft\\Windows", "Other", regtype::kDword, std::string(4, '\0'));
                  },
                  0, "1", 0},
        GuardCase{"others_entries_with_a_gap",
                  [](MemoryRegistry& r) {
                      Entry(r, "1", "PCI\\VEN_8086");
                      Entry(r, "2", "USB\\VID_1234");
                      Entry(r, "4", "ACPI\\PNP0303");
                      Switch(r, 1);
                      SetAt(r, kPolicy, "DenyDeviceIDsRetroactive", regtype::kDword, std::string(4, '\1'));
                  },
                  0, "3", 0},
        GuardCase{"names_that_are_no_numbers_and_other_types",
                  [](MemoryRegistry& r) {
                      Entry(r, "abc", "SERIAL_MOUSE_NOT");
                      SetAt(r, kPolicy + "\\DenyDeviceIDs", "1", regtype::kExpandSz, std::string("SERIAL_MOUSE") + '\0');
                      Switch(r, 1);
                  },
                  0, "2", 0},
        GuardCase{"a_long_list",
                  [](MemoryRegistry& r) {
                      for (int n = 1; n <= 300; ++n) Entry(r, std::to_string(n), "ID" + std::to_string(n));
                      Switch(r, 1);
                  },
                  0, "301", 0},
        // The list key's default value is no entry: the list is switched on.
        GuardCase{"list_with_a_default_value",
                  [](MemoryRegistry& r) { SetAt(r, kPolicy + "\\DenyDeviceIDs", "", regtype::kSz, "x" + std::string(1, '\0')); },
                  0, "1", 0},
        // Another administrator's list, left off (even with SERIAL_MOUSE in
        // it, in another case): switching it on is theirs to do.
        GuardCase{"others_list_left_off",
                  [](MemoryRegistry& r) {
                      Entry(r, "1", "USB\\VID_046D&PID_C52B");
                      Switch(r, 0);
                  },
                  1, "", 0},
        GuardCase{"entry_in_another_case_left_off",
                  [](MemoryRegistry& r) {
                      Entry(r, "7", "serial_mouse");
                      Switch(r, 0);
                  },
                  1, "", 0},
        // Someone lists an ID after guard on: off leaves the switch on for it.
        GuardCase{"others_entry_added_since", [](MemoryRegistry&) {}, 0, "1", 1,
                  [](MemoryRegistry& r) { Entry(r, "2", "USB\\VID_1234&PID_5678"); },
                  [](MemoryRegistry& r) { Entry(r, "2", "USB\\VID_1234&PID_5678"); Switch(r, 1); }},
        GuardCase{"second_serial_mouse_entry_since", [](MemoryRegistry&) {}, 0, "1", 1,
                  [](MemoryRegistry& r) { Entry(r, "2", "SERIAL_MOUSE"); },
                  [](MemoryRegistry& r) { Entry(r, "2", "SERIAL_MOUSE"); Switch(r, 1); }},
        // The switch changed by someone since: theirs, and left as it is.
        GuardCase{"switch_turned_off_since", [](MemoryRegistry&) {}, 0, "1", 0,
                  [](MemoryRegistry& r) { Switch(r, 0); }, [](MemoryRegistry& r) { Switch(r, 0); }},
        GuardCase{"switch_set_to_2_since", [](MemoryRegistry&) {}, 0, "1", 0,
                  [](MemoryRegistry& r) { Switch(r, 2); }, [](MemoryRegistry& r) { Switch(r, 2); }},
        // Something else under the record's keys stays, and the policy is
        // undone anyway.
        GuardCase{"key_under_the_record", [](MemoryRegistry&) {}, 0, "1", 0,
                  [](MemoryRegistry& r) { SetAt(r, "SOFTWARE\\Portquell\\Guard\\Notes", "", regtype::kSz, "n" + std::string(1, '\0')); },
                  [](MemoryRegistry& r) { SetAt(r, "SOFTWARE\\Portquell\\Guard\\Notes", "", regtype::kSz, "n" + std::string(1, '\0')); }},
        GuardCase{"value_beside_the_record", [](MemoryRegistry&) {}, 0, "1", 0,
                  [](MemoryRegistry& r) { SetAt(r, "SOFTWARE\\Portquell", "Other", regtype::kSz, "o" + std::string(1, '\0')); },
                  [](MemoryRegistry& r) { SetAt(r, "SOFTWARE\\Portquell", "Other", regtype::kSz, "o" + std::string(1, '\0')); }},
        // Another administrator's entry in another case, in force: not
        // added again, and it stays in force after off.
        GuardCase{"entry_in_another_case",
                  [](MemoryRegistry& r) {
                      Entry(r, "7", "serial_mouse");
                      Switch(r, 1);
                  },
                  0, "", 1},
        // In force by another's hand: guard off has nothing of its own to
        // undo and says the guard stays (exit 1).
        GuardCase{"in_force_already", [](MemoryRegistry& r) { Entry(r, "1", "SERIAL_MOUSE"); Switch(r, 1); }, 0, "", 1},
        GuardCase{"switch_of_another_type",
                  [](MemoryRegistry& r) { SetAt(r, kPolicy, "DenyDeviceIDs", regtype::kSz, std::string("1") + '\0'); },
                  3, "", 0},
        GuardCase{"switch_of_four_bytes_not_a_dword",
                  [](MemoryRegistry& r) { SetAt(r, kPolicy, "DenyDeviceIDs", regtype::kBinary, std::string{1, 0, 0, 0}); },
                  3, "", 0}),
    [](const auto& info) { return std::string(info.param.label); });

// A refusal is never taken for the guard holding: a refused guard on
// removes no mouse, even where another's entry keeps the policy in force,
// and the report names a port key it could not read.
TEST(CliGuardRefusals, RemoveNoMouseAndNameTheKey) {
    for (const bool on : {true, false}) {
        MemoryRegistry reg;
        MemoryDevices devices;
        MiceMachine(reg, devices);
        Entry(reg, "1", "SERIAL_MOUSE");
        Switch(reg, 1);
        testing::FaultyRegistry faulty(reg);
        faulty.FailWhen(OnKey(faulty, testing::RegCall::OpenKeyEx, on ? "Portquell" : "A1B2C3D4A"), 5);
        std::ostringstream out, err;
        EXPECT_EQ(2, RunCli(on ? std::vector<std::string>{"guard", "on"} : std::vector<std::string>{"guard"}, faulty,
                            devices, out, err)) << err.str();
        EXPECT_TRUE(Installed(devices, kMouse)) << on;
        EXPECT_NE(std::string::npos, err.str().find(on ? "HKLM\\SOFTWARE\\Portquell" : "HKLM\\" + kFtdi.substr(0, kFtdi.rfind('\\')) + " (status 5)"))
            << err.str();
    }
}

// What guard says, for people and scripts.
// Windows' own keys above DeviceInstall: guard on creates them where a
// registry lacks them, and nothing removes them.
const std::string kWindowsKeys =
    "HKLM\\SOFTWARE\\Policies\nHKLM\\SOFTWARE\\Policies\\Microsoft\nHKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\n";

TEST(CliGuardState, SaysWhyAndWhatElseGuards) {
    MemoryRegistry reg;
    MemoryDevices devices;
    Entry(reg, "1", "PCI\\VEN_8086");
    Switch(reg, 1);
    SetAt(reg, "SYSTEM\\CurrentControlSet\\Services\\sermouse", "Start", regtype::kDword, std::string{4, 0, 0, 0});
    // A serial mouse left from before whose port cannot be told, and one
    // installed by hand on no serial port.
    devices.Add(Mouse(kUntoldMouse, false, ""));
    devices.Add(Mouse("ROOT\\MOUSE\\0000", true, ""));
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(1, RunCli({"guard"}, reg, devices, out, err));
    EXPECT_EQ("serial mouse guard: not in force: no value of the DenyDeviceIDs list names SERIAL_MOUSE; 1 serial "
              "mouse installed, which keep their driver whatever the policy says ('portquell-cli guard on' removes "
              "them)\n"
              "  policy key:    HKLM\\" + kPolicy + "\n"
              "  switch:        DenyDeviceIDs 1\n"
              "  entry:         none\n"
              "  retroactive:   not set (portquell-cli never sets it)\n"
              "  other entries: 1\n"
              "  keeps driver:  serial mouse " + kUntoldMouse + " (port cannot be told, not present)\n"
              "note: a Group Policy or Intune policy that configures \"Prevent installation of devices that match "
              "any of these device IDs\" replaces this list at its next refresh; 'portquell-cli check --guard' shows "
              "whether the guard is still in force\n"
              "note: the serial mouse driver (sermouse) has start type 4 (disabled): serial mice get no driver "
              "whatever this policy says\n",
              out.str());
    std::ostringstream json;
    EXPECT_EQ(0, RunCli({"guard", "on", "--json"}, reg, devices, json, err));
    EXPECT_EQ("{\n  \"guard\": {\"inForce\": true, \"reason\": \"value 2 of the DenyDeviceIDs list names SERIAL_MOUSE "
              "and the switch is on\", \"switch\": 1, \"entry\": \"2\", \"retroactive\": null, \"otherEntries\": 1, "
              "\"setByPortquell\": true, \"recordComplete\": true, \"serialMouseStart\": 4, \"miceWithDriver\": []},\n"
              "  \"refused\": [],\n  \"outcome\": \"done\", \"policyChanged\": true,\n  \"miceRemoved\": [{\"device\": \"SERENUM\\\\PNP0F0C\\\\"
              "9&9&0&0000\", \"gone\": true, \"status\": 0}]\n}\n",
              json.str());
    EXPECT_TRUE(Installed(devices, "ROOT\\MOUSE\\0000"));
    // A mouse whose removal waits for the restart: set, but not whole (5);
    // guard off reinstalls and removes nothing.
    MemoryRegistry later;
    MemoryDevices stuck;
    stuck.Add(Mouse(kUntoldMouse, false, ""));
    stuck.FailRemove(kUntoldMouse, DevStatus::Win32(devstatus::kRebootRequired));
    EXPECT_EQ(5, RunCli({"guard", "on"}, later, stuck, out, err));
    MemoryDevices phantom;
    phantom.Add(Mouse(kUntoldMouse, false, ""));
    EXPECT_EQ(0, RunCli({"guard", "off"}, later, phantom, out, err));
    EXPECT_TRUE(Installed(phantom, kUntoldMouse));
    // A key whose emptiness or record cannot be read is not removed: guard
    // off changes nothing.
    for (const testing::RegCall call :
         {testing::RegCall::OpenKeyEx, testing::RegCall::EnumValue, testing::RegCall::QueryValueEx}) {
        const std::string before = DumpMachine(reg);
        testing::FaultyRegistry blind(reg);
        blind.FailWhen([&blind, call](const testing::RegCallRecord& r) {
            const std::string key = call == testing::RegCall::OpenKeyEx ? r.name : blind.PathOf(r.key);
            return r.call == call && key.rfind("SOFTWARE\\Portquell", 0) == 0;
        }, 5);
        std::ostringstream said;
        EXPECT_EQ(2, RunCli({"guard", "off", "--json"}, blind, devices, said, said));
        EXPECT_NE(std::string::npos, said.str().find("\"outcome\": \"refused\"")) << said.str();
        EXPECT_EQ(before, DumpMachine(reg));
    }
    // The list key gone since (a policy refresh): the keys guard on
    // created above it still go.
    {
        MemoryRegistry wiped;
        SetAt(wiped, "SOFTWARE", "", regtype::kSz, std::string(1, '\0'));
        const std::string pristine = DumpMachine(wiped);
        std::ostringstream ignored;
        ASSERT_EQ(0, RunCli({"guard", "on"}, wiped, devices, ignored, ignored));
        ASSERT_EQ(0, wiped.DeleteTree(regroot::kLocalMachine, kPolicy + "\\DenyDeviceIDs"));
        EXPECT_EQ(0, RunCli({"guard", "off"}, wiped, devices, ignored, ignored));
        EXPECT_EQ(pristine + kWindowsKeys, DumpMachine(wiped));
        // The entry it added, given another ID by someone since, stays.
        ASSERT_EQ(0, RunCli({"guard", "on"}, wiped, devices, ignored, ignored));
        Entry(wiped, "1", "PCI\\VEN_8086");
        EXPECT_EQ(0, RunCli({"guard", "off"}, wiped, devices, ignored, ignored));
        EXPECT_NE(std::string::npos, DumpMachine(wiped).find("DenyDeviceIDs [1] type 1: 80 67 73 92 "))  // "PCI\\"
            << DumpMachine(wiped);
    }
    // guard on cut off once the switch is written (every call after it
    // refused, undoings too, as when the process ends): the record says
    // what it set out to do, and guard off undoes it.
    MemoryRegistry partial;
    SetAt(partial, "SOFTWARE", "", regtype::kSz, std::string(1, '\0'));
    const std::string untouched = DumpMachine(partial);
    testing::FaultyRegistry dying(partial);
    bool dead = false;
    dying.FailWhen([&dead](const testing::RegCallRecord& r) {
        const bool was = dead;
        dead = dead || (r.call == testing::RegCall::SetValueEx && r.name == "DenyDeviceIDs");
        return was;
    }, 5);
    std::ostringstream cut;
    EXPECT_EQ(2, RunCli({"guard", "on", "--json"}, dying, devices, cut, err));
    EXPECT_NE(std::string::npos, cut.str().find("\"outcome\": \"refusedInPart\", \"policyChanged\": true,\n  \"left\": [{\"key\": ")) << cut.str();
    std::ostringstream state;
    (void)RunCli({"guard"}, partial, devices, state, err);
    EXPECT_NE(std::string::npos, state.str().find("; incomplete: a 'guard on' did not finish")) << state.str();
    EXPECT_EQ(0, RunCli({"guard", "off"}, partial, devices, out, err));
    EXPECT_EQ(untouched + kWindowsKeys, DumpMachine(partial));
    // A record whose created key was edited to end inside a key's name
    // removes no key.
    ASSERT_EQ(0, RunCli({"guard", "on"}, partial, devices, out, err));
    SetAt(partial, "SOFTWARE\\Portquell\\Guard", "CreatedKey", regtype::kSz, "SOFTWARE\\Pol" + std::string(1, '\0'));
    EXPECT_EQ(0, RunCli({"guard", "off"}, partial, devices, out, err));
    EXPECT_NE(std::string::npos, DumpMachine(partial).find("\\Restrictions\\DenyDeviceIDs\n"));
    std::ostringstream check;
    testing::FaultyRegistry faulty(reg);
    faulty.FailWhen(OnKey(faulty, testing::RegCall::OpenKeyEx, "DeviceInstall\\Restrictions\\DenyDeviceIDs"), 5);
    EXPECT_EQ(2, RunCli({"check", "--guard", "--json"}, faulty, devices, check, err));
    EXPECT_EQ(2, RunCli({"guard"}, faulty, devices, out, err));
    EXPECT_NE(std::string::npos, check.str().find("\"inForce\": false")) << check.str();
    EXPECT_NE(std::string::npos, check.str().find("\"compliant\": false")) << check.str();
    // A listing of the deny list that breaks off after its first value.
    testing::FaultyRegistry broken(reg);
    const auto onList = OnKey(broken, testing::RegCall::EnumValue, "Restrictions\\DenyDeviceIDs");
    broken.FailWhen([onList](const testing::RegCallRecord& r) { return onList(r) && r.index == 1; }, 234);
    EXPECT_EQ(3, RunCli({"check", "--guard"}, broken, devices, check, err));
}

// Over generated machines (two ports; up to three serial mice, present or
// left from before, each under COM1, COM5 or no port, its ID beginning
// with its port's prefix or an unknown one; prefixes unique, shared or of
// another type; parents named or not; a mouse installed by hand on no
// port; ports with or without the serial enumerator; another
// administrator's deny list) and one failed call anywhere: when
// disable --now exits 0, check --mice then passes and no present serial
// mouse hangs under a port asked about; no port is ever restarted unless
// it holds detection off and may have the enumerator; and no command
// (disable --now, guard on, guard off) changes a value or device that is
// not its own or named by it.
// guard on or off ended (the process killed) after any write: the same
// command again finishes what the record says, and ends with the registry
// an uninterrupted run leaves; a record edited to name another key, or a
// key someone left under it, is not taken for Portquell's.
TEST(CliGuardRecord, ARunEndedAfterAnyWriteIsFinishedByTheNext) {
    struct Killed {};
    const auto run = [](RegistryApi& reg, const std::string& word) {
        MemoryDevices none;
        std::ostringstream said;
        return RunCli({"guard", word}, reg, none, said, said);
    };
    for (const bool others : {false, true}) {
        MemoryRegistry pristine;
        SetAt(pristine, "SOFTWARE\\Policies", "Other", regtype::kSz, std::string("x") + '\0');
        if (others) Entry(pristine, "3", "USB\\VID_1234");
        ASSERT_EQ(others ? 1 : 0, run(pristine, "on"));
        const std::string on = DumpMachine(pristine);
        ASSERT_EQ(0, run(pristine, "off"));
        // (Windows' own keys above DeviceInstall, created where a registry
        // lacks them, stay.)
        const std::string off = DumpMachine(pristine);
        for (const std::string word : {"on", "off"}) {
            for (int k = 1;; ++k) {
                MemoryRegistry reg;
                SetAt(reg, "SOFTWARE\\Policies", "Other", regtype::kSz, std::string("x") + '\0');
                if (others) Entry(reg, "3", "USB\\VID_1234");
                if (word == "off") (void)run(reg, "on");
                testing::FaultyRegistry killer(reg);
                int writes = 0;
                killer.BeforeEachCall([&](const testing::RegCallRecord& r) {
                    const bool write = r.call == testing::RegCall::SetValueEx || r.call == testing::RegCall::CreateKeyEx ||
                                       r.call == testing::RegCall::DeleteValue || r.call == testing::RegCall::DeleteKey;
                    if (write && ++writes == k) throw Killed{};
                });
                bool killed = false;
                try {
                    (void)run(killer, word);
                } catch (const Killed&) {
                    killed = true;
                }
                if (!killed) break;
                (void)run(reg, word);
                EXPECT_EQ(word == "on" ? on : off, DumpMachine(reg)) << word << " ended at write " << k;
            }
        }
    }
    // An edited record: guard off leaves a key that is not the guard's.
    MemoryRegistry reg;
    MemoryDevices none;
    std::ostringstream said;
    for (const std::string edited : {"SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstallation", "SOFTWARE\\Policies"}) {
        ASSERT_EQ(0, RunCli({"guard", "on"}, reg, none, said, said));
        SetAt(reg, "SOFTWARE\\Portquell\\Guard", "CreatedKey", regtype::kSz, edited + '\0');
        std::ostringstream off;
        EXPECT_EQ(0, RunCli({"guard", "off"}, reg, none, off, said));
        EXPECT_NE(std::string::npos, off.str().find("note: the record names HKLM\\" + edited + " as created, which is no key "
                                                    "of the guard's, so it was left")) << off.str();
    }
    EXPECT_NE(std::string::npos, DumpMachine(reg).find("HKLM\\SOFTWARE\\Policies\n"));
    // A key under the record with no record value: not Portquell's setting.
    SetAt(reg, "SOFTWARE\\Portquell\\Guard\\Other", "x", regtype::kSz, std::string("y") + '\0');
    std::ostringstream json;
    (void)RunCli({"guard", "--json"}, reg, none, json, said);
    EXPECT_NE(std::string::npos, json.str().find("\"setByPortquell\": false, \"recordComplete\": null")) << json.str();
    // A Group Policy's list in force already: the policy unchanged, the
    // mice installed before it removed, and both said.
    MemoryRegistry managed;
    Entry(managed, "1", "SERIAL_MOUSE");
    Switch(managed, 1);
    MemoryDevices mice;
    mice.Add(Mouse(kUntoldMouse, false, ""));
    std::ostringstream text;
    EXPECT_EQ(0, RunCli({"guard", "on"}, managed, mice, text, said));
    EXPECT_EQ(0u, text.str().find("serial mouse guard policy unchanged: value 1 of the DenyDeviceIDs list already names "
                                  "SERIAL_MOUSE and the switch is on; the serial mice installed before it are removed:\n"
                                  "serial mouse " + kUntoldMouse + " (installed before the guard) removed\n")) << text.str();
    mice.Add(Mouse(kUntoldMouse, false, ""));
    std::ostringstream document;
    EXPECT_EQ(0, RunCli({"guard", "on", "--json"}, managed, mice, document, said));
    EXPECT_NE(std::string::npos, document.str().find("\"outcome\": \"unchanged\", \"policyChanged\": false,\n  \"miceRemoved\": [{"))
        << document.str();
    // The preview of guard on and off: every write and removal, in order,
    // and nothing changed.
    MemoryRegistry bare;
    MemoryDevices one;
    one.Add(Mouse(kUntoldMouse, false, ""));
    std::ostringstream onPlan;
    EXPECT_EQ(0, RunCli({"guard", "on", "--dry-run"}, bare, one, onPlan, said));
    EXPECT_EQ(0u, onPlan.str().find("would create HKLM\\SOFTWARE\\Portquell\n")) << onPlan.str();
    EXPECT_NE(std::string::npos, onPlan.str().find("Restrictions\\DenyDeviceIDs 1 = REG_SZ SERIAL_MOUSE\nwould set HKLM\\" + kPolicy +
                                                   " DenyDeviceIDs = REG_DWORD 1\nwould set HKLM\\SOFTWARE\\Portquell\\Guard "
                                                   "State = REG_SZ complete\nwould remove serial mouse " + kUntoldMouse +
                                                   "\nthen the serial mouse guard would be in force\n")) << onPlan.str();
    EXPECT_EQ("", DumpMachine(bare));
    EXPECT_TRUE(Installed(one, kUntoldMouse));
    std::ostringstream offPlan;
    ASSERT_EQ(0, RunCli({"guard", "on"}, bare, none, said, said));
    EXPECT_EQ(0, RunCli({"guard", "off", "--dry-run", "--json"}, bare, one, offPlan, said));
    EXPECT_TRUE(testing::JsonCheck::Valid(offPlan.str())) << offPlan.str();
    EXPECT_NE(std::string::npos, offPlan.str().find("\"outcome\": \"done\", \"policyWouldChange\": true,\n  \"plan\": {\"writes\": [\n    "
                                                    "{\"action\": \"deleteValue\", \"key\": " + JsonString("HKLM\\" + kPolicy + "\\DenyDeviceIDs") +
                                                    ", \"value\": \"1\"},")) << offPlan.str();
    // guard off while another's SERIAL_MOUSE entry keeps it in force: no
    // device removed, exit 1.
    ASSERT_EQ(0, RunCli({"guard", "on"}, reg, none, said, said));
    Entry(reg, "9", "SERIAL_MOUSE");
    mice.Add(Mouse(kUntoldMouse, true, ""));
    std::ostringstream kept;
    EXPECT_EQ(1, RunCli({"guard", "off", "--json"}, reg, mice, kept, said));
    EXPECT_NE(std::string::npos, kept.str().find("\"miceRemoved\": []")) << kept.str();
    EXPECT_TRUE(Installed(mice, kUntoldMouse));
    // In force, but a serial mouse keeps its driver: not in force, for
    // scripts too; set while the mice cannot be listed: 5.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"guard", "--json"}, {"check", "--guard", "--json"}}) {
        std::ostringstream state;
        EXPECT_EQ(1, RunCli(args, reg, mice, state, said));
        EXPECT_NE(std::string::npos, state.str().find("{\"inForce\": false")) << state.str();
    }
    MemoryRegistry fresh;
    MemoryDevices unlisted;
    unlisted.FailList(DevStatus::Win32(5));
    EXPECT_EQ(5, RunCli({"guard", "on"}, fresh, unlisted, said, said));
    // The list's value wiped, its keys kept, guard on again: the record
    // still names the keys the first created, and guard off removes them.
    RegHandle list = 0;
    ASSERT_EQ(0, fresh.OpenKeyEx(regroot::kLocalMachine, kPolicy + "\\DenyDeviceIDs", 0, regaccess::kAllAccess, &list));
    ASSERT_EQ(0, fresh.DeleteValue(list, "1"));
    ASSERT_EQ(0, fresh.CloseKey(list));
    EXPECT_EQ(0, RunCli({"guard", "on"}, fresh, none, said, said));
    std::ostringstream clean;
    EXPECT_EQ(0, RunCli({"guard", "off"}, fresh, none, clean, said));
    EXPECT_EQ("HKLM\\SOFTWARE\n" + kWindowsKeys, DumpMachine(fresh));
    EXPECT_EQ(std::string::npos, clean.str().find("no key of the guard's")) << clean.str();
    // DeviceInstall wiped after a guard on that created Restrictions only:
    // the next guard on records the shallower key, and guard off removes it.
    SetAt(fresh, "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall", "x", regtype::kSz, std::string(1, '\0'));
    ASSERT_EQ(0, RunCli({"guard", "on"}, fresh, none, said, said));
    ASSERT_EQ(0, fresh.DeleteTree(regroot::kLocalMachine, "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall"));
    ASSERT_EQ(0, RunCli({"guard", "on"}, fresh, none, said, said));
    EXPECT_EQ(0, RunCli({"guard", "off"}, fresh, none, said, said));
    EXPECT_EQ("HKLM\\SOFTWARE\n" + kWindowsKeys, DumpMachine(fresh));
    // disable --all --now ended after any write, then run again: the
    // registry an uninterrupted run leaves (k = 0).
    std::string whole;
    for (int k = 0;; ++k) {
        MemoryRegistry ports;
        MemoryDevices devices;
        AddPortAt(ports, kAcpi1, "COM1");
        AddPortAt(ports, kFtdi, "COM5");
        SwitchOff(ports, kAcpi1);
        testing::SetPrefixAt(ports, kFtdi, "7&77&0");
        devices.Add(PortDevice(kCom1Id));
        devices.Add(PortDevice(kFtdiId));
        devices.Add(Mouse("SERENUM\\PNP0F0C\\7&77&0&0000", true, kFtdiId));
        testing::FaultyRegistry killer(ports);
        int writes = 0;
        killer.BeforeEachCall([&](const testing::RegCallRecord& r) {
            const bool write = r.call == testing::RegCall::SetValueEx || r.call == testing::RegCall::CreateKeyEx;
            if (write && ++writes == k) throw Killed{};
        });
        bool killed = false;
        try {
            (void)RunCli({"disable", "--all", "--now"}, killer, devices, said, said);
        } catch (const Killed&) {
            killed = true;
        }
        if (k == 0) whole = DumpMachine(ports);
        if (k > 0 && !killed) break;
        (void)RunCli({"disable", "--all", "--now"}, ports, devices, said, said);
        EXPECT_EQ(whole, DumpMachine(ports)) << "ended at write " << k;
    }
}

// A machine that has seen many devices: every command walks the device
// tree once (each instance's key opened at most once, one value read for
// one that is no port) and lists each kind of device once.
// identify against a device tree that changes after some looks: the port
// that appears or goes, one whose name comes after its device, nothing
// within the timeout, Ctrl+C; the ports are read again only after the
// listing changed.
TEST(CliIdentify, NamesThePortThatAppearsOrGoesWithinTheTimeout) {
    const std::string usb = "USB\\VID_1A86&PID_7523\\5&1D2E3F&0&1";
    using Change = std::function<void(MemoryRegistry&, MemoryDevices&, int look)>;
    struct Row {
        const char* label;
        Change change;  // before each look
        std::vector<std::string> args;
        int code;
        std::string says;
        int looks, walks;
    };
    const auto plugIn = [&](int deviceAt, int nameAt) -> Change {
        return [=](MemoryRegistry& reg, MemoryDevices& devices, int look) {
            if (look == deviceAt) devices.Add(PortDevice(usb));
            if (look == nameAt) {
                AddPortAt(reg, kEnum + "\\" + usb, "COM9");
                testing::SetTextAt(reg, kEnum + "\\" + usb, "FriendlyName", "USB-SERIAL CH340 (COM9)");
            }
        };
    };
    const std::vector<Row> rows = {
        {"appears", plugIn(3, 3), {"identify"}, 0, "COM9 \"USB-SERIAL CH340\" appeared\nPORT ", 3, 2},
        {"named_after_it_is_listed", plugIn(2, 4), {"identify"}, 0, "COM9 \"USB-SERIAL CH340\" appeared\n", 4, 4},
        {"connected_again", [](MemoryRegistry&, MemoryDevices& d, int look) { d.Edit(kFtdiId)->present = look >= 2; },
         {"identify", "--json"}, 0, "\"port\": \"COM5\"", 2, 2},
        {"goes", [](MemoryRegistry&, MemoryDevices& d, int look) { d.Edit(kCom1Id)->present = look < 4; },
         {"identify"}, 0, "COM1 went\n", 4, 2},
        {"nothing", {}, {"identify", "--timeout", "2"}, 1, "no serial port appeared or went within 2 seconds", 4, 1},
        {"stopped", {}, {"identify", "--timeout", "0"}, 130, "stopped", 1, 1},
    };
    for (const Row& row : rows) {
        MemoryRegistry reg;
        MemoryDevices devices;
        MiceMachine(reg, devices);
        devices.Edit(kFtdiId)->present = false;
        testing::FaultyRegistry counting(reg);
        int walks = 0;
        counting.BeforeEachCall([&](const testing::RegCallRecord& r) {
            walks += r.call == testing::RegCall::OpenKeyEx && r.name == kEnum;
        });
        int looks = 0;
        std::ostringstream out, err;
        std::vector<std::string> args = row.args;
        const bool stop = args.back() == "0";
        if (stop) args.resize(1);
        const int code = RunCli(args, counting, devices, out, err, [&](int ms) {
            EXPECT_EQ(500, ms);
            if (row.change) row.change(reg, devices, ++looks); else ++looks;
            return !stop;
        });
        EXPECT_EQ(row.code, code) << row.label << err.str();
        EXPECT_NE(std::string::npos, (code == 0 ? out : err).str().find(row.says)) << row.label << out.str() << err.str();
        EXPECT_EQ(0u, err.str().find("Plug in or unplug the device now (Ctrl+C to stop)\n")) << row.label;
        EXPECT_EQ(row.looks, looks) << row.label;
        EXPECT_EQ(row.walks, walks) << row.label;
    }
}

TEST(CliCalls, EveryCommandWalksTheTreeOnceAndListsOnce) {
    struct CountingDevices final : DeviceApi {
        explicit CountingDevices(DeviceApi& base) : base(base) {}
        DevStatus ListDevices(const std::string& c, const std::string& e, std::vector<DeviceInfo>& d) override {
            ++listed[c + "|" + e];
            return base.ListDevices(c, e, d);
        }
        DevStatus RemoveDevice(const std::string& id) override { return base.RemoveDevice(id); }
        DevStatus RestartDevice(const std::string& id) override { return base.RestartDevice(id); }
        DevStatus ReadDetails(const std::string& id, DeviceDetails& d) override {
            ++details;
            return base.ReadDetails(id, d);
        }
        DeviceApi& base;
        std::map<std::string, int> listed;
        int details = 0;
    };
    const int instances = 300;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list"}, {"check"}, {"check", "--mice", "--guard"}, {"mice"}, {"guard"}, {"guard", "on"}, {"disable", "--all", "--now"},
             {"disable", "--all", "--now", "--dry-run"}, {"report", "-"}}) {
        MemoryRegistry reg;
        MemoryDevices devices;
        MiceMachine(reg, devices);
        for (int i = 0; i < instances; ++i) {
            SetAt(reg, kEnum + "\\USB\\VID_1234&PID_" + std::to_string(i % 7) + "\\SN" + std::to_string(i) + "\\Device Parameters",
                  "SymbolicName", regtype::kSz, std::string("x") + '\0');
        }
        // An adapter's port the device tree does not hold: its enumerator's
        // devices of every class are listed, no other enumerator's.
        testing::AddPortAt(reg, kEnum + "\\USB\\VID_5678&PID_1\\SN9", "COM9");
        testing::FaultyRegistry counting(reg);
        std::map<std::string, int> opened;
        int reads = 0;
        counting.BeforeEachCall([&](const testing::RegCallRecord& r) {
            if (r.call == testing::RegCall::OpenKeyEx || r.call == testing::RegCall::CreateKeyEx) ++opened[r.name];
            if (r.call == testing::RegCall::QueryValueEx) ++reads;
        });
        CountingDevices counted(devices);
        std::ostringstream said;
        (void)RunCli(args, counting, counted, said, said);
        const std::string command = args[0] + " " + (args.size() > 1 ? args[1] : "");
        for (const auto& [key, times] : opened) {
            // (a port's key: read, then opened again to write)
            EXPECT_TRUE(key.find(kEnum) != 0 || times <= (key.find("\\USB\\VID_1234") != std::string::npos ? 1 : 3))
                << command << key << times;
        }
        // (report: every value of each key it opens, once, by size and bytes)
        EXPECT_LE(reads, (args[0] == "report" ? 2 : 1) * instances + 100) << command;
        // (guard on reads the mice back after removing them)
        for (const auto& [listing, times] : counted.listed) {
            EXPECT_EQ(command == "guard on" ? 2 : 1, times) << command << listing;
            EXPECT_TRUE(listing[0] != '|' || listing == "|USB") << command << listing;
            // (plain check asks nothing of the mice)
            EXPECT_TRUE(args.size() > 1 || args[0] != "check" || listing[0] == '|' || listing.find(kMouseClassGuid) != 0)
                << listing;
        }
    }
}

// A preview's plan as people and scripts read it, and a dry run whose
// read is refused: its status, and the refusal in the document.
TEST(CliPreview, NamesEveryKindOfChangeAndARefusedRead) {
    ChangePlan plan;
    std::ostringstream none;
    WritePlanText(plan, none);
    EXPECT_EQ("would change nothing\n", none.str());
    plan.writes = {{RegWrite::Kind::CreateKey, regroot::kLocalMachine, "A\\B", "", 0, ""},
                   {RegWrite::Kind::SetValue, regroot::kCurrentUser, "C", "n", regtype::kBinary, "\x01\xff"},
                   {RegWrite::Kind::DeleteValue, regroot::kLocalMachine, "A", "v", 0, ""},
                   {RegWrite::Kind::DeleteKey, regroot::kLocalMachine, "A\\B", "", 0, ""}};
    plan.restarts = {"ACPI\\PNP0501\\1"};
    std::ostringstream text;
    WritePlanText(plan, text);
    EXPECT_EQ("would create HKLM\\A\\B\nwould set HKCU\\C n = REG_BINARY 01 ff\nwould delete HKLM\\A v\n"
              "would delete the key HKLM\\A\\B\nwould restart ACPI\\PNP0501\\1\n", text.str());
    std::ostringstream json;
    json << "{\"x\": 1";
    WritePlanJson(plan, json);
    json << "}";
    EXPECT_TRUE(testing::JsonCheck::Valid(json.str())) << json.str();
    EXPECT_NE(std::string::npos, json.str().find("{\"action\": \"setValue\", \"key\": \"HKCU\\\\C\", \"value\": \"n\", "
                                                 "\"type\": \"REG_BINARY\", \"data\": \"01 ff\"}")) << json.str();
    EXPECT_NE(std::string::npos, json.str().find("{\"action\": \"deleteKey\", \"key\": \"HKLM\\\\A\\\\B\", \"value\": null}"));
    MemoryRegistry reg;
    MemoryDevices devices;
    MiceMachine(reg, devices);
    std::ostringstream relief;
    std::ostringstream err;
    EXPECT_EQ(0, RunCli({"disable", "COM1", "--now", "--dry-run", "--json"}, reg, devices, relief, err));
    EXPECT_NE(std::string::npos, relief.str().find("\"restart\": \"wouldRestart\", \"restartStatus\": null, \"inForceNow\": null, \"verdict\": null, \"verdictStatus\": null, "
                                                   "\"mice\": [{\"device\": " + JsonString(kMouse) + ", \"removal\": \"wouldRemove\", \"status\": null}]"))
        << relief.str();
    // The registry underneath lists no value of the key the write opens.
    testing::FaultyRegistry faulty(reg);
    faulty.Fail(testing::RegCall::EnumValue, 5);
    std::ostringstream refused;
    // SkipEnumerations' data as the REG_DWORD means it, -1 or 0.
    for (const char* command : {"disable", "enable"}) {
        std::ostringstream planned;
        EXPECT_EQ(0, RunCli({command, "COM1", "--dry-run", "--json"}, reg, devices, planned, err));
        EXPECT_NE(std::string::npos, planned.str().find(std::string("\"type\": \"REG_DWORD\", \"data\": ") +
                                                        (command[0] == 'd' ? "-1}" : "0}")))
            << planned.str();
    }
    EXPECT_EQ(2, RunCli({"disable", "COM1", "--dry-run", "--json"}, faulty, devices, refused, err));
    EXPECT_NE(std::string::npos, refused.str().find("\"refused\": [\n    {\"key\": ")) << refused.str();
    EXPECT_NE(std::string::npos, err.str().find("nothing would be changed")) << err.str();
}

// disable --all --now where no port was written (there is none, or every
// write was refused) removes no mouse, not even one whose port cannot be
// told.
TEST(CliRelief, NothingWrittenRemovesNoMouse) {
    for (const bool ports : {false, true}) {
        MemoryRegistry reg;
        MemoryDevices devices;
        if (ports) MiceMachine(reg, devices);
        devices.Add(Mouse("SERENUM\\PNP0F0C\\9&9&0&0000", true, ""));
        testing::FaultyRegistry refusing(reg, testing::Faults{0, 5, 0, 0});
        std::ostringstream out, err;
        EXPECT_EQ(ports ? 2 : 0, RunCli({"disable", "--all", "--now"}, refusing, devices, out, err)) << err.str();
        EXPECT_TRUE(Installed(devices, "SERENUM\\PNP0F0C\\9&9&0&0000")) << ports;
        EXPECT_EQ(ports, Installed(devices, kMouse));
    }
}

// Each port's one verdict in the document, as the text and the window word
// it: a removal at the next restart is no refusal; a refused one or a
// refused restart is, with its status.
TEST(CliRelief, OneVerdictPerPort) {
    const std::vector<std::tuple<std::function<void(MemoryDevices&)>, std::string>> rows = {
        {[](MemoryDevices&) {}, "\"verdict\": \"now\", \"verdictStatus\": null"},
        {[](MemoryDevices& d) { d.FailRemove(kMouse, DevStatus::Win32(3010)); }, "\"verdict\": \"atNextRestart\", \"verdictStatus\": null"},
        {[](MemoryDevices& d) { d.FailRemove(kMouse, DevStatus::Win32(5)); }, "\"verdict\": \"refused\", \"verdictStatus\": 5"},
        {[](MemoryDevices& d) { d.FailRestart(kCom1Id, DevStatus::Win32(1)); }, "\"verdict\": \"refused\", \"verdictStatus\": 1"},
        {[](MemoryDevices& d) { d.Edit(kCom1Id)->present = false; }, "\"verdict\": \"whenConnected\", \"verdictStatus\": null"},
    };
    for (const auto& [arrange, says] : rows) {
        MemoryRegistry reg;
        MemoryDevices devices;
        MiceMachine(reg, devices);
        arrange(devices);
        std::ostringstream out, err;
        (void)RunCli({"disable", "COM1", "--now", "--json"}, reg, devices, out, err);
        EXPECT_NE(std::string::npos, out.str().find(says)) << out.str();
    }
}

TEST(CliRelief, DisableNowExitsZeroOnlyWhenTheMiceAreGone) {
    std::uint32_t seed = 20261207u;
    const auto pick = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const std::vector<std::vector<std::string>> targets = {{"COM1"}, {"COM5"}, {"--all"}, {"on"}, {"off"}};
    const testing::RegCall calls[] = {testing::RegCall::OpenKeyEx, testing::RegCall::QueryValueEx,
                                      testing::RegCall::SetValueEx, testing::RegCall::CreateKeyEx,
                                      testing::RegCall::EnumKey, testing::RegCall::DeleteValue};
    const std::string lptId = "ACPI\\PNP0400\\1";
    int inForce = 0;
    int notInForce = 0;
    for (int round = 0; round < 600; ++round) {
        MemoryRegistry reg;
        MemoryDevices devices;
        AddPortAt(reg, kAcpi1, "COM1");
        AddPortAt(reg, kFtdi, "COM5");
        testing::SetPrefixAt(reg, kAcpi1, "4&1234&0", pick(8) == 0 ? regtype::kBinary : regtype::kSz);
        const std::string ftdiPrefix[] = {"", "7&77&0", "4&1234&0"};
        const std::string com5Prefix = ftdiPrefix[pick(3)];
        if (!com5Prefix.empty()) testing::SetPrefixAt(reg, kFtdi, com5Prefix);
        devices.Add(PortDevice(kCom1Id));
        devices.Add(PortDevice(kFtdiId));
        // An adapter unplugged, ports off already, a parallel port beside them.
        devices.Edit(kFtdiId)->present = pick(4) != 0;
        for (const std::string& key : {kAcpi1, kFtdi}) {
            if (pick(3) == 0) SwitchOff(reg, key);
        }
        const bool parallel = pick(2) == 0;
        if (parallel) {
            AddPortAt(reg, kEnum + "\\" + lptId, "LPT1");
            devices.Add(PortDevice(lptId));
        }
        const std::uint32_t mice = 1 + pick(3);
        for (std::uint32_t m = 0; m < mice; ++m) {
            const std::string parents[] = {kCom1Id, kFtdiId, ""};
            const std::string parent = parents[pick(3)];
            std::string prefix = parent == kCom1Id ? "4&1234&0" : parent == kFtdiId ? com5Prefix : "";
            if (prefix.empty() || pick(4) == 0) prefix = "9&9&0";
            devices.Add(Mouse("SERENUM\\PNP0F0C\\" + prefix + "&000" + std::to_string(m), pick(3) != 0, parent));
        }
        const bool hidden = pick(2) == 0;
        devices.HideParents(hidden);
        const bool enumerator[] = {pick(4) != 0, pick(4) != 0};
        if (enumerator[0]) testing::SetPortsClassAt(reg, kAcpi1);
        if (enumerator[1]) testing::SetPortsClassAt(reg, kFtdi);
        if (pick(3) == 0) devices.Add(Mouse("ROOT\\MOUSE\\0000", true, ""));
        devices.SetDetectionOff([&reg](const std::string& id) {
            EXPECT_EQ(0u, reg.OpenHandleCount()) << "a key is held open while " << id << " restarts";
            return testing::DetectionOffAt(reg, id);
        });
        testing::FaultyRegistry faulty(reg);
        const RegStatus statuses[] = {5, 1018};
        const std::uint32_t fault = pick(5);
        switch (fault) {
            case 1:
                faulty.Fail(calls[pick(6)], statuses[pick(2)], static_cast<int>(1 + pick(40)));
                if (pick(2) == 0) faulty.Fail(calls[pick(6)], statuses[pick(2)], static_cast<int>(1 + pick(4)));
                break;
            case 2:
                devices.FailList(DevStatus::Win32(5));
                break;
            case 3:
                devices.FailRemove(devices.Devices()[2 + pick(mice)].instanceId,
                                   DevStatus::Win32(pick(2) == 0 ? 5 : devstatus::kRebootRequired));
                break;
            case 4:
                devices.FailRestart(pick(2) == 0 ? kCom1Id : kFtdiId, DevStatus::Win32(devstatus::kNoStatus));
                break;
            default:
                break;
        }
        const std::vector<std::string>& target = targets[pick(5)];
        const bool guard = target[0] == "on" || target[0] == "off";
        std::vector<std::string> args = {guard ? "guard" : "disable"};
        args.insert(args.end(), target.begin(), target.end());
        if (!guard) args.push_back("--now");
        const bool json = !guard && pick(4) == 0;
        if (json) args.push_back("--json");
        std::ostringstream out;
        std::ostringstream err;
        if (target[0] == "off") (void)RunCli({"guard", "on"}, reg, devices, out, err);
        if (pick(3) == 0) {
            Entry(reg, "7", "USB\\VID_1234&PID_5678");
            if (pick(2) == 0) Switch(reg, static_cast<std::uint8_t>(pick(2)));
        }
        const std::vector<std::string> regBefore = testing::SortedLines(DumpMachine(reg));
        const std::vector<DeviceInfo> devicesBefore = devices.Devices();
        const std::size_t restartsBefore = devices.Restarted().size();
        // The preview changes nothing, and its plan is the command's own
        // run against stand-ins of the registry and the devices.
        std::vector<std::string> dryArgs = args;
        dryArgs.push_back("--dry-run");
        if (!json) dryArgs.push_back("--json");
        std::ostringstream plan;
        const int dryCode = RunCli(dryArgs, reg, devices, plan, err);
        EXPECT_TRUE(dryCode == 0 || (fault == 2 && dryCode == cliexit::kAccessDenied)) << round << err.str();
        EXPECT_EQ(regBefore, testing::SortedLines(DumpMachine(reg))) << round;
        EXPECT_EQ(restartsBefore, devices.Restarted().size()) << round;
        EXPECT_EQ(devicesBefore.size(), devices.Devices().size()) << round;
        DryRunRegistry standIn(reg);
        DryRunDevices standInDevices(devices);
        std::ostringstream sink;
        (void)RunCli(args, standIn, standInDevices, sink, sink);
        const auto ids = [](const std::vector<std::string>& list) {
            std::string text;
            for (const std::string& id : list) text += (text.empty() ? "" : ", ") + JsonString(id);
            return "[" + text + "]";
        };
        EXPECT_NE(std::string::npos, plan.str().find("\"restarts\": " + ids(standInDevices.Restarted()) + ", \"removals\": " +
                                                     ids(standInDevices.Removed()) + "}"))
            << round << plan.str();
        std::size_t planned = 0;
        for (std::size_t at = 0; (at = plan.str().find("{\"action\": ", at)) != std::string::npos; ++at) ++planned;
        EXPECT_EQ(standIn.Writes().size(), planned) << round << plan.str();
        const int code = RunCli(args, faulty, devices, out, err);
        const std::string story = "round " + std::to_string(round) + ": " + out.str() + err.str();
        // Without a refusal the real run makes exactly the plan's writes,
        // restarts and removals.
        if (fault != 1) {
            EXPECT_EQ(DumpMachine(standIn), DumpMachine(reg)) << story;
            const std::vector<std::string> restarted(devices.Restarted().begin() + static_cast<std::ptrdiff_t>(restartsBefore),
                                                     devices.Restarted().end());
            // (a refused restart, or one of a port whose presence could not be told, is not counted)
            for (const std::string& id : restarted) {
                EXPECT_NE(standInDevices.Restarted().end(),
                          std::find(standInDevices.Restarted().begin(), standInDevices.Restarted().end(), id)) << story;
            }
            EXPECT_TRUE(fault == 2 || fault == 4 || standInDevices.Restarted() == restarted) << story;
            // (a present mouse whose stack runs goes when Windows restarts)
            const std::vector<std::string>& planRemoved = standInDevices.Removed();
            for (const DeviceInfo& d : devicesBefore) {
                const bool planned = std::find(planRemoved.begin(), planRemoved.end(), d.instanceId) != planRemoved.end();
                const auto now = std::find_if(devices.Devices().begin(), devices.Devices().end(),
                                              [&](const DeviceInfo& n) { return n.instanceId == d.instanceId; });
                const bool gone = now == devices.Devices().end();
                EXPECT_TRUE(planned ? gone || fault == 3 || now->present : !gone) << d.instanceId << story;
            }
        }
        EXPECT_TRUE(!json || testing::JsonCheck::Valid(out.str())) << story;
        EXPECT_TRUE(!json || out.str().find("\"connected\"") == std::string::npos) << story;
        EXPECT_TRUE(!json || (code != 0 && code != 5) || out.str().find("\"miceComplete\": ") != std::string::npos) << story;
        for (const std::string& id : devices.Restarted()) {
            EXPECT_NE(lptId, id) << story;
            EXPECT_TRUE(testing::DetectionOffAt(reg, id)) << story;
            // (or a refused read left it unknown)
            EXPECT_TRUE(enumerator[id == kCom1Id ? 0 : 1] || fault == 1) << story;
        }
        // What changed is the command's own: SkipEnumerations of the ports
        // asked (disable), the guard's record, keys, switch and
        // SERIAL_MOUSE entry (guard); the switch stays while the list holds
        // another's entry before and after.
        const std::vector<std::string> regAfter = testing::SortedLines(DumpMachine(reg));
        std::vector<std::string> changed;
        std::set_symmetric_difference(regBefore.begin(), regBefore.end(), regAfter.begin(), regAfter.end(),
                                      std::back_inserter(changed));
        const bool othersListed = std::count_if(regBefore.begin(), regBefore.end(), [](const std::string& l) {
            return l.find("Restrictions\\DenyDeviceIDs [7]") != std::string::npos;
        }) > 0;
        // A refusal leaves the registry as it was, but for the ports it
        // names as left changed.
        if (!guard && (code == cliexit::kAccessDenied || code == cliexit::kRegistryError)) {
            for (const std::string& line : changed) {
                const std::string port = line.find(kAcpi1) != std::string::npos ? "COM1" : "COM5";
                EXPECT_NE(std::string::npos, err.str().find(port + " is left changed")) << line << "\n" << story;
            }
        }
        EXPECT_EQ(std::string::npos, story.find("LPT1")) << story;
        for (const std::string& line : changed) {
            EXPECT_EQ(std::string::npos, line.find("PNP0400")) << story;
            const bool ours =
                guard ? line.find("Portquell") != std::string::npos || line.find(" [") == std::string::npos ||
                            line.find(" 83 69 82 73 65 76 95 77 79 85 83 69 0") != std::string::npos ||
                            (!othersListed && line.find("Restrictions [DenyDeviceIDs]") != std::string::npos)
                      : line.find("[SkipEnumerations]") != std::string::npos &&
                            (target[0] == "--all" ||
                             line.find("HKLM\\" + (target[0] == "COM1" ? kAcpi1 : kFtdi) + "\\Device") == 0);
            EXPECT_TRUE(ours) << line << "\n" << story;
        }
        // Only serial enumerator's children are removed, those of a port
        // asked unless every port was.
        for (const DeviceInfo& d : devicesBefore) {
            if (Installed(devices, d.instanceId)) continue;
            EXPECT_EQ(0u, d.instanceId.find("SERENUM\\")) << d.instanceId << story;
            // (where parents are named: a prefix may lie)
            if (!guard && target[0] != "--all" && !hidden) {
                EXPECT_EQ(d.parent, target[0] == "COM1" ? kCom1Id : kFtdiId) << d.instanceId << story;
            }
        }
        if (guard) continue;
        if (code != cliexit::kDone) {
            ++notInForce;
            continue;
        }
        ++inForce;
        std::vector<std::string> check = {"check", "--mice"};
        check.insert(check.end(), target.begin(), target.end());
        std::ostringstream checkOut;
        std::ostringstream checkErr;
        EXPECT_EQ(cliexit::kDone, RunCli(check, reg, devices, checkOut, checkErr)) << story << checkErr.str();
        for (const DeviceInfo& d : devices.Devices()) {
            const bool asked = (target[0] == "--all" && d.instanceId.find("SERENUM") == 0) ||
                               d.parent == (target[0] == "COM1" ? kCom1Id : kFtdiId);
            EXPECT_FALSE(IsSerialMouse(d) && d.present && asked) << story << d.instanceId;
        }
    }
    // The machines reach both outcomes.
    EXPECT_GT(inForce, 50);
    EXPECT_GT(notInForce, 50);
}

// Every change is one event with each value before and after, of the kind
// its outcome is; the account and the command line are the run's.
TEST(CliTrail, EachChangeReportsOneEventOfItsKind) {
    const std::string param = "HKLM\\" + kAcpi1 + "\\Device Parameters, SkipEnumerations: ";
    const auto refuseCom5 = [](testing::FaultyRegistry& f) { f.FailWhen(OnKey(f, testing::RegCall::SetValueEx, "FTDIBUS"), 5); };
    struct Row {
        std::vector<std::string> args;
        std::function<void(MemoryRegistry&, MemoryDevices&, testing::FaultyRegistry&)> arrange;
        std::uint32_t id;
        EventType type;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {{"disable", "COM1"}, nullptr, trailevent::kDone, EventType::Information,
         {"Command line: portquell-cli disable COM1", "Account: PC\\admin", "COM1: " + param + "none -> REG_DWORD FF FF FF FF"}},
        {{"enable", "COM1"}, [](MemoryRegistry& r, MemoryDevices&, testing::FaultyRegistry&) { testing::SetValueAt(r, kAcpi1, "SkipEnumerations", regtype::kDword, kOff); },
         trailevent::kDone, EventType::Information, {param + "REG_DWORD FF FF FF FF -> REG_DWORD 00 00 00 00"}},
        {{"disable", "COM1", "--now"}, nullptr, trailevent::kDone, EventType::Information,
         {"device ACPI\\PNP0501\\1: restarted", "device " + kMouse + ": removed"}},
        {{"disable", "COM1", "--now"}, [](MemoryRegistry&, MemoryDevices& d, testing::FaultyRegistry&) { d.FailRestart(kCom1Id, DevStatus::ConfigRet(23)); },
         trailevent::kDone, EventType::Warning, {"device ACPI\\PNP0501\\1: restart refused (CONFIGRET 23)"}},
        {{"guard", "on"}, nullptr, trailevent::kDone, EventType::Information,
         {"HKLM\\SOFTWARE\\Portquell\\Guard: key created", "SOFTWARE\\Portquell\\Guard, Entry: none -> REG_SZ \"1\"",
          "Restrictions\\DenyDeviceIDs, 1: none -> REG_SZ \"SERIAL_MOUSE\"", "Restrictions, DenyDeviceIDs: none -> REG_DWORD 01 00 00 00",
          "device " + kMouse + ": removed when Windows restarts (status 3010)"}},
        {{"guard", "off"}, [](MemoryRegistry& r, MemoryDevices& d, testing::FaultyRegistry&) { std::ostringstream o; (void)RunCli({"guard", "on"}, r, d, o, o); },
         trailevent::kDone, EventType::Information, {"DenyDeviceIDs, 1: REG_SZ \"SERIAL_MOUSE\" -> none", "SOFTWARE\\Portquell: key removed"}},
        {{"disable", "COM1"}, [](MemoryRegistry&, MemoryDevices&, testing::FaultyRegistry& f) {
             f.FailWhen([](const testing::RegCallRecord& r) { return r.call == testing::RegCall::CreateKeyEx; }, 5);
         }, trailevent::kPutBack, EventType::Warning, {"Device Parameters: could not be opened or created for writing (status 5)"}},
        {{"disable", "COM1", "COM5"}, [&](MemoryRegistry&, MemoryDevices&, testing::FaultyRegistry& f) { refuseCom5(f); },
         trailevent::kPutBack, EventType::Warning,
         {param + "none -> REG_DWORD FF FF FF FF", "REG_DWORD FF FF FF FF: refused (status 5); holds none", param + "REG_DWORD FF FF FF FF -> none"}},
        {{"disable", "COM1", "COM5"}, [&](MemoryRegistry&, MemoryDevices&, testing::FaultyRegistry& f) {
             refuseCom5(f);
             f.FailWhen(OnKey(f, testing::RegCall::DeleteValue, "ACPI"), 5);
         }, trailevent::kLeftChanged, EventType::Error, {"could not put everything back", param + "REG_DWORD FF FF FF FF -> REG_DWORD FF FF FF FF: refused (status 5)"}},
        // One value of a key left changed while its others were put back;
        // a value whose undoing was refused goes with the key it was made in.
        {{"guard", "on"}, [](MemoryRegistry& r, MemoryDevices&, testing::FaultyRegistry& f) {
             testing::SetTextAt(r, "SOFTWARE\\Portquell\\Guard\\Notes", "", "kept");
             f.FailWhen([n = 0](const testing::RegCallRecord& c) mutable { return c.call == testing::RegCall::SetValueEx && c.name == "State" && ++n == 2; }, 5);
             f.FailWhen([](const testing::RegCallRecord& c) { return c.call == testing::RegCall::DeleteValue && c.name == "Entry"; }, 5);
         }, trailevent::kLeftChanged, EventType::Error, {"Guard, Entry: REG_SZ \"1\" -> REG_SZ \"1\": refused (status 5)"}},
        {{"guard", "on"}, [](MemoryRegistry&, MemoryDevices&, testing::FaultyRegistry& f) {
             f.FailWhen([](const testing::RegCallRecord& c) { return c.call == testing::RegCall::SetValueEx && c.name == "DenyDeviceIDs"; }, 5);
             f.FailWhen([](const testing::RegCallRecord& c) { return c.call == testing::RegCall::DeleteValue && c.name == "Entry"; }, 5);
         }, trailevent::kPutBack, EventType::Warning, {"HKLM\\SOFTWARE\\Portquell: key removed"}},
    };
    for (const Row& row : rows) {
        MemoryRegistry reg;
        MemoryDevices devices;
        MiceMachine(reg, devices);
        testing::FaultyRegistry faulty(reg);
        if (row.arrange) row.arrange(reg, devices, faulty);
        MemoryEventLog log;
        MemoryRunLock lock;
        const ChangeSeams seams{log, lock, {"", "", "PC\\admin", ""}};
        std::ostringstream out, err;
        (void)RunCli(row.args, faulty, devices, out, err, {}, &seams);
        const std::string what = row.args[0] + " " + row.args[1] + " " + std::to_string(row.id);
        ASSERT_EQ(1u, log.events.size()) << what << err.str();
        EXPECT_EQ(row.id, log.events[0].id) << what;
        EXPECT_EQ(row.type, log.events[0].type) << what << log.events[0].text << out.str() << err.str();
        for (const std::string& line : row.lines) {
            EXPECT_NE(std::string::npos, log.events[0].text.find(line)) << what << "\n" << line << "\n" << log.events[0].text;
        }
        EXPECT_FALSE(lock.held) << what;
    }
}

// What changes nothing reports nothing, registers nothing and writes
// nothing: reading, previews, and ports already as asked (the boot script
// that runs disable --all every time). Reading never waits for the lock.
TEST_F(Cli, NothingChangedNothingReported) {
    const std::string before = DumpMachine(reg_);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list"}, {"check", "--mice", "--guard"}, {"mice"}, {"guard"}, {"export"}, {"disable", "--all", "--dry-run"},
             {"guard", "on", "--dry-run"}, {"disable", "COM3"}, {"enable", "COM3", "--dry-run"}}) {
        MemoryEventLog log;
        MemoryRunLock lock;
        const ChangeSeams seams{log, lock, {"", "", "", "C:\\portquell-cli.exe"}};
        std::ostringstream out, err;
        (void)RunCli(args, reg_, devices_, out, err, {}, &seams);
        EXPECT_TRUE(log.events.empty()) << args[0];
        EXPECT_EQ(before, DumpMachine(reg_)) << args[0];
        const bool noOp = args.size() == 2 && args[0] == "disable";
        EXPECT_EQ(noOp ? 1 : 0, lock.takes) << args[0];
        if (noOp) {
            EXPECT_EQ("COM3: off already\n", out.str());
        }
    }
}

// The lock: a run held elsewhere leaves the machine as it was and says
// so; one abandoned is taken over; a refused report keeps the exit status
// and the change; the event source is registered where missing or naming
// another file, and left as it is where it names this one.
TEST_F(Cli, ChangesWaitForTheLockAndRegisterTheirSource) {
    const std::string before = DumpMachine(reg_);
    const std::string path = "C:\\Tools\\portquell-cli.exe";
    const auto run = [&](MemoryEventLog& log, MemoryRunLock& lock, testing::FaultyRegistry& on) {
        const ChangeSeams seams{log, lock, {"", "", "", path}};
        std::ostringstream out, err;
        const int code = RunCli({"disable", "COM1"}, on, devices_, out, err, {}, &seams);
        return Result{code, out.str(), err.str()};
    };
    MemoryEventLog log;
    MemoryRunLock busy;
    busy.holder = MemoryRunLock::Holder::Other;
    testing::FaultyRegistry plain(reg_);
    Result r = run(log, busy, plain);
    EXPECT_EQ(3, r.code);
    EXPECT_EQ("portquell-cli: another Portquell run is changing this PC; nothing was changed.\n", r.err);
    EXPECT_EQ(before, DumpMachine(reg_));
    MemoryRunLock refused;
    refused.refuseWith = 5;
    EXPECT_EQ(2, run(log, refused, plain).code);
    EXPECT_EQ(before, DumpMachine(reg_));
    EXPECT_TRUE(log.events.empty());

    MemoryRunLock abandoned;
    abandoned.holder = MemoryRunLock::Holder::Abandoned;
    log.refuseWith = 1502;
    r = run(log, abandoned, plain);
    EXPECT_EQ(0, r.code);
    EXPECT_NE(std::string::npos, r.err.find("took over")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("warning: this run could not be recorded in the event log (status 1502)")) << r.err;
    EXPECT_EQ(kOff, ValueAt(reg_, kAcpi1, "SkipEnumerations").data);
    const Bytes file = testing::RawValueAt(reg_, kEventSourceKey, "EventMessageFile");
    EXPECT_EQ(path + '\0', std::string(file.begin(), file.end()));
    EXPECT_EQ(Bytes({7, 0, 0, 0}), testing::RawValueAt(reg_, kEventSourceKey, "TypesSupported"));
    log.refuseWith = 0;
    for (const auto& [named, writes] : {std::pair{"c:\\tools\\PORTQUELL-CLI.EXE", 0u}, std::pair{"D:\\old\\portquell.exe", 2u}}) {
        testing::SetTextAt(reg_, kEventSourceKey, "EventMessageFile", named, regtype::kExpandSz);
        testing::SetValueAt(reg_, kAcpi1, "SkipEnumerations", regtype::kDword, kOn);
        MemoryRunLock lock;
        testing::FaultyRegistry counted(reg_);
        EXPECT_EQ(0, run(log, lock, counted).code);
        EXPECT_EQ(1u + writes, counted.CountOf(testing::RegCall::SetValueEx)) << named;
    }
    EXPECT_EQ(2u, log.events.size());
    EXPECT_NE(std::string::npos, log.events[0].text.find("\r\nAccount: unknown\r\n")) << log.events[0].text;
    // A standard user's run cannot register the source: the event is kept
    // all the same, and nothing is said of it.
    testing::SetTextAt(reg_, kEventSourceKey, "EventMessageFile", "D:\\other.exe", regtype::kExpandSz);
    testing::SetValueAt(reg_, kAcpi1, "SkipEnumerations", regtype::kDword, kOn);
    MemoryRunLock lock;
    testing::FaultyRegistry standard(reg_);
    standard.FailWhen([](const testing::RegCallRecord& c) { return c.call == testing::RegCall::CreateKeyEx && c.name.find("EventLog") != std::string::npos; }, 5);
    r = run(log, lock, standard);
    EXPECT_EQ(0, r.code);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(3u, log.events.size());
    // The source's two values, or neither: the file named before stays.
    testing::SetValueAt(reg_, kAcpi1, "SkipEnumerations", regtype::kDword, kOn);
    MemoryRunLock again;
    testing::FaultyRegistry half(reg_);
    half.FailWhen([](const testing::RegCallRecord& c) { return c.call == testing::RegCall::SetValueEx && c.name == "TypesSupported"; }, 5);
    EXPECT_EQ(0, run(log, again, half).code);
    const Bytes kept = testing::RawValueAt(reg_, kEventSourceKey, "EventMessageFile");
    EXPECT_EQ(std::string("D:\\other.exe") + '\0', std::string(kept.begin(), kept.end()));
}

}  // namespace
}  // namespace portquell
