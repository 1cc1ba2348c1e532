// portquell-bench-seed N: writes the generated machine of N device
// instances into the registry it runs on (a Wine prefix of the benchmark's
// own). Exit 0 written, 1 a write was refused.
#include <cstdio>
#include <cstdlib>

#include "machine.h"

int main(int argc, char** argv) {
    const int instances = argc > 1 ? std::atoi(argv[1]) : 5000;
    portquell::RegStatus status = 0;
    if (!portquell::bench::WriteMachine(portquell::PlatformRegistry(), instances, status)) {
        std::fprintf(stderr, "portquell-bench-seed: a write was refused (status %d)\n", static_cast<int>(status));
        return 1;
    }
    return 0;
}
