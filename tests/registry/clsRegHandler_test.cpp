// The registry handler on this build's registry (in memory natively, the
// real one under Wine): its states, every text GetValue can give, writes
// read back and the three kinds of listing result.
#include "registry/clsRegHandler.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_registry.h"

namespace portquell {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RegHandlerTest : public ::testing::Test {
protected:
    void SetUp() override { reg_ = testing::MakeTestRegistry(); }

    // Writes a value straight through the registry layer.
    void Put(const std::string& relative, const std::string& name, std::uint32_t type,
             const Bytes& data) {
        RegHandle key = 0;
        ASSERT_EQ(0, reg_->Api().CreateKeyEx(reg_->Root(), reg_->Path(relative), 0,
                                             regaccess::kAllAccess, false, &key, nullptr));
        ASSERT_EQ(0, reg_->Api().SetValueEx(key, name, type, data.empty() ? nullptr : data.data(),
                                            static_cast<std::uint32_t>(data.size())));
        ASSERT_EQ(0, reg_->Api().CloseKey(key));
    }

    // Reads a value's type and bytes straight through the registry layer.
    Bytes Get(const std::string& relative, const std::string& name, std::uint32_t* type) {
        RegHandle key = 0;
        EXPECT_EQ(0, reg_->Api().OpenKeyEx(reg_->Root(), reg_->Path(relative), 0,
                                           regaccess::kQueryValue, &key));
        std::uint32_t size = 0;
        EXPECT_EQ(0, reg_->Api().QueryValueEx(key, name, type, nullptr, &size));
        Bytes data(size);
        EXPECT_EQ(0, reg_->Api().QueryValueEx(key, name, type, data.data(), &size));
        EXPECT_EQ(0, reg_->Api().CloseKey(key));
        return data;
    }

    bool KeyExists(const std::string& relative) {
        RegHandle key = 0;
        if (reg_->Api().OpenKeyEx(reg_->Root(), reg_->Path(relative), 0, regaccess::kQueryValue,
                                  &key) != 0) {
            return false;
        }
        EXPECT_EQ(0, reg_->Api().CloseKey(key));
        return true;
    }

    std::unique_ptr<testing::TestRegistry> reg_;
};

TEST_F(RegHandlerTest, FreshHandlerIsClosedAndSaysNothing) {
    clsRegHandler handler(reg_->Api());
    EXPECT_EQ(0, handler.RegistryRootKey());
    EXPECT_EQ("", handler.sSubDirectory());
    EXPECT_EQ("", handler.GetValue("PortName"));
    EXPECT_EQ("", handler.sLastRegErr);
    EXPECT_TRUE(handler.GetAllsSubDirectories().IsEmpty());
    EXPECT_TRUE(handler.GetAllValues().IsEmpty());
    EXPECT_FALSE(handler.CloseRegistry());
    EXPECT_EQ("", handler.sLastRegErr);
}

TEST_F(RegHandlerTest, RootZeroIsRefusedAndKeepsTheLastRootAndPath) {
    clsRegHandler handler(reg_->Api());
    EXPECT_FALSE(handler.OpenRegistry(0, "Anything"));
    EXPECT_EQ(0, handler.RegistryRootKey());
    EXPECT_EQ("", handler.sSubDirectory());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Base()));
    handler.sLastRegErr = "stale";
    EXPECT_FALSE(handler.OpenRegistry(0, "Other"));
    EXPECT_EQ("", handler.sLastRegErr);
    EXPECT_EQ(reg_->Root(), handler.RegistryRootKey());
    EXPECT_EQ(reg_->Base(), handler.sSubDirectory());
}

TEST_F(RegHandlerTest, OpeningAMissingKeyReadOnlyFailsWithItsStatus) {
    clsRegHandler handler(reg_->Api());
    const std::string path = reg_->Path("No\\Such\\Key");
    EXPECT_FALSE(handler.OpenRegistry(reg_->Root(), path));
    EXPECT_EQ("2: RegOpenKeyEx failed...", handler.sLastRegErr);
    EXPECT_EQ(reg_->Root(), handler.RegistryRootKey());
    EXPECT_EQ(path, handler.sSubDirectory());
    EXPECT_FALSE(KeyExists("No"));
}

TEST_F(RegHandlerTest, OpeningForWriteCreatesEveryMissingKey) {
    clsRegHandler handler(reg_->Api());
    EXPECT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("One\\Two\\Three"), true));
    EXPECT_EQ("", handler.sLastRegErr);
    EXPECT_TRUE(KeyExists("One\\Two\\Three"));
}

