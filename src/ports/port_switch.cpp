#include "ports/port_switch.h"

namespace portquell {

RegStatus OpenPortForWriting(clsRegHandler& handler, const std::string& parameterKey) {
    if (handler.OpenRegistry(regroot::kLocalMachine, parameterKey, true)) return regstatus::kSuccess;
    const RegStatus status = handler.LastRegStatus();
    return status != regstatus::kSuccess ? status : -1;
}

RegStatus SetSkipEnumerations(clsRegHandler& handler, bool detectionOff) {
    return handler.SetValue(kSkipEnumerations, detectionOff ? "-1" : "0",
                            static_cast<std::int32_t>(regtype::kDword));
}

}  // namespace portquell
