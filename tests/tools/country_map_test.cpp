#include "tools/country_map.h"

#include "codec/bmp_writer.h"
#include "codec/picture_file.h"
#include "codec/png_writer.h"
#include "textures/synthesis.h"
#include "tools/cell_grid.h"
#include "support/editor_land.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace lnd;
using lndtest::EditorLand;
using lndtest::LandBuilder;
using lndtest::TempDir;

namespace {

// Country of global cell (row, column), the same for every copy of a shared cell.
int globalCountry(int row, int col) { return (row / 3 + col / 5) % 4; }

LandBuilder::BlockFill patterned() {
    return [](TLndBlock& b) {
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                TLndCell& c = b.Cells[i][j];
                c.Altitude = std::uint8_t((i * 13 + j * 7 + b.GridZ) % 256);
                // Other flag bits set so that a change of them would show.
                c.CellFlags = std::uint16_t(0xA0B0 | globalCountry(16 * b.GridX + i, 16 * b.GridZ + j));
            }
    };
}

// Squares (3,5), (3,6) and (5,5): 49 rows by 33 columns of cells, square (4,5) and the
// column of squares at gz 6 below gx 3 empty.
LandBuilder threeBlocks() {
    return LandBuilder().countries(4).materials(3).block(3, 5, patterned()).block(3, 6, patterned()).block(5, 5, patterned());
}

constexpr int kRows = 49, kColumns = 33, kRow0 = 48, kCol0 = 80;

// A picture naming country `want(row, col)` for every global cell of the land's rectangle,
// written the way an image editor that knows nothing of palettes would.
CImage32 flatColours(const std::vector<std::uint32_t>& palette, const std::function<int(int, int)>& want, int jitter) {
    CImage32 picture(kColumns, kRows);
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kColumns; ++x) {
            std::uint8_t argb[4];
            unpackArgb(palette[std::size_t(want(kRow0 + y, kCol0 + x))], argb);
            std::uint8_t* p = picture.pixel(x, y);
            p[0] = 255;
            for (int c = 1; c < 4; ++c) p[c] = std::uint8_t(std::clamp(argb[c] + ((x + y + c) % 2 ? jitter : -jitter), 0, 255));
        }
    return picture;
}

std::vector<std::uint8_t> imageOf(const CLand& land) { return {land.fileImage().begin(), land.fileImage().end()}; }

}  // namespace

TEST(CountryMap, ExportLaysCellsOutLikeTheHeightmapWithAPaletteThatLooksLikeTheLand) {
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    CLand& land = held.land;
    // Country 1 made pure white at the middle altitude: the synthesis gives 246 for it.
    for (TLndMaterial& m : land.materials().subspan(2, 1))
        for (auto& row : m.Texels)
            for (auto& t : row) t = std::uint16_t(0x7FFF);
    land.countries()[1].Coefs[128].mat1 = 2;
    land.countries()[1].Coefs[128].coef = 255;

    CImage8 map;
    HeightmapPlacement at;
    ASSERT_TRUE(exportCountryMap(land, map, &at));
    EXPECT_EQ(map.width(), kColumns);
    EXPECT_EQ(map.height(), kRows);
    EXPECT_EQ(at.gridX, 3);
    EXPECT_EQ(at.gridZ, 5);
    EXPECT_EQ(at.rows, kRows);
    EXPECT_EQ(at.columns, kColumns);

    ASSERT_EQ(map.paletteSize(), 5);   // four countries and the transparent entry
    std::uint8_t argb[4];
    unpackArgb(map.palette()[1], argb);
    EXPECT_EQ(argb[0], 255);
    EXPECT_EQ(argb[1], 246);
    EXPECT_EQ(argb[2], 246);
    EXPECT_EQ(argb[3], 246);
    unpackArgb(map.palette()[4], argb);
    EXPECT_EQ(argb[0], 0);
    // Countries 0 and 3 blend the same materials at 128, yet keep colours of their own.
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b) EXPECT_NE(map.palette()[std::size_t(a)], map.palette()[std::size_t(b)]) << a << " " << b;

    int land_ = 0, sea = 0;
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kColumns; ++x) {
            const bool held_ = gridCellAt(land, kRow0 + y, kCol0 + x) != nullptr;
            const int expect = held_ ? globalCountry(kRow0 + y, kCol0 + x) : 4;
            ASSERT_EQ(map.index(x, y), expect) << x << "," << y;
            (held_ ? land_ : sea)++;
        }
    EXPECT_EQ(land_, 289 * 3 - 17);
    EXPECT_EQ(sea, kRows * kColumns - land_);

    // The PNG is 8-bit paletted with the transparent entry in tRNS and reads back as it was.
    std::unique_ptr<CImageBase> back;
    ASSERT_TRUE(decodePngPicture(encodePngPaletted(map), back));
    ASSERT_EQ(back->kind(), CImage8::kKind);
    const auto& paletted = static_cast<const CImage8&>(*back);
    EXPECT_EQ(paletted.palette(), map.palette());
    EXPECT_TRUE(std::equal(paletted.indices(), paletted.indices() + kRows * kColumns, map.indices()));

    EditorLand empty(LandBuilder().countries(2), EditorLand::State::AsRead);
    CImage8 none;
    const Result r = exportCountryMap(empty.land, none);
    EXPECT_EQ(r.status(), Status::NotPossible);
    EXPECT_EQ(r.message(), "the land has no block on its grid");
}

