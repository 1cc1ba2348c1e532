// The journal that makes a change of several registry steps all or
// nothing: the guard's policy change and the switch of several ports.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ports/port_inventory.h"
#include "registry/registry_api.h"

namespace portquell {

// The steps of one change, each with its undoing: a refused step undoes
// the ones before it, last first, so the registry stays as it was; an
// undoing refused too is kept as what is left.
class Journal {
public:
    using Action = std::function<RegStatus()>;

    // Runs change, a change of HKLM\key; false when it was refused.
    bool Step(const std::string& key, const Action& change, Action undo);
    [[nodiscard]] bool Refused() const { return !refusals_.empty(); }
    [[nodiscard]] const std::vector<PortRefusal>& Refusals() const { return refusals_; }
    [[nodiscard]] const std::vector<PortRefusal>& NotUndone() const { return notUndone_; }

private:
    std::vector<std::pair<std::string, Action>> undo_;
    std::vector<PortRefusal> refusals_;
    std::vector<PortRefusal> notUndone_;
};

}  // namespace portquell
