#include "block_samples.h"
#include "dxt3_reference.h"
#include "codec/dxt3.h"
#include "codec/texture_compressor.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <vector>

using namespace lndtest;

namespace {

using Bytes16 = std::array<std::uint8_t, 16>;

Block solid(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Block blk{};
    for (int i = 0; i < 16; ++i) {
        blk[std::size_t(4 * i)] = a;
        blk[std::size_t(4 * i + 1)] = r;
        blk[std::size_t(4 * i + 2)] = g;
        blk[std::size_t(4 * i + 3)] = b;
    }
    return blk;
}

void setPixel(Block& blk, int i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    blk[std::size_t(4 * i + 1)] = r;
    blk[std::size_t(4 * i + 2)] = g;
    blk[std::size_t(4 * i + 3)] = b;
}

Bytes16 encode(const Block& blk) {
    Bytes16 out{};
    lnd::encodeDxt3Block(blk.data(), out.data());
    return out;
}

std::uint16_t color0(const Bytes16& b) { return std::uint16_t(b[8] | b[9] << 8); }
std::uint16_t color1(const Bytes16& b) { return std::uint16_t(b[10] | b[11] << 8); }
std::uint32_t codes(const Bytes16& b) { return std::uint32_t(b[12] | b[13] << 8 | b[14] << 16 | std::uint32_t(b[15]) << 24); }

}  // namespace

TEST(Dxt3Encoder, OneColourAndAlpha) {
    const Bytes16 out = encode(solid(255, 0x84, 0x47, 0xFF));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[std::size_t(i)], 0xFF);
    EXPECT_EQ(color0(out), (0x84 >> 3) << 11 | (0x47 >> 2) << 5 | (0xFF >> 3));
    EXPECT_EQ(color1(out), 0);
    EXPECT_EQ(codes(out), 0u);

    const Bytes16 black = encode(solid(0x80, 0, 0, 0));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(black[std::size_t(i)], 0x88);
    EXPECT_EQ(color0(black), 0);
    EXPECT_EQ(color1(black), 0);

    // Each pixel keeps the top four bits of its own alpha, pixel j of row r in word r.
    Block ramp = solid(0, 1, 2, 3);
    for (int i = 0; i < 16; ++i) ramp[std::size_t(4 * i)] = std::uint8_t(i << 4 | 0x0F);
    const Bytes16 r = encode(ramp);
    const Bytes16 expectedAlpha = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(r[std::size_t(i)], expectedAlpha[std::size_t(i)]);
}

TEST(Dxt3Encoder, TwoColoursKeepOrderOfAppearance) {
    // The darker colour comes first: it still becomes color0, and pixels are coded 0 and 1 only.
    Block blk = solid(255, 0x10, 0x20, 0x30);
    for (int i : {1, 6, 7, 15}) setPixel(blk, i, 0xF3, 0xE1, 0xD7);
    setPixel(blk, 2, 0x17, 0x23, 0x37);  // same 5:6:5 colour as the first
    const Bytes16 out = encode(blk);
    EXPECT_EQ(color0(out), (0x10 >> 3) << 11 | (0x20 >> 2) << 5 | (0x30 >> 3));
    EXPECT_EQ(color1(out), (0xF3 >> 3) << 11 | (0xE1 >> 2) << 5 | (0xD7 >> 3));
    EXPECT_EQ(codes(out), 1u << 2 | 1u << 12 | 1u << 14 | 1u << 30);
}

TEST(Dxt3Encoder, GoldenThreeColourBlockIsRefinedAndReversed) {
    // Six black, four red 120 and six red 248 pixels. The pair search keeps (0, 248); the
    // red refinement with exact thirds moves the ends to 8 and 252; since 8 packs below 252
    // the palette is reversed.
    Block blk = solid(255, 0, 0, 0);
    for (int i = 6; i < 10; ++i) setPixel(blk, i, 120, 0, 0);
    for (int i = 10; i < 16; ++i) setPixel(blk, i, 248, 0, 0);
    const Bytes16 expected = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                              0x00, 0xF8, 0x00, 0x08, 0x55, 0xF5, 0x0F, 0x00};
    EXPECT_EQ(encode(blk), expected);
    Bytes16 ref{};
    referenceEncodeDxt3Block(blk.data(), ref.data());
    EXPECT_EQ(ref, expected);
}

