#include "guard/policy_keys.h"

#include "registry/clsRegHandler.h"

namespace portquell {

std::string ParentKey(const std::string& key) { return key.substr(0, key.rfind('\\')); }

namespace {

std::string Leaf(const std::string& key) { return key.substr(key.rfind('\\') + 1); }

bool Exists(RegistryApi& registry, const std::string& key) { return Probe(registry, key).exists; }

}  // namespace

RegStatus CreateKeyAt(RegistryApi& registry, const std::string& key) {
    clsRegHandler handler(registry);
    return handler.OpenRegistry(regroot::kLocalMachine, key, true) ? regstatus::kSuccess : RefusalStatus(handler);
}

RegStatus DeleteKeyAt(RegistryApi& registry, const std::string& key) {
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, ParentKey(key), false)) return RefusalStatus(handler);
    return handler.DeleteSubKey(Leaf(key));
}

RegStatus SetValueAt(RegistryApi& registry, const std::string& key, const std::string& name, const std::string& text,
                     std::int32_t type) {
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, true)) return RefusalStatus(handler);
    return handler.SetValue(name, text, type);
}

RegStatus DeleteValueAt(RegistryApi& registry, const std::string& key, const std::string& name) {
    if (!Exists(registry, key)) return regstatus::kSuccess;
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, true)) return RefusalStatus(handler);
    const RegStatus status = handler.DeleteValue(name);
    return status == regstatus::kFileNotFound ? regstatus::kSuccess : status;
}

KeyProbe Probe(RegistryApi& registry, const std::string& key) {
    KeyProbe probe;
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, false)) {
        if (handler.LastRegStatus() != regstatus::kFileNotFound) probe.status = RefusalStatus(handler);
        return probe;
    }
    probe.exists = true;
    const RegNameList values = handler.GetAllValues();
    if (!values.IsList() || handler.LastRegStatus() != regstatus::kSuccess) probe.status = RefusalStatus(handler);
    const RegNameList keys = handler.GetAllsSubDirectories();
    if (!keys.IsList() || handler.LastRegStatus() != regstatus::kSuccess) probe.status = RefusalStatus(handler);
    probe.empty = values.Names().empty() && keys.Names().empty();
    return probe;
}

std::string FirstMissing(RegistryApi& registry, const std::string& path) {
    clsRegHandler handler(registry);
    for (std::size_t at = path.find('\\', path.find('\\') + 1);; at = path.find('\\', at + 1)) {
        const std::string key = path.substr(0, at);
        if (!handler.OpenRegistry(regroot::kLocalMachine, key, false) &&
            handler.LastRegStatus() == regstatus::kFileNotFound) {
            return key;
        }
        (void)handler.CloseRegistry();
        if (at == std::string::npos) return "";
    }
}

std::vector<std::string> KeysDownTo(const std::string& deepest, const std::string& top) {
    std::vector<std::string> keys;
    if (top.find('\\') == std::string::npos || !SameTextIgnoringCase(deepest.substr(0, top.size()), top) ||
        (deepest.size() > top.size() && deepest[top.size()] != '\\')) {
        return keys;
    }
    for (std::string key = deepest; key.size() >= top.size(); key = ParentKey(key)) {
        keys.push_back(key);
        if (key.size() == top.size()) break;
    }
    return keys;
}

}  // namespace portquell
