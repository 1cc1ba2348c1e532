#include "guard/guard_report.h"

namespace portquell {

GuardReport ReadGuardReport(RegistryApi& registry, DeviceApi& devices) {
    return ReadGuardReport(registry, devices, ReadGuard(registry));
}

GuardReport ReadGuardReport(RegistryApi& registry, DeviceApi& devices, GuardState policy) {
    GuardReport report;
    report.policy = std::move(policy);
    const PortInventory inventory = TakeInventory(registry, PortScope::All);
    const MiceInventory mice = FindSerialMice(devices, registry, inventory.ports);
    report.mice = PlanMice(mice, inventory.ports, true);
    report.refusals = report.policy.refusals;
    // A port that could not be read may be a mouse's parent.
    report.refusals.insert(report.refusals.end(), inventory.refusals.begin(), inventory.refusals.end());
    report.refusals.insert(report.refusals.end(), mice.refusals.begin(), mice.refusals.end());
    return report;
}

}  // namespace portquell
