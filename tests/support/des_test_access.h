// Reaches the private parts of clsDES that the tests check directly.
#pragma once

#include <span>

#include "des/clsDES.h"

namespace portquell {

class clsDESTestAccess {
public:
    static void BytesToBits(const clsDES& d, std::span<const std::uint8_t> bytes,
                            std::int32_t count, std::span<std::uint8_t> bits) {
        d.BytesToBits(bytes, count, bits);
    }
    static void BitsToBytes(std::span<const std::uint8_t> bits, std::int32_t count,
                            std::span<std::uint8_t> bytes) {
        clsDES::BitsToBytes(bits, count, bytes);
    }
    static void Encipher(clsDES& d, std::span<std::uint8_t> block) { d.EncipherBlock(block); }
    static void Decipher(clsDES& d, std::span<std::uint8_t> block) { d.DecipherBlock(block); }
    // CBC with a zero start over whole blocks, no container, no progress.
    static void EncipherCbc(clsDES& d, std::span<std::uint8_t> data) {
        clsDES::ChainRun run = d.StartChain(data, nullptr, false);
        d.EncipherChain(run);
    }
    // Salt words from the test instead of the entropy source.
    static void SetSaltSource(clsDES& d, std::function<std::uint32_t()> source) {
        d.saltSource_ = std::move(source);
    }
    static auto& RoundKeys(clsDES& d) { return d.RoundKeys; }
    static const DesFastCore& Fast(const clsDES& d) { return d.fast_; }
    static const auto& SBoxBits(const clsDES& d) { return d.SBoxBits; }
    static const std::string& KeyText(const clsDES& d) { return d.KeyText; }
};

}  // namespace portquell
