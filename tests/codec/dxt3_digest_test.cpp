// The encoder's bytes over whole images, pinned by digest: saved land files depend on them, so
// a faster encoder must still give exactly these. Each kind of picture stresses a different
// path: one colour or two per block, smooth ramps, grain, hard alpha edges, blocks whose
// colours overflow the fit's 16-bit lanes, and the textures the sample land synthesises.
// Every block encoder variant the host runs must give the same digest as the product.
#include "codec/dxt3.h"
#include "codec/dxt3_fit.h"
#include "codec/texture_compressor.h"
#include "format/lnd_file.h"
#include "textures/synthesis.h"
#include "tools/sample_land.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// An image in the encoder's byte order (alpha, red, green, blue), rows `pitch` bytes apart.
struct Picture {
    int width = 0, height = 0;
    std::size_t pitch = 0;
    std::vector<std::uint8_t> bytes;
    std::uint8_t* at(int x, int y) { return &bytes[std::size_t(y) * pitch + 4 * std::size_t(x)]; }
};

// Only integer arithmetic and the raw generator output, so the pictures are the same on every
// host and standard library.
Picture blank(int width, int height, int pad = 0) {
    Picture p{width, height, std::size_t(4 * width + pad), {}};
    p.bytes.assign(p.pitch * std::size_t(height), 0xC3);  // padding that must never leak in
    return p;
}

template <class Fill>
Picture paint(int width, int height, int pad, Fill fill) {
    Picture p = blank(width, height, pad);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) fill(x, y, p.at(x, y));
    return p;
}

