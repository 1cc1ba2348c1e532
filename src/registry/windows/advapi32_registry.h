// The real registry, through the ANSI functions of advapi32.
#pragma once

#include "registry/registry_api.h"

namespace portquell {

class Advapi32Registry final : public RegistryApi {
public:
    RegStatus OpenKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegHandle* result) override;
    RegStatus CreateKeyEx(RegHandle root, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access, bool inheritHandle, RegHandle* result,
                          std::uint32_t* disposition) override;
    RegStatus QueryValueEx(RegHandle key, const std::string& name, std::uint32_t* type,
                           std::uint8_t* data, std::uint32_t* size) override;
    RegStatus SetValueEx(RegHandle key, const std::string& name, std::uint32_t type,
                         const std::uint8_t* data, std::uint32_t size) override;
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char* name,
                      std::uint32_t nameSize) override;
    RegStatus EnumValue(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* dataSize) override;
    RegStatus CloseKey(RegHandle key) override;
    RegStatus DeleteValue(RegHandle key, const std::string& name) override;
    RegStatus DeleteKey(RegHandle key, const std::string& subKey) override;
};

}  // namespace portquell
