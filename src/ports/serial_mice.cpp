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

// Each port's ParentIdPrefix, a REG_SZ of its instance key: "" where it
// has none (no key, no value, another type). A key or value the registry
// refused is a refusal, and the prefix unknown.
std::vector<std::string> ParentIdPrefixes(RegistryApi& registry, const std::vector<SerialPort>& ports,
                                          std::vector<PortRefusal>& refusals) {
    std::vector<std::string> prefixes;
    clsRegHandler handler(registry);
    for (const SerialPort& port : ports) {
        std::string prefix;
        if (handler.OpenRegistry(regroot::kLocalMachine, port.InstanceKey(), false)) {
            const RegValue value = handler.GetRawValue(kParentIdPrefix);
            if (value.Refused()) refusals.push_back({PortRefusal::Step::Read, value.status, port.InstanceKey(), port});
            prefix = value.Text();
            (void)handler.CloseRegistry();
        } else if (handler.LastRegStatus() != regstatus::kFileNotFound) {
            refusals.push_back({PortRefusal::Step::Open, RefusalStatus(handler), port.InstanceKey(), port});
        }
        prefixes.push_back(prefix);
    }
    return prefixes;
}

// The one port whose prefix and '&' begin instance; none when no port's
// does, when two ports' do, or when a prefix is unknown.
std::optional<SerialPort> PortByPrefix(const std::string& instance, const std::vector<SerialPort>& ports,
                                       const std::vector<std::string>& prefixes, bool everyPrefixRead) {
    std::optional<SerialPort> found;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::string& prefix = prefixes[i];
        if (prefix.empty() || instance.size() <= prefix.size() || instance[prefix.size()] != '&' ||
            !SameTextIgnoringCase(instance.substr(0, prefix.size()), prefix)) {
            continue;
        }
        if (found) return std::nullopt;
        found = ports[i];
    }
    return everyPrefixRead ? found : std::nullopt;
}

}  // namespace

bool IsSerialMouse(const DeviceInfo& device) {
    if (!SameTextIgnoringCase(device.classGuid, kMouseClassGuid)) return false;
    if (SameTextIgnoringCase(EnumeratorPart(device.instanceId), kSerialEnumerator)) return true;
    return std::any_of(device.compatibleIds.begin(), device.compatibleIds.end(),
                       [](const std::string& id) { return SameTextIgnoringCase(id, kSerialMouseId); });
}

MiceInventory ListSerialMice(DeviceApi& devices, MiceSource source) {
    MiceInventory inventory;
    std::vector<DeviceInfo> listed;
    const std::string classGuid = source == MiceSource::MouseClass ? kMouseClassGuid : "";
    const std::string enumerator = source == MiceSource::MouseClass ? "" : kSerialEnumerator;
    inventory.status = devices.ListDevices(classGuid, enumerator, listed);  // none when it failed
    for (DeviceInfo& device : listed) {
        if (IsSerialMouse(device)) inventory.mice.push_back({std::move(device), std::nullopt});
    }
    return inventory;
}

void PlaceSerialMice(MiceInventory& inventory, RegistryApi& registry, const std::vector<SerialPort>& ports) {
    std::optional<std::vector<std::string>> prefixes;  // read once, when a mouse needs them
    for (SerialMouse& mouse : inventory.mice) {
        const DeviceInfo& device = mouse.device;
        const auto byParent = std::find_if(ports.begin(), ports.end(), [&](const SerialPort& p) {
            return !device.parent.empty() && SameTextIgnoringCase(p.InstanceId(), device.parent);
        });
        const bool serenumChild = SameTextIgnoringCase(EnumeratorPart(device.instanceId), kSerialEnumerator);
        if (byParent != ports.end()) {
            mouse.port = *byParent;
        } else if (serenumChild && device.parent.empty()) {
            // The system names no parent: the prefix.
            if (!prefixes) prefixes = ParentIdPrefixes(registry, ports, inventory.refusals);
            mouse.port = PortByPrefix(InstancePart(device.instanceId), ports, *prefixes, inventory.refusals.empty());
        } else {
            // A serial enumerator's child under something that is no port
            // known here stays untold; so does a device whose ID is unreadable.
            mouse.noPort = !serenumChild && !device.instanceId.empty();
        }
    }
}

MiceInventory FindSerialMice(DeviceApi& devices, RegistryApi& registry, const std::vector<SerialPort>& ports) {
    MiceInventory inventory = ListSerialMice(devices);
    PlaceSerialMice(inventory, registry, ports);
    return inventory;
}

}  // namespace portquell
