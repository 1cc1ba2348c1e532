#include "ports/port_presence.h"

#include <algorithm>
#include <cctype>

namespace portquell {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

bool Presence::Has(const std::string& instanceId) const { return upper.count(Upper(instanceId)) != 0; }

Presence ListPresence(DeviceApi& devices) {
    Presence presence;
    presence.status = devices.ListPresent(presence.ids);
    if (!presence.status.Ok()) presence.ids.clear();
    for (const std::string& id : presence.ids) presence.upper.insert(Upper(id));
    return presence;
}

void FindConnections(const Presence& presence, std::vector<SerialPort>& ports) {
    if (!presence.status.Ok()) return;
    for (SerialPort& port : ports) port.connected = presence.Has(port.InstanceId());
}

}  // namespace portquell
