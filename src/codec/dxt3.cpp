#include "codec/dxt3.h"

#include "codec/dxt3_fit.h"

#include <cstring>

namespace lnd {

namespace {

using BlockEncoder = void (*)(const std::uint8_t*, std::size_t, std::uint8_t*);

// The widest variant this processor runs; all of them give the same bytes.
BlockEncoder chooseEncoder() {
#if defined(LND_DXT3_HAVE_AVX2)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt")) return dxt3::encodeBlockAvx2;
#endif
#if defined(__SSE2__)
    return dxt3::encodeBlockSse2;
#else
    return dxt3::encodeBlockPortable;
#endif
}

BlockEncoder blockEncoder() {
    static const BlockEncoder encode = chooseEncoder();
    return encode;
}

}  // namespace

void encodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]) {
    blockEncoder()(pixels, 16, out);
}

void decodeDxt3Block(const std::uint8_t in[16], std::uint8_t pixels[64]) {
    const std::uint16_t c0 = std::uint16_t(in[8] | in[9] << 8);
    const std::uint16_t c1 = std::uint16_t(in[10] | in[11] << 8);
    int palette[4][3];
    const std::uint16_t ends[2] = {c0, c1};
    for (int e = 0; e < 2; ++e) {
        const int r = ends[e] >> 11, g = (ends[e] >> 5) & 63, b = ends[e] & 31;
        palette[e][0] = (r << 3) | (r >> 2);
        palette[e][1] = (g << 2) | (g >> 4);
        palette[e][2] = (b << 3) | (b >> 2);
    }
    for (int c = 0; c < 3; ++c) {
        palette[2][c] = (2 * palette[0][c] + palette[1][c]) / 3;
        palette[3][c] = (palette[0][c] + 2 * palette[1][c]) / 3;
    }
    const std::uint32_t codes = std::uint32_t(in[12]) | std::uint32_t(in[13]) << 8 | std::uint32_t(in[14]) << 16 |
                                std::uint32_t(in[15]) << 24;
    for (int i = 0; i < 16; ++i) {
        const int nibble = (in[i / 2] >> (4 * (i % 2))) & 15;
        const int* c = palette[(codes >> (2 * i)) & 3];
        std::uint8_t* p = pixels + 4 * i;
        p[0] = std::uint8_t(nibble * 17);
        p[1] = std::uint8_t(c[0]);
        p[2] = std::uint8_t(c[1]);
        p[3] = std::uint8_t(c[2]);
    }
}

void encodeDxt3Image(const std::uint8_t* pixels, int width, int height, std::size_t pitch, std::uint8_t* out) {
    if (width <= 0 || height <= 0 || width % 4 != 0 || height % 4 != 0) return;
    const BlockEncoder encode = blockEncoder();
    for (int by = 0; by < height / 4; ++by)
        for (int bx = 0; bx < width / 4; ++bx) {
            encode(pixels + std::size_t(4 * by) * pitch + 16 * std::size_t(bx), pitch, out);
            out += kDxt3BlockBytes;
        }
}

void decodeDxt3Image(const std::uint8_t* in, int width, int height, std::uint8_t* pixels, std::size_t pitch) {
    if (width <= 0 || height <= 0 || width % 4 != 0 || height % 4 != 0) return;
    std::uint8_t block[64];
    for (int by = 0; by < height / 4; ++by)
        for (int bx = 0; bx < width / 4; ++bx) {
            decodeDxt3Block(in, block);
            in += kDxt3BlockBytes;
            for (int row = 0; row < 4; ++row)
                std::memcpy(pixels + std::size_t(4 * by + row) * pitch + 16 * std::size_t(bx), block + 16 * row, 16);
        }
}

}  // namespace lnd
