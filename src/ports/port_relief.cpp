#include "ports/port_relief.h"

#include <algorithm>

namespace portquell {

namespace {

bool AllGone(const std::vector<Relief::Removal>& removals) {
    return std::all_of(removals.begin(), removals.end(), [](const Relief::Removal& r) { return r.Gone(); });
}

}  // namespace

bool Relief::MiceGone() const { return AllGone(removals); }

Relief::Need ReliefNeed(const SerialPort& port, SerialEnumerator enumerator, const MicePlan& plan) {
    if (enumerator == SerialEnumerator::No) return Relief::Need::NoEnumerator;
    if (port.connected == std::optional<bool>(false)) return Relief::Need::NotConnected;
    if (port.DetectionOff() && plan.For(port).empty()) return Relief::Need::OffAlready;
    return Relief::Need::Restart;
}

bool ReliefReport::InForceNow(const Relief& relief) const {
    return (!relief.Restarts() || relief.restart.Ok()) && relief.MiceGone() && AllGone(unattached) && left.empty() && miceComplete;
}

ReliefVerdict ReliefReport::VerdictOf(const Relief& relief) const {
    using Kind = ReliefVerdict::Kind;
    if (InForceNow(relief)) return {relief.need == Relief::Need::NotConnected ? Kind::WhenConnected : Kind::Now, {}};
    if (relief.Restarts() && !relief.restart.Ok()) return {Kind::Refused, relief.restart};
    for (const Relief::Removal& removal : relief.removals) {
        if (!removal.Gone() && !removal.status.AtNextRestart()) return {Kind::Refused, removal.status};
    }
    return {Kind::AtNextRestart, {}};
}

bool ReliefReport::AllInForceNow() const {
    return std::all_of(ports.begin(), ports.end(), [&](const Relief& r) { return InForceNow(r); });
}

ReliefReport RelieveNow(DeviceApi& devices, RegistryApi& registry, const MicePlan& plan,
                        const std::vector<SerialPort>& written) {
    ReliefReport report;
    report.miceComplete = plan.Complete();
    report.left = plan.Left();
    const std::vector<SerialEnumerator> enumerators = FindSerialEnumerators(registry, written);
    for (std::size_t i = 0; i < written.size(); ++i) {
        const SerialPort& port = written[i];
        Relief relief;
        relief.port = port;
        relief.enumerator = enumerators[i];
        relief.need = ReliefNeed(port, relief.enumerator, plan);
        // The restart first: the port's stack stops, and with it the mouse
        // it made; then the mouse's device is uninstalled.
        if (relief.Restarts()) relief.restart = devices.RestartDevice(port.InstanceId());
        for (const SerialMouse& mouse : plan.For(port)) {
            relief.removals.push_back({mouse, devices.RemoveDevice(mouse.device.instanceId)});
        }
        report.ports.push_back(std::move(relief));
    }
    for (const SerialMouse& mouse : plan.Unattached()) {
        report.unattached.push_back({mouse, devices.RemoveDevice(mouse.device.instanceId)});
    }
    return report;
}

}  // namespace portquell