std::uint8_t clampByte(int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Smooth value noise in integers: a lattice of random bytes every `cell` pixels, interpolated
// bilinearly.
struct ValueNoise {
    std::vector<std::uint8_t> lattice;
    int cells, cell;
    ValueNoise(std::uint32_t seed, int side, int cellSize) : cells(side / cellSize + 2), cell(cellSize) {
        std::mt19937 rng(seed);
        lattice.resize(std::size_t(cells) * std::size_t(cells));
        for (auto& v : lattice) v = std::uint8_t(rng() >> 24);
    }
    int operator()(int x, int y) const {
        const int ix = x / cell, iy = y / cell, fx = x % cell, fy = y % cell;
        auto l = [&](int i, int j) { return int(lattice[std::size_t(j) * std::size_t(cells) + std::size_t(i)]); };
        const int top = l(ix, iy) * (cell - fx) + l(ix + 1, iy) * fx;
        const int bottom = l(ix, iy + 1) * (cell - fx) + l(ix + 1, iy + 1) * fx;
        return (top * (cell - fy) + bottom * fy) / (cell * cell);
    }
};

std::vector<std::pair<std::string, Picture>> pictures() {
    std::vector<std::pair<std::string, Picture>> all;
    all.emplace_back("flat", paint(64, 64, 0, [](int, int, std::uint8_t* p) { p[0] = 255, p[1] = 0x84, p[2] = 0x47, p[3] = 0xFF; }));
    // Low bits vary under one quantised colour, and two colours in stripes and checks.
    all.emplace_back("flat low bits", paint(64, 64, 8, [](int x, int y, std::uint8_t* p) {
                         p[0] = std::uint8_t(x * 4), p[1] = std::uint8_t(0x40 | (x & 7)), p[2] = std::uint8_t(0x80 | (y & 3)),
                         p[3] = std::uint8_t(0x10 | ((x + y) & 7));
                     }));
    all.emplace_back("two colours", paint(64, 64, 0, [](int x, int y, std::uint8_t* p) {
                         const bool a = ((x / 3) + (y / 2)) % 2 == 0;
                         p[0] = 255, p[1] = a ? 200 : 16, p[2] = a ? 40 : 220, p[3] = a ? 90 : 8;
                     }));
    all.emplace_back("gradients", paint(256, 256, 0, [](int x, int y, std::uint8_t* p) {
                         p[0] = std::uint8_t(y), p[1] = std::uint8_t(x), p[2] = std::uint8_t((x + y) / 2),
                         p[3] = std::uint8_t(255 - y);
                     }));
    all.emplace_back("steep gradients", paint(128, 128, 12, [](int x, int y, std::uint8_t* p) {
                         p[0] = 255, p[1] = std::uint8_t(x * 13 + y * 3), p[2] = std::uint8_t(y * 7), p[3] = std::uint8_t((x * y) >> 4);
                     }));
    all.emplace_back("radial", paint(128, 128, 0, [](int x, int y, std::uint8_t* p) {
                         const int d2 = (x - 50) * (x - 50) + (y - 70) * (y - 70);
                         p[0] = 255, p[1] = clampByte(255 - d2 / 40), p[2] = clampByte(d2 / 64), p[3] = clampByte(128 + (x - y));
                     }));
    {
        std::mt19937 rng(1);
        all.emplace_back("uniform noise", paint(128, 128, 4, [&](int, int, std::uint8_t* p) {
                             const std::uint32_t v = rng();
                             p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8), p[2] = std::uint8_t(v >> 16), p[3] = std::uint8_t(v >> 24);
                         }));
    }
    {
        // Colours at the ends of the range: many palettes miss some colour by more than the
        // fit's 16-bit lanes hold.
        std::mt19937 rng(2);
        all.emplace_back("extreme noise", paint(128, 64, 0, [&](int, int, std::uint8_t* p) {
                             const std::uint32_t v = rng();
                             p[0] = 255;
                             for (int c = 0; c < 3; ++c) {
                                 const std::uint32_t r = (v >> (8 * c)) & 0xFF;
                                 p[1 + c] = std::uint8_t(r < 96 ? r / 8 : r < 192 ? 255 - r / 8 : r);
                             }
                         }));
    }
    {
        // Smooth terrain-like colour with fine grain of a few strengths.
        const ValueNoise n0(3, 256, 32), n1(4, 256, 16), n2(5, 256, 64);
        for (int grain : {0, 3, 8, 24}) {
            std::mt19937 rng(6 + std::uint32_t(grain));
            all.emplace_back("smooth noise grain " + std::to_string(grain), paint(256, 256, 0, [&](int x, int y, std::uint8_t* p) {
                                 auto g = [&] { return grain ? int(rng() % std::uint32_t(2 * grain + 1)) - grain : 0; };
                                 p[0] = 255, p[1] = clampByte(n0(x, y) + g()), p[2] = clampByte(n1(x, y) / 2 + 60 + g()),
                                 p[3] = clampByte(n2(x, y) / 3 + g());
                             }));
        }
    }
    // Hard alpha edges over colour: a disc, a diagonal and stripes of alpha, with colour
    // edges that do not line up with them.
    all.emplace_back("alpha edges", paint(256, 256, 16, [](int x, int y, std::uint8_t* p) {
                         const int d2 = (x - 100) * (x - 100) + (y - 120) * (y - 120);
                         p[0] = d2 < 70 * 70 ? 255 : x + 2 * y > 400 ? 0 : (x / 5) % 2 ? 128 : 15;
                         const bool field = 3 * x + y > 380;
                         p[1] = std::uint8_t(field ? 30 + y / 4 : 180 - x / 3), p[2] = std::uint8_t(field ? 120 : 60 + (x ^ y) % 32),
                         p[3] = std::uint8_t(d2 < 40 * 40 ? 200 : 20 + x / 8);
                     }));
    // Odd shapes: narrow, tall, and a padded pitch.
    all.emplace_back("narrow", paint(4, 40, 0, [](int x, int y, std::uint8_t* p) {
                         p[0] = std::uint8_t(x * 60), p[1] = std::uint8_t(y * 6), p[2] = std::uint8_t(x * y * 9), p[3] = std::uint8_t(255 - y * 5);
                     }));
    all.emplace_back("wide", paint(260, 8, 20, [](int x, int y, std::uint8_t* p) {
                         p[0] = 255, p[1] = std::uint8_t(x), p[2] = std::uint8_t(x * y), p[3] = std::uint8_t(x * 3 + y * 40);
                     }));

    // The sample land's block textures, as synthesised for a save (blue, green, red, alpha in
    // the synthesiser's order), and its low-resolution textures decoded back.
    const std::vector<std::uint8_t> land = lnd::makeSampleLand({11, 3});
    lnd::LndView view;
    if (!view.open(land)) {
        ADD_FAILURE() << "the sample land does not open";
        return all;
    }
    const lnd::LndParts parts = lnd::partsOf(view);
    std::vector<std::uint8_t> texels(lnd::kBlockTexelBytes);
    lnd::BlockSynthesizer synth;
    for (int b = 0; b < view.blockCount(); ++b) {
        synth.synthesize(view.block(b), parts.countries, parts.materials, view.noiseMap(), lnd::SeaAlphas{}, texels.data());
        all.emplace_back("sample block " + std::to_string(b), paint(256, 256, 0, [&](int x, int y, std::uint8_t* p) {
                             const std::uint8_t* t = &texels[4 * (std::size_t(y) * 256 + std::size_t(x))];
                             p[0] = t[3], p[1] = t[2], p[2] = t[1], p[3] = t[0];
                         }));
    }
    Picture lores = blank(256, 256);
    lnd::decodeDxt3Image(view.loRes(0).Data, 256, 256, lores.bytes.data(), lores.pitch);
    all.emplace_back("sample low-resolution texture", std::move(lores));
    return all;
}

