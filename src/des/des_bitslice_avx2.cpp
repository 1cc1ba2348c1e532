// The bitsliced decipherment with 256-bit words. This file alone is built
// for AVX2; DesFastCore calls it only when the processor has AVX2.
#include "des/des_bitslice.h"

namespace portquell {

void DecipherBlocksAvx2(std::uint64_t* blocks, const bitslice::KeyMasks& keys,
                        const std::uint8_t* ip, const std::uint8_t* ipInverse) {
    bitslice::DecipherBlocks<bitslice::Vector256>(blocks, keys, ip, ipInverse);
}

}  // namespace portquell
