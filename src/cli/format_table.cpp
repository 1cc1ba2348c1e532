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

void WriteMiceTable(const std::vector<SerialMouse>& mice, std::ostream& out) {
    const std::vector<std::string> head{"PORT", "PRESENT", "HARDWARE ID", "DEVICE", "PORT KEY"};
    std::vector<std::vector<std::string>> rows;
    for (const SerialMouse& m : mice) {
        rows.push_back({m.port ? PortLabel(*m.port) : "?", m.device.present ? "yes" : "no",
                        m.device.hardwareIds.empty() ? "-" : PrintablePath(m.device.hardwareIds.front()),
                        PrintablePath(m.device.instanceId), m.port ? PrintableKey(m.port->InstanceKey()) : "-"});
    }
    std::vector<std::size_t> width;
    for (const std::string& h : head) width.push_back(h.size());
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
    }
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i + 1 < cells.size(); ++i) out << cells[i] << std::string(width[i] - cells[i].size() + 2, ' ');
        out << cells.back() << "\n";
    };
    line(head);
    for (const auto& row : rows) line(row);
}

}  // namespace portquell
