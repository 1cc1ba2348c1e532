// A device tree that keeps what a run read of the one under it: each
// listing and each device's details, asked once and answered from what it
// kept after that, so that several commands run on it see one moment of
// the machine. It never removes or restarts anything.
#pragma once

#include <string>
#include <vector>

#include "devices/device_api.h"

namespace portquell {

struct ListingRead {
    std::string classGuid;
    std::string enumerator;
    DevStatus status;
    std::vector<DeviceInfo> devices;
};

struct DetailsRead {
    std::string instanceId;
    DevStatus status;
    DeviceDetails details;
};

class CapturingDevices final : public DeviceApi {
public:
    // base must outlive it.
    explicit CapturingDevices(DeviceApi& base) : base_(base) {}

    DevStatus ListDevices(const std::string& classGuid, const std::string& enumerator,
                          std::vector<DeviceInfo>& devices) override;
    // Refused: a capture changes nothing (kAccessDenied, Win32).
    DevStatus RemoveDevice(const std::string& instanceId) override;
    DevStatus RestartDevice(const std::string& instanceId) override;
    DevStatus ReadDetails(const std::string& instanceId, DeviceDetails& details) override;

    [[nodiscard]] const std::vector<ListingRead>& Listings() const { return listings_; }
    [[nodiscard]] const std::vector<DetailsRead>& Details() const { return details_; }

private:
    DeviceApi& base_;
    std::vector<ListingRead> listings_;
    std::vector<DetailsRead> details_;
};

}  // namespace portquell
