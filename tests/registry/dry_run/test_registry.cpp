// The contract's scratch area in a registry that takes writes without
// passing them on, over an in-memory one: a preview reads and writes
// through it as a command does through the registry itself.
#include "registry/dry_run_registry.h"
#include "registry/memory_registry.h"
#include "test_registry.h"

namespace portquell::testing {

namespace {

class DryRunTestRegistry final : public TestRegistry {
public:
    DryRunTestRegistry() {
        RegHandle key = 0;
        std::uint32_t disposition = 0;
        (void)base_.CreateKeyEx(Root(), base_path_, 0, regaccess::kAllAccess, false, &key,
                                &disposition);
        (void)base_.CloseKey(key);
    }
    ~DryRunTestRegistry() override {
        // Whatever the test wrote stayed above the registry underneath.
        RegHandle key = 0;
        if (base_.OpenKeyEx(Root(), base_path_, 0, regaccess::kQueryAndEnumerate, &key) != regstatus::kSuccess) std::abort();
        char name[32];
        std::uint32_t size = sizeof name;
        if (base_.EnumKey(key, 0, name, sizeof name) != regstatus::kNoMoreItems ||
            base_.EnumValue(key, 0, name, &size, nullptr, nullptr, nullptr) != regstatus::kNoMoreItems) {
            std::abort();
        }
        (void)base_.CloseKey(key);
    }
    RegistryApi& Api() override { return dry_; }
    RegHandle Root() const override { return regroot::kCurrentUser; }
    const std::string& Base() const override { return base_path_; }
    void DeleteTree(const std::string&) override {}
    bool IsInMemory() const override { return true; }

private:
    MemoryRegistry base_;
    DryRunRegistry dry_{base_};
    std::string base_path_ = "Software\\PortquellTest";
};

}  // namespace

std::unique_ptr<TestRegistry> MakeTestRegistry() { return std::make_unique<DryRunTestRegistry>(); }

}  // namespace portquell::testing
