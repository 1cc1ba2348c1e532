#include "ports/mouse_guard.h"

#include <algorithm>
#include <functional>

#include "ports/serial_mice.h"
#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

const std::string kListKey = std::string(kRestrictionsKey) + "\\" + kDenyDeviceIds;
constexpr const char* kRecordEntry = "Entry";
constexpr const char* kRecordSwitch = "SwitchBefore";
constexpr const char* kRecordCreated = "CreatedKey";

// One value of the open key: its text (raw bytes for REG_DWORD) and type;
// none when missing. A refused read is added to refusals.
struct Read {
    std::optional<std::uint32_t> type;
    std::string text;
};
Read ReadValue(clsRegHandler& handler, const std::string& key, const std::string& name,
               std::vector<PortRefusal>& refusals) {
    Read read;
    read.text = handler.GetValue(name, true);
    const RegStatus status = handler.LastRegStatus();
    if (status == regstatus::kFileNotFound) return {};
    if (status != regstatus::kSuccess || !handler.sLastRegErr.empty()) {
        refusals.push_back({PortRefusal::Step::Read, RefusalStatus(handler), key, std::nullopt});
        return {};
    }
    read.type = handler.LastValueType();
    return read;
}

std::optional<std::uint32_t> Dword(const Read& read) {
    if (read.type != std::optional<std::uint32_t>(regtype::kDword) || read.text.size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(read.text[static_cast<std::size_t>(i)]);
    return value;
}

std::string Text(const Read& read) { return read.type == std::optional<std::uint32_t>(regtype::kSz) ? read.text : ""; }

// Opens HKLM\key read-only; false when it is missing, or refused (added to
// refusals).
bool OpenToRead(clsRegHandler& handler, const std::string& key, std::vector<PortRefusal>& refusals) {
    if (handler.OpenRegistry(regroot::kLocalMachine, key, false)) return true;
    if (handler.LastRegStatus() != regstatus::kFileNotFound) {
        refusals.push_back({PortRefusal::Step::Open, RefusalStatus(handler), key, std::nullopt});
    }
    return false;
}

std::string Parent(const std::string& key) { return key.substr(0, key.rfind('\\')); }
std::string Leaf(const std::string& key) { return key.substr(key.rfind('\\') + 1); }

// The shallowest key of path (below HKLM) that does not exist yet, from
// its second level down (SOFTWARE is never created or removed); "" when
// it exists.
std::string FirstMissing(RegistryApi& registry, const std::string& path) {
    clsRegHandler handler(registry);
    for (std::size_t at = path.find('\\', path.find('\\') + 1); ; at = path.find('\\', at + 1)) {
        const std::string key = path.substr(0, at);
        if (!handler.OpenRegistry(regroot::kLocalMachine, key, false) &&
            handler.LastRegStatus() == regstatus::kFileNotFound) {
            return key;
        }
        (void)handler.CloseRegistry();
        if (at == std::string::npos) return "";
    }
}

// Whether HKLM\key exists and holds no value and no key; status is the
// refusal of a read that could not tell.
struct KeyProbe {
    RegStatus status = regstatus::kSuccess;
    bool exists = false;
    bool empty = false;
};
KeyProbe Probe(RegistryApi& registry, const std::string& key) {
    KeyProbe probe;
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, false)) {
        if (handler.LastRegStatus() != regstatus::kFileNotFound) probe.status = RefusalStatus(handler);
        return probe;
    }
    probe.exists = true;
    const RegNameList values = handler.GetAllValues();
    if (!values.IsList() || handler.LastRegStatus() != regstatus::kSuccess) probe.status = RefusalStatus(handler);
    const RegNameList keys = handler.GetAllsSubDirectories();
    if (!keys.IsList() || handler.LastRegStatus() != regstatus::kSuccess) probe.status = RefusalStatus(handler);
    probe.empty = values.Names().empty() && keys.Names().empty();
    return probe;
}

