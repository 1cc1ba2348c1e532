// Switching serial mouse detection for one port: SkipEnumerations in the
// port's Device Parameters key, REG_DWORD -1 (off) or 0 (on). Every write
// goes through here, by WriteDetection (ports/port_writes.h).
#pragma once

#include <string>

#include "ports/serial_port.h"
#include "registry/clsRegHandler.h"
#include "registry/registry_api.h"

namespace portquell {

// Opens (creating it and any missing parent) HKLM\parameterKey with full
// access. Returns 0, or the registry's status (-1 if it gave none).
[[nodiscard]] RegStatus OpenPortForWriting(clsRegHandler& handler, const std::string& parameterKey);

// Writes SkipEnumerations through an open handler; returns the status.
[[nodiscard]] RegStatus SetSkipEnumerations(clsRegHandler& handler, bool detectionOff);

}  // namespace portquell
