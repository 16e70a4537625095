#include "base/messages.h"
#include "base/settings.h"
#include "d3dframework/texture.h"
#include "land/land.h"
#include "support/land_builder.h"
#include "codec/bmp_writer.h"
#include "textures/exports.h"
#include "textures/synthesis.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lnd;
using lndtest::LandBuilder;

namespace {

// A land in the model with settings that export into a temporary tree.
struct LandFixture {
    lndtest::TempDir dir;
    RecordingMessages messages;
    std::unique_ptr<CSettings> settings;
    CLand land;

    explicit LandFixture(std::vector<std::uint8_t> image, bool exports = false) {
        const std::string xml =
            exports ? "<settings><exports rootDirectory=\"" + dir.path() +
                          "/exp/\"><materials subdirectory=\"mat\"/><noiseMap subdirectory=\"noise\"/>"
                          "<bumpMap subdirectory=\"bump\"/><loresTextures subdirectory=\"lores\"/></exports></settings>"
                    : "<settings/>";
        lndtest::writeBytes(dir.file("s.xml"), std::vector<std::uint8_t>(xml.begin(), xml.end()));
        settings = std::make_unique<CSettings>(messages, dir.file("s.xml"));
        EXPECT_TRUE(land.adoptImage(std::move(image)));
        land.m_settings = settings.get();
        land.m_messages = &messages;
        land.m_exportRoot = settings->GetValue("exportRoot");
        land.m_landPath = "D:\\lands\\Isle2.lnd";
    }
};

std::vector<std::uint8_t> level0(const TextureHandle& t) {
    return {t->levelBytes(0), t->levelBytes(0) + t->levelByteSize(0)};
}

}  // namespace

TEST(SynthesisLand, LowResRecordsAreAFixedStrideApart) {
    auto image = LandBuilder().loResTextures(2).block(0, 0).build();
    // A DdsSize that is not 65664 must not move the next record.
    recordAt<TLndLoResTex>(image.data(), kHeaderSize)->DdsSize = 200;
    LandFixture f(image);
    LoadLoResTextures(f.land);
    ASSERT_EQ(f.land.textures().loRes().size(), 2u);
    ASSERT_TRUE(f.land.textures().loRes().has(1));
    const TLndLoResTex& second = f.land.loResTex()[1];
    EXPECT_EQ(level0(f.land.textures().loRes().at(1)), std::vector<std::uint8_t>(second.Data, second.Data + kLoResDataSize));
    // the file image keeps its DdsSize
    EXPECT_EQ(f.land.loResTex()[0].DdsSize, 200);
}

TEST(SynthesisLand, BlockTextureAndItsTile) {
    LandFixture f(LandBuilder().loResTextures(1).countries(2).materials(3).block(0, 0).block(1, 0).build());
    LoadLoResTextures(f.land);
    const auto before = level0(f.land.textures().loRes().at(0));
    ASSERT_EQ(SynthesizeBlockTexture(f.land, 1), 0);
    EXPECT_TRUE(f.land.m_textureError.empty());
    ASSERT_TRUE(f.land.textures().blocks().exists());
    EXPECT_EQ(f.land.textures().blocks().size(), 2u);
    EXPECT_FALSE(f.land.textures().blocks().has(0));
    ASSERT_TRUE(f.land.textures().blocks().has(1));

    // The scratch image holds exactly what the kernel makes.
    std::vector<std::uint8_t> want(kBlockTexelBytes);
    const SeaParms& sea = f.land.m_seaParms;
    synthesizeBlockTexels(f.land.blocks()[1], f.land.countries(), f.land.materials(), *f.land.noiseMap(),
                          {sea.alphaCoast, sea.alphaWater, sea.alphaFullWater}, want.data());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), f.land.textures().scratch().begin() + kBlockImageHeaderSize));

    // Only the DXT3 blocks of the block's 64 x 64 tile changed.
    const TLndBlock& blk = f.land.blocks()[1];
    const auto after = level0(f.land.textures().loRes().at(0));
    int changedInside = 0;
    for (int by = 0; by < 64; ++by)
        for (int bx = 0; bx < 64; ++bx) {
            const bool inside = bx * 4 >= blk.LoResX && bx * 4 < blk.LoResX + 64 && by * 4 >= blk.LoResY &&
                                by * 4 < blk.LoResY + 64;
            const std::size_t at = std::size_t(by) * 1024 + std::size_t(bx) * 16;
            const bool same = std::equal(before.begin() + at, before.begin() + at + 16, after.begin() + at);
            if (!inside) ASSERT_TRUE(same) << "block " << bx << "," << by;
            else changedInside += !same;
        }
    EXPECT_GT(changedInside, 0);

    // Remaking the low-resolution textures (a device reset) keeps the block texture and
    // gives the remade texture the block's tile again.
    const DeviceTexture* kept = f.land.textures().blocks().at(1).get();
    LoadLoResTextures(f.land);
    EXPECT_EQ(f.land.textures().blocks().at(1).get(), kept);
    EXPECT_EQ(level0(f.land.textures().loRes().at(0)), after);
    EXPECT_EQ(SynthesizeBlockTexture(f.land, 2), -1);
    EXPECT_EQ(SynthesizeBlockTexture(f.land, -1), -1);
}

