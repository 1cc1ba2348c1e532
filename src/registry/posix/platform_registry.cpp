#include "registry/memory_registry.h"

namespace portquell {

// Systems without a registry get one in memory, alive for the process.
RegistryApi& PlatformRegistry() {
    static MemoryRegistry registry;
    return registry;
}

}  // namespace portquell
