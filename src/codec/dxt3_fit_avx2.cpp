// The AVX2 variant of the four-colour fit: all sixteen lanes in one register. Only this unit
// is built for AVX2; the encoder calls it after checking the processor.
#include "codec/dxt3_fit.h"

#include <cstdint>

#if defined(LND_DXT3_HAVE_AVX2)
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#include "codec/dxt3_lanes256.h"

namespace lnd::dxt3 {

namespace {

using LanesAvx2 = Lanes256;

}  // namespace

void fourColourFitAvx2(const int* colours, const int* count, int n, int* palette) {
    fourColourFit<LanesAvx2>(colours, count, n, palette);
}

void encodeBlockAvx2(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out) {
    encodeBlock<LanesAvx2>(pixels, pitch, out);
}

}  // namespace lnd::dxt3

#pragma GCC pop_options
#endif