TEST_F(RegHandlerTest, RefusedCreationReportsStatusAndDisposition) {
    clsRegHandler handler(reg_->Api());
    const std::int32_t bogusRoot = 0x7FFFFFF0;  // no such handle
    EXPECT_FALSE(handler.OpenRegistry(bogusRoot, "X", true));
    EXPECT_EQ("6: RegCreateKeyEx failed, disposition=0", handler.sLastRegErr);
    EXPECT_EQ(bogusRoot, handler.RegistryRootKey());
}

TEST_F(RegHandlerTest, FailedOpenAfterAnOpenOneLeavesItClosed) {
    Put("Open", "PortName", regtype::kSz, {'C', 'O', 'M', '1', 0});
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Open")));
    ASSERT_EQ("COM1", handler.GetValue("PortName"));
    EXPECT_FALSE(handler.OpenRegistry(reg_->Root(), reg_->Path("Missing")));
    EXPECT_EQ("", handler.GetValue("PortName"));
    EXPECT_FALSE(handler.CloseRegistry());
}

TEST_F(RegHandlerTest, ReopeningWorksOnTheSecondKeyOnly) {
    Put("First", "v", regtype::kSz, {'1', 0});
    Put("Second", "v", regtype::kSz, {'2', 0});
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("First")));
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Second")));
    EXPECT_EQ("2", handler.GetValue("v"));
    EXPECT_TRUE(handler.CloseRegistry());
    EXPECT_FALSE(handler.CloseRegistry());
}

TEST_F(RegHandlerTest, DetachedHandleIsClosedByCloseRegistry) {
    Put("Detach", "v", regtype::kSz, {'x', 0});
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Detach")));
    EXPECT_FALSE(handler.OpenRegistry(0, ""));
    EXPECT_EQ("", handler.GetValue("v"));  // not open any more
    EXPECT_TRUE(handler.GetAllValues().IsEmpty());
    EXPECT_TRUE(handler.CloseRegistry());  // but the handle was still held
    EXPECT_FALSE(handler.CloseRegistry());
}

struct ReadCase {
    const char* label;
    std::uint32_t type;
    Bytes data;
    bool binStr;
    std::string expected;
    std::string error;  // expected sLastRegErr prefix ("" for none)
};

class RegHandlerReadTest : public RegHandlerTest,
                           public ::testing::WithParamInterface<ReadCase> {};

TEST_P(RegHandlerReadTest, GetValueGivesTheTextOfEachType) {
    const ReadCase& c = GetParam();
    Put("Read", "v", c.type, c.data);
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Read")));
    EXPECT_EQ(c.expected, handler.GetValue("v", c.binStr));
    EXPECT_EQ(c.error, handler.sLastRegErr.substr(0, c.error.empty() ? std::string::npos : 3));
}

