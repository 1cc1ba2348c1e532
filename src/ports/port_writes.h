// Switching detection on several ports as one change: every port's
// SkipEnumerations written, or none. A refused write puts back every port
// written before it as it was (the same type and bytes, or no value where
// there was none); a port that could not be put back is named with what
// it holds now, read back.
#pragma once

#include <optional>
#include <vector>

#include "ports/port_inventory.h"
#include "ports/serial_port.h"
#include "registry/registry_api.h"

namespace portquell {

struct PortWrites {
    // A port left changed after a refusal: its value as read back, or the
    // status of a read-back refused too.
    struct Left {
        SerialPort port;  // its skip is the value now
        RegStatus readStatus = regstatus::kSuccess;
    };
    std::vector<SerialPort> written;     // every port changed when done; none after a refusal
    std::vector<SerialPort> already;     // ports that held the value already: not written
    std::optional<PortRefusal> refused;  // the open, read or write that was refused, with its port
    std::vector<Left> left;              // ports still changed after the refusal
    [[nodiscard]] bool Done() const { return !refused; }
};

// Opens every port's key for writing, then writes SkipEnumerations
// REG_DWORD -1 (off) or 0 (on) into each, in order, but for a port whose
// value is that already (as asked: a write there would change nothing).
[[nodiscard]] PortWrites WriteDetection(RegistryApi& registry, const std::vector<SerialPort>& ports, bool off);

}  // namespace portquell