bool Exists(RegistryApi& registry, const std::string& key) { return Probe(registry, key).exists; }

RegStatus CreateKeyAt(RegistryApi& registry, const std::string& key) {
    clsRegHandler handler(registry);
    return handler.OpenRegistry(regroot::kLocalMachine, key, true) ? regstatus::kSuccess : RefusalStatus(handler);
}

RegStatus DeleteKeyAt(RegistryApi& registry, const std::string& key) {
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, Parent(key), false)) return RefusalStatus(handler);
    return handler.DeleteSubKey(Leaf(key));
}

// The steps of one change, each with its undoing: a refused step undoes
// the ones before it, last first, so the policy stays as it was.
class Journal {
public:
    explicit Journal(GuardChange& change) : change_(change) {}

    // Runs change, a change of HKLM\key; false when it was refused.
    bool Step(const std::string& key, const std::function<RegStatus()>& change, std::function<RegStatus()> undo) {
        const RegStatus status = change();
        if (Refused(status)) {
            change_.refusals.push_back({PortRefusal::Step::Write, status, key, std::nullopt});
            for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
                const RegStatus undone = it->second();
                if (Refused(undone)) {
                    change_.notUndone.push_back({PortRefusal::Step::Write, undone, it->first, std::nullopt});
                }
            }
            undo_.clear();
            change_.outcome = GuardChange::Outcome::Refused;
            return false;
        }
        undo_.push_back({key, std::move(undo)});
        return true;
    }

private:
    GuardChange& change_;
    std::vector<std::pair<std::string, std::function<RegStatus()>>> undo_;
};

RegStatus SetValueAt(RegistryApi& registry, const std::string& key, const std::string& name, const std::string& text,
                     std::int32_t type) {
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, true)) return RefusalStatus(handler);
    return handler.SetValue(name, text, type);
}

// Removes name from HKLM\key; a missing key or value is gone already (the
// key is never created for it).
RegStatus DeleteValueAt(RegistryApi& registry, const std::string& key, const std::string& name) {
    if (!Exists(registry, key)) return regstatus::kSuccess;
    clsRegHandler handler(registry);
    if (!handler.OpenRegistry(regroot::kLocalMachine, key, true)) return RefusalStatus(handler);
    const RegStatus status = handler.DeleteValue(name);
    return status == regstatus::kFileNotFound ? regstatus::kSuccess : status;
}

// The keys from deepest up to top (a key above it, as recorded), deepest
// first; none when top is no such key (the record is anyone's to edit).
std::vector<std::string> KeysDownTo(const std::string& deepest, const std::string& top) {
    std::vector<std::string> keys;
    if (top.find('\\') == std::string::npos || top.size() > deepest.size() ||
        !SameTextIgnoringCase(deepest.substr(0, top.size()), top) ||
        (deepest.size() > top.size() && deepest[top.size()] != '\\')) {
        return keys;
    }
    for (std::string key = deepest; key.size() >= top.size(); key = Parent(key)) {
        keys.push_back(key);
        if (key.size() == top.size()) break;
    }
    return keys;
}

// The switch as it was, where guard on recorded it.
RegStatus RestoreSwitch(RegistryApi& registry, const std::string& before) {
    if (before == "0") return SetValueAt(registry, kRestrictionsKey, kDenyDeviceIds, "0", regtype::kDword);
    return DeleteValueAt(registry, kRestrictionsKey, kDenyDeviceIds);
}

// A record as it was read, values in the order guard on writes them.
RegStatus WriteRecord(RegistryApi& registry, const GuardRecord& record) {
    const std::pair<const char*, std::string> fields[] = {
        {kRecordEntry, record.entry}, {kRecordSwitch, record.switchBefore}, {kRecordCreated, record.createdKey}};
    RegStatus status = CreateKeyAt(registry, kGuardRecordKey);
    for (const auto& [name, value] : fields) {
        if (status == regstatus::kSuccess && !value.empty()) {
            status = SetValueAt(registry, kGuardRecordKey, name, value, regtype::kSz);
        }
    }
    return status;
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

}  // namespace

