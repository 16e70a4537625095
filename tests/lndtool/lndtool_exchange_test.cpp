#include "codec/image.h"
#include "codec/picture_file.h"
#include "codec/png_writer.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using lndtest::ProgramResult;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

ProgramResult lndtool(const std::vector<std::string>& args) { return lndtest::runLndtool(args); }

std::size_t entriesIn(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

}  // namespace

TEST(LndtoolCountries, ExportImportRoundTripsRepaintsAndRefuses) {
    TempDir dir;
    const std::string land = dir.file("isle.lnd");
    ASSERT_EQ(lndtool({"new", "-o", land, "--size", "4", "--seed", "3"}).exitCode, 0);
    const std::string map = dir.file("map.png");
    ProgramResult r = lndtool({"countries", "export", land, "-o", map});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(map + ".txt"));
    std::unique_ptr<lnd::CImageBase> picture;
    ASSERT_TRUE(lnd::readPictureFile(map, picture));
    ASSERT_EQ(picture->kind(), lnd::CImage8::kKind);
    const lnd::CImage8 paletted = static_cast<const lnd::CImage8&>(*picture);   // a copy: picture is read again below
    EXPECT_EQ(paletted.width(), 65);
    EXPECT_EQ(paletted.height(), 65);

    r = lndtool({"countries", "import", land, map, "-o", dir.file("back.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0 cells of 0 blocks changed (read by palette index)\n");
    EXPECT_EQ(readBytes(dir.file("back.lnd")), readBytes(land));

    // Flattened to true colour with every land cell painted country 0 (the palette's first
    // colour): the land changes, and a second import of the same picture changes nothing.
    lnd::CImage32 flat(65, 65);
    std::uint8_t argb[4];
    lnd::unpackArgb(paletted.palette()[0], argb);
    for (int y = 0; y < 65; ++y)
        for (int x = 0; x < 65; ++x) std::copy(argb, argb + 4, flat.pixel(x, y));
    lndtest::writeBytes(dir.file("flat.png"), lnd::encodePngRgb(flat));
    r = lndtool({"countries", "import", land, dir.file("flat.png"), "-o", dir.file("flat.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("read by nearest country colour"), std::string::npos) << r.out;
    EXPECT_NE(readBytes(dir.file("flat.lnd")), readBytes(land));
    r = lndtool({"countries", "export", dir.file("flat.lnd"), "-o", dir.file("flat-out.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(lnd::readPictureFile(dir.file("flat-out.png"), picture));
    const auto& after = static_cast<const lnd::CImage8&>(*picture);
    for (int k = 0; k < 65 * 65; ++k) ASSERT_EQ(after.indices()[k], 0) << k;

    // Refusals: exit 1 with the reason, nothing written.
    lnd::CImage8 bad = paletted;
    bad.indices()[3 * 65 + 10] = std::uint8_t(bad.paletteSize() - 1);   // the transparent index on a land cell
    lndtest::writeBytes(dir.file("bad.png"), lnd::encodePngPaletted(bad));
    lndtest::writeBytes(dir.file("small.png"), lnd::encodePngPaletted([] {
                            lnd::CImage8 s;
                            s.SetSize(10, 10);
                            s.palette().push_back(lnd::packArgb(255, 0, 0, 0));
                            return s;
                        }()));
    lndtest::writeBytes(dir.file("plain"), {1});
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"countries", "import", land, dir.file("bad.png"), "-o", dir.file("x.lnd")}, 1,
         "the pixel at column 10, row 3 has country index 3 but the land has 3 countries"},
        {{"countries", "import", land, dir.file("small.png"), "-o", dir.file("x.lnd")}, 1,
         "the picture is 10 x 10 pixels but the land's cells are 65 x 65"},
        {{"countries", "import", land, dir.file("missing.png"), "-o", dir.file("x.lnd")}, 1, "cannot open the file"},
        {{"countries", "import", land, map, "-o", dir.file("plain/x.lnd")}, 1, "plain/x.lnd"},
        {{"countries", "export", land, "-o", dir.file("plain/map.png")}, 1, "plain/map.png"},
        {{"countries", "import", land, dir.file("map.gif"), "-o", dir.file("x.lnd")}, 2, "the picture must be a .png, .bmp or .tga file"},
        {{"countries", "export", land, "-o", dir.file("map.bmp")}, 2, "missing -o MAP.png"},
        {{"countries", "paint", land}, 2, "the first argument must be export or import"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        r = lndtool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.lnd")));
    }
    EXPECT_EQ(readBytes(dir.file("plain")), std::vector<std::uint8_t>{1});
}

TEST(LndtoolMesh, ExportsEachFormatAndRefusesWhatItCannotWrite) {
    TempDir dir;
    const std::string land = dir.file("isle.lnd");
    ASSERT_EQ(lndtool({"new", "-o", land, "--size", "3", "--seed", "8"}).exitCode, 0);
    struct Case {
        const char* name;
        std::vector<std::string> flags;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"m.glb", {}, {"m.glb"}},
        {"t.glb", {"--textures", "--sea"}, {"t.glb"}},
        {"m.gltf", {"--sea"}, {"m.gltf", "m.bin"}},
        {"t.obj", {"--textures"}, {"t.obj", "t.mtl", "t_texture.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sub = dir.file(std::string(c.name) + ".d");
        std::filesystem::create_directory(sub);
        std::vector<std::string> args{"mesh", "export", land, "-o", sub + "/" + c.name};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const ProgramResult r = lndtool(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        // A 3 x 3 block land: 49 x 49 welded vertices, 9 x 512 triangles.
        EXPECT_NE(r.out.find("2401 vertices, 4608 triangles over 9 blocks"), std::string::npos) << r.out;
        EXPECT_EQ(entriesIn(sub), c.files.size());
        for (const std::string& f : c.files) EXPECT_TRUE(std::filesystem::exists(sub + "/" + f)) << f;
    }
    lndtest::writeBytes(dir.file("plain"), {1});
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } bad[] = {
        {{"mesh", "export", land, "-o", dir.file("plain/m.gltf"), "--textures"}, 1, "plain/m"},
        {{"mesh", "export", land, "-o", dir.file("m.fbx")}, 2, "missing -o OUT.glb, OUT.gltf or OUT.obj"},
        {{"mesh", "export", dir.file("none.lnd"), "-o", dir.file("m.glb")}, 1, ""},
        {{"mesh", "import", land, "-o", dir.file("m.glb")}, 2, "the first argument must be export"},
    };
    const std::size_t before = entriesIn(dir.path());
    for (const auto& c : bad) {
        SCOPED_TRACE(c.message);
        const ProgramResult r = lndtool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(entriesIn(dir.path()), before);
}
