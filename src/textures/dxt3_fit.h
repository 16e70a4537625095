// The four-colour endpoint search of the DXT3 encoder, in the variants the host can run.
//
// Colours are quantised RGB triples (three ints each); `count` holds how many pixels of the
// block have each colour. The result is the four palette entries (twelve ints), entry 0 and
// entry 3 being the refined endpoints. Every variant gives the same palette.
#pragma once

namespace lnd::dxt3 {

void fourColourFitPortable(const int* colours, const int* count, int n, int* palette);
#if defined(__SSE2__)
void fourColourFitSse2(const int* colours, const int* count, int n, int* palette);
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#define LND_DXT3_HAVE_AVX2 1
void fourColourFitAvx2(const int* colours, const int* count, int n, int* palette);
#endif

}  // namespace lnd::dxt3
