// guard on and guard off as a whole: the policy change, then (on, with the
// policy in force) the removal of every serial mouse installed before it,
// which would keep its driver: Windows starts such a mouse again without
// asking the policy. Off reinstalls nothing. A preview is the same run
// against stand-ins that keep its changes as a plan.
#pragma once

#include <vector>

#include "guard/guard_report.h"
#include "guard/mouse_guard.h"
#include "ports/change_plan.h"

namespace portquell {

struct GuardRun {
    GuardChange change;
    bool inForce = false;                  // on, and the policy read back in force: the mice are removed
    std::vector<Relief::Removal> removals; // the mice installed before it, present ones first
    GuardReport after;                     // the policy as the change read it back; the mice as they are now

    // The policy was written (in part, where a refusal's undoing failed).
    [[nodiscard]] bool PolicyChanged() const {
        return change.outcome == GuardChange::Outcome::Done || !change.notUndone.empty();
    }
    // In force, but a mouse could not be listed or removed.
    [[nodiscard]] bool MiceLeft() const;
};

[[nodiscard]] GuardRun RunGuard(bool on, RegistryApi& registry, DeviceApi& devices);

struct GuardPreview {
    GuardRun run;      // as it would go, were every write and removal taken
    ChangePlan plan;   // what it would write, and the mice it would remove
};

[[nodiscard]] GuardPreview PreviewGuard(bool on, RegistryApi& registry, DeviceApi& devices);

}  // namespace portquell
