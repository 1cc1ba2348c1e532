// Where a serial mouse can be detected at all: only on a port whose driver
// stack has the serial enumerator (serenum) as an upper filter, named in
// the port's own UpperFilters or in those of its setup class (the class
// key of the port's own ClassGUID, the Ports class for most). Windows' own CDC
// driver (usbser) and some vendors' drivers install none: there no mouse
// is detected, whatever SkipEnumerations says (until a driver update adds
// the filter).
#pragma once

#include <vector>

#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

inline constexpr const char* kClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class";
inline constexpr const char* kPortsClassGuid = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
inline constexpr const char* kClassGuidValue = "ClassGUID";
inline constexpr const char* kUpperFilters = "UpperFilters";
inline constexpr const char* kSerialEnumeratorService = "serenum";

enum class SerialEnumerator { Yes, No, Unknown };

// For each port, in order: Yes when its instance key's or its class's
// UpperFilters (REG_MULTI_SZ) names serenum (any case), No when neither
// does, Unknown when one that could was refused (or its ClassGUID is no
// GUID). A port without a ClassGUID has no class filters.
[[nodiscard]] std::vector<SerialEnumerator> FindSerialEnumerators(RegistryApi& registry,
                                                                  const std::vector<SerialPort>& ports);

}  // namespace portquell
