#include "registry/dry_run_registry.h"

#include <algorithm>
#include <cctype>

#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

bool IsRoot(RegHandle key) {
    return key == regroot::kClassesRoot || key == regroot::kCurrentUser || key == regroot::kLocalMachine ||
           key == regroot::kUsers || key == regroot::kCurrentConfig;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::string DryRunRegistry::Place::Path() const {
    std::string path;
    for (const std::string& name : names) path += (path.empty() ? "" : "\\") + name;
    return path;
}

bool DryRunRegistry::Locate(RegHandle key, const std::string& subKey, Place& place) const {
    if (IsRoot(key)) {
        place.root = key;
    } else {
        const auto found = handles_.find(key);
        if (found == handles_.end()) return false;
        place = found->second;
    }
    // A leading backslash, or two in a row, is refused by the registry.
    std::size_t start = 0;
    while (start < subKey.size()) {
        const std::size_t end = std::min(subKey.find('\\', start), subKey.size());
        if (end == start) return false;
        place.names.push_back(subKey.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

RegStatus DryRunRegistry::LoadKey(RegHandle root, const std::string& path) {
    const std::string id = std::to_string(root) + ":" + Upper(path);
    if (loaded_.count(id) != 0) return regstatus::kSuccess;
    clsRegHandler base(base_);
    KeyRead read{root, path, regstatus::kSuccess, {}, {}};
    const auto refused = [&](RegStatus status) {
        read.status = status;
        reads_.push_back(read);
        return status;
    };
    if (!base.OpenRegistry(root, path, false)) {
        const RegStatus status = base.LastRegStatus();
        // Missing underneath: missing here too, unless created here.
        if (status == regstatus::kFileNotFound) loaded_.insert(id);
        return status == regstatus::kFileNotFound ? regstatus::kSuccess : refused(status);
    }
    const RegNameList keys = base.GetAllsSubDirectories();
    if (!keys.IsList() || base.LastRegStatus() != regstatus::kSuccess) return refused(base.LastRegStatus());
    const RegNameList values = base.GetAllValues();
    if (!values.IsList() || base.LastRegStatus() != regstatus::kSuccess) return refused(base.LastRegStatus());
    read.subKeys = keys.Names();
    RegHandle here = 0;
    std::uint32_t disposition = 0;
    RegStatus status = shadow_.CreateKeyEx(root, path, 0, regaccess::kAllAccess, false, &here, &disposition);
    if (status != regstatus::kSuccess) return status;
    // Its sub-keys as names, each read when it is opened.
    for (const std::string& name : keys.Names()) {
        RegHandle child = 0;
        status = shadow_.CreateKeyEx(here, name, 0, regaccess::kAllAccess, false, &child, &disposition);
        if (status != regstatus::kSuccess) break;
        (void)shadow_.CloseKey(child);
    }
    for (const std::string& name : values.Names()) {
        if (status != regstatus::kSuccess) break;
        const RegValue value = base.GetRawValue(name);
        status = value.status;
        if (status != regstatus::kSuccess) break;
        read.values.push_back({name, value.type, value.data});
        status = shadow_.SetValueEx(here, name, value.type, reinterpret_cast<const std::uint8_t*>(value.data.data()),
                                    static_cast<std::uint32_t>(value.data.size()));
    }
    (void)shadow_.CloseKey(here);
    if (status != regstatus::kSuccess) return refused(status);
    loaded_.insert(id);
    reads_.push_back(std::move(read));
    return status;
}

RegStatus DryRunRegistry::Load(const Place& place) {
    std::string path;
    RegStatus status = LoadKey(place.root, path);
    for (const std::string& name : place.names) {
        if (status != regstatus::kSuccess) break;
        path += (path.empty() ? "" : "\\") + name;
        status = LoadKey(place.root, path);
    }
    return status;
}

DryRunRegistry::Place DryRunRegistry::PlaceOf(RegHandle key) const {
    Place place;
    (void)Locate(key, "", place);
    return place;
}

void DryRunRegistry::Opened(RegStatus status, const Place& place, const RegHandle* result) {
    if (status == regstatus::kSuccess && result != nullptr) handles_[*result] = place;
}

RegStatus DryRunRegistry::OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                                    std::uint32_t access, RegHandle* result) {
    Place place;
    if (Locate(root, subKey, place)) {
        const RegStatus loaded = Load(place);
        if (loaded != regstatus::kSuccess) return loaded;
    }
    const RegStatus status = shadow_.OpenKeyEx(root, subKey, options, access, result);
    Opened(status, place, result);
    return status;
}

RegStatus DryRunRegistry::CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                                      std::uint32_t access, bool inheritHandle, RegHandle* result,
                                      std::uint32_t* disposition) {
    Place place;
    if (Locate(root, subKey, place)) {
        const RegStatus loaded = Load(place);
        if (loaded != regstatus::kSuccess) return loaded;
    }
    std::uint32_t made = 0;
    const RegStatus status = shadow_.CreateKeyEx(root, subKey, options, access, inheritHandle, result, &made);
    if (disposition != nullptr) *disposition = made;
    Opened(status, place, result);
    if (status == regstatus::kSuccess && made == regdisposition::kCreatedNewKey) {
        writes_.push_back({RegWrite::Kind::CreateKey, place.root, place.Path(), "", regtype::kNone, ""});
    }
    return status;
}

RegStatus DryRunRegistry::QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* size) {
    const RegStatus status = shadow_.QueryValueEx(key, name, type, data, size);
    if (status != regstatus::kFileNotFound) {
        const Place place = PlaceOf(key);
        valuesRead_[std::to_string(place.root) + ":" + Upper(place.Path())].insert(Upper(name));
    }
    return status;
}

RegStatus DryRunRegistry::SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) {
    const RegStatus status = shadow_.SetValueEx(key, name, type, data, size);
    if (status == regstatus::kSuccess) {
        const Place place = PlaceOf(key);
        writes_.push_back({RegWrite::Kind::SetValue, place.root, place.Path(), name, type,
                           data == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(data), size)});
    }
    return status;
}