std::string S(std::initializer_list<int> codes) {
    std::string s;
    for (int c : codes) s.push_back(static_cast<char>(c));
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, RegHandlerReadTest,
    ::testing::Values(
        ReadCase{"sz", regtype::kSz, {'C', 'O', 'M', '1', 0}, false, "COM1", ""},
        ReadCase{"sz_only_nul", regtype::kSz, {0}, false, "", ""},
        ReadCase{"sz_without_nul", regtype::kSz, {'C', 'O', 'M', '3'}, false, "COM3", ""},
        ReadCase{"sz_no_bytes", regtype::kSz, {}, false, "", "5: "},
        ReadCase{"sz_embedded_nul", regtype::kSz, {'a', 0, 'b', 0}, false, S({'a', 0, 'b'}), ""},
        ReadCase{"expand_sz_unexpanded", regtype::kExpandSz, {'%', 'O', 'S', '%', 0}, true, "%OS%",
                 ""},
        ReadCase{"expand_sz_no_bytes", regtype::kExpandSz, {}, true, "", "5: "},
        ReadCase{"dword_minus_one", regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF}, false,
                 "FF FF FF FF", ""},
        ReadCase{"dword_one", regtype::kDword, {1, 0, 0, 0}, false, "01 00 00 00", ""},
        ReadCase{"dword_one_raw", regtype::kDword, {1, 0, 0, 0}, true, S({1, 0, 0, 0}), ""},
        ReadCase{"binary", regtype::kBinary, {0x01, 0xAB, 0x00}, false, "01 AB 00", ""},
        ReadCase{"binary_raw", regtype::kBinary, {0x01, 0xAB, 0x00}, true, S({1, 0xAB, 0}), ""},
        ReadCase{"binary_empty", regtype::kBinary, {}, false, "", ""},
        ReadCase{"dword_big_endian_raw", regtype::kDwordBigEndian, {0, 0, 1, 2}, false,
                 S({0, 0, 1, 2}), ""},
        ReadCase{"multi_sz", regtype::kMultiSz, {'a', 0, 'b', 0, 0}, false, S({'a', 0, 'b', 0, 0}),
                 ""},
        ReadCase{"none", regtype::kNone, {1}, false, "Not defined value_type=REG_NONE", ""},
        ReadCase{"link", regtype::kLink, {'x', 0}, true, "Not defined value_type=REG_LINK", ""},
        ReadCase{"resource_list", regtype::kResourceList, {1}, false,
                 "Not defined value_type=REG_RESOURCE_LIST", ""},
        ReadCase{"full_resource", regtype::kFullResourceDescriptor, {1}, false,
                 "Not defined value_type=REG_FULL_RESOURCE_DESCRIPTOR", ""},
        ReadCase{"requirements", regtype::kResourceRequirementsList, {1}, false,
                 "Not defined value_type=REG_RESOURCE_REQUIREMENTS_LIST", ""},
        ReadCase{"qword", regtype::kQword, {1, 0, 0, 0, 0, 0, 0, 0}, false, "value_type=11", ""}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.label; });

TEST_F(RegHandlerTest, MissingValueReadsAsEmptyWithoutError) {
    Put("Read", "other", regtype::kSz, {'x', 0});
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Read")));
    EXPECT_EQ("", handler.GetValue("SkipEnumerations"));
    EXPECT_EQ("", handler.sLastRegErr);
}

TEST_F(RegHandlerTest, HexTextStopsAtTheSixteenBitLimit) {
    Put("Big", "fits", regtype::kBinary, Bytes(32766, 0xA5));
    Put("Big", "overflows", regtype::kBinary, Bytes(32767, 0x5A));
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Big")));
    const std::string fits = handler.GetValue("fits");
    EXPECT_EQ(32766u * 3 - 1, fits.size());
    EXPECT_EQ("A5 A5", fits.substr(0, 5));
    EXPECT_EQ("", handler.GetValue("overflows"));
    EXPECT_EQ("6: Overflow", handler.sLastRegErr);
    EXPECT_EQ(std::string(32767, '\x5A'), handler.GetValue("overflows", true));
    EXPECT_EQ("", handler.sLastRegErr);
}

struct WriteCase {
    const char* label;
    std::int32_t type;
    std::string text;
    std::uint32_t storedType;
    Bytes stored;
    std::string readBack;
};

class RegHandlerWriteTest : public RegHandlerTest,
                            public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RegHandlerWriteTest, SetValueStoresWhatGetValueReadsBack) {
    const WriteCase& c = GetParam();
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Write"), true));
    handler.sLastRegErr = "untouched";
    EXPECT_EQ(0, handler.SetValue("v", c.text, c.type));
    EXPECT_EQ("untouched", handler.sLastRegErr);
    std::uint32_t type = 0;
    EXPECT_EQ(c.stored, Get("Write", "v", &type));
    EXPECT_EQ(c.storedType, type);
    EXPECT_EQ(c.readBack, handler.GetValue("v"));
}

INSTANTIATE_TEST_SUITE_P(
    Writes, RegHandlerWriteTest,
    ::testing::Values(
        WriteCase{"dword_minus_one", 4, "-1", regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF},
                  "FF FF FF FF"},
        WriteCase{"dword_zero", 4, "0", regtype::kDword, {0, 0, 0, 0}, "00 00 00 00"},
        WriteCase{"dword_empty_text", 4, "", regtype::kDword, {0, 0, 0, 0}, "00 00 00 00"},
        WriteCase{"dword_not_a_number", 4, "abc", regtype::kDword, {0, 0, 0, 0}, "00 00 00 00"},
        WriteCase{"dword_258", 4, "258", regtype::kDword, {2, 1, 0, 0}, "02 01 00 00"},
        WriteCase{"sz", 1, "COM1", regtype::kSz, {'C', 'O', 'M', '1', 0}, "COM1"},
        WriteCase{"binary_ignores_text", 3, "ignored", regtype::kBinary, {}, ""}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return info.param.label; });

