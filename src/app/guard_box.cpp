#include "app/guard_box.h"

#include "app/frmMain_events.h"
#include "app/main_window.h"
#include "app/system_error_text.h"
#include "app/window_design.h"
#include "app/window_changes.h"
#include "guard/guard_run.h"
#include "ports/port_identity.h"

namespace portquell {

bool bGuardOffered = false;

namespace {

// The guard's report around policy: the mice are listed only where the
// policy is in force, since it cannot hold otherwise.
GuardReport GuardNow(RegistryApi& registry, DeviceApi& devices, GuardState policy) {
    if (policy.InForce()) return ReadGuardReport(registry, devices, std::move(policy));
    GuardReport report;
    report.policy = std::move(policy);
    return report;
}

// What a run did, in one message; true for a warning (nothing as asked).
std::pair<std::string, bool> RunText(bool on, const GuardRun& run) {
    const GuardChange& change = run.change;
    std::string text;
    bool warning = false;
    switch (change.outcome) {
        case GuardChange::Outcome::Done:
        case GuardChange::Outcome::Unchanged:
            if (on) {
                text = "Serial mice are kept off every port now, also ports added later: Windows installs no serial "
                       "mouse's driver. This also keeps a real serial mouse from getting one; clearing the box undoes "
                       "it.";
                if (run.MiceLeft()) {
                    text += "\r\n\r\nA serial mouse installed before keeps its driver until Windows restarts.";
                } else if (!run.removals.empty()) {
                    text += "\r\n\r\nThe serial mice installed before it were removed.";
                }
            } else {
                text = change.outcome == GuardChange::Outcome::Done
                           ? "Serial mice are no longer kept off every port: what Portquell set is undone."
                           : "Serial mice were not kept off every port, and Portquell had set nothing to undo.";
            }
            break;
        case GuardChange::Outcome::StillInForce:
            text = "Serial mice stay kept off every port: another administrator's entry (Group Policy or Intune) "
                   "names them, and Portquell did not add it.";
            break;
        case GuardChange::Outcome::SwitchLeftOn:
            text = "Portquell's entry is removed; the device installation policy stays on for the other entries in "
                   "its list.";
            break;
        case GuardChange::Outcome::OthersOff:
            warning = true;
            text = "Nothing was changed: the device installation policy's list holds entries another administrator "
                   "left off, and switching it on would put them in force. Whoever set that list adds SERIAL_MOUSE "
                   "to it and switches it on.";
            break;
        case GuardChange::Outcome::Refused:
            warning = true;
            text = "The change could not be made: ";
            text += change.refusals.empty() ? change.refusedWhy
                                            : "the registry refused it (" + StatusInWords(change.refusals.front().status) + ")";
            text += change.notUndone.empty() ? ". Nothing was changed." : ". Not everything could be put back.";
            if (!change.refusals.empty() && change.refusals.front().status == regstatus::kAccessDenied) {
                text += "\r\n\r\nThis needs administrator rights. Start Portquell with \"Run as administrator\" and "
                        "try again.";
            }
            break;
    }
    return {text, warning};
}

// Runs the guard on or off and shows the outcome: the box as the guard now
// holds or not.
void Run(MainWindow& form, bool on, RegistryApi& registry, DeviceApi& devices) {
    GuardRun run;
    if (!RunWindowChange(form, registry, devices,
                         on ? "serial mice kept off every port" : "serial mice no longer kept off every port",
                         [&](RegistryApi& r, DeviceApi& d) { run = RunGuard(on, r, d); })) {
        // The box as the guard holds, which nothing changed.
        form.SetGuardState(ReadGuardReport(registry, devices).HoldsForCertain() ? kTicked : kCleared);
        return;
    }
    form.SetGuardState(run.after.HoldsForCertain() ? kTicked : kCleared);
    const auto [text, warning] = RunText(on, run);
    form.MessageBox(text, warning ? MessageIcon::Warning : MessageIcon::None);
}

}  // namespace

void ShowGuardBox(MainWindow& form, RegistryApi& registry, DeviceApi& devices, bool otherPorts) {
    GuardState policy = ReadGuard(registry);
    if (!GuardSet(policy) && !otherPorts) return;
    form.SetGuardVisible(true);
    form.SetGuardState(GuardNow(registry, devices, std::move(policy)).HoldsForCertain() ? kTicked : kCleared);
}

void OfferGuard(MainWindow& form, const SerialPort& port, RegistryApi& registry, DeviceApi& devices) {
    if (bGuardOffered || port.WindowInstance()) return;
    std::vector<SerialPort> ports{port};
    IdentifyPorts(registry, devices, ports);
    if (!ports[0].identity || !ports[0].identity->usb || !ports[0].identity->usb->tiedToSocket) return;
    if (!OfferGuardFor(ports[0], GuardNow(registry, devices, ReadGuard(registry)))) return;
    bGuardOffered = true;
    if (!form.AskYesNo("This adapter has no serial number: plugged into another USB socket it becomes a new port, "
                       "where Windows may take it for a serial mouse again.\r\n\r\n"
                       "Keep serial mice off every port, now and later? This also keeps a real serial mouse from "
                       "getting a driver; clearing \"" + std::string(design::kGuardCaption) + "\" undoes it.")) {
        return;
    }
    Run(form, true, registry, devices);
}

void chkGuard_Click(MainWindow& form, RegistryApi& registry, DeviceApi& devices) {
    Run(form, form.GuardState() == kTicked, registry, devices);
}

}  // namespace portquell
