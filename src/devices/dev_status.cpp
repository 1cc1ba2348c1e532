#include <cstdio>

#include "devices/device_api.h"

namespace portquell {

std::string DevStatusText(DevStatus status) {
    if (status.code == devstatus::kNoStatus) return "no status";
    if (status.kind == DevStatus::Kind::ConfigRet) return "CONFIGRET " + std::to_string(status.code);
    if (status.code > 0xFFFF) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status.code));
        const std::string code = std::string("status ") + text;
        switch (status.code) {
            case devstatus::kNoSuchDevinst:
                return code + ": no such device";
            case devstatus::kInvalidDevinstName:
                return code + ": no device instance ID";
            case devstatus::kInWow64:
                return code + ": a 32-bit program cannot change devices on 64-bit Windows";
            default:
                return code;
        }
    }
    return "status " + std::to_string(status.code);
}

}  // namespace portquell
