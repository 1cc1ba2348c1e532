// Watching for the serial port that appears or goes as a person plugs a
// device in or pulls it out: how someone finds which port is theirs. A
// look is one listing of the Ports class; the ports are read again only
// when that listing changed, so that a watch costs almost nothing while
// nothing happens.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

struct PortEvent {
    enum class Kind { Appeared, Went };
    Kind kind = Kind::Appeared;
    SerialPort port;  // with its connection and device as read
};

class PortWatch {
public:
    // Reads what is there now; registry and devices must outlive the watch.
    PortWatch(RegistryApi& registry, DeviceApi& devices);

    // One look. A connection that could not be told counts as neither. A
    // listing that changed without a port's appearing or going
    // (a device whose port is not named yet) has the ports read again at
    // the next few looks too. A port appeared: a new instance, or one not connected that
    // is now; it went: one connected that is not now, or whose instance is
    // gone. The first such, in the registry's order; none when nothing
    // changed (or the listing failed).
    [[nodiscard]] std::optional<PortEvent> Look();

private:
    // The Ports class's device instances, each with whether it is present;
    // none when the listing failed.
    std::optional<std::set<std::string>> List();
    std::vector<SerialPort> ReadPorts();

    RegistryApi& registry_;
    DeviceApi& devices_;
    std::optional<std::set<std::string>> listed_;
    std::vector<SerialPort> ports_;
    int unsettled_ = 0;  // looks left that read the ports whatever the listing
};

}  // namespace portquell
