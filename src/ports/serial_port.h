// The serial-port model: where the registry records serial ports, how
// their state is read, and when mouse detection counts as switched off.
// A serial port is an instance under ACPI\PNP0501 (the window's ports,
// instances 1 to 200, named or not), or any other device under Enum whose
// Device Parameters has a PortName that names a COM port (USB-serial
// adapters, PCI cards, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ports/device_identity.h"
#include "registry/registry_api.h"

namespace portquell {

class clsRegHandler;

inline constexpr const char* kEnumKey = "SYSTEM\\CurrentControlSet\\Enum";
inline constexpr const char* kAcpiEnumerator = "ACPI";
inline constexpr const char* kAcpiSerialDevice = "PNP0501";
inline constexpr std::int32_t kFirstPortInstance = 1;
inline constexpr std::int32_t kLastPortInstance = 200;
inline constexpr const char* kPortNameValue = "PortName";
// Below an instance key: where its parameters, SkipEnumerations among them, are.
inline constexpr const char* kParameterSubKey = "\\Device Parameters";
inline constexpr const char* kSkipEnumerations = "SkipEnumerations";

// Whether a PortName names a COM port: "COM" and one or more digits, any
// case. Parallel ports (LPT1), printer ports (USB001) and the like carry
// a PortName too; they are no serial ports.
[[nodiscard]] bool IsComPortName(const std::string& portName);

// What a port's SkipEnumerations holds.
struct SkipSetting {
    bool present = false;
    std::uint32_t type = 0;  // registry type, when present
    std::string data;        // its bytes as stored, one character per byte

    // What the serial enumerator reads: it copies the data of any type
    // but keeps it only when it is exactly four bytes, as a 32-bit number.
    // A string type is text, which it never takes for one.
    [[nodiscard]] std::optional<std::uint32_t> Count() const;
    // Detection off: the enumerator reads 0xFFFFFFFF, "never look". Every
    // front end decides "off" by this, and by nothing else.
    [[nodiscard]] bool Off() const { return Count() == std::optional<std::uint32_t>(0xFFFFFFFFu); }
};

struct SerialPort {
    std::string enumerator;  // e.g. "ACPI", "FTDIBUS", "USB"
    std::string device;      // e.g. "PNP0501"
    std::string instance;    // e.g. "1"
    std::string portName;    // e.g. "COM3"; "" when the port has none
    SkipSetting skip;
    // Whether its device is connected now (its device node present); none
    // when that was not asked or could not be told.
    std::optional<bool> connected;
    // Which device it is; none until IdentifyPorts was asked.
    std::optional<DeviceIdentity> identity;

    // The port under ACPI\PNP0501 with this instance number.
    [[nodiscard]] static SerialPort Acpi(std::int32_t instance);
    // Below HKEY_LOCAL_MACHINE.
    [[nodiscard]] std::string InstanceKey() const;
    [[nodiscard]] std::string ParameterKey() const { return InstanceKey() + kParameterSubKey; }
    // "ENUMERATOR\DEVICE\INSTANCE", the device instance ID.
    [[nodiscard]] std::string InstanceId() const;
    [[nodiscard]] bool DetectionOff() const { return skip.Off(); }
    // The instance number the window lists this port under: an ACPI\PNP0501
    // instance named in decimal without sign or leading zeros, 1 to 200;
    // none for any other port.
    [[nodiscard]] std::optional<std::int32_t> WindowInstance() const;
    // Whether asked names this port: its PortName, or (for ports with or
    // without one) its instance ID, alone or below "SYSTEM\CurrentControlSet\Enum"
    // and "HKLM\" or "HKEY_LOCAL_MACHINE\"; any case.
    [[nodiscard]] bool IsCalled(const std::string& asked) const;
};

// "SYSTEM\CurrentControlSet\Enum\ACPI\PNP0501\<n>\Device Parameters".
[[nodiscard]] std::string PortParameterKey(std::int32_t instance);

// What the registry records for one port.
struct PortState {
    std::string portName;    // PortName as GetValue reads it ("" when missing)
    RegStatus nameStatus = regstatus::kSuccess;  // 0, 2 when missing, or the refusal
    SkipSetting skip;
    RegStatus skipStatus = regstatus::kSuccess;  // 0, 2 when missing, or the refusal
    [[nodiscard]] bool Named() const { return nameStatus == regstatus::kSuccess; }
};

// Reads SkipEnumerations of the key open in handler: the setting, and the
// read's status (0, 2 when missing, the refusal, or -1 for the handler's
// own failure).
[[nodiscard]] SkipSetting ReadSkipSetting(clsRegHandler& handler, RegStatus& status);

// Opens a port's parameter key read-only through handler and reads both
// values, SkipEnumerations only where isPort (given PortName as read)
// says the key is a port's; nothing when the key cannot be opened (the
// handler's LastRegStatus says why). The key stays open for the caller to
// close.
[[nodiscard]] std::optional<PortState> ReadPortState(clsRegHandler& handler, const std::string& parameterKey,
                                                     const std::function<bool(const PortState&)>& isPort = {});

// The window's ports, instances 1 to 200 in that order, through one
// handler: found runs for each port whose key opens, with the key still
// open; the key is closed after it. refused runs for a key that exists but
// would not open, with the handler's status.
void ForEachAcpiPort(clsRegHandler& handler,
                     const std::function<void(std::int32_t instance, const PortState& state)>& found,
                     const std::function<void(std::int32_t instance, RegStatus status)>& refused = {});

// Registry and port names compare without regard to case.
[[nodiscard]] bool SameTextIgnoringCase(const std::string& a, const std::string& b);
// The text in upper case (ASCII letters), to key names by.
[[nodiscard]] std::string UpperText(std::string text);

}  // namespace portquell
