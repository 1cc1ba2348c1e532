// The registry a preview writes to: a key the registry underneath refuses
// to read stays refused (never taken for missing), and every change is
// kept, in order, while the registry underneath stays as it was.
#include "registry/dry_run_registry.h"

#include <gtest/gtest.h>

#include "faulty_registry.h"
#include "registry/memory_registry.h"

namespace portquell {
namespace {

RegStatus Open(RegistryApi& reg, const std::string& key, RegHandle& handle) {
    return reg.OpenKeyEx(regroot::kLocalMachine, key, 0, regaccess::kAllAccess, &handle);
}

TEST(DryRunRegistry, ARefusedReadStaysRefusedAndChangesAreKept) {
    for (const testing::RegCall call : {testing::RegCall::OpenKeyEx, testing::RegCall::EnumKey,
                                        testing::RegCall::EnumValue, testing::RegCall::QueryValueEx}) {
        MemoryRegistry base;
        RegHandle key = 0;
        ASSERT_EQ(0, base.CreateKeyEx(regroot::kLocalMachine, "A\\B\\C", 0, regaccess::kAllAccess, false, &key, nullptr));
        ASSERT_EQ(0, base.SetValueEx(key, "v", regtype::kDword, reinterpret_cast<const std::uint8_t*>("\1\0\0\0"), 4));
        ASSERT_EQ(0, base.SetValueEx(key, "w", regtype::kDword, reinterpret_cast<const std::uint8_t*>("\2\0\0\0"), 4));
        ASSERT_EQ(0, base.CloseKey(key));
        testing::FaultyRegistry faulty(base);
        DryRunRegistry dry(faulty);
        faulty.FailWhen([call](const testing::RegCallRecord& r) {
            return r.call == call && (call != testing::RegCall::OpenKeyEx || r.name == "A\\B\\C");
        }, 5);
        for (int twice = 0; twice < 2; ++twice) {
            EXPECT_EQ(5, Open(dry, "A\\B\\C", key)) << static_cast<int>(call);
            EXPECT_EQ(5, dry.DeleteKey(regroot::kLocalMachine, "A\\B\\C")) << static_cast<int>(call);
        }
        testing::FaultyRegistry clear(base);
        DryRunRegistry later(clear);
        ASSERT_EQ(0, Open(later, "A\\B\\C", key));
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        EXPECT_EQ(0, later.QueryValueEx(key, "w", &type, nullptr, &size));
        EXPECT_EQ(0, later.DeleteValue(key, "v"));
        ASSERT_EQ(0, later.CloseKey(key));
        EXPECT_EQ(0, later.DeleteKey(regroot::kLocalMachine, "A\\B\\C"));
        EXPECT_EQ(2, Open(later, "A\\B\\C", key));
        ASSERT_EQ(2u, later.Writes().size());
        EXPECT_EQ(RegWrite::Kind::DeleteValue, later.Writes()[0].kind);
        EXPECT_EQ("v", later.Writes()[0].name);
        EXPECT_EQ(RegWrite::Kind::DeleteKey, later.Writes()[1].kind);
        EXPECT_EQ("A\\B\\C", later.Writes()[1].key);
        ASSERT_EQ(0, Open(base, "A\\B\\C", key));  // underneath, as it was
        EXPECT_EQ(0, base.QueryValueEx(key, "v", &type, nullptr, &size));
        ASSERT_EQ(0, base.CloseKey(key));
    }
}

// A key below one that could not be read is refused as its parent was,
// never planned as created, and the report of what was read names it.
TEST(DryRunRegistry, AKeyBelowARefusedOneIsNeverPlanned) {
    MemoryRegistry base;
    RegHandle key = 0;
    ASSERT_EQ(0, base.CreateKeyEx(regroot::kLocalMachine, "A\\B\\C", 0, regaccess::kAllAccess, false, &key, nullptr));
    ASSERT_EQ(0, base.CloseKey(key));
    testing::FaultyRegistry faulty(base);
    faulty.FailWhen([](const testing::RegCallRecord& r) { return r.call == testing::RegCall::OpenKeyEx && r.name == "A\\B"; }, 5);
    DryRunRegistry dry(faulty);
    std::uint32_t made = 0;
    EXPECT_EQ(5, dry.CreateKeyEx(regroot::kLocalMachine, "A\\B\\D", 0, regaccess::kAllAccess, false, &key, &made));
    EXPECT_TRUE(dry.Writes().empty());
    ASSERT_FALSE(dry.Reads().empty());
    EXPECT_EQ("A\\B", dry.Reads().back().path);
    EXPECT_EQ(5, dry.Reads().back().status);
}

}  // namespace
}  // namespace portquell
