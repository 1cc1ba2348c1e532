// The serial ports the registry records: those under ACPI\PNP0501 that the
// window shows, or every device under Enum whose Device Parameters has a
// PortName (USB-serial adapters, PCI cards, ...).
#pragma once

#include <string>
#include <vector>

#include "registry/registry_api.h"

namespace portquell {

inline constexpr const char* kEnumKey = "SYSTEM\\CurrentControlSet\\Enum";

struct SerialPort {
    std::string enumerator;  // e.g. "ACPI", "FTDIBUS", "USB"
    std::string device;      // e.g. "PNP0501"
    std::string instance;    // e.g. "1"
    std::string portName;    // e.g. "COM3"
    bool detectionOff = false;

    // Below HKEY_LOCAL_MACHINE.
    [[nodiscard]] std::string InstanceKey() const;
    [[nodiscard]] std::string ParameterKey() const { return InstanceKey() + "\\Device Parameters"; }
};

// Registry and port names compare without regard to case.
[[nodiscard]] bool SameTextIgnoringCase(const std::string& a, const std::string& b);

// Instances 1 to 200 under ACPI\PNP0501, in that order, as the window lists them.
[[nodiscard]] std::vector<SerialPort> FindAcpiPorts(RegistryApi& registry);
// Every instance under Enum with a PortName, in the registry's order.
[[nodiscard]] std::vector<SerialPort> FindAllPorts(RegistryApi& registry);

}  // namespace portquell
