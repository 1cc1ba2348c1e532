#include "ports/port_relief.h"

#include <algorithm>

namespace portquell {

bool Relief::Removal::Gone() const {
    return status.Ok() ||
           (status.kind == DevStatus::Kind::Win32 && status.code == devstatus::kNoSuchDevinst);
}

bool Relief::MiceGone() const {
    return std::all_of(removals.begin(), removals.end(), [](const Removal& r) { return r.Gone(); });
}

bool Relief::InForceNow() const { return restart.Ok() && MiceGone(); }

Relief RelieveNow(DeviceApi& devices, const SerialPort& port, const std::vector<SerialMouse>& mice) {
    Relief relief;
    // The restart first: the port's stack stops, and with it the mouse it
    // made; then the mouse's device is uninstalled.
    relief.restart = devices.RestartDevice(port.InstanceId());
    for (const SerialMouse& mouse : mice) {
        relief.removals.push_back({mouse, devices.RemoveDevice(mouse.device.instanceId)});
    }
    return relief;
}

}  // namespace portquell
