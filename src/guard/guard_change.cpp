#include "guard/mouse_guard.h"
#include "guard/policy_keys.h"

namespace portquell {

namespace {

constexpr const char* kStarted = "started";
constexpr const char* kComplete = "complete";

// The switch as it was, where guard on recorded it.
RegStatus RestoreSwitch(RegistryApi& registry, const std::string& before) {
    if (before == "0") return SetValueAt(registry, kRestrictionsKey, kDenyDeviceIds, "0", regtype::kDword);
    return DeleteValueAt(registry, kRestrictionsKey, kDenyDeviceIds);
}

// A record value set to value (old: what it held, "" none), as a step.
bool RecordStep(Journal& journal, RegistryApi& registry, const char* name, const std::string& value,
                const std::string& old) {
    return journal.Step(
        kGuardRecordKey, [&] { return SetValueAt(registry, kGuardRecordKey, name, value, regtype::kSz); },
        [&registry, name, old] {
            return old.empty() ? DeleteValueAt(registry, kGuardRecordKey, name)
                               : SetValueAt(registry, kGuardRecordKey, name, old, regtype::kSz);
        });
}

// Creates each key of keys missing, shallowest last in keys, as steps.
bool CreateKeysStep(Journal& journal, RegistryApi& registry, const std::vector<std::string>& keys) {
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        const KeyProbe probe = Probe(registry, *key);
        if (probe.exists) continue;
        // A key that may exist is never created, so never removed on undoing.
        if (Refused(probe.status)) return journal.Step(*key, [&probe] { return probe.status; }, [] { return regstatus::kSuccess; });
        if (!journal.Step(*key, [&] { return CreateKeyAt(registry, *key); },
                          [&registry, k = *key] { return DeleteKeyAt(registry, k); })) {
            return false;
        }
    }
    return true;
}

// Removes each key of chain (deepest first) while it is empty; stops at
// the first that holds something else, which stays with the keys above
// it (kept names it). False when refused.
bool RemoveEmptyKeys(Journal& journal, RegistryApi& registry, const std::vector<std::string>& chain,
                     std::string& kept) {
    for (const std::string& key : chain) {
        const KeyProbe probe = Probe(registry, key);
        if (Refused(probe.status)) {
            // Whether something else lives there cannot be told.
            return journal.Step(key, [&probe] { return probe.status; }, [] { return regstatus::kSuccess; });
        }
        if (!probe.exists) continue;
        if (!probe.empty) {
            kept = key;
            return true;
        }
        if (!journal.Step(key, [&] { return DeleteKeyAt(registry, key); },
                          [&registry, key] { return CreateKeyAt(registry, key); })) {
            return false;
        }
    }
    return true;
}

// Whether key is one the guard may have created: DeviceInstall or below
// it, on the way to the list. A record is anyone's to edit.
bool GuardsKey(const std::string& key) {
    return key.size() >= std::string(kDeviceInstallKey).size() && !KeysDownTo(kDenyListKey, key).empty();
}

// The policy before a change; a state that could not be read wholly
// refuses the change.
GuardState Begin(RegistryApi& registry, GuardChange& change) {
    GuardState before = ReadGuard(registry);
    change.after = before;
    if (!before.refusals.empty()) {
        change.refusals = before.refusals;
        change.outcome = GuardChange::Outcome::Refused;
    }
    return before;
}

void Finish(RegistryApi& registry, const Journal& journal, GuardChange& change) {
    change.refusals.insert(change.refusals.end(), journal.Refusals().begin(), journal.Refusals().end());
    change.notUndone = journal.NotUndone();
    if (journal.Refused()) change.outcome = GuardChange::Outcome::Refused;
    change.after = ReadGuard(registry);
}

}  // namespace

