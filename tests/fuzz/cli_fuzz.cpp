// libFuzzer target: portquell-cli over a registry whose port names, key
// names and SkipEnumerations values are arbitrary bytes, and with
// arbitrary arguments. The exit code is one of the documented ones, the
// console output stays printable, only disable and enable change the
// registry, and the export, read back, holds exactly the keys and states
// of the ports listed (less those it names as left out); guard on and off
// over an arbitrary policy list leave it as it was, also when one call
// is refused. Every --json
// output parses. check's status is the one an independent reading of the
// registry gives; under a registry that refuses one call anywhere, check
// never says 0 unless that reading says the machine is compliant.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/portquell_cli.h"
#include "devices/memory_devices.h"
#include "faulty_registry.h"
#include "json_check.h"
#include "port_registry.h"
#include "ports/port_inventory.h"
#include "ports/serial_port.h"
#include "reg_file.h"
#include "registry/memory_registry.h"

namespace {

using namespace portquell;

void Require(bool condition) {
    if (!condition) std::abort();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Text(std::size_t limit) {
        const std::size_t n = std::min<std::size_t>(Byte() % (limit + 1), size_ - at_);
        std::string text(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A registry name: no backslash (it would be a path) and no NUL (the ANSI
// functions end names there), never empty.
std::string KeyName(std::string text) {
    for (char& c : text) {
        if (c == '\\' || c == '\0') c = '_';
    }
    return text.empty() ? "_" : text;
}

// What the console may show: valid UTF-8 (names in the system's language)
// without a character that acts on the console: no control but the line
// end, no DEL, no line or paragraph separator, no bidirectional control.
bool Printable(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        char32_t point = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        i += length;
        if (point == '\n') continue;
        if (point < 0x20 || (point >= 0x7F && point < 0xA0) || point == 0x2028 || point == 0x2029 ||
            (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069) || point == 0x200E ||
            point == 0x200F || point == 0x061C) {
            return false;
        }
    }
    return true;
}

bool RegFileCanCarry(const std::string& name) {
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || c == '[' || c == ']') return false;
    }
    return !name.empty();
}

struct Run {
    int code;
    std::string out;
    std::string err;
};

// check --all's answer read straight from the registry, without the
// handler or the port model: every instance under Enum whose Device
// Parameters has a PortName, or that the window lists (ACPI\PNP0501\1 to
// 200), must hold the REG_DWORD 0xFFFFFFFF.
bool Compliant(MemoryRegistry& reg) {
    auto keys = [&](const std::string& path) {
        std::vector<std::string> names;
        RegHandle key = 0;
        if (reg.OpenKeyEx(regroot::kLocalMachine, path, 0, regaccess::kQueryAndEnumerate, &key) != 0) return names;
        char name[256];
        for (std::uint32_t i = 0; reg.EnumKey(key, i, name, sizeof name) == 0; ++i) names.emplace_back(name);
        Require(reg.CloseKey(key) == 0);
        return names;
    };
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (const std::string& e : keys(kEnumKey)) {
        for (const std::string& d : keys(std::string(kEnumKey) + "\\" + e)) {
            for (const std::string& i : keys(std::string(kEnumKey) + "\\" + e + "\\" + d)) {
                RegHandle key = 0;
                const std::string path = std::string(kEnumKey) + "\\" + e + "\\" + d + "\\" + i + "\\Device Parameters";
                if (reg.OpenKeyEx(regroot::kLocalMachine, path, 0, regaccess::kQueryAndEnumerate, &key) != 0) continue;
                // A COM port's name, as GetValue reads PortName: text less its
                // last byte, the raw bytes of the two types it keeps raw.
                std::uint32_t type = 0;
                std::uint8_t text[64] = {};
                std::uint32_t size = sizeof text;
                std::string name;
                if (reg.QueryValueEx(key, "PortName", &type, text, &size) == 0) {
                    if ((type == regtype::kSz || type == regtype::kExpandSz) && size > 0) {
                        name.assign(reinterpret_cast<const char*>(text), size - 1);
                    } else if (type == regtype::kDwordBigEndian || type == regtype::kMultiSz) {
                        name.assign(reinterpret_cast<const char*>(text), size);
                    }
                }
                const bool named = name.size() > 3 && lower(name.substr(0, 3)) == "com" &&
                                   name.find_first_not_of("0123456789", 3) == std::string::npos;
                const bool window = lower(e) == "acpi" && lower(d) == "pnp0501" && !i.empty() && i[0] != '0' &&
                                    i.size() <= 3 && i.find_first_not_of("0123456789") == std::string::npos &&
                                    std::stoi(i) <= 200;
                std::uint8_t skip[4] = {0, 0, 0, 0};
                size = sizeof skip;
                // Four bytes FF of any type but text.
                const bool off = reg.QueryValueEx(key, "SkipEnumerations", &type, skip, &size) == 0 &&
                                 type != regtype::kSz && type != regtype::kExpandSz && type != regtype::kMultiSz &&
                                 size == 4 && skip[0] == 0xFF && skip[1] == 0xFF && skip[2] == 0xFF && skip[3] == 0xFF;
                Require(reg.CloseKey(key) == 0);
                if ((named || window) && !off) return false;
            }
        }
    }
    return true;
}

Run Cli(RegistryApi& reg, const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    MemoryDevices devices;
    // identify looks without waiting.
    const int code = RunCli(args, reg, devices, out, err, [](int) { return true; });
    return Run{code, out.str(), err.str()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    MemoryRegistry reg;
    const int ports = in.Byte() % 6;
    for (int i = 0; i < ports; ++i) {
        const std::string key = std::string(kEnumKey) + "\\" + KeyName(in.Text(10)) + "\\" +
                                KeyName(in.Text(10)) + "\\" + KeyName(in.Text(6));
        const std::uint8_t flags = in.Byte();
        if (flags & 1) {
            testing::AddPortAt(reg, key, in.Text(24));
        } else {
            const std::string name = in.Text(8);
            testing::SetValueAt(reg, key, "Other", regtype::kSz,
                                std::vector<std::uint8_t>(name.begin(), name.end()));
        }
        if (flags & 2) {
            const std::string skip = in.Text(8);
            testing::SetValueAt(reg, key, "SkipEnumerations", in.Byte() % 12,
                                std::vector<std::uint8_t>(skip.begin(), skip.end()));
        }
    }
    std::vector<std::string> args;
    const int count = in.Byte() % 5;
    for (int i = 0; i < count; ++i) args.push_back(in.Text(12));

    const std::string before = testing::DumpMachine(reg);
    const Run any = Cli(reg, args);
    const std::set<int> codes{0, 1, 2, 3, 4, 64};
    Require(codes.count(any.code) == 1);
    Require(Printable(any.out) && Printable(any.err));
    bool writes = false;
    bool dryRun = false;
    for (const std::string& a : args) dryRun = dryRun || a == "--dry-run";
    for (const std::string& a : args) {
        if (a == "disable" || a == "enable" || a == "guard") writes = !dryRun && any.code != 64;
        if (!a.empty() && a[0] != '-') break;  // the command is the first word
    }
    if (!writes) Require(testing::DumpMachine(reg) == before);

    if (any.code != 64) {
        for (const std::string& a : args) {
            if (a == "--json") Require(testing::JsonCheck::Valid(any.out));
        }
    }

    for (const std::vector<std::string>& listing :
         {std::vector<std::string>{"list", "--all"}, std::vector<std::string>{"list", "--all", "--json"}}) {
        const Run r = Cli(reg, listing);
        Require(r.code == 0 && Printable(r.out) && r.err.empty());
    }
    const Run json = Cli(reg, {"list", "--all", "--json"});
    Require(testing::JsonCheck::Valid(json.out));

    const bool compliant = Compliant(reg);
    const Run check = Cli(reg, {"check", "--all", "--json"});
    Require(testing::JsonCheck::Valid(check.out));
    Require(check.code == (compliant ? 0 : 1));
    // One refused call, of any kind, anywhere: never a false "compliant".
    testing::FaultyRegistry faulty(reg);
    const auto call = static_cast<testing::RegCall>(in.Byte() % 9);
    faulty.Fail(call, in.Byte() % 2 == 0 ? regstatus::kAccessDenied : 1018, 1 + in.Byte() % 64);
    const Run refused = Cli(faulty, {"check", "--all"});
    Require(refused.code == 0 ? compliant : (refused.code >= 1 && refused.code <= 3));

    // The guard over a policy list of arbitrary names, types and data:
    // on puts it in force or refuses (changing nothing), and off after it
    // leaves the registry exactly as it was; a refusal at one write of
    // either changes nothing.
    {
        MemoryRegistry policy;
        const std::string list = "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions";
        const int entries = in.Byte() % 8;
        for (int i = 0; i <= entries; ++i) {
            RegHandle key = 0;
            const std::string name = i == entries ? "DenyDeviceIDs" : in.Text(6);
            const std::string data = in.Text(14);
            Require(policy.CreateKeyEx(regroot::kLocalMachine, i == entries ? list : list + "\\DenyDeviceIDs", 0,
                                       regaccess::kAllAccess, false, &key, nullptr) == 0);
            (void)policy.SetValueEx(key, name, in.Byte() % 12, reinterpret_cast<const std::uint8_t*>(data.data()),
                                    static_cast<std::uint32_t>(data.size()));
            Require(policy.CloseKey(key) == 0);
        }
        const std::string original = testing::DumpMachine(policy);
        testing::FaultyRegistry once(policy);
        once.Fail(static_cast<testing::RegCall>(in.Byte() % 9), regstatus::kAccessDenied, 1 + in.Byte() % 8);
        const Run refusedOn = Cli(once, {"guard", "on"});
        Require(refusedOn.code <= 3);  // 1: a list left off by another is not switched on
        if (refusedOn.code != 0) Require(testing::DumpMachine(policy) == original);
        if (refusedOn.code == 0) Require(Cli(policy, {"guard", "off"}).code <= 3);
        Require(testing::DumpMachine(policy) == original);
        const Run on = Cli(policy, {"guard", "on", "--json"});
        Require(testing::JsonCheck::Valid(on.out) && Printable(on.err));
        Require(on.code == 0 ? Cli(policy, {"guard"}).code == 0 : testing::DumpMachine(policy) == original);
        const Run off = Cli(policy, {"guard", "off"});
        Require(off.code <= 3 && Printable(off.out) && testing::DumpMachine(policy) == original);
    }

    const Run exported = Cli(reg, {"export", "--all"});
    Require(Printable(exported.out) && Printable(exported.err));
    const auto states = testing::ParseExport(exported.out);
    Require(states.has_value());
    testing::RegFileStates expected;
    bool leftOut = false;
    for (const SerialPort& p : TakeInventory(reg, PortScope::All).ports) {
        if (!RegFileCanCarry(p.enumerator) || !RegFileCanCarry(p.device) || !RegFileCanCarry(p.instance)) {
            leftOut = true;
            continue;
        }
        expected[p.ParameterKey()] = p.DetectionOff() ? "ffffffff" : "00000000";
    }
    Require(*states == expected);
    Require(exported.code == (leftOut ? cliexit::kExportIncomplete : cliexit::kDone));
    return 0;
}
