// A scratch area of a registry for one test: the in-memory registry in
// native builds, the real one (under HKEY_CURRENT_USER, removed at the
// end) in Windows builds. The same tests run on both.
#pragma once

#include <memory>
#include <string>

#include "registry/registry_api.h"

namespace portquell::testing {

class TestRegistry {
public:
    virtual ~TestRegistry() = default;
    [[nodiscard]] virtual RegistryApi& Api() = 0;
    // Root and path of the test's own key; it exists when the test starts.
    [[nodiscard]] virtual RegHandle Root() const = 0;
    [[nodiscard]] virtual const std::string& Base() const = 0;
    // Removes root\subKey and everything below it.
    virtual void DeleteTree(const std::string& subKey) = 0;
    // True when this is the in-memory registry.
    [[nodiscard]] virtual bool IsInMemory() const = 0;

    [[nodiscard]] std::string Path(const std::string& relative) const {
        return relative.empty() ? Base() : Base() + "\\" + relative;
    }
};

[[nodiscard]] std::unique_ptr<TestRegistry> MakeTestRegistry();

}  // namespace portquell::testing
