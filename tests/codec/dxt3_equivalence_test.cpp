// The fast encoder against the plain one on many more blocks than the codec tests use: blocks
// cut from natural-looking textures, blocks built so that many palettes tie, and blocks so
// spread that the 16-bit lanes overflow. Every variant of the fit must give the same palette.
#include "block_samples.h"
#include "dxt3_reference.h"
#include "codec/dxt3.h"
#include "codec/dxt3_fit.h"
#include "codec/texture_compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace lndtest;

namespace {

using Bytes16 = std::array<std::uint8_t, 16>;

struct Distinct {
    int colours[48] = {};
    int count[16] = {};
    int n = 0;
};

Distinct distinctOf(const Block& blk) {
    Distinct d;
    for (int i = 0; i < 16; ++i) {
        const int c[3] = {blk[std::size_t(4 * i + 1)] & 0xF8, blk[std::size_t(4 * i + 2)] & 0xFC, blk[std::size_t(4 * i + 3)] & 0xF8};
        int k = 0;
        while (k < d.n && !(d.colours[3 * k] == c[0] && d.colours[3 * k + 1] == c[1] && d.colours[3 * k + 2] == c[2])) ++k;
        if (k == d.n) {
            std::copy(c, c + 3, d.colours + 3 * d.n);
            ++d.n;
        }
        ++d.count[k];
    }
    return d;
}

int paletteError(const Distinct& d, const int* pal) {
    int err = 0;
    for (int k = 0; k < d.n; ++k) {
        int best = 1 << 30;
        for (int p = 0; p < 4; ++p) {
            int s = 0;
            for (int c = 0; c < 3; ++c) s += (d.colours[3 * k + c] - pal[3 * p + c]) * (d.colours[3 * k + c] - pal[3 * p + c]);
            best = std::min(best, s);
        }
        err += d.count[k] * best;
    }
    return err;
}

// Whether the smallest error of the pair search is reached by two pairs among the same eight
// consecutive pairs of the list, which the fit scores together: the first must still win.
bool tiesWithinEight(const Distinct& d) {
    std::vector<int> errors;
    for (int i = 0; i < d.n; ++i)
        for (int j = i + 1; j < d.n; ++j) {
            int pal[12];
            for (int c = 0; c < 3; ++c) {
                const int a = d.colours[3 * i + c], b = d.colours[3 * j + c];
                pal[c] = a;
                pal[3 + c] = ((2 * a + b) * 21760) >> 16;
                pal[6 + c] = ((a + 2 * b) * 21760) >> 16;
                pal[9 + c] = b;
            }
            errors.push_back(paletteError(d, pal));
        }
    const int least = *std::min_element(errors.begin(), errors.end());
    for (std::size_t k = 0; k < errors.size(); ++k)
        for (std::size_t m = k + 1; m < errors.size() && m / 8 == k / 8; ++m)
            if (errors[k] == least && errors[m] == least) return true;
    return false;
}

bool hostHasAvx2() {
#if defined(LND_DXT3_HAVE_AVX2)
    return lnd::dxt3::hostHasAvx2();
#else
    return false;
#endif
}

bool hostHasAvx512() {
#if defined(LND_DXT3_HAVE_AVX2)
    return lnd::dxt3::hostHasAvx512();
#else
    return false;
#endif
}

// Encodes with the product, every block encoder variant this host has and the plain encoder,
// and runs every fit variant on the block's colours; returns the portable variant's palette error, or -1 with too few colours.
int checkBlock(const Block& blk, const char* what, int sample) {
    Bytes16 fast{}, plain{};
    lnd::encodeDxt3Block(blk.data(), fast.data());
    referenceEncodeDxt3Block(blk.data(), plain.data());
    EXPECT_EQ(fast, plain) << what << " sample " << sample;
    Bytes16 variant{};
    lnd::dxt3::encodeBlockPortable(blk.data(), 16, variant.data());
    EXPECT_EQ(variant, plain) << what << " portable block, sample " << sample;
#if defined(__SSE2__)
    lnd::dxt3::encodeBlockSse2(blk.data(), 16, variant.data());
    EXPECT_EQ(variant, plain) << what << " SSE2 block, sample " << sample;
#endif
#if defined(LND_DXT3_HAVE_AVX2)
    if (hostHasAvx2()) {
        lnd::dxt3::encodeBlockAvx2(blk.data(), 16, variant.data());
        EXPECT_EQ(variant, plain) << what << " AVX2 block, sample " << sample;
    }
    if (hostHasAvx512()) {
        lnd::dxt3::encodeBlockAvx512(blk.data(), 16, variant.data());
        EXPECT_EQ(variant, plain) << what << " AVX-512 block, sample " << sample;
    }
#endif
    const Distinct d = distinctOf(blk);
    if (d.n < 3) return -1;
    int portable[12], other[12];
    lnd::dxt3::fourColourFitPortable(d.colours, d.count, d.n, portable);
#if defined(__SSE2__)
    lnd::dxt3::fourColourFitSse2(d.colours, d.count, d.n, other);
    EXPECT_TRUE(std::equal(portable, portable + 12, other)) << what << " SSE2, sample " << sample;
#endif
#if defined(LND_DXT3_HAVE_AVX2)
    if (hostHasAvx2()) {
        lnd::dxt3::fourColourFitAvx2(d.colours, d.count, d.n, other);
        EXPECT_TRUE(std::equal(portable, portable + 12, other)) << what << " AVX2, sample " << sample;
    }
    if (hostHasAvx512()) {
        lnd::dxt3::fourColourFitAvx512(d.colours, d.count, d.n, other);
        EXPECT_TRUE(std::equal(portable, portable + 12, other)) << what << " AVX-512, sample " << sample;
    }
#endif
    return paletteError(d, portable);
}

// A 64 x 64 texture of gradients, smooth bumps, grain and hard edges, alpha random.
std::vector<std::uint8_t> naturalTexture(std::mt19937& rng, float grainSigma) {
    constexpr int kSide = 64;
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::normal_distribution<float> grain(0.0f, grainSigma);
    float base[3], slope[3][2], wave[3];
    for (int c = 0; c < 3; ++c) {
        base[c] = 255 * unit(rng);
        slope[c][0] = 200 * (unit(rng) - 0.5f);
        slope[c][1] = 200 * (unit(rng) - 0.5f);
        wave[c] = 60 * unit(rng);
    }
    const float cx = kSide * unit(rng), cy = kSide * unit(rng), radius = 4 + 20 * unit(rng);
    const float edge = unit(rng) * 2 - 1;
    std::vector<std::uint8_t> px(std::size_t(kSide) * kSide * 4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const float u = x / float(kSide), v = y / float(kSide);
            float rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = base[c] + slope[c][0] * u + slope[c][1] * v + wave[c] * std::sin(7 * u + 5 * v + float(c));
            if (u + edge * v > 0.6f)
                for (float& ch : rgb) ch *= 0.6f;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius) rgb[2] = 255 - rgb[2];
            std::uint8_t* p = &px[(std::size_t(y) * kSide + std::size_t(x)) * 4];
            p[0] = std::uint8_t(rng());
            for (int c = 0; c < 3; ++c) p[1 + c] = std::uint8_t(std::clamp(rgb[c] + grain(rng), 0.0f, 255.0f));
        }
    return px;
}

