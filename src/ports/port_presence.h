// Whether each serial port is connected now: an unplugged USB adapter is a
// device instance whose device node is not present. Windows cannot
// restart it; its driver stack is built afresh, reading SkipEnumerations,
// when it is next plugged in.
#pragma once

#include <vector>

#include "devices/device_api.h"
#include "ports/serial_port.h"

namespace portquell {

// Sets each port's connected from one listing of the Ports class per
// enumerator of the ports and, for ports that listing does not hold
// (another class), one listing of all that enumerator's devices. A port
// found in no listing, or behind one that failed, is left unknown.
void FindConnections(DeviceApi& devices, std::vector<SerialPort>& ports);

}  // namespace portquell
