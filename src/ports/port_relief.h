// Relief now, after SkipEnumerations was written -1 for ports: restart
// each port so that the serial enumerator reads the value again (it keeps
// it in memory from the port's start), then remove the serial mice it
// installed there, which would otherwise stay until Windows restarts. A
// port without the serial enumerator is not restarted: no mouse can be
// detected there, and an application holding the port open would only
// veto the restart. What counts as done is decided here, once, for every
// front end.
#pragma once

#include <vector>

#include "devices/device_api.h"
#include "ports/mice_plan.h"
#include "ports/serial_enumerator.h"
#include "registry/registry_api.h"

namespace portquell {

struct Relief {
    struct Removal {
        SerialMouse mouse;
        DevStatus status;  // AtNextRestart(): removed when Windows restarts
        // Removed now, or gone already (it vanished after the listing).
        [[nodiscard]] bool Gone() const { return status.Ok() || status.Vanished(); }
    };
    SerialPort port;
    SerialEnumerator enumerator = SerialEnumerator::Unknown;  // on its stack
    DevStatus restart;  // the port's, when it was restarted
    std::vector<Removal> removals;  // the port's mice, present ones first

    // Whether it was restarted: unless the serial enumerator is known not
    // to be on it.
    [[nodiscard]] bool Restarts() const { return enumerator != SerialEnumerator::No; }
    // Every mouse of the port gone now.
    [[nodiscard]] bool MiceGone() const;
};

struct ReliefReport {
    std::vector<Relief> ports;               // in the order written
    std::vector<Relief::Removal> unattached; // mice whose port cannot be told, removed (every port asked)
    std::vector<SerialMouse> left;           // present mice whose port cannot be told, not removed
    bool miceComplete = true;                // every mouse listed and placed where it could be

    // The change is in force now for relief's port: it restarted (or has
    // no serial enumerator), its mice are gone, and no mouse that could be
    // on it is left or unknown.
    [[nodiscard]] bool InForceNow(const Relief& relief) const;
    [[nodiscard]] bool AllInForceNow() const;
};

// Restarts each port of written (those whose SkipEnumerations write
// succeeded, and only those) that may have the serial enumerator, and
// removes its mice, then removes the plan's unattached mice. No registry
// key is held open while it runs.
[[nodiscard]] ReliefReport RelieveNow(DeviceApi& devices, RegistryApi& registry, const MicePlan& plan,
                                      const std::vector<SerialPort>& written);

}  // namespace portquell
