#include "ports/mice_plan.h"

#include <algorithm>
#include <iterator>

namespace portquell {

namespace {

bool IsPresent(const SerialMouse& mouse) { return mouse.device.present; }

std::vector<SerialMouse> PresentOnly(const std::vector<SerialMouse>& mice) {
    std::vector<SerialMouse> present;
    std::copy_if(mice.begin(), mice.end(), std::back_inserter(present), IsPresent);
    return present;
}

bool SamePort(const SerialPort& a, const SerialPort& b) { return SameTextIgnoringCase(a.InstanceKey(), b.InstanceKey()); }

}  // namespace

MicePlan PlanMice(const MiceInventory& inventory, const std::vector<SerialPort>& ports, bool everyPort) {
    MicePlan plan;
    plan.everyPort = everyPort;
    plan.listing = inventory.status;
    plan.refusals = inventory.refusals;
    for (const SerialMouse& mouse : inventory.mice) {
        if (mouse.noPort) continue;
        if (!mouse.port) {
            plan.untold.push_back(mouse);
        } else if (std::any_of(ports.begin(), ports.end(), [&](const SerialPort& p) { return SamePort(p, *mouse.port); })) {
            plan.onPorts.push_back(mouse);
        }
    }
    std::stable_partition(plan.onPorts.begin(), plan.onPorts.end(), IsPresent);
    std::stable_partition(plan.untold.begin(), plan.untold.end(), IsPresent);
    return plan;
}

std::vector<SerialPort> PortsWithPresentMouse(const MiceInventory& inventory, const std::vector<SerialPort>& ports) {
    std::vector<SerialPort> with;
    std::copy_if(ports.begin(), ports.end(), std::back_inserter(with), [&](const SerialPort& port) {
        return std::any_of(inventory.mice.begin(), inventory.mice.end(), [&](const SerialMouse& m) {
            return IsPresent(m) && m.port && SamePort(*m.port, port);
        });
    });
    return with;
}

std::vector<SerialMouse> MicePlan::Present() const {
    std::vector<SerialMouse> present = PresentOnly(onPorts);
    const std::vector<SerialMouse> untoldPresent = PresentOnly(untold);
    present.insert(present.end(), untoldPresent.begin(), untoldPresent.end());
    return present;
}

std::vector<SerialMouse> MicePlan::For(const SerialPort& port) const {
    std::vector<SerialMouse> on;
    std::copy_if(onPorts.begin(), onPorts.end(), std::back_inserter(on),
                 [&](const SerialMouse& m) { return SamePort(*m.port, port); });
    return on;
}

std::vector<SerialMouse> MicePlan::Installed() const {
    std::vector<SerialMouse> all = onPorts;
    all.insert(all.end(), untold.begin(), untold.end());
    std::stable_partition(all.begin(), all.end(), IsPresent);
    return all;
}

std::vector<SerialMouse> MicePlan::Unattached() const { return everyPort ? untold : std::vector<SerialMouse>{}; }

std::vector<SerialMouse> MicePlan::Left() const {
    return everyPort ? std::vector<SerialMouse>{} : PresentOnly(untold);
}

}  // namespace portquell
