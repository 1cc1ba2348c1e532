// The guard in the window: its box under the ports, shown where it
// matters, switched through the same run as portquell-cli guard on and
// off; and the offer of it after a tick on a port whose adapter becomes a
// new port in every USB socket.
#pragma once

#include "devices/device_api.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

class MainWindow;

// Set at the offer: it is made once per run.
extern bool bGuardOffered;

// At start-up: shows the guard's box where the guard is set, where a port
// outside the window's own is listed (otherPorts), or with /all, ticked
// where the guard holds (the mice are listed only when the policy is in
// force). Reads the policy; nothing else without a box to show.
void ShowGuardBox(MainWindow& form, RegistryApi& registry, DeviceApi& devices, bool otherPorts);

// After detection was switched off on port: where its adapter has no
// serial number and the guard does not hold, asks once per run whether to
// keep serial mice off every port; Yes runs guard on, as the box does.
void OfferGuard(MainWindow& form, const SerialPort& port, RegistryApi& registry, DeviceApi& devices);

}  // namespace portquell