TEST(SynthesisLand, TilesFromCarelessFilesWriteNothing) {
    LandFixture f(LandBuilder()
                      .loResTextures(1)
                      .block(0, 0, [](TLndBlock& b) { b.LoResTexture = 5; })
                      .block(1, 0, [](TLndBlock& b) { b.LoResX = 250; })
                      .block(2, 0, [](TLndBlock& b) { b.LoResY = -64; })
                      .build());
    LoadLoResTextures(f.land);
    const auto before = level0(f.land.textures().loRes().at(0));
    for (int b = 0; b < 3; ++b) EXPECT_EQ(SynthesizeBlockTexture(f.land, b), 0);
    EXPECT_EQ(level0(f.land.textures().loRes().at(0)), before);
    EXPECT_TRUE(f.land.textures().blocks().has(2));   // the block texture itself is still made
    EXPECT_EQ(f.messages.count(), 0u);

    // No low-resolution textures at all.
    LandFixture none(LandBuilder().loResTextures(0).block(0, 0).build());
    LoadLoResTextures(none.land);
    EXPECT_EQ(SynthesizeBlockTexture(none.land, 0), 0);
    EXPECT_TRUE(none.land.textures().blocks().has(0));
}

TEST(SynthesisExports, LandNames) {
    std::string name;
    EXPECT_TRUE(landNameOf("D:\\lands\\Isle2.lnd", name));
    EXPECT_EQ(name, "Isle2");
    EXPECT_TRUE(landNameOf("/home/me/lands/Isle3.lnd", name));
    EXPECT_EQ(name, "Isle3");
    EXPECT_TRUE(landNameOf("mixed/a\\b.lnd", name));
    EXPECT_EQ(name, "b");
    EXPECT_TRUE(landNameOf("plain.lnd", name));
    EXPECT_EQ(name, "plain");
    EXPECT_TRUE(landNameOf("dir/noext", name));
    EXPECT_EQ(name, "");
    EXPECT_FALSE(landNameOf("\\isle.lnd", name));
    EXPECT_FALSE(landNameOf(".lnd", name));
}

