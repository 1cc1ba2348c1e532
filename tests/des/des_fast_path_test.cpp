// The packed and bitsliced forms of the cipher against the bit-array
// transform, which stays the reference: random keys and blocks, every
// kernel, and containers whose sizes cross the batch boundaries.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "des_test_access.h"

namespace portquell {
namespace {

using Access = clsDESTestAccess;
using Bytes = std::vector<std::uint8_t>;

std::uint64_t ToWord(const Bytes& b) {
    std::uint64_t w = 0;
    for (int i = 0; i < 8; ++i) w = (w << 8) | b[i];
    return w;
}

Bytes ToBytes(std::uint64_t w) {
    Bytes b(8);
    for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(w >> (56 - 8 * i));
    return b;
}

std::string RandomKey(std::mt19937_64& random) {
    std::string key(1 + random() % 10, '\0');
    for (auto& c : key) c = static_cast<char>(random());
    return key;
}

TEST(DesFastPath, PermutationsByWordAndByTableAgree) {
    clsDES des;
    const DesFastCore& fast = Access::Fast(des);
    std::mt19937_64 random(1);
    for (int i = 0; i < 5000; ++i) {
        const std::uint64_t block = random();
        EXPECT_EQ(fast.TableIP(block), DesFastCore::WordIP(block));
        EXPECT_EQ(fast.TableFP(block), DesFastCore::WordFP(block));
        EXPECT_EQ(block, fast.FinalPermutation(fast.InitialPermutation(block)));
    }
}

TEST(DesFastPath, SingleBlocksAgreeWithTheBitArrayTransform) {
    std::mt19937_64 random(2);
    for (int k = 0; k < 200; ++k) {
        clsDES des;
        des.Key(RandomKey(random));
        const DesFastCore& fast = Access::Fast(des);
        for (int i = 0; i < 20; ++i) {
            const Bytes block = ToBytes(random());
            Bytes reference = block;
            Access::Encipher(des, reference);
            const std::uint64_t enciphered =
                fast.FinalPermutation(fast.EncipherRounds(fast.InitialPermutation(ToWord(block))));
            ASSERT_EQ(ToWord(reference), enciphered);
            Bytes back = reference;
            Access::Decipher(des, back);
            ASSERT_EQ(block, back);
            ASSERT_EQ(ToWord(block), fast.FinalPermutation(fast.DecipherRounds(
                                         fast.InitialPermutation(enciphered))));
        }
    }
}

// Every kernel deciphers a full batch exactly as the bit-array transform
// deciphers each block.
TEST(DesFastPath, EveryDecipherKernelAgreesWithTheReference) {
    std::mt19937_64 random(3);
    for (int k = 0; k < 4; ++k) {
        clsDES des;
        des.Key(RandomKey(random));
        const DesFastCore& fast = Access::Fast(des);
        std::vector<std::uint64_t> blocks(512);
        for (auto& b : blocks) b = random();
        std::vector<std::uint64_t> expected(512);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            Bytes block = ToBytes(blocks[i]);
            Access::Decipher(des, block);
            expected[i] = ToWord(block);
        }
        std::vector<std::uint64_t> work = blocks;
        fast.DecipherBatch64(work.data());
        EXPECT_TRUE(std::equal(work.begin(), work.begin() + 64, expected.begin())) << "64-bit words";

        work = blocks;
        if (fast.DecipherBatch128(work.data())) {
            EXPECT_TRUE(std::equal(work.begin(), work.begin() + 128, expected.begin())) << "128-bit";
        }
        work = blocks;
        if (fast.DecipherBatch256(work.data())) {
            EXPECT_TRUE(std::equal(work.begin(), work.begin() + 256, expected.begin())) << "256-bit";
        }
        work = blocks;
        if (fast.DecipherBatch512(work.data())) {
            EXPECT_EQ(expected, work) << "512-bit";
        }
        std::uint64_t four[4] = {};
        for (int i = 0; i < 4; ++i) four[i] = fast.InitialPermutation(blocks[i]);
        fast.DecipherRounds4(four);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(expected[i], fast.FinalPermutation(four[i]));
    }
}

// CBC by the bit-array transform, the reference for whole containers.
void ReferenceCbc(clsDES& des, Bytes& data, bool encrypt) {
    Bytes chain(8, 0);
    for (std::size_t t = 0; t < data.size(); t += 8) {
        Bytes block(data.begin() + t, data.begin() + t + 8);
        if (encrypt) {
            for (int k = 0; k < 8; ++k) block[k] ^= chain[k];
            Access::Encipher(des, block);
            chain = block;
        } else {
            const Bytes cipher = block;
            Access::Decipher(des, block);
            for (int k = 0; k < 8; ++k) block[k] ^= chain[k];
            chain = cipher;
        }
        std::copy(block.begin(), block.end(), data.begin() + t);
    }
}

TEST(DesFastPath, ContainersOfManySizesAgreeWithTheReference) {
    std::mt19937_64 random(4);
    for (bool withProgress : {false, true}) {
        for (std::size_t length : {0u, 4u, 100u, 500u, 1012u, 1020u, 2036u, 2044u, 4000u, 20000u}) {
            SCOPED_TRACE(std::to_string(length) + (withProgress ? " with progress" : ""));
            clsDES des;
            des.Key("reference");
            int reports = 0;
            if (withProgress) des.Progress = [&](std::int32_t&) { ++reports; };
            Bytes data(length);
            for (auto& b : data) b = static_cast<std::uint8_t>(random());

            Bytes container = data;
            des.EncryptByte(container);
            Bytes layout = container;
            ReferenceCbc(des, layout, false);
            EXPECT_EQ(data, Bytes(layout.begin() + 12, layout.begin() + 12 + static_cast<long>(length)));

            ReferenceCbc(des, layout, true);  // the reference's own container
            EXPECT_EQ(container, layout);
            des.DecryptByte(layout);
            EXPECT_EQ(data, layout);
            EXPECT_EQ(withProgress, reports > 0);
        }
    }
}

// Blocks deciphered ahead of a progress report must not be used when the
// handler assigns another key at that report.
TEST(DesFastPath, KeyChangedByAHandlerMidwayIsHonouredByBatchedDecryption) {
    std::mt19937_64 random(5);
    Bytes data(50000);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    auto switchingAt = [](clsDES& des, std::int32_t percent) {
        des.Key("before");
        des.Progress = [&des, percent](std::int32_t& p) {
            if (p >= percent) des.Key("after");
        };
    };
    for (std::int32_t percent : {0, 1, 37, 99}) {
        SCOPED_TRACE(percent);
        clsDES sealer;
        switchingAt(sealer, percent);
        Bytes container = data;
        sealer.EncryptByte(container);

        // The reference: the bit-array transform, switching at the same block.
        clsDES reference;
        reference.Key("before");
        Bytes expected = container;
        {
            std::int32_t lastPercent = 0;
            double threshold = 0;
            Bytes chain(8, 0);
            for (std::size_t t = 0; t < expected.size(); t += 8) {
                Bytes block(expected.begin() + t, expected.begin() + t + 8);
                const Bytes cipher = block;
                Access::Decipher(reference, block);
                for (int k = 0; k < 8; ++k) block[k] ^= chain[k];
                chain = cipher;
                std::copy(block.begin(), block.end(), expected.begin() + t);
                if (static_cast<double>(t) >= threshold) {
                    lastPercent = static_cast<std::int32_t>(static_cast<double>(t) / expected.size() * 100);
                    threshold = std::nearbyint((lastPercent + 1) / 100.0 * expected.size() + 1);
                    if (lastPercent >= percent) reference.Key("after");
                }
            }
        }
        clsDES opener;
        switchingAt(opener, percent);
        Bytes opened = container;
        opener.DecryptByte(opened);
        EXPECT_EQ(data, opened);
        EXPECT_EQ(data, Bytes(expected.begin() + 12, expected.begin() + 12 + static_cast<long>(data.size())));
    }
}

}  // namespace
}  // namespace portquell
