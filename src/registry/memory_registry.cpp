#include "registry/memory_registry.h"

#include <algorithm>
#include <cstring>

namespace portquell {

namespace {

constexpr RegStatus kKeyDeleted = 1018;
constexpr RegStatus kBadPathname = 161;
constexpr std::size_t kMaxKeyNameChars = 255;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare as their lower-case forms, so '_' sorts before the
// letters, which is the order Wine's advapi32 enumerates in.
struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
            });
    }
};

// Splits a sub-key path at backslashes. A trailing backslash is allowed;
// a leading one or an empty part in the middle is a bad path, as on
// Windows.
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty()) return true;
    if (path.front() == '\\') return false;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t end = path.find('\\', start);
        const std::size_t stop = end == std::string::npos ? path.size() : end;
        if (stop == start) return false;
        parts.push_back(path.substr(start, stop - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return true;
}

bool IsPredefined(RegHandle h) {
    const auto u = static_cast<std::uint32_t>(h);
    return u >= 0x80000000u && u <= 0x800000FFu;
}

}  // namespace

struct MemoryRegistry::Key {
    struct Value {
        std::string name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    std::string name;
    bool deleted = false;
    std::vector<Value> values;  // creation order
    std::map<std::string, std::size_t, CaseInsensitiveLess> valueIndex;
    std::map<std::string, std::shared_ptr<Key>, CaseInsensitiveLess> subKeys;
    // Sub-keys in enumeration order, rebuilt after a change, so that
    // enumerating n keys costs O(n) rather than O(n^2).
    std::vector<const Key*> subKeyOrder;
    bool subKeyOrderStale = false;

    Value* FindValue(const std::string& valueName) {
        auto it = valueIndex.find(valueName);
        return it == valueIndex.end() ? nullptr : &values[it->second];
    }

    void AddValue(Value value) {
        valueIndex.emplace(value.name, values.size());
        values.push_back(std::move(value));
    }

    void AddSubKey(const std::shared_ptr<Key>& child) {
        subKeys.emplace(child->name, child);
        subKeyOrderStale = true;
    }

    const Key* SubKeyAt(std::size_t index) {
        if (subKeyOrderStale || subKeyOrder.size() != subKeys.size()) {
            subKeyOrder.clear();
            for (const auto& [childName, child] : subKeys) subKeyOrder.push_back(child.get());
            subKeyOrderStale = false;
        }
        return index < subKeyOrder.size() ? subKeyOrder[index] : nullptr;
    }

