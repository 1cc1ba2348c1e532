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
    if (run.inForce) {
        const MicePlan mice = ReadGuardReport(registry, devices, run.change.after).mice;
        for (const SerialMouse& mouse : mice.Installed()) {
            run.removals.push_back({mouse, devices.RemoveDevice(mouse.device.instanceId)});
        }
    }
    run.after = ReadGuardReport(registry, devices, run.change.after);
    return run;
}

GuardPreview PreviewGuard(bool on, RegistryApi& registry, DeviceApi& devices) {
    GuardPreview preview;
    preview.run = Preview(registry, devices, preview.plan,
                          [on](RegistryApi& r, DeviceApi& d) { return RunGuard(on, r, d); });
    return preview;
}

}  // namespace portquell
