// The window's relief for a phantom mouse: when a click switches detection
// off on a port that has a serial mouse present under it, one question
// (Yes the default) and, on Yes, the port restarted and the mouse removed,
// told in one message.
#pragma once

#include "devices/device_api.h"
#include "ports/serial_mice.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

class MainWindow;

// The port as the window names it: its PortName, or its instance ID.
[[nodiscard]] std::string PortTitle(const SerialPort& port);
// One line for a present serial mouse whose port cannot be told: which
// device, and the command that removes it.
[[nodiscard]] std::string UntoldMouseLine(const SerialMouse& mouse);

// Call after SkipEnumerations -1 was written for port. Without a serial
// mouse present under it (or when the mice cannot be listed) nothing is
// asked; a present mouse whose port cannot be told is said in a message.
void OfferMouseRemoval(MainWindow& form, const SerialPort& port, RegistryApi& registry, DeviceApi& devices);

}  // namespace portquell
