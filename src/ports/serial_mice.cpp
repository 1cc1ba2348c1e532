#include "ports/serial_mice.h"

#include <algorithm>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// "ENUMERATOR\DEVICE\INSTANCE": the instance part; "" when the ID has
// fewer parts.
std::string InstancePart(const std::string& instanceId) {
    const std::size_t first = instanceId.find('\\');
    if (first == std::string::npos) return "";
    const std::size_t second = instanceId.find('\\', first + 1);
    return second == std::string::npos ? "" : instanceId.substr(second + 1);
}

std::string EnumeratorPart(const std::string& instanceId) { return instanceId.substr(0, instanceId.find('\\')); }

// Each port's ParentIdPrefix as a REG_SZ of its instance key; "" where it
// has none or it cannot be read.
std::vector<std::string> ParentIdPrefixes(RegistryApi& registry, const std::vector<SerialPort>& ports) {
    std::vector<std::string> prefixes;
    clsRegHandler handler(registry);
    for (const SerialPort& port : ports) {
        std::string prefix;
        if (handler.OpenRegistry(regroot::kLocalMachine, port.InstanceKey(), false)) {
            prefix = handler.GetValue(kParentIdPrefix);
            if (handler.LastRegStatus() != regstatus::kSuccess ||
                handler.LastValueType() != std::optional<std::uint32_t>(regtype::kSz)) {
                prefix.clear();
            }
            (void)handler.CloseRegistry();
        }
        prefixes.push_back(prefix);
    }
    return prefixes;
}

}  // namespace

bool IsSerialMouse(const DeviceInfo& device) {
    if (!SameTextIgnoringCase(device.classGuid, kMouseClassGuid)) return false;
    if (SameTextIgnoringCase(EnumeratorPart(device.instanceId), kSerialEnumerator)) return true;
    return std::any_of(device.compatibleIds.begin(), device.compatibleIds.end(),
                       [](const std::string& id) { return SameTextIgnoringCase(id, kSerialMouseId); });
}

MiceInventory FindSerialMice(DeviceApi& devices, RegistryApi& registry, const std::vector<SerialPort>& ports) {
    MiceInventory inventory;
    std::vector<DeviceInfo> listed;
    inventory.status = devices.ListDevices(kMouseClassGuid, "", listed);
    if (!inventory.status.Ok()) return inventory;
    std::optional<std::vector<std::string>> prefixes;
    for (DeviceInfo& device : listed) {
        if (!IsSerialMouse(device)) continue;
        SerialMouse mouse{std::move(device), std::nullopt};
        const auto byParent = std::find_if(ports.begin(), ports.end(), [&](const SerialPort& p) {
            return !mouse.device.parent.empty() && SameTextIgnoringCase(p.InstanceId(), mouse.device.parent);
        });
        if (byParent != ports.end()) {
            mouse.port = *byParent;
        } else if (mouse.device.parent.empty()) {
            // No parent from the system: the instance ID begins with the
            // port's ParentIdPrefix and '&'.
            if (!prefixes) prefixes = ParentIdPrefixes(registry, ports);
            const std::string instance = InstancePart(mouse.device.instanceId);
            for (std::size_t i = 0; i < ports.size(); ++i) {
                const std::string& prefix = (*prefixes)[i];
                if (!prefix.empty() && instance.size() > prefix.size() &&
                    SameTextIgnoringCase(instance.substr(0, prefix.size()), prefix) &&
                    instance[prefix.size()] == '&') {
                    mouse.port = ports[i];
                    break;
                }
            }
        }
        inventory.mice.push_back(std::move(mouse));
    }
    return inventory;
}

std::vector<SerialMouse> MiceOn(const MiceInventory& inventory, const SerialPort& port) {
    std::vector<SerialMouse> on;
    for (const SerialMouse& mouse : inventory.mice) {
        if (mouse.port && SameTextIgnoringCase(mouse.port->InstanceKey(), port.InstanceKey())) on.push_back(mouse);
    }
    return on;
}

}  // namespace portquell
