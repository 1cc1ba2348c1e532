#include <cstdio>

#include "devices/device_api.h"

namespace portquell {

std::string DevStatusText(DevStatus status) {
    if (status.code == devstatus::kNoStatus) return "no status";
    if (status.kind == DevStatus::Kind::ConfigRet) return "CONFIGRET " + std::to_string(status.code);
    if (status.code > 0xFFFF) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status.code));
        return std::string("status ") + text;
    }
    return "status " + std::to_string(status.code);
}

}  // namespace portquell