    void MarkDeleted() {
        deleted = true;
        for (auto& [childName, child] : subKeys) child->MarkDeleted();
    }
};

MemoryRegistry::MemoryRegistry() {
    // The predefined roots are handles like any other, with every right,
    // that closing never removes.
    for (RegHandle root : {regroot::kClassesRoot, regroot::kCurrentUser, regroot::kLocalMachine,
                           regroot::kUsers, regroot::kCurrentConfig}) {
        handles_.emplace(root, Handle{std::make_shared<Key>(), regaccess::kAllAccess});
    }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::LookupResult MemoryRegistry::Lookup(RegHandle key) {
    auto it = handles_.find(key);
    if (it == handles_.end()) return {regstatus::kInvalidHandle, nullptr};
    if (it->second.key->deleted) return {kKeyDeleted, nullptr};
    return {regstatus::kSuccess, &it->second};
}

RegHandle MemoryRegistry::NewHandle(std::shared_ptr<Key> key, std::uint32_t access) {
    const RegHandle h = nextHandle_;
    nextHandle_ += 4;  // like kernel handles; never reused, so a stale one stays invalid
    handles_.emplace(h, Handle{std::move(key), access});
    return h;
}

RegStatus MemoryRegistry::OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t,
                                    std::uint32_t access, RegHandle* result) {
    if (result == nullptr) return regstatus::kInvalidParameter;
    *result = 0;
    const LookupResult parent = Lookup(root);
    if (parent.status != regstatus::kSuccess) return parent.status;
    std::vector<std::string> parts;
    if (!SplitPath(subKey, parts)) return kBadPathname;
    std::shared_ptr<Key> key = parent.handle->key;
    for (const auto& part : parts) {
        auto child = key->subKeys.find(part);
        if (child == key->subKeys.end()) return regstatus::kFileNotFound;
        key = child->second;
    }
    *result = NewHandle(std::move(key), access);
    return regstatus::kSuccess;
}

RegStatus MemoryRegistry::CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t,
                                      std::uint32_t access, bool, RegHandle* result,
                                      std::uint32_t* disposition) {
    if (result == nullptr) return regstatus::kInvalidParameter;
    *result = 0;
    const LookupResult parent = Lookup(root);
    if (parent.status != regstatus::kSuccess) return parent.status;
    std::vector<std::string> parts;
    if (!SplitPath(subKey, parts)) return kBadPathname;
    for (const auto& part : parts) {
        if (part.size() > kMaxKeyNameChars) return regstatus::kInvalidParameter;
    }
    // Find how much of the path exists before creating anything, so that a
    // refused creation leaves no partial path behind.
    std::shared_ptr<Key> key = parent.handle->key;
    std::size_t existing = 0;
    for (; existing < parts.size(); ++existing) {
        auto child = key->subKeys.find(parts[existing]);
        if (child == key->subKeys.end()) break;
        key = child->second;
    }
    const bool creates = existing < parts.size();
    if (creates && existing == 0 && (parent.handle->access & regaccess::kCreateSubKey) == 0) {
        return regstatus::kAccessDenied;
    }
    for (std::size_t i = existing; i < parts.size(); ++i) {
        auto child = std::make_shared<Key>();
        child->name = parts[i];
        key->AddSubKey(child);
        key = child;
    }
    if (disposition != nullptr) {
        *disposition = creates ? regdisposition::kCreatedNewKey : regdisposition::kOpenedExistingKey;
    }
    *result = NewHandle(std::move(key), access);
    return regstatus::kSuccess;
}

RegStatus MemoryRegistry::QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* size) {
    const LookupResult found = Lookup(key);
    if (found.status != regstatus::kSuccess) return found.status;
    if ((found.handle->access & regaccess::kQueryValue) == 0) return regstatus::kAccessDenied;
    if (data != nullptr && size == nullptr) return regstatus::kInvalidParameter;
    const Key::Value* value = found.handle->key->FindValue(name);
    if (value == nullptr) return regstatus::kFileNotFound;
    if (type != nullptr) *type = value->type;
    const auto length = static_cast<std::uint32_t>(value->data.size());
    if (data != nullptr && *size < length) {
        *size = length;
        return regstatus::kMoreData;
    }
    if (data != nullptr && length > 0) std::memcpy(data, value->data.data(), length);
    if (size != nullptr) *size = length;
    return regstatus::kSuccess;
}

RegStatus MemoryRegistry::SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) {
    const LookupResult found = Lookup(key);
    if (found.status != regstatus::kSuccess) return found.status;
    if ((found.handle->access & regaccess::kSetValue) == 0) return regstatus::kAccessDenied;
    if (data == nullptr && size != 0) return 998;  // ERROR_NOACCESS, as Windows answers
    if (name.size() > kMaxValueNameChars) return regstatus::kInvalidParameter;
    std::vector<std::uint8_t> bytes(data, data + size);
    Key& target = *found.handle->key;
    if (Key::Value* existing = target.FindValue(name)) {
        existing->type = type;
        existing->data = std::move(bytes);
    } else {
        target.AddValue(Key::Value{name, type, std::move(bytes)});
    }
    return regstatus::kSuccess;
}

RegStatus MemoryRegistry::EnumKey(RegHandle key, std::uint32_t index, char* name,
                                  std::uint32_t nameSize) {
    const LookupResult found = Lookup(key);
    if (found.status != regstatus::kSuccess) return found.status;
    if ((found.handle->access & regaccess::kEnumerateSubKeys) == 0) return regstatus::kAccessDenied;
    const Key* child = found.handle->key->SubKeyAt(index);
    if (child == nullptr) return regstatus::kNoMoreItems;
    const std::string& keyName = child->name;
    if (name == nullptr || keyName.size() + 1 > nameSize) return regstatus::kMoreData;
    std::memcpy(name, keyName.c_str(), keyName.size() + 1);
    return regstatus::kSuccess;
}

