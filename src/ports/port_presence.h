// Whether each serial port is connected now: an unplugged USB adapter is a
// device instance whose device node is not present. Windows cannot
// restart it; its driver stack is built afresh, reading SkipEnumerations,
// when it is next plugged in.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/serial_port.h"

namespace portquell {

// The devices present now, listed once per command for every decision
// that needs it: which ports are connected, which mice are present.
struct Presence {
    DevStatus status;                 // the listing's; when it failed nothing is known
    std::vector<std::string> ids;     // as listed
    std::set<std::string> upper;      // the same in upper case
    [[nodiscard]] bool Has(const std::string& instanceId) const;  // any case
};

[[nodiscard]] Presence ListPresence(DeviceApi& devices);

// Sets each port's connected: whether it is present; left unknown when
// the listing failed.
void FindConnections(const Presence& presence, std::vector<SerialPort>& ports);

}  // namespace portquell
