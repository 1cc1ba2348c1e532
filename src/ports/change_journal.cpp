#include "ports/change_journal.h"

namespace portquell {

bool Journal::Step(const std::string& key, const Action& change, Action undo) {
    const RegStatus status = change();
    if (!portquell::Refused(status)) {
        undo_.push_back({key, std::move(undo)});
        return true;
    }
    refusals_.push_back({PortRefusal::Step::Write, status, key, std::nullopt});
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
        const RegStatus undone = it->second();
        if (portquell::Refused(undone)) notUndone_.push_back({PortRefusal::Step::Write, undone, it->first, std::nullopt});
    }
    undo_.clear();
    return false;
}

}  // namespace portquell
