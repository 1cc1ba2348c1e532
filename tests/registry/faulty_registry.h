// A registry that passes every call on to another one but answers chosen
// calls with a set status, for the refusals a real registry will not give
// on demand (access denied, a deleted key, ...). 0 means pass through.
#pragma once

#include "registry/registry_api.h"

namespace portquell::testing {

struct Faults {
    RegStatus open = 0;    // OpenKeyEx
    RegStatus create = 0;  // CreateKeyEx
    RegStatus query = 0;   // QueryValueEx
    RegStatus set = 0;     // SetValueEx
};

class FaultyRegistry final : public RegistryApi {
public:
    FaultyRegistry(RegistryApi& inner, Faults faults) : inner_(inner), faults_(faults) {}

    RegStatus OpenKeyEx(RegHandle r, const std::string& s, std::uint32_t o, std::uint32_t a,
                        RegHandle* h) override {
        if (faults_.open != 0) return Refuse(h, faults_.open);
        return inner_.OpenKeyEx(r, s, o, a, h);
    }
    RegStatus CreateKeyEx(RegHandle r, const std::string& s, std::uint32_t o, std::uint32_t a,
                          bool i, RegHandle* h, std::uint32_t* d) override {
        if (faults_.create != 0) return Refuse(h, faults_.create);
        return inner_.CreateKeyEx(r, s, o, a, i, h, d);
    }
    RegStatus QueryValueEx(RegHandle k, const std::string& n, std::uint32_t* t, std::uint8_t* d,
                           std::uint32_t* s) override {
        return faults_.query != 0 ? faults_.query : inner_.QueryValueEx(k, n, t, d, s);
    }
    RegStatus SetValueEx(RegHandle k, const std::string& n, std::uint32_t t, const std::uint8_t* d,
                         std::uint32_t s) override {
        return faults_.set != 0 ? faults_.set : inner_.SetValueEx(k, n, t, d, s);
    }
    RegStatus EnumKey(RegHandle k, std::uint32_t i, char* n, std::uint32_t s) override {
        return inner_.EnumKey(k, i, n, s);
    }
    RegStatus EnumValue(RegHandle k, std::uint32_t i, char* n, std::uint32_t* ns, std::uint32_t* t,
                        std::uint8_t* d, std::uint32_t* ds) override {
        return inner_.EnumValue(k, i, n, ns, t, d, ds);
    }
    RegStatus CloseKey(RegHandle k) override { return inner_.CloseKey(k); }

private:
    static RegStatus Refuse(RegHandle* h, RegStatus status) {
        if (h != nullptr) *h = 0;
        return status;
    }
    RegistryApi& inner_;
    Faults faults_;
};

}  // namespace portquell::testing
