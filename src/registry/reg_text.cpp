#include "registry/reg_text.h"

#include "registry/registry_api.h"

namespace portquell {

const char* RootName(std::int32_t root) {
    switch (root) {
        case regroot::kClassesRoot: return "HKCR";
        case regroot::kCurrentUser: return "HKCU";
        case regroot::kUsers: return "HKU";
        case regroot::kCurrentConfig: return "HKCC";
        default: return "HKLM";
    }
}

std::string TypeName(std::uint32_t type) {
    static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY",
                                         "REG_DWORD", "REG_DWORD_BIG_ENDIAN", "REG_LINK",
                                         "REG_MULTI_SZ", "REG_RESOURCE_LIST",
                                         "REG_FULL_RESOURCE_DESCRIPTOR",
                                         "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD"};
    if (type < sizeof kNames / sizeof kNames[0]) return kNames[type];
    return "type " + std::to_string(type);
}

}  // namespace portquell
