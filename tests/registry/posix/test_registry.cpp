#include "registry/memory_registry.h"
#include "test_registry.h"

namespace portquell::testing {

namespace {

class InMemoryTestRegistry final : public TestRegistry {
public:
    InMemoryTestRegistry() {
        RegHandle key = 0;
        std::uint32_t disposition = 0;
        (void)registry_.CreateKeyEx(Root(), base_, 0, regaccess::kAllAccess, false, &key,
                                    &disposition);
        (void)registry_.CloseKey(key);
    }
    RegistryApi& Api() override { return registry_; }
    RegHandle Root() const override { return regroot::kCurrentUser; }
    const std::string& Base() const override { return base_; }
    void DeleteTree(const std::string& subKey) override {
        (void)registry_.DeleteTree(Root(), subKey);
    }
    bool IsInMemory() const override { return true; }

private:
    MemoryRegistry registry_;
    std::string base_ = "Software\\PortquellTest";
};

}  // namespace

std::unique_ptr<TestRegistry> MakeTestRegistry() {
    return std::make_unique<InMemoryTestRegistry>();
}

}  // namespace portquell::testing
