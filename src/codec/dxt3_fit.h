// The DXT3 block encoder and its four-colour endpoint search, in the variants the host can
// run. Every variant gives the same bytes.
//
// The fit takes quantised RGB triples (three ints each) and `count`, how many pixels of the
// block have each colour. The result is the four palette entries (twelve ints), entry 0 and
// entry 3 being the refined endpoints. The block encoders take 4 x 4 pixels (four bytes each,
// alpha, red, green, blue; rows `pitch` bytes apart) and write the 16-byte block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lnd::dxt3 {

void fourColourFitPortable(const int* colours, const int* count, int n, int* palette);
void encodeBlockPortable(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out);
#if defined(__SSE2__)
void fourColourFitSse2(const int* colours, const int* count, int n, int* palette);
void encodeBlockSse2(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out);
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#define LND_DXT3_HAVE_AVX2 1
void fourColourFitAvx2(const int* colours, const int* count, int n, int* palette);
void encodeBlockAvx2(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out);
// Needs AVX-512 F, BW, VL and CD besides: only where hostRunsAvx512().
void fourColourFitAvx512(const int* colours, const int* count, int n, int* palette);
void encodeBlockAvx512(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out);
// Whether the processor has what each wide variant needs (AVX2 and POPCNT; those and AVX-512
// F, BW, VL and CD), whatever the environment says.
bool hostHasAvx2();
bool hostHasAvx512();
// Whether the processor has them and LND_DXT3_NO_AVX512 is unset or empty (instruction
// counters that cannot run AVX-512 code set it to have the AVX2 variant chosen).
bool hostRunsAvx512();
#endif

}  // namespace lnd::dxt3
