// The serial-port model: where the registry records serial ports, how
// their state is read, and when mouse detection counts as switched off.
// The window lists the ports under ACPI\PNP0501 (instances 1 to 200);
// portquell-cli reaches every device under Enum whose Device Parameters
// has a PortName (USB-serial adapters, PCI cards, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// The one test of "detection off": SkipEnumerations read as hex pairs is
// exactly "FF FF FF FF", whatever its type; anything else, a missing value
// included, is detection on.
[[nodiscard]] inline bool IsDetectionOff(const std::string& detectionText) {
    return detectionText == kDetectionOffText;
}

struct SerialPort {
    std::string enumerator;  // e.g. "ACPI", "FTDIBUS", "USB"
    std::string device;      // e.g. "PNP0501"
    std::string instance;    // e.g. "1"
    std::string portName;    // e.g. "COM3"
    bool detectionOff = false;

    // The port under ACPI\PNP0501 with this instance number.
    [[nodiscard]] static SerialPort Acpi(std::int32_t instance);
    // Below HKEY_LOCAL_MACHINE.
    [[nodiscard]] std::string InstanceKey() const;
    [[nodiscard]] std::string ParameterKey() const { return InstanceKey() + kParameterSubKey; }
};

// "SYSTEM\CurrentControlSet\Enum\ACPI\PNP0501\<n>\Device Parameters".
[[nodiscard]] std::string PortParameterKey(std::int32_t instance);

// What the registry records for one port.
struct PortState {
    std::string portName;       // PortName as GetValue reads it ("" when missing)
    std::string detectionText;  // SkipEnumerations as hex pairs ("" when missing)
    [[nodiscard]] bool DetectionOff() const { return IsDetectionOff(detectionText); }
};

// Opens a port's parameter key read-only through handler and reads both
// values; nothing when the key cannot be opened. The key stays open for
// the caller to close.
[[nodiscard]] std::optional<PortState> ReadPortState(clsRegHandler& handler,
                                                     const std::string& parameterKey);

// The first key met while looking for ports that exists but could not be
// read (any status but "not found"); status 0 when there was none.
struct PortRefusal {
    RegStatus status = regstatus::kSuccess;
    std::string key;  // below HKEY_LOCAL_MACHINE
};

// The ACPI ports, instances 1 to 200 in that order, through one handler:
// found runs for each port whose key opens, with the key still open; the
// key is closed after it. A key that would not open is skipped (and noted
// in refused, when given).
void ForEachAcpiPort(clsRegHandler& handler,
                     const std::function<void(std::int32_t instance, const PortState& state)>& found,
                     PortRefusal* refused = nullptr);

// Registry and port names compare without regard to case.
[[nodiscard]] bool SameTextIgnoringCase(const std::string& a, const std::string& b);

// The ACPI ports as the window lists them.
[[nodiscard]] std::vector<SerialPort> FindAcpiPorts(RegistryApi& registry,
                                                    PortRefusal* refused = nullptr);
// Every instance under Enum with a PortName, in the registry's order.
[[nodiscard]] std::vector<SerialPort> FindAllPorts(RegistryApi& registry,
                                                   PortRefusal* refused = nullptr);

}  // namespace portquell
