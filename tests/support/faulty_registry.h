// A registry that passes every call on to another one, records each call,
// and answers chosen calls with a set status: the refusals a real registry
// will not give on demand (access denied, a deleted key, an enumeration
// that breaks off, a value that changes between two reads, ...).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "registry/registry_api.h"

namespace portquell::testing {

enum class RegCall {
    OpenKeyEx,
    CreateKeyEx,
    QueryValueEx,
    SetValueEx,
    EnumKey,
    EnumValue,
    CloseKey,
    DeleteValue,
    DeleteKey
};

// One call as the registry saw it.
struct RegCallRecord {
    RegCall call = RegCall::OpenKeyEx;
    RegHandle key = 0;      // the root or key the call was made on
    std::string name;       // sub-key path or value name; empty for the others
    std::uint32_t index = 0;  // enumeration index
    bool withData = false;  // QueryValueEx / EnumValue: a data or name buffer was given
    RegHandle opened = 0;   // OpenKeyEx / CreateKeyEx: the handle returned
    RegStatus status = 0;   // what the caller got back
};

// The first faults a test needs most: every call of one kind refused. 0
// means pass through.
struct Faults {
    RegStatus open = 0;    // OpenKeyEx
    RegStatus create = 0;  // CreateKeyEx
    RegStatus query = 0;   // QueryValueEx
    RegStatus set = 0;     // SetValueEx
};

class FaultyRegistry final : public RegistryApi {
public:
    using Match = std::function<bool(const RegCallRecord&)>;

    explicit FaultyRegistry(RegistryApi& inner, Faults faults = {}) : inner_(inner) {
        if (faults.open != 0) Fail(RegCall::OpenKeyEx, faults.open);
        if (faults.create != 0) Fail(RegCall::CreateKeyEx, faults.create);
        if (faults.query != 0) Fail(RegCall::QueryValueEx, faults.query);
        if (faults.set != 0) Fail(RegCall::SetValueEx, faults.set);
    }

    // Calls of this kind answer status: every one (nth 0), or only the
    // nth (counted from 1 over the calls of that kind).
    void Fail(RegCall call, RegStatus status, int nth = 0) {
        FailWhen([call, nth, seen = 0](const RegCallRecord& r) mutable {
            if (r.call != call) return false;
            return nth == 0 || ++seen == nth;
        }, status);
    }
    // Calls that match answer status; the first matching rule wins.
    void FailWhen(Match when, RegStatus status) { rules_.push_back(Rule{std::move(when), status}); }
    // Runs before every call is passed on (e.g. to change a value between
    // the two reads of GetValue).
    void BeforeEachCall(std::function<void(const RegCallRecord&)> hook) { before_ = std::move(hook); }

