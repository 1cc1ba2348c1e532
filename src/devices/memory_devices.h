// A device tree held in memory that answers as SetupAPI does wherever the
// port model can tell, and refuses on demand: the statuses a real system
// will not give when asked (access denied, a restart it cannot do, a list
// it cannot open). Every build has it: it is the device tree of the native
// tests and of systems without one.
//
// What it models of Windows: a device's parent is its place in the tree
// (DeviceInfo::parent), whether or not listings name it. Restarting a port
// whose serial mouse detection is off (SetDetectionOff) leaves the serial
// mice under it not present, as the serial enumerator finds none when the
// port starts again. Removing a device that is present under a present
// parent (its driver stack running) is done only at the next restart
// (3010); the device stays until then. A vanished or empty instance ID is
// refused with SetupAPI's codes, and so is restarting a device that is not
// present.
#pragma once

#include <functional>
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
    DevStatus ReadDetails(const std::string& instanceId, DeviceDetails& details) override;

    void Add(DeviceInfo device) { devices_.push_back(std::move(device)); }
    [[nodiscard]] const std::vector<DeviceInfo>& Devices() const { return devices_; }
    // The device with this instance ID (any case), to change in place; null
    // when there is none.
    [[nodiscard]] DeviceInfo* Edit(const std::string& instanceId);

    // What the device with this instance ID (any case) reports on its bus.
    void SetReported(const std::string& instanceId, std::string text);

    // Listings and details leave every parent unnamed, as Wine's do
    // (CfgMgr32 without a parent); the tree keeps them.
    void HideParents(bool hide = true) { hideParents_ = hide; }
    // Whether serial mouse detection is off for a port (by instance ID);
    // asked when the port restarts. Without it, detection is on.
    void SetDetectionOff(std::function<bool(const std::string& portInstanceId)> off) {
        detectionOff_ = std::move(off);
    }

    // Calls answer status instead of acting: every listing, or the removal
    // or restart of one instance ID (any case).
    void FailList(DevStatus status) { listFailure_ = status; }
    // The listing of this class and enumerator alone answers status.
    void FailListing(const std::string& classGuid, const std::string& enumerator, DevStatus status) {
        listingFailures_[Key(classGuid, enumerator)] = status;
    }
    void FailRemove(const std::string& instanceId, DevStatus status);
    void FailRestart(const std::string& instanceId, DevStatus status);

    // Instance IDs restarted with success, in order.
    [[nodiscard]] const std::vector<std::string>& Restarted() const { return restarted_; }

private:
    std::vector<DeviceInfo>::iterator Find(const std::string& instanceId);
    [[nodiscard]] static std::string Key(const std::string& classGuid, const std::string& enumerator);

    std::vector<DeviceInfo> devices_;
    bool hideParents_ = false;
    std::function<bool(const std::string&)> detectionOff_;
    DevStatus listFailure_;
    std::map<std::string, DevStatus> listingFailures_;  // upper-case class|enumerator
    std::map<std::string, DevStatus> removeFailures_;   // upper-case instance ID
    std::map<std::string, DevStatus> restartFailures_;  // upper-case instance ID
    std::map<std::string, std::string> reported_;       // upper-case instance ID
    std::vector<std::string> restarted_;
};

}  // namespace portquell
