// Many independent DES decipherments at once, bitsliced: word p of the
// state holds bit p of every block, one block per bit of the word, so the
// permutations (IP, E, P, FP) are only a choice of words and each S-box
// is a boolean circuit over whole words. The circuits are derived at
// compile time from the standard's S-box tables (the same tables SBoxBits
// is built from); the key bits come from the object's round keys.
//
// The word type W is std::uint64_t (64 blocks, portable), a 128-bit
// vector of the compiler (128 blocks) where the compiler has one, a
// 256-bit one (256 blocks) in the translation unit built for AVX2, or a
// 512-bit one (512 blocks) in the one built for AVX-512F.
//
// Everything here has internal linkage: the AVX2 and AVX-512 units compile
// the same code with other instructions, and the linker must never mix
// them.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "des/des_standard.h"

#if defined(__GNUC__) && defined(__AVX512F__)
#include <immintrin.h>
#endif

namespace portquell::bitslice {

// Key bits of one schedule as all-ones or all-zero 64-bit masks.
using KeyMasks = std::array<std::array<std::uint64_t, 48>, 16>;

#if defined(__GNUC__) && (defined(__SSE2__) || defined(__ARM_NEON))
#define PORTQUELL_BITSLICE_VECTOR 1
using Vector128 = std::uint64_t __attribute__((vector_size(16)));
#endif
#if defined(__GNUC__) && defined(__AVX2__)
using Vector256 = std::uint64_t __attribute__((vector_size(32)));
#endif
#if defined(__GNUC__) && defined(__AVX512F__)
using Vector512 = std::uint64_t __attribute__((vector_size(64)));
#endif

namespace {

template <class W>
struct Word;

template <>
struct Word<std::uint64_t> {
    static constexpr int kLanes = 64;
    static std::uint64_t Broadcast(std::uint64_t m) { return m; }
    static std::uint64_t Lane(std::uint64_t w, int) { return w; }
    static std::uint64_t Make(const std::uint64_t* halves) { return halves[0]; }
};

#ifdef PORTQUELL_BITSLICE_VECTOR
template <>
struct Word<Vector128> {
    static constexpr int kLanes = 128;
    static Vector128 Broadcast(std::uint64_t m) { return Vector128{m, m}; }
    static std::uint64_t Lane(Vector128 w, int part) { return w[part]; }
    static Vector128 Make(const std::uint64_t* parts) { return Vector128{parts[0], parts[1]}; }
};
#endif
#if defined(__GNUC__) && defined(__AVX512F__)
template <>
struct Word<Vector512> {
    static constexpr int kLanes = 512;
    static Vector512 Broadcast(std::uint64_t m) { return Vector512{m, m, m, m, m, m, m, m}; }
    static std::uint64_t Lane(Vector512 w, int part) { return w[part]; }
    static Vector512 Make(const std::uint64_t* p) {
        return Vector512{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]};
    }
};
#endif
#if defined(__GNUC__) && defined(__AVX2__)
template <>
struct Word<Vector256> {
    static constexpr int kLanes = 256;
    static Vector256 Broadcast(std::uint64_t m) { return Vector256{m, m, m, m}; }
    static std::uint64_t Lane(Vector256 w, int part) { return w[part]; }
    static Vector256 Make(const std::uint64_t* parts) {
        return Vector256{parts[0], parts[1], parts[2], parts[3]};
    }
};
#endif

// Transposes a 64 x 64 bit matrix in place, in every lane of W at once:
// bit (63 - c) of row r moves to bit (63 - r) of row c.
template <class W>
inline void Transpose64(W* a) {
    std::uint64_t mask = 0x00000000FFFFFFFFull;
    for (int j = 32; j != 0; j >>= 1, mask ^= (mask << j)) {
        const W m = Word<W>::Broadcast(mask);
        for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            // The upper right block of each 2j x 2j square trades places
            // with the lower left one.
            const W t = (a[k] ^ (a[k | j] >> j)) & m;
            a[k] ^= t;
            a[k | j] ^= t << j;
        }
    }
}

// Bit o (0 = most significant of four) of S-box Box at row and column.
template <int Box, int Row, int Column, int Output>
inline constexpr bool kSBoxBit = (des_standard::kSBoxes[Box][Row * 16 + Column] >> (3 - Output)) & 1;

// OR of the column terms whose S-box entry has the output bit set; the
// choice is made by the compiler, so only the needed ORs remain.
template <class W, int Box, int Row, int Output, std::size_t... C>
inline W RowFunction(const W* column, std::index_sequence<C...>) {
    W acc{};
    ((acc = kSBoxBit<Box, Row, static_cast<int>(C), Output> ? (acc | column[C]) : acc), ...);
    return acc;
}

// S-box Box on six input words (b[0] is the first input bit), four output
// words, most significant first.
template <class W, int Box>
inline void SBox(const W* b, W* out) {
    const W n2 = ~b[1], n3 = ~b[2], n4 = ~b[3], n5 = ~b[4];
    const W high[4] = {n2 & n3, n2 & b[2], b[1] & n3, b[1] & b[2]};
    const W low[4] = {n4 & n5, n4 & b[4], b[3] & n5, b[3] & b[4]};
    W column[16];
    for (int c = 0; c < 16; ++c) column[c] = high[c >> 2] & low[c & 3];
    const W n1 = ~b[0], n6 = ~b[5];
    const W row[4] = {n1 & n6, n1 & b[5], b[0] & n6, b[0] & b[5]};
    constexpr auto kColumns = std::make_index_sequence<16>{};
    [&]<std::size_t... O>(std::index_sequence<O...>) {
        ((out[O] = (row[0] & RowFunction<W, Box, 0, O>(column, kColumns)) |
                   (row[1] & RowFunction<W, Box, 1, O>(column, kColumns)) |
                   (row[2] & RowFunction<W, Box, 2, O>(column, kColumns)) |
                   (row[3] & RowFunction<W, Box, 3, O>(column, kColumns))),
         ...);
    }(std::make_index_sequence<4>{});
}

