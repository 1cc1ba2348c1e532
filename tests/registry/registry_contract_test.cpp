// What the handler relies on from the registry, checked on whichever
// registry this build has: the in-memory one natively, advapi32 under
// Wine. The in-memory registry is trusted because both pass these cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "registry/clsRegHandler.h"
#include "test_registry.h"

namespace portquell {
namespace {

using testing::MakeTestRegistry;
using testing::TestRegistry;
using Bytes = std::vector<std::uint8_t>;

class RegistryContract : public ::testing::Test {
protected:
    void SetUp() override { reg_ = MakeTestRegistry(); }

    RegistryApi& api() { return reg_->Api(); }

    RegHandle Create(const std::string& relative, std::uint32_t* disposition = nullptr,
                     std::uint32_t access = regaccess::kAllAccess) {
        RegHandle key = 0;
        std::uint32_t how = 0;
        EXPECT_EQ(regstatus::kSuccess, api().CreateKeyEx(reg_->Root(), reg_->Path(relative), 0,
                                                          access, false, &key, &how));
        if (disposition != nullptr) *disposition = how;
        return key;
    }

    RegHandle Open(const std::string& relative, std::uint32_t access, RegStatus expected = 0) {
        RegHandle key = -1;
        EXPECT_EQ(expected, api().OpenKeyEx(reg_->Root(), reg_->Path(relative), 0, access, &key));
        return key;
    }

    void Set(RegHandle key, const std::string& name, std::uint32_t type, const Bytes& data) {
        ASSERT_EQ(regstatus::kSuccess,
                  api().SetValueEx(key, name, type, data.empty() ? nullptr : data.data(),
                                   static_cast<std::uint32_t>(data.size())));
    }

    std::vector<std::string> SubKeys(RegHandle key) {
        std::vector<std::string> names;
        char buffer[256];
        for (std::uint32_t i = 0;; ++i) {
            const RegStatus status = api().EnumKey(key, i, buffer, sizeof buffer);
            if (status == regstatus::kNoMoreItems) break;
            EXPECT_EQ(regstatus::kSuccess, status);
            if (status != regstatus::kSuccess) break;
            names.emplace_back(buffer);
        }
        return names;
    }

    std::vector<std::string> ValueNames(RegHandle key) {
        std::vector<std::string> names;
        std::vector<char> buffer(kMaxValueNameChars + 1);
        for (std::uint32_t i = 0;; ++i) {
            auto size = static_cast<std::uint32_t>(buffer.size());
            const RegStatus status =
                api().EnumValue(key, i, buffer.data(), &size, nullptr, nullptr, nullptr);
            if (status == regstatus::kNoMoreItems) break;
            EXPECT_EQ(regstatus::kSuccess, status);
            if (status != regstatus::kSuccess) break;
            EXPECT_EQ(std::strlen(buffer.data()), size);
            names.emplace_back(buffer.data());
        }
        return names;
    }

    std::unique_ptr<TestRegistry> reg_;
};

TEST_F(RegistryContract, OpeningAMissingKeyAnswersTwoAndNoHandle) {
    const RegHandle key = Open("Missing\\Deeper", regaccess::kQueryAndEnumerate,
                               regstatus::kFileNotFound);
    EXPECT_EQ(0, key);
}

TEST_F(RegistryContract, CreateMakesEveryMissingKeyAndReportsIt) {
    std::uint32_t disposition = 0;
    RegHandle key = Create("A\\B\\C", &disposition);
    EXPECT_EQ(regdisposition::kCreatedNewKey, disposition);
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));

    key = Create("a\\b\\c", &disposition);  // names ignore case
    EXPECT_EQ(regdisposition::kOpenedExistingKey, disposition);
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));

    for (const char* path : {"A", "A\\B", "A\\B\\C"}) {
        const RegHandle opened = Open(path, regaccess::kQueryAndEnumerate);
        EXPECT_NE(0, opened) << path;
        EXPECT_EQ(regstatus::kSuccess, api().CloseKey(opened));
    }
}

