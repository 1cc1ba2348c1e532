// Tables, key schedule and the block transform.
#include <algorithm>
#include <cstring>
#include <utility>

#include "des/clsDES.h"
#include "des/des_standard.h"
#include "support/app_error.h"
#include "support/message_box.h"

namespace portquell {

namespace {

namespace std_ = des_standard;

// X(k) = K(k) xor R(E(k)), the 48 steps written out by the compiler with
// E's positions fixed in them.
template <std::size_t... K>
inline void ExpandAndKey(std::uint8_t* x, const std::uint8_t* key, const std::uint8_t* r,
                         std::index_sequence<K...>) {
    ((x[K] = static_cast<std::uint8_t>(key[K] ^ r[std_::kE[K] - 1])), ...);
}

// N(i) = S(P(i)) xor L(i), the 32 steps written out with P's positions.
template <std::size_t... I>
inline void PermuteAndMix(std::uint8_t* n, const std::uint8_t* s, const std::uint8_t* l,
                          std::index_sequence<I...>) {
    ((n[I] = static_cast<std::uint8_t>(s[std_::kP[I] - 1] ^ l[I])), ...);
}

// Rotates a 28-entry half left by s positions.
void RotateLeft(std::uint8_t* half, int s) {
    std::uint8_t saved[2];
    std::memcpy(saved, half, static_cast<std::size_t>(s));
    std::memmove(half, half + s, static_cast<std::size_t>(28 - s));
    std::memcpy(half + 28 - s, saved, static_cast<std::size_t>(s));
}

}  // namespace

clsDES::clsDES()
    : clsDES([](const std::string& text) { ShowMessageBox(nullptr, text, MessageIcon::Warning); }) {}

clsDES::clsDES(WarningBox showWarning) : showWarning_(std::move(showWarning)) {
    for (std::size_t i = 0; i < 64; ++i) {
        IPTable[i] = static_cast<std::uint8_t>(std_::kIP[i] - 1);
        IPInvTable[i] = static_cast<std::uint8_t>(std_::kIPInverse[i] - 1);
    }
    for (std::size_t i = 0; i < 56; ++i) PC1Table[i] = static_cast<std::uint8_t>(std_::kPC1[i] - 1);
    for (std::size_t i = 0; i < 48; ++i) PC2Table[i] = static_cast<std::uint8_t>(std_::kPC2[i] - 1);
    for (int r = 1; r <= kRounds; ++r) ShiftTable[r] = std_::kShifts[r - 1];

    // Every S-box value pre-expanded into four bit entries, addressed by the
    // six bits that enter the box, so a round needs no arithmetic on them.
    std::array<std::uint8_t, 8> expanded{};
    for (int j = 0; j < 8; ++j) {
        for (int b1 = 0; b1 < 2; ++b1)
            for (int b2 = 0; b2 < 2; ++b2)
                for (int b3 = 0; b3 < 2; ++b3)
                    for (int b4 = 0; b4 < 2; ++b4)
                        for (int b5 = 0; b5 < 2; ++b5)
                            for (int b6 = 0; b6 < 2; ++b6) {
                                const std::uint8_t v =
                                    std_::kSBoxes[j][(2 * b1 + b6) * 16 + 8 * b2 + 4 * b3 +
                                                     2 * b4 + b5];
                                BytesToBits(std::span<const std::uint8_t>(&v, 1), 1, expanded);
                                const int entry =
                                    j + 8 * (b1 + 2 * b2 + 4 * b3 + 8 * b4 + 16 * b5 + 32 * b6);
                                std::memcpy(SBoxBits[entry].data(), expanded.data() + 4, 4);
                            }
    }
    fast_.Build(DesFastCore::Tables{IPTable.data(), IPInvTable.data(), SBoxBits.data()});
    fast_.SetRoundKeys(RoundKeys);
}

void clsDES::BytesToBits(std::span<const std::uint8_t> bytes, std::int32_t count,
                         std::span<std::uint8_t> bits) const {
    if (count < 0 || count > 8 || bytes.size() < static_cast<std::size_t>(count) ||
        bits.size() < static_cast<std::size_t>(8 * count)) {
        throw SubscriptOutOfRangeError();
    }
    std::memcpy(bits.data(), ZeroBits.data(), static_cast<std::size_t>(8 * count));
    for (std::int32_t i = 0; i < count; ++i) {
        for (int k = 0; k < 8; ++k) {
            if (bytes[i] & (0x80 >> k)) bits[8 * i + k] = 1;
        }
    }
}

void clsDES::BitsToBytes(std::span<const std::uint8_t> bits, std::int32_t count,
                         std::span<std::uint8_t> bytes) {
    if (count < 0 || bytes.size() < static_cast<std::size_t>(count) ||
        bits.size() / 8 < static_cast<std::size_t>(count)) {
        throw SubscriptOutOfRangeError();
    }
    for (std::int32_t i = 0; i < count; ++i) {
        int value = 0;
        for (int k = 0; k < 8; ++k) {
            if (bits[8 * i + k] == 1) value += 0x80 >> k;
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
}

void clsDES::Key(const std::string& New_Value) {
    if (New_Value == KeyText) return;
    KeyText = New_Value;
    // Texts are already bytes in the ANSI code page; only the first eight
    // count, a shorter key is padded with zero bytes.
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(New_Value.size(), 8));
    Bits64 keyBits{};
    BytesToBits(std::span<const std::uint8_t>(
                    reinterpret_cast<const std::uint8_t*>(New_Value.data()), New_Value.size()),
                n, keyBits);

    std::array<std::uint8_t, 56> cd{};
    for (std::size_t i = 0; i < 56; ++i) cd[i] = keyBits[PC1Table[i]];
    std::array<std::uint8_t, 28> c{};
    std::array<std::uint8_t, 28> d{};
    std::memcpy(c.data(), cd.data(), 28);
    std::memcpy(d.data(), cd.data() + 28, 28);
    for (int r = 1; r <= kRounds; ++r) {
        RotateLeft(c.data(), ShiftTable[r]);
        RotateLeft(d.data(), ShiftTable[r]);
        std::memcpy(cd.data(), c.data(), 28);
        std::memcpy(cd.data() + 28, d.data(), 28);
        for (std::size_t k = 0; k < 48; ++k) RoundKeys[r - 1][k] = cd[PC2Table[k]];
    }
    fast_.SetRoundKeys(RoundKeys);
}

void clsDES::Round(WorkingStorage& w, int round) {
    ExpandAndKey(w.X.data(), RoundKeys[round - 1].data(), w.R.data(),
                 std::make_index_sequence<48>{});
    for (int j = 0; j < 8; ++j) {
        const std::uint8_t* b = w.X.data() + 6 * j;
        if ((b[0] | b[1] | b[2] | b[3] | b[4] | b[5]) > 1) throw SubscriptOutOfRangeError();
        const int entry = j + 8 * (b[0] + 2 * b[1] + 4 * b[2] + 8 * b[3] + 16 * b[4] + 32 * b[5]);
        std::memcpy(w.S.data() + 4 * j, SBoxBits[entry].data(), 4);
    }
    PermuteAndMix(w.N.data(), w.S.data(), w.L.data(), std::make_index_sequence<32>{});
    std::memcpy(w.L.data(), w.R.data(), 32);
    std::memcpy(w.R.data(), w.N.data(), 32);
}

void clsDES::TransformBlock(std::span<std::uint8_t> block, WorkingStorage& w, bool decipher) {
    BytesToBits(block, 8, w.B);  // a block shorter than 8 bytes fails here, unchanged
    for (std::size_t i = 0; i < 32; ++i) {
        w.L[i] = w.B[IPTable[i]];
        w.R[i] = w.B[IPTable[i + 32]];
    }
    for (int r = 1; r <= kRounds; ++r) Round(w, decipher ? kRounds + 1 - r : r);
    // R16 L16: the last round's swap undone.
    std::memcpy(w.Pre.data(), w.R.data(), 32);
    std::memcpy(w.Pre.data() + 32, w.L.data(), 32);
    for (std::size_t i = 0; i < 64; ++i) w.B[i] = w.Pre[IPInvTable[i]];
    BitsToBytes(w.B, 8, block);
}

void clsDES::EncipherBlock(std::span<std::uint8_t> block) { TransformBlock(block, encipher_, false); }

void clsDES::DecipherBlock(std::span<std::uint8_t> block) { TransformBlock(block, decipher_, true); }

}  // namespace portquell