template <int Box, class W>
inline void SBoxFor(const W* b, W* out) {
    SBox<W, Box>(b, out);
}

#if defined(__GNUC__) && defined(__AVX512F__)
// With AVX-512F every function of three words is one instruction
// (vpternlogq, its truth table as the immediate), and a multiplexer is one
// of them. So each output bit of an S-box is taken apart by its input bits
// instead of summed over its 64 entries: for each row (b1, b6) and first
// column bit (b2), the entries over the last three column bits (b3 b4 b5)
// are one three-input function; b2, then b6, then b1 choose among them.
// Fifteen instructions an output, where the sum of products takes about
// forty-five; the truth tables come from the same S-box tables.
inline constexpr int ColumnTruthTable(int box, int row, int b2, int output) {
    int table = 0;
    for (int i = 0; i < 8; ++i) {
        // Operands (b3, b4, b5) index the table as b3 * 4 + b4 * 2 + b5.
        if ((des_standard::kSBoxes[box][row * 16 + 8 * b2 + i] >> (3 - output)) & 1) table |= 1 << i;
    }
    return table;
}

template <int TruthTable>
inline Vector512 Ternary(Vector512 a, Vector512 b, Vector512 c) {
    return reinterpret_cast<Vector512>(_mm512_ternarylogic_epi64(
        reinterpret_cast<__m512i>(a), reinterpret_cast<__m512i>(b), reinterpret_cast<__m512i>(c),
        TruthTable));
}

// a ? b : c, bit by bit.
inline Vector512 Choose(Vector512 a, Vector512 b, Vector512 c) { return Ternary<0xCA>(a, b, c); }

template <int Box, int Row, int Output>
inline Vector512 RowOutput(const Vector512* b) {
    return Choose(b[1], Ternary<ColumnTruthTable(Box, Row, 1, Output)>(b[2], b[3], b[4]),
                  Ternary<ColumnTruthTable(Box, Row, 0, Output)>(b[2], b[3], b[4]));
}

template <int Box>
inline void SBoxFor(const Vector512* b, Vector512* out) {
    // Row = 2 * b1 + b6 (b[0] and b[5]).
    [&]<std::size_t... O>(std::index_sequence<O...>) {
        ((out[O] = Choose(b[0],
                          Choose(b[5], RowOutput<Box, 3, O>(b), RowOutput<Box, 2, O>(b)),
                          Choose(b[5], RowOutput<Box, 1, O>(b), RowOutput<Box, 0, O>(b)))),
         ...);
    }(std::make_index_sequence<4>{});
}
#endif

// x ^= f(y, key): E, the key, the eight S-boxes and P.
template <class W>
inline void Round(W* x, const W* y, const std::array<std::uint64_t, 48>& key) {
    W s[32];
    [&]<std::size_t... J>(std::index_sequence<J...>) {
        (([&] {
             W in[6];
             for (int k = 0; k < 6; ++k) {
                 const int e = 6 * static_cast<int>(J) + k;
                 in[k] = y[des_standard::kE[e] - 1] ^ Word<W>::Broadcast(key[e]);
             }
             SBoxFor<static_cast<int>(J)>(in, s + 4 * J);
         }()),
         ...);
    }(std::make_index_sequence<8>{});
    for (int i = 0; i < 32; ++i) x[i] ^= s[des_standard::kP[i] - 1];
}

// Deciphers Word<W>::kLanes blocks (64-bit numbers, byte 0 on top) in place.
template <class W>
void DecipherBlocks(std::uint64_t* blocks, const KeyMasks& keys, const std::uint8_t* ip,
                    const std::uint8_t* ipInverse) {
    constexpr int kParts = Word<W>::kLanes / 64;
    // Lane h of word k holds block 64 h + k; transposed, word p holds bit
    // p of every block, all lanes at once.
    W bits[64];
    for (int k = 0; k < 64; ++k) {
        std::uint64_t parts[kParts];
        for (int h = 0; h < kParts; ++h) parts[h] = blocks[64 * h + k];
        bits[k] = Word<W>::Make(parts);
    }
    Transpose64(bits);
    W x[32];
    W y[32];
    for (int i = 0; i < 32; ++i) {
        x[i] = bits[ip[i]];
        y[i] = bits[ip[i + 32]];
    }
    for (int round = 15; round > 0; round -= 2) {
        Round(x, y, keys[round]);
        Round(y, x, keys[round - 1]);
    }
    // Pre-output R16 L16 = y x, then the final permutation.
    for (int i = 0; i < 64; ++i) {
        const int q = ipInverse[i];
        bits[i] = q < 32 ? y[q] : x[q - 32];
    }
    Transpose64(bits);
    for (int k = 0; k < 64; ++k) {
        for (int h = 0; h < kParts; ++h) blocks[64 * h + k] = Word<W>::Lane(bits[k], h);
    }
}

}  // namespace
}  // namespace portquell::bitslice
