// A run that changes the machine, whichever front end makes it: it holds
// the machine-wide lock for the whole change, and reports what it changed
// (or tried to, and was refused) as one event in the system's event log,
// with each change before and after, the program, its command line and
// the account. A run that changes nothing (a preview, a port already as
// asked) reports nothing and registers nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devices/trail_devices.h"
#include "ports/serial_port.h"
#include "registry/trail_registry.h"
#include "support/event_log.h"
#include "support/run_lock.h"

namespace portquell {

// The events' IDs, one per kind of outcome.
namespace trailevent {
inline constexpr std::uint32_t kDone = 1000;         // information; a warning where a device step was refused
inline constexpr std::uint32_t kPutBack = 2000;      // warning: refused, and what was written put back
inline constexpr std::uint32_t kLeftChanged = 3000;  // error: refused, and something is left changed
}  // namespace trailevent

// Who makes the change: the program ("portquell-cli" or "portquell
// window"), its command line, the account, and the program's file, which
// holds the events' message table.
struct RunContext {
    std::string program;
    std::string commandLine;
    std::string account;
    std::string programPath;
};

// What the front end hands to every change: the log, the lock and who runs.
struct ChangeSeams {
    EventLog& log;
    RunLock& lock;
    RunContext context;
};

struct TrailEvent {
    std::uint32_t id = trailevent::kDone;
    EventType type = EventType::Information;
    std::string text;  // UTF-8
};

// The event for the changes a run asked for; none when it asked for none.
// A port's key is named by the PortName read beside a change.
[[nodiscard]] std::optional<TrailEvent> MakeTrailEvent(const RunContext& context, const std::vector<RegChange>& registry,
                                                       const std::vector<DevChange>& devices);

// Makes kEventSourceKey name programPath as the message file, with the
// types it reports, where the key is missing or names another file; 0, or
// the status of a refused write.
[[nodiscard]] RegStatus RegisterEventSource(RegistryApi& registry, const std::string& programPath);

struct ChangeRunOutcome {
    LockOutcome lock = LockOutcome::Taken;
    std::int32_t lockStatus = 0;  // Refused: the system's status
    bool reported = false;        // an event was due
    std::int32_t reportStatus = 0;  // the report refused: the status
};

// Takes the lock (waiting up to kLockWaitMilliseconds), runs
// change(registry, devices) through a trail of both, and reports it.
// change does not run when the lock is busy or refused.
template <typename Change>
ChangeRunOutcome RunChange(ChangeSeams& seams, RegistryApi& registry, DeviceApi& devices, Change change);

// The trail's end: the event reported, and its source registered first.
void ReportTrail(ChangeSeams& seams, RegistryApi& registry, const TrailRegistry& regTrail,
                 const TrailDevices& devTrail, ChangeRunOutcome& outcome);

template <typename Change>
ChangeRunOutcome RunChange(ChangeSeams& seams, RegistryApi& registry, DeviceApi& devices, Change change) {
    ChangeRunOutcome outcome;
    const LockHold hold(seams.lock, kLockWaitMilliseconds);
    outcome.lock = hold.Outcome();
    outcome.lockStatus = hold.Status();
    if (!hold.Held()) return outcome;
    TrailRegistry regTrail(registry, {kPortNameValue});
    TrailDevices devTrail(devices);
    change(static_cast<RegistryApi&>(regTrail), static_cast<DeviceApi&>(devTrail));
    ReportTrail(seams, registry, regTrail, devTrail, outcome);
    return outcome;
}

}  // namespace portquell
