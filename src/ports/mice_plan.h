// Which serial mice a command on some ports deals with, decided once for
// check --mice, disable --now and the window: the mice installed on the
// ports asked about, and those whose port cannot be told, which may be on
// any of them. Asked about every port, the latter are removed with the
// rest; asked about named ports, they are named and left. A mouse on no
// serial port is none of these: no command touches it.
#pragma once

#include <vector>

#include "ports/serial_mice.h"

namespace portquell {

struct MicePlan {
    std::vector<SerialMouse> onPorts;  // installed on a port asked about; present ones first
    std::vector<SerialMouse> untold;   // port cannot be told; present ones first
    bool everyPort = false;            // asked about every port of the machine
    DevStatus listing;                 // the inventory's device listing
    std::vector<PortRefusal> refusals; // the inventory's prefix reads refused

    // The mice that make or may make the pointer jump on a port asked
    // about: present ones on those ports, and present ones that cannot be
    // told.
    [[nodiscard]] std::vector<SerialMouse> Present() const;
    // The mice removed after port restarts: those installed on it.
    [[nodiscard]] std::vector<SerialMouse> For(const SerialPort& port) const;
    // The mice removed after every port restarted: those that cannot be
    // told, when every port was asked about.
    [[nodiscard]] std::vector<SerialMouse> Unattached() const;
    // Present mice that cannot be told and are not removed (ports were
    // named): they keep the change from being in force now.
    [[nodiscard]] std::vector<SerialMouse> Left() const;
    // Every mouse of the plan, on a port asked about or untold, present
    // ones first: what keeps a driver the guard would deny.
    [[nodiscard]] std::vector<SerialMouse> Installed() const;
    [[nodiscard]] bool Complete() const { return listing.Ok() && refusals.empty(); }
};

// The plan for ports (those asked about; everyPort when that is every port).
[[nodiscard]] MicePlan PlanMice(const MiceInventory& inventory, const std::vector<SerialPort>& ports,
                                bool everyPort);

// The ports of ports on which a placed serial mouse is present now, each
// once, in the order of ports: where the pointer may be jumping.
[[nodiscard]] std::vector<SerialPort> PortsWithPresentMouse(const MiceInventory& inventory,
                                                            const std::vector<SerialPort>& ports);

}  // namespace portquell
