// One change at a time on the machine: every run that changes something
// holds one machine-wide lock for the whole change (a named mutex in the
// Global namespace on Windows), so that two runs never interleave.
#pragma once

#include <cstdint>

namespace portquell {

inline constexpr int kLockWaitMilliseconds = 10000;

enum class LockOutcome {
    Taken,
    TakenOver,  // its holder ended without letting it go (a run killed midway)
    Busy,       // another run held it for the whole wait
    Refused,    // the system refused to make or open it (status)
};

class RunLock {
public:
    virtual ~RunLock() = default;
    // Waits up to milliseconds for the lock; status is set when Refused.
    [[nodiscard]] virtual LockOutcome Take(int milliseconds, std::int32_t& status) = 0;
    // Lets go of a lock taken.
    virtual void Release() = 0;
};

// A lock of one process, for the tests: holder says who holds it now.
class MemoryRunLock final : public RunLock {
public:
    enum class Holder { None, Other, Abandoned };
    LockOutcome Take(int /*milliseconds*/, std::int32_t& status) override {
        ++takes;
        if (refuseWith != 0) {
            status = refuseWith;
            return LockOutcome::Refused;
        }
        if (held || holder == Holder::Other) return LockOutcome::Busy;
        const bool abandoned = holder == Holder::Abandoned;
        holder = Holder::None;
        held = true;
        return abandoned ? LockOutcome::TakenOver : LockOutcome::Taken;
    }
    void Release() override { held = false; }
    Holder holder = Holder::None;
    bool held = false;  // taken by this program and not released
    int takes = 0;
    std::int32_t refuseWith = 0;
};

// Holds a lock taken for as long as it lives.
class LockHold {
public:
    LockHold(RunLock& lock, int milliseconds) : lock_(lock), outcome_(lock.Take(milliseconds, status_)) {}
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;
    ~LockHold() {
        if (Held()) lock_.Release();
    }
    [[nodiscard]] bool Held() const { return outcome_ == LockOutcome::Taken || outcome_ == LockOutcome::TakenOver; }
    [[nodiscard]] LockOutcome Outcome() const { return outcome_; }
    [[nodiscard]] std::int32_t Status() const { return status_; }

private:
    RunLock& lock_;
    std::int32_t status_ = 0;
    LockOutcome outcome_;
};

// The lock of the machine the program runs on: the mutex
// Global\Portquell.Change on Windows; elsewhere one lock per process.
[[nodiscard]] RunLock& PlatformRunLock();

}  // namespace portquell
