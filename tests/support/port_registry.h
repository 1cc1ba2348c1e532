// Serial ports in an in-memory registry, laid out as Windows records them,
// and a dump of the whole registry to prove what a run changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registry/memory_registry.h"

namespace portquell::testing {

inline const std::string kPortsKey = "SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501";

// Creates instance key n with its Device Parameters and PortName.
void AddPort(MemoryRegistry& reg, const std::string& instance, const std::string& portName);
// The same for any device: instanceKey below HKLM, e.g.
// "SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_6001+A1\0000".
void AddPortAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& portName);
// Sets a value in instanceKey's Device Parameters (instanceKey below HKLM).
void SetValueAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& name,
                std::uint32_t type, const std::vector<std::uint8_t>& data);
// Sets the instance key's own ParentIdPrefix (REG_SZ unless type says).
void SetPrefixAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& prefix,
                 std::uint32_t type = 1);
// Sets key's own value name to a text (REG_SZ unless type says).
void SetTextAt(MemoryRegistry& reg, const std::string& key, const std::string& name, const std::string& text,
               std::uint32_t type = 1);
inline const std::string kPortsClassGuidText = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
// Gives the port at instanceKey the Ports class (its ClassGUID), whose
// UpperFilters name serenum, as onboard and most USB adapters' ports have.
void SetPortsClassAt(MemoryRegistry& reg, const std::string& instanceKey);
// Sets key's own UpperFilters (REG_MULTI_SZ) to filters.
void SetFiltersAt(MemoryRegistry& reg, const std::string& key, const std::vector<std::string>& filters);
// Whether the port with this device instance ID has SkipEnumerations
// REG_DWORD 0xFFFFFFFF, as the serial enumerator reads it when the port
// starts (for MemoryDevices::SetDetectionOff).
bool DetectionOffAt(MemoryRegistry& reg, const std::string& instanceId);
// Sets a value in instance n's Device Parameters.
void SetPortValue(MemoryRegistry& reg, const std::string& instance, const std::string& name,
                  std::uint32_t type, const std::vector<std::uint8_t>& data);
// Type and bytes of a port's SkipEnumerations; type 0 and no bytes when
// the value or key is missing.
struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool present = false;
};
StoredValue PortValue(MemoryRegistry& reg, const std::string& instance, const std::string& name);
StoredValue ValueAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& name);
// The bytes of key's own value name (key below HKLM); none when missing.
std::vector<std::uint8_t> RawValueAt(MemoryRegistry& reg, const std::string& key, const std::string& name);
// Every key and value under HKEY_LOCAL_MACHINE, one per line.
std::string DumpMachine(RegistryApi& reg);
// The lines of a dump, sorted: a change shows as lines added or removed.
std::vector<std::string> SortedLines(const std::string& dump);

}  // namespace portquell::testing
