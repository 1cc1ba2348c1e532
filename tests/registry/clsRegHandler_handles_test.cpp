// Handle ownership and the registry answers that a real registry will not
// give on demand, checked on the in-memory registry (every build has it).
#include <gtest/gtest.h>

#include "registry/clsRegHandler.h"
#include "registry/memory_registry.h"

namespace portquell {
namespace {

constexpr const char* kPath = "SYSTEM\\Test";

class HandlerHandles : public ::testing::Test {
protected:
    void SetUp() override {
        RegHandle key = 0;
        ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, kPath, 0, regaccess::kAllAccess,
                                      false, &key, nullptr));
        ASSERT_EQ(0, reg_.CloseKey(key));
    }
    MemoryRegistry reg_;
};

TEST_F(HandlerHandles, DestructionClosesAnOpenKeyOnce) {
    {
        clsRegHandler handler(reg_);
        ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath));
        EXPECT_EQ(1u, reg_.OpenHandleCount());
    }
    EXPECT_EQ(0u, reg_.OpenHandleCount());
    {
        clsRegHandler handler(reg_);
        ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath));
        EXPECT_TRUE(handler.CloseRegistry());
    }
    EXPECT_EQ(0u, reg_.OpenHandleCount());
}

TEST_F(HandlerHandles, ReopeningHoldsOneHandle) {
    clsRegHandler handler(reg_);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath));
    EXPECT_EQ(1u, reg_.OpenHandleCount());
}

TEST_F(HandlerHandles, DetachedHandleIsClosedWhenReplaced) {
    clsRegHandler handler(reg_);
    ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath));
    EXPECT_FALSE(handler.OpenRegistry(0, kPath));
    EXPECT_EQ(1u, reg_.OpenHandleCount());  // still held while detached
    ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath, true));
    EXPECT_EQ(1u, reg_.OpenHandleCount()) << "the detached handle leaked";
    EXPECT_FALSE(handler.OpenRegistry(regroot::kLocalMachine, "SYSTEM\\Missing"));
    EXPECT_EQ(0u, reg_.OpenHandleCount());
}

// Passes every call through, but answers value queries with a set status.
class StatusRegistry final : public RegistryApi {
public:
    StatusRegistry(RegistryApi& inner, RegStatus queryStatus)
        : inner_(inner), queryStatus_(queryStatus) {}
    RegStatus OpenKeyEx(RegHandle r, const std::string& s, std::uint32_t o, std::uint32_t a,
                        RegHandle* h) override {
        return inner_.OpenKeyEx(r, s, o, a, h);
    }
    RegStatus CreateKeyEx(RegHandle r, const std::string& s, std::uint32_t o, std::uint32_t a,
                          bool i, RegHandle* h, std::uint32_t* d) override {
        return inner_.CreateKeyEx(r, s, o, a, i, h, d);
    }
    RegStatus QueryValueEx(RegHandle, const std::string&, std::uint32_t*, std::uint8_t*,
                           std::uint32_t*) override {
        return queryStatus_;
    }
    RegStatus SetValueEx(RegHandle k, const std::string& n, std::uint32_t t,
                         const std::uint8_t* d, std::uint32_t s) override {
        return inner_.SetValueEx(k, n, t, d, s);
    }
    RegStatus EnumKey(RegHandle k, std::uint32_t i, char* n, std::uint32_t s) override {
        return inner_.EnumKey(k, i, n, s);
    }
    RegStatus EnumValue(RegHandle k, std::uint32_t i, char* n, std::uint32_t* ns,
                        std::uint32_t* t, std::uint8_t* d, std::uint32_t* ds) override {
        return inner_.EnumValue(k, i, n, ns, t, d, ds);
    }
    RegStatus CloseKey(RegHandle k) override { return inner_.CloseKey(k); }

private:
    RegistryApi& inner_;
    RegStatus queryStatus_;
};

TEST_F(HandlerHandles, QueryStatusesBecomeTheResultText) {
    const struct {
        RegStatus status;
        const char* text;
    } cases[] = {{5, "Access Denied"},
                 {2, ""},
                 {1018, "RegQueryValueEx Returned : (1018)"},
                 {234, "RegQueryValueEx Returned : (234)"}};
    for (const auto& c : cases) {
        StatusRegistry reg(reg_, c.status);
        clsRegHandler handler(reg);
        ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath));
        EXPECT_EQ(c.text, handler.GetValue("v")) << c.status;
        EXPECT_EQ("", handler.sLastRegErr) << c.status;
    }
}

TEST_F(HandlerHandles, ValueListingStopsAtTheSixteenBitLimit) {
    RegHandle key = 0;
    ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, "SYSTEM\\Values", 0,
                                  regaccess::kAllAccess, false, &key, nullptr));
    for (int i = 0; i < 32767; ++i) {
        ASSERT_EQ(0, reg_.SetValueEx(key, std::to_string(i), regtype::kNone, nullptr, 0));
    }
    clsRegHandler handler(reg_);
    ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, "SYSTEM\\Values"));
    const RegNameList all = handler.GetAllValues();
    ASSERT_TRUE(all.IsList());
    EXPECT_EQ(32767u, all.Names().size());
    EXPECT_EQ("32766", all.Names().back());
    ASSERT_EQ(0, reg_.SetValueEx(key, "one more", regtype::kNone, nullptr, 0));
    EXPECT_TRUE(handler.GetAllValues().IsNull());
    EXPECT_EQ("6: Overflow", handler.sLastRegErr);
    ASSERT_EQ(0, reg_.CloseKey(key));
}

}  // namespace
}  // namespace portquell
