#include "ports/port_watch.h"

#include <algorithm>
#include <cctype>

#include "ports/port_identity.h"
#include "ports/port_inventory.h"
#include "ports/port_presence.h"
#include "ports/serial_enumerator.h"

namespace portquell {

namespace {

// Whether the port is known to be connected (or known not to be): a
// connection that could not be told is neither, so that a listing that
// failed once makes no port appear or go.
bool Is(const SerialPort& port, bool connected) { return port.connected == std::optional<bool>(connected); }

// Two seconds of looks: time for Windows to name a new device's port.
constexpr int kUnsettledLooks = 4;

// The port among ports with the same key (any case); null when none.
const SerialPort* Same(const std::vector<SerialPort>& ports, const SerialPort& port) {
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const SerialPort& p) {
        return SameTextIgnoringCase(p.InstanceKey(), port.InstanceKey());
    });
    return found == ports.end() ? nullptr : &*found;
}

}  // namespace

PortWatch::PortWatch(RegistryApi& registry, DeviceApi& devices) : registry_(registry), devices_(devices) {
    listed_ = List();
    ports_ = ReadPorts();
}

std::optional<std::set<std::string>> PortWatch::List() {
    std::vector<DeviceInfo> devices;
    if (!devices_.ListDevices(kPortsClassGuid, "", devices).Ok()) return std::nullopt;
    std::set<std::string> listed;
    for (const DeviceInfo& d : devices) {
        listed.insert(UpperText(d.instanceId) + (d.present ? "|present" : "|absent"));
    }
    return listed;
}

std::vector<SerialPort> PortWatch::ReadPorts() {
    std::vector<SerialPort> ports = TakeInventory(registry_, PortScope::All).ports;
    FindConnections(devices_, ports);
    return ports;
}

std::optional<PortEvent> PortWatch::Look() {
    std::optional<std::set<std::string>> listed = List();
    if (!listed) return std::nullopt;
    if (listed == listed_) {
        if (unsettled_ == 0) return std::nullopt;
        --unsettled_;
    } else {
        unsettled_ = kUnsettledLooks;
    }
    listed_ = std::move(listed);
    std::vector<SerialPort> now = ReadPorts();
    std::optional<PortEvent> event;
    for (const SerialPort& port : now) {
        const SerialPort* before = Same(ports_, port);
        if (before == nullptr || (Is(port, true) && Is(*before, false))) {
            event = PortEvent{PortEvent::Kind::Appeared, port};
            break;
        }
    }
    if (!event) {
        for (const SerialPort& port : ports_) {
            const SerialPort* after = Same(now, port);
            if (Is(port, true) && (after == nullptr || Is(*after, false))) {
                event = PortEvent{PortEvent::Kind::Went, after != nullptr ? *after : port};
                break;
            }
        }
    }
    ports_ = std::move(now);
    if (event) {
        unsettled_ = 0;
        std::vector<SerialPort> one{event->port};
        IdentifyPorts(registry_, devices_, one);
        event->port = one.front();
    }
    return event;
}

}  // namespace portquell