// Colours evenly spaced on a line and mirrored counts, so that many pairs and refinement
// steps score the same error; the order of first appearance is shuffled.
Block tiedBlock(std::mt19937& rng) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int m = pick(3, 8);
    const int step[3] = {8 * pick(-3, 3), 4 * pick(-3, 3), 8 * pick(-3, 3)};
    int start[3];
    for (int c = 0; c < 3; ++c) {
        const int q = c == 1 ? 4 : 8;
        const int lo = std::max(0, -step[c] * (m - 1)), hi = std::min(255, 255 - step[c] * (m - 1));
        start[c] = lo <= hi ? pick(lo, hi) / q * q : 0;
    }
    std::array<int, 16> which{};
    for (int i = 0; i < 16; ++i) which[std::size_t(i)] = i < 2 * m ? (i < m ? i : 2 * m - 1 - i) : pick(0, m - 1);
    if (pick(0, 1)) for (int i = 2 * m; i < 16; ++i) which[std::size_t(i)] = which[std::size_t(i - 2 * m)];
    std::shuffle(which.begin(), which.end(), rng);
    Block b{};
    for (int i = 0; i < 16; ++i) {
        b[std::size_t(4 * i)] = std::uint8_t(rng());
        for (int c = 0; c < 3; ++c) {
            const int v = std::clamp(start[c] + step[c] * which[std::size_t(i)], 0, 255);
            b[std::size_t(4 * i + 1 + c)] = std::uint8_t(v | (pick(0, 1) ? int(rng() & (c == 1 ? 3 : 7)) : 0));
        }
    }
    return b;
}

