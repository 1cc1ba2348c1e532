#include <algorithm>

#include "cli/cli_formats.h"
#include "cli/cli_text.h"

namespace portquell {

namespace {

// Rows under head in columns two spaces apart, each as wide as its
// widest cell; the last column unpadded.
void WriteColumns(const std::vector<std::string>& head, const std::vector<std::vector<std::string>>& rows,
                  std::ostream& out) {
    std::vector<std::size_t> width;
    for (const std::string& h : head) width.push_back(h.size());
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], DisplayWidth(row[i]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i + 1 < cells.size(); ++i) {
            out << cells[i] << std::string(width[i] - DisplayWidth(cells[i]) + 2, ' ');
        }
        out << cells.back() << "\n";
    };
    line(head);
    for (const auto& row : rows) line(row);
}

}  // namespace

std::string EnumeratorText(SerialEnumerator enumerator) {
    switch (enumerator) {
        case SerialEnumerator::Yes:
            return "yes";
        case SerialEnumerator::No:
            return "no";
        case SerialEnumerator::Unknown:
            break;
    }
    return "unknown";
}

std::string ConnectedText(const SerialPort& port) {
    return !port.connected ? "unknown" : *port.connected ? "yes" : "no";
}

void WriteTable(const std::vector<SerialPort>& ports, std::ostream& out,
                const std::vector<SerialEnumerator>* enumerators, bool connected, bool device) {
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const SerialPort& p = ports[i];
        // A port without a name shows "-": its key is in the last column.
        rows.push_back({p.portName.empty() ? "-" : Printable(p.portName), Detection(p)});
        if (enumerators != nullptr) rows.back().push_back(EnumeratorText((*enumerators)[i]));
        if (connected) rows.back().push_back(ConnectedText(p));
        if (device) rows.back().push_back(DeviceCell(p));
        rows.back().push_back(PrintableKey(p.InstanceKey()));
    }
    std::vector<std::string> head = {"PORT", "MOUSE DETECTION"};
    if (enumerators != nullptr) head.push_back("SERIAL ENUMERATOR");
    if (connected) head.push_back("CONNECTED");
    if (device) head.push_back("DEVICE");
    head.push_back("KEY");
    WriteColumns(head, rows, out);
}

void WriteMiceTable(const std::vector<SerialMouse>& mice, std::ostream& out) {
    std::vector<std::vector<std::string>> rows;
    for (const SerialMouse& m : mice) {
        rows.push_back({m.port ? PortNamed(*m.port) : m.noPort ? "none" : "?", m.device.present ? "yes" : "no",
                        m.device.hardwareIds.empty() ? "-" : PrintablePath(m.device.hardwareIds.front()),
                        DeviceLabel(m.device.instanceId), m.port ? PrintableKey(m.port->InstanceKey()) : "-"});
    }
    WriteColumns({"PORT", "PRESENT", "HARDWARE ID", "DEVICE", "PORT KEY"}, rows, out);
}

}  // namespace portquell