GuardChange GuardOn(RegistryApi& registry) {
    GuardChange change;
    const GuardState before = Begin(registry, change);
    if (change.outcome == GuardChange::Outcome::Refused) return change;
    if (before.switchPresent && !before.switchValue) {
        // Another tool's value of another type: not ours to overwrite.
        change.refusedWhy = std::string(kDenyDeviceIds) + " is not a four-byte REG_DWORD; it was left as it is";
        change.outcome = GuardChange::Outcome::Refused;
        return change;
    }
    const GuardRecord& old = before.record;
    if (before.InForce()) {
        // An interrupted run whose switch was written: only its mark is left.
        if (old.Complete() || !old.Names()) return change;
        Journal journal;
        const bool marked = RecordStep(journal, registry, kRecordState, kComplete, old.state);
        Finish(registry, journal, change);
        if (marked) change.outcome = GuardChange::Outcome::Done;
        return change;
    }
    const bool addEntry = before.entry.empty();
    const bool setSwitch = !before.SwitchOn();
    // The entry the record names is Portquell's own, from an interrupted run.
    const std::string ownEntry = before.NamesSerialMouse(old.entry) ? old.entry : "";
    const std::vector<GuardEntry> others = ownEntry.empty() ? before.entries : before.EntriesBut(ownEntry);
    if (setSwitch && !others.empty()) {
        // Switching the list on would put another administrator's entries
        // in force: theirs to decide, as switching it off is (guard off).
        change.keptBy = others;
        change.outcome = GuardChange::Outcome::OthersOff;
        return change;
    }

    const std::string deepest = addEntry ? kDenyListKey : kRestrictionsKey;
    std::string created = FirstMissing(registry, deepest);
    // Keys above DeviceInstall are Windows' own: created, never recorded.
    if (!created.empty() && created.size() < std::string(kDeviceInstallKey).size()) created = kDeviceInstallKey;
    // A key recorded as created before (the list was wiped since) stays
    // the shallowest one to remove.
    if (GuardsKey(old.createdKey) && (created.empty() || old.createdKey.size() < created.size())) created = old.createdKey;
    const std::string entry = addEntry ? before.FirstFreeName() : "";
    const std::string switchBefore = before.switchPresent ? "0" : "missing";
    Journal journal;
    // The record of what it is about to do first, marked complete last, so
    // that an interrupted run leaves a record guard off can undo.
    const bool done =
        CreateKeysStep(journal, registry, {kGuardRecordKey, ParentKey(kGuardRecordKey)}) &&
        RecordStep(journal, registry, kRecordState, kStarted, old.state) &&
        (!addEntry || RecordStep(journal, registry, kRecordEntry, entry, old.entry)) &&
        (!setSwitch || !old.switchBefore.empty() || RecordStep(journal, registry, kRecordSwitch, switchBefore, "")) &&
        (created == old.createdKey || RecordStep(journal, registry, kRecordCreated, created, old.createdKey)) &&
        CreateKeysStep(journal, registry, KeysDownTo(deepest, FirstMissing(registry, deepest))) &&
        (!addEntry ||
         journal.Step(kDenyListKey, [&] { return SetValueAt(registry, kDenyListKey, entry, kSerialMouseId, regtype::kSz); },
                      [&registry, entry] { return DeleteValueAt(registry, kDenyListKey, entry); })) &&
        (!setSwitch ||
         journal.Step(kRestrictionsKey,
                      [&] { return SetValueAt(registry, kRestrictionsKey, kDenyDeviceIds, "1", regtype::kDword); },
                      [&registry, switchBefore] { return RestoreSwitch(registry, switchBefore); })) &&
        RecordStep(journal, registry, kRecordState, kComplete, kStarted);
    Finish(registry, journal, change);
    if (done) change.outcome = GuardChange::Outcome::Done;
    return change;
}

GuardChange GuardOff(RegistryApi& registry) {
    GuardChange change;
    const GuardState before = Begin(registry, change);
    if (change.outcome == GuardChange::Outcome::Refused) return change;
    if (before.record.present) {
        const GuardRecord record = before.record;
        Journal journal;
        // Entries that stay, and keep the list in force: the switch stays on
        // for them.
        const std::vector<GuardEntry> others = before.EntriesBut(record.entry);
        // (a record is anyone's to edit: any other text leaves the switch)
        const bool switchOurs = (record.switchBefore == "0" || record.switchBefore == "missing") &&
                                before.switchValue == std::optional<std::uint32_t>(1);
        if (switchOurs && !others.empty()) change.keptBy = others;
        // The entry it added, if it still names SERIAL_MOUSE; the switch it
        // set, if it is still 1 and nothing else is listed; the keys it
        // created, while nothing else came to live in them; each record
        // value only after what it names is undone, so that an interrupted
        // run leaves a record that the next guard off completes.
        const auto forget = [&](const char* name, const std::string& value) {
            return value.empty() ||
                   journal.Step(kGuardRecordKey, [&registry, name] { return DeleteValueAt(registry, kGuardRecordKey, name); },
                                [&registry, name, value] { return SetValueAt(registry, kGuardRecordKey, name, value, regtype::kSz); });
        };
        const bool ownKeys = GuardsKey(record.createdKey);
        if (!record.createdKey.empty() && !ownKeys) change.foreignKey = record.createdKey;
        std::string recordKept;
        std::string policyKept;
        const bool undone =
            (!before.NamesSerialMouse(record.entry) ||
             journal.Step(kDenyListKey, [&] { return DeleteValueAt(registry, kDenyListKey, record.entry); },
                          [&registry, record] {
                              return SetValueAt(registry, kDenyListKey, record.entry, kSerialMouseId, regtype::kSz);
                          })) &&
            forget(kRecordEntry, record.entry) &&
            (!switchOurs || !others.empty() ||
             journal.Step(kRestrictionsKey, [&] { return RestoreSwitch(registry, record.switchBefore); },
                          [&registry] {
                              return SetValueAt(registry, kRestrictionsKey, kDenyDeviceIds, "1", regtype::kDword);
                          })) &&
            forget(kRecordSwitch, record.switchBefore) &&
            (!ownKeys || RemoveEmptyKeys(journal, registry, KeysDownTo(kDenyListKey, record.createdKey), policyKept)) &&
            forget(kRecordCreated, record.createdKey) && forget(kRecordState, record.state) &&
            RemoveEmptyKeys(journal, registry, {kGuardRecordKey, ParentKey(kGuardRecordKey)}, recordKept);
        (void)undone;
        change.recordKeyKept = recordKept == kGuardRecordKey;
        Finish(registry, journal, change);
        if (change.outcome == GuardChange::Outcome::Refused) return change;
    } else {
        // A run ended between removing the record's key and its parent:
        // the parent, empty, is the last of it.
        Journal journal;
        std::string kept;
        (void)RemoveEmptyKeys(journal, registry, {ParentKey(kGuardRecordKey)}, kept);
        Finish(registry, journal, change);
        if (change.outcome == GuardChange::Outcome::Refused) return change;
    }
    if (change.after.InForce()) {
        change.outcome = GuardChange::Outcome::StillInForce;
    } else if (!change.keptBy.empty()) {
        change.outcome = GuardChange::Outcome::SwitchLeftOn;
    } else if (before.record.present) {
        change.outcome = GuardChange::Outcome::Done;
    }
    return change;
}

}  // namespace portquell
