#include "devices/memory_devices.h"

#include <algorithm>
#include <cctype>

namespace portquell {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "{8-4-4-4-12}" in hexadecimal digits, as SetupAPI takes a class.
bool IsGuid(const std::string& text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// The enumerator of an instance ID: the part before its first backslash.
std::string EnumeratorOf(const std::string& instanceId) {
    return instanceId.substr(0, instanceId.find('\\'));
}

}  // namespace

std::string MemoryDevices::Key(const std::string& classGuid, const std::string& enumerator) {
    return Upper(classGuid) + "|" + Upper(enumerator);
}

DevStatus MemoryDevices::ListDevices(const std::string& classGuid, const std::string& enumerator,
                                     std::vector<DeviceInfo>& devices) {
    devices.clear();
    constexpr std::uint32_t kInvalidParameter = 87;
    if (classGuid.empty() && enumerator.empty()) return DevStatus::Win32(kInvalidParameter);
    if (!classGuid.empty() && !IsGuid(classGuid)) return DevStatus::Win32(kInvalidParameter);
    if (!listFailure_.Ok()) return listFailure_;
    const auto failure = listingFailures_.find(Key(classGuid, enumerator));
    if (failure != listingFailures_.end()) return failure->second;
    for (const DeviceInfo& d : devices_) {
        if (!classGuid.empty() && Upper(d.classGuid) != Upper(classGuid)) continue;
        if (!enumerator.empty() && Upper(EnumeratorOf(d.instanceId)) != Upper(enumerator)) continue;
        devices.push_back(d);
        if (hideParents_) devices.back().parent.clear();
    }
    return {};
}

std::vector<DeviceInfo>::iterator MemoryDevices::Find(const std::string& instanceId) {
    return std::find_if(devices_.begin(), devices_.end(),
                        [&](const DeviceInfo& d) { return Upper(d.instanceId) == Upper(instanceId); });
}

DeviceInfo* MemoryDevices::Edit(const std::string& instanceId) {
    const auto device = Find(instanceId);
    return device == devices_.end() ? nullptr : &*device;
}

DevStatus MemoryDevices::RemoveDevice(const std::string& instanceId) {
    if (instanceId.empty()) return DevStatus::Win32(devstatus::kInvalidDevinstName);
    const auto failure = removeFailures_.find(Upper(instanceId));
    if (failure != removeFailures_.end()) return failure->second;
    const auto device = Find(instanceId);
    if (device == devices_.end()) return DevStatus::Win32(devstatus::kNoSuchDevinst);
    // A running stack under a running parent is torn down at the next
    // restart; until then the device stays as it is.
    const auto parent = device->parent.empty() ? devices_.end() : Find(device->parent);
    if (device->present && parent != devices_.end() && parent->present) {
        return DevStatus::Win32(devstatus::kRebootRequired);
    }
    devices_.erase(device);
    return {};
}

DevStatus MemoryDevices::RestartDevice(const std::string& instanceId) {
    if (instanceId.empty()) return DevStatus::Win32(devstatus::kInvalidDevinstName);
    const auto failure = restartFailures_.find(Upper(instanceId));
    if (failure != restartFailures_.end()) return failure->second;
    const auto device = Find(instanceId);
    if (device == devices_.end()) return DevStatus::Win32(devstatus::kNoSuchDevinst);
    // A device that is not present (an unplugged adapter) has no device
    // node to stop and start: CfgMgr32 locates only devices configured in
    // the tree (CM_LOCATE_DEVNODE_NORMAL) and answers CR_NO_SUCH_DEVNODE
    // otherwise, which SetupAPI's DIF_PROPERTYCHANGE hands on as
    // ERROR_NO_SUCH_DEVINST. Modelled from the documentation; not seen on
    // Windows.
    if (!device->present) return DevStatus::Win32(devstatus::kNoSuchDevinst);
    restarted_.push_back(instanceId);
    // The serial enumerator starts again with the port and reads
    // SkipEnumerations: with detection off it reports no children.
    if (detectionOff_ && detectionOff_(instanceId)) {
        for (DeviceInfo& d : devices_) {
            if (Upper(d.parent) == Upper(instanceId) && Upper(EnumeratorOf(d.instanceId)) == "SERENUM") {
                d.present = false;
            }
        }
    }
    return {};
}

DevStatus MemoryDevices::ReadDetails(const std::string& instanceId, DeviceDetails& details) {
    details = {};
    if (instanceId.empty()) return DevStatus::Win32(devstatus::kInvalidDevinstName);
    const auto device = Find(instanceId);
    if (device == devices_.end()) return DevStatus::Win32(devstatus::kNoSuchDevinst);
    const auto reported = reported_.find(Upper(instanceId));
    if (reported != reported_.end()) details.reported = reported->second;
    if (!hideParents_) details.parent = device->parent;
    return {};
}

void MemoryDevices::SetReported(const std::string& instanceId, std::string text) {
    reported_[Upper(instanceId)] = std::move(text);
}

void MemoryDevices::FailRemove(const std::string& instanceId, DevStatus status) {
    removeFailures_[Upper(instanceId)] = status;
}

void MemoryDevices::FailRestart(const std::string& instanceId, DevStatus status) {
    restartFailures_[Upper(instanceId)] = status;
}

}  // namespace portquell
