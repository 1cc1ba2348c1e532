// A report's machine in memory: the registry it read (keys refused as it
// refused them) and its device tree, for the commands to run on again.
#pragma once

#include <map>
#include <string>

#include "cli/machine_report.h"
#include "devices/memory_devices.h"
#include "registry/memory_registry.h"

namespace portquell {

// The in-memory registry with the report's keys, refusing to open a key
// the report's run could not read, and any key below it, with its status.
class ReplayRegistry final : public RegistryApi {
public:
    RegStatus OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                        RegHandle* result) override;
    RegStatus CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                          bool inheritHandle, RegHandle* result, std::uint32_t* disposition) override;
    RegStatus QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) override {
        return memory.QueryValueEx(key, name, type, data, size);
    }
    RegStatus SetValueEx(RegHandle key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) override {
        return memory.SetValueEx(key, name, type, data, size);
    }
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char* name, std::uint32_t nameSize) override {
        return memory.EnumKey(key, index, name, nameSize);
    }
    RegStatus EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* dataSize) override {
        return memory.EnumValue(key, index, name, nameSize, type, data, dataSize);
    }
    RegStatus CloseKey(RegHandle key) override;
    RegStatus DeleteValue(RegHandle key, const std::string& name) override { return memory.DeleteValue(key, name); }
    RegStatus DeleteKey(RegHandle key, const std::string& subKey) override { return memory.DeleteKey(key, subKey); }

    MemoryRegistry memory;
    std::map<std::string, RegStatus> refused;  // by root and upper-case path

private:
    [[nodiscard]] RegStatus RefusalFor(RegHandle root, const std::string& subKey) const;
    std::map<RegHandle, std::string> paths_;  // handles given out: root and upper-case path
};

// Loads report's registry and devices; false with why when they cannot
// be laid out (a key path the registry refuses).
[[nodiscard]] bool LoadMachine(const MachineReport& report, ReplayRegistry& registry, MemoryDevices& devices,
                               std::string& why);

}  // namespace portquell
