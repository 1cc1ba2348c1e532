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
    if (before.InForce()) return change;
    const bool addEntry = before.entry.empty();
    const bool setSwitch = !before.SwitchOn();
    if (setSwitch && !before.entries.empty()) {
        // Switching the list on would put another administrator's entries
        // in force: theirs to decide, as switching it off is (guard off).
        change.keptBy = before.entries;
        change.outcome = GuardChange::Outcome::OthersOff;
        return change;
    }

    const std::string deepest = addEntry ? kDenyListKey : kRestrictionsKey;
    std::string created = FirstMissing(registry, deepest);
    // A key recorded as created before (the list was wiped since) stays
    // the shallowest one to remove.
    const GuardRecord& old = before.record;
    if (!old.createdKey.empty() && (created.empty() || old.createdKey.size() < created.size())) created = old.createdKey;
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
        // set, if it is still 1 and nothing else is listed; the record's
        // values; then the keys it created, while nothing else came to live
        // in them.
        bool undone =
            (!before.NamesSerialMouse(record.entry) ||
             journal.Step(kDenyListKey, [&] { return DeleteValueAt(registry, kDenyListKey, record.entry); },
                          [&registry, record] {
                              return SetValueAt(registry, kDenyListKey, record.entry, kSerialMouseId, regtype::kSz);
                          })) &&
            (!switchOurs || !others.empty() ||
             journal.Step(kRestrictionsKey, [&] { return RestoreSwitch(registry, record.switchBefore); },
                          [&registry] {
                              return SetValueAt(registry, kRestrictionsKey, kDenyDeviceIds, "1", regtype::kDword);
                          }));
        // Last written first, so that an undoing writes them back in order.
        const std::pair<const char*, std::string> fields[] = {{kRecordCreated, record.createdKey},
                                                              {kRecordSwitch, record.switchBefore},
                                                              {kRecordEntry, record.entry},
                                                              {kRecordState, record.state}};
        for (const auto& [name, value] : fields) {
            if (!undone || value.empty()) continue;
            undone = journal.Step(kGuardRecordKey, [&, n = name] { return DeleteValueAt(registry, kGuardRecordKey, n); },
                                  [&registry, n = name, v = value] {
                                      return SetValueAt(registry, kGuardRecordKey, n, v, regtype::kSz);
                                  });
        }
        std::string recordKept;
        std::string policyKept;
        undone = undone &&
                 RemoveEmptyKeys(journal, registry, {kGuardRecordKey, ParentKey(kGuardRecordKey)}, recordKept) &&
                 RemoveEmptyKeys(journal, registry, KeysDownTo(kDenyListKey, record.createdKey), policyKept);
        change.recordKeyKept = recordKept == kGuardRecordKey;
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
