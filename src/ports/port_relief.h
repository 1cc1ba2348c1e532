// Relief now, after SkipEnumerations was written -1 for ports: restart
// each port so that the serial enumerator reads the value again (it keeps
// it in memory from the port's start), then remove the serial mice it
// installed there, which would otherwise stay until Windows restarts. A
// port is restarted only where that can change something: not without
// the serial enumerator (no mouse can be detected there), not when it is
// not connected (Windows cannot restart it, and builds its stack afresh
// when it is next connected), not when it was off already and carries no
// serial mouse. An application holding the port open would only veto
// such a restart. What counts as done is decided here, once, for every
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
    // Why a port is restarted or not.
    enum class Need {
        Restart,       // restarted
        NoEnumerator,  // the serial enumerator is known not to be on its stack
        NotConnected,  // in force when it is next connected
        OffAlready,    // off before the command, and no serial mouse installed on it
    };
    SerialPort port;  // its skip as read before the write
    SerialEnumerator enumerator = SerialEnumerator::Unknown;  // on its stack
    Need need = Need::Restart;
    DevStatus restart;  // the port's, when it was restarted
    std::vector<Removal> removals;  // the port's mice, present ones first

    [[nodiscard]] bool Restarts() const { return need == Need::Restart; }
    // Every mouse of the port gone now.
    [[nodiscard]] bool MiceGone() const;
};

// What relief made of one port, the one verdict every front end words.
struct ReliefVerdict {
    enum class Kind {
        Now,            // in force now
        WhenConnected,  // not connected: in force when it is next connected
        AtNextRestart,  // in force from the next restart of Windows (3010, or a mouse that may be on it is left)
        Refused,        // a restart or removal was refused (status): in force only from the next restart
    };
    Kind kind = Kind::Now;
    DevStatus status;  // Refused: the refusal's
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
    [[nodiscard]] ReliefVerdict VerdictOf(const Relief& relief) const;
};

// What RelieveNow would do for port, with the plan's mice: the decision
// alone, for a preview and for the relief itself.
[[nodiscard]] Relief::Need ReliefNeed(const SerialPort& port, SerialEnumerator enumerator, const MicePlan& plan);

// Restarts each port of written (those whose SkipEnumerations write
// succeeded, and only those) that needs it (ReliefNeed), and removes its
// mice, then removes the plan's unattached mice. Each port's skip is its
// value before the write, and connected whether it is connected (none:
// not known, restarted as connected). No registry key is held open while
// it runs.
[[nodiscard]] ReliefReport RelieveNow(DeviceApi& devices, RegistryApi& registry, const MicePlan& plan,
                                      const std::vector<SerialPort>& written);

}  // namespace portquell