TEST(SynthesisExports, FirstSynthesisWritesTheExportTree) {
    LandFixture f(LandBuilder().loResTextures(2).countries(2).materials(2).block(0, 0).build(), true);
    LoadLoResTextures(f.land);
    ASSERT_EQ(SynthesizeBlockTexture(f.land, 0), 0);
    const std::string dir = f.dir.path() + "/exp/Isle2/";
    EXPECT_EQ(f.land.m_exportDir, dir);
    for (const char* p : {"mat/Material0.bmp", "mat/Material1.bmp", "mat/countries.xml", "noise/Noise.bmp",
                          "bump/bump.bmp", "lores/LRTexture0.bmp", "lores/LRTexture1.bmp"})
        EXPECT_TRUE(std::filesystem::exists(dir + p)) << p;
    EXPECT_TRUE(f.land.m_materialsExported && f.land.m_noiseExported && f.land.m_bumpExported);
    const auto xml = lndtest::readBytes(dir + "mat/countries.xml");
    EXPECT_EQ(std::string(xml.begin(), xml.begin() + 13), "<countries>\r\n");

    // A material's picture: channel * 8, written as a 24-bit BMP.
    const auto bmp = lndtest::readBytes(dir + "mat/Material1.bmp");
    ASSERT_GT(bmp.size(), 54u + 3);
    const std::uint32_t dataOffset = loadU32(&bmp[10]);
    const std::uint16_t texel = f.land.materials()[1].Texels[255][0];   // bottom row comes first
    EXPECT_EQ(bmp[dataOffset + 0], expandChannel5(texel));
    EXPECT_EQ(bmp[dataOffset + 1], expandChannel5(texel >> 5));
    EXPECT_EQ(bmp[dataOffset + 2], expandChannel5(texel >> 10));

    // A path whose only separator comes first exports nothing.
    LandFixture g(LandBuilder().materials(1).block(0, 0).build(), true);
    g.land.m_landPath = "\\isle.lnd";
    SynthesizeBlockTexture(g.land, 0);
    EXPECT_FALSE(std::filesystem::exists(g.dir.path() + "/exp/isle"));
    EXPECT_TRUE(g.land.m_exportDir.empty());
}

TEST(SynthesisExports, NoiseImport) {
    LandFixture f(LandBuilder().block(0, 0).build());
    SynthesizeBlockTexture(f.land, 0);
    ASSERT_TRUE(f.land.textures().blocks().has(0));
    const std::vector<std::uint8_t> original(&f.land.noiseMap()->Values[0][0], &f.land.noiseMap()->Values[0][0] + 65536);

    // 256 x 128: refused, nothing changes
    std::vector<std::uint8_t> px(256 * 128 * 4, 0xFF);
    lndtest::writeBytes(f.dir.file("half.bmp"), encodeBmp(px.data(), 256, 128, 1024, PixelOrder::Argb, 24));
    EXPECT_EQ(ImportNoiseMap(f.land, f.dir.file("half.bmp")), -1);
    ASSERT_EQ(f.messages.count(), 1u);
    EXPECT_EQ(f.messages.entries()[0].kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(f.messages.entries()[0].text,
              "The bitmap " + f.dir.file("half.bmp") + " doesnt have the  correct format for this function");
    EXPECT_TRUE(f.land.textures().blocks().has(0));
    EXPECT_FALSE(f.land.m_modified);

    // not an image at all
    lndtest::writeBytes(f.dir.file("junk.bmp"), {1, 2, 3});
    EXPECT_EQ(ImportNoiseMap(f.land, f.dir.file("junk.bmp")), -1);
    EXPECT_EQ(f.messages.entries()[1].kind, RecordingMessages::Kind::Error);
    EXPECT_EQ(f.messages.entries()[1].text, "the bitmap doesnt have the correct format to be used as noise bitmap");
    EXPECT_TRUE(std::equal(original.begin(), original.end(), &f.land.noiseMap()->Values[0][0]));

    // pure white: 765 / 3 = 255 everywhere, not a wrapped sum
    px.assign(256 * 256 * 4, 0xFF);
    lndtest::writeBytes(f.dir.file("white.bmp"), encodeBmp(px.data(), 256, 256, 1024, PixelOrder::Argb, 24));
    EXPECT_EQ(ImportNoiseMap(f.land, f.dir.file("white.bmp")), 0);
    EXPECT_EQ(f.land.noiseMap()->Values[0][0], 255);
    EXPECT_EQ(f.land.noiseMap()->Values[200][17], 255);
    EXPECT_FALSE(f.land.textures().blocks().has(0));
    EXPECT_TRUE(f.land.m_modified);

    // a paletted grey picture goes through its palette; row 0 is the top row
    std::vector<std::uint8_t> grey(256 * 256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) grey[std::size_t(r) * 256 + c] = std::uint8_t(r ^ c);
    lndtest::writeBytes(f.dir.file("grey.bmp"), encodeGreyBmp(grey.data(), 256, 256, 256));
    EXPECT_EQ(ImportNoiseMap(f.land, f.dir.file("grey.bmp")), 0);
    EXPECT_EQ(f.land.noiseMap()->Values[3][250], 3 ^ 250);
    EXPECT_EQ(f.land.noiseMap()->Values[255][0], 255);
}
