#include "base/file_io_faults.h"
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

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

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
        land.setExportSettings(readExportSettings(*settings));
        land.setExportRoot(settings->GetValue("exportRoot"));
        land.setPath("D:\\lands\\Isle2.lnd");
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
    EXPECT_TRUE(f.land.textureError().empty());
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
    EXPECT_EQ(f.land.exportDir(), dir);
    for (const char* p : {"mat/Material0.bmp", "mat/Material1.bmp", "mat/countries.xml", "noise/Noise.bmp",
                          "bump/bump.bmp", "lores/LRTexture0.bmp", "lores/LRTexture1.bmp"})
        EXPECT_TRUE(std::filesystem::exists(dir + p)) << p;
    EXPECT_TRUE(f.land.materialsExported() && f.land.noiseExported() && f.land.bumpExported());
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
    g.land.setPath("\\isle.lnd");
    SynthesizeBlockTexture(g.land, 0);
    EXPECT_FALSE(std::filesystem::exists(g.dir.path() + "/exp/isle"));
    EXPECT_TRUE(g.land.exportDir().empty());
}

// Every export writes what it can and returns the first failure with its reason: folders
// that cannot be made, files that cannot be written (a folder in the way, a full disk through
// the fault seam), a land without a name. Run as root, so a regular file stands in the way
// where permissions would not.
TEST(SynthesisExports, FailuresAreReportedWithTheReasonAndTheRestIsWritten) {
    namespace fs = std::filesystem;
    enum Which { Materials, Noise, Bump, LoRes };
    const char* const kAll[] = {"mat/Material0.bmp", "mat/Material1.bmp", "mat/countries.xml", "noise/Noise.bmp",
                                "bump/bump.bmp",     "lores/LRTexture0.bmp", "lores/LRTexture1.bmp"};
    struct Case {
        const char* name;
        std::function<void(const std::string& exp, CLand&)> arrange;   // exp: the export root
        std::vector<Which> failing;
        Status status;
        int systemError;                       // 0: none behind it
        std::string reason;                    // part of the message
        std::vector<std::string> unwritten;    // under the land's folder; every other file is written
    };
    const auto file = [](const std::string& path) { lndtest::writeBytes(path, {'x'}); };
    const auto folder = [](const std::string& path) { fs::create_directories(path); };
    const Case cases[] = {
        {"root is a file", [&](const std::string& exp, CLand&) { file(exp.substr(0, exp.size() - 1)); },
         {Materials, Noise, Bump, LoRes}, Status::CannotCreate, EEXIST, "exp/: a file of that name is in the way",
         {kAll, kAll + 7}},
        {"the land's folder is a file", [&](const std::string& exp, CLand&) { folder(exp); file(exp + "Isle2"); },
         {Materials, Noise, Bump, LoRes}, Status::CannotCreate, EEXIST, "Isle2/: a file of that name is in the way",
         {kAll, kAll + 7}},
        {"material folder is a file", [&](const std::string& exp, CLand&) { folder(exp + "Isle2"); file(exp + "Isle2/mat"); },
         {Materials}, Status::CannotCreate, EEXIST, "Isle2/mat/: a file of that name",
         {"mat/Material0.bmp", "mat/Material1.bmp", "mat/countries.xml"}},
        {"a folder where the first material goes", [&](const std::string& exp, CLand&) { folder(exp + "Isle2/mat/Material0.bmp"); },
         {Materials}, Status::CannotCreate, 0, "Material0.bmp: it is a directory", {"mat/Material0.bmp"}},
        {"a folder where countries.xml goes", [&](const std::string& exp, CLand&) { folder(exp + "Isle2/mat/countries.xml"); },
         {Materials}, Status::CannotCreate, 0, "countries.xml: it is a directory", {"mat/countries.xml"}},
        {"a full disk for the first write", [](const std::string&, CLand&) { injectIoFault(IoStep::Write, 1, ENOSPC); },
         {Materials}, Status::IoFailed, ENOSPC, "Material0.bmp: No space left on device", {"mat/Material0.bmp"}},
        {"noise folder is a file", [&](const std::string& exp, CLand&) { folder(exp + "Isle2"); file(exp + "Isle2/noise"); },
         {Noise}, Status::CannotCreate, EEXIST, "noise/: a file of that name", {"noise/Noise.bmp"}},
        // Renames: three under mat, then Noise.bmp, then bump.bmp.
        {"a failing rename of the bump map", [](const std::string&, CLand&) { injectIoFault(IoStep::Rename, 5, EIO); },
         {Bump}, Status::IoFailed, EIO, "bump.bmp: Input/output error", {"bump/bump.bmp"}},
        {"a folder where a low-resolution picture goes",
         [&](const std::string& exp, CLand&) { folder(exp + "Isle2/lores/LRTexture0.bmp"); }, {LoRes}, Status::CannotCreate,
         0, "LRTexture0.bmp: it is a directory", {"lores/LRTexture0.bmp"}},
        {"no land name", [](const std::string&, CLand& land) { land.setPath("\\isle.lnd"); },
         {Materials, Noise, Bump, LoRes}, Status::NotPossible, 0, "no land name", {kAll, kAll + 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LandFixture f(LandBuilder().loResTextures(2).countries(2).materials(2).block(0, 0).build(), true);
        const std::string exp = f.dir.path() + "/exp/";
        clearIoFaults();
        c.arrange(exp, f.land);
        const Result results[] = {ExportMaterials(f.land), ExportNoiseMap(f.land), ExportBumpMap(f.land),
                                  ExportLoResTextures(f.land)};
        clearIoFaults();
        for (int w = Materials; w <= LoRes; ++w) {
            const Result& r = results[w];
            if (std::find(c.failing.begin(), c.failing.end(), Which(w)) == c.failing.end()) {
                EXPECT_TRUE(r) << w << ": " << r.message();
                continue;
            }
            EXPECT_EQ(r.status(), c.status) << r.message();
            EXPECT_EQ(r.systemError(), c.systemError) << r.message();
            EXPECT_NE(r.message().find(c.reason), std::string::npos) << r.message();
        }
        for (const char* p : kAll) {
            const bool unwritten = std::find(c.unwritten.begin(), c.unwritten.end(), p) != c.unwritten.end();
            EXPECT_EQ(fs::is_regular_file(exp + "Isle2/" + p), !unwritten) << p;
        }
        EXPECT_EQ(f.messages.count(), 0u) << "exports never speak";
    }
}

TEST(SynthesisExports, NoiseImport) {
    LandFixture f(LandBuilder().block(0, 0).build());
    SynthesizeBlockTexture(f.land, 0);
    ASSERT_TRUE(f.land.textures().blocks().has(0));
    const std::vector<std::uint8_t> original(&f.land.noiseMap()->Values[0][0], &f.land.noiseMap()->Values[0][0] + 65536);

    // 256 x 128: refused, nothing changes
    std::vector<std::uint8_t> px(256 * 128 * 4, 0xFF);
    lndtest::writeBytes(f.dir.file("half.bmp"), encodeBmp(px.data(), 256, 128, 1024, PixelOrder::Argb, 24));
    const Result half = ImportNoiseMap(f.land, f.dir.file("half.bmp"));
    EXPECT_EQ(half.status(), Status::BadInput);
    EXPECT_NE(half.message().find("256 x 128"), std::string::npos) << half.message();
    const NoiseRefusalText halfText = noiseRefusalText(half, f.dir.file("half.bmp"));
    EXPECT_FALSE(halfText.errorIcon);   // a plain box
    EXPECT_EQ(halfText.text, "The bitmap " + f.dir.file("half.bmp") + " doesnt have the  correct format for this function");
    EXPECT_TRUE(f.land.textures().blocks().has(0));
    EXPECT_FALSE(f.land.modified());

    // not an image at all, and no file at all: the unreadable text with the error icon
    lndtest::writeBytes(f.dir.file("junk.bmp"), {1, 2, 3});
    const Result junk = ImportNoiseMap(f.land, f.dir.file("junk.bmp"));
    EXPECT_EQ(junk.status(), Status::BadInput);
    const Result missing = ImportNoiseMap(f.land, f.dir.file("missing.tga"));
    EXPECT_EQ(missing.status(), Status::IoFailed);
    EXPECT_NE(missing.message().find("No such file or directory"), std::string::npos) << missing.message();
    for (const Result& r : {junk, missing}) {
        const NoiseRefusalText text = noiseRefusalText(r, "x.bmp");
        EXPECT_TRUE(text.errorIcon);
        EXPECT_EQ(text.text, "the bitmap doesnt have the correct format to be used as noise bitmap");
    }
    EXPECT_EQ(f.messages.count(), 0u) << "the core shows nothing";
    EXPECT_TRUE(std::equal(original.begin(), original.end(), &f.land.noiseMap()->Values[0][0]));
    EXPECT_TRUE(noiseRefusalText(Result::success(), "x.bmp").text.empty());

    // pure white: 765 / 3 = 255 everywhere, not a wrapped sum
    px.assign(256 * 256 * 4, 0xFF);
    lndtest::writeBytes(f.dir.file("white.bmp"), encodeBmp(px.data(), 256, 256, 1024, PixelOrder::Argb, 24));
    EXPECT_TRUE(ImportNoiseMap(f.land, f.dir.file("white.bmp")));
    EXPECT_EQ(f.land.noiseMap()->Values[0][0], 255);
    EXPECT_EQ(f.land.noiseMap()->Values[200][17], 255);
    EXPECT_FALSE(f.land.textures().blocks().has(0));
    EXPECT_TRUE(f.land.modified());

    // a paletted grey picture goes through its palette; row 0 is the top row
    std::vector<std::uint8_t> grey(256 * 256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) grey[std::size_t(r) * 256 + c] = std::uint8_t(r ^ c);
    lndtest::writeBytes(f.dir.file("grey.bmp"), encodeGreyBmp(grey.data(), 256, 256, 256));
    EXPECT_TRUE(ImportNoiseMap(f.land, f.dir.file("grey.bmp")));
    EXPECT_EQ(f.land.noiseMap()->Values[3][250], 3 ^ 250);
    EXPECT_EQ(f.land.noiseMap()->Values[255][0], 255);
}
