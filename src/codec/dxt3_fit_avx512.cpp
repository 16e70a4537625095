// The AVX-512 variant of the four-colour fit: the AVX2 lanes, built with thirty-two vector
// registers so that the unrolled batches keep their lanes in registers. Only this unit is
// built for AVX-512; the encoder calls it after checking the processor.
#include "codec/dxt3_fit.h"

#include <cstdint>

#if defined(LND_DXT3_HAVE_AVX2)
#pragma GCC push_options
#pragma GCC target("avx2,popcnt,avx512f,avx512bw,avx512vl,avx512cd")
#define LND_DXT3_LANES_AVX512 1
#include "codec/dxt3_lanes256.h"

namespace lnd::dxt3 {

namespace {

using LanesAvx512 = Lanes256;

}  // namespace

void fourColourFitAvx512(const int* colours, const int* count, int n, int* palette) {
    fourColourFit<LanesAvx512>(colours, count, n, palette);
}

void encodeBlockAvx512(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out) {
    encodeBlock<LanesAvx512>(pixels, pitch, out);
}

}  // namespace lnd::dxt3

#pragma GCC pop_options
#endif
