#include <algorithm>

#include "cli/cli_formats.h"
#include "cli/cli_text.h"

namespace portquell {

void WriteTable(const std::vector<SerialPort>& ports, std::ostream& out) {
    // A port without a name shows "-": its key is in the last column.
    auto name = [](const SerialPort& p) { return p.portName.empty() ? "-" : Printable(p.portName); };
    std::size_t width = std::string("PORT").size();
    for (const SerialPort& p : ports) width = std::max(width, name(p).size());
    auto pad = [](const std::string& s, std::size_t w) { return s + std::string(w - s.size() + 2, ' '); };
    out << pad("PORT", width) << pad("MOUSE DETECTION", 15) << "KEY\n";
    for (const SerialPort& p : ports) {
        out << pad(name(p), width) << pad(Detection(p), 15) << PrintableKey(p.InstanceKey()) << "\n";
    }
}

}  // namespace portquell
