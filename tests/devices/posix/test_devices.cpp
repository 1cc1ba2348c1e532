#include <algorithm>

#include "devices/memory_devices.h"
#include "test_devices.h"

namespace portquell::testing {

namespace {

class InMemoryTestDevices final : public TestDevices {
public:
    DeviceApi& Api() override { return devices_; }
    void Seed(const DeviceInfo& device) override { devices_.Add(device); }
    void SeedReported(const std::string& instanceId, const std::string& text) override {
        devices_.SetReported(instanceId, text);
    }
    bool Recorded(const std::string& instanceId) override {
        const auto& all = devices_.Devices();
        return std::any_of(all.begin(), all.end(), [&](const DeviceInfo& d) { return d.instanceId == instanceId; });
    }
    bool RestartsDevices() const override { return true; }
    std::string Enumerator() const override { return "PQTESTBUS"; }

private:
    MemoryDevices devices_;
};

}  // namespace

std::unique_ptr<TestDevices> MakeTestDevices() { return std::make_unique<InMemoryTestDevices>(); }

}  // namespace portquell::testing
