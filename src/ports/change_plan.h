// A preview: a command run against a registry and a device tree that take
// its changes without passing them on, so that the plan it shows is made
// by the command's own decisions, not a second copy of them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "devices/dry_run_devices.h"
#include "registry/dry_run_registry.h"

namespace portquell {

// What a command would change, in the order it would.
struct ChangePlan {
    std::vector<RegWrite> writes;
    std::vector<std::string> restarts;  // device instance IDs
    std::vector<std::string> removals;  // device instance IDs
    [[nodiscard]] bool Empty() const { return writes.empty() && restarts.empty() && removals.empty(); }
};

// Runs run(registry, devices) on dry-run stand-ins of both; returns what
// it returned, and fills plan with what it would have changed.
template <typename Run>
auto Preview(RegistryApi& registry, DeviceApi& devices, ChangePlan& plan, Run run) {
    DryRunRegistry dryRegistry(registry);
    DryRunDevices dryDevices(devices);
    auto result = run(static_cast<RegistryApi&>(dryRegistry), static_cast<DeviceApi&>(dryDevices));
    plan = {dryRegistry.Writes(), dryDevices.Restarted(), dryDevices.Removed()};
    return result;
}

}  // namespace portquell
