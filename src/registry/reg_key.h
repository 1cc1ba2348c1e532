// Owns one key handle given out by a RegistryApi and closes it at the end
// of its life. Movable, not copyable.
#pragma once

#include <utility>

#include "registry/registry_api.h"

namespace portquell {

class RegKey {
public:
    RegKey() = default;
    explicit RegKey(RegistryApi& api) : api_(&api) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept
        : api_(other.api_), handle_(std::exchange(other.handle_, 0)) {}
    RegKey& operator=(RegKey&& other) noexcept {
        if (this != &other) {
            Reset();
            api_ = other.api_;
            handle_ = std::exchange(other.handle_, 0);
        }
        return *this;
    }
    ~RegKey() { Reset(); }

    [[nodiscard]] RegHandle Get() const noexcept { return handle_; }

    // Takes ownership of h, closing the handle held before (if any).
    void Reset(RegHandle h = 0) noexcept {
        if (handle_ != 0 && api_ != nullptr) {
            (void)api_->CloseKey(handle_);
        }
        handle_ = h;
    }

    // Closes the held handle (0 included: the registry then answers that
    // the handle is invalid) and gives it up only when that succeeded.
    [[nodiscard]] RegStatus Close() noexcept {
        const RegStatus status = api_->CloseKey(handle_);
        if (status == regstatus::kSuccess) handle_ = 0;
        return status;
    }

private:
    RegistryApi* api_ = nullptr;
    RegHandle handle_ = 0;
};

}  // namespace portquell
