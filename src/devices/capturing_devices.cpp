#include "devices/capturing_devices.h"

namespace portquell {

DevStatus CapturingDevices::ListDevices(const std::string& classGuid, const std::string& enumerator,
                                        std::vector<DeviceInfo>& devices) {
    for (const ListingRead& listing : listings_) {
        if (listing.classGuid == classGuid && listing.enumerator == enumerator) {
            devices = listing.devices;
            return listing.status;
        }
    }
    ListingRead listing{classGuid, enumerator, {}, {}};
    listing.status = base_.ListDevices(classGuid, enumerator, listing.devices);
    if (!listing.status.Ok()) listing.devices.clear();
    devices = listing.devices;
    listings_.push_back(std::move(listing));
    return listings_.back().status;
}

DevStatus CapturingDevices::RemoveDevice(const std::string& /*instanceId*/) {
    return DevStatus::Win32(devstatus::kAccessDenied);
}

DevStatus CapturingDevices::RestartDevice(const std::string& /*instanceId*/) {
    return DevStatus::Win32(devstatus::kAccessDenied);
}

DevStatus CapturingDevices::ReadDetails(const std::string& instanceId, DeviceDetails& details) {
    for (const DetailsRead& read : details_) {
        if (read.instanceId == instanceId) {
            details = read.details;
            return read.status;
        }
    }
    DetailsRead read{instanceId, {}, {}};
    read.status = base_.ReadDetails(instanceId, read.details);
    details = read.details;
    details_.push_back(std::move(read));
    return details_.back().status;
}

}  // namespace portquell
