#include "tools/texture_edit.h"

#include "d3dframework/texture.h"
#include "support/editor_land.h"

#include <gtest/gtest.h>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::EditorLand;

namespace {

// One country whose every blend entry takes material 0 fully; material 0 all white (31 per
// channel), no noise: every corner channel is 247.
void whiteLand(CLand& land) {
    for (TLndCoef& e : land.countries()[0].Coefs) {
        e.mat1 = 0;
        e.mat2 = 0;
        e.coef = 255;
    }
    for (auto& row : land.materials()[0].Texels)
        for (auto& t : row) t = 0x7FFF;
    std::memset(land.noiseMap(), 0, kNoiseMapSize);
}

void setSquareFlags(TLndBlock& b, int i, int j, std::uint16_t flags) {
    b.Cells[i][j].CellFlags = b.Cells[i + 1][j].CellFlags = b.Cells[i][j + 1].CellFlags =
        b.Cells[i + 1][j + 1].CellFlags = flags;
}

}  // namespace

TEST(TextureEdit, PictureComesFromTheSynthesisedTextureWithWaterShownBlue) {
    EditorLand h(LandBuilder().block(3, 3).block(4, 3).countries(2).materials(2));
    h.block(0).Cells[5][5].CellFlags = kWater;
    CTextureView view;
    view.LoadBlock(h.land, 0);
    ASSERT_TRUE(h.land.textures().blocks().has(0));
    const DeviceTexture& t = *h.land.textures().blocks().at(0);
    bool sawWater = false;
    for (int y = 0; y < 256; y += 5)
        for (int x = 0; x < 256; x += 3) {
            const std::uint8_t* p = t.levelBytes(0) + t.levelPitch(0) * std::size_t(y) + 4 * std::size_t(x);
            const int b = p[0], g = p[1], r = p[2], a = p[3];
            const int blue = a < 143 && b < 255 - a ? 255 - a : b;
            sawWater |= a < 143;
            ASSERT_EQ(view.pixel(x, y), pictureColour(std::uint8_t(r), std::uint8_t(g), std::uint8_t(blue))) << x << "," << y;
        }
    EXPECT_TRUE(sawWater);

    view.LoadBlock(h.land, -1);
    EXPECT_EQ(view.pixel(17, 200), kPictureBlue);
    view.LoadBlock(h.land, 2);   // no such record
    EXPECT_EQ(view.block(), -1);
    EXPECT_EQ(view.pixel(0, 0), kPictureBlue);
}

TEST(TextureEdit, PreviewTexelsFollowTheCornerCellsFlags) {
    EditorLand h(LandBuilder().block(3, 3, lndtest::flat(40)));
    whiteLand(h.land);
    TLndBlock& b = h.block(0);
    setSquareFlags(b, 2, 2, 0);
    setSquareFlags(b, 6, 6, kCoast);
    setSquareFlags(b, 9, 9, kWater);
    const auto c = h.land.countries();
    const auto m = h.land.materials();
    const TLndNoiseMap& n = *h.land.noiseMap();
    EXPECT_EQ(previewTexel(b, c, m, n, 2, 2, 0, 0), pictureColour(246, 246, 246));     // 255 * 247 / 256
    EXPECT_EQ(previewTexel(b, c, m, n, 2, 2, 15, 15), pictureColour(246, 246, 246));
    EXPECT_EQ(previewTexel(b, c, m, n, 6, 6, 7, 7), pictureColour(246, 246, 246));     // coast: alpha 127, in colour
    EXPECT_EQ(previewTexel(b, c, m, n, 9, 9, 7, 7), kPictureBlue);                     // water: alpha 14
    // FullWater corners are not darkened in the preview, only transparent.
    setSquareFlags(b, 11, 11, kFullWater);
    EXPECT_EQ(previewTexel(b, c, m, n, 11, 11, 3, 3), kPictureBlue);
    // A country beyond the table stands for the last one rather than reading past it.
    setSquareFlags(b, 12, 12, 9);
    EXPECT_EQ(previewTexel(b, c, m, n, 12, 12, 0, 0), pictureColour(246, 246, 246));
}

