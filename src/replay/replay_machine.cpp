#include "replay/replay_machine.h"

#include <set>

#include "ports/serial_port.h"
#include "support/display_text.h"

namespace portquell {

namespace {

std::string Id(RegHandle root, const std::string& path) { return std::to_string(root) + ":" + UpperText(path); }

}  // namespace

RegStatus ReplayRegistry::RefusalFor(RegHandle root, const std::string& subKey) const {
    std::string base = Id(root, "");
    const auto known = paths_.find(root);
    if (known != paths_.end()) base = known->second;
    const std::string full = base + (base.back() == ':' || subKey.empty() ? "" : "\\") + UpperText(subKey);
    for (const auto& [key, status] : refused) {
        // The key itself, or one below it.
        if (full == key || (full.size() > key.size() && full.compare(0, key.size(), key) == 0 &&
                            (key.back() == ':' || full[key.size()] == '\\'))) {
            return status;
        }
    }
    return regstatus::kSuccess;
}

RegStatus ReplayRegistry::OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                                    std::uint32_t access, RegHandle* result) {
    const RegStatus refusal = RefusalFor(root, subKey);
    if (refusal != regstatus::kSuccess) return refusal;
    const RegStatus status = memory.OpenKeyEx(root, subKey, options, access, result);
    if (status == regstatus::kSuccess && result != nullptr) {
        const auto known = paths_.find(root);
        const std::string base = known != paths_.end() ? known->second : Id(root, "");
        paths_[*result] = base + (base.back() == ':' || subKey.empty() ? "" : "\\") + UpperText(subKey);
    }
    return status;
}

RegStatus ReplayRegistry::CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                                      std::uint32_t access, bool inheritHandle, RegHandle* result,
                                      std::uint32_t* disposition) {
    const RegStatus refusal = RefusalFor(root, subKey);
    if (refusal != regstatus::kSuccess) return refusal;
    const RegStatus status = memory.CreateKeyEx(root, subKey, options, access, inheritHandle, result, disposition);
    if (status == regstatus::kSuccess && result != nullptr) {
        const auto known = paths_.find(root);
        const std::string base = known != paths_.end() ? known->second : Id(root, "");
        paths_[*result] = base + (base.back() == ':' || subKey.empty() ? "" : "\\") + UpperText(subKey);
    }
    return status;
}

RegStatus ReplayRegistry::CloseKey(RegHandle key) {
    paths_.erase(key);
    return memory.CloseKey(key);
}

bool LoadMachine(const MachineReport& report, ReplayRegistry& registry, MemoryDevices& devices, std::string& why) {
    for (const KeyRead& key : report.registry) {
        if (key.status != regstatus::kSuccess) {
            registry.refused[Id(key.root, key.path)] = key.status;
            continue;
        }
        RegHandle here = 0;
        std::uint32_t made = 0;
        if (registry.memory.CreateKeyEx(key.root, key.path, 0, regaccess::kAllAccess, false, &here, &made) !=
            regstatus::kSuccess) {
            why = "the key '" + DisplayText(key.path) + "' cannot be laid out in a registry";
            return false;
        }
        bool laid = true;
        for (const std::string& name : key.subKeys) {
            RegHandle child = 0;
            laid = laid && !name.empty() && name.find('\\') == std::string::npos &&
                   registry.memory.CreateKeyEx(here, name, 0, regaccess::kAllAccess, false, &child, &made) == regstatus::kSuccess;
            if (laid) (void)registry.memory.CloseKey(child);
        }
        for (const KeyRead::Value& value : key.values) {
            laid = laid && registry.memory.SetValueEx(here, value.name, value.type,
                                                      reinterpret_cast<const std::uint8_t*>(value.data.data()),
                                                      static_cast<std::uint32_t>(value.data.size())) == regstatus::kSuccess;
        }
        (void)registry.memory.CloseKey(here);
        if (!laid) {
            why = "a sub-key or value of '" + DisplayText(key.path) + "' cannot be laid out in a registry";
            return false;
        }
    }
    // Every device any listing named, once, in the order first seen: each
    // listing is the tree's answer for its class and enumerator.
    std::set<std::string> seen;
    bool parents = false;
    for (const ListingRead& listing : report.listings) {
        if (!listing.status.Ok()) devices.FailListing(listing.classGuid, listing.enumerator, listing.status);
        for (const DeviceInfo& device : listing.devices) {
            parents = parents || !device.parent.empty();
            if (seen.insert(UpperText(device.instanceId)).second) devices.Add(device);
        }
    }
    for (const DetailsRead& read : report.details) {
        parents = parents || !read.details.parent.empty();
        if (read.status.Ok() && read.details.reported) devices.SetReported(read.instanceId, *read.details.reported);
    }
    // A system that named no parent (Wine) names none here either.
    devices.HideParents(!parents);
    return true;
}

}  // namespace portquell
