#include "codec/grey_image.h"
#include "codec/png_writer.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <filesystem>

using lndtest::ProgramResult;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

ProgramResult lndtool(const std::vector<std::string>& args) { return lndtest::runLndtool(args); }

}  // namespace

TEST(LndtoolHeightmap, ExportImportRoundTripsAndRenderMapWrites) {
    TempDir dir;
    const std::string land = dir.file("isle.lnd");
    ASSERT_EQ(lndtool({"new", "-o", land, "--size", "4", "--seed", "5"}).exitCode, 0);
    for (const char* bits : {"8", "16"}) {
        SCOPED_TRACE(bits);
        const std::string png = dir.file(std::string("h") + bits + ".png");
        ProgramResult r = lndtool({"heightmap", "export", land, "-o", png, "--bits", bits});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        lnd::GreyImage picture;
        const lnd::Result read = lnd::readGreyImageFile(png, picture);
        ASSERT_TRUE(read) << read.message();
        EXPECT_EQ(picture.bits, std::atoi(bits));
        EXPECT_EQ(picture.width, 65);
        EXPECT_EQ(picture.height, 65);
        EXPECT_TRUE(std::filesystem::exists(png + ".txt"));
        // Reimported unchanged: the same file, byte for byte.
        r = lndtool({"heightmap", "import", land, png, "-o", dir.file("back.lnd"), "--exact"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readBytes(dir.file("back.lnd")), readBytes(land));
    }
    // Resampled to twice the size and back with the range squeezed: the land changes.
    lnd::GreyImage big;
    big.width = 130;
    big.height = 130;
    big.values.assign(130 * 130, 200);
    lndtest::writeBytes(dir.file("big.png"), lnd::encodePngGrey(big));
    ProgramResult r = lndtool({"heightmap", "import", land, dir.file("big.png"), "-o", dir.file("flat.lnd"), "--min", "0",
                               "--max", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("resampled"), std::string::npos) << r.out;
    r = lndtool({"heightmap", "export", dir.file("flat.lnd"), "-o", dir.file("flat.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    lnd::GreyImage flat;
    ASSERT_TRUE(lnd::readGreyImageFile(dir.file("flat.png"), flat));
    EXPECT_EQ(flat.values, std::vector<std::uint16_t>(65 * 65, 78));   // 200 * 100 / 255 = 78.4

    r = lndtool({"render-map", land, "-o", dir.file("map.png"), "--size", "300"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    lnd::GreyImage map;
    const lnd::Result readMap = lnd::readGreyImageFile(dir.file("map.png"), map);
    ASSERT_TRUE(readMap) << readMap.message();
    EXPECT_EQ(map.width, 300);
    EXPECT_EQ(map.height, 300);
}

TEST(LndtoolHeightmap, BadUsageAndBadInputLeaveNothingBehind) {
    TempDir dir;
    const std::string land = lndtest::LandBuilder().block(2, 2).block(2, 3).writeTo(dir.file("in.lnd"));
    const std::string picture = dir.file("p.png");
    lnd::GreyImage g;
    g.width = 33;
    g.height = 17;
    g.values.assign(33 * 17, 9);
    lndtest::writeBytes(picture, lnd::encodePngGrey(g));
    std::vector<std::uint8_t> zero = lnd::encodePngGrey(g);
    zero[16] = zero[17] = zero[18] = zero[19] = 0;
    lndtest::writeBytes(dir.file("zero.png"), zero);
    lndtest::writeBytes(dir.file("odd.png.txt"), {'r', 'o', 'w', 's', ' ', 'x'});
    lndtest::writeBytes(dir.file("odd.png"), lnd::encodePngGrey(g));
    lndtest::writeBytes(dir.file("notland.lnd"), {1, 2, 3});
    const std::string out = dir.file("out.lnd");

    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"heightmap"}, 2, "missing arguments"},
        {{"heightmap", "swap", land}, 2, "export or import"},
        {{"heightmap", "export", land}, 2, "-o HEIGHT.png"},
        {{"heightmap", "export", land, "-o", dir.file("h.bmp")}, 2, "-o HEIGHT.png"},
        {{"heightmap", "export", land, "-o", dir.file("h.png"), "--bits", "12"}, 2, "8 or 16"},
        {{"heightmap", "export", land, "-o", dir.file("h.png"), "--fit"}, 2, "belongs to import"},
        {{"heightmap", "import", land, picture, "-o", out, "--fit", "--exact"}, 2, "exclude"},
        {{"heightmap", "import", land, picture, "-o", out, "--min", "300"}, 2, "0 to 255"},
        {{"heightmap", "import", land, dir.file("p.gif"), "-o", out}, 2, ".png, .bmp or .tga"},
        {{"heightmap", "import", land, picture}, 2, "-o OUT.lnd"},
        {{"render-map", land, "-o", dir.file("m.png"), "--size", "0"}, 2, "--size"},
        {{"heightmap", "import", land, dir.file("none.png"), "-o", out}, 1, "none.png"},
        {{"heightmap", "import", land, dir.file("zero.png"), "-o", out}, 1, "no pixels"},
        {{"heightmap", "import", land, dir.file("odd.png"), "-o", out}, 1, "side file"},
        {{"heightmap", "import", land, dir.file("odd.png"), "-o", out, "--fit"}, 0, ""},   // fitting ignores it
        {{"heightmap", "import", dir.file("notland.lnd"), picture, "-o", out}, 1, "notland"},
        {{"heightmap", "export", dir.file("notland.lnd"), "-o", dir.file("h.png")}, 1, "notland"},
        {{"render-map", dir.file("notland.lnd"), "-o", dir.file("m.png")}, 1, ""},
    };
    const std::vector<std::uint8_t> before = readBytes(land);
    for (const auto& c : cases) {
        std::filesystem::remove(out);
        const ProgramResult r = lndtool(c.args);
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::filesystem::exists(out), c.exitCode == 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("h.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("m.png")));
    EXPECT_EQ(readBytes(land), before);
}
