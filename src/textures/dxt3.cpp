#include "textures/dxt3.h"

#include "textures/dxt3_fit.h"
#include "textures/dxt3_fit_impl.h"

#include <algorithm>
#include <cstring>

namespace lnd {

namespace {

using dxt3::distance;
using dxt3::Rgb;

inline std::uint16_t to565(const Rgb& c) {
    return std::uint16_t((c.c[0] >> 3) << 11 | (c.c[1] >> 2) << 5 | (c.c[2] >> 3));
}

using FitFunction = void (*)(const int*, const int*, int, int*);

// The widest variant of the fit this processor runs; all of them give the same palette.
FitFunction chooseFit() {
#if defined(LND_DXT3_HAVE_AVX2)
    if (__builtin_cpu_supports("avx2")) return dxt3::fourColourFitAvx2;
#endif
#if defined(__SSE2__)
    return dxt3::fourColourFitSse2;
#else
    return dxt3::fourColourFitPortable;
#endif
}

void fourColourFit(const Rgb* distinct, const int* count, int n, Rgb palette[4]) {
    static const FitFunction fit = chooseFit();
    int colours[48];
    for (int k = 0; k < n; ++k)
        for (int c = 0; c < 3; ++c) colours[3 * k + c] = distinct[k].c[c];
    int out[12];
    fit(colours, count, n, out);
    for (int p = 0; p < 4; ++p)
        for (int c = 0; c < 3; ++c) palette[p].c[c] = out[3 * p + c];
}

// Nearest entry, the first one winning ties.
inline int nearest(const Rgb* palette, const Rgb& c) {
    int best = 0;
    int bestDist = distance(palette[0], c);
    for (int p = 1; p < 4; ++p)
        if (const int d = distance(palette[p], c); d < bestDist) { bestDist = d; best = p; }
    return best;
}

}  // namespace

void encodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]) {
    std::uint64_t alpha = 0;
    Rgb source[16];
    std::uint32_t key[16];
    Rgb distinct[16];
    std::uint32_t distinctKey[16];
    int count[16];
    int n = 0;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = pixels + 4 * i;
        alpha |= std::uint64_t(p[0] >> 4) << (4 * i);
        source[i] = {{p[1], p[2], p[3]}};
        key[i] = std::uint32_t(p[1] & 0xF8) << 16 | std::uint32_t(p[2] & 0xFC) << 8 | std::uint32_t(p[3] & 0xF8);
        int k = 0;
        while (k < n && distinctKey[k] != key[i]) ++k;
        if (k == n) {
            distinctKey[n] = key[i];
            distinct[n] = {{p[1] & 0xF8, p[2] & 0xFC, p[3] & 0xF8}};
            count[n++] = 0;
        }
        ++count[k];
    }
    for (int b = 0; b < 8; ++b) out[b] = std::uint8_t(alpha >> (8 * b));

    std::uint16_t color0 = 0;
    std::uint16_t color1 = 0;
    std::uint32_t codes = 0;
    if (n == 1) {
        color0 = to565(distinct[0]);
    } else if (n == 2) {
        color0 = to565(distinct[0]);
        color1 = to565(distinct[1]);
        for (int i = 0; i < 16; ++i)
            if (key[i] != distinctKey[0]) codes |= 1u << (2 * i);
    } else {
        // The three-colour palette is never chosen: DXT3 colour blocks are always decoded with
        // four colours, so its midpoint texels would show wrongly.
        Rgb palette[4];
        fourColourFit(distinct, count, n, palette);
        const std::uint16_t a = to565(palette[0]);
        const std::uint16_t b = to565(palette[3]);
        if (a == b) {
            color0 = a;
        } else {
            // color0 must be the greater value, which selects four-colour decoding.
            if (a < b) {
                std::swap(palette[0], palette[3]);
                std::swap(palette[1], palette[2]);
            }
            color0 = std::max(a, b);
            color1 = std::min(a, b);
            static constexpr std::uint32_t kCodeOf[4] = {0, 2, 3, 1};
            for (int i = 0; i < 16; ++i) codes |= kCodeOf[nearest(palette, source[i])] << (2 * i);
        }
    }
    out[8] = std::uint8_t(color0);
    out[9] = std::uint8_t(color0 >> 8);
    out[10] = std::uint8_t(color1);
    out[11] = std::uint8_t(color1 >> 8);
    for (int b = 0; b < 4; ++b) out[12 + b] = std::uint8_t(codes >> (8 * b));
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
    std::uint8_t block[64];
    for (int by = 0; by < height / 4; ++by)
        for (int bx = 0; bx < width / 4; ++bx) {
            for (int row = 0; row < 4; ++row)
                std::memcpy(block + 16 * row, pixels + std::size_t(4 * by + row) * pitch + 16 * std::size_t(bx), 16);
            encodeDxt3Block(block, out);
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
