#include "devices/dry_run_devices.h"

namespace portquell {

namespace {

DevStatus Take(const std::string& instanceId, std::vector<std::string>& taken) {
    if (instanceId.empty()) return DevStatus::Win32(devstatus::kInvalidDevinstName);
    taken.push_back(instanceId);
    return {};
}

}  // namespace

DevStatus DryRunDevices::ListDevices(const std::string& classGuid, const std::string& enumerator,
                                     std::vector<DeviceInfo>& devices) {
    return base_.ListDevices(classGuid, enumerator, devices);
}

DevStatus DryRunDevices::RemoveDevice(const std::string& instanceId) { return Take(instanceId, removed_); }

DevStatus DryRunDevices::RestartDevice(const std::string& instanceId) { return Take(instanceId, restarted_); }

}  // namespace portquell
