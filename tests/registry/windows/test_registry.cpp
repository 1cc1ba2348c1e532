#include <windows.h>

#include "test_registry.h"

namespace portquell::testing {

namespace {

class RealTestRegistry final : public TestRegistry {
public:
    RealTestRegistry() {
        static int counter = 0;
        base_ = "Software\\PortquellTest\\" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        RegCloseKey(key);
    }
    ~RealTestRegistry() override {
        DeleteTree(base_);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PortquellTest");  // only when empty
    }
    RegistryApi& Api() override { return PlatformRegistry(); }
    RegHandle Root() const override { return regroot::kCurrentUser; }
    const std::string& Base() const override { return base_; }
    void DeleteTree(const std::string& subKey) override {
        RegDeleteTreeA(HKEY_CURRENT_USER, subKey.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, subKey.c_str());
    }
    bool IsInMemory() const override { return false; }

private:
    std::string base_;
};

}  // namespace

std::unique_ptr<TestRegistry> MakeTestRegistry() { return std::make_unique<RealTestRegistry>(); }

}  // namespace portquell::testing
