// disable and enable: SkipEnumerations written to every port asked about,
// or to none when any of them cannot be found, read, opened or written.
#include <sstream>

#include "cli/cli_commands.h"
#include "cli/cli_formats.h"
#include "cli/cli_text.h"
#include "cli/portquell_cli.h"
#include "ports/port_change.h"

namespace portquell {

namespace {

constexpr const char* kReminder =
    "Windows applies the change when it next enumerates the port: restart the\n"
    "computer, or unplug and replug a USB adapter.\n";

// Each port's relief in one line (in force now, or at the next restart and
// why), then the mice whose port cannot be told.
void SayRelief(const ReliefReport& report, std::ostream& out) {
    for (const Relief& relief : report.ports) {
        out << PortLabel(relief.port) << ": " << VerdictText(report.VerdictOf(relief));
        if (relief.need == Relief::Need::NoEnumerator) {
            out << ": no serial enumerator on this port: no mouse can be detected here";
        } else if (relief.need == Relief::Need::NotConnected) {
            out << ": not connected now, so not restarted";
        } else if (relief.need == Relief::Need::OffAlready) {
            out << ": off already; no serial mouse: nothing to restart";
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

// A refused open or write, and the ports it left changed; returns the
// exit status.
int SayRefusedWrite(const PortWrites& writes, std::ostream& err) {
    const PortRefusal& refused = *writes.refused;
    const RegStatus status = refused.status;
    const bool denied = status == regstatus::kAccessDenied;
    const std::string label = refused.port ? PortLabel(*refused.port) : PrintableKey(refused.key);
    if (refused.step == PortRefusal::Step::Open) {
        err << kProgram << ": " << (denied ? "access denied to " : "the registry refused to open ")
            << PrintableKey(refused.key);
        if (!denied) err << " (status " << status << ")";
    } else if (refused.step == PortRefusal::Step::Read) {
        err << kProgram << ": could not read SkipEnumerations of " << label << " (status " << status
            << "), so it was not written";
    } else {
        err << kProgram << ": could not write SkipEnumerations for " << label << " (status " << status << ")";
    }
    err << (denied ? ".\nWriting needs administrator rights: run it from an elevated command prompt (Run as "
                     "administrator)."
                   : ".");
    if (writes.left.empty()) {
        err << " Nothing was changed" << (refused.step != PortRefusal::Step::Open ? ": every port written before it was put back" : "")
            << ".\n";
    } else {
        err << " Not every port written before it could be put back:\n";
        for (const PortWrites::Left& left : writes.left) {
            err << kProgram << ": " << PortLabel(left.port) << " is left changed: ";
            if (left.readStatus != regstatus::kSuccess) {
                err << "its value could not be read back (status " << left.readStatus << ")\n";
            } else {
                err << SkipReason(left.port.skip) << " (mouse detection " << Detection(left.port) << ")\n";
            }
        }
    }
    return denied ? cliexit::kAccessDenied : cliexit::kRegistryError;
}

// Each port's relief as it would go: restarted or not and why, and the
// mice that would be removed.
void SayPlannedRelief(const ReliefReport& report, std::ostream& out) {
    for (const Relief& relief : report.ports) {
        out << PortLabel(relief.port) << ": ";
        switch (relief.need) {
            case Relief::Need::Restart:
                out << "would restart the port";
                break;
            case Relief::Need::NoEnumerator:
                out << "not restarted: no serial enumerator on this port: no mouse can be detected here";
                break;
            case Relief::Need::NotConnected:
                out << "not restarted: not connected now; in force when it is next connected";
                break;
            case Relief::Need::OffAlready:
                out << "not restarted: off already; no serial mouse";
                break;
        }
        for (const Relief::Removal& removal : relief.removals) {
            out << "; would remove serial mouse " << DeviceLabel(removal.mouse.device.instanceId);
        }
        out << "\n";
    }
    for (const Relief::Removal& removal : report.unattached) {
        out << "would remove serial mouse " << DeviceLabel(removal.mouse.device.instanceId) << " (port cannot be told)\n";
    }
    for (const SerialMouse& mouse : report.left) {
        out << "serial mouse " << DeviceLabel(mouse.device.instanceId)
            << " is present on a port that cannot be told: it would not be removed\n";
    }
}

// --dry-run: the change run against stand-ins that keep its writes,
// restarts and removals; 0, or the status of a refused read.
int ShowPreview(const Options& options, RegistryApi& registry, DeviceApi& devices, const std::vector<SerialPort>& every,
                SwitchReport& json, std::ostream& say, std::ostream& err) {
    const bool off = options.command == "disable";
    const PortPreview preview =
        PreviewPorts(registry, devices, every, json.ports, off, options.now, options.all);
    json.dryRun = true;
    json.writes = preview.change.writes;
    json.relief = preview.change.relief;
    json.plan = preview.plan;
    const PortWrites& writes = preview.change.writes;
    if (!writes.Done()) {
        json.refused.push_back(*writes.refused);
        return ReportRefusals({*writes.refused}, "nothing would be changed", err);
    }
    for (const SerialPort& p : writes.already) say << PortLabel(p) << ": " << (off ? "off" : "on") << " already\n";
    for (const SerialPort& p : writes.written) {
        say << "would " << options.command << " mouse detection on " << PortLabel(p) << " (now " << Detection(p)
            << "): " << PrintableKey(p.ParameterKey()) << " " << kSkipEnumerations << " = REG_DWORD "
            << (off ? "-1" : "0") << "\n";
    }
    if (json.ports.empty()) say << "no serial ports found\n";
    if (!preview.change.relief) return cliexit::kDone;
    SayPlannedRelief(*preview.change.relief, say);
    return WorseExit(ReportDeviceRefusal(preview.change.mice->status, "the serial mice it would remove are not known", err),
                     ReportRefusals(preview.change.mice->refusals, "a serial mouse's port may not be told", err));
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
    SwitchReport json;
    json.off = off;
    json.ports = selection.ports;
    json.missing = selection.missing;
    json.refused = selection.refusals;
    // Every outcome ends in one document on stdout with --json.
    const auto done = [&](int code) {
        if (options.json) WriteSwitchJson(json, out);
        return code;
    };
    const int refused = ReportRefusals(selection.refusals, "nothing was changed", err);
    if (refused != cliexit::kDone) return done(refused);
    if (!selection.missing.empty()) {
        ReportMissing(selection.missing, err);
        err << kProgram << ": nothing was changed.\n";
        return done(cliexit::kPortNotFound);
    }
    const std::vector<SerialPort>& targets = selection.ports;
    const char* verb = off ? "disable" : "enable";
    // The text for people, or (--json) the document alone on stdout.
    std::ostringstream text;
    std::ostream& say = options.json ? static_cast<std::ostream&>(text) : out;
    if (options.dryRun) return done(ShowPreview(options, registry, devices, inventory.ports, json, say, err));

    const PortChange change = ChangePorts(registry, devices, inventory.ports, targets, off, options.now, options.all);
    json.writes = change.writes;
    const PortWrites& writes = change.writes;
    if (!writes.Done()) {
        json.refused.push_back(*writes.refused);
        return done(SayRefusedWrite(writes, err));
    }
    for (const SerialPort& p : writes.already) say << PortLabel(p) << ": " << (off ? "off" : "on") << " already\n";
    for (const SerialPort& p : writes.written) {
        say << verb << "d mouse detection on " << PortLabel(p) << " (was " << Detection(p)
            << "): " << PrintableKey(p.ParameterKey()) << "\n";
    }
    if (targets.empty()) say << "no serial ports found\n";
    bool later = !writes.written.empty();
    if (change.relief) {
        // Mice whose port cannot be told are removed only when every port
        // was asked for; a port not connected is not restarted.
        (void)ReportDeviceRefusal(change.mice->status, "their serial mice are not removed", err);
        (void)ReportRefusals(change.mice->refusals, "a serial mouse's port may not be told", err);
        json.relief = change.relief;
        SayRelief(*json.relief, say);
        later = !json.relief->AllInForceNow();
    }
    if (later) say << kReminder;
    return done(options.now && later ? cliexit::kAtNextRestart : cliexit::kDone);
}

}  // namespace portquell
