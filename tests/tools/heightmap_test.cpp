#include "tools/heightmap.h"

#include "codec/bmp_writer.h"
#include "codec/grey_image.h"
#include "codec/png_writer.h"
#include "textures/map_picture.h"
#include "textures/synthesis.h"
#include "support/editor_land.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <tuple>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::flat;
using lndtest::EditorLand;

namespace {

// Altitude of global cell (row, column): the same for both copies of a shared edge.
std::uint8_t globalAltitude(int row, int col) { return std::uint8_t((row * 7 + col * 13) % 256); }

LandBuilder::BlockFill welded(std::uint16_t flags = 0) {
    return [=](TLndBlock& b) {
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                b.Cells[i][j].Altitude = globalAltitude(16 * int(b.GridX) + i, 16 * int(b.GridZ) + j);
                b.Cells[i][j].CellFlags = flags;
            }
    };
}

// Squares (3,5), (3,6) and (5,5): a hole in the row between them.
LandBuilder threeBlocks(std::function<LandBuilder::BlockFill()> fill) {
    return LandBuilder().block(3, 5, fill()).block(3, 6, fill()).block(5, 5, fill());
}

GreyImage picture8(int w, int h, std::vector<std::uint16_t> values) {
    GreyImage p;
    p.width = w;
    p.height = h;
    p.bits = 8;
    p.values = std::move(values);
    return p;
}

// A PNG of the given colour type and bit depth through libpng, for kinds our writer never
// makes (paletted, 1-bit).
std::vector<std::uint8_t> libpngFile(int w, int h, int depth, int colourType, const std::vector<std::uint8_t>& packedRows,
                                     const std::vector<png_color>& palette = {}) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    png_write_info(png, info);
    const std::size_t rowBytes = packedRows.size() / std::size_t(h);
    for (int y = 0; y < h; ++y) png_write_row(png, const_cast<png_bytep>(packedRows.data() + std::size_t(y) * rowBytes));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

TEST(Heightmap, ExportLaysCellsOutLikeTheDumpAndRoundTripsAtBothDepths) {
    EditorLand source(threeBlocks([] { return welded(); }));
    for (int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        HeightmapPlacement at;
        const GreyImage picture = exportHeightmap(source.land, bits, &at);
        ASSERT_EQ(picture.width, 33);
        ASSERT_EQ(picture.height, 49);
        EXPECT_EQ(at.gridX, 3);
        EXPECT_EQ(at.gridZ, 5);
        EXPECT_EQ(at.rows, 49);
        EXPECT_EQ(at.columns, 33);
        const int scale = bits == 16 ? 257 : 1;
        const struct {
            int r, c;
            int expected;   // -1: the global altitude
        } pixels[] = {{0, 0, -1},  {16, 16, -1}, {10, 32, -1},   // (3,5), the shared edge, (3,6)'s far column
                      {20, 5, 0},  {31, 20, 0},                 // the hole between the rows of squares
                      {32, 16, -1}, {48, 16, -1}, {40, 20, 0}};  // (5,5) and its empty neighbour (5,6)
        for (const auto& p : pixels) {
            const int alt = p.expected < 0 ? globalAltitude(48 + p.r, 80 + p.c) : p.expected;
            EXPECT_EQ(picture.at(p.c, p.r), alt * scale) << p.r << "," << p.c;
        }

        // Through a PNG file and back onto the same blocks flattened: identical altitudes, and
        // the flat cells that now differ are reclassified (default sea: altitude < 3 is coast).
        const std::vector<std::uint8_t> png = encodePngGrey(picture);
        GreyImage decoded;
        const Result decodedOk = decodePngGrey(png, decoded);
        ASSERT_TRUE(decodedOk) << decodedOk.message();
        EXPECT_EQ(decoded.bits, bits);
        EXPECT_EQ(decoded.values, picture.values);
        EditorLand target(threeBlocks([] { return flat(90); }));
        const HeightmapEdit edit = ApplyHeightmap(target.land, target.mesh, decoded, {});
        ASSERT_TRUE(edit.result) << edit.result.message();
        EXPECT_FALSE(edit.resampled);
        EXPECT_EQ(edit.changedBlocks, (std::vector<int>{0, 1, 2}));
        for (int b = 0; b < 3; ++b)
            for (int i = 0; i < 17; ++i)
                for (int j = 0; j < 17; ++j) {
                    const TLndCell& cell = target.block(b).Cells[i][j];
                    ASSERT_EQ(cell.Altitude, source.block(b).Cells[i][j].Altitude) << b << " " << i << " " << j;
                    if (cell.Altitude != 90) {
                        EXPECT_EQ(cell.CellFlags, cell.Altitude < 3 ? kCoast | kEditMarks : 0);
                    }
                }
        EXPECT_TRUE(target.land.modified());
    }
    // No block on the grid, or a depth we do not write: no picture.
    EditorLand orphan(LandBuilder().orphanBlock());
    EXPECT_TRUE(exportHeightmap(orphan.land, 8).empty());
    EXPECT_TRUE(exportHeightmap(source.land, 12).empty());
}

