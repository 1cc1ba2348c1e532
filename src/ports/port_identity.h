// Finding which device is on each serial port (ports/device_identity.h):
// from the port's instance key and the device tree.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

// Of the port's instance key.
inline constexpr const char* kFriendlyName = "FriendlyName";
inline constexpr const char* kDeviceDesc = "DeviceDesc";
inline constexpr const char* kMfg = "Mfg";
inline constexpr const char* kLocationInformation = "LocationInformation";

// The USB IDs an instance ID carries: "USB\VID_xxxx&PID_xxxx[&MI_nn]\SERIAL"
// or "FTDIBUS\VID_xxxx+PID_xxxx+SERIALc\0000" (c, FTDI's channel letter, is
// no part of the serial number), any case. The serial is none where the
// instance part holds '&' (made up: tiedToSocket) and for an interface of
// a composite device (MI_nn), whose serial is its parent's. None for any
// other ID.
[[nodiscard]] std::optional<UsbIds> UsbIdsOf(const std::string& instanceId);

// An indirect string as Windows 7 and later store DeviceDesc and Mfg
// ("@oem12.inf,%ftdi%;FTDI"): the text after its last ';'; none when it
// has none. Any other text as it is.
[[nodiscard]] std::optional<std::string> ResolvedText(const std::string& text);

// The maker of the common serial chips and devices by USB vendor ID (four
// upper-case hexadecimal digits); none for another.
[[nodiscard]] std::optional<std::string> UsbVendorName(const std::string& vid);

// Sets each port's identity: its instance key's four values (only ports'
// keys are read), one ReadDetails of its device and, where that reports
// nothing, one of its parent. A value or detail that cannot be read is
// unknown; nothing here fails.
void IdentifyPorts(RegistryApi& registry, DeviceApi& devices, std::vector<SerialPort>& ports);

}  // namespace portquell
