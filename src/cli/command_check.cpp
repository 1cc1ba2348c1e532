// check, the detection step of a management tool: exit 0 only when mouse
// detection is off on every port asked about and every key that could
// hold one of them was read.
#include <algorithm>

#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"

namespace portquell {

namespace {

std::string OtherPorts(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " other port" : " other ports") +
           " not checked: use --all";
}

// The serial mice present on ports, or on a port that cannot be told
// (it may be one of them); each named on err.
std::vector<SerialMouse> PresentMice(const MiceInventory& mice, const std::vector<SerialPort>& ports,
                                     std::ostream& err) {
    std::vector<SerialMouse> present;
    for (const SerialMouse& mouse : mice.mice) {
        if (!mouse.device.present) continue;
        if (mouse.port) {
            const bool checked = std::any_of(ports.begin(), ports.end(), [&](const SerialPort& p) {
                return SameTextIgnoringCase(p.InstanceKey(), mouse.port->InstanceKey());
            });
            if (!checked) continue;
            err << kProgram << ": a serial mouse is present on " << PortLabel(*mouse.port) << " ("
                << PrintablePath(mouse.device.instanceId) << "); '" << kProgram << " disable "
                << (mouse.port->portName.empty() ? PrintablePath(mouse.port->InstanceId()) : Printable(mouse.port->portName))
                << " --now' removes it\n";
        } else {
            err << kProgram << ": a serial mouse is present on a port that cannot be told ("
                << PrintablePath(mouse.device.instanceId) << ")\n";
        }
        present.push_back(mouse);
    }
    return present;
}

}  // namespace

int CheckCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                 std::ostream& err) {
    // Every port, taken once when a named check, the count of the others or
    // the mice's ports need it.
    std::optional<PortInventory> all;
    if (!options.ports.empty() || options.all || options.mice) all = TakeInventory(registry, PortScope::All);
    std::vector<SerialPort> ports;
    std::vector<std::string> missing;
    std::vector<PortRefusal> refusals;
    std::optional<std::size_t> notChecked;
    if (!options.ports.empty()) {
        PortSelection selection = SelectPorts(*all, options.ports);
        ports = std::move(selection.ports);
        missing = std::move(selection.missing);
        refusals = std::move(selection.refusals);
    } else {
        const PortInventory inventory = options.all ? *all : TakeInventory(registry, PortScope::Acpi);
        ports = inventory.ports;
        refusals = inventory.refusals;
        // The window's ports only: say how many others there are.
        if (!options.all) {
            if (!all) all = TakeInventory(registry, PortScope::All);
            notChecked = CountOutsideWindow(*all);
        }
    }

    bool on = false;
    for (const SerialPort& p : ports) {
        if (p.DetectionOff()) continue;
        on = true;
        err << kProgram << ": mouse detection is on for " << PortLabel(p) << " ("
            << PrintableKey(p.InstanceKey()) << "): " << SkipReason(p.skip) << "\n";
    }
    ReportMissing(missing, err);
    int refused = ReportRefusals(refusals, "not every port could be checked", err);
    std::vector<SerialMouse> mice;
    std::optional<DevStatus> miceRefused;
    if (options.mice) {
        const MiceInventory found = FindSerialMice(devices, registry, all->ports);
        mice = PresentMice(found, ports, err);
        const int listed = ReportDeviceRefusal(found.status, "not every port could be checked", err);
        if (!found.status.Ok()) miceRefused = found.status;
        if (refused == cliexit::kDone) refused = listed;
    }
    const bool compliant = !on && missing.empty() && refusals.empty() && mice.empty() && !miceRefused;

    if (options.json) {
        JsonReport report;
        report.reasons = true;
        report.missing = missing;
        report.refused = refusals;
        report.notChecked = notChecked;
        if (options.mice) report.mice = mice;
        report.miceRefused = miceRefused;
        report.compliant = compliant;
        WriteJson(ports, report, out);
    } else {
        if (!ports.empty()) WriteTable(ports, out);
        const std::size_t others = notChecked.value_or(0);
        if (ports.empty() && compliant) {
            out << (others > 0 ? "no ACPI serial ports; " + OtherPorts(others)
                               : std::string("no serial ports found: nothing to switch off"))
                << "\n";
        } else {
            if (compliant) out << "mouse detection is off on every port checked\n";
            if (others > 0) out << OtherPorts(others) << "\n";
        }
    }
    if (refused != cliexit::kDone) return refused;
    return compliant ? cliexit::kDone : cliexit::kCheckFailed;
}

}  // namespace portquell
