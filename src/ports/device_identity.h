// Which device is on a serial port, as the person at the PC knows it: what
// Windows calls it, what the device itself reports (which Device Manager
// shows only on its Details tab), its maker, its USB IDs and serial
// number, and the USB socket it is in. Every text is read from the
// registry or the device tree and is untrusted: kept as read (cut to
// kMaxIdentityText), escaped by whoever shows it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace portquell {

// A longer text is cut there, and "..." put after it.
inline constexpr std::size_t kMaxIdentityText = 200;

// The USB device behind a port.
struct UsbIds {
    std::string vid;  // four hexadecimal digits, upper case
    std::string pid;
    // As the device reports it; none when it has none or it is unknown.
    std::optional<std::string> serial;
    // The device has no serial number: Windows made the instance part up
    // from the USB socket, and makes a new port when the device is
    // plugged into another socket.
    bool tiedToSocket = false;
};

struct DeviceIdentity {
    std::optional<std::string> name;      // FriendlyName, else DeviceDesc
    std::optional<std::string> reported;  // of the port's device, else of its parent
    std::optional<std::string> maker;     // Mfg, or the USB vendor for Windows' own driver
    std::optional<UsbIds> usb;            // none: not a USB device
    std::optional<std::string> location;  // LocationInformation, e.g. "Port_#0002.Hub_#0001"

    // How a person calls the device: what it reports, else Windows' name
    // without its trailing " (COMn)"; none when neither is known.
    [[nodiscard]] std::optional<std::string> Title() const;
};

}  // namespace portquell
