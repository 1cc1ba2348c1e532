#include "ports/port_presence.h"

#include <algorithm>
#include <map>

#include "ports/serial_enumerator.h"

namespace portquell {

namespace {

// Marks the ports a listing holds; a failed listing marks none.
void Mark(DeviceApi& devices, const std::string& classGuid, const std::string& enumerator,
          std::vector<SerialPort>& ports) {
    std::vector<DeviceInfo> listed;
    if (!devices.ListDevices(classGuid, enumerator, listed).Ok()) return;
    std::map<std::string, bool> present;  // by upper-case instance ID
    for (const DeviceInfo& device : listed) {
        if (!device.instanceId.empty()) present[UpperText(device.instanceId)] = device.present;
    }
    for (SerialPort& port : ports) {
        const auto found = present.find(UpperText(port.InstanceId()));
        if (found != present.end()) port.connected = found->second;
    }
}

}  // namespace

void FindConnections(DeviceApi& devices, std::vector<SerialPort>& ports) {
    // Each enumerator's ports of the Ports class, then its devices of any
    // class for a port that listing does not hold: each listing only as
    // long as the enumerator's part of the tree, however many devices
    // the machine has seen.
    std::vector<std::string> enumerators;  // upper case, each once
    for (const SerialPort& port : ports) {
        const std::string enumerator = UpperText(port.enumerator);
        if (!enumerator.empty() && std::find(enumerators.begin(), enumerators.end(), enumerator) == enumerators.end()) {
            enumerators.push_back(enumerator);
        }
    }
    for (const std::string& enumerator : enumerators) {
        Mark(devices, kPortsClassGuid, enumerator, ports);
        const bool unknown = std::any_of(ports.begin(), ports.end(), [&](const SerialPort& p) {
            return !p.connected && UpperText(p.enumerator) == enumerator;
        });
        if (unknown) Mark(devices, "", enumerator, ports);
    }
}

}  // namespace portquell
