// A device tree that passes every call on and keeps each removal and
// restart it was asked for, with the status it got, refused ones too.
#pragma once

#include <string>
#include <vector>

#include "devices/device_api.h"

namespace portquell {

struct DevChange {
    enum class Kind { Remove, Restart };
    Kind kind = Kind::Restart;
    std::string instanceId;
    DevStatus status;
};

class TrailDevices final : public DeviceApi {
public:
    // base must outlive it.
    explicit TrailDevices(DeviceApi& base) : base_(base) {}

    DevStatus ListDevices(const std::string& classGuid, const std::string& enumerator,
                          std::vector<DeviceInfo>& devices) override {
        return base_.ListDevices(classGuid, enumerator, devices);
    }
    DevStatus RemoveDevice(const std::string& instanceId) override {
        changes_.push_back({DevChange::Kind::Remove, instanceId, base_.RemoveDevice(instanceId)});
        return changes_.back().status;
    }
    DevStatus RestartDevice(const std::string& instanceId) override {
        changes_.push_back({DevChange::Kind::Restart, instanceId, base_.RestartDevice(instanceId)});
        return changes_.back().status;
    }
    DevStatus ReadDetails(const std::string& instanceId, DeviceDetails& details) override {
        return base_.ReadDetails(instanceId, details);
    }

    [[nodiscard]] const std::vector<DevChange>& Changes() const { return changes_; }

private:
    DeviceApi& base_;
    std::vector<DevChange> changes_;
};

}  // namespace portquell
