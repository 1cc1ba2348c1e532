// The serial mice that Windows installed on serial ports: the serial
// enumerator (serenum) makes a mouse-class child device under a port when
// it finds a mouse there, enumerator SERENUM, compatible ID SERIAL_MOUSE.
// Its instance ID begins with the port's ParentIdPrefix and '&'; the
// system names its parent where it can (CfgMgr32), and the prefix finds it
// where the system names none. A mouse-class device compatible with
// SERIAL_MOUSE that is neither (a serial mouse installed by hand under
// ROOT) is on no serial port: nothing here removes it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/port_inventory.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

inline constexpr const char* kSerialEnumerator = "SERENUM";
inline constexpr const char* kSerialMouseId = "SERIAL_MOUSE";
inline constexpr const char* kParentIdPrefix = "ParentIdPrefix";

struct SerialMouse {
    DeviceInfo device;
    std::optional<SerialPort> port;  // the port it is installed on; none when it cannot be told
    // On no serial port at all (not the serial enumerator's child, and no
    // port is its parent); port is then none.
    bool noPort = false;

    // Its port cannot be told: it may be on any port.
    [[nodiscard]] bool Untold() const { return !port && !noPort; }
};

struct MiceInventory {
    std::vector<SerialMouse> mice;      // in the system's order
    DevStatus status;                   // the device listing's; no mice when it failed
    std::vector<PortRefusal> refusals;  // ports whose ParentIdPrefix could not be read

    // Every serial mouse listed and every port's prefix read where needed.
    [[nodiscard]] bool Complete() const { return status.Ok() && refusals.empty(); }
};

// A mouse-class device that the serial enumerator made, or that is
// compatible with SERIAL_MOUSE.
[[nodiscard]] bool IsSerialMouse(const DeviceInfo& device);

// Every serial mouse installed, present or not, each with its port among
// ports (every port of the machine): the parent the system names when it
// is one of them; where the system names no parent, for the serial
// enumerator's child, the one port whose ParentIdPrefix (REG_SZ, any
// case) and '&' begin the mouse's instance part. A serial enumerator's
// child not placed so (a prefix that two ports carry or that could not be
// read, a parent that is no port) cannot be told, nor can a device whose
// instance ID is unreadable; any other mouse is on no port.
[[nodiscard]] MiceInventory FindSerialMice(DeviceApi& devices, RegistryApi& registry,
                                           const std::vector<SerialPort>& ports);

// Where the serial mice are listed from: the mouse class (every serial
// mouse), or the serial enumerator's children only (every mouse that
// detection on a port makes, the window's case: a far shorter listing
// on a machine that has seen many devices).
enum class MiceSource { MouseClass, SerialEnumerator };

// The same in two steps, for a caller that needs the ports only when
// there is a mouse: the listing (no mouse placed yet), then placing each.
[[nodiscard]] MiceInventory ListSerialMice(DeviceApi& devices, MiceSource source = MiceSource::MouseClass);
void PlaceSerialMice(MiceInventory& inventory, RegistryApi& registry, const std::vector<SerialPort>& ports);

}  // namespace portquell
