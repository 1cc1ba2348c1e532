#include "app/mouse_relief.h"

#include <algorithm>

#include "app/main_window.h"
#include "ports/mice_plan.h"
#include "ports/port_inventory.h"
#include "ports/port_relief.h"
#include "ports/serial_mice.h"

namespace portquell {

namespace {

std::string Name(const SerialPort& port) { return port.portName.empty() ? port.InstanceId() : port.portName; }

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

// The message after Yes: the port's restart, then each of its mice
// (present ones first), then what may still be there. Every line says
// only what happened.
std::string Outcome(const std::string& name, const ReliefReport& report) {
    const Relief& relief = report.ports.front();
    std::string text;
    if (relief.restart.Ok()) {
        text = name + " was restarted: mouse detection is off for " + name + " from now on.";
    } else {
        text = "Windows did not restart " + name + " (" + DevStatusText(relief.restart) +
               "): mouse detection stays on for " + name +
               " until Windows restarts, and until then a scan for hardware changes may find a removed mouse again.";
    }
    text += "\r\n";
    for (const Relief::Removal& removal : relief.removals) text += "\r\n" + RemovalLine(name, removal);
    for (const SerialMouse& mouse : report.left) {
        text += "\r\n\r\nA serial mouse on a port that cannot be told (" + DeviceName(mouse.device) +
                ") is present and was not removed.";
    }
    if (!report.miceComplete) {
        text += "\r\n\r\nNot every serial mouse could be listed and told to its port: another may still be "
                "installed.";
    }
    return text;
}

}  // namespace

void OfferMouseRemoval(MainWindow& form, const SerialPort& port, RegistryApi& registry, DeviceApi& devices) {
    // Without a serial mouse present anywhere there is nothing to ask, and
    // the ports need not be read: a tick stays cheap.
    MiceInventory mice = ListSerialMice(devices);
    if (std::none_of(mice.mice.begin(), mice.mice.end(), [](const SerialMouse& m) { return m.device.present; })) {
        return;
    }
    // Every port of the machine, so that a mouse is placed as portquell-cli
    // places it (a prefix two ports carry places it on neither).
    PlaceSerialMice(mice, registry, TakeInventory(registry, PortScope::All).ports);
    const MicePlan plan = PlanMice(mice, {port}, false);
    const std::vector<SerialMouse> on = plan.For(port);
    const bool present = std::any_of(on.begin(), on.end(), [](const SerialMouse& m) { return m.device.present; });
    if (!present) return;
    const std::string name = Name(port);
    if (!form.AskYesNo("Windows has taken the device on " + name +
                       " for a serial mouse, and that mouse is installed now.\r\n\r\n"
                       "Remove it now? Portquell restarts the port and removes the mouse, so the pointer "
                       "stops jumping without restarting Windows.")) {
        return;
    }
    form.MessageBox(Outcome(name, RelieveNow(devices, plan, {port})), MessageIcon::None);
}

}  // namespace portquell
