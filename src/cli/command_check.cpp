// check, the detection step of a management tool: exit 0 only when mouse
// detection is off on every port asked about and every key that could
// hold one of them was read.
#include <algorithm>

#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"
#include "ports/mice_plan.h"
#include "ports/port_identity.h"
#include "ports/port_presence.h"

namespace portquell {

namespace {

std::string OtherPorts(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " other port" : " other ports") +
           " not checked: leave out --acpi";
}

// The port among ports (those checked, each with its device) that is port.
const SerialPort& Checked(const SerialPort& port, const std::vector<SerialPort>& ports) {
    for (const SerialPort& p : ports) {
        if (SameTextIgnoringCase(p.InstanceKey(), port.InstanceKey())) return p;
    }
    return port;
}

// Names each present mouse of the plan on err, with what removes it.
void SayPresentMice(const std::vector<SerialMouse>& present, const std::vector<SerialPort>& ports, std::ostream& err) {
    for (const SerialMouse& mouse : present) {
        if (mouse.port) {
            err << kProgram << ": a serial mouse is present on " << PortNamed(Checked(*mouse.port, ports)) << " ("
                << DeviceLabel(mouse.device.instanceId) << "); '" << kProgram << " disable "
                << (mouse.port->portName.empty() ? PrintablePath(mouse.port->InstanceId()) : Printable(mouse.port->portName))
                << " --now' removes it\n";
        } else {
            err << kProgram << ": a serial mouse is present on a port that cannot be told ("
                << DeviceLabel(mouse.device.instanceId) << "); it may be on any port checked; '" << kProgram
                << " disable --all --now' removes it\n";
        }
    }
}

}  // namespace

int CheckCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                 std::ostream& err) {
    // Every port, taken once: the ports checked by default, those named
    // are found among them, and the mice are placed on them.
    const PortInventory all = TakeInventory(registry, PortScope::All);
    std::vector<SerialPort> ports;
    std::vector<std::string> missing;
    std::vector<PortRefusal> refusals;
    std::optional<std::size_t> notChecked;
    if (!options.ports.empty()) {
        PortSelection selection = SelectPorts(all, options.ports);
        ports = std::move(selection.ports);
        missing = std::move(selection.missing);
        refusals = std::move(selection.refusals);
    } else if (options.acpi) {
        // The window's ports only: say how many others there are.
        const PortInventory acpi = TakeInventory(registry, PortScope::Acpi);
        ports = acpi.ports;
        refusals = acpi.refusals;
        notChecked = CountOutsideWindow(all);
    } else {
        ports = all.ports;
        refusals = all.refusals;
    }
    FindConnections(devices, ports);
    IdentifyPorts(registry, devices, ports);
    // The mice, listed once for every question asked of them.
    std::optional<MiceInventory> found;
    if (options.mice || options.guard) found = FindSerialMice(devices, registry, all.ports);
    const bool everyPort = options.ports.empty() && !options.acpi;

    // Whether a mouse can be detected on each port at all: it does not
    // change the status (a driver update can add the enumerator), only
    // what is said.
    const std::vector<SerialEnumerator> enumerators = FindSerialEnumerators(registry, ports);
    bool on = false;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const SerialPort& p = ports[i];
        if (p.DetectionOff()) continue;
        on = true;
        err << kProgram << ": mouse detection is on for " << PortNamed(p) << " ("
            << PrintableKey(p.InstanceKey()) << "): " << SkipReason(p.skip);
        if (enumerators[i] == SerialEnumerator::No) {
            err << "; the serial enumerator is not on its driver stack, so no mouse can be detected there now, "
                   "but a driver update may add it";
        }
        err << "\n";
    }
    ReportMissing(missing, err);
    std::vector<SerialMouse> mice;
    std::optional<DevStatus> miceRefused;
    int refused = cliexit::kDone;
    if (options.mice) {
        mice = PlanMice(*found, ports, everyPort).Present();
        SayPresentMice(mice, ports, err);
        refused = ReportDeviceRefusal(found->status, "not every port could be checked", err);
        if (!found->status.Ok()) miceRefused = found->status;
        // A prefix that could not be read leaves mice that may be on a port checked.
        refusals.insert(refusals.end(), found->refusals.begin(), found->refusals.end());
    }
    std::optional<GuardReport> guard;
    if (options.guard) {
        guard = MakeGuardReport(ReadGuard(registry), all, *found);
        if (!guard->Holds()) {
            err << kProgram << ": the serial mouse guard is not in force: " << GuardReason(*guard) << "; '"
                << kProgram << " guard on' sets it\n";
        }
        refusals.insert(refusals.end(), guard->policy.refusals.begin(), guard->policy.refusals.end());
        refused = WorseExit(refused, ReportDeviceRefusal(guard->mice.listing, "the guard's state is not certain", err));
    }
    refused = WorseExit(refused, ReportRefusals(refusals, "not every port could be checked", err));
    const bool compliant = !on && missing.empty() && refusals.empty() && mice.empty() && !miceRefused &&
                           (!guard || guard->Holds());

    if (options.json) {
        JsonReport report;
        report.reasons = true;
        report.missing = missing;
        report.refused = refusals;
        report.notChecked = notChecked;
        if (options.mice) report.mice = mice;
        report.miceRefused = miceRefused;
        report.enumerators = enumerators;
        report.connected = true;
        report.guard = guard;
        report.compliant = compliant;
        WriteJson(ports, report, out);
    } else {
        if (!ports.empty()) WriteTable(ports, out, &enumerators, true, true);
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
