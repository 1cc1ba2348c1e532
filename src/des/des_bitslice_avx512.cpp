// The bitsliced decipherment with 512-bit words. This file alone is built
// for AVX-512F, where the compiler merges two or three gates of the S-box
// circuits into one vpternlogq; DesFastCore calls it only when the
// processor (and the system) have AVX-512F.
#include "des/des_bitslice.h"

namespace portquell {

void DecipherBlocksAvx512(std::uint64_t* blocks, const bitslice::KeyMasks& keys,
                          const std::uint8_t* ip, const std::uint8_t* ipInverse) {
    bitslice::DecipherBlocks<bitslice::Vector512>(blocks, keys, ip, ipInverse);
}

}  // namespace portquell
