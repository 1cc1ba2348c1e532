// The machine-wide guard against serial mice: Windows' device installation
// policy "Prevent installation of devices that match any of these device
// IDs" with SERIAL_MOUSE in its list. Every serial mouse the serial
// enumerator detects carries that compatible ID, so on any port, present
// or future, such a mouse gets no driver. The policy lives under
// kRestrictionsKey: the REG_DWORD switch DenyDeviceIDs and the key
// DenyDeviceIDs with one REG_SZ device ID per value ("1", "2", ...).
// Group Policy and Intune write the same values, and replace the whole
// list when they apply it. portquell-cli adds only its own entry, never
// switches another administrator's list on or off, and records under
// kGuardRecordKey what it is about to create or change before it does,
// so that turning the guard off undoes exactly that, even after an
// interrupted guard on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ports/port_inventory.h"
#include "ports/serial_mice.h"
#include "registry/registry_api.h"

namespace portquell {

// The shallowest key the guard records as created: the keys above it are
// Windows' own, created (where a registry lacks them) but never removed.
inline constexpr const char* kDeviceInstallKey = "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall";
inline constexpr const char* kRestrictionsKey = "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions";
inline constexpr const char* kDenyDeviceIds = "DenyDeviceIDs";  // the switch, and the key of the list
inline constexpr const char* kDenyRetroactive = "DenyDeviceIDsRetroactive";
inline const std::string kDenyListKey = std::string(kRestrictionsKey) + "\\" + kDenyDeviceIds;
inline constexpr const char* kGuardRecordKey = "SOFTWARE\\Portquell\\Guard";
// The record's values (REG_SZ).
inline constexpr const char* kRecordEntry = "Entry";
inline constexpr const char* kRecordSwitch = "SwitchBefore";
inline constexpr const char* kRecordCreated = "CreatedKey";
inline constexpr const char* kRecordState = "State";
inline constexpr const char* kSerialMouseServiceKey = "SYSTEM\\CurrentControlSet\\Services\\sermouse";
// The serial mouse driver's start type as Windows installs it (on demand).
inline constexpr std::uint32_t kDemandStart = 3;

// What guard on created or changed, as it recorded it before doing so.
struct GuardRecord {
    bool present = false;       // a record exists
    std::string entry;          // the list value it added; "" when none
    std::string switchBefore;   // "missing" or "0" when it set the switch; "" when it did not
    std::string createdKey;     // the shallowest key it created; "" when none
    std::string state;          // "started" until guard on finished; "complete" (or none, from before) after
    [[nodiscard]] bool Complete() const { return state.empty() || state == "complete"; }
    // It names something guard on did or set out to do.
    [[nodiscard]] bool Names() const { return !entry.empty() || !switchBefore.empty() || !createdKey.empty(); }
};

// One value of the deny list: its name, and its ID where it is a REG_SZ.
using GuardEntry = std::pair<std::string, std::string>;

// The policy as it stands.
struct GuardState {
    bool switchPresent = false;
    std::optional<std::uint32_t> switchValue;  // when a four-byte REG_DWORD
    std::optional<std::uint32_t> retroactive;  // when a four-byte REG_DWORD
    std::vector<GuardEntry> entries;           // every named value of the list
    std::string entry;                         // the first value naming SERIAL_MOUSE; "" when none
    std::size_t otherEntries = 0;              // named values naming anything else
    std::optional<std::uint32_t> serviceStart; // the serial mouse driver's Start
    GuardRecord record;
    std::vector<PortRefusal> refusals;         // keys or values that could not be read

    // Whether the value called name names SERIAL_MOUSE.
    [[nodiscard]] bool NamesSerialMouse(const std::string& name) const;
    // The named values of the list but the one called except.
    [[nodiscard]] std::vector<GuardEntry> EntriesBut(const std::string& except) const;
    [[nodiscard]] bool SwitchOn() const { return switchValue.value_or(0) != 0; }
    [[nodiscard]] bool InForce() const { return SwitchOn() && !entry.empty(); }
    // The lowest value name "1", "2", ... that the list does not use.
    [[nodiscard]] std::string FirstFreeName() const;
};

[[nodiscard]] GuardState ReadGuard(RegistryApi& registry);

struct GuardChange {
    enum class Outcome {
        Done,          // on: in force now; off: what was recorded is undone and the guard is off
        Unchanged,     // nothing to do: on and in force already, or off and not in force
        StillInForce,  // off: undone what was recorded, but another SERIAL_MOUSE entry keeps it in force
        SwitchLeftOn,  // off: its entry removed, the switch left on for the other entries (keptBy)
        OthersOff,     // on: the switch would turn on other entries (keptBy); nothing written
        Refused,       // a read, a write or the switch's type refused it; the policy as it was
    };
    Outcome outcome = Outcome::Unchanged;
    std::vector<GuardEntry> keptBy;     // SwitchLeftOn, OthersOff: the other entries
    std::vector<PortRefusal> refusals;  // what could not be read, written or removed
    std::string refusedWhy;             // a refusal without a registry status: why
    std::vector<PortRefusal> notUndone; // a refusal midway whose undoing failed too: what is left
    bool recordKeyKept = false;         // off: the record's key holds something else and stays
    std::string foreignKey;             // off: a CreatedKey outside the guard's keys, left as it is
    GuardState after;                   // the policy afterwards
};

// Adds SERIAL_MOUSE under the first free name unless a value names it,
// and sets the switch to 1 where it is missing or 0, unless the list
// holds entries then (OthersOff: nothing written); records both before it
// makes them. Never touches
// another entry, a switch of another type or the retroactive flag.
[[nodiscard]] GuardChange GuardOn(RegistryApi& registry);
// Undoes what the record says guard on did (or set out to do), where it
// still stands, and removes the record; leaves the switch on while other
// entries are in the list; nothing else.
[[nodiscard]] GuardChange GuardOff(RegistryApi& registry);

}  // namespace portquell