std::uint64_t fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

using BlockEncoder = void (*)(const std::uint8_t*, std::size_t, std::uint8_t*);

std::vector<std::uint8_t> encodeWith(BlockEncoder encode, const Picture& p) {
    std::vector<std::uint8_t> out(std::size_t(p.width) * std::size_t(p.height));
    std::uint8_t* block = out.data();
    for (int by = 0; by < p.height / 4; ++by)
        for (int bx = 0; bx < p.width / 4; ++bx, block += lnd::kDxt3BlockBytes)
            encode(&p.bytes[std::size_t(4 * by) * p.pitch + 16 * std::size_t(bx)], p.pitch, block);
    return out;
}

}  // namespace

TEST(Dxt3Digest, EveryKindOfPictureKeepsItsBytes) {
    // Recorded from the encoder before its speed work; in the order pictures() makes them.
    static constexpr struct {
        const char* name;
        std::uint64_t digest;
    } kExpected[] = {
#include "dxt3_digests.inc"
    };
    const auto all = pictures();
    EXPECT_EQ(all.size(), std::size(kExpected));
    std::vector<std::pair<const char*, BlockEncoder>> variants = {{"portable", lnd::dxt3::encodeBlockPortable}};
#if defined(__SSE2__)
    variants.emplace_back("SSE2", lnd::dxt3::encodeBlockSse2);
#endif
#if defined(LND_DXT3_HAVE_AVX2)
    if (lnd::dxt3::hostHasAvx2()) variants.emplace_back("AVX2", lnd::dxt3::encodeBlockAvx2);
    // Checked here whatever LND_DXT3_NO_AVX512 says, which only steers the encoder's choice.
    if (lnd::dxt3::hostHasAvx512()) variants.emplace_back("AVX-512", lnd::dxt3::encodeBlockAvx512);
#endif
    std::string table;
    for (std::size_t k = 0; k < all.size(); ++k) {
        const auto& [name, p] = all[k];
        std::vector<std::uint8_t> out(std::size_t(p.width) * std::size_t(p.height));
        lnd::encodeDxt3Image(p.bytes.data(), p.width, p.height, p.pitch, out.data(), 1);
        const std::uint64_t digest = fnv1a(out);
        char line[128];
        std::snprintf(line, sizeof line, "{\"%s\", 0x%016llxull},\n", name.c_str(), static_cast<unsigned long long>(digest));
        table += line;
        const std::uint64_t expected = k < std::size(kExpected) ? kExpected[k].digest : 0;
        EXPECT_EQ(name, k < std::size(kExpected) ? kExpected[k].name : "") << "picture " << k;
        EXPECT_EQ(digest, expected) << name;
        // Shared among threads, and block by block with each variant.
        std::vector<std::uint8_t> shared(out.size(), 0xEE);
        lnd::encodeDxt3Image(p.bytes.data(), p.width, p.height, p.pitch, shared.data(), 3);
        EXPECT_EQ(fnv1a(shared), expected) << name << " on three threads";
        for (const auto& [variant, encode] : variants)
            EXPECT_EQ(fnv1a(encodeWith(encode, p)), expected) << name << ", " << variant << " blocks";
    }
    if (HasFailure()) std::printf("The digests of this build:\n%s", table.c_str());
}
