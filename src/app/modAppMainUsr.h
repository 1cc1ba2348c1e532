// Start-up and the port scan: finds the serial ports recorded under the
// ACPI enumerator, and any other port on which a serial mouse is present
// now, shows one check box per port, fits the window to the list and
// reports what it found and what it did not list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/device_api.h"
#include "ports/port_inventory.h"
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

// What each box stands for, by index: its port's name and the state it
// showed as last read or written, which a refused change puts back.
struct PortBox {
    std::string portName;
    int state = 0;
};
extern std::vector<PortBox> gPortBoxes;

// Resets the counters, loads the window hidden and runs the scan once:
// the ACPI ports and those with a serial mouse present, or with
// PortScope::All every port (portquell.exe /all).
void Main(MainWindow& form, RegistryApi& registry, DeviceApi& devices, PortScope scope = PortScope::Acpi);
void ScanSerialPorts(MainWindow& form, RegistryApi& registry, DeviceApi& devices,
                     PortScope scope = PortScope::Acpi);
// Fills the next box with a port's name, instance number and state: ticked
// where the model says detection is off (SkipSetting::Off).
void AddPortCheckBox(MainWindow& form, std::int16_t instance, const std::string& portName,
                     const SkipSetting& skip);
// The same for any port: tag is what PortOfTag reads back; caption the
// box's text (the port's name, by default); a port whose state could not
// be read shows neither state (kIndeterminate).
void AddPortCheckBox(MainWindow& form, const std::string& tag, const std::string& portName,
                     const SkipSetting& skip, const std::string& caption = "", bool unread = false);

// The program's command line: "/all" (or "-all", "--all", any case)
// lists every port; anything else is the window as designed.
[[nodiscard]] PortScope ScopeOfCommandLine(const std::string& commandLine);

}  // namespace portquell
