#include "des/des_fast_core.h"

#include "des/des_standard.h"

namespace portquell {

#ifdef PORTQUELL_HAVE_AVX2_KERNEL
// des_bitslice_avx2.cpp, built for AVX2; called only where the processor
// has it.
void DecipherBlocksAvx2(std::uint64_t* blocks, const bitslice::KeyMasks& keys,
                        const std::uint8_t* ip, const std::uint8_t* ipInverse);
#endif
#ifdef PORTQUELL_HAVE_AVX512_KERNEL
// des_bitslice_avx512.cpp, built for AVX-512F; likewise.
void DecipherBlocksAvx512(std::uint64_t* blocks, const bitslice::KeyMasks& keys,
                          const std::uint8_t* ip, const std::uint8_t* ipInverse);
#endif

namespace {

// The processor's features as the compiler's run-time library reads them
// (it also asks the system whether it saves the wider registers).
bool ProcessorHasAvx2() {
#if defined(PORTQUELL_HAVE_AVX2_KERNEL)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

bool ProcessorHasAvx512() {
#if defined(PORTQUELL_HAVE_AVX512_KERNEL)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
#else
    return false;
#endif
}

std::uint32_t RotateRight(std::uint32_t x, int n) {
    n &= 31;
    return n == 0 ? x : (x >> n) | (x << (32 - n));
}

// Position (0 = most significant bit of R) of the first of the six input
// bits of S-box j: E feeds box j from R(4j - 1) to R(4j + 4), cyclically.
int FirstInputBit(int j) { return (4 * j + 31) % 32; }

}  // namespace

DesFastCore::PermutationTable DesFastCore::PermutationFrom(const std::uint8_t* positions) {
    PermutationTable table{};
    for (int i = 0; i < 64; ++i) {
        const int from = positions[i];
        const int nibble = from / 4;
        const int bitInNibble = 3 - from % 4;
        for (int v = 0; v < 16; ++v) {
            if (v & (1 << bitInNibble)) table[nibble][v] |= std::uint64_t{1} << (63 - i);
        }
    }
    return table;
}

void DesFastCore::Build(const Tables& tables) {
    ip_ = PermutationFrom(tables.ip);
    fp_ = PermutationFrom(tables.ipInverse);
    for (int i = 0; i < 64; ++i) {
        ip_positions_[i] = tables.ip[i];
        fp_positions_[i] = tables.ipInverse[i];
    }
    swapsMatchTables_ = true;
    for (int q = 0; q < 64; ++q) {
        const std::uint64_t bit = std::uint64_t{1} << (63 - q);
        swapsMatchTables_ = swapsMatchTables_ && SwapIP(bit) == Permute(ip_, bit) &&
                            SwapFP(bit) == Permute(fp_, bit);
    }
#ifdef PORTQUELL_BITSLICE_VECTOR
    batchBlocks_ = 128;
#endif
    hasAvx2_ = ProcessorHasAvx2();
    hasAvx512_ = ProcessorHasAvx512();
    if (hasAvx2_) batchBlocks_ = 256;
    if (hasAvx512_) batchBlocks_ = 512;
    // Index v holds the six input bits b1..b6 of a box, b1 the highest.
    for (int j = 0; j < 8; ++j) {
        for (int v = 0; v < 64; ++v) {
            int b[6];
            for (int k = 0; k < 6; ++k) b[k] = (v >> (5 - k)) & 1;
            const auto& bits =
                tables.sboxBits[j + 8 * (b[0] + 2 * b[1] + 4 * b[2] + 8 * b[3] + 16 * b[4] + 32 * b[5])];
            std::uint32_t word = 0;
            for (int i = 0; i < 32; ++i) {
                const int s = des_standard::kP[i] - 1;  // S output feeding result bit i
                if (s / 4 == j && bits[s % 4] == 1) word |= std::uint32_t{1} << (31 - i);
            }
            sp_[j][v] = word;
        }
    }
}

void DesFastCore::SetRoundKeys(const std::array<std::array<std::uint8_t, 48>, 16>& roundKeys) {
    ++keyGeneration_;
    for (int r = 0; r < 16; ++r) {
        keys_[r] = {0, 0};
        for (int k = 0; k < 48; ++k) keyMasks_[r][k] = roundKeys[r][k] == 1 ? ~std::uint64_t{0} : 0;
        for (int j = 0; j < 8; ++j) {
            for (int k = 0; k < 6; ++k) {
                if (roundKeys[r][6 * j + k] != 1) continue;
                const int position = (FirstInputBit(j) + k) % 32;
                keys_[r][j % 2] |= std::uint32_t{1} << (31 - position);
            }
        }
    }
}

// The round function on R with the round key already applied: even holds
// R xor the key bits of the even S-boxes, odd those of the odd ones. Each
// box's six bits are then found by one shift or rotation.
inline std::uint32_t DesFastCore::F(std::uint32_t even, std::uint32_t odd) const {
    // A balanced tree of XORs keeps the chain from round to round short.
    const std::uint32_t a = sp_[0][RotateRight(even, 27) & 63] ^ sp_[1][(odd >> 23) & 63];
    const std::uint32_t b = sp_[2][(even >> 19) & 63] ^ sp_[3][(odd >> 15) & 63];
    const std::uint32_t c = sp_[4][(even >> 11) & 63] ^ sp_[5][(odd >> 7) & 63];
    const std::uint32_t d = sp_[6][(even >> 3) & 63] ^ sp_[7][RotateRight(odd, 31) & 63];
    return (a ^ b) ^ (c ^ d);
}

// Sixteen rounds with the keys in the given order. The key of the next
// round is applied to the left half before the round function's result
// arrives, so only one XOR follows the lookups on the chain between rounds.
template <int First, int Step>
inline std::uint64_t DesFastCore::Rounds(std::uint64_t block) const {
    std::uint32_t l = static_cast<std::uint32_t>(block >> 32);
    std::uint32_t r = static_cast<std::uint32_t>(block);
    std::uint32_t even = r ^ keys_[First][0];
    std::uint32_t odd = r ^ keys_[First][1];
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t f = F(even, odd);
        const std::uint32_t next = l ^ f;
        if (i < 15) {
            const int k = First + Step * (i + 1);
            even = (l ^ keys_[k][0]) ^ f;
            odd = (l ^ keys_[k][1]) ^ f;
        }
        l = r;
        r = next;
    }
    return (std::uint64_t{r} << 32) | l;
}

std::uint64_t DesFastCore::EncipherRounds(std::uint64_t permuted) const {
    return Rounds<0, 1>(permuted);
}

std::uint64_t DesFastCore::DecipherRounds(std::uint64_t permuted) const {
    return Rounds<15, -1>(permuted);
}

void DesFastCore::DecipherRounds4(std::uint64_t* permuted) const {
    std::uint32_t l[4];
    std::uint32_t r[4];
    for (int i = 0; i < 4; ++i) {
        l[i] = static_cast<std::uint32_t>(permuted[i] >> 32);
        r[i] = static_cast<std::uint32_t>(permuted[i]);
    }
    for (int round = 15; round > 0; round -= 2) {
        for (int i = 0; i < 4; ++i) l[i] ^= F(r[i] ^ keys_[round][0], r[i] ^ keys_[round][1]);
        for (int i = 0; i < 4; ++i) {
            r[i] ^= F(l[i] ^ keys_[round - 1][0], l[i] ^ keys_[round - 1][1]);
        }
    }
    for (int i = 0; i < 4; ++i) permuted[i] = (std::uint64_t{r[i]} << 32) | l[i];
}

void DesFastCore::DecipherBatch64(std::uint64_t* blocks) const {
    bitslice::DecipherBlocks<std::uint64_t>(blocks, keyMasks_, ip_positions_.data(),
                                            fp_positions_.data());
}

bool DesFastCore::DecipherBatch128(std::uint64_t* blocks) const {
#ifdef PORTQUELL_BITSLICE_VECTOR
    bitslice::DecipherBlocks<bitslice::Vector128>(blocks, keyMasks_, ip_positions_.data(),
                                                  fp_positions_.data());
    return true;
#else
    (void)blocks;
    return false;
#endif
}

bool DesFastCore::DecipherBatch256(std::uint64_t* blocks) const {
#ifdef PORTQUELL_HAVE_AVX2_KERNEL
    if (!hasAvx2_) return false;
    DecipherBlocksAvx2(blocks, keyMasks_, ip_positions_.data(), fp_positions_.data());
    return true;
#else
    (void)blocks;
    return false;
#endif
}

bool DesFastCore::DecipherBatch512(std::uint64_t* blocks) const {
#ifdef PORTQUELL_HAVE_AVX512_KERNEL
    if (!hasAvx512_) return false;
    DecipherBlocksAvx512(blocks, keyMasks_, ip_positions_.data(), fp_positions_.data());
    return true;
#else
    (void)blocks;
    return false;
#endif
}

const char* DesFastCore::KernelName() const {
    switch (batchBlocks_) {
        case 512: return "bitsliced, 512 blocks a pass (AVX-512F)";
        case 256: return "bitsliced, 256 blocks a pass (AVX2)";
        case 128: return "bitsliced, 128 blocks a pass (128-bit vectors)";
        default: return "bitsliced, 64 blocks a pass (64-bit words)";
    }
}

void DesFastCore::DecipherBatch(std::uint64_t* blocks) const {
    if (batchBlocks_ == 512 && DecipherBatch512(blocks)) return;
    if (batchBlocks_ == 256 && DecipherBatch256(blocks)) return;
    if (batchBlocks_ == 128 && DecipherBatch128(blocks)) return;
    DecipherBatch64(blocks);
}

}  // namespace portquell
