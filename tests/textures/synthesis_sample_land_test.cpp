#include "format/lnd_file.h"
#include "codec/dxt3.h"
#include "tools/sample_land.h"
#include "textures/synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace lnd;

TEST(SynthesisSampleLand, AValidIslandWithSeaCoastAndHeights) {
    const auto image = makeSampleLand({7, 5});
    LndView view;
    ASSERT_TRUE(view.open(image));
    EXPECT_EQ(view.blockCount(), 25);
    EXPECT_EQ(view.layout().numLoResTextures, 4u);
    EXPECT_EQ(view.layout().numCountries, kSampleCountryCount);
    EXPECT_EQ(view.layout().numMaterials, kSampleMaterialCount);
    int fullWater = 0, coast = 0, high = 0;
    for (int b = 0; b < view.blockCount(); ++b) {
        const TLndBlock& blk = view.block(b);
        EXPECT_EQ(view.header().BlockIndex[std::int32_t(blk.GridX)][std::int32_t(blk.GridZ)], b + 1);
        EXPECT_EQ(float(blk.MapX), 160.0f * float(std::int32_t(blk.GridX)));
        EXPECT_GE(blk.LoResX, 0);
        EXPECT_LE(blk.LoResX, 192);
        EXPECT_LT(blk.LoResTexture, 4);
        for (const auto& row : blk.Cells)
            for (const TLndCell& c : row) {
                fullWater += c.has(kFullWater);
                coast += c.has(kCoast);
                high += c.Altitude > 120;
                EXPECT_LT(c.countryIndex(), kSampleCountryCount);
            }
    }
    EXPECT_GT(fullWater, 0);
    EXPECT_GT(coast, 0);
    EXPECT_GT(high, 0);
    // Shared cells of neighbouring blocks agree.
    const TLndBlock& a = view.block(0);
    const TLndBlock& b = view.block(1);   // the next square in z
    for (int i = 0; i < 17; ++i) EXPECT_EQ(a.Cells[i][16].Altitude, b.Cells[i][0].Altitude);
}

TEST(SynthesisSampleLand, LowResTilesFollowTheSynthesizedBlocks) {
    const auto image = makeSampleLand({3, 4});
    LndView view;
    ASSERT_TRUE(view.open(image));
    const LndParts parts = partsOf(view);
    std::vector<std::uint8_t> texels(kBlockTexelBytes), decoded(256 * 256 * 4);
    decodeDxt3Image(view.loRes(0).Data, 256, 256, decoded.data(), 1024);
    const TLndBlock& blk = view.block(5);
    synthesizeBlockTexels(blk, parts.countries, parts.materials, view.noiseMap(), SeaAlphas{}, texels.data());
    // The tile is the block point-sampled 4:1 (at some phase), then DXT3-compressed.
    double best = 1e9;
    for (int o = 0; o < 4; ++o) {
        double err = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    // decoded: alpha, red, green, blue; texels: blue, green, red, alpha
                    err += std::abs(int(decoded[4 * (256 * (blk.LoResY + y) + blk.LoResX + x) + 1 + ch]) -
                                    int(texels[4 * (256 * (4 * y + o) + 4 * x + o) + 2 - ch]));
        best = std::min(best, err / (64.0 * 64.0 * 3.0));
    }
    EXPECT_LT(best, 6.0);
}

TEST(SynthesisSampleLand, DeterministicAndBounded) {
    EXPECT_EQ(makeSampleLand({9, 2}), makeSampleLand({9, 2}));
    EXPECT_NE(makeSampleLand({9, 2}), makeSampleLand({10, 2}));
    std::string error;
    EXPECT_TRUE(makeSampleLand({1, 0}, &error).empty());
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(makeSampleLand({1, kMaxSampleLandSize + 1}).empty());
}
