// The serial mice that Windows installed on serial ports: the serial
// enumerator (serenum) makes a mouse-class child device under a port when
// it finds a mouse there, enumerator SERENUM, compatible ID SERIAL_MOUSE.
// Its instance ID begins with the port's ParentIdPrefix; the system names
// its parent where it can (CfgMgr32), and the prefix finds it elsewhere.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

inline constexpr const char* kSerialEnumerator = "SERENUM";
inline constexpr const char* kSerialMouseId = "SERIAL_MOUSE";
inline constexpr const char* kParentIdPrefix = "ParentIdPrefix";

struct SerialMouse {
    DeviceInfo device;
    std::optional<SerialPort> port;  // the port it is installed on; none when unknown
};

struct MiceInventory {
    std::vector<SerialMouse> mice;  // in the system's order
    DevStatus status;               // the device listing's; no mice when it failed
};

// A mouse-class device that the serial enumerator made, or that is
// compatible with SERIAL_MOUSE.
[[nodiscard]] bool IsSerialMouse(const DeviceInfo& device);

// Every serial mouse installed, present or not, each with its port among
// ports where one can be told.
[[nodiscard]] MiceInventory FindSerialMice(DeviceApi& devices, RegistryApi& registry,
                                           const std::vector<SerialPort>& ports);

// The mice installed on port (its instance key decides, not its name).
[[nodiscard]] std::vector<SerialMouse> MiceOn(const MiceInventory& inventory, const SerialPort& port);

}  // namespace portquell
