#include "app/mouse_scan.h"

#include <algorithm>

#include "app/mouse_relief.h"
#include "app/system_error_text.h"
#include "ports/mice_plan.h"
#include "ports/port_inventory.h"
#include "ports/serial_mice.h"

namespace portquell {

namespace {

// A device status with the system's description where it has one.
std::string StatusInWords(DevStatus status) {
    std::string text = DevStatusText(status);
    if (status.kind == DevStatus::Kind::Win32 && text.find(':') == std::string::npos) {
        const std::string description = SystemErrorText(static_cast<std::int32_t>(status.code));
        if (!description.empty()) text += ": " + description;
    }
    return text;
}

std::string OthersLine(std::size_t others) {
    return std::to_string(others) +
           (others == 1 ? " other serial port (USB adapter, PCI card) is" : " other serial ports (USB adapters, PCI cards) are") +
           " not listed: start portquell.exe /all to list every port.";
}

}  // namespace

StartupMice LookForSerialMice(RegistryApi& registry, DeviceApi& devices, bool windowFoundPorts) {
    StartupMice found;
    // The serial enumerator's children: every mouse detection on a port
    // makes (a failed listing has none).
    MiceInventory mice = ListSerialMice(devices, MiceSource::SerialEnumerator);
    const bool anyPresent =
        std::any_of(mice.mice.begin(), mice.mice.end(), [](const SerialMouse& m) { return m.device.present; });
    std::vector<std::string> untold;
    if (anyPresent || !windowFoundPorts) {
        const PortInventory all = TakeInventory(registry, PortScope::All);
        if (anyPresent) {
            // Placed among every port, as portquell-cli places them.
            PlaceSerialMice(mice, registry, all.ports);
            for (const SerialPort& port : PortsWithPresentMouse(mice, all.ports)) {
                if (port.WindowInstance()) continue;  // listed already
                found.ports.push_back(port);
                found.lines.push_back(PortTitle(port) +
                                      " is listed because Windows has taken the device on it for a serial mouse.");
            }
            for (const SerialMouse& mouse : mice.mice) {
                if (mouse.device.present && mouse.Untold()) untold.push_back(UntoldMouseLine(mouse));
            }
        }
        const std::size_t others = CountOutsideWindow(all) - found.ports.size();
        if (others > 0) found.lines.push_back(OthersLine(others));
    }
    found.lines.insert(found.lines.end(), untold.begin(), untold.end());
    if (!mice.status.Ok()) {
        found.lines.push_back("The serial mice could not be listed (" + StatusInWords(mice.status) +
                              "): a port on which Windows has taken the device for a serial mouse may not be "
                              "listed.");
    }
    return found;
}

}  // namespace portquell
