#include "ports/port_change.h"

#include "ports/port_presence.h"

namespace portquell {

ReliefReport RelieveWritten(RegistryApi& registry, DeviceApi& devices, const MiceInventory& mice,
                            std::vector<SerialPort> written, bool everyPort) {
    // A port not connected is not restarted.
    FindConnections(devices, written);
    return RelieveNow(devices, registry, PlanMice(mice, written, everyPort), written);
}

std::vector<SerialMouse> MiceToRelieve(const MiceInventory& mice, const SerialPort& port) {
    std::vector<SerialMouse> present;
    for (const SerialMouse& mouse : PlanMice(mice, {port}, false).For(port)) {
        if (mouse.device.present) present.push_back(mouse);
    }
    return present;
}

PortChange ChangePorts(RegistryApi& registry, DeviceApi& devices, const std::vector<SerialPort>& every,
                       const std::vector<SerialPort>& targets, bool off, bool now, bool everyPort) {
    PortChange change;
    change.writes = WriteDetection(registry, targets, off);
    // Relief is for every port asked about, also one that held the value
    // already: its mice may still be installed.
    if (!now || !change.writes.Done() || targets.empty()) return change;
    change.mice = FindSerialMice(devices, registry, every);
    change.relief = RelieveWritten(registry, devices, *change.mice, targets, everyPort);
    return change;
}

PortPreview PreviewPorts(RegistryApi& registry, DeviceApi& devices, const std::vector<SerialPort>& every,
                         const std::vector<SerialPort>& targets, bool off, bool now, bool everyPort) {
    PortPreview preview;
    preview.change = Preview(registry, devices, preview.plan, [&](RegistryApi& r, DeviceApi& d) {
        return ChangePorts(r, d, every, targets, off, now, everyPort);
    });
    return preview;
}

}  // namespace portquell
