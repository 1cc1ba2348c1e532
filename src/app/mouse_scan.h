// Start-up's look for serial mice: the ports outside the window's own
// list on which Windows has a serial mouse present now (the window lists
// them too, so that a port behind a USB adapter with the problem is not
// missed), and the report's lines about them and about the ports not
// listed.
#pragma once

#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

struct StartupMice {
    std::vector<SerialPort> ports;   // to list after the window's own, in the registry's order
    std::vector<std::string> lines;  // the report's lines below its first, in the order shown
};

// Lists the serial mice once. Every port of the machine is read only
// when a serial mouse is present (to place it as portquell-cli does) or
// when the window found none of its own (to count the others); without
// either, start-up reads nothing more. A listing that failed lists no
// port and says so in one line.
[[nodiscard]] StartupMice LookForSerialMice(RegistryApi& registry, DeviceApi& devices, bool windowFoundPorts);

}  // namespace portquell