RegStatus MemoryRegistry::EnumValue(RegHandle key, std::uint32_t index, char* name,
                                    std::uint32_t* nameSize, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* dataSize) {
    const LookupResult found = Lookup(key);
    if (found.status != regstatus::kSuccess) return found.status;
    if ((found.handle->access & regaccess::kQueryValue) == 0) return regstatus::kAccessDenied;
    if (name == nullptr || nameSize == nullptr) return regstatus::kInvalidParameter;
    if (data != nullptr && dataSize == nullptr) return regstatus::kInvalidParameter;
    const auto& values = found.handle->key->values;
    if (index >= values.size()) return regstatus::kNoMoreItems;
    const Key::Value& value = values[index];
    const auto length = static_cast<std::uint32_t>(value.data.size());
    if (value.name.size() + 1 > *nameSize) return regstatus::kMoreData;
    if (data != nullptr && *dataSize < length) {
        *dataSize = length;
        return regstatus::kMoreData;
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameSize = static_cast<std::uint32_t>(value.name.size());
    if (type != nullptr) *type = value.type;
    if (data != nullptr && length > 0) std::memcpy(data, value.data.data(), length);
    if (dataSize != nullptr) *dataSize = length;
    return regstatus::kSuccess;
}

RegStatus MemoryRegistry::CloseKey(RegHandle key) {
    if (IsPredefined(key)) {
        return handles_.count(key) != 0 ? regstatus::kSuccess : regstatus::kInvalidHandle;
    }
    return handles_.erase(key) != 0 ? regstatus::kSuccess : regstatus::kInvalidHandle;
}

RegStatus MemoryRegistry::DeleteValue(RegHandle key, const std::string& name) {
    const LookupResult found = Lookup(key);
    if (found.status != regstatus::kSuccess) return found.status;
    if ((found.handle->access & regaccess::kSetValue) == 0) return regstatus::kAccessDenied;
    Key& target = *found.handle->key;
    const auto at = target.valueIndex.find(name);
    if (at == target.valueIndex.end()) return regstatus::kFileNotFound;
    const std::size_t gone = at->second;
    target.values.erase(target.values.begin() + static_cast<std::ptrdiff_t>(gone));
    target.valueIndex.erase(at);
    for (auto& entry : target.valueIndex) {
        if (entry.second > gone) --entry.second;
    }
    return regstatus::kSuccess;
}

RegStatus MemoryRegistry::DeleteKey(RegHandle key, const std::string& subKey) { return Remove(key, subKey, false); }

RegStatus MemoryRegistry::DeleteTree(RegHandle root, const std::string& subKey) { return Remove(root, subKey, true); }

RegStatus MemoryRegistry::Remove(RegHandle root, const std::string& subKey, bool withSubKeys) {
    const LookupResult parent = Lookup(root);
    if (parent.status != regstatus::kSuccess) return parent.status;
    std::vector<std::string> parts;
    if (!SplitPath(subKey, parts) || parts.empty()) return regstatus::kInvalidParameter;
    std::shared_ptr<Key> key = parent.handle->key;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        auto child = key->subKeys.find(parts[i]);
        if (child == key->subKeys.end()) return regstatus::kFileNotFound;
        key = child->second;
    }
    auto victim = key->subKeys.find(parts.back());
    if (victim == key->subKeys.end()) return regstatus::kFileNotFound;
    // RegDeleteKey removes only a key without sub-keys.
    if (!withSubKeys && !victim->second->subKeys.empty()) return regstatus::kAccessDenied;
    victim->second->MarkDeleted();
    key->subKeys.erase(victim);
    key->subKeyOrderStale = true;
    return regstatus::kSuccess;
}

}  // namespace portquell
