#include "registry/trail_registry.h"

namespace portquell {

namespace {

bool IsRoot(RegHandle key) {
    return key == regroot::kClassesRoot || key == regroot::kCurrentUser || key == regroot::kLocalMachine ||
           key == regroot::kUsers || key == regroot::kCurrentConfig;
}

}  // namespace

std::optional<TrailRegistry::Place> TrailRegistry::PlaceOf(RegHandle key, const std::string& subKey) const {
    Place place;
    if (IsRoot(key)) {
        place.root = key;
    } else {
        const auto found = handles_.find(key);
        if (found == handles_.end()) return std::nullopt;
        place = found->second;
    }
    if (!subKey.empty()) place.path += (place.path.empty() ? "" : "\\") + subKey;
    return place;
}

std::optional<TrailValue> TrailRegistry::ReadThrough(RegistryApi& registry, RegHandle key, const std::string& name,
                                                      RegStatus& status) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    status = registry.QueryValueEx(key, name, &type, nullptr, &size);
    if (status != regstatus::kSuccess) return std::nullopt;
    std::string data(size, '\0');
    status = registry.QueryValueEx(key, name, &type, reinterpret_cast<std::uint8_t*>(data.data()), &size);
    if (status != regstatus::kSuccess || size > data.size()) return std::nullopt;
    data.resize(size);
    return TrailValue{type, data};
}

std::optional<TrailValue> TrailRegistry::ReadValue(RegHandle key, const Place& place, const std::string& name) {
    RegStatus status = regstatus::kSuccess;
    std::optional<TrailValue> value = ReadThrough(base_, key, name, status);
    if (status == regstatus::kSuccess || status == regstatus::kFileNotFound) return value;
    RegHandle own = 0;
    if (base_.OpenKeyEx(place.root, place.path, 0, regaccess::kQueryValue, &own) != regstatus::kSuccess) {
        return std::nullopt;
    }
    value = ReadThrough(base_, own, name, status);
    (void)base_.CloseKey(own);
    return value;
}

bool TrailRegistry::KeyExists(const Place& place) {
    RegHandle key = 0;
    const RegStatus status = base_.OpenKeyEx(place.root, place.path, 0, regaccess::kQueryValue, &key);
    if (status == regstatus::kSuccess) (void)base_.CloseKey(key);
    return status != regstatus::kFileNotFound;
}

RegChange& TrailRegistry::Record(RegWrite::Kind kind, const Place& place, const std::string& name) {
    RegChange change;
    change.write.kind = kind;
    change.write.root = place.root;
    change.write.key = place.path;
    change.write.name = name;
    changes_.push_back(std::move(change));
    return changes_.back();
}

RegStatus TrailRegistry::OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                                   std::uint32_t access, RegHandle* result) {
    const RegStatus status = base_.OpenKeyEx(root, subKey, options, access, result);
    const std::optional<Place> place = PlaceOf(root, subKey);
    if (status == regstatus::kSuccess && result != nullptr && place) handles_[*result] = *place;
    return status;
}

RegStatus TrailRegistry::CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                                     std::uint32_t access, bool inheritHandle, RegHandle* result,
                                     std::uint32_t* disposition) {
    std::uint32_t made = 0;
    const RegStatus status = base_.CreateKeyEx(root, subKey, options, access, inheritHandle, result, &made);
    if (disposition != nullptr) *disposition = made;
    const std::optional<Place> place = PlaceOf(root, subKey);
    if (!place) return status;
    if (status == regstatus::kSuccess && result != nullptr) handles_[*result] = *place;
    // A key opened as it was is no change; one made is, and a refusal is
    // told, the key as it was (there or not).
    if (status != regstatus::kSuccess || made == regdisposition::kCreatedNewKey) {
        RegChange& change = Record(RegWrite::Kind::CreateKey, *place, "");
        change.status = status;
        change.existsAfter = status == regstatus::kSuccess || KeyExists(*place);
        change.existedBefore = status != regstatus::kSuccess && change.existsAfter;
    }
    return status;
}

RegStatus TrailRegistry::SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t size) {
    const std::optional<Place> place = PlaceOf(key, "");
    if (!place) return base_.SetValueEx(key, name, type, data, size);
    const std::optional<TrailValue> before = ReadValue(key, *place, name);
    const RegStatus status = base_.SetValueEx(key, name, type, data, size);
    RegChange& change = Record(RegWrite::Kind::SetValue, *place, name);
    change.write.type = type;
    if (data != nullptr) change.write.data.assign(reinterpret_cast<const char*>(data), size);
    change.status = status;
    change.before = before;
    change.after = ReadValue(key, *place, name);
    Beside(key, change);
    return status;
}

RegStatus TrailRegistry::DeleteValue(RegHandle key, const std::string& name) {
    const std::optional<Place> place = PlaceOf(key, "");
    if (!place) return base_.DeleteValue(key, name);
    const std::optional<TrailValue> before = ReadValue(key, *place, name);
    const RegStatus status = base_.DeleteValue(key, name);
    // Deleting what is not there changes nothing.
    if (!before && status == regstatus::kFileNotFound) return status;
    RegChange& change = Record(RegWrite::Kind::DeleteValue, *place, name);
    change.status = status;
    change.before = before;
    change.after = ReadValue(key, *place, name);
    Beside(key, change);
    return status;
}

void TrailRegistry::Beside(RegHandle key, RegChange& change) {
    for (const std::string& name : besideNames_) {
        RegStatus status = regstatus::kSuccess;
        const std::optional<TrailValue> value = ReadThrough(base_, key, name, status);
        if (value) change.beside.emplace_back(name, *value);
    }
}

RegStatus TrailRegistry::DeleteKey(RegHandle key, const std::string& subKey) {
    const std::optional<Place> place = PlaceOf(key, subKey);
    if (!place) return base_.DeleteKey(key, subKey);
    const bool existed = KeyExists(*place);
    const RegStatus status = base_.DeleteKey(key, subKey);
    if (!existed && status == regstatus::kFileNotFound) return status;
    RegChange& change = Record(RegWrite::Kind::DeleteKey, *place, "");
    change.status = status;
    change.existedBefore = existed;
    change.existsAfter = KeyExists(*place);
    return status;
}

RegStatus TrailRegistry::CloseKey(RegHandle key) {
    handles_.erase(key);
    return base_.CloseKey(key);
}

}  // namespace portquell
