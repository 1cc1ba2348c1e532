#include "support/run_lock.h"

#include <windows.h>
#include <sddl.h>

namespace portquell {

namespace {

// Global\Portquell.Change, made so that SYSTEM and the administrators may
// each wait for it and let it go: a startup script running as SYSTEM and
// an administrator at the window share it.
class MachineMutex final : public RunLock {
public:
    MachineMutex(const MachineMutex&) = delete;
    MachineMutex& operator=(const MachineMutex&) = delete;
    MachineMutex() = default;
    ~MachineMutex() override {
        if (mutex_ != nullptr) CloseHandle(mutex_);
    }

    LockOutcome Take(int milliseconds, std::int32_t& status) override {
        if (mutex_ == nullptr && !Open(status)) return LockOutcome::Refused;
        switch (WaitForSingleObject(mutex_, static_cast<DWORD>(milliseconds))) {
            case WAIT_OBJECT_0:
                return LockOutcome::Taken;
            case WAIT_ABANDONED:
                return LockOutcome::TakenOver;
            case WAIT_TIMEOUT:
                return LockOutcome::Busy;
            default:
                status = static_cast<std::int32_t>(GetLastError());
                return LockOutcome::Refused;
        }
    }
    void Release() override { ReleaseMutex(mutex_); }

private:
    bool Open(std::int32_t& status) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                                 &descriptor, nullptr) != FALSE) {
            attributes.lpSecurityDescriptor = descriptor;
        }
        mutex_ = CreateMutexW(&attributes, FALSE, L"Global\\Portquell.Change");
        const DWORD created = GetLastError();
        if (descriptor != nullptr) LocalFree(descriptor);
        // One made by another account may only be opened.
        if (mutex_ == nullptr) mutex_ = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Global\\Portquell.Change");
        if (mutex_ == nullptr) status = static_cast<std::int32_t>(created);
        return mutex_ != nullptr;
    }

    HANDLE mutex_ = nullptr;
};

}  // namespace

RunLock& PlatformRunLock() {
    static MachineMutex lock;
    return lock;
}

}  // namespace portquell