// Colours spread over the corners and edges of the cube: poor palettes miss some colour by
// more than the 16-bit lanes hold, and the best palette often does too.
// Channels near 0, near `top` or anywhere up to `top`.
Block spreadBlock(std::mt19937& rng, int top = 255) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Block b{};
    for (int i = 0; i < 16; ++i) {
        b[std::size_t(4 * i)] = std::uint8_t(rng());
        for (int c = 0; c < 3; ++c) {
            const int r = pick(0, 5);
            b[std::size_t(4 * i + 1 + c)] = std::uint8_t(r < 2 ? pick(0, 15) : r < 4 ? pick(top - 15, top) : pick(0, top));
        }
    }
    return b;
}

}  // namespace

TEST(Dxt3Equivalence, BlocksOfNaturalTextures) {
    std::mt19937 rng(31337);
    int sample = 0;
    for (float sigma : {0.0f, 1.5f, 4.0f, 9.0f})
        for (int t = 0; t < 16; ++t) {
            const std::vector<std::uint8_t> px = naturalTexture(rng, sigma);
            for (int by = 0; by < 16; ++by)
                for (int bx = 0; bx < 16; ++bx, ++sample) {
                    Block blk;
                    for (int row = 0; row < 4; ++row)
                        std::memcpy(blk.data() + 16 * row, &px[(std::size_t(4 * by + row) * 64 + std::size_t(4 * bx)) * 4], 16);
                    checkBlock(blk, "natural", sample);
                    if (HasFailure()) return;
                }
        }
}

TEST(Dxt3Equivalence, TiedPalettes) {
    std::mt19937 rng(4242);
    int tiedInBatch = 0;
    for (int k = 0; k < 30000; ++k) {
        const Block blk = tiedBlock(rng);
        checkBlock(blk, "tied", k);
        if (HasFailure()) return;
        if (const Distinct d = distinctOf(blk); d.n >= 3 && tiesWithinEight(d)) ++tiedInBatch;
    }
    // Enough of them tie inside one batch of scored pairs for the order there to be tested.
    EXPECT_GT(tiedInBatch, 300);
}