TEST(Heightmap, PlacementResamplingAndValueMapping) {
    // Value mapping: linear onto min..max, rounded to nearest, limited.
    const struct {
        double v;
        std::uint32_t maxValue;
        int lo, hi, expected;
    } values[] = {{0, 255, 0, 255, 0},         {255, 255, 0, 255, 255},   {65535, 65535, 0, 255, 255},
                  {128 * 257, 65535, 0, 255, 128}, {128 * 257 + 128, 65535, 0, 255, 128}, {128 * 257 + 129, 65535, 0, 255, 129},
                  {0, 255, 10, 20, 10},        {255, 255, 10, 20, 20},    {127.5, 255, 0, 255, 128},
                  {0, 255, 200, 100, 200},     {255, 255, 200, 100, 100}, {51, 255, 200, 100, 180}};
    for (const auto& v : values)
        EXPECT_EQ(heightmapAltitude(v.v, v.maxValue, v.lo, v.hi), v.expected) << v.v << " " << v.lo << ".." << v.hi;

    // A 17 x 17 picture placed by its side file on square (5,5) changes that block only.
    {
        EditorLand h(threeBlocks([] { return flat(40); }));
        const std::vector<std::uint8_t> before = h.image();
        HeightmapImportOptions options;
        options.placement = HeightmapPlacement{5, 5, 17, 17};
        const HeightmapEdit edit = ApplyHeightmap(h.land, picture8(17, 17, std::vector<std::uint16_t>(289, 77)), options);
        ASSERT_TRUE(edit.result) << edit.result.message();
        EXPECT_EQ(edit.changedBlocks, std::vector<int>{2});
        EXPECT_EQ(h.block(2).Cells[16][16].Altitude, 77);
        EXPECT_EQ(h.block(0).Cells[16][0].Altitude, 40);
        // Undo from the reported bytes gives the image back exactly.
        for (const auto& s : edit.before) {
            TLndCell& c = h.block(s.block).Cells[s.cell / 17][s.cell % 17];
            c.Altitude = s.altitudeBefore;
            c.CellFlags = s.flagsBefore;
        }
        EXPECT_EQ(h.image(), before);
    }

    // A size that fits nothing: refused when exact (land untouched), else fitted.
    {
        EditorLand h(threeBlocks([] { return flat(40); }));
        const std::vector<std::uint8_t> before = h.image();
        HeightmapImportOptions exact;
        exact.fit = HeightmapFit::Exact;
        exact.placement = HeightmapPlacement{3, 5, 20, 20};   // a stale side file
        const GreyImage odd = picture8(30, 20, std::vector<std::uint16_t>(600, 9));
        const HeightmapEdit refused = ApplyHeightmap(h.land, odd, exact);
        EXPECT_EQ(refused.result.status(), Status::BadInput);
        EXPECT_NE(refused.result.message().find("30 x 20"), std::string::npos) << refused.result.message();
        EXPECT_EQ(h.image(), before);
        EXPECT_FALSE(h.land.modified());
        HeightmapImportOptions bad;
        bad.maxAltitude = 256;
        EXPECT_EQ(ApplyHeightmap(h.land, odd, bad).result.status(), Status::BadInput);
        EXPECT_EQ(ApplyHeightmap(h.land, GreyImage{}, {}).result.status(), Status::BadInput);
        EXPECT_EQ(h.image(), before);
    }

    // Fitting a 2 x 2 picture corner to corner: corners exact, the middle interpolated.
    {
        EditorLand h(LandBuilder().block(2, 2, flat(40)));
        HeightmapImportOptions fit;
        fit.fit = HeightmapFit::Fit;
        const HeightmapEdit edit = ApplyHeightmap(h.land, picture8(2, 2, {0, 255, 255, 0}), fit);
        ASSERT_TRUE(edit.result);
        EXPECT_TRUE(edit.resampled);
        const auto alt = [&](int i, int j) { return int(h.block(0).Cells[i][j].Altitude); };
        EXPECT_EQ(alt(0, 0), 0);
        EXPECT_EQ(alt(0, 16), 255);
        EXPECT_EQ(alt(16, 0), 255);
        EXPECT_EQ(alt(16, 16), 0);
        EXPECT_EQ(alt(8, 8), 128);    // 127.5 rounds up
        EXPECT_EQ(alt(0, 8), 128);
        EXPECT_EQ(alt(4, 0), 64);     // 63.75
    }

    // Fitting a noisy picture over blocks side by side welds their shared edges.
    {
        EditorLand h(LandBuilder().block(2, 2, flat(40)).block(2, 3, flat(40)).block(3, 2, flat(40)));
        std::mt19937 rng(3);
        GreyImage noisy = picture8(101, 77, {});
        for (int k = 0; k < 101 * 77; ++k) noisy.values.push_back(std::uint16_t(rng() % 256));
        HeightmapImportOptions fit;
        fit.fit = HeightmapFit::Fit;
        ASSERT_TRUE(ApplyHeightmap(h.land, noisy, fit).result);
        for (int k = 0; k < 17; ++k) {
            EXPECT_EQ(h.block(0).Cells[k][16].Altitude, h.block(1).Cells[k][0].Altitude);
            EXPECT_EQ(h.block(0).Cells[16][k].Altitude, h.block(2).Cells[0][k].Altitude);
        }
    }
}