TEST_F(RegistryContract, NamesIgnoreCaseButKeepIt) {
    const RegHandle parent = Create("");
    const RegHandle child = Create("MixedCase");
    Set(child, "ValueName", regtype::kDword, {1, 2, 3, 4});
    EXPECT_EQ(std::vector<std::string>{"MixedCase"}, SubKeys(parent));
    const RegHandle again = Open("MIXEDCASE", regaccess::kQueryValue);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(regstatus::kSuccess, api().QueryValueEx(again, "valuename", &type, nullptr, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(std::vector<std::string>{"ValueName"}, ValueNames(again));
    for (RegHandle h : {parent, child, again}) EXPECT_EQ(regstatus::kSuccess, api().CloseKey(h));
}

TEST_F(RegistryContract, SubKeysComeSortedIgnoringCase) {
    const RegHandle parent = Create("Sorted");
    for (const char* name : {"b", "_x", "C", "A", "a1"}) {
        EXPECT_EQ(regstatus::kSuccess, api().CloseKey(Create(std::string("Sorted\\") + name)));
    }
    // Compared as lower case: '_' (0x5F) sorts before the letters.
    EXPECT_EQ((std::vector<std::string>{"_x", "A", "a1", "b", "C"}), SubKeys(parent));
    char small[2];  // "a1" and its NUL need three
    EXPECT_EQ(regstatus::kMoreData, api().EnumKey(parent, 2, small, sizeof small));
    char buffer[16];
    EXPECT_EQ(regstatus::kNoMoreItems, api().EnumKey(parent, 5, buffer, sizeof buffer));
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(parent));
}

struct TypedValue {
    const char* label;
    std::uint32_t type;
    Bytes data;
};

class RegistryContractTypes : public RegistryContract,
                              public ::testing::WithParamInterface<TypedValue> {};

// Every type keeps its bytes exactly, empty data included. String types
// use ASCII: the ANSI functions convert them through the code page.
TEST_P(RegistryContractTypes, ValueKeepsTypeAndBytes) {
    const TypedValue& v = GetParam();
    const RegHandle key = Create("Types");
    Set(key, "v", v.type, v.data);
    std::uint32_t type = 99;
    std::uint32_t size = 12345;
    ASSERT_EQ(regstatus::kSuccess, api().QueryValueEx(key, "v", &type, nullptr, &size));
    EXPECT_EQ(v.type, type);
    EXPECT_EQ(v.data.size(), size);
    Bytes read(size + 1, 0xEE);
    std::uint32_t readSize = static_cast<std::uint32_t>(read.size());
    ASSERT_EQ(regstatus::kSuccess, api().QueryValueEx(key, "v", &type, read.data(), &readSize));
    EXPECT_EQ(v.data.size(), readSize);
    read.resize(readSize);
    EXPECT_EQ(v.data, read);
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, RegistryContractTypes,
    ::testing::Values(TypedValue{"none", regtype::kNone, {1, 2}},
                      TypedValue{"none_empty", regtype::kNone, {}},
                      TypedValue{"sz", regtype::kSz, {'C', 'O', 'M', '1', 0}},
                      TypedValue{"sz_empty", regtype::kSz, {0}},
                      TypedValue{"sz_zero_bytes", regtype::kSz, {}},
                      TypedValue{"expand_sz", regtype::kExpandSz, {'%', 'X', '%', 0}},
                      TypedValue{"binary", regtype::kBinary, {0x01, 0xAB, 0x00, 0xFF}},
                      TypedValue{"binary_empty", regtype::kBinary, {}},
                      TypedValue{"dword", regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF}},
                      TypedValue{"dword_be", regtype::kDwordBigEndian, {0, 0, 0, 1}},
                      TypedValue{"link", regtype::kLink, {'x', 0, 'y', 0}},
                      TypedValue{"multi_sz", regtype::kMultiSz, {'a', 0, 'b', 0, 0}},
                      TypedValue{"resource_list", regtype::kResourceList, {9, 8, 7}},
                      TypedValue{"full_resource", regtype::kFullResourceDescriptor, {1}},
                      TypedValue{"requirements", regtype::kResourceRequirementsList, {2, 3}},
                      TypedValue{"qword", regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 8}}),
    [](const ::testing::TestParamInfo<TypedValue>& info) { return info.param.label; });

TEST_F(RegistryContract, QueryAnswersMissingValueAndSmallBuffer) {
    const RegHandle key = Create("Query");
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(regstatus::kFileNotFound, api().QueryValueEx(key, "absent", &type, nullptr, &size));
    Set(key, "big", regtype::kBinary, Bytes(300, 0x5A));
    std::uint8_t small[10];
    size = sizeof small;
    EXPECT_EQ(regstatus::kMoreData, api().QueryValueEx(key, "big", &type, small, &size));
    EXPECT_EQ(300u, size);
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));
}

TEST_F(RegistryContract, SettingReplacesValueWhateverItsOldType) {
    const RegHandle key = Create("Replace");
    Set(key, "v", regtype::kSz, {'x', 0});
    Set(key, "V", regtype::kDword, {0, 0, 0, 0});
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(regstatus::kSuccess, api().QueryValueEx(key, "v", &type, nullptr, &size));
    EXPECT_EQ(regtype::kDword, type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(std::vector<std::string>{"v"}, ValueNames(key));  // keeps its first spelling
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));
}

