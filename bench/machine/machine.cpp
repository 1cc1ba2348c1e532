#include "machine.h"

#include <cstdio>
#include <vector>

#include "devices/device_api.h"

namespace portquell::bench {

namespace {

constexpr const char* kPortsClass = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
constexpr const char* kHidClass = "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";
constexpr const char* kUsbClass = "{36FC9E60-C465-11CF-8056-444553540000}";
constexpr const char* kDiskClass = "{4D36E967-E325-11CE-BFC1-08002BE10318}";
constexpr const char* kPrinterClass = "{1ED2BBF9-11F0-4084-B21F-AD83A8E6DCDC}";

struct Value {
    std::string name;
    std::uint32_t type;
    std::string data;  // one character per byte
};

std::string Sz(const std::string& text) { return text + '\0'; }
std::string MultiSz(const std::string& text) { return text + '\0' + '\0'; }
std::string Dword(std::uint32_t n) {
    return {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF), static_cast<char>((n >> 16) & 0xFF),
            static_cast<char>(n >> 24)};
}

bool Write(RegistryApi& registry, const std::string& key, const std::vector<Value>& values, RegStatus& status) {
    RegHandle handle = 0;
    std::uint32_t disposition = 0;
    status = registry.CreateKeyEx(regroot::kLocalMachine, std::string(kBenchEnum) + "\\" + key, 0,
                                  regaccess::kAllAccess, false, &handle, &disposition);
    if (status != regstatus::kSuccess) return false;
    for (const Value& v : values) {
        status = registry.SetValueEx(handle, v.name, v.type, reinterpret_cast<const std::uint8_t*>(v.data.data()),
                                     static_cast<std::uint32_t>(v.data.size()));
        if (status != regstatus::kSuccess) break;
    }
    const RegStatus closed = registry.CloseKey(handle);
    if (status == regstatus::kSuccess) status = closed;
    return status == regstatus::kSuccess;
}

// The i-th generated instance: an enumerator, a device and an instance.
struct Generated {
    std::string enumerator, device, instance, classGuid, hardwareId;
};

Generated Instance(int i) {
    char text[96];
    Generated g;
    switch (i % 5) {
        case 0:  // USB devices, a fifth of the tree, beside the Prolific port: one instance per serial number
            std::snprintf(text, sizeof text, "VID_%04X&PID_%04X", 0x1000 + (i % 97), 0x2000 + (i % 13));
            g.enumerator = "USB";
            g.device = text;
            std::snprintf(text, sizeof text, "%08X%04d", 0x5A000000u + static_cast<unsigned>(i), i % 10000);
            g.instance = text;
            g.classGuid = kUsbClass;
            g.hardwareId = "USB\\" + g.device;
            break;
        case 2:
            std::snprintf(text, sizeof text, "VID_%04X&PID_%04X&MI_00", 0x3000 + (i % 53), 0x4000 + (i % 7));
            g.enumerator = "HID";
            g.device = text;
            std::snprintf(text, sizeof text, "7&%08X&0&0000", 0x1B000000u + static_cast<unsigned>(i));
            g.instance = text;
            g.classGuid = kHidClass;
            g.hardwareId = "HID\\" + g.device;
            break;
        case 3:  // print queues and other software devices
            g.enumerator = "SWD";
            g.device = "PRINTENUM";
            std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012d}", 0x7D000000u + static_cast<unsigned>(i), i);
            g.instance = text;
            g.classGuid = kPrinterClass;
            g.hardwareId = "PRINTENUM\\LocalPrintQueue";
            break;
        default:  // the disks of USB storage sticks
            std::snprintf(text, sizeof text, "Disk&Ven_Bench&Prod_Stick_%d&Rev_1.00", i % 31);
            g.enumerator = "USBSTOR";
            g.device = text;
            std::snprintf(text, sizeof text, "%08X%04d&0", 0x6C000000u + static_cast<unsigned>(i), i % 10000);
            g.instance = text;
            g.classGuid = kDiskClass;
            g.hardwareId = "USBSTOR\\" + g.device;
            break;
    }
    return g;
}

struct Port {
    const char* instance;
    const char* name;
    const char* prefix;
};
const Port kPorts[] = {
    {"ACPI\\PNP0501\\1", "COM1", "4&2B3C4D5E&0"},
    {kCom5Instance, "COM5", "7&1A2B3C4D&0"},
    {"USB\\VID_067B&PID_2303\\5&3C4D5E6F&0&1", "COM7", "8&4D5E6F70&0"},
};

}  // namespace

bool WriteMachine(RegistryApi& registry, int instances, RegStatus& status) {
    for (const Port& p : kPorts) {
        if (!Write(registry, p.instance,
                   {{"ClassGUID", regtype::kSz, Sz(kPortsClass)}, {"ParentIdPrefix", regtype::kSz, Sz(p.prefix)},
                    {"Service", regtype::kSz, Sz("Serial")}},
                   status) ||
            !Write(registry, std::string(p.instance) + "\\Device Parameters",
                   {{"PortName", regtype::kSz, Sz(p.name)}, {"PollingPeriod", regtype::kDword, Dword(0)}}, status)) {
            return false;
        }
    }
    if (!Write(registry, kMouseInstance,
               {{"ClassGUID", regtype::kSz, Sz(kMouseClassGuid)},
                {"HardwareID", regtype::kMultiSz, MultiSz("SERENUM\\PNP0F0C")},
                {"CompatibleIDs", regtype::kMultiSz, MultiSz("SERIAL_MOUSE")},
                {"Service", regtype::kSz, Sz("sermouse")}},
               status)) {
        return false;
    }
    for (int i = 0; i < instances; ++i) {
        const Generated g = Instance(i);
        const std::string key = g.enumerator + "\\" + g.device + "\\" + g.instance;
        if (!Write(registry, key,
                   {{"ClassGUID", regtype::kSz, Sz(g.classGuid)}, {"HardwareID", regtype::kMultiSz, MultiSz(g.hardwareId)},
                    {"DeviceDesc", regtype::kSz, Sz("Generic bench device")}, {"ConfigFlags", regtype::kDword, Dword(0)}},
                   status) ||
            !Write(registry, key + "\\Device Parameters",
                   {{"SymbolicName", regtype::kSz, Sz("\\??\\" + g.enumerator + "#" + g.device)},
                    {"EnhancedPowerManagementEnabled", regtype::kDword, Dword(1)}},
                   status)) {
            return false;
        }
    }
    return true;
}

}  // namespace portquell::bench