// The export refuses with its reason and leaves neither file behind.
TEST(Heightmap, ExportFailuresSayWhyAndWriteNothing) {
    lndtest::TempDir dir;
    lndtest::writeBytes(dir.file("file"), {'x'});
    EditorLand land(LandBuilder().block(2, 2));
    EditorLand empty(LandBuilder().orphanBlock());
    const struct {
        const char* name;
        const EditorLand& held;
        std::string path;
        int bits;
        Status status;
        int systemError;
        const char* reason;
    } cases[] = {
        {"bit depth", land, dir.file("h.png"), 12, Status::BadInput, 0, "8 or 16 bits"},
        {"no block on the grid", empty, dir.file("h.png"), 8, Status::NotPossible, 0, "no block"},
        {"missing folder", land, dir.file("none/h.png"), 8, Status::CannotCreate, ENOENT, "No such file or directory"},
        {"a file for a folder", land, dir.file("file/h.png"), 16, Status::CannotCreate, ENOTDIR, "Not a directory"},
        {"a folder for the picture", land, dir.path(), 8, Status::CannotCreate, 0, "it is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = writeHeightmapFiles(c.held.land, c.path, c.bits);
        EXPECT_EQ(r.status(), c.status) << r.message();
        EXPECT_EQ(r.systemError(), c.systemError) << r.message();
        EXPECT_NE(r.message().find(c.reason), std::string::npos) << r.message();
        EXPECT_FALSE(std::filesystem::exists(heightmapSidecarPath(c.path)));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("h.png")));
}