// Deleting a value keeps the others in order; a key goes only without
// sub-keys, with its values; what is missing answers 2; a read-only handle
// deletes no value.
TEST_F(RegistryContract, DeletionRemovesOneValueOrOneKeyWithoutSubKeys) {
    const RegHandle key = Create("Del");
    for (const char* name : {"1", "2", "3"}) Set(key, name, regtype::kSz, {'x', 0});
    EXPECT_EQ(regstatus::kSuccess, api().DeleteValue(key, "2"));
    EXPECT_EQ(regstatus::kFileNotFound, api().DeleteValue(key, "2"));
    EXPECT_EQ((std::vector<std::string>{"1", "3"}), ValueNames(key));
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(regstatus::kSuccess, api().QueryValueEx(key, "3", &type, nullptr, &size));
    const RegHandle readOnly = Open("Del", regaccess::kQueryAndEnumerate);
    EXPECT_EQ(regstatus::kAccessDenied, api().DeleteValue(readOnly, "1"));
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(readOnly));
    const RegHandle child = Create("Del\\Child\\Grandchild");
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(child));
    EXPECT_EQ(regstatus::kAccessDenied, api().DeleteKey(key, "Child"));
    EXPECT_EQ(regstatus::kSuccess, api().DeleteKey(key, "Child\\Grandchild"));
    EXPECT_EQ(regstatus::kSuccess, api().DeleteKey(key, "child"));
    EXPECT_EQ(regstatus::kFileNotFound, api().DeleteKey(key, "Child"));
    EXPECT_TRUE(SubKeys(key).empty());
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));
}

TEST_F(RegistryContract, AccessRightsOfTheHandleAreEnforced) {
    RegHandle writable = Create("Rights");
    Set(writable, "v", regtype::kDword, {1, 0, 0, 0});
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(writable));

    const RegHandle readOnly = Open("Rights", regaccess::kQueryAndEnumerate);
    const Bytes data{2, 0, 0, 0};
    EXPECT_EQ(regstatus::kAccessDenied, api().SetValueEx(readOnly, "v", regtype::kDword,
                                                         data.data(), 4));
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(regstatus::kSuccess, api().QueryValueEx(readOnly, "v", &type, nullptr, &size));
    std::uint8_t read[4] = {};
    size = 4;
    EXPECT_EQ(regstatus::kSuccess, api().QueryValueEx(readOnly, "v", &type, read, &size));
    EXPECT_EQ(1, read[0]) << "the refused write changed the value";

    const RegHandle setOnly = Open("Rights", regaccess::kSetValue);
    EXPECT_EQ(regstatus::kAccessDenied, api().QueryValueEx(setOnly, "v", &type, nullptr, &size));
    char name[16];
    EXPECT_EQ(regstatus::kAccessDenied, api().EnumKey(setOnly, 0, name, sizeof name));
    for (RegHandle h : {readOnly, setOnly}) EXPECT_EQ(regstatus::kSuccess, api().CloseKey(h));
}

TEST_F(RegistryContract, ClosedAndNullHandlesAreInvalid) {
    const RegHandle key = Create("Closing");
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));
    EXPECT_EQ(regstatus::kInvalidHandle, api().CloseKey(key));
    EXPECT_EQ(regstatus::kInvalidHandle, api().CloseKey(0));
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(regstatus::kInvalidHandle, api().QueryValueEx(0, "v", &type, nullptr, &size));
    const Bytes data{1, 0, 0, 0};
    EXPECT_EQ(regstatus::kInvalidHandle, api().SetValueEx(0, "v", regtype::kDword, data.data(), 4));
    char name[16];
    EXPECT_EQ(regstatus::kInvalidHandle, api().EnumKey(0, 0, name, sizeof name));
}

TEST_F(RegistryContract, PredefinedRootsSurviveClosing) {
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(reg_->Root()));
    const RegHandle key = Open("", regaccess::kQueryAndEnumerate);
    EXPECT_NE(0, key);
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));
}

