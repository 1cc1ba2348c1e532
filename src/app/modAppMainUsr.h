// Start-up and the port scan: finds the serial ports recorded under the
// ACPI enumerator, shows one check box per port, fits the window to the
// list and reports what it found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "registry/registry_api.h"

namespace portquell {

class MainWindow;
class clsRegHandler;

// Ports found by the scan; also the index of the next box to fill.
extern std::int32_t iPortCount;
// Ports found with serial-mouse detection already switched off.
extern std::int32_t iDisabledCount;
// Set while the scan sets the boxes' initial states, so that the click
// handler those changes raise writes nothing.
extern bool bScanning;

inline constexpr std::int32_t kFirstPortInstance = 1;
inline constexpr std::int32_t kLastPortInstance = 200;
// SkipEnumerations as the scan reads it when detection is switched off.
inline constexpr const char* kDetectionOffText = "FF FF FF FF";

// "SYSTEM\CurrentControlSet\Enum\ACPI\PNP0501\<n>\Device Parameters".
[[nodiscard]] std::string PortParameterKey(std::int32_t instance);

// What the registry records for one port.
struct PortState {
    std::string portName;       // PortName ("" when missing)
    std::string detectionText;  // SkipEnumerations as hex pairs ("" when missing)
    [[nodiscard]] bool DetectionOff() const { return detectionText == kDetectionOffText; }
};

// Opens a port's parameter key read-only through handler and reads both
// values; nothing when the key cannot be opened. The key stays open for
// the caller to close.
[[nodiscard]] std::optional<PortState> ReadPortState(clsRegHandler& handler,
                                                     const std::string& parameterKey);

// Resets the counters, loads the window hidden and runs the scan once.
void Main(MainWindow& form, RegistryApi& registry);
void ScanSerialPorts(MainWindow& form, RegistryApi& registry);
// Fills the next box with a port's name, instance number and state.
void AddPortCheckBox(MainWindow& form, std::int16_t instance, const std::string& portName,
                     const std::string& detectionText);

}  // namespace portquell
