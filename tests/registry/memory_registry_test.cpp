// Behaviour of the in-memory registry that the contract suite cannot
// check on Wine: the creation order of values (Windows' order; Wine sorts
// them) and keys removed under open handles.
#include <gtest/gtest.h>

#include "registry/memory_registry.h"

namespace portquell {
namespace {

TEST(MemoryRegistry, ValuesEnumerateInCreationOrder) {
    MemoryRegistry reg;
    RegHandle key = 0;
    ASSERT_EQ(0, reg.CreateKeyEx(regroot::kLocalMachine, "K", 0, regaccess::kAllAccess, false,
                                 &key, nullptr));
    for (const char* name : {"zeta", "Alpha", "mid"}) {
        ASSERT_EQ(0, reg.SetValueEx(key, name, regtype::kNone, nullptr, 0));
    }
    std::vector<std::string> names;
    char buffer[32];
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t size = sizeof buffer;
        if (reg.EnumValue(key, i, buffer, &size, nullptr, nullptr, nullptr) != 0) break;
        names.emplace_back(buffer, size);
    }
    EXPECT_EQ((std::vector<std::string>{"zeta", "Alpha", "mid"}), names);
    EXPECT_EQ(0, reg.CloseKey(key));
}

TEST(MemoryRegistry, KeyRemovedUnderAnOpenHandleAnswersKeyDeleted) {
    MemoryRegistry reg;
    RegHandle key = 0;
    ASSERT_EQ(0, reg.CreateKeyEx(regroot::kLocalMachine, "P\\Q", 0, regaccess::kAllAccess, false,
                                 &key, nullptr));
    ASSERT_EQ(0, reg.DeleteTree(regroot::kLocalMachine, "P"));
    std::uint32_t size = 0;
    EXPECT_EQ(1018, reg.QueryValueEx(key, "x", nullptr, nullptr, &size));
    RegHandle again = 0;
    EXPECT_EQ(2, reg.OpenKeyEx(regroot::kLocalMachine, "P\\Q", 0, regaccess::kQueryValue, &again));
    EXPECT_EQ(0, reg.CloseKey(key));
    EXPECT_EQ(0u, reg.OpenHandleCount());
}

// Windows refuses an empty part inside a path also when creating (Wine
// creates a key); and a name's NUL must fit the buffer.
TEST(MemoryRegistry, EmptyPathPartsAndExactBuffersAreRefused) {
    MemoryRegistry reg;
    RegHandle key = 0;
    EXPECT_NE(0, reg.CreateKeyEx(regroot::kLocalMachine, "A\\\\B", 0, regaccess::kAllAccess, false, &key,
                                 nullptr));
    EXPECT_EQ(0, key);
    EXPECT_EQ(2, reg.OpenKeyEx(regroot::kLocalMachine, "A", 0, regaccess::kQueryValue, &key));
    ASSERT_EQ(0, reg.CreateKeyEx(regroot::kLocalMachine, "A\\abc", 0, regaccess::kAllAccess, false, &key,
                                 nullptr));
    ASSERT_EQ(0, reg.CloseKey(key));
    ASSERT_EQ(0, reg.OpenKeyEx(regroot::kLocalMachine, "A", 0, regaccess::kAllAccess, &key));
    char exact[3];
    EXPECT_EQ(regstatus::kMoreData, reg.EnumKey(key, 0, exact, sizeof exact));
    EXPECT_EQ(0, reg.CloseKey(key));
}

TEST(MemoryRegistry, RefusedCreationLeavesNoPartialPath) {
    MemoryRegistry reg;
    RegHandle readOnly = 0;
    ASSERT_EQ(0, reg.CreateKeyEx(regroot::kLocalMachine, "R", 0, regaccess::kQueryValue, false,
                                 &readOnly, nullptr));
    RegHandle child = 0;
    EXPECT_EQ(5, reg.CreateKeyEx(readOnly, "S\\T", 0, regaccess::kAllAccess, false, &child,
                                 nullptr));
    EXPECT_EQ(0, child);
    EXPECT_EQ(2, reg.OpenKeyEx(regroot::kLocalMachine, "R\\S", 0, regaccess::kQueryValue, &child));
    EXPECT_EQ(0, reg.CloseKey(readOnly));
}

}  // namespace
}  // namespace portquell
