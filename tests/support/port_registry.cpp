#include "port_registry.h"

#include <algorithm>
#include <stdexcept>

namespace portquell::testing {

namespace {

// The helpers are used by the unit tests and by the fuzz targets alike, so
// a failure is an exception, which both report.
void Succeeds(RegStatus status) {
    if (status != regstatus::kSuccess) {
        throw std::runtime_error("registry helper failed with status " + std::to_string(status));
    }
}

std::string InstanceKey(const std::string& instance) { return kPortsKey + "\\" + instance; }

void Dump(RegistryApi& reg, RegHandle key, const std::string& path, std::string& out) {
    char name[256];
    std::vector<char> valueName(kMaxValueNameChars + 1);
    for (std::uint32_t i = 0;; ++i) {
        auto nameSize = static_cast<std::uint32_t>(valueName.size());
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (reg.EnumValue(key, i, valueName.data(), &nameSize, &type, nullptr, &size) != 0) break;
        std::vector<std::uint8_t> data(size);
        const std::string valueNameText(valueName.data(), nameSize);
        (void)reg.QueryValueEx(key, valueNameText, &type, data.data(), &size);
        out += path + " [" + valueNameText + "] type " + std::to_string(type) + ":";
        for (auto b : data) out += " " + std::to_string(b);
        out += "\n";
    }
    for (std::uint32_t i = 0; reg.EnumKey(key, i, name, sizeof name) == 0; ++i) {
        const std::string child = name;
        out += path + "\\" + child + "\n";
        RegHandle sub = 0;
        if (reg.OpenKeyEx(key, child, 0, regaccess::kQueryAndEnumerate, &sub) == 0) {
            Dump(reg, sub, path + "\\" + child, out);
            (void)reg.CloseKey(sub);
        }
    }
}

}  // namespace

void SetPortValue(MemoryRegistry& reg, const std::string& instance, const std::string& name,
                  std::uint32_t type, const std::vector<std::uint8_t>& data) {
    SetValueAt(reg, InstanceKey(instance), name, type, data);
}

void SetPrefixAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& prefix, std::uint32_t type) {
    SetTextAt(reg, instanceKey, "ParentIdPrefix", prefix, type);
}

void SetTextAt(MemoryRegistry& reg, const std::string& key, const std::string& name, const std::string& text,
               std::uint32_t type) {
    RegHandle handle = 0;
    Succeeds(reg.CreateKeyEx(regroot::kLocalMachine, key, 0, regaccess::kAllAccess, false, &handle, nullptr));
    Succeeds(reg.SetValueEx(handle, name, type, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                            static_cast<std::uint32_t>(text.size() + 1)));
    Succeeds(reg.CloseKey(handle));
}

void SetPortsClassAt(MemoryRegistry& reg, const std::string& instanceKey) {
    SetTextAt(reg, instanceKey, "ClassGUID", kPortsClassGuidText);
    SetFiltersAt(reg, "SYSTEM\\CurrentControlSet\\Control\\Class\\" + kPortsClassGuidText, {"serenum"});
}

void SetFiltersAt(MemoryRegistry& reg, const std::string& key, const std::vector<std::string>& filters) {
    std::string bytes;
    for (const std::string& f : filters) bytes += f + '\0';
    bytes += '\0';
    RegHandle handle = 0;
    Succeeds(reg.CreateKeyEx(regroot::kLocalMachine, key, 0, regaccess::kAllAccess, false, &handle, nullptr));
    Succeeds(reg.SetValueEx(handle, "UpperFilters", 7, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                            static_cast<std::uint32_t>(bytes.size())));
    Succeeds(reg.CloseKey(handle));
}

std::vector<std::uint8_t> RawValueAt(MemoryRegistry& reg, const std::string& key, const std::string& name) {
    RegHandle handle = 0;
    if (reg.OpenKeyEx(regroot::kLocalMachine, key, 0, regaccess::kQueryAndEnumerate, &handle) != 0) return {};
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;
    if (reg.QueryValueEx(handle, name, &type, nullptr, &size) == 0) {
        data.resize(size);
        if (reg.QueryValueEx(handle, name, &type, data.data(), &size) != 0) data.clear();
    }
    (void)reg.CloseKey(handle);
    return data;
}

bool DetectionOffAt(MemoryRegistry& reg, const std::string& instanceId) {
    const StoredValue v = ValueAt(reg, "SYSTEM\\CurrentControlSet\\Enum\\" + instanceId, "SkipEnumerations");
    return v.present && v.type == 4 && v.data == std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF};
}

void SetValueAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& name,
                std::uint32_t type, const std::vector<std::uint8_t>& data) {
    RegHandle key = 0;
    Succeeds(reg.CreateKeyEx(regroot::kLocalMachine, instanceKey + "\\Device Parameters", 0,
                                 regaccess::kAllAccess, false, &key, nullptr));
    Succeeds(reg.SetValueEx(key, name, type, data.empty() ? nullptr : data.data(),
                                static_cast<std::uint32_t>(data.size())));
    Succeeds(reg.CloseKey(key));
}

void AddPort(MemoryRegistry& reg, const std::string& instance, const std::string& portName) {
    AddPortAt(reg, InstanceKey(instance), portName);
}

void AddPortAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& portName) {
    std::vector<std::uint8_t> text(portName.begin(), portName.end());
    text.push_back(0);
    SetValueAt(reg, instanceKey, "PortName", regtype::kSz, text);
}

StoredValue PortValue(MemoryRegistry& reg, const std::string& instance, const std::string& name) {
    return ValueAt(reg, InstanceKey(instance), name);
}

StoredValue ValueAt(MemoryRegistry& reg, const std::string& instanceKey, const std::string& name) {
    StoredValue value;
    RegHandle key = 0;
    if (reg.OpenKeyEx(regroot::kLocalMachine, instanceKey + "\\Device Parameters", 0,
                      regaccess::kQueryValue, &key) != 0) {
        return value;
    }
    std::uint32_t size = 0;
    if (reg.QueryValueEx(key, name, &value.type, nullptr, &size) == 0) {
        value.data.resize(size);
        value.present = reg.QueryValueEx(key, name, &value.type, value.data.data(), &size) == 0;
    }
    (void)reg.CloseKey(key);
    return value;
}

std::vector<std::string> SortedLines(const std::string& dump) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = dump.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(dump.substr(start, end - start));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string DumpMachine(RegistryApi& reg) {
    std::string out;
    Dump(reg, regroot::kLocalMachine, "HKLM", out);
    return out;
}

}  // namespace portquell::testing
