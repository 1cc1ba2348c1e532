// A device tree that lists what the one under it lists and takes every
// removal and restart without passing it on, keeping them in order: the
// plan of what a command would do to devices, for a preview that runs the
// command itself.
#pragma once

#include <string>
#include <vector>

#include "devices/device_api.h"

namespace portquell {

class DryRunDevices final : public DeviceApi {
public:
    // base must outlive it.
    explicit DryRunDevices(DeviceApi& base) : base_(base) {}

    DevStatus ListDevices(const std::string& classGuid, const std::string& enumerator,
                          std::vector<DeviceInfo>& devices) override;
    // Taken (success), but for an empty ID, which the device layer refuses.
    DevStatus RemoveDevice(const std::string& instanceId) override;
    DevStatus RestartDevice(const std::string& instanceId) override;
    DevStatus ReadDetails(const std::string& instanceId, DeviceDetails& details) override {
        return base_.ReadDetails(instanceId, details);
    }

    [[nodiscard]] const std::vector<std::string>& Removed() const { return removed_; }
    [[nodiscard]] const std::vector<std::string>& Restarted() const { return restarted_; }

private:
    DeviceApi& base_;
    std::vector<std::string> removed_;
    std::vector<std::string> restarted_;
};

}  // namespace portquell
