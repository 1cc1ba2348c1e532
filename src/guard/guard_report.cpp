#include "guard/guard_report.h"

namespace portquell {

bool GuardSet(const GuardState& policy) { return !policy.entry.empty() || policy.record.present; }

bool OfferGuardFor(const SerialPort& port, const GuardReport& guard) {
    return port.identity && port.identity->usb && port.identity->usb->tiedToSocket && !guard.Holds();
}

GuardReport ReadGuardReport(RegistryApi& registry, DeviceApi& devices) {
    return ReadGuardReport(registry, devices, ReadGuard(registry));
}

GuardReport ReadGuardReport(RegistryApi& registry, DeviceApi& devices, GuardState policy) {
    const PortInventory inventory = TakeInventory(registry, PortScope::All);
    return MakeGuardReport(std::move(policy), inventory, FindSerialMice(devices, registry, inventory.ports));
}

GuardReport MakeGuardReport(GuardState policy, const PortInventory& inventory, const MiceInventory& mice) {
    GuardReport report;
    report.policy = std::move(policy);
    report.mice = PlanMice(mice, inventory.ports, true);
    report.refusals = report.policy.refusals;
    // A port that could not be read may be a mouse's parent.
    report.refusals.insert(report.refusals.end(), inventory.refusals.begin(), inventory.refusals.end());
    report.refusals.insert(report.refusals.end(), mice.refusals.begin(), mice.refusals.end());
    return report;
}

}  // namespace portquell
