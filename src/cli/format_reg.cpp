#include <algorithm>

#include "cli/cli_formats.h"
#include "cli/cli_text.h"

#ifndef PORTQUELL_VERSION
#define PORTQUELL_VERSION "unknown"
#endif

namespace portquell {

namespace {

// A .reg key line ends at its last ']' and carries bytes in the code page
// of whoever imports it: only names of printable ASCII without brackets
// come back as the same key on every machine.
bool RegFileCanCarry(const std::string& name) {
    if (name.empty()) return false;
    return std::all_of(name.begin(), name.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 0x20 && c < 0x7F && c != '[' && c != ']';
    });
}

}  // namespace

bool WriteRegFile(const std::vector<SerialPort>& ports, std::ostream& out, std::ostream& err) {
    out << "REGEDIT4\n\n"
        << "; Serial mouse detection per port, exported by portquell-cli " << PORTQUELL_VERSION
        << ".\n; dword:ffffffff switches detection off, dword:00000000 on again.\n"
        << "; Importing creates each port's key where a machine lacks it.\n";
    bool complete = true;
    for (const SerialPort& p : ports) {
        if (!RegFileCanCarry(p.enumerator) || !RegFileCanCarry(p.device) ||
            !RegFileCanCarry(p.instance)) {
            err << kProgram << ": " << PortLabel(p) << " not exported: its key "
                << PrintableKey(p.InstanceKey()) << " has characters that a .reg file cannot carry.\n";
            complete = false;
            continue;
        }
        out << "\n; " << PortLabel(p) << "\n[HKEY_LOCAL_MACHINE\\" << p.ParameterKey() << "]\n"
            << "\"" << kSkipEnumerations << "\"=dword:" << (p.DetectionOff() ? "ffffffff" : "00000000")
            << "\n";
    }
    return complete;
}

}  // namespace portquell
