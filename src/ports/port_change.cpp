#include "ports/port_change.h"

#include "ports/port_presence.h"

namespace portquell {

PortChange ChangePorts(RegistryApi& registry, DeviceApi& devices, const std::vector<SerialPort>& every,
                       const std::vector<SerialPort>& targets, bool off, bool now, bool everyPort) {
    PortChange change;
    change.writes = WriteDetection(registry, targets, off);
    if (!now || !change.writes.Done() || change.writes.written.empty()) return change;
    // A port not connected is not restarted.
    std::vector<SerialPort> written = change.writes.written;
    FindConnections(devices, written);
    change.mice = FindSerialMice(devices, registry, every);
    change.relief = RelieveNow(devices, registry, PlanMice(*change.mice, written, everyPort), written);
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
