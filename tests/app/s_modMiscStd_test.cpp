#include "support/s_modMiscStd.h"

#include <gtest/gtest.h>

#include <cctype>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/app_error.h"
#include "support/s_modFileFun.h"

namespace portquell {
namespace {

struct StrCase {
    const char* text;
    std::int32_t value;
};

class StrToLongTest : public ::testing::TestWithParam<StrCase> {};

TEST_P(StrToLongTest, ConvertsDecimalTextOrGivesZero) {
    EXPECT_EQ(GetParam().value, StrToLong(GetParam().text)) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToLongTest,
                         ::testing::Values(StrCase{"", 0}, StrCase{"-1", -1}, StrCase{"0", 0},
                                           StrCase{"3", 3}, StrCase{"  12  ", 12},
                                           StrCase{"+7", 7}, StrCase{"2147483647", 2147483647},
                                           StrCase{"2147483648", 0},
                                           StrCase{"-2147483648", -2147483647 - 1},
                                           StrCase{"-2147483649", 0},
                                           StrCase{"99999999999999999999", 0},
                                           StrCase{"a1", 0}, StrCase{"1a", 0},
                                           StrCase{"abc", 0}, StrCase{"   ", 0},
                                           StrCase{"-", 0}, StrCase{"1.5", 0},
                                           StrCase{"1 2", 0}, StrCase{"&H10", 0}),
                         [](const auto& info) {
                             // The text, spelled out in letters and digits.
                             std::string name = std::to_string(info.index) + (*info.param.text ? "_" : "_empty");
                             for (const char c : std::string(info.param.text)) {
                                 if (std::isalnum(static_cast<unsigned char>(c))) {
                                     name += c;
                                 } else {
                                     name += c == '-' ? "minus" : c == '+' ? "plus" : c == ' ' ? "_" : "x";
                                 }
                             }
                             return name;
                         });

TEST(LongToByteString, GivesTheFourBytesLeastSignificantFirst) {
    EXPECT_EQ(std::string(4, '\xFF'), LongToByteString(-1));
    EXPECT_EQ(std::string(4, '\0'), LongToByteString(0));
    EXPECT_EQ(std::string("\x01\x00\x00\x00", 4), LongToByteString(1));
    EXPECT_EQ(std::string("\x02\x01\x00\x00", 4), LongToByteString(258));
    EXPECT_EQ(std::string("\x00\x00\x00\x80", 4), LongToByteString(-2147483647 - 1));
}

TEST(CopyLongToBytes, WritesFourBytesAndNothingElse) {
    std::vector<std::uint8_t> bytes(5, 0xEE);
    CopyLongToBytes(0x04030201, bytes, 0);
    EXPECT_EQ((std::vector<std::uint8_t>{1, 2, 3, 4, 0xEE}), bytes);
    CopyLongToBytes(-1, bytes, 1);
    EXPECT_EQ((std::vector<std::uint8_t>{1, 0xFF, 0xFF, 0xFF, 0xFF}), bytes);
}

TEST(CopyLongToBytes, RefusesAnyStartWithoutRoomForFourBytes) {
    for (std::int32_t index : {-1, 2, 4, 5, 1000}) {
        std::vector<std::uint8_t> bytes(5, 0xEE);
        try {
            CopyLongToBytes(-1, bytes, index);
            ADD_FAILURE() << "no error for index " << index;
        } catch (const AppError& e) {
            EXPECT_EQ(9, e.Number());
        }
        EXPECT_EQ(std::vector<std::uint8_t>(5, 0xEE), bytes) << index;
    }
    std::vector<std::uint8_t> none;
    EXPECT_THROW(CopyLongToBytes(1, none, 0), AppError);
}

TEST(FileExists, OnlyOrdinaryFilesExist) {
    const auto dir = std::filesystem::temp_directory_path() / "portquell-fileexists";
    std::filesystem::create_directories(dir);
    const auto file = dir / "present.bin";
    std::ofstream(file) << "x";
    EXPECT_TRUE(FileExists(file.string()));
    EXPECT_FALSE(FileExists(dir.string()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists((dir / "absent.bin").string()));
    EXPECT_FALSE(FileExists((dir / "*.bin").string()));
    EXPECT_FALSE(FileExists((dir / "present.bin" / "below").string()));
#ifdef _WIN32
    EXPECT_FALSE(FileExists("Q:\\no\\such\\drive.txt"));
#endif
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace portquell
