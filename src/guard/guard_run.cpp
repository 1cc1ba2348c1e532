#include "guard/guard_run.h"

#include <algorithm>

namespace portquell {

bool GuardRun::MiceLeft() const {
    return inForce && (!after.mice.listing.Ok() ||
                       std::any_of(removals.begin(), removals.end(), [](const auto& r) { return !r.Gone(); }));
}

GuardRun RunGuard(bool on, RegistryApi& registry, DeviceApi& devices) {
    GuardRun run;
    run.change = on ? GuardOn(registry) : GuardOff(registry);
    run.inForce = on && run.change.after.InForce() && run.change.outcome != GuardChange::Outcome::Refused;
    // The ports, read once; the mice listed again only after a removal.
    const PortInventory inventory = TakeInventory(registry, PortScope::All);
    run.after = MakeGuardReport(run.change.after, inventory, FindSerialMice(devices, registry, inventory.ports));
    if (!run.inForce) return run;
    for (const SerialMouse& mouse : run.after.WithDriver()) {
        run.removals.push_back({mouse, devices.RemoveDevice(mouse.device.instanceId)});
    }
    if (!run.removals.empty()) run.after = MakeGuardReport(run.change.after, inventory, FindSerialMice(devices, registry, inventory.ports));
    return run;
}

GuardPreview PreviewGuard(bool on, RegistryApi& registry, DeviceApi& devices) {
    GuardPreview preview;
    preview.run = Preview(registry, devices, preview.plan,
                          [on](RegistryApi& r, DeviceApi& d) { return RunGuard(on, r, d); });
    return preview;
}

}  // namespace portquell