std::string GuardState::FirstFreeName() const {
    for (std::size_t n = 1;; ++n) {
        const std::string name = std::to_string(n);
        if (std::none_of(entries.begin(), entries.end(), [&](const auto& used) { return used.first == name; })) {
            return name;
        }
    }
}

bool GuardState::NamesSerialMouse(const std::string& name) const {
    return !name.empty() && std::any_of(entries.begin(), entries.end(), [&](const auto& e) {
        return SameTextIgnoringCase(e.first, name) && SameTextIgnoringCase(e.second, kSerialMouseId);
    });
}

GuardState ReadGuard(RegistryApi& registry) {
    GuardState state;
    clsRegHandler handler(registry);
    if (OpenToRead(handler, kRestrictionsKey, state.refusals)) {
        const Read toggle = ReadValue(handler, kRestrictionsKey, kDenyDeviceIds, state.refusals);
        state.switchPresent = toggle.type.has_value();
        state.switchValue = Dword(toggle);
        state.retroactive = Dword(ReadValue(handler, kRestrictionsKey, kDenyRetroactive, state.refusals));
    }
    if (OpenToRead(handler, kListKey, state.refusals)) {
        const RegNameList names = handler.GetAllValues();
        if (!names.IsList() || handler.LastRegStatus() != regstatus::kSuccess) {
            state.refusals.push_back({PortRefusal::Step::List, RefusalStatus(handler), kListKey, std::nullopt});
        }
        for (const std::string& name : names.Names()) {
            const std::string id = Text(ReadValue(handler, kListKey, name, state.refusals));
            state.entries.emplace_back(name, id);
            // The list's entries are its named values; a default value
            // is none.
            if (name.empty() || !SameTextIgnoringCase(id, kSerialMouseId)) {
                ++state.otherEntries;
            } else if (state.entry.empty()) {
                state.entry = name;
            }
        }
    }
    if (OpenToRead(handler, kGuardRecordKey, state.refusals)) {
        state.record.present = true;
        state.record.entry = Text(ReadValue(handler, kGuardRecordKey, kRecordEntry, state.refusals));
        state.record.switchBefore = Text(ReadValue(handler, kGuardRecordKey, kRecordSwitch, state.refusals));
        state.record.createdKey = Text(ReadValue(handler, kGuardRecordKey, kRecordCreated, state.refusals));
    }
    if (OpenToRead(handler, kSerialMouseServiceKey, state.refusals)) {
        state.serviceStart = Dword(ReadValue(handler, kSerialMouseServiceKey, "Start", state.refusals));
    }
    return state;
}

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
    const std::string deepest = addEntry ? kListKey : kRestrictionsKey;
    const std::string created = FirstMissing(registry, deepest);
    const std::string entry = addEntry ? before.FirstFreeName() : "";
    const std::string switchBefore = before.switchPresent ? "0" : "missing";
    Journal journal(change);
    // Each change with its undoing, keys first, the record last.
    std::vector<std::string> newKeys = KeysDownTo(deepest, created);
    for (const std::string& key : {std::string(Parent(kGuardRecordKey)), std::string(kGuardRecordKey)}) {
        if (!Exists(registry, key)) newKeys.insert(newKeys.begin(), key);
    }
    bool done = true;
    for (auto key = newKeys.rbegin(); done && key != newKeys.rend(); ++key) {
        done = journal.Step(*key, [&] { return CreateKeyAt(registry, *key); },
                            [&registry, k = *key] { return DeleteKeyAt(registry, k); });
    }
    const auto record = [&](const char* name, const std::string& value, const std::string& old) {
        return journal.Step(kGuardRecordKey, [&] { return SetValueAt(registry, kGuardRecordKey, name, value, regtype::kSz); },
                            [&registry, name, old] {
                                return old.empty() ? DeleteValueAt(registry, kGuardRecordKey, name)
                                                   : SetValueAt(registry, kGuardRecordKey, name, old, regtype::kSz);
                            });
    };
    done = done &&
           (!addEntry ||
            journal.Step(kListKey, [&] { return SetValueAt(registry, kListKey, entry, kSerialMouseId, regtype::kSz); },
                         [&registry, entry] { return DeleteValueAt(registry, kListKey, entry); })) &&
           (!setSwitch ||
            journal.Step(kRestrictionsKey,
                         [&] { return SetValueAt(registry, kRestrictionsKey, kDenyDeviceIds, "1", regtype::kDword); },
                         [&registry, switchBefore] { return RestoreSwitch(registry, switchBefore); })) &&
           (!addEntry || record(kRecordEntry, entry, before.record.entry)) &&
           (!setSwitch || record(kRecordSwitch, switchBefore, before.record.switchBefore)) &&
           (created.empty() || record(kRecordCreated, created, before.record.createdKey));
    change.after = ReadGuard(registry);
    if (done) change.outcome = GuardChange::Outcome::Done;
    return change;
}

