// Keys and values of HKEY_LOCAL_MACHINE by path, each call with a handler
// of its own, as the guard changes them.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ports/change_journal.h"
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

}  // namespace portquell
