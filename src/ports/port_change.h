// disable and enable as one change: SkipEnumerations written to every
// port asked about, or to none (WriteDetection), then, with relief now,
// each port written restarted where that can change something and its
// serial mice removed (RelieveNow). A preview is the same change against
// stand-ins that keep its writes, restarts and removals as a plan.
#pragma once

#include <optional>
#include <vector>

#include "ports/change_plan.h"
#include "ports/port_relief.h"
#include "ports/port_writes.h"
#include "ports/serial_mice.h"

namespace portquell {

struct PortChange {
    PortWrites writes;
    std::optional<MiceInventory> mice;   // relief now: the mice as listed
    std::optional<ReliefReport> relief;  // relief now, after a write of at least one port
};

// The relief step alone, after written's SkipEnumerations was written -1,
// with mice as listed and placed among every port: each port's connection
// found, the mice planned (everyPort: all were asked, so that mice whose
// port cannot be told are removed too), RelieveNow. A front end that asks
// between the write and the relief calls this after its question.
[[nodiscard]] ReliefReport RelieveWritten(RegistryApi& registry, DeviceApi& devices, const MiceInventory& mice,
                                          std::vector<SerialPort> written, bool everyPort);

// The present mice that relief would remove for port, placed among every
// port: whether to offer relief after a write of port alone, and what.
[[nodiscard]] std::vector<SerialMouse> MiceToRelieve(const MiceInventory& mice, const SerialPort& port);

// every: every serial port, for placing the mice; targets: the ports asked
// about; everyPort: all were asked, so that mice whose port cannot be
// told are removed too.
[[nodiscard]] PortChange ChangePorts(RegistryApi& registry, DeviceApi& devices, const std::vector<SerialPort>& every,
                                     const std::vector<SerialPort>& targets, bool off, bool now, bool everyPort);

struct PortPreview {
    PortChange change;  // as it would go, were every write, restart and removal taken
    ChangePlan plan;
};

[[nodiscard]] PortPreview PreviewPorts(RegistryApi& registry, DeviceApi& devices, const std::vector<SerialPort>& every,
                                       const std::vector<SerialPort>& targets, bool off, bool now, bool everyPort);

}  // namespace portquell