    [[nodiscard]] const std::vector<RegCallRecord>& Calls() const { return calls_; }
    [[nodiscard]] std::size_t CountOf(RegCall call) const {
        return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(),
                                                      [call](const RegCallRecord& r) { return r.call == call; }));
    }
    // The sub-key path a handle was last opened or created with ("" when
    // it was not), so that a rule can refuse calls on one key only.
    [[nodiscard]] std::string PathOf(RegHandle key) const {
        for (auto it = calls_.rbegin(); it != calls_.rend(); ++it) {
            if ((it->call == RegCall::OpenKeyEx || it->call == RegCall::CreateKeyEx) && it->status == 0 &&
                it->opened == key) {
                return it->name;
            }
        }
        return "";
    }
    // Handles that were opened and not closed with success afterwards, and
    // handles closed with success that were not open at the time: empty
    // when every key opened was closed exactly once.
    [[nodiscard]] std::vector<RegHandle> HandlesNotClosedOnce() const {
        std::multiset<RegHandle> live;
        std::vector<RegHandle> wrong;
        for (const RegCallRecord& r : calls_) {
            if ((r.call == RegCall::OpenKeyEx || r.call == RegCall::CreateKeyEx) && r.status == 0) {
                live.insert(r.opened);
            } else if (r.call == RegCall::CloseKey && r.status == 0) {
                const auto it = live.find(r.key);
                if (it == live.end()) {
                    wrong.push_back(r.key);
                } else {
                    live.erase(it);
                }
            }
        }
        wrong.insert(wrong.end(), live.begin(), live.end());
        return wrong;
    }

    RegStatus OpenKeyEx(RegHandle r, const std::string& s, std::uint32_t o, std::uint32_t a,
                        RegHandle* h) override {
        RegCallRecord record = Record(RegCall::OpenKeyEx, r, s);
        return Handle(record, [&] { return inner_.OpenKeyEx(r, s, o, a, h); }, h);
    }
    RegStatus CreateKeyEx(RegHandle r, const std::string& s, std::uint32_t o, std::uint32_t a,
                          bool i, RegHandle* h, std::uint32_t* d) override {
        RegCallRecord record = Record(RegCall::CreateKeyEx, r, s);
        return Handle(record, [&] { return inner_.CreateKeyEx(r, s, o, a, i, h, d); }, h);
    }
    RegStatus QueryValueEx(RegHandle k, const std::string& n, std::uint32_t* t, std::uint8_t* d,
                           std::uint32_t* s) override {
        RegCallRecord record = Record(RegCall::QueryValueEx, k, n);
        record.withData = d != nullptr;
        return Handle(record, [&] { return inner_.QueryValueEx(k, n, t, d, s); });
    }
    RegStatus SetValueEx(RegHandle k, const std::string& n, std::uint32_t t, const std::uint8_t* d,
                         std::uint32_t s) override {
        RegCallRecord record = Record(RegCall::SetValueEx, k, n);
        return Handle(record, [&] { return inner_.SetValueEx(k, n, t, d, s); });
    }
    RegStatus DeleteValue(RegHandle k, const std::string& n) override {
        RegCallRecord record = Record(RegCall::DeleteValue, k, n);
        return Handle(record, [&] { return inner_.DeleteValue(k, n); });
    }
    RegStatus DeleteKey(RegHandle k, const std::string& s) override {
        RegCallRecord record = Record(RegCall::DeleteKey, k, s);
        return Handle(record, [&] { return inner_.DeleteKey(k, s); });
    }
    RegStatus EnumKey(RegHandle k, std::uint32_t i, char* n, std::uint32_t s) override {
        RegCallRecord record = Record(RegCall::EnumKey, k, "", i);
        return Handle(record, [&] { return inner_.EnumKey(k, i, n, s); });
    }
    RegStatus EnumValue(RegHandle k, std::uint32_t i, char* n, std::uint32_t* ns, std::uint32_t* t,
                        std::uint8_t* d, std::uint32_t* ds) override {
        RegCallRecord record = Record(RegCall::EnumValue, k, "", i);
        record.withData = d != nullptr;
        return Handle(record, [&] { return inner_.EnumValue(k, i, n, ns, t, d, ds); });
    }
    RegStatus CloseKey(RegHandle k) override {
        RegCallRecord record = Record(RegCall::CloseKey, k);
        return Handle(record, [&] { return inner_.CloseKey(k); });
    }

private:
    static RegCallRecord Record(RegCall call, RegHandle key, const std::string& name = "",
                                std::uint32_t index = 0) {
        RegCallRecord record;
        record.call = call;
        record.key = key;
        record.name = name;
        record.index = index;
        return record;
    }

    struct Rule {
        Match when;
        RegStatus status;
    };

    template <class PassOn>
    RegStatus Handle(RegCallRecord& record, PassOn passOn, RegHandle* opened = nullptr) {
        RegStatus status = 0;
        bool refused = false;
        for (Rule& rule : rules_) {
            if (rule.when(record)) {
                status = rule.status;
                refused = true;
                break;
            }
        }
        if (refused) {
            if (opened != nullptr) *opened = 0;
        } else {
            if (before_) before_(record);
            status = passOn();
        }
        record.status = status;
        if (opened != nullptr && status == 0) record.opened = *opened;
        calls_.push_back(record);
        return status;
    }

    RegistryApi& inner_;
    std::vector<Rule> rules_;
    std::function<void(const RegCallRecord&)> before_;
    std::vector<RegCallRecord> calls_;
};

}  // namespace portquell::testing