// The placement file at its largest legal values (grid square 31, 513 rows and columns: the
// whole grid) and one past each; a refusal names the key and its line and changes nothing.
TEST(Heightmap, PlacementFileLimitsAtTheEdgeAndOnePast) {
    constexpr std::int64_t kNone = -1;
    const std::string head = "# placement\n";   // 12 bytes before the first key line
    const struct {
        std::string text;
        bool ok;
        HeightmapPlacement expected;   // when ok
        const char* message;           // part of the refusal otherwise
        std::int64_t offset = kNone;   // the refused line's first byte
    } cases[] = {
        {head + "grid-x 31\ngrid-z 31\nrows 513\ncolumns 513\n", true, {31, 31, 513, 513}, ""},
        {"columns 1\nrows 1\ngrid-z 0\ngrid-x 0", true, {0, 0, 1, 1}, ""},   // any order, no last newline
        {head + "grid-x 32\ngrid-z 31\nrows 513\ncolumns 513\n", false, {}, "grid-x must be a whole number from 0 to 31", 12},
        {head + "grid-x 31\ngrid-z 32\nrows 513\ncolumns 513\n", false, {}, "grid-z must be a whole number from 0 to 31", 22},
        {head + "grid-x 31\ngrid-z 31\nrows 514\ncolumns 513\n", false, {}, "rows must be a whole number from 1 to 513", 32},
        {head + "grid-x 31\ngrid-z 31\nrows 513\ncolumns 514\n", false, {}, "columns must be a whole number from 1 to 513", 41},
        {"grid-x -1\ngrid-z 0\nrows 1\ncolumns 1\n", false, {}, "grid-x must be", 0},
        {"grid-x 0\ngrid-z 0\nrows 0\ncolumns 1\n", false, {}, "rows must be", 18},
        {"grid-x 0\ngrid-z 0\nrows 99999999999999999999\ncolumns 1\n", false, {}, "rows must be", 18},
        {"grid-x 0\ngrid-z 0\nrows 5 5\ncolumns 1\n", false, {}, "rows must be", 18},
        {"grid-x 0\ngrid-z 0\nrows five\ncolumns 1\n", false, {}, "rows must be", 18},
        {"grid-x 0\ngrid-z 0\nrows 5\n", false, {}, "no columns line"},
        {"", false, {}, "no grid-x line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        HeightmapPlacement got{7, 7, 7, 7};
        const Result r = parseHeightmapSidecar(c.text, got);
        if (c.ok) {
            ASSERT_TRUE(r) << r.message();
            EXPECT_EQ(std::tie(got.gridX, got.gridZ, got.rows, got.columns),
                      std::tie(c.expected.gridX, c.expected.gridZ, c.expected.rows, c.expected.columns));
            // What the export writes reads back the same.
            HeightmapPlacement again;
            ASSERT_TRUE(parseHeightmapSidecar(heightmapSidecarText(got), again));
            EXPECT_EQ(std::tie(again.gridX, again.gridZ, again.rows, again.columns),
                      std::tie(got.gridX, got.gridZ, got.rows, got.columns));
        } else {
            EXPECT_EQ(r.status(), Status::BadInput);
            EXPECT_NE(r.message().find(c.message), std::string::npos) << r.message();
            EXPECT_EQ(r.offset() ? std::int64_t(*r.offset()) : kNone, c.offset) << r.message();
            EXPECT_EQ(got.gridX + got.gridZ + got.rows + got.columns, 28) << "placement left alone";
        }
    }

    // Read beside a picture: the largest legal placement puts a 17 x 17 picture on the last
    // square of the grid; one past the edge is refused with the side file's name.
    lndtest::TempDir dir;
    const std::string png = dir.file("edge.png");
    lndtest::writeBytes(png, encodePngGrey(picture8(17, 17, std::vector<std::uint16_t>(289, 99))));
    const auto side = [&](const std::string& text) {
        lndtest::writeBytes(heightmapSidecarPath(png), std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    EditorLand h(LandBuilder().block(31, 31, flat(40)).block(0, 0, flat(40)));
    GreyImage picture;
    std::optional<HeightmapPlacement> placement;
    side("grid-x 32\ngrid-z 31\nrows 17\ncolumns 17\n");
    const Result refused = readHeightmapFiles(png, true, picture, placement);
    EXPECT_EQ(refused.status(), Status::BadInput);
    EXPECT_EQ(refused.message().rfind(heightmapSidecarPath(png) + ": side file: grid-x", 0), 0u) << refused.message();
    EXPECT_TRUE(picture.empty());
    EXPECT_FALSE(placement);
    side("grid-x 31\ngrid-z 31\nrows 17\ncolumns 17\n");
    const Result read = readHeightmapFiles(png, true, picture, placement);
    ASSERT_TRUE(read) << read.message();
    ASSERT_TRUE(placement);
    HeightmapImportOptions options;
    options.fit = HeightmapFit::Exact;
    options.placement = placement;
    const HeightmapEdit edit = ApplyHeightmap(h.land, picture, options);
    ASSERT_TRUE(edit.result) << edit.result.message();
    EXPECT_FALSE(edit.resampled);
    const int last = h.land.blockRecordAt(31, 31);
    EXPECT_EQ(edit.changedBlocks, std::vector<int>{last});
    EXPECT_EQ(h.block(last).Cells[16][16].Altitude, 99);
    EXPECT_EQ(h.block(h.land.blockRecordAt(0, 0)).Cells[0][0].Altitude, 40);
}

TEST(Heightmap, ImportReclassifiesChangedCellsAndDropsTheirTextures) {
    const std::uint16_t old = std::uint16_t(kSplit | kFullWater | 0x1000 | 3);
    EditorLand h(LandBuilder().block(1, 1, flat(50, old)).block(1, 2, flat(50, old)).countries(4));
    h.land.m_seaParms.altitudeWater = 5;
    h.land.m_seaParms.altitudeCoast = 9;
    // Row 0 of the picture: water, coast, unchanged, land; the second block unchanged.
    GreyImage p = picture8(33, 17, std::vector<std::uint16_t>(33 * 17, 50));
    p.values[0] = 3;
    p.values[1] = 7;
    p.values[3] = 120;
    const HeightmapEdit edit = ApplyHeightmap(h.land, h.mesh, p, {});
    ASSERT_TRUE(edit.result) << edit.result.message();
    const TLndBlock& b = h.block(0);
    EXPECT_EQ(b.Cells[0][0].CellFlags, kWater | 0x0400 | 3);
    EXPECT_EQ(b.Cells[0][1].CellFlags, kCoast | kEditMarks | 3);
    EXPECT_EQ(b.Cells[0][2].CellFlags, old);
    EXPECT_EQ(b.Cells[0][3].CellFlags, 3);
    EXPECT_EQ(b.Cells[0][3].Altitude, 120);
    EXPECT_EQ(edit.changedBlocks, std::vector<int>{0});
    // The land counted an edit of the changed block only.
    EXPECT_EQ(h.land.blockEdits(0), 1u);
    EXPECT_EQ(h.land.blockEdits(1), 0u);
    EXPECT_EQ(edit.before.size(), 3u);
    // The rebuilt mesh carries the new heights.
    EXPECT_FLOAT_EQ(h.mesh.geometry(0).positions[0].y, 3.0f);
}

TEST(Heightmap, PicturesAreReadThroughTheirPalettesOrRefused) {
    lndtest::TempDir dir;
    const auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        lndtest::writeBytes(dir.file(name), bytes);
        return dir.file(name);
    };
    GreyImage g16;
    g16.width = 3;
    g16.height = 1;
    g16.bits = 16;
    g16.values = {0, 32896, 65535};
    CImage32 colour(2, 1);
    std::uint8_t* px = colour.pixel(0, 0);
    px[1] = px[2] = px[3] = 77;                                    // grey
    px = colour.pixel(1, 0);
    px[1] = 255;                                                   // red
    const std::vector<std::uint8_t> valid = encodePngGrey(picture8(64, 64, std::vector<std::uint16_t>(4096, 5)));
    auto withSides = [&](std::uint32_t w, std::uint32_t h) {
        std::vector<std::uint8_t> f = valid;
        for (int k = 0; k < 4; ++k) {
            f[16 + std::size_t(k)] = std::uint8_t(w >> (24 - 8 * k));
            f[20 + std::size_t(k)] = std::uint8_t(h >> (24 - 8 * k));
        }
        return f;
    };
    std::vector<std::uint8_t> greyBmp = encodeGreyBmp(std::vector<std::uint8_t>{0, 1, 2, 3}.data(), 4, 1, 4);
    greyBmp[54 + 4 + 0] = 0;   // palette entry 1 becomes pure red (blue, green, red, reserved)
    greyBmp[54 + 4 + 1] = 0;
    greyBmp[54 + 4 + 2] = 255;
    // Uncompressed true-colour TGA, top row first: a grey and a pure green pixel.
    std::vector<std::uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0x20, 50, 50, 50, 0, 255, 0};
    std::vector<std::uint8_t> hugeTga = tga;
    hugeTga[12] = hugeTga[14] = 0x20;   // 20000 x 20000: 0x4E20
    hugeTga[13] = hugeTga[15] = 0x4E;
    std::vector<std::uint8_t> oneBitBmp = greyBmp;
    oneBitBmp[28] = 1;   // bits per pixel

    constexpr std::int64_t kNone = -1;   // no byte offset
    const struct {
        std::string path;
        Status status;
        std::vector<std::uint16_t> values;   // when ok
        const char* message;                 // part of the error otherwise
        std::int64_t offset = kNone;         // where the fault lies, when known
    } cases[] = {
        {write("g16.png", encodePngGrey(g16)), Status::Ok, {0, 32896, 65535}, ""},
        {write("rgb.png", encodePngRgb(colour)), Status::Ok, {77, 76}, ""},
        {write("rgba.png", encodePng(colour)), Status::Ok, {77, 76}, ""},
        {write("pal.png", libpngFile(4, 1, 2, PNG_COLOR_TYPE_PALETTE, {0x1B}, {{0, 0, 0}, {255, 0, 0}, {9, 9, 9}, {255, 255, 255}})),
         Status::Ok, {0, 76, 9, 255}, ""},
        {write("bit.png", libpngFile(8, 1, 1, PNG_COLOR_TYPE_GRAY, {0xA0})), Status::Ok, {255, 0, 255, 0, 0, 0, 0, 0}, ""},
        {write("pal.bmp", greyBmp), Status::Ok, {0, 76, 2, 3}, ""},
        {write("bit.bmp", oneBitBmp), Status::BadInput, {}, "bit.bmp: unsupported BMP variant"},
        {write("rgb.tga", tga), Status::Ok, {50, 150}, ""},
        {write("huge.tga", hugeTga), Status::BadInput, {}, "huge.tga: the picture is too large", 12},
        {write("short.tga", {0, 0, 2}), Status::BadInput, {}, "too short", 0},
        {write("zero.png", withSides(0, 64)), Status::BadInput, {}, "zero.png: the picture has no pixels", 16},
        {write("huge.png", withSides(100000, 100000)), Status::BadInput, {}, "too large", 16},
        {write("area.png", withSides(9000, 9000)), Status::BadInput, {}, "too large", 16},
        {write("cut.png", std::vector<std::uint8_t>(valid.begin(), valid.begin() + 40)), Status::BadInput, {}, "corrupt PNG"},
        {write("empty.png", {}), Status::BadInput, {}, "not a PNG", 0},
        {write("text.png", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}), Status::BadInput, {}, "not a PNG", 0},
        {write("pic.gif", valid), Status::BadInput, {}, "unsupported picture type"},
        // The system's own reason where it refused the file.
        {dir.file("missing.png"), Status::IoFailed, {}, "missing.png: No such file or directory"},
        {dir.file("missing.bmp"), Status::IoFailed, {}, "cannot open"},
        {dir.path(), Status::BadInput, {}, "unsupported picture type"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        GreyImage out;
        out.width = out.height = 1;   // left empty on failure, whatever it held
        const Result r = readGreyImageFile(c.path, out);
        EXPECT_EQ(r.status(), c.status) << r.message();
        if (c.status == Status::Ok) {
            EXPECT_EQ(out.values, c.values);
            EXPECT_TRUE(r.message().empty());
        } else {
            EXPECT_NE(r.message().find(c.message), std::string::npos) << r.message();
            EXPECT_EQ(r.offset() ? std::int64_t(*r.offset()) : kNone, c.offset) << r.message();
            EXPECT_EQ(r.systemError() != 0, c.status == Status::IoFailed) << r.message();
            EXPECT_TRUE(out.empty());
        }
    }
}

TEST(MapPicture, SizesTilesSeaAndScaling) {
    const struct {
        int minX, maxX, minZ, maxZ, longer, width, height;
    } sizes[] = {{4, 4, 4, 4, 0, 256, 256},   {0, 2, 0, 1, 0, 512, 768},     {0, 2, 0, 1, 100, 67, 100},
                 {0, 14, 0, 16, 0, 4096, 3614}, {0, 0, 0, 0, 1000, 1000, 1000}};
    for (const auto& s : sizes) {
        OccupiedGrid g;
        g.any = true;
        g.minX = s.minX;
        g.maxX = s.maxX;
        g.minZ = s.minZ;
        g.maxZ = s.maxZ;
        int w = 0, h = 0;
        mapPictureSize(g, s.longer, w, h);
        EXPECT_EQ(w, s.width);
        EXPECT_EQ(h, s.height);
    }

    // A land block, an empty square and a block all deep water (fully transparent).
    EditorLand h(LandBuilder().block(2, 2).block(2, 4, flat(0, kFullWater)).countries(2).materials(3));
    std::vector<std::uint8_t> texels(kBlockTexelBytes);
    const SeaAlphas alphas{h.land.m_seaParms.alphaCoast, h.land.m_seaParms.alphaWater, h.land.m_seaParms.alphaFullWater};
    synthesizeBlockTexels(h.block(0), h.land.countries(), h.land.materials(), *h.land.noiseMap(), alphas, texels.data());
    MapPictureOptions options;
    const auto shown = [&](int r, int c, int k) {   // texel (r, c) of block 0 over the sea, channel k (RGB)
        const std::uint8_t* t = texels.data() + 4 * (256 * r + c);
        const unsigned a = t[3];
        return int((t[2 - k] * a + options.sea[std::size_t(k)] * (255 - a) + 127) / 255);
    };
    const auto rgb = [](const CImage32& img, int x, int y) {
        const std::uint8_t* p = img.pixel(x, y);
        return std::array<int, 3>{p[1], p[2], p[3]};
    };
    const std::array<int, 3> sea{options.sea[0], options.sea[1], options.sea[2]};
    for (int threads : {1, 2}) {
        options.threads = threads;
        CImage32 full;
        std::vector<int> heard;
        const Result rendered = renderMapPicture(h.land, options, full, [&](int done, int total) {
            heard.push_back(done);
            EXPECT_EQ(total, 2);
        });
        ASSERT_TRUE(rendered) << rendered.message();
        EXPECT_EQ(heard, std::vector<int>{2});
        ASSERT_EQ(full.width(), 768);
        ASSERT_EQ(full.height(), 256);
        for (auto [r, c] : {std::pair{0, 0}, {17, 200}, {255, 255}, {128, 3}})
            EXPECT_EQ(rgb(full, c, r), (std::array<int, 3>{shown(r, c, 0), shown(r, c, 1), shown(r, c, 2)}));
        EXPECT_EQ(rgb(full, 300, 10), sea);   // empty square
        EXPECT_EQ(rgb(full, 600, 100), sea);  // transparent deep water
    }
    // Half size: each pixel the rounded mean of four; double size: each texel twice.
    CImage32 half, twice;
    options.longerSide = 384;
    ASSERT_TRUE(renderMapPicture(h.land, options, half));
    EXPECT_EQ(half.width(), 384);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(rgb(half, 5, 7)[std::size_t(k)],
                  (shown(14, 10, k) + shown(14, 11, k) + shown(15, 10, k) + shown(15, 11, k) + 2) / 4);
    options.longerSide = 1536;
    ASSERT_TRUE(renderMapPicture(h.land, options, twice));
    EXPECT_EQ(twice.height(), 512);
    EXPECT_EQ(rgb(twice, 21, 9), (std::array<int, 3>{shown(4, 10, 0), shown(4, 10, 1), shown(4, 10, 2)}));

    EditorLand none(LandBuilder().orphanBlock());
    const Result empty = renderMapPicture(none.land, {}, half);
    EXPECT_EQ(empty.status(), Status::NotPossible);
    EXPECT_NE(empty.message().find("no block"), std::string::npos);
    options.longerSide = kMaxMapSide + 1;
    const Result tooLarge = renderMapPicture(h.land, options, half);
    EXPECT_EQ(tooLarge.status(), Status::BadInput);
    EXPECT_NE(tooLarge.message().find(std::to_string(kMaxMapSide)), std::string::npos);
}
