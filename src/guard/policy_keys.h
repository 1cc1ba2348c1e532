// Keys and values of HKEY_LOCAL_MACHINE by path, each call with a handler
// of its own, as the guard changes them; and the journal that makes a
// change of several steps all or nothing.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ports/port_inventory.h"
#include "registry/registry_api.h"

namespace portquell {

[[nodiscard]] std::string ParentKey(const std::string& key);

// Creates HKLM\key and any missing key above it.
[[nodiscard]] RegStatus CreateKeyAt(RegistryApi& registry, const std::string& key);
// Removes HKLM\key, which must hold no key.
[[nodiscard]] RegStatus DeleteKeyAt(RegistryApi& registry, const std::string& key);
[[nodiscard]] RegStatus SetValueAt(RegistryApi& registry, const std::string& key, const std::string& name,
                                   const std::string& text, std::int32_t type);
// Removes name from HKLM\key; a missing key or value is gone already (the
// key is never created for it).
[[nodiscard]] RegStatus DeleteValueAt(RegistryApi& registry, const std::string& key, const std::string& name);

// Whether HKLM\key exists and holds no value and no key; status is the
// refusal of a read that could not tell.
struct KeyProbe {
    RegStatus status = regstatus::kSuccess;
    bool exists = false;
    bool empty = false;
};
[[nodiscard]] KeyProbe Probe(RegistryApi& registry, const std::string& key);

// The shallowest key of path (below HKLM) that does not exist yet, from
// its second level down (SOFTWARE is never created or removed); "" when
// it exists.
[[nodiscard]] std::string FirstMissing(RegistryApi& registry, const std::string& path);

// The keys from deepest up to top (a key above it, as recorded), deepest
// first; none when top is no such key (the record is anyone's to edit).
[[nodiscard]] std::vector<std::string> KeysDownTo(const std::string& deepest, const std::string& top);

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