GuardChange GuardOff(RegistryApi& registry) {
    GuardChange change;
    const GuardState before = Begin(registry, change);
    if (change.outcome == GuardChange::Outcome::Refused) return change;
    if (before.record.present) {
        const GuardRecord record = before.record;
        Journal journal(change);
        // The entry it added, if it still names SERIAL_MOUSE; the switch it
        // set, if it is still 1; the record; then the keys it created,
        // while nothing else came to live in them.
        bool undone =
            (!before.NamesSerialMouse(record.entry) ||
             journal.Step(kListKey, [&] { return DeleteValueAt(registry, kListKey, record.entry); },
                          [&registry, record] {
                              return SetValueAt(registry, kListKey, record.entry, kSerialMouseId, regtype::kSz);
                          })) &&
            // (a record is anyone's to edit: any other text leaves the switch)
            (!(record.switchBefore == "0" || record.switchBefore == "missing") ||
             before.switchValue != std::optional<std::uint32_t>(1) ||
             journal.Step(kRestrictionsKey, [&] { return RestoreSwitch(registry, record.switchBefore); },
                          [&registry] {
                              return SetValueAt(registry, kRestrictionsKey, kDenyDeviceIds, "1", regtype::kDword);
                          }));
        // The record goes whole, and comes back as it was.
        undone = undone && journal.Step(kGuardRecordKey, [&] { return DeleteKeyAt(registry, kGuardRecordKey); },
                                        [&registry, record] { return WriteRecord(registry, record); });
        std::vector<std::string> keys = KeysDownTo(kListKey, record.createdKey);
        keys.insert(keys.begin(), std::string(Parent(kGuardRecordKey)));
        for (const std::string& key : keys) {
            if (!undone) break;
            const KeyProbe probe = Probe(registry, key);
            if (Refused(probe.status)) {
                // Whether something else lives there cannot be told.
                undone = journal.Step(key, [&probe] { return probe.status; }, {});
                break;
            }
            if (!probe.exists) continue;
            if (!probe.empty) {
                // Something else lives there: it and the keys above stay.
                if (key == Parent(kGuardRecordKey)) continue;
                break;
            }
            undone = journal.Step(key, [&] { return DeleteKeyAt(registry, key); },
                                  [&registry, key] { return CreateKeyAt(registry, key); });
        }
    }
    change.after = ReadGuard(registry);
    if (change.outcome == GuardChange::Outcome::Refused) return change;
    if (change.after.InForce()) {
        change.outcome = GuardChange::Outcome::StillInForce;
    } else if (before.record.present) {
        change.outcome = GuardChange::Outcome::Done;
    }
    return change;
}

}  // namespace portquell
