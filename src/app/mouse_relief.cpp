#include "app/mouse_relief.h"

#include <algorithm>

#include "app/main_window.h"
#include "ports/port_relief.h"
#include "ports/serial_mice.h"

namespace portquell {

namespace {

std::string Name(const SerialPort& port) { return port.portName.empty() ? port.InstanceId() : port.portName; }

std::string Outcome(const SerialPort& port, const Relief& relief) {
    const std::string name = Name(port);
    if (relief.InForceNow()) {
        return "The serial mouse on " + name + " was removed and the port restarted: mouse detection is off for " +
               name + " from now on.";
    }
    if (relief.MiceGone()) {
        return "The serial mouse on " + name + " was removed, but Windows did not restart the port (" +
               DevStatusText(relief.restart) + ").\r\n\r\nMouse detection stays on for " + name +
               " until Windows restarts: until then a scan for hardware changes may find the mouse again.";
    }
    const auto failed = std::find_if(relief.removals.begin(), relief.removals.end(),
                                     [](const Relief::Removal& r) { return !r.Gone(); });
    if (failed->status.AtNextRestart()) {
        return "The serial mouse on " + name + " will be removed when Windows restarts (" +
               DevStatusText(failed->status) + "). Mouse detection is off for " + name + " from then on.";
    }
    std::string text = "The serial mouse on " + name + " could not be removed (" + DevStatusText(failed->status) + ")";
    if (failed->status.kind == DevStatus::Kind::Win32 && failed->status.code == devstatus::kAccessDenied) {
        text += ": removing devices needs administrator rights";
    }
    return text + ".\r\n\r\nIt goes when Windows restarts: mouse detection is off for " + name + " from then on.";
}

}  // namespace

void OfferMouseRemoval(MainWindow& form, const SerialPort& port, RegistryApi& registry, DeviceApi& devices) {
    const MiceInventory mice = FindSerialMice(devices, registry, {port});
    const std::vector<SerialMouse> on = MiceOn(mice, port);
    const bool present = std::any_of(on.begin(), on.end(), [](const SerialMouse& m) { return m.device.present; });
    if (!present) return;
    const std::string name = Name(port);
    if (!form.AskYesNo("Windows has taken the device on " + name +
                       " for a serial mouse, and that mouse is installed now.\r\n\r\n"
                       "Remove it now? Portquell restarts the port and removes the mouse, so the pointer "
                       "stops jumping without restarting Windows.")) {
        return;
    }
    form.MessageBox(Outcome(port, RelieveNow(devices, port, on)), MessageIcon::None);
}

}  // namespace portquell