TEST(CountryMap, ImportLandsEveryPictureKindCellForCellAndTouchesOnlyCountryBits) {
    TempDir dir;
    // The new countries: a different pattern over every cell.
    const auto want = [](int row, int col) { return (row / 4 + col / 2 + 1) % 4; };
    struct Case {
        const char* name;
        std::function<std::vector<std::uint8_t>(const CLand&)> file;
    };
    const Case cases[] = {
        {"paletted.png", [&](const CLand& land) {
             CImage8 map;
             EXPECT_TRUE(exportCountryMap(land, map));
             for (int y = 0; y < kRows; ++y)
                 for (int x = 0; x < kColumns; ++x)
                     if (gridCellAt(land, kRow0 + y, kCol0 + x) != nullptr)
                         map.indices()[y * kColumns + x] = std::uint8_t(want(kRow0 + y, kCol0 + x));
             // A palette of the painter's own: read by index, colours ignored.
             for (std::uint32_t& e : map.palette()) e = packArgb(255, 1, 2, 3);
             return encodePngPaletted(map);
         }},
        {"flat.png", [&](const CLand& land) { return encodePngRgb(flatColours(countryMapPalette(land), want, 0)); }},
        {"jittered.png", [&](const CLand& land) { return encodePng(flatColours(countryMapPalette(land), want, 3)); }},
        {"flat.bmp", [&](const CLand& land) { return encodeBmp(flatColours(countryMapPalette(land), want, 1)); }},
        {"grey.bmp", [&](const CLand&) {
             // An 8-bit BMP is paletted: its index is the country.
             std::vector<std::uint8_t> grey(kRows * kColumns);
             for (int y = 0; y < kRows; ++y)
                 for (int x = 0; x < kColumns; ++x) grey[std::size_t(y * kColumns + x)] = std::uint8_t(want(kRow0 + y, kCol0 + x));
             return encodeGreyBmp(grey.data(), kColumns, kRows, kColumns);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorLand held(threeBlocks(), EditorLand::State::AsRead);
        CLand& land = held.land;
        const std::vector<std::uint8_t> before = imageOf(land);
        lndtest::writeBytes(dir.file(c.name), c.file(land));
        std::unique_ptr<CImageBase> picture;
        CountryMapImportOptions options;
        ASSERT_TRUE(readCountryMapFiles(land, dir.file(c.name), true, picture, options));
        EXPECT_FALSE(options.placement.has_value());   // no side file: placed by its size
        CountryMapEdit edit;
        ASSERT_TRUE(planCountryMapImport(land, *picture, options, edit));
        EXPECT_EQ(imageOf(land), before) << "planning changes nothing";
        EXPECT_EQ(edit.changedBlocks, (std::vector<int>{0, 1, 2}));
        applyCountryMapEdit(land, edit);
        EXPECT_TRUE(land.modified());

        const std::span<const TLndBlock> blocks = std::as_const(land).blocks();
        const std::span<const TLndBlock> old{reinterpret_cast<const TLndBlock*>(before.data() + land.layout().blocksOffset), 3};
        std::size_t changed = 0;
        for (int b = 0; b < 3; ++b)
            for (int i = 0; i < kCellsPerSide; ++i)
                for (int j = 0; j < kCellsPerSide; ++j) {
                    const TLndCell& now = blocks[std::size_t(b)].Cells[i][j];
                    const TLndCell& was = old[std::size_t(b)].Cells[i][j];
                    const int row = 16 * int(blocks[std::size_t(b)].GridX) + i, col = 16 * int(blocks[std::size_t(b)].GridZ) + j;
                    ASSERT_EQ(now.countryIndex(), want(row, col)) << b << " " << i << " " << j;
                    ASSERT_EQ(now.Altitude, was.Altitude);
                    ASSERT_EQ(now.CellFlags & ~kCountryMask, was.CellFlags & ~kCountryMask);
                    changed += now.CellFlags != was.CellFlags;
                }
        EXPECT_EQ(edit.cells.size(), changed);

        // Undo and redo by the history's rule: a cell repainted since is left alone.
        const std::vector<std::uint8_t> after = imageOf(land);
        TLndCell& repainted = land.blocks()[0].Cells[2][2];
        const int keep = (repainted.countryIndex() + 1) % 4;
        repainted.CellFlags = std::uint16_t((repainted.CellFlags & ~kCountryMask) | keep);
        std::vector<int> touched;
        revertCountryCells(edit.cells, land.blocks(), touched);
        EXPECT_EQ(land.blocks()[0].Cells[2][2].countryIndex(), keep);
        std::vector<std::uint8_t> undone = imageOf(land);
        const std::size_t at = land.layout().blocksOffset + 8 * (17 * 2 + 2) + 6;
        undone[at] = before[at];
        EXPECT_EQ(undone, before);
        EXPECT_EQ(touched, (std::vector<int>{2, 1, 0}));
        land.blocks()[0].Cells[2][2].CellFlags = old[0].Cells[2][2].CellFlags;
        touched.clear();
        reapplyCountryCells(edit.cells, land.blocks(), touched);
        EXPECT_EQ(imageOf(land), after);
    }
}

TEST(CountryMap, ExportThenImportChangesNoByteEvenWhereEdgeCopiesDisagree) {
    TempDir dir;
    LandBuilder builder = threeBlocks();
    // The hidden copy of a shared edge cell holds another country than the one the map shows.
    EditorLand held(builder, EditorLand::State::AsRead);
    CLand& land = held.land;
    land.blocks()[0].Cells[5][16].CellFlags = std::uint16_t((land.blocks()[0].Cells[5][16].CellFlags & ~kCountryMask) |
                                                            ((globalCountry(53, 96) + 1) % 4));
    const std::vector<std::uint8_t> before = imageOf(land);
    HeightmapPlacement at;
    ASSERT_TRUE(writeCountryMapFiles(land, dir.file("map.png"), &at));
    ASSERT_TRUE(std::filesystem::exists(dir.file("map.png.txt")));
    std::unique_ptr<CImageBase> picture;
    CountryMapImportOptions options;
    ASSERT_TRUE(readCountryMapFiles(land, dir.file("map.png"), true, picture, options));
    ASSERT_TRUE(options.placement.has_value());
    EXPECT_EQ(options.placement->gridX, 3);
    CountryMapEdit edit;
    ASSERT_TRUE(planCountryMapImport(land, *picture, options, edit));
    EXPECT_TRUE(edit.cells.empty());
    EXPECT_TRUE(edit.changedBlocks.empty());
    applyCountryMapEdit(land, edit);
    EXPECT_FALSE(land.modified());
    EXPECT_EQ(imageOf(land), before);

    // Painting that cell gives both copies the new country.
    auto& map = static_cast<CImage8&>(*picture);
    const int wanted = (globalCountry(53, 96) + 2) % 4;
    map.indices()[5 * kColumns + 16] = std::uint8_t(wanted);
    ASSERT_TRUE(planCountryMapImport(land, map, options, edit));
    applyCountryMapEdit(land, edit);
    EXPECT_EQ(edit.changedBlocks, (std::vector<int>{0, 1}));
    EXPECT_EQ(land.blocks()[0].Cells[5][16].countryIndex(), wanted);
    EXPECT_EQ(land.blocks()[1].Cells[5][0].countryIndex(), wanted);
}

TEST(CountryMap, RefusesBadPicturesBeforeAnythingChanges) {
    TempDir dir;
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    CLand& land = held.land;
    const std::vector<std::uint8_t> before = imageOf(land);
    CImage8 good;
    ASSERT_TRUE(exportCountryMap(land, good));

    struct Case {
        const char* name;
        std::function<void(CImage8&, CountryMapImportOptions&)> edit;
        const char* message;   // empty: accepted
    };
    const Case cases[] = {
        {"index at the country count", [](CImage8& m, CountryMapImportOptions&) { m.indices()[2 * kColumns + 7] = 4; m.indices()[40 * kColumns + 1] = 9; },
         "the pixel at column 7, row 2 has country index 4 but the land has 4 countries"},
        {"index far beyond", [](CImage8& m, CountryMapImportOptions&) { m.indices()[kRows * kColumns - 1 - 16] = 200; },
         "the pixel at column 16, row 48 has country index 200 but the land has 4 countries"},
        {"transparent over empty squares only", [](CImage8& m, CountryMapImportOptions&) { m.indices()[20 * kColumns + 30] = 9; }, ""},
        {"wrong size", [](CImage8& m, CountryMapImportOptions&) { m.SetSize(kColumns + 1, kRows); },
         "the picture is 34 x 49 pixels but the land's cells are 33 x 49 (a country map has one pixel per cell)"},
        {"side file of another size", [](CImage8&, CountryMapImportOptions& o) { o.placement = HeightmapPlacement{3, 5, 17, 33}; },
         "the picture is 33 x 49 pixels but its side file describes 33 x 17"},
        {"side file beyond the grid", [](CImage8&, CountryMapImportOptions& o) { o.placement = HeightmapPlacement{31, 5, kRows, kColumns}; },
         "the side file places the picture beyond the land's grid (grid-x 31, grid-z 5, 33 x 49 cells; the grid has 513 cells a side)"},
        {"side file on squares without blocks", [](CImage8&, CountryMapImportOptions& o) { o.placement = HeightmapPlacement{10, 12, kRows, kColumns}; },
         "the side file names squares the land does not have (grid-x 10, grid-z 12, 33 x 49 cells hold none of its blocks)"},
        {"side file naming the land's own place", [](CImage8&, CountryMapImportOptions& o) { o.placement = HeightmapPlacement{3, 5, kRows, kColumns}; }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CImage8 map = good;
        CountryMapImportOptions options;
        c.edit(map, options);
        CountryMapEdit edit;
        const Result r = planCountryMapImport(land, map, options, edit);
        if (*c.message == '\0') {
            EXPECT_TRUE(r) << r.message();
            continue;
        }
        EXPECT_EQ(r.status(), Status::BadInput);
        EXPECT_EQ(r.message(), c.message);
        EXPECT_TRUE(edit.cells.empty());
        EXPECT_EQ(imageOf(land), before);
    }
    // A transparent pixel of a flattened map over a land cell names no country either.
    CImage32 colour = flatColours(countryMapPalette(land), [](int, int) { return 1; }, 0);
    colour.pixel(3, 1)[0] = 0;
    CountryMapEdit edit;
    const Result r = planCountryMapImport(land, colour, {}, edit);
    EXPECT_EQ(r.message(), "the pixel at column 3, row 1 has country index 4 but the land has 4 countries");
}

TEST(CountryMap, ReadingRefusesSizesTruncationAndBrokenSideFilesWithoutAllocating) {
    TempDir dir;
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    const CLand& land = held.land;
    CImage8 map;
    ASSERT_TRUE(exportCountryMap(land, map));
    const std::vector<std::uint8_t> png = encodePngPaletted(map);
    ASSERT_FALSE(png.empty());

    // Sides in the PNG header: 0, enormous, and plausible but wrong.
    const auto withSides = [&](std::uint32_t w, std::uint32_t h) {
        std::vector<std::uint8_t> bytes = png;
        for (int k = 0; k < 4; ++k) {
            bytes[16 + std::size_t(k)] = std::uint8_t(w >> (24 - 8 * k));
            bytes[20 + std::size_t(k)] = std::uint8_t(h >> (24 - 8 * k));
        }
        return bytes;
    };
    std::vector<std::uint8_t> bmp = encodeBmp(flatColours(countryMapPalette(land), [](int, int) { return 0; }, 0));
    std::vector<std::uint8_t> hugeBmp = bmp;
    hugeBmp[18] = hugeBmp[19] = hugeBmp[20] = 0xFF;
    hugeBmp[21] = 0x7F;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string sideFile;
        const char* message;
    };
    const Case cases[] = {
        {"zero.png", withSides(0, kRows), "", "zero.png: the picture has no pixels"},
        {"huge.png", withSides(0x7FFFFFFF, 0x7FFFFFFF), "", "huge.png: the picture is too large (2147483647 x 2147483647; at most 16384 pixels a side)"},
        {"wrong.png", withSides(600, 600), "",
         "wrong.png: the picture is 600 x 600 pixels but the land's cells are 33 x 49 (a country map has one pixel per cell)"},
        {"huge.bmp", hugeBmp, "", "huge.bmp: the picture is too large (2147483647 x 49; at most 16384 pixels a side)"},
        {"cut.png", std::vector<std::uint8_t>(png.begin(), png.begin() + std::ptrdiff_t(png.size() / 2)), "",
         "cut.png: corrupt or truncated PNG file"},
        {"cut.bmp", std::vector<std::uint8_t>(bmp.begin(), bmp.begin() + 200), "", "cut.bmp: corrupt or truncated picture file"},
        {"short.bmp", std::vector<std::uint8_t>(bmp.begin(), bmp.begin() + 10), "", "short.bmp: the file is too short to be a picture"},
        {"side.png", png, "grid-x 3\ngrid-z 5\nrows 17\ncolumns 33\n",
         "side.png: the picture is 33 x 49 pixels but its side file describes 33 x 17"},
        {"broken.png", png, "grid-x 3\ngrid-z 99\nrows 49\ncolumns 33\n", "side file: grid-z must be a whole number from 0 to 31"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lndtest::writeBytes(dir.file(c.name), c.bytes);
        if (!c.sideFile.empty())
            lndtest::writeBytes(dir.file(std::string(c.name) + ".txt"), {c.sideFile.begin(), c.sideFile.end()});
        std::unique_ptr<CImageBase> picture;
        CountryMapImportOptions options;
        const Result r = readCountryMapFiles(land, dir.file(c.name), true, picture, options);
        EXPECT_FALSE(r);
        EXPECT_EQ(picture, nullptr);
        EXPECT_FALSE(options.placement.has_value());
        const std::string m = r.message();
        const std::string tail = c.message;
        EXPECT_TRUE(m.size() >= tail.size() && m.compare(m.size() - tail.size(), tail.size(), tail) == 0) << m;
    }
    // Every prefix of the PNG fails cleanly.
    for (std::size_t n = 0; n < png.size(); n += 7) {
        std::unique_ptr<CImageBase> picture;
        EXPECT_FALSE(decodePngPicture({png.data(), n}, picture)) << n;
        EXPECT_EQ(picture, nullptr);
    }
}

TEST(CountryMap, WritingWhereNoFolderCanBeLeavesNothingBehind) {
    TempDir dir;
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    lndtest::writeBytes(dir.file("plain"), {1, 2, 3});
    const Result r = writeCountryMapFiles(held.land, dir.file("plain/map.png"));
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.message().empty());
    EXPECT_EQ(lndtest::readBytes(dir.file("plain")), (std::vector<std::uint8_t>{1, 2, 3}));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(CountryMap, ApplyingDropsOnlyTheChangedBlocksTextures) {
    EditorLand held(threeBlocks());
    CLand& land = held.land;
    for (int b = 0; b < 3; ++b) ASSERT_EQ(SynthesizeBlockTexture(land, b), 0);
    CImage8 map;
    ASSERT_TRUE(exportCountryMap(land, map));
    // Only the block on square (5,5): picture rows 32.. and columns 0..15 (not its shared edge).
    map.indices()[40 * kColumns + 3] = std::uint8_t((map.index(3, 40) + 1) % 4);
    CountryMapEdit edit;
    ASSERT_TRUE(planCountryMapImport(land, map, {}, edit));
    ASSERT_EQ(edit.changedBlocks, std::vector<int>{2});
    ASSERT_EQ(edit.cells.size(), 1u);
    EXPECT_EQ(edit.cells[0].cell, 17 * 8 + 3);
    applyCountryMapEdit(land, edit);
    EXPECT_TRUE(land.textures().blocks().has(0));
    EXPECT_TRUE(land.textures().blocks().has(1));
    EXPECT_FALSE(land.textures().blocks().has(2));
}
