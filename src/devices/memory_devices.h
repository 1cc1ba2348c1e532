// A device tree held in memory that answers as SetupAPI does wherever the
// port model can tell, and refuses on demand: the statuses a real system
// will not give when asked (access denied, a restart it cannot do, a list
// it cannot open). Every build has it: it is the device tree of the native
// tests and of systems without one.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "devices/device_api.h"

namespace portquell {

class MemoryDevices final : public DeviceApi {
public:
    DevStatus ListDevices(const std::string& classGuid, const std::string& enumerator,
                          std::vector<DeviceInfo>& devices) override;
    DevStatus RemoveDevice(const std::string& instanceId) override;
    DevStatus RestartDevice(const std::string& instanceId) override;

    void Add(DeviceInfo device) { devices_.push_back(std::move(device)); }
    [[nodiscard]] const std::vector<DeviceInfo>& Devices() const { return devices_; }

    // Calls answer status instead of acting: every listing, or the removal
    // or restart of one instance ID (any case).
    void FailList(DevStatus status) { listFailure_ = status; }
    void FailRemove(const std::string& instanceId, DevStatus status);
    void FailRestart(const std::string& instanceId, DevStatus status);

    // Instance IDs restarted with success, in order.
    [[nodiscard]] const std::vector<std::string>& Restarted() const { return restarted_; }

private:
    std::vector<DeviceInfo>::iterator Find(const std::string& instanceId);

    std::vector<DeviceInfo> devices_;
    DevStatus listFailure_;
    std::map<std::string, DevStatus> removeFailures_;   // upper-case instance ID
    std::map<std::string, DevStatus> restartFailures_;  // upper-case instance ID
    std::vector<std::string> restarted_;
};

}  // namespace portquell
