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
        std::size_t queries = 2;
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

// An enumeration that breaks off with any status but "no more items"
// still ends the list there: the names so far, no error.
TEST_F(HandlerHandles, ListingsEndOnAnyStatusWithTheNamesSoFar) {
    RegHandle key = 0;
    ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, kPath, 0, regaccess::kAllAccess, false,
                                  &key, nullptr));
    for (const char* name : {"a", "b", "c", "d"}) {
        RegHandle sub = 0;
        ASSERT_EQ(0, reg_.CreateKeyEx(key, name, 0, regaccess::kAllAccess, false, &sub, nullptr));
        ASSERT_EQ(0, reg_.CloseKey(sub));
        ASSERT_EQ(0, reg_.SetValueEx(key, name, regtype::kNone, nullptr, 0));
    }
    ASSERT_EQ(0, reg_.CloseKey(key));
    for (const RegStatus status : {regstatus::kMoreData, regstatus::kAccessDenied, RegStatus{1018}}) {
        for (const std::uint32_t failingIndex : {0u, 2u}) {
            testing::FaultyRegistry faulty(reg_);
            faulty.FailWhen([&](const testing::RegCallRecord& r) {
                return (r.call == testing::RegCall::EnumKey || r.call == testing::RegCall::EnumValue) &&
                       r.index == failingIndex;
            }, status);
            clsRegHandler handler(faulty);
            ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath));
            const std::vector<std::string> all{"a", "b", "c", "d"};
            const std::vector<std::string> expected(all.begin(), all.begin() + failingIndex);
            for (const RegNameList& list : {handler.GetAllsSubDirectories(), handler.GetAllValues()}) {
                ASSERT_TRUE(list.IsList()) << status << " at " << failingIndex;
                // The status that ended it stays for the caller to see.
                EXPECT_EQ(status, handler.LastRegStatus()) << status << " at " << failingIndex;
                EXPECT_EQ(expected, list.Names()) << status << " at " << failingIndex;
                EXPECT_EQ("", handler.sLastRegErr);
            }
        }
    }
}

// GetValue sizes its buffer by the first query but forms its text from
// the type and size that the second query leaves: the value may change in
// between.
TEST_F(HandlerHandles, GetValueUsesTheTypeAndSizeOfTheSecondQuery) {
    const struct {
        const char* label;
        std::uint32_t firstType;
        std::vector<std::uint8_t> first;
        std::uint32_t secondType;
        std::vector<std::uint8_t> second;
        const char* text;
        std::size_t queries = 2;
    } cases[] = {
        {"text_becomes_dword", regtype::kSz, {'a', 'b', 'c', 0}, regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF},
         "FF FF FF FF"},
        {"binary_shrinks", regtype::kBinary, {1, 2, 3, 4, 5, 6}, regtype::kBinary, {0xAB, 0xCD},
         "AB CD"},
        {"dword_becomes_text", regtype::kDword, {1, 0, 0, 0}, regtype::kSz, {'x', 'y', 0}, "xy"},
        {"text_becomes_none", regtype::kSz, {'a', 0}, regtype::kNone, {}, "Not defined value_type=REG_NONE"},
        // Grown past the buffer: sized again, never read past it.
        {"big_endian_shrinks", regtype::kDwordBigEndian, {1, 2, 3, 4}, regtype::kDwordBigEndian, {9}, "\x09"},
        {"binary_grows", regtype::kBinary, {1, 2}, regtype::kBinary, {9, 8, 7, 6, 5, 4}, "09 08 07 06 05 04", 4},
    };
    for (const auto& c : cases) {
        RegHandle key = 0;
        ASSERT_EQ(0, reg_.CreateKeyEx(regroot::kLocalMachine, kPath, 0, regaccess::kAllAccess, false,
                                      &key, nullptr));
        ASSERT_EQ(0, reg_.SetValueEx(key, "v", c.firstType, c.first.data(),
                                     static_cast<std::uint32_t>(c.first.size())));
        testing::FaultyRegistry faulty(reg_);
        faulty.BeforeEachCall([&](const testing::RegCallRecord& r) {
            if (r.call == testing::RegCall::QueryValueEx && r.withData) {
                ASSERT_EQ(0, reg_.SetValueEx(key, "v", c.secondType, c.second.data(),
                                             static_cast<std::uint32_t>(c.second.size())));
            }
        });
        clsRegHandler handler(faulty);
        ASSERT_TRUE(handler.OpenRegistry(regroot::kLocalMachine, kPath));
        EXPECT_EQ(c.text, handler.GetValue("v")) << c.label;
        EXPECT_EQ(c.queries, faulty.CountOf(testing::RegCall::QueryValueEx)) << c.label;
        // The raw read holds the bytes the second read gave, no more.
        ASSERT_EQ(0, reg_.SetValueEx(key, "v", c.firstType, c.first.data(), static_cast<std::uint32_t>(c.first.size())));
        const RegValue raw = handler.GetRawValue("v");
        EXPECT_EQ(std::string(c.second.begin(), c.second.end()), raw.data) << c.label;
        EXPECT_EQ(c.secondType, raw.type) << c.label;
        ASSERT_EQ(0, reg_.CloseKey(key));
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