TEST(Dxt3Equivalence, WideBlocksLeaveTheLanes) {
    // Some of these must really have a best error beyond what signed lanes hold, and some
    // beyond what saturating ones hold, or the wide and the plain-integer scoring would go
    // untested.
    std::mt19937 rng(777);
    int beyondSigned = 0, beyondSaturation = 0;
    for (const int top : {255, 150, 130}) {
        for (int k = 0; k < 3000; ++k) {
            const int err = checkBlock(spreadBlock(rng, top), "spread", k);
            beyondSigned += err > 32768;
            beyondSaturation += err > 65535;
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(beyondSigned - beyondSaturation, 500);
    EXPECT_GT(beyondSaturation, 500);
}

TEST(Dxt3Equivalence, RandomBlocksOfEveryColourCount) {
    std::mt19937 rng(99991);
    for (int n = 1; n <= 16; ++n)
        for (int k = 0; k < 3000; ++k) {
            checkBlock(randomBlock(rng, n), "random", 3000 * (n - 1) + k);
            if (HasFailure()) return;
        }
}

TEST(Dxt3Equivalence, ImagesReadBlocksInPlaceAcrossPaddedRows) {
    // The image encoder hands each variant the block where it lies, rows a pitch apart; the
    // left half is natural texture, the right half spread blocks whose codes need the exact
    // fallback, and the padding bytes between rows must never leak in.
    std::mt19937 rng(2024);
    constexpr int kSide = 64;
    const std::size_t pitch = 4 * kSide + 20;
    const std::vector<std::uint8_t> natural = naturalTexture(rng, 4.0f);
    std::vector<std::uint8_t> image(pitch * kSide, 0xA5);
    for (int y = 0; y < kSide; ++y)
        std::memcpy(&image[std::size_t(y) * pitch], &natural[std::size_t(y) * kSide * 4], kSide * 4 / 2);
    for (int by = 0; by < kSide / 4; ++by)
        for (int bx = kSide / 8; bx < kSide / 4; ++bx) {
            const Block blk = spreadBlock(rng);
            for (int row = 0; row < 4; ++row)
                std::memcpy(&image[std::size_t(4 * by + row) * pitch + 16 * std::size_t(bx)], blk.data() + 16 * row, 16);
        }
    std::vector<std::uint8_t> dxt(kSide * kSide);
    lnd::encodeDxt3Image(image.data(), kSide, kSide, pitch, dxt.data());
    for (int by = 0; by < kSide / 4; ++by)
        for (int bx = 0; bx < kSide / 4; ++bx) {
            Block blk;
            const std::uint8_t* at = &image[std::size_t(4 * by) * pitch + 16 * std::size_t(bx)];
            for (int row = 0; row < 4; ++row) std::memcpy(blk.data() + 16 * row, at + std::size_t(row) * pitch, 16);
            Bytes16 plain{}, variant{};
            referenceEncodeDxt3Block(blk.data(), plain.data());
            const std::size_t b = std::size_t(by * (kSide / 4) + bx);
            EXPECT_TRUE(std::equal(plain.begin(), plain.end(), dxt.begin() + std::ptrdiff_t(16 * b))) << "block " << b;
            lnd::dxt3::encodeBlockPortable(at, pitch, variant.data());
            EXPECT_EQ(variant, plain) << "portable, block " << b;
#if defined(__SSE2__)
            lnd::dxt3::encodeBlockSse2(at, pitch, variant.data());
            EXPECT_EQ(variant, plain) << "SSE2, block " << b;
#endif
#if defined(LND_DXT3_HAVE_AVX2)
            if (hostHasAvx2()) {
                lnd::dxt3::encodeBlockAvx2(at, pitch, variant.data());
                EXPECT_EQ(variant, plain) << "AVX2, block " << b;
            }
            if (hostHasAvx512()) {
                lnd::dxt3::encodeBlockAvx512(at, pitch, variant.data());
                EXPECT_EQ(variant, plain) << "AVX-512, block " << b;
            }
#endif
        }
}

#if defined(LND_DXT3_HAVE_AVX2)
TEST(Dxt3Equivalence, AnyValueOfTheSwitchTurnsTheAvx512VariantOff) {
    // Instruction counters that cannot run AVX-512 code set LND_DXT3_NO_AVX512; an empty
    // value counts as unset. The switch never turns the variant on where the processor lacks it.
    const char* was = std::getenv("LND_DXT3_NO_AVX512");
    const std::optional<std::string> saved = was ? std::optional<std::string>(was) : std::nullopt;
    static constexpr struct {
        const char* value;  // nullptr: unset
        bool off;
    } kCases[] = {{nullptr, false}, {"", false}, {"1", true}, {"0", true}, {"yes", true}};
    for (const auto& c : kCases) {
        if (c.value)
            setenv("LND_DXT3_NO_AVX512", c.value, 1);
        else
            unsetenv("LND_DXT3_NO_AVX512");
        EXPECT_EQ(lnd::dxt3::hostRunsAvx512(), !c.off && hostHasAvx512()) << (c.value ? c.value : "(unset)");
    }
    if (saved)
        setenv("LND_DXT3_NO_AVX512", saved->c_str(), 1);
    else
        unsetenv("LND_DXT3_NO_AVX512");
}
#endif

TEST(Dxt3Equivalence, ThreadsGiveTheBytesOfOneThread) {
    // Sizes whose rows of blocks do not divide evenly among the threads, narrow and tall ones,
    // one too small to be shared, and padded rows; the content is natural texture tiled over
    // spread blocks, so that rows differ in cost.
    struct Case {
        int width, height, pad;
    };
    static constexpr Case kCases[] = {{4, 4, 0},    {8, 12, 4},    {4, 260, 0},   {260, 4, 12},
                                      {68, 52, 0},  {132, 76, 20}, {256, 256, 0}, {516, 36, 8}};
    std::mt19937 rng(8080);
    const std::vector<std::uint8_t> natural = naturalTexture(rng, 4.0f);
    std::vector<std::vector<std::uint8_t>> pixels, single;
    std::vector<lnd::Dxt3Image> batch;
    for (const Case& c : kCases) {
        const std::size_t pitch = std::size_t(4 * c.width + c.pad);
        std::vector<std::uint8_t> image(pitch * std::size_t(c.height), 0x5A);
        for (int by = 0; by < c.height / 4; ++by)
            for (int bx = 0; bx < c.width / 4; ++bx) {
                const Block spread = spreadBlock(rng);
                for (int row = 0; row < 4; ++row) {
                    const int y = 4 * by + row;
                    const std::uint8_t* src = (bx + by) % 3 == 0 ? spread.data() + 16 * row
                                                                 : &natural[(std::size_t(y % 64) * 64 + std::size_t(4 * bx % 64)) * 4];
                    std::memcpy(&image[std::size_t(y) * pitch + 16 * std::size_t(bx)], src, 16);
                }
            }
        std::vector<std::uint8_t> one(std::size_t(c.width) * std::size_t(c.height));
        lnd::encodeDxt3Image(image.data(), c.width, c.height, pitch, one.data(), 1);
        for (int threads : {0, 2, 3, 5, lnd::kDxt3MaxThreads}) {
            std::vector<std::uint8_t> shared(one.size(), 0xEE);
            lnd::encodeDxt3Image(image.data(), c.width, c.height, pitch, shared.data(), threads);
            EXPECT_EQ(shared, one) << c.width << " x " << c.height << " on " << threads << " threads";
        }
        pixels.push_back(std::move(image));
        single.push_back(std::move(one));
    }
    // All the images in one call, with an unencodable one among them that must be left alone.
    std::vector<std::vector<std::uint8_t>> outs;
    for (std::size_t k = 0; k < single.size(); ++k) outs.emplace_back(single[k].size(), 0xEE);
    std::vector<std::uint8_t> untouched(16 * 16, 0x33);
    for (std::size_t k = 0; k < std::size(kCases); ++k) {
        const Case& c = kCases[k];
        batch.push_back({pixels[k].data(), c.width, c.height, std::size_t(4 * c.width + c.pad), outs[k].data()});
        if (k == 3) batch.push_back({pixels[k].data(), 6, 8, std::size_t(4 * c.width + c.pad), untouched.data()});
    }
    for (int threads : {1, 0, 3}) {
        lnd::encodeDxt3Images(batch, threads);
        for (std::size_t k = 0; k < single.size(); ++k)
            EXPECT_EQ(outs[k], single[k]) << "image " << k << " of the batch on " << threads << " threads";
        EXPECT_EQ(untouched, std::vector<std::uint8_t>(16 * 16, 0x33));
        for (auto& o : outs) std::fill(o.begin(), o.end(), 0xEE);
    }
    // The compressor's batch: each compressor as if it had compressed its own image.
    lnd::CImage32 square(256, 256), strip(260, 4), odd(6, 8);
    std::memcpy(square.pixels(), pixels[6].data(), pixels[6].size());
    for (int y = 0; y < 4; ++y) std::memcpy(strip.pixel(0, y), &pixels[3][std::size_t(y) * (4 * 260 + 12)], 4 * 260);
    const lnd::CImage32* images[] = {&square, &odd, &strip};
    std::vector<lnd::CTextureCompressor> compressors(3);
    EXPECT_EQ(lnd::CTextureCompressor::CompressAll(images, compressors), -1);
    EXPECT_EQ(std::vector<std::uint8_t>(compressors[0].data(), compressors[0].data() + compressors[0].size()), single[6]);
    EXPECT_EQ(compressors[1].size(), 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(compressors[2].data(), compressors[2].data() + compressors[2].size()), single[3]);
    EXPECT_EQ(compressors[2].width(), 260);
}
