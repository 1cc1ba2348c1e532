#include "support/event_log.h"

#include <cstdlib>
#include <unistd.h>

namespace portquell {

// Systems without an event log get one in memory, alive for the process.
EventLog& PlatformEventLog() {
    static MemoryEventLog log;
    return log;
}

std::string RunningAccount() {
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

std::string RunningProgramPath() { return "portquell"; }

bool RunningElevated() { return geteuid() == 0; }

}  // namespace portquell
