#include <algorithm>

#include "guard/mouse_guard.h"
#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// One value of the open key as stored; a refused read is added to
// refusals.
RegValue ReadValue(clsRegHandler& handler, const std::string& key, const std::string& name,
                   std::vector<PortRefusal>& refusals) {
    RegValue read = handler.GetRawValue(name);
    if (read.Refused()) refusals.push_back({PortRefusal::Step::Read, read.status, key, std::nullopt});
    return read;
}

std::optional<std::uint32_t> Dword(const RegValue& read) {
    return read.OfType(regtype::kDword) ? FourByteNumber(read.data) : std::nullopt;
}

std::string Text(const RegValue& read) { return read.Text(); }

// Opens HKLM\key read-only; false when it is missing, or refused (added to
// refusals).
bool OpenToRead(clsRegHandler& handler, const std::string& key, std::vector<PortRefusal>& refusals) {
    if (handler.OpenRegistry(regroot::kLocalMachine, key, false)) return true;
    if (handler.LastRegStatus() != regstatus::kFileNotFound) {
        refusals.push_back({PortRefusal::Step::Open, RefusalStatus(handler), key, std::nullopt});
    }
    return false;
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

std::vector<GuardEntry> GuardState::EntriesBut(const std::string& except) const {
    std::vector<GuardEntry> others;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(others),
                 [&](const GuardEntry& e) { return except.empty() || !SameTextIgnoringCase(e.first, except); });
    return others;
}

GuardState ReadGuard(RegistryApi& registry) {
    GuardState state;
    clsRegHandler handler(registry);
    if (OpenToRead(handler, kRestrictionsKey, state.refusals)) {
        const RegValue toggle = ReadValue(handler, kRestrictionsKey, kDenyDeviceIds, state.refusals);
        state.switchPresent = toggle.Read();
        state.switchValue = Dword(toggle);
        state.retroactive = Dword(ReadValue(handler, kRestrictionsKey, kDenyRetroactive, state.refusals));
    }
    if (OpenToRead(handler, kDenyListKey, state.refusals)) {
        const RegNameList names = handler.GetAllValues();
        if (!names.IsList() || handler.LastRegStatus() != regstatus::kSuccess) {
            state.refusals.push_back({PortRefusal::Step::List, RefusalStatus(handler), kDenyListKey, std::nullopt});
        }
        for (const std::string& name : names.Names()) {
            // The list's entries are its named values; a default value
            // is none.
            if (name.empty()) continue;
            const std::string id = Text(ReadValue(handler, kDenyListKey, name, state.refusals));
            state.entries.emplace_back(name, id);
            if (!SameTextIgnoringCase(id, kSerialMouseId)) {
                ++state.otherEntries;
            } else if (state.entry.empty()) {
                state.entry = name;
            }
        }
    }
    if (OpenToRead(handler, kGuardRecordKey, state.refusals)) {
        GuardRecord& record = state.record;
        record.present = true;
        record.entry = Text(ReadValue(handler, kGuardRecordKey, kRecordEntry, state.refusals));
        record.switchBefore = Text(ReadValue(handler, kGuardRecordKey, kRecordSwitch, state.refusals));
        record.createdKey = Text(ReadValue(handler, kGuardRecordKey, kRecordCreated, state.refusals));
        record.state = Text(ReadValue(handler, kGuardRecordKey, kRecordState, state.refusals));
    }
    if (OpenToRead(handler, kSerialMouseServiceKey, state.refusals)) {
        state.serviceStart = Dword(ReadValue(handler, kSerialMouseServiceKey, "Start", state.refusals));
    }
    return state;
}

}  // namespace portquell
