// Relief now, after SkipEnumerations was written -1 for a port: restart
// the port so that the serial enumerator reads the value again (it keeps
// it in memory from the port's start), and remove the serial mice it
// installed there, which would otherwise stay until Windows restarts.
#pragma once

#include <vector>

#include "devices/device_api.h"
#include "ports/serial_mice.h"

namespace portquell {

struct Relief {
    struct Removal {
        SerialMouse mouse;
        DevStatus status;  // AtNextRestart(): removed when Windows restarts
        // Removed now, or gone already (it vanished after the listing).
        [[nodiscard]] bool Gone() const;
    };
    DevStatus restart;  // the port's; AtNextRestart(): at the next restart
    std::vector<Removal> removals;

    // Every mouse gone now and detection off from now on.
    [[nodiscard]] bool InForceNow() const;
    // Every mouse gone now (the pointer is the user's again), whatever the
    // restart did.
    [[nodiscard]] bool MiceGone() const;
};

// Restarts port and removes mice (the serial mice installed on it). Call
// it only for a port whose SkipEnumerations write succeeded.
[[nodiscard]] Relief RelieveNow(DeviceApi& devices, const SerialPort& port,
                                const std::vector<SerialMouse>& mice);

}  // namespace portquell