TEST_F(RegistryContract, ValueEnumerationListsEveryNameAndReportsSmallBuffers) {
    const RegHandle key = Create("Values");
    Set(key, "zeta", regtype::kDword, {1, 0, 0, 0});
    Set(key, "Alpha", regtype::kBinary, Bytes(300, 1));
    Set(key, "", regtype::kSz, {'d', 0});  // the key's default value
    std::vector<std::string> names = ValueNames(key);
    // Windows lists values in creation order; Wine keeps them sorted by
    // name. Both must list each name once, which is all the handler needs;
    // the order of the in-memory registry is checked on its own.
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"", "Alpha", "zeta"}), names);

    // Index by index, in this registry's order: an 8-byte data buffer
    // holds every value but Alpha's 300 bytes; a 3-character name buffer
    // holds only the default value's empty name.
    std::vector<char> name(kMaxValueNameChars + 1);
    for (std::uint32_t i = 0; i < 3; ++i) {
        auto nameSize = static_cast<std::uint32_t>(name.size());
        ASSERT_EQ(0, api().EnumValue(key, i, name.data(), &nameSize, nullptr, nullptr, nullptr));
        const std::string current(name.data(), nameSize);
        std::uint8_t data[8];
        std::uint32_t dataSize = sizeof data;
        nameSize = static_cast<std::uint32_t>(name.size());
        EXPECT_EQ(current == "Alpha" ? regstatus::kMoreData : regstatus::kSuccess,
                  api().EnumValue(key, i, name.data(), &nameSize, nullptr, data, &dataSize))
            << current;
        char tiny[3];
        std::uint32_t tinySize = sizeof tiny;
        EXPECT_EQ(current.empty() ? regstatus::kSuccess : regstatus::kMoreData,
                  api().EnumValue(key, i, tiny, &tinySize, nullptr, nullptr, nullptr))
            << current;
    }
    auto nameSize = static_cast<std::uint32_t>(name.size());
    EXPECT_EQ(regstatus::kNoMoreItems,
              api().EnumValue(key, 3, name.data(), &nameSize, nullptr, nullptr, nullptr));
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(key));
}

TEST_F(RegistryContract, TrailingBackslashIsAllowedLeadingIsNot) {
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(Create("Slash")));
    const RegHandle trailing = Open("Slash\\", regaccess::kQueryValue);
    EXPECT_NE(0, trailing);
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(trailing));
    RegHandle key = 0;
    std::string leading = reg_->Path("Slash");
    leading.insert(leading.begin(), '\\');
    EXPECT_NE(regstatus::kSuccess,
              api().OpenKeyEx(reg_->Root(), leading, 0, regaccess::kQueryValue, &key));
    // An empty part inside the path names no key (Wine then creates one
    // where Windows refuses: the in-memory registry's own suite says so).
    EXPECT_NE(regstatus::kSuccess,
              api().OpenKeyEx(reg_->Root(), reg_->Path("Slash\\\\x"), 0, regaccess::kQueryValue, &key));
}

// Names at the registry's limits are listed like any other, by the
// handler too: a 255-character key name and a 16,383-character value
// name; a buffer without room for the NUL is refused.
TEST_F(RegistryContract, NamesAtTheLimitsAreListed) {
    const std::string longKey(255, 'k');
    const std::string longValue(kMaxValueNameChars, 'v');
    const RegHandle parent = Create("Limits");
    // Below the parent's handle: Wine's ANSI functions take paths of at
    // most 260 characters.
    for (const std::string& name : {longKey, std::string("z")}) {
        RegHandle child = 0;
        ASSERT_EQ(regstatus::kSuccess,
                  api().CreateKeyEx(parent, name, 0, regaccess::kAllAccess, false, &child, nullptr));
        EXPECT_EQ(regstatus::kSuccess, api().CloseKey(child));
    }
    Set(parent, longValue, regtype::kDword, {1, 0, 0, 0});
    Set(parent, "z", regtype::kDword, {1, 0, 0, 0});
    EXPECT_EQ((std::vector<std::string>{longKey, "z"}), SubKeys(parent));
    std::vector<std::string> values = ValueNames(parent);
    std::sort(values.begin(), values.end());
    EXPECT_EQ((std::vector<std::string>{longValue, "z"}), values);
    std::vector<char> exact(255);
    EXPECT_EQ(regstatus::kMoreData, api().EnumKey(parent, 0, exact.data(), 255));

    clsRegHandler handler(api());
    ASSERT_TRUE(handler.OpenRegistry(reg_->Root(), reg_->Path("Limits")));
    EXPECT_EQ((std::vector<std::string>{longKey, "z"}), handler.GetAllsSubDirectories().Names());
    values = handler.GetAllValues().Names();
    std::sort(values.begin(), values.end());
    EXPECT_EQ((std::vector<std::string>{longValue, "z"}), values);
    EXPECT_EQ(regstatus::kSuccess, handler.LastRegStatus());
    EXPECT_EQ(regstatus::kSuccess, api().CloseKey(parent));
}

}  // namespace
}  // namespace portquell
