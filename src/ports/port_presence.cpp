#include "ports/port_presence.h"

#include <algorithm>
#include <map>

#include "ports/serial_enumerator.h"

namespace portquell {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Marks the ports a listing holds; false when it failed.
bool Mark(DeviceApi& devices, const std::string& classGuid, const std::string& enumerator,
          std::vector<SerialPort>& ports, DevStatus& failure) {
    std::vector<DeviceInfo> listed;
    const DevStatus status = devices.ListDevices(classGuid, enumerator, listed);
    if (!status.Ok()) {
        if (failure.Ok()) failure = status;
        return false;
    }
    std::map<std::string, bool> present;  // by upper-case instance ID
    for (const DeviceInfo& device : listed) {
        if (!device.instanceId.empty()) present[Upper(device.instanceId)] = device.present;
    }
    for (SerialPort& port : ports) {
        const auto found = present.find(Upper(port.InstanceId()));
        if (found != present.end()) port.connected = found->second;
    }
    return true;
}

}  // namespace

DevStatus FindConnections(DeviceApi& devices, std::vector<SerialPort>& ports) {
    DevStatus failure;
    if (ports.empty()) return failure;
    (void)Mark(devices, kPortsClassGuid, "", ports, failure);
    std::vector<std::string> enumerators;  // upper case, each once
    for (const SerialPort& port : ports) {
        const std::string enumerator = Upper(port.enumerator);
        if (!port.connected && std::find(enumerators.begin(), enumerators.end(), enumerator) == enumerators.end()) {
            enumerators.push_back(enumerator);
        }
    }
    for (const std::string& enumerator : enumerators) {
        if (!enumerator.empty()) (void)Mark(devices, "", enumerator, ports, failure);
    }
    return failure;
}

}  // namespace portquell
