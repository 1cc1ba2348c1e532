#include "app/mouse_relief.h"

#include <algorithm>
#include <optional>

#include "app/main_window.h"
#include "app/window_changes.h"
#include "ports/mice_plan.h"
#include "ports/port_change.h"
#include "ports/port_inventory.h"
#include "ports/port_relief.h"
#include "ports/serial_mice.h"

namespace portquell {

namespace {

std::string DeviceName(const DeviceInfo& device) {
    return device.instanceId.empty() ? "instance ID unreadable" : device.instanceId;
}

// One line for one mouse of the port: what became of it.
std::string RemovalLine(const std::string& name, const Relief::Removal& removal) {
    std::string line = (removal.mouse.device.present ? "The serial mouse on " : "The serial mouse left from before on ") +
                       name + " (" + DeviceName(removal.mouse.device) + ")";
    const DevStatus status = removal.status;
    if (status.Ok()) return line + " was removed.";
    if (status.Vanished()) return line + " was gone already.";
    if (status.AtNextRestart()) return line + " will be removed when Windows restarts (" + DevStatusText(status) + ").";
    line += " could not be removed (" + DevStatusText(status) + ")";
    if (status.kind == DevStatus::Kind::Win32 && status.code == devstatus::kAccessDenied) {
        line += ": removing devices needs administrator rights";
    }
    return line + ".";
}

// The message after Yes: the port's verdict (the one portquell-cli
// disable --now words too), then each of the port's mice (present ones
// first), then what may still be there. Every line says only what
// happened.
std::string Outcome(const std::string& name, const ReliefReport& report) {
    const Relief& relief = report.ports.front();
    const ReliefVerdict verdict = report.VerdictOf(relief);
    std::string text;
    switch (verdict.kind) {
        case ReliefVerdict::Kind::Now:
            text = (relief.Restarts() ? name + " was restarted: " : "No serial enumerator is on " + name + ": ") +
                   "mouse detection is off for " + name + " from now on.";
            break;
        case ReliefVerdict::Kind::WhenConnected:
            text = name + " is not connected now: mouse detection is off for " + name + " when it is next connected.";
            break;
        case ReliefVerdict::Kind::Refused:
            if (relief.Restarts() && !relief.restart.Ok()) {
                text = "Windows did not restart " + name + " (" + DevStatusText(relief.restart) +
                       "): mouse detection stays on for " + name +
                       " until Windows restarts, and until then a scan for hardware changes may find a removed mouse "
                       "again.";
                break;
            }
            [[fallthrough]];
        case ReliefVerdict::Kind::AtNextRestart:
            text = (relief.Restarts() ? name + " was restarted, but " : "") + std::string("mouse detection is off for ") +
                   name + " only from the next restart of Windows: not every serial mouse that may be on it is gone.";
            break;
    }
    text += "\r\n";
    for (const Relief::Removal& removal : relief.removals) text += "\r\n" + RemovalLine(name, removal);
    for (const SerialMouse& mouse : report.left) text += "\r\n\r\n" + UntoldMouseLine(mouse);
    if (!report.miceComplete) {
        text += "\r\n\r\nNot every serial mouse could be listed and told to its port: another may still be "
                "installed.";
    }
    return text;
}

}  // namespace

std::string PortTitle(const SerialPort& port) { return port.portName.empty() ? port.InstanceId() : port.portName; }

std::string UntoldMouseLine(const SerialMouse& mouse) {
    return "A serial mouse whose port cannot be told (" + DeviceName(mouse.device) +
           ") is present and may be on any port: \"portquell-cli disable --all --now\" removes it.";
}

void OfferMouseRemoval(MainWindow& form, const SerialPort& port, RegistryApi& registry, DeviceApi& devices) {
    // The mice as disable --now lists them; without one present there is
    // nothing to ask, and the ports need not be read: a tick stays cheap.
    MiceInventory mice = ListSerialMice(devices, MiceSource::MouseClass);
    if (std::none_of(mice.mice.begin(), mice.mice.end(), [](const SerialMouse& m) { return m.device.present; })) {
        return;
    }
    // Placed among every port, as portquell-cli places them.
    PlaceSerialMice(mice, registry, TakeInventory(registry, PortScope::All).ports);
    if (MiceToRelieve(mice, port).empty()) {
        // Nothing of this port's to remove; a present mouse that may be on
        // it is still said.
        std::string text;
        for (const SerialMouse& mouse : PlanMice(mice, {port}, false).Left()) {
            text += (text.empty() ? "" : "\r\n") + UntoldMouseLine(mouse);
        }
        if (!text.empty()) form.MessageBox(text, MessageIcon::None);
        return;
    }
    const std::string name = PortTitle(port);
    if (!form.AskYesNo("Windows has taken the device on " + name +
                       " for a serial mouse, and that mouse is installed now.\r\n\r\n"
                       "Remove it now? Portquell restarts the port and removes the mouse, so the pointer "
                       "stops jumping without restarting Windows.")) {
        return;
    }
    std::optional<ReliefReport> relief;
    if (!RunWindowChange(form, registry, devices, "serial mouse on " + name + " removed",
                         [&](RegistryApi& r, DeviceApi& d) { relief = RelieveWritten(r, d, mice, {port}, false); })) {
        return;
    }
    form.MessageBox(Outcome(name, *relief), MessageIcon::None);
}

}  // namespace portquell