RegStatus DryRunRegistry::EnumKey(RegHandle key, std::uint32_t index, char* name, std::uint32_t nameSize) {
    return shadow_.EnumKey(key, index, name, nameSize);
}

RegStatus DryRunRegistry::EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                    std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
    const Place place = PlaceOf(key);
    valuesListed_.insert(std::to_string(place.root) + ":" + Upper(place.Path()));
    return shadow_.EnumValue(key, index, name, nameSize, type, data, dataSize);
}

std::vector<KeyRead> DryRunRegistry::Used() const {
    const auto id = [](const KeyRead& key) { return std::to_string(key.root) + ":" + Upper(key.path); };
    std::vector<KeyRead> used = reads_;
    std::set<std::string> kept;
    for (KeyRead& key : used) {
        const std::string at = id(key);
        const auto read = valuesRead_.find(at);
        if (valuesListed_.count(at) == 0) {
            std::vector<KeyRead::Value> values;
            for (KeyRead::Value& value : key.values) {
                if (read != valuesRead_.end() && read->second.count(Upper(value.name)) != 0) values.push_back(std::move(value));
            }
            key.values = std::move(values);
        }
        if (key.status == regstatus::kSuccess && key.values.empty()) continue;
        // The key and every key above it.
        std::string path = key.path;
        for (;;) {
            kept.insert(std::to_string(key.root) + ":" + Upper(path));
            if (path.empty()) break;
            const std::size_t cut = path.rfind('\\');
            path = cut == std::string::npos ? "" : path.substr(0, cut);
        }
    }
    std::vector<KeyRead> out;
    for (KeyRead& key : used) {
        if (kept.count(id(key)) == 0) continue;
        std::vector<std::string> subKeys;
        for (std::string& name : key.subKeys) {
            const std::string child = std::to_string(key.root) + ":" + Upper(key.path.empty() ? name : key.path + "\\" + name);
            if (kept.count(child) != 0) subKeys.push_back(std::move(name));
        }
        key.subKeys = std::move(subKeys);
        out.push_back(std::move(key));
    }
    return out;
}

RegStatus DryRunRegistry::CloseKey(RegHandle key) {
    const RegStatus status = shadow_.CloseKey(key);
    if (status == regstatus::kSuccess) handles_.erase(key);
    return status;
}

RegStatus DryRunRegistry::DeleteValue(RegHandle key, const std::string& name) {
    const RegStatus status = shadow_.DeleteValue(key, name);
    if (status == regstatus::kSuccess) {
        const Place place = PlaceOf(key);
        writes_.push_back({RegWrite::Kind::DeleteValue, place.root, place.Path(), name, regtype::kNone, ""});
    }
    return status;
}

RegStatus DryRunRegistry::DeleteKey(RegHandle key, const std::string& subKey) {
    Place place;
    if (Locate(key, subKey, place)) {
        // Whether it holds keys of its own is read first.
        const RegStatus loaded = Load(place);
        if (loaded != regstatus::kSuccess) return loaded;
    }
    const RegStatus status = shadow_.DeleteKey(key, subKey);
    if (status == regstatus::kSuccess) {
        writes_.push_back({RegWrite::Kind::DeleteKey, place.root, place.Path(), "", regtype::kNone, ""});
    }
    return status;
}

}  // namespace portquell
