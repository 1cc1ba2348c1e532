// Start-up and the port scan: finds the serial ports recorded under the
// ACPI enumerator, shows one check box per port, fits the window to the
// list and reports what it found.
#pragma once

#include <cstdint>
#include <string>

#include "registry/registry_api.h"

namespace portquell {

class MainWindow;

// Ports found by the scan; also the index of the next box to fill.
extern std::int32_t iPortCount;
// Ports found with serial-mouse detection already switched off.
extern std::int32_t iDisabledCount;
// Set while the scan sets the boxes' initial states, so that the click
// handler those changes raise writes nothing.
extern bool bScanning;

// Resets the counters, loads the window hidden and runs the scan once.
void Main(MainWindow& form, RegistryApi& registry);
void ScanSerialPorts(MainWindow& form, RegistryApi& registry);
// Fills the next box with a port's name, instance number and state.
void AddPortCheckBox(MainWindow& form, std::int16_t instance, const std::string& portName,
                     const std::string& detectionText);

}  // namespace portquell
