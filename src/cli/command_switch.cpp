// disable and enable: SkipEnumerations written to every port asked about,
// or to none when any of them cannot be found, read or opened for writing.
#include <memory>

#include "cli/cli_commands.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"
#include "ports/port_relief.h"
#include "ports/port_switch.h"
#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

constexpr const char* kReminder =
    "Windows applies the change when it next enumerates the port: restart the\n"
    "computer, or unplug and replug a USB adapter.\n";

// Each port's relief in one line (in force now, or at the next restart and
// why), then the mice whose port cannot be told.
void SayRelief(const ReliefReport& report, std::ostream& out) {
    for (const Relief& relief : report.ports) {
        out << PortLabel(relief.port) << ": "
            << (report.InForceNow(relief) ? "in force now" : "in force at the next restart");
        if (!relief.Restarts()) {
            out << ": no serial enumerator on this port: no mouse can be detected here";
        } else if (relief.restart.Ok()) {
            out << ": port restarted";
        } else {
            out << ": Windows did not restart the port (" << DevStatusText(relief.restart) << ")";
        }
        for (const Relief::Removal& removal : relief.removals) {
            out << "; serial mouse " << DeviceLabel(removal.mouse.device.instanceId) << RemovalText(removal);
            if (removal.Gone() && relief.Restarts() && !relief.restart.Ok()) {
                out << " (a scan for hardware changes may find it again until then)";
            }
        }
        if (!report.miceComplete) out << "; not every serial mouse could be listed and told to its port";
        if (!report.left.empty()) out << "; a serial mouse whose port cannot be told is present";
        out << "\n";
    }
    for (const Relief::Removal& removal : report.unattached) {
        out << "serial mouse " << DeviceLabel(removal.mouse.device.instanceId) << " (port cannot be told)"
            << RemovalText(removal) << "\n";
    }
    for (const SerialMouse& mouse : report.left) {
        out << "serial mouse " << DeviceLabel(mouse.device.instanceId)
            << " is present on a port that cannot be told: not removed ('" << kProgram
            << " disable --all --now' removes it)\n";
    }
}

}  // namespace

int SwitchCommand(const Options& options, RegistryApi& registry, DeviceApi& devices, std::ostream& out,
                  std::ostream& err) {
    const bool off = options.command == "disable";
    const PortInventory inventory = TakeInventory(registry, PortScope::All);
    PortSelection selection;
    if (options.all) {
        selection.ports = inventory.ports;
        selection.refusals = inventory.refusals;
    } else {
        selection = SelectPorts(inventory, options.ports);
    }
    const int refused = ReportRefusals(selection.refusals, "nothing was changed", err);
    if (refused != cliexit::kDone) return refused;
    if (!selection.missing.empty()) {
        ReportMissing(selection.missing, err);
        err << kProgram << ": nothing was changed.\n";
        return cliexit::kPortNotFound;
    }
    const std::vector<SerialPort>& targets = selection.ports;
    const char* verb = off ? "disable" : "enable";
    if (options.dryRun) {
        for (const SerialPort& p : targets) {
            out << "would " << verb << " mouse detection on " << PortLabel(p) << " (now " << Detection(p)
                << "): " << PrintableKey(p.ParameterKey()) << " " << kSkipEnumerations
                << " = REG_DWORD " << (off ? "-1" : "0") << "\n";
        }
        if (targets.empty()) out << "no serial ports found\n";
        return cliexit::kDone;
    }

    // Every key is opened for writing before anything is written, so that a
    // refusal leaves all ports as they were.
    std::vector<std::unique_ptr<clsRegHandler>> handlers;
    for (const SerialPort& p : targets) {
        handlers.push_back(std::make_unique<clsRegHandler>(registry));
        const RegStatus status = OpenPortForWriting(*handlers.back(), p.ParameterKey());
        if (status == regstatus::kAccessDenied) {
            err << kProgram << ": access denied to " << PrintableKey(p.ParameterKey())
                << ".\nWriting needs administrator rights: run it from an elevated command "
                   "prompt (Run as administrator). Nothing was changed.\n";
            return cliexit::kAccessDenied;
        }
        if (status != regstatus::kSuccess) {
            err << kProgram << ": the registry refused to open " << PrintableKey(p.ParameterKey())
                << " (status " << status << "). Nothing was changed.\n";
            return cliexit::kRegistryError;
        }
    }
    int result = cliexit::kDone;
    bool changed = false;
    std::vector<SerialPort> written;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const SerialPort& p = targets[i];
        const RegStatus status = SetSkipEnumerations(*handlers[i], off);
        if (status != regstatus::kSuccess) {
            err << kProgram << ": could not write SkipEnumerations for " << PortLabel(p) << " (status "
                << status << ")" << (status == regstatus::kAccessDenied ? ": run as administrator" : "")
                << "\n";
            result = status == regstatus::kAccessDenied ? cliexit::kAccessDenied : cliexit::kRegistryError;
            continue;
        }
        changed = true;
        written.push_back(p);
        out << verb << "d mouse detection on " << PortLabel(p) << " (was " << Detection(p)
            << "): " << PrintableKey(p.ParameterKey()) << "\n";
    }
    if (targets.empty()) out << "no serial ports found\n";
    bool later = changed;
    if (options.now && !written.empty()) {
        // Only the ports written: nothing is restarted or removed where the
        // write failed, and mice whose port cannot be told are removed only
        // when every port was asked for and written.
        handlers.clear();
        const MiceInventory mice = FindSerialMice(devices, registry, inventory.ports);
        (void)ReportDeviceRefusal(mice.status, "their serial mice are not removed", err);
        (void)ReportRefusals(mice.refusals, "a serial mouse's port may not be told", err);
        const bool everyPort = options.all && written.size() == targets.size();
        const ReliefReport report = RelieveNow(devices, registry, PlanMice(mice, written, everyPort), written);
        SayRelief(report, out);
        later = !report.AllInForceNow();
    }
    if (later) out << kReminder;
    if (result != cliexit::kDone) return result;
    return options.now && later ? cliexit::kAtNextRestart : cliexit::kDone;
}

}  // namespace portquell
