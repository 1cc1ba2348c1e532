// Systems without a device tree: an empty in-memory one.
#include "devices/memory_devices.h"

namespace portquell {

DeviceApi& PlatformDevices() {
    static MemoryDevices devices;
    return devices;
}

}  // namespace portquell
