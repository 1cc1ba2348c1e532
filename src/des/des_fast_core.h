// The cipher of clsDES in packed form, for whole arrays: 32-bit halves,
// combined S-box and P tables, permutations by nibble lookups, round keys
// packed into two words per round. Every table here is derived from the
// object's bit-array tables and round keys (Build and SetRoundKeys), so
// there is one cipher: this is how it runs on bulk data.
#pragma once

#include <array>
#include <cstdint>

#include <cstddef>

#include "des/des_bitslice.h"

namespace portquell {

class DesFastCore {
public:
    // The bit-array tables, as clsDES holds them (0-based positions).
    struct Tables {
        const std::uint8_t* ip;                 // 64 entries
        const std::uint8_t* ipInverse;          // 64 entries
        const std::array<std::uint8_t, 4>* sboxBits;  // 8 x 64 entries of 4 bits
    };

    void Build(const Tables& tables);
    // From the 16 round keys of 48 bit entries each.
    void SetRoundKeys(const std::array<std::array<std::uint8_t, 48>, 16>& roundKeys);
    // Counts SetRoundKeys calls: work done under other keys can be told apart.
    [[nodiscard]] std::uint64_t KeyGeneration() const { return keyGeneration_; }

    // The bytes of a 64-bit number in reverse order.
    [[nodiscard]] static std::uint64_t ByteReverse(std::uint64_t x) {
        x = ((x & 0x00FF00FF00FF00FFull) << 8) | ((x >> 8) & 0x00FF00FF00FF00FFull);
        x = ((x & 0x0000FFFF0000FFFFull) << 16) | ((x >> 16) & 0x0000FFFF0000FFFFull);
        return (x << 32) | (x >> 32);
    }

    // Blocks as 64-bit numbers, byte 0 of the block in the top byte.
    [[nodiscard]] std::uint64_t InitialPermutation(std::uint64_t block) const {
        return swapsMatchTables_ ? SwapIP(block) : Permute(ip_, block);
    }
    [[nodiscard]] std::uint64_t FinalPermutation(std::uint64_t block) const {
        return swapsMatchTables_ ? SwapFP(block) : Permute(fp_, block);
    }
    // Both forms of the permutations on their own, for the tests.
    [[nodiscard]] std::uint64_t TableIP(std::uint64_t block) const { return Permute(ip_, block); }
    [[nodiscard]] std::uint64_t TableFP(std::uint64_t block) const { return Permute(fp_, block); }
    [[nodiscard]] static std::uint64_t WordIP(std::uint64_t block) { return SwapIP(block); }
    [[nodiscard]] static std::uint64_t WordFP(std::uint64_t block) { return SwapFP(block); }
    // The sixteen rounds on an initially permuted block; the result is the
    // pre-output R16 L16, ready for the final permutation.
    [[nodiscard]] std::uint64_t EncipherRounds(std::uint64_t permuted) const;
    // Four independent blocks deciphered at once (decryption has no chain
    // between the block transforms, so they overlap in the processor).
    void DecipherRounds4(std::uint64_t* permuted) const;
    [[nodiscard]] std::uint64_t DecipherRounds(std::uint64_t permuted) const;

    // Whole blocks (not permuted) deciphered bitsliced, BatchBlocks() at a
    // time: 512 with AVX-512F or 256 with AVX2 where the processor has
    // them, else 128 with the compiler's 128-bit vectors, else 64 with
    // plain 64-bit words.
    static constexpr std::size_t kMaxBatchBlocks = 512;
    [[nodiscard]] std::size_t BatchBlocks() const { return batchBlocks_; }
    void DecipherBatch(std::uint64_t* blocks) const;
    // Each kernel on its own, for the tests: 64, 128, 256 or 512 blocks.
    // The wider ones answer false when this build or processor lacks them.
    void DecipherBatch64(std::uint64_t* blocks) const;
    bool DecipherBatch128(std::uint64_t* blocks) const;
    bool DecipherBatch256(std::uint64_t* blocks) const;
    bool DecipherBatch512(std::uint64_t* blocks) const;
    // The kernel DecipherBatch runs, in words.
    [[nodiscard]] const char* KernelName() const;

private:
    using PermutationTable = std::array<std::array<std::uint64_t, 16>, 16>;

    static std::uint64_t Permute(const PermutationTable& table, std::uint64_t in) {
        std::uint64_t out = 0;
        for (int q = 0; q < 16; ++q) out |= table[q][(in >> (60 - 4 * q)) & 15];
        return out;
    }
    static PermutationTable PermutationFrom(const std::uint8_t* positions);

    // IP as whole-word operations: IP gathers bit c of every byte into byte
    // c's place, so it is a byte reversal, an 8 x 8 bit transpose and a
    // reordering of the bytes (odd columns first), each a few shifts and
    // masks. Used only when it agrees with the tables bit for bit.
    static std::uint64_t DeltaSwap(std::uint64_t x, std::uint64_t mask, int shift) {
        const std::uint64_t t = ((x >> shift) ^ x) & mask;
        return x ^ t ^ (t << shift);
    }
    static std::uint64_t SwapIP(std::uint64_t x) {
        x = ByteReverse(x);
        x = DeltaSwap(x, 0x00AA00AA00AA00AAull, 7);  // transpose the 8 x 8 bits
        x = DeltaSwap(x, 0x0000CCCC0000CCCCull, 14);
        x = DeltaSwap(x, 0x00000000F0F0F0F0ull, 28);
        x = DeltaSwap(x, 0x0000FF000000FF00ull, 8);  // even bytes, then odd ones
        x = DeltaSwap(x, 0x00000000FFFF0000ull, 16);
        return (x << 32) | (x >> 32);  // odd ones first
    }
    static std::uint64_t SwapFP(std::uint64_t x) {
        x = (x << 32) | (x >> 32);
        x = DeltaSwap(x, 0x00000000FFFF0000ull, 16);
        x = DeltaSwap(x, 0x0000FF000000FF00ull, 8);
        x = DeltaSwap(x, 0x00000000F0F0F0F0ull, 28);
        x = DeltaSwap(x, 0x0000CCCC0000CCCCull, 14);
        x = DeltaSwap(x, 0x00AA00AA00AA00AAull, 7);
        return ByteReverse(x);
    }

    std::uint32_t F(std::uint32_t even, std::uint32_t odd) const;
    template <int First, int Step>
    std::uint64_t Rounds(std::uint64_t block) const;

    // S-box j followed by P: the 32-bit contribution of six input bits.
    std::array<std::array<std::uint32_t, 64>, 8> sp_{};
    PermutationTable ip_{};
    PermutationTable fp_{};
    // Per round: the key bits of the even S-boxes and of the odd ones, each
    // placed where those boxes' input bits lie in R.
    std::array<std::array<std::uint32_t, 2>, 16> keys_{};
    // The round keys' bits as whole-word masks, and IP and FP as positions.
    bitslice::KeyMasks keyMasks_{};
    std::array<std::uint8_t, 64> ip_positions_{};
    std::array<std::uint8_t, 64> fp_positions_{};
    std::size_t batchBlocks_ = 64;
    bool hasAvx2_ = false;
    bool hasAvx512_ = false;
    bool swapsMatchTables_ = false;
    std::uint64_t keyGeneration_ = 0;
};

}  // namespace portquell
