// The serial-port model: where the registry records serial ports, how
// their state is read, and when mouse detection counts as switched off.
// The window lists the ports under ACPI\PNP0501 (instances 1 to 200);
// portquell-cli reaches those and every other device under Enum whose
// Device Parameters has a PortName (USB-serial adapters, PCI cards, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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
// SkipEnumerations as GetValue reads it when detection is switched off.
inline constexpr const char* kDetectionOffText = "FF FF FF FF";

// The window's test of "detection off": SkipEnumerations read as hex pairs
// is exactly "FF FF FF FF", whatever its type; anything else, a missing
// value included, is detection on.
[[nodiscard]] inline bool IsDetectionOff(const std::string& detectionText) {
    return detectionText == kDetectionOffText;
}

// What a port's SkipEnumerations holds.
struct SkipSetting {
    bool present = false;
    std::uint32_t type = 0;  // registry type, when present
    std::string text;        // as GetValue reads it ("FF FF FF FF" for REG_DWORD -1)

    // What the serial enumerator reads: only a REG_DWORD 0xFFFFFFFF means
    // "never look"; any other type or count leaves detection on.
    [[nodiscard]] bool Off() const {
        return present && type == regtype::kDword && text == kDetectionOffText;
    }
    // The stored count when the value is a four-byte REG_DWORD.
    [[nodiscard]] std::optional<std::uint32_t> Count() const;
};

struct SerialPort {
    std::string enumerator;  // e.g. "ACPI", "FTDIBUS", "USB"
    std::string device;      // e.g. "PNP0501"
    std::string instance;    // e.g. "1"
    std::string portName;    // e.g. "COM3"; "" when the port has none
    SkipSetting skip;

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

// Opens a port's parameter key read-only through handler and reads both
// values; nothing when the key cannot be opened (the handler's
// LastRegStatus says why). The key stays open for the caller to close.
[[nodiscard]] std::optional<PortState> ReadPortState(clsRegHandler& handler,
                                                     const std::string& parameterKey);

// The window's ports, instances 1 to 200 in that order, through one
// handler: found runs for each port whose key opens, with the key still
// open; the key is closed after it. refused runs for a key that exists but
// would not open, with the handler's status.
void ForEachAcpiPort(clsRegHandler& handler,
                     const std::function<void(std::int32_t instance, const PortState& state)>& found,
                     const std::function<void(std::int32_t instance, RegStatus status)>& refused = {});

// Registry and port names compare without regard to case.
[[nodiscard]] bool SameTextIgnoringCase(const std::string& a, const std::string& b);

}  // namespace portquell
