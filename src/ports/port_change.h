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
