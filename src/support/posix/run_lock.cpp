#include "support/run_lock.h"

namespace portquell {

// Systems without the program's machine-wide mutex: one lock per process.
RunLock& PlatformRunLock() {
    static MemoryRunLock lock;
    return lock;
}

}  // namespace portquell
