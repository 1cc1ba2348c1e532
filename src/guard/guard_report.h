// The guard with the serial mice it cannot stop: what guard and check
// --guard report, read from the policy and the device tree.
#pragma once

#include <vector>

#include "guard/mouse_guard.h"
#include "ports/mice_plan.h"
#include "ports/port_relief.h"

namespace portquell {

// The guard with the serial mice it cannot stop: those installed before
// it (present or not) on a port, or whose port cannot be told, keep their
// driver; Windows starts them again without asking the policy.
struct GuardReport {
    GuardState policy;
    MicePlan mice;                       // every port's
    std::vector<PortRefusal> refusals;   // the policy's, the ports' and the prefixes' reads refused

    [[nodiscard]] std::vector<SerialMouse> WithDriver() const { return mice.Installed(); }
    // In force, and no serial mouse keeps its driver.
    [[nodiscard]] bool Holds() const { return policy.InForce() && mice.listing.Ok() && WithDriver().empty(); }
    // Holds, and every key that could say otherwise was read: what
    // portquell-cli guard exits 0 for.
    [[nodiscard]] bool HoldsForCertain() const { return Holds() && refusals.empty(); }
};

// Whether the guard is set at all: a value of the list names SERIAL_MOUSE
// (in force or not, beside others' entries or not), or a run of guard on
// left its record (incomplete). The window shows its box then.
[[nodiscard]] bool GuardSet(const GuardState& policy);

// Whether to offer the guard once detection is off on port: its adapter
// has no serial number, so it becomes a new port in another USB socket,
// where Windows may take it for a mouse again; and the guard does not hold.
[[nodiscard]] bool OfferGuardFor(const SerialPort& port, const GuardReport& guard);

[[nodiscard]] GuardReport ReadGuardReport(RegistryApi& registry, DeviceApi& devices);
// The same around a policy just read (after a change).
[[nodiscard]] GuardReport ReadGuardReport(RegistryApi& registry, DeviceApi& devices, GuardState policy);
// The same around what the caller read already: every port, and the mice
// found among them.
[[nodiscard]] GuardReport MakeGuardReport(GuardState policy, const PortInventory& inventory, const MiceInventory& mice);

}  // namespace portquell
