// Bit arrays, the pre-expanded S-boxes, the key text and the round keys.
#include <gtest/gtest.h>

#include "des_test_access.h"
#include "support/app_error.h"

namespace portquell {
namespace {

using Access = clsDESTestAccess;
using Block = std::vector<std::uint8_t>;

std::string Bits(const std::array<std::uint8_t, 48>& roundKey) {
    std::string text;
    for (std::size_t k = 0; k < 48; ++k) {
        if (k > 0 && k % 6 == 0) text.push_back(' ');
        text.push_back(static_cast<char>('0' + roundKey[k]));
    }
    return text;
}

TEST(DesBits, BytesToBitsIsMostSignificantFirstAndBitsToBytesUndoesIt) {
    clsDES des;
    const Block byte{0x0B};
    std::array<std::uint8_t, 10> bits;
    bits.fill(7);
    Access::BytesToBits(des, byte, 1, bits);
    EXPECT_EQ((std::array<std::uint8_t, 10>{0, 0, 0, 0, 1, 0, 1, 1, 7, 7}), bits);
    Block back{0xEE, 0xEE};
    Access::BitsToBytes(bits, 1, back);
    EXPECT_EQ((Block{0x0B, 0xEE}), back);
    // Only entries equal to 1 count.
    const std::array<std::uint8_t, 8> odd{2, 1, 0, 0, 0, 0, 0, 1};
    Access::BitsToBytes(odd, 1, back);
    EXPECT_EQ(0x41, back[0]);
}

TEST(DesBits, IndexesOutsideTheArraysRaiseNine) {
    clsDES des;
    std::array<std::uint8_t, 16> bits{};
    const Block three{1, 2, 3};
    for (auto call : {+[](clsDES& d, std::span<std::uint8_t> b, const Block& in) {
                          Access::BytesToBits(d, in, 3, b);  // 24 entries into 16
                      },
                      +[](clsDES& d, std::span<std::uint8_t> b, const Block& in) {
                          Access::BytesToBits(d, in, 4, b);  // 4 bytes from 3
                      }}) {
        try {
            call(des, bits, three);
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(9, e.Number());
        }
    }
}

TEST(DesTables, SBoxBitsHoldTheBoxValuesAsBits) {
    clsDES des;
    const auto& s = Access::SBoxBits(des);
    // Box 0, all six bits 0: S1 row 0 column 0 is 14.
    EXPECT_EQ((std::array<std::uint8_t, 4>{1, 1, 1, 0}), s[0]);
    // Box 0, b1 = b6 = 1: row 3, column 0 is 15.
    EXPECT_EQ((std::array<std::uint8_t, 4>{1, 1, 1, 1}), s[0 + 8 * (1 + 32)]);
    // Box 7 (S8), b2 = 1 only: row 0, column 8 is 10.
    EXPECT_EQ((std::array<std::uint8_t, 4>{1, 0, 1, 0}), s[7 + 8 * 2]);
}

// The schedule of the standard for key 13 34 57 79 9B BC DF F1, as
// published with the worked example of the algorithm (J. O. Grabbe, "The
// DES Algorithm Illustrated"), for which 01 23 45 67 89 AB CD EF enciphers
// to 85 E8 13 54 0F 0A B4 05.
TEST(DesKeySchedule, RoundKeysAreTheStandardsSchedule) {
    const char* expected[16] = {
        "000110 110000 001011 101111 111111 000111 000001 110010",
        "011110 011010 111011 011001 110110 111100 100111 100101",
        "010101 011111 110010 001010 010000 101100 111110 011001",
        "011100 101010 110111 010110 110110 110011 010100 011101",
        "011111 001110 110000 000111 111010 110101 001110 101000",
        "011000 111010 010100 111110 010100 000111 101100 101111",
        "111011 001000 010010 110111 111101 100001 100010 111100",
        "111101 111000 101000 111010 110000 010011 101111 111011",
        "111000 001101 101111 101011 111011 011110 011110 000001",
        "101100 011111 001101 000111 101110 100100 011001 001111",
        "001000 010101 111111 010011 110111 101101 001110 000110",
        "011101 010111 000111 110101 100101 000110 011111 101001",
        "100101 111100 010111 010001 111110 101011 101001 000001",
        "010111 110100 001110 110111 111100 101110 011100 111010",
        "101111 111001 000110 001101 001111 010011 111100 001010",
        "110010 110011 110110 001011 000011 100001 011111 110101"};
    clsDES des;
    des.Key("\x13\x34\x57\x79\x9B\xBC\xDF\xF1");
    for (int r = 0; r < 16; ++r) EXPECT_EQ(expected[r], Bits(Access::RoundKeys(des)[r])) << "K" << r + 1;
    Block block{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    Access::Encipher(des, block);
    EXPECT_EQ((Block{0x85, 0xE8, 0x13, 0x54, 0x0F, 0x0A, 0xB4, 0x05}), block);
}

TEST(DesKeyText, OnlyTheFirstEightBytesCountAndShortTextsArePadded) {
    clsDES a;
    clsDES b;
    a.Key("Portquell-1");
    b.Key("Portquel");
    EXPECT_EQ(Access::RoundKeys(a), Access::RoundKeys(b));
    clsDES one;
    clsDES eight;
    one.Key("A");
    eight.Key(std::string("A\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(Access::RoundKeys(one), Access::RoundKeys(eight));
}

TEST(DesKeyText, ParityBitsNeverCountButCaseDoes) {
    clsDES lower;
    clsDES parity;
    clsDES upper;
    lower.Key("abcdefgh");
    parity.Key("`bcdefgi");  // 'a' ^ 1 and 'h' ^ 1: the lowest bit of bytes 1 and 8
    upper.Key("ABCDEFGH");
    EXPECT_EQ(Access::RoundKeys(lower), Access::RoundKeys(parity));
    EXPECT_NE(Access::RoundKeys(lower), Access::RoundKeys(upper));
}

TEST(DesKeyText, EmptyAndRepeatedTexts) {
    clsDES des;
    const auto zero = Access::RoundKeys(des);
    for (const auto& row : zero) EXPECT_EQ((std::array<std::uint8_t, 48>{}), row);
    des.Key("");
    EXPECT_EQ("", Access::KeyText(des));
    des.Key("secret");
    EXPECT_NE(zero, Access::RoundKeys(des));
    // The same text again rebuilds nothing (a marked round key survives).
    Access::RoundKeys(des)[0][0] ^= 1;
    const auto marked = Access::RoundKeys(des);
    des.Key("secret");
    EXPECT_EQ(marked, Access::RoundKeys(des));
    // The empty text after a key is a key: all round keys 0.
    des.Key("");
    EXPECT_EQ(zero, Access::RoundKeys(des));
}

TEST(DesBlock, FreshObjectIsTheAllZeroKeyWhereEncipherEqualsDecipher) {
    clsDES des;
    Block a{1, 2, 3, 4, 5, 6, 7, 8};
    Block b = a;
    Access::Encipher(des, a);
    Access::Decipher(des, b);
    EXPECT_EQ(a, b);
    // DES(0000000000000000, 0000000000000000) = 8CA64DE9C1B123A7.
    Block zero(8, 0);
    Access::Encipher(des, zero);
    EXPECT_EQ((Block{0x8C, 0xA6, 0x4D, 0xE9, 0xC1, 0xB1, 0x23, 0xA7}), zero);
}

TEST(DesBlock, OnlyTheFirstEightBytesChangeAndShortBlocksAreRefused) {
    clsDES des;
    des.Key("k");
    Block longer{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Access::Encipher(des, longer);
    EXPECT_EQ(9, longer[8]);
    EXPECT_EQ(10, longer[9]);
    Block again{1, 2, 3, 4, 5, 6, 7, 8};
    Access::Encipher(des, again);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), longer.begin()))
        << "the same block twice gives the same result";
    Access::Decipher(des, longer);
    EXPECT_EQ((Block{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), longer);

    Block shorter{1, 2, 3, 4, 5, 6, 7};
    try {
        Access::Encipher(des, shorter);
        ADD_FAILURE() << "a 7-byte block was accepted";
    } catch (const AppError& e) {
        EXPECT_EQ(9, e.Number());
    }
    EXPECT_EQ((Block{1, 2, 3, 4, 5, 6, 7}), shorter);
}

}  // namespace
}  // namespace portquell