TEST(Dxt3Encoder, NeverLeavesAThreeColourBlock) {
    // With three or more colours the block is always in four-colour order (or degenerate with
    // all codes 0), so every decoder shows the same picture.
    std::mt19937 rng(7);
    for (int n = 3; n <= 16; ++n)
        for (int k = 0; k < 200; ++k) {
            const Bytes16 out = encode(randomBlock(rng, n));
            EXPECT_TRUE(color0(out) > color1(out) || codes(out) == 0u) << n;
        }
}

TEST(Dxt3Encoder, MatchesPlainAlgorithmOnRandomBlocks) {
    std::mt19937 rng(2024);
    for (int n = 1; n <= 16; ++n)
        for (int k = 0; k < 1500; ++k) {
            const Block blk = randomBlock(rng, n);
            Bytes16 ref{};
            referenceEncodeDxt3Block(blk.data(), ref.data());
            ASSERT_EQ(encode(blk), ref) << "distinct colours " << n << ", sample " << k;
        }
}

TEST(Dxt3Decoder, MatchesSquishOnArbitraryBlocks) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int k = 0; k < 5000; ++k) {
        Bytes16 in{};
        for (auto& b : in) b = std::uint8_t(byte(rng));
        if (k % 3 == 0) std::swap(in[8], in[10]);  // plenty of color0 <= color1 cases too
        std::uint8_t ours[64];
        std::uint8_t theirs[64];
        lnd::decodeDxt3Block(in.data(), ours);
        squish::Decompress(theirs, in.data(), squish::kDxt3);
        for (int i = 0; i < 16; ++i) {
            ASSERT_EQ(ours[4 * i + 1], theirs[4 * i + 0]) << k;
            ASSERT_EQ(ours[4 * i + 2], theirs[4 * i + 1]) << k;
            ASSERT_EQ(ours[4 * i + 3], theirs[4 * i + 2]) << k;
            ASSERT_EQ(ours[4 * i + 0], theirs[4 * i + 3]) << k;
        }
    }
}

TEST(Dxt3Image, BlockOrderPitchAndCompressor) {
    // 8 x 8 image in a buffer with a wider pitch; block (bx, by) holds its own solid colour.
    const int w = 8, h = 8;
    const std::size_t pitch = 4 * w + 12;
    std::vector<std::uint8_t> pixels(pitch * h, 0xEE);
    lnd::CImage32 image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Values that survive 5:6:5 exactly, so decoding gives the pixels back.
            const std::uint8_t v[4] = {255, std::uint8_t(0x84 * (x / 4)), std::uint8_t(0x82 * (y / 4)), 8};
            std::copy(v, v + 4, &pixels[std::size_t(y) * pitch + 4 * std::size_t(x)]);
            std::copy(v, v + 4, image.pixel(x, y));
        }
    std::vector<std::uint8_t> dxt(w * h);
    lnd::encodeDxt3Image(pixels.data(), w, h, pitch, dxt.data());
    for (int b = 0; b < 4; ++b) {
        const std::uint8_t* blk = &dxt[16 * std::size_t(b)];
        const int bx = b % 2, by = b / 2;
        EXPECT_EQ(blk[8] | blk[9] << 8, (0x84 * bx >> 3) << 11 | (0x82 * by >> 2) << 5 | 1) << b;
    }
    lnd::CTextureCompressor compressor;
    ASSERT_EQ(compressor.Compress(image), 0);
    ASSERT_EQ(compressor.size(), std::size_t(w * h));
    EXPECT_TRUE(std::equal(dxt.begin(), dxt.end(), compressor.data()));

    std::vector<std::uint8_t> back(pitch * h, 0x11);
    lnd::decodeDxt3Image(dxt.data(), w, h, back.data(), pitch);
    for (int y = 0; y < h; ++y) {
        EXPECT_TRUE(std::equal(back.begin() + std::ptrdiff_t(y * pitch), back.begin() + std::ptrdiff_t(y * pitch + 4 * w),
                               pixels.begin() + std::ptrdiff_t(y * pitch)));
        EXPECT_EQ(back[y * pitch + 4 * w], 0x11);  // the pitch gap is left alone
    }

    compressor.release();
    EXPECT_EQ(compressor.size(), 0u);
    EXPECT_EQ(compressor.Compress(lnd::CImage32(6, 8)), -1);
    EXPECT_EQ(compressor.Compress(lnd::CImage32(0, 0)), -1);
    EXPECT_EQ(compressor.size(), 0u);
}
