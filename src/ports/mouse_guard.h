// The machine-wide guard against serial mice: Windows' device installation
// policy "Prevent installation of devices that match any of these device
// IDs" with SERIAL_MOUSE in its list. Every serial mouse the serial
// enumerator detects carries that compatible ID, so on any port, present
// or future, such a mouse gets no driver. The policy lives under
// kRestrictionsKey: the REG_DWORD switch DenyDeviceIDs and the key
// DenyDeviceIDs with one REG_SZ device ID per value ("1", "2", ...).
// Group Policy and Intune write the same values; portquell-cli adds only
// its own entry, and records under kGuardRecordKey what it created or
// changed, so that turning the guard off undoes exactly that.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ports/port_inventory.h"
#include "registry/registry_api.h"

namespace portquell {

inline constexpr const char* kRestrictionsKey = "SOFTWARE\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions";
inline constexpr const char* kDenyDeviceIds = "DenyDeviceIDs";  // the switch, and the key of the list
inline constexpr const char* kDenyRetroactive = "DenyDeviceIDsRetroactive";
inline constexpr const char* kGuardRecordKey = "SOFTWARE\\Portquell\\Guard";
inline constexpr const char* kSerialMouseServiceKey = "SYSTEM\\CurrentControlSet\\Services\\sermouse";
// The serial mouse driver's start type as Windows installs it (on demand).
inline constexpr std::uint32_t kDemandStart = 3;

// What guard on created or changed, as it recorded it.
struct GuardRecord {
    bool present = false;       // a record exists
    std::string entry;          // the list value it added; "" when none
    std::string switchBefore;   // "missing" or "0" when it set the switch; "" when it did not
    std::string createdKey;     // the shallowest key it created; "" when none
};

// The policy as it stands.
struct GuardState {
    bool switchPresent = false;
    std::optional<std::uint32_t> switchValue;  // when a four-byte REG_DWORD
    std::optional<std::uint32_t> retroactive;  // when a four-byte REG_DWORD
    // Every value of the list: its name, and its ID where it is a REG_SZ.
    std::vector<std::pair<std::string, std::string>> entries;
    std::string entry;                         // the first value naming SERIAL_MOUSE; "" when none
    std::size_t otherEntries = 0;              // values naming anything else

    // Whether the value called name names SERIAL_MOUSE.
    [[nodiscard]] bool NamesSerialMouse(const std::string& name) const;
    std::optional<std::uint32_t> serviceStart; // the serial mouse driver's Start
    GuardRecord record;
    std::vector<PortRefusal> refusals;         // keys or values that could not be read

    [[nodiscard]] bool SwitchOn() const { return switchValue.value_or(0) != 0; }
    [[nodiscard]] bool InForce() const { return SwitchOn() && !entry.empty(); }
    // The lowest value name "1", "2", ... that the list does not use.
    [[nodiscard]] std::string FirstFreeName() const;
};

[[nodiscard]] GuardState ReadGuard(RegistryApi& registry);

struct GuardChange {
    enum class Outcome {
        Done,         // on: in force now; off: what was recorded is undone and the guard is off
        Unchanged,    // nothing to do: on and in force already, or off and not in force
        StillInForce, // off: undone what was recorded, but another entry keeps it in force
        Refused,      // a read, a write or the switch's type refused it; the policy as it was
    };
    Outcome outcome = Outcome::Unchanged;
    std::vector<PortRefusal> refusals;  // what could not be read, written or removed
    std::string refusedWhy;             // a refusal without a registry status: why
    std::vector<PortRefusal> notUndone; // a refusal midway whose undoing failed too
    GuardState after;                   // the policy afterwards
};

// Adds SERIAL_MOUSE under the first free name unless a value names it,
// sets the switch to 1 where it is missing or 0, and records both; never
// touches another entry, a switch of another type or the retroactive flag.
[[nodiscard]] GuardChange GuardOn(RegistryApi& registry);
// Undoes what the record says guard on did, where it still stands, and
// removes the record; nothing else.
[[nodiscard]] GuardChange GuardOff(RegistryApi& registry);

}  // namespace portquell
