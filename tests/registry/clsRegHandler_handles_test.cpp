// Handle ownership and the registry answers that a real registry will not
// give on demand, checked on the in-memory registry (every build has it).
#include <gtest/gtest.h>

#include "faulty_registry.h"
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

TEST_F(HandlerHandles, QueryStatusesBecomeTheResultText) {
    const struct {
        RegStatus status;
        const char* text;
    } cases[] = {{5, "Access Denied"},
                 {2, ""},
                 {1018, "RegQueryValueEx Returned : (1018)"},
                 {234, "RegQueryValueEx Returned : (234)"}};
    for (const auto& c : cases) {
        testing::FaultyRegistry reg(reg_, testing::Faults{0, 0, c.status, 0});
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
