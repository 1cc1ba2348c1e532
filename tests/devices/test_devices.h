// Devices of one test's own in whichever device tree this build has: the
// in-memory one natively, SetupAPI under Wine (instance keys written
// under HKLM\SYSTEM\CurrentControlSet\Enum, removed at the end). The same
// contract cases run on both.
#pragma once

#include <memory>
#include <string>

#include "devices/device_api.h"

namespace portquell::testing {

class TestDevices {
public:
    virtual ~TestDevices() = default;
    [[nodiscard]] virtual DeviceApi& Api() = 0;
    // Installs device (its instance ID, IDs, service, class); present and
    // parent as the system allows: what it records is what ListDevices
    // gives back.
    virtual void Seed(const DeviceInfo& device) = 0;
    // What the device says it is on its bus (ASCII), as the system keeps it.
    virtual void SeedReported(const std::string& instanceId, const std::string& text) = 0;
    // Whether the system still records the instance.
    [[nodiscard]] virtual bool Recorded(const std::string& instanceId) = 0;
    // Whether this tree can restart a device (Wine cannot).
    [[nodiscard]] virtual bool RestartsDevices() const = 0;
    // An enumerator name of this test's own.
    [[nodiscard]] virtual std::string Enumerator() const = 0;
};

[[nodiscard]] std::unique_ptr<TestDevices> MakeTestDevices();

}  // namespace portquell::testing