TEST_F(RegHandlerTest, SetValueWithoutTypeWritesText) {
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Write"), true));
    EXPECT_EQ(0, handler.SetValue("name", "COM7"));
    std::uint32_t type = 0;
    EXPECT_EQ((Bytes{'C', 'O', 'M', '7', 0}), Get("Write", "name", &type));
    EXPECT_EQ(regtype::kSz, type);
}

TEST_F(RegHandlerTest, SetValueReportsRefusalsThroughItsStatus) {
    Put("Locked", "v", regtype::kDword, {7, 0, 0, 0});
    clsRegHandler handler(reg_->Api());
    EXPECT_EQ(regstatus::kInvalidHandle, handler.SetValue("v", "1", 4));  // holds no key
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Locked")));
    EXPECT_EQ(regstatus::kAccessDenied, handler.SetValue("v", "-1", 4));
    EXPECT_EQ("07 00 00 00", handler.GetValue("v"));
}

TEST_F(RegHandlerTest, ListingsDistinguishEmptyNullAndLists) {
    Put("List", "", regtype::kSz, {'d', 0});
    Put("List", "four", regtype::kDword, {1, 2, 3, 4});
    Put("List", "sixteen", regtype::kBinary, Bytes(16, 1));
    Put("List", "threehundred", regtype::kBinary, Bytes(300, 2));
    Put("List\\Sub1", "x", regtype::kNone, {});
    Put("List\\Sub2", "x", regtype::kNone, {});
    Put("List\\Sub3", "x", regtype::kNone, {});
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("List")));  // read-only
    const RegNameList keys = handler.GetAllsSubDirectories();
    ASSERT_TRUE(keys.IsList());
    EXPECT_EQ((std::vector<std::string>{"Sub1", "Sub2", "Sub3"}), keys.Names());
    const RegNameList values = handler.GetAllValues();
    ASSERT_TRUE(values.IsList());
    // Every name, however large its data; the order is the registry's.
    std::vector<std::string> names = values.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"", "four", "sixteen", "threehundred"}), names);
    EXPECT_EQ("", handler.sLastRegErr);

    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("List\\Sub1")));
    EXPECT_TRUE(handler.GetAllsSubDirectories().IsList());
    EXPECT_TRUE(handler.GetAllsSubDirectories().Names().empty());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("List\\Sub1\\Empty"), true));
    const RegNameList none = handler.GetAllValues();
    EXPECT_TRUE(none.IsList());
    EXPECT_TRUE(none.Names().empty());
}

// Creating 32,768 keys takes seconds in memory and under Wine alike.
TEST_F(RegHandlerTest, EnumerationStopsAtTheSixteenBitLimit) {
    RegHandle parent = 0;
    ASSERT_EQ(0, reg_->Api().CreateKeyEx(reg_->Root(), reg_->Path("Many"), 0,
                                         regaccess::kAllAccess, false, &parent, nullptr));
    char name[8];
    for (int i = 0; i < 32767; ++i) {
        std::snprintf(name, sizeof name, "%05d", i);
        RegHandle child = 0;
        ASSERT_EQ(0, reg_->Api().CreateKeyEx(parent, name, 0, regaccess::kAllAccess, false, &child,
                                             nullptr));
        ASSERT_EQ(0, reg_->Api().CloseKey(child));
    }
    clsRegHandler handler(reg_->Api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Many")));
    const RegNameList all = handler.GetAllsSubDirectories();
    ASSERT_TRUE(all.IsList());
    ASSERT_EQ(32767u, all.Names().size());
    EXPECT_EQ("00000", all.Names().front());
    EXPECT_EQ("32766", all.Names().back());

    RegHandle child = 0;
    ASSERT_EQ(0, reg_->Api().CreateKeyEx(parent, "32767", 0, regaccess::kAllAccess, false, &child,
                                         nullptr));
    ASSERT_EQ(0, reg_->Api().CloseKey(child));
    ASSERT_EQ(0, reg_->Api().CloseKey(parent));
    const RegNameList tooMany = handler.GetAllsSubDirectories();
    EXPECT_TRUE(tooMany.IsNull());
    EXPECT_EQ("6: Overflow", handler.sLastRegErr);
}

}  // namespace
}  // namespace portquell
