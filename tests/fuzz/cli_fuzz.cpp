// libFuzzer target: portquell-cli over a registry whose port names, key
// names and SkipEnumerations values are arbitrary bytes, and with
// arbitrary arguments. The exit code is one of the documented ones, the
// console output stays printable, only disable and enable change the
// registry, and the export, read back, holds exactly the keys and states
// of the ports listed (less those it names as left out).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/portquell_cli.h"
#include "port_registry.h"
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

bool Printable(const std::string& text) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c != '\n' && (c < 0x20 || c >= 0x7F)) return false;
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

Run Cli(MemoryRegistry& reg, const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunCli(args, reg, out, err);
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
        if (a == "disable" || a == "enable") writes = !dryRun && any.code != 64;
        if (!a.empty() && a[0] != '-') break;  // the command is the first word
    }
    if (!writes) Require(testing::DumpMachine(reg) == before);

    for (const std::vector<std::string>& listing :
         {std::vector<std::string>{"list", "--all"}, std::vector<std::string>{"list", "--all", "--json"}}) {
        const Run r = Cli(reg, listing);
        Require(r.code == 0 && Printable(r.out) && r.err.empty());
    }

    const Run exported = Cli(reg, {"export", "--all"});
    Require(Printable(exported.out) && Printable(exported.err));
    const auto states = testing::ParseExport(exported.out);
    Require(states.has_value());
    testing::RegFileStates expected;
    bool leftOut = false;
    for (const SerialPort& p : FindAllPorts(reg)) {
        if (!RegFileCanCarry(p.enumerator) || !RegFileCanCarry(p.device) || !RegFileCanCarry(p.instance)) {
            leftOut = true;
            continue;
        }
        expected[p.ParameterKey()] = p.detectionOff ? "ffffffff" : "00000000";
    }
    Require(*states == expected);
    Require(exported.code == (leftOut ? cliexit::kExportIncomplete : cliexit::kDone));
    return 0;
}
