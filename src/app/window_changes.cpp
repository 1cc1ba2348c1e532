#include "app/window_changes.h"

#include <optional>

#include "app/main_window.h"
#include "app/system_error_text.h"

namespace portquell {

namespace {

MemoryEventLog ownLog;
MemoryRunLock ownLock;
std::optional<ChangeSeams> seamsInUse;

ChangeSeams& Seams() {
    if (!seamsInUse) seamsInUse.emplace(ChangeSeams{ownLog, ownLock, {}});
    return *seamsInUse;
}

}  // namespace

void UseChangeSeams(const ChangeSeams* seams) {
    if (seams == nullptr) {
        seamsInUse.reset();
    } else {
        seamsInUse.emplace(*seams);
    }
}

bool RunWindowChange(MainWindow& form, RegistryApi& registry, DeviceApi& devices, const std::string& what,
                     const std::function<void(RegistryApi&, DeviceApi&)>& change) {
    ChangeSeams seams = Seams();
    seams.context.program = "Portquell window: " + what;
    const ChangeRunOutcome outcome = RunChange(seams, registry, devices, change);
    if (outcome.lock == LockOutcome::Busy) {
        form.MessageBox("Another Portquell run is changing this PC; nothing was changed.\r\n\r\nTry again when it "
                        "has finished.",
                        MessageIcon::Warning);
        return false;
    }
    if (outcome.lock == LockOutcome::Refused) {
        form.MessageBox("The lock that keeps Portquell's runs apart could not be taken (" +
                            StatusInWords(outcome.lockStatus) + "); nothing was changed.",
                        MessageIcon::Warning);
        return false;
    }
    if (outcome.reported && outcome.reportStatus != 0) {
        form.MessageBox("Portquell could not record this in the event log (" + StatusInWords(outcome.reportStatus) + ").",
                        MessageIcon::Warning);
    }
    return true;
}

}  // namespace portquell