TEST(TextureEdit, LargeBrushAtTheCornerPaintsRowsAndColumns15And16Only) {
    EditorLand h(LandBuilder().block(3, 3).countries(4));
    CTextureEdit edit;
    edit.LoadBlock(h.land, 0);
    const std::vector<std::uint32_t> before = edit.picture();
    const TLndBlock original = edit.workingCopy();
    edit.setBrushSize(128);
    edit.setCountry(3);
    edit.MouseMove(true, 250, 250);
    EXPECT_TRUE(edit.pending());
    for (int i = 0; i < kCellsPerSide; ++i)
        for (int j = 0; j < kCellsPerSide; ++j) {
            const std::uint16_t was = original.Cells[i][j].CellFlags, now = edit.workingCopy().Cells[i][j].CellFlags;
            if (i >= 15 && j >= 15) EXPECT_EQ(now, (was & ~kCountryMask) | 3);
            else EXPECT_EQ(now, was);
        }
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            if (x >= 240 && y >= 240) continue;
            ASSERT_EQ(edit.picture()[std::size_t(y) * 256 + std::size_t(x)], before[std::size_t(y) * 256 + std::size_t(x)]);
        }
    // Nothing reached the land yet.
    EXPECT_EQ(std::memcmp(&h.block(0), &original, kBlockSize), 0);
}

TEST(TextureEdit, SmallBrushPaintsOneCellAndRedrawsOnlyItsSquare) {
    EditorLand h(LandBuilder().block(3, 3, lndtest::flat(40)).countries(2).materials(2));
    whiteLand(h.land);   // country 0 white; country 1 keeps the builder's blend
    CTextureEdit edit;
    edit.LoadBlock(h.land, 0);
    edit.setCountry(1);
    edit.setBrushSize(16);
    edit.MouseMove(false, 100, 40);   // moving without the button paints nothing
    EXPECT_FALSE(edit.pending());
    const std::vector<std::uint32_t> before = edit.picture();
    edit.MouseMove(true, 100, 40);    // cell (row 2, column 6)
    int changedCells = 0;
    for (int i = 0; i < kCellsPerSide; ++i)
        for (int j = 0; j < kCellsPerSide; ++j) changedCells += edit.workingCopy().Cells[i][j].countryIndex() == 1;
    EXPECT_EQ(changedCells, 1);
    EXPECT_EQ(edit.workingCopy().Cells[2][6].countryIndex(), 1);
    bool squareChanged = false;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const std::size_t k = std::size_t(y) * 256 + std::size_t(x);
            if (x / 16 == 6 && y / 16 == 2) squareChanged |= edit.picture()[k] != before[k];
            else ASSERT_EQ(edit.picture()[k], before[k]) << x << "," << y;
        }
    EXPECT_TRUE(squareChanged);
    const BrushFrame f = edit.brushFrame();
    EXPECT_TRUE(f.shown);
    EXPECT_EQ(f.left, 96);
    EXPECT_EQ(f.top, 32);
    EXPECT_EQ(f.right, 112);
    EXPECT_EQ(f.bottom, 48);

    edit.MouseMove(true, 300, 40);   // leaving the control ends painting
    EXPECT_FALSE(edit.captured());
    EXPECT_EQ(edit.mouseX(), -1);
    EXPECT_FALSE(edit.brushFrame().shown);
}

TEST(TextureEdit, ApplyWritesTheWorkingCopyAndCancelLeavesTheLand) {
    EditorLand h(LandBuilder().block(3, 3).countries(3));
    CTextureEdit edit;
    edit.LoadBlock(h.land, 0);
    ASSERT_TRUE(h.land.textures().blocks().has(0));
    edit.setCountry(2);
    edit.MouseMove(true, 20, 20);
    const TLndBlock painted = edit.workingCopy();

    // Leaving the block without applying: the land keeps its record and its texture.
    edit.LoadBlock(h.land, 0);
    EXPECT_FALSE(edit.pending());
    EXPECT_NE(h.block(0).Cells[1][1].countryIndex(), 2);
    EXPECT_TRUE(h.land.textures().blocks().has(0));

    edit.MouseMove(true, 20, 20);
    EXPECT_TRUE(edit.ApplyToBlock());
    EXPECT_FALSE(edit.pending());
    EXPECT_EQ(std::memcmp(&h.block(0), &painted, kBlockSize), 0);
    EXPECT_FALSE(h.land.textures().blocks().has(0));

    CTextureEdit none;
    none.LoadBlock(h.land, -1);
    EXPECT_FALSE(none.ApplyToBlock());
}
