#include "tools/altitude_brush.h"

#include "d3dframework/texture.h"
#include "support/editor_land.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <cstring>
#include <limits>
#include <random>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::flat;
using lndtest::EditorLand;
using lndtest::ringBrush;

namespace {

// Puts the brush on vertex (i, j) of block b.
void aimAt(EditorLand& h, int b, int i, int j, int radius, int times = 1) {
    const TLndBlock& blk = h.block(b);
    h.tool.block = b;
    h.tool.centre = {float(blk.MapX) + 10.0f * float(i), 0.0f, float(blk.MapZ) + 10.0f * float(j)};
    h.tool.radius = radius;
    h.tool.times = times;
}

}  // namespace

TEST(AltitudeBrush, RingFactorsReachTheCellsAtTheirDistances) {
    EditorLand h(LandBuilder().block(5, 5, flat(100)));
    const CBrushDef brush = ringBrush({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    h.tool.brush = &brush;
    aimAt(h, 0, 8, 8, 80);
    ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushRaise));
    const auto alt = [&](int i, int j) { return int(h.block(0).Cells[i][j].Altitude); };
    EXPECT_EQ(alt(8, 8), 101);    // d 0: ring 0
    EXPECT_EQ(alt(8, 9), 101);    // d 10 < 0.2 r: ring 0
    EXPECT_EQ(alt(8, 10), 102);   // d 20 = 0.25 r: ring 1
    EXPECT_EQ(alt(8, 12), 105);   // d 40 = r/2: ring 4
    EXPECT_EQ(alt(8, 15), 108);   // d 70: ring 7 runs from 0.8 r = 64 to 0.9 r
    EXPECT_EQ(alt(8, 16), 110);   // d 80 = r: inside, ring 9
    EXPECT_EQ(alt(0, 8), 110);
    EXPECT_EQ(alt(2, 13), 109);   // d = sqrt(3600 + 2500) = 78.1: ring 8
    EXPECT_EQ(alt(1, 14), 100);   // d = sqrt(4900 + 3600) = 92.2: outside
    EXPECT_EQ(alt(0, 0), 100);
    EXPECT_TRUE(h.land.modified());
}

TEST(AltitudeBrush, StepsClampAndSmallStepsTruncate) {
    EXPECT_EQ(brushAltitude(250, kBrushRaise, 10, 10.0f), 255);
    EXPECT_EQ(brushAltitude(5, kBrushLower, 10, 10.0f), 0);
    EXPECT_EQ(brushAltitude(40, kBrushRaise, 1, 0.5f), 40);   // 40.5 truncates back
    EXPECT_EQ(brushAltitude(40, kBrushLower, 1, 0.5f), 39);   // 39.5 truncates down
    EXPECT_EQ(brushAltitude(0, kBrushLower, 1, 0.5f), 0);
    EXPECT_EQ(brushAltitude(7, kBrushRaise, 1, std::numeric_limits<float>::infinity()), 255);
    EXPECT_EQ(brushAltitude(7, kBrushLower, 1, std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(brushAltitude(7, kBrushRaise, 1, std::numeric_limits<float>::quiet_NaN()), 7);
    EXPECT_EQ(brushAltitude(7, kBrushRaise, 2147483647, 3.0e38f), 255);
    EXPECT_EQ(brushRing(0.0, 0), 0);
    EXPECT_EQ(brushRing(1e30, 10), 9);
}

TEST(AltitudeBrush, ChangedCellsAreReclassifiedUnchangedOnesKeepTheirFlags) {
    EditorLand h(LandBuilder().block(5, 5, flat(10, std::uint16_t(kSplit | kFullWater | 0x1000 | 3))).countries(4));
    h.land.m_seaParms.altitudeWater = 5;
    h.land.m_seaParms.altitudeCoast = 9;
    const CBrushDef brush = ringBrush({6, 6, 6, 6, 6, 6, 6, 6, 0, 0});
    h.tool.brush = &brush;
    aimAt(h, 0, 8, 8, 30);
    ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushLower));
    EXPECT_EQ(h.block(0).Cells[8][8].Altitude, 4);
    EXPECT_EQ(h.block(0).Cells[8][8].CellFlags, kWater | 0x0400 | 3);
    EXPECT_EQ(h.block(0).Cells[8][11].Altitude, 10);   // d = r: ring 9, factor 0
    EXPECT_EQ(h.block(0).Cells[8][11].CellFlags, kSplit | kFullWater | 0x1000 | 3);

    ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushRaise));   // 4 + 6 = 10: above both thresholds
    EXPECT_EQ(h.block(0).Cells[8][8].CellFlags, 3);
    h.land.m_seaParms.altitudeWater = 0;
    h.land.m_seaParms.altitudeCoast = 3;
    const CBrushDef down8 = ringBrush({8, 8, 8, 8, 8, 8, 8, 8, 8, 8});
    h.tool.brush = &down8;
    ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushLower));   // 10 - 8 = 2: coast
    EXPECT_EQ(h.block(0).Cells[8][8].CellFlags, kCoast | 0x0C00 | 3);
}

TEST(AltitudeBrush, LevelSetsEveryVertexInsideAndIsNotRecorded) {
    EditorLand h(LandBuilder().block(5, 5, flat(100, kSplit)));
    h.block(0).Cells[8][9].Altitude = 44;
    h.tool.level = 300;   // lowest byte 44
    h.tool.brush = nullptr;    // the level needs no brush
    aimAt(h, 0, 8, 8, 20);
    ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushLevel));
    EXPECT_EQ(h.block(0).Cells[8][8].Altitude, 44);
    EXPECT_EQ(h.block(0).Cells[8][8].CellFlags, 0);          // Split cleared
    EXPECT_EQ(h.block(0).Cells[8][9].CellFlags, kSplit);     // already 44: untouched
    EXPECT_EQ(h.block(0).Cells[10][8].Altitude, 44);
    EXPECT_EQ(h.block(0).Cells[11][8].Altitude, 100);
    EXPECT_TRUE(h.land.history().empty());

    // The step's own values win over the land's fields (the window asks first, then steps).
    h.tool.level = 200;
    BrushStep step = h.tool.withMode(kBrushLevel);
    step.level = 0;
    ApplyBrush(h.land, h.mesh, step);
    EXPECT_EQ(h.block(0).Cells[8][8].Altitude, 0);
}

TEST(AltitudeBrush, TouchesOnlyTheNineBlocksAndKeepsBordersWelded) {
    // A row of blocks along x: 0 at gx 4, 1 at gx 5, 2 at gx 6, 3 at gx 7, and one along z.
    EditorLand h(LandBuilder().block(4, 5).block(5, 5).block(6, 5).block(7, 5).block(5, 6));
    const std::vector<std::uint8_t> before = h.image();
    const CBrushDef brush = ringBrush({5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
    h.tool.brush = &brush;
    aimAt(h, 1, 16, 8, 160);   // on the border with block 2; block 3 is within reach but no neighbour
    const std::vector<int> changed = ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushRaise));
    EXPECT_EQ(changed, (std::vector<int>{1, 2, 4, 0}));   // cursor, then slots 4, 6, 8
    for (int j = 0; j < kCellsPerSide; ++j) {
        EXPECT_EQ(h.block(1).Cells[16][j].Altitude, h.block(2).Cells[0][j].Altitude) << j;
        EXPECT_EQ(h.block(0).Cells[16][j].Altitude, h.block(1).Cells[0][j].Altitude) << j;
    }
    for (int i = 0; i < kCellsPerSide; ++i)
        EXPECT_EQ(h.block(1).Cells[i][16].Altitude, h.block(4).Cells[i][0].Altitude) << i;
    const auto& untouched = h.block(3);
    EXPECT_EQ(std::memcmp(&untouched, before.data() + h.land.layout().blocksOffset + 3 * kBlockSize, kBlockSize), 0);

    // The full mesh of a changed block carries the new heights.
    const DeviceMesh* full = h.mesh.mesh(2, MeshLevel::Full);
    ASSERT_NE(full, nullptr);
    for (std::uint32_t k = 0; k < full->vertexCount(); ++k) {
        const glm::vec3 p = full->position(k);
        const int i = int(p.x - 960.0f) / 10, j = int(p.z - 800.0f) / 10;
        ASSERT_EQ(p.y, float(h.block(2).Cells[i][j].Altitude));
    }
}

TEST(AltitudeBrush, DropsTheBlockTexturesOfChangedBlocksOnly) {
    EditorLand h(LandBuilder().block(5, 5).block(9, 9));
    h.land.textures().blocks().make(2);
    std::unique_ptr<DeviceTexture> a, b;
    ASSERT_EQ(DeviceTexture::create(4, 4, 1, TextureFormat::A8R8G8B8, a), kDeviceOk);
    ASSERT_EQ(DeviceTexture::create(4, 4, 1, TextureFormat::A8R8G8B8, b), kDeviceOk);
    h.land.textures().blocks().set(0, TextureHandle(std::move(a)));
    h.land.textures().blocks().set(1, TextureHandle(std::move(b)));
    const CBrushDef brush = ringBrush({1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    h.tool.brush = &brush;
    aimAt(h, 0, 8, 8, 40);
    ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushRaise));
    EXPECT_FALSE(h.land.textures().blocks().has(0));
    EXPECT_TRUE(h.land.textures().blocks().has(1));
}

TEST(AltitudeBrush, UndoGivesBackTheExactBytesAfterManySteps) {
    EditorLand h(LandBuilder().block(4, 4).block(5, 4).block(4, 5).block(5, 5, flat(250, kSplit | kFullWater)));
    h.land.m_seaParms.altitudeWater = 60;
    h.land.m_seaParms.altitudeCoast = 90;
    const std::vector<std::uint8_t> start = h.image();
    const CBrushDef brush = ringBrush({40, 30, 20, 12, 9, 7, 5, 3, 2, 1});
    h.tool.brush = &brush;
    std::mt19937 rng(7);
    for (int step = 0; step < 40; ++step) {
        aimAt(h, int(rng() % 4), int(rng() % 17), int(rng() % 17), 10 + int(rng() % 150), 1 + int(rng() % 5));
        ApplyBrush(h.land, h.mesh, h.tool.withMode(rng() % 2 ? kBrushRaise : kBrushLower));
    }
    EXPECT_EQ(h.land.history().size(), 40u);
    EXPECT_NE(h.image(), start);
    for (int step = 0; step < 40; ++step) EXPECT_TRUE(UndoStroke(h.land, h.mesh));
    EXPECT_FALSE(UndoStroke(h.land, h.mesh));
    EXPECT_EQ(h.image(), start);
    // Meshes follow the restored heights.
    const DeviceMesh* full = h.mesh.mesh(3, MeshLevel::Full);
    ASSERT_NE(full, nullptr);
    for (std::uint32_t k = 0; k < full->vertexCount(); ++k) ASSERT_EQ(full->position(k).y, 250.0f);
}

TEST(AltitudeBrush, HeldKeysStepEveryFrameOnlyWithABrushAndABlock) {
    EditorLand h(LandBuilder().block(5, 5, flat(100)));
    const CBrushDef brush = ringBrush({1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    aimAt(h, 0, 8, 8, 40);
    brushKeysFrame(h.land, h.mesh, h.tool, {true, false}, nullptr);
    EXPECT_TRUE(h.land.history().empty());
    for (int frame = 0; frame < 10; ++frame) brushKeysFrame(h.land, h.mesh, h.tool, {true, false}, &brush);
    EXPECT_EQ(h.land.history().size(), 10u);
    EXPECT_EQ(h.block(0).Cells[8][8].Altitude, 110);
    EXPECT_EQ(h.tool.brush, &brush);
    brushKeysFrame(h.land, h.mesh, h.tool, {false, true}, &brush);
    EXPECT_EQ(h.block(0).Cells[8][8].Altitude, 109);
    EXPECT_EQ(h.land.history().newest().mode, kBrushLower);
    h.tool.block = -1;
    brushKeysFrame(h.land, h.mesh, h.tool, {true, false}, &brush);
    EXPECT_EQ(h.land.history().size(), 11u);
}

TEST(AltitudeBrush, UndoRevertsOnlyWhatTheStrokeLeft) {
    struct Case {
        const char* name;
        std::uint8_t start;
        int mode;
        std::function<void(EditorLand&)> since;   // work done between the stroke and the undo
        bool undone;                            // UndoStroke still finds the stroke
        std::uint8_t centre;                    // cell (8, 8) after the undo
        std::uint16_t centreFlags;
        std::uint8_t inside;                    // cell (8, 11), inside the stroke, after the undo
    };
    constexpr std::uint16_t kStart = kSplit | 2;
    const auto setFlags = [](std::uint16_t mask, std::uint16_t bits) {
        return [=](EditorLand& h) {
            TLndCell& c = h.block(0).Cells[8][8];
            c.CellFlags = std::uint16_t((c.CellFlags & ~mask) | bits);
        };
    };
    const Case cases[] = {
        {"nothing since", 100, kBrushLower, [](EditorLand&) {}, true, 100, kStart, 100},
        {"country painted", 100, kBrushLower, setFlags(kCountryMask, 5), true, 100, kSplit | 5, 100},
        {"full water marked", 100, kBrushLower, setFlags(kFullWater, kFullWater), true, 100, kStart | kFullWater, 100},
        {"levelled", 100, kBrushLower,
         [](EditorLand& h) {
             h.tool.level = 70;
             aimAt(h, 0, 8, 8, 10);
             ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushLevel));
         },
         true, 70, kCoast | kEditMarks | 2, 100},
        {"raised into 255", 250, kBrushRaise, [](EditorLand&) {}, true, 250, kStart, 250},
        {"map initialised", 100, kBrushLower,
         [](EditorLand& h) {
             h.tool.level = 33;
             levelMap(h.mesh, h.land, h.tool.level);
         },
         false, 33, 0, 33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorLand h(LandBuilder().block(5, 5, flat(c.start, kStart)).countries(6));
        h.land.m_seaParms.altitudeWater = 60;
        h.land.m_seaParms.altitudeCoast = 90;
        const CBrushDef brush = ringBrush({50, 50, 50, 50, 50, 50, 50, 50, 50, 50});
        h.tool.brush = &brush;
        aimAt(h, 0, 8, 8, 40);
        ApplyBrush(h.land, h.mesh, h.tool.withMode(c.mode));
        ASSERT_NE(h.block(0).Cells[8][8].Altitude, c.start);
        c.since(h);
        EXPECT_EQ(UndoStroke(h.land, h.mesh), c.undone);
        EXPECT_EQ(h.block(0).Cells[8][8].Altitude, c.centre);
        EXPECT_EQ(h.block(0).Cells[8][8].CellFlags, c.centreFlags);
        EXPECT_EQ(h.block(0).Cells[8][11].Altitude, c.inside);
        EXPECT_EQ(h.mesh.geometry(0).positions[std::size_t(8 * 17 + 8)].y, float(c.centre));
        EXPECT_TRUE(h.land.history().empty());
    }
}

TEST(AltitudeBrush, RedoReappliesOnlyWhereTheUndoLeftTheCells) {
    struct Case {
        const char* name;
        std::function<void(EditorLand&)> since;   // work done between the undo and the redo
        bool redone;                            // RedoStroke still finds the stroke
        std::uint8_t centre;                    // cell (8, 8) after the redo
        std::uint16_t centreFlags;
        std::uint8_t inside;                    // cell (8, 11), inside the stroke, after the redo
    };
    constexpr std::uint16_t kStart = kSplit | 2;
    // The stroke lowers 100 by 50 to 50: below the coast line.
    constexpr std::uint16_t kLowered = kCoast | kEditMarks | 2;
    const CBrushDef other = ringBrush({1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    const Case cases[] = {
        {"nothing since", [](EditorLand&) {}, true, 50, kLowered, 50},
        {"country painted",
         [](EditorLand& h) {
             TLndCell& c = h.block(0).Cells[8][8];
             c.CellFlags = std::uint16_t((c.CellFlags & ~kCountryMask) | 5);
         },
         true, 50, kCoast | kEditMarks | 5, 50},
        {"levelled",
         [](EditorLand& h) {
             h.tool.level = 70;
             aimAt(h, 0, 8, 8, 10);
             ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushLevel));
         },
         true, 70, kCoast | kEditMarks | 2, 50},
        {"a new step",
         [&other](EditorLand& h) {
             h.tool.brush = &other;
             aimAt(h, 0, 0, 0, 10);
             ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushRaise));
         },
         false, 100, kStart, 100},
        {"map initialised",
         [](EditorLand& h) {
             h.tool.level = 33;
             levelMap(h.mesh, h.land, h.tool.level);
         },
         false, 33, 0, 33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorLand h(LandBuilder().block(5, 5, flat(100, kStart)).countries(6));
        h.land.m_seaParms.altitudeWater = 40;
        h.land.m_seaParms.altitudeCoast = 90;
        const CBrushDef brush = ringBrush({50, 50, 50, 50, 50, 50, 50, 50, 50, 50});
        h.tool.brush = &brush;
        aimAt(h, 0, 8, 8, 40);
        EXPECT_FALSE(RedoStroke(h.land, h.mesh)) << "nothing undone yet";
        ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushLower));
        const std::vector<std::uint8_t> stroked = h.image();
        ASSERT_TRUE(UndoStroke(h.land, h.mesh));
        EXPECT_TRUE(h.land.history().canRedo());
        c.since(h);
        EXPECT_EQ(RedoStroke(h.land, h.mesh), c.redone);
        EXPECT_EQ(h.block(0).Cells[8][8].Altitude, c.centre);
        EXPECT_EQ(h.block(0).Cells[8][8].CellFlags, c.centreFlags);
        EXPECT_EQ(h.block(0).Cells[8][11].Altitude, c.inside);
        EXPECT_EQ(h.mesh.geometry(0).positions[std::size_t(8 * 17 + 11)].y, float(c.inside));
        EXPECT_FALSE(h.land.history().canRedo());
        if (std::string(c.name) == "nothing since") {
            EXPECT_EQ(h.image(), stroked) << "redo gives back every byte of the step";
            ASSERT_TRUE(UndoStroke(h.land, h.mesh)) << "a redone step can be undone again";
            EXPECT_EQ(h.block(0).Cells[8][8].Altitude, 100);
        }
    }
}

TEST(AltitudeBrush, SmoothingMovesTowardTheMeanWithoutOvershoot) {
    struct Step {
        std::uint8_t h;
        double mean;
        int times;
        float factor;
        std::uint8_t expected;
    };
    const Step steps[] = {
        {200, 100.0, 1, 10.0f, 100},   // full weight: the mean
        {200, 100.0, 1, 20.0f, 100},   // weight limited to 1: never past the mean
        {200, 100.0, 1, 5.0f, 150},    // half way
        {200, 100.0, 2, 2.5f, 150},    // Times scales the weight
        {10, 11.0, 1, 4.0f, 10},       // 10.4 rounds back
        {10, 11.0, 1, 6.0f, 11},       // 10.6 rounds up, still at most the mean rounded
        {10, 10.6, 1, 10.0f, 11},
        {0, 200.0, 1, 0.0f, 0},        // a zero ring factor leaves the cell
        {50, 0.0, 1, -3.0f, 50},       // a negative factor too
        {50, 0.0, 1, std::numeric_limits<float>::quiet_NaN(), 50},
        {50, 255.0, 1, std::numeric_limits<float>::infinity(), 255},
    };
    for (const Step& s : steps)
        EXPECT_EQ(smoothedAltitude(s.h, s.mean, s.times, s.factor), s.expected)
            << int(s.h) << " toward " << s.mean << " by " << s.times << "*" << s.factor;

    // A spike on the border of two blocks and a pit in the middle of one, smoothed in one
    // step: each lies within its neighbourhood's range, the border stays welded, and the
    // step is recorded and undone like the others.
    struct Spot {
        const char* name;
        int b, i, j;
        std::uint8_t value;
        bool spike;
    };
    const Spot spots[] = {{"spike on the shared edge", 0, 16, 8, 250, true},
                          {"spike in a block", 1, 8, 8, 200, true},
                          {"pit beside the edge", 1, 1, 4, 0, false}};
    for (const Spot& s : spots) {
        SCOPED_TRACE(s.name);
        EditorLand h(LandBuilder().block(4, 5, flat(60)).block(5, 5, flat(60)));
        h.land.m_seaParms.altitudeWater = 5;
        h.land.m_seaParms.altitudeCoast = 9;
        std::mt19937 rng(3);
        for (int b = 0; b < 2; ++b)
            for (int i = 0; i < 17; ++i)
                for (int j = 0; j < 17; ++j) h.block(b).Cells[i][j].Altitude = std::uint8_t(50 + rng() % 20);
        for (int j = 0; j < 17; ++j) h.block(1).Cells[0][j].Altitude = h.block(0).Cells[16][j].Altitude;
        h.block(s.b).Cells[s.i][s.j].Altitude = s.value;
        if (s.b == 0 && s.i == 16) h.block(1).Cells[0][s.j].Altitude = s.value;
        const std::vector<std::uint8_t> start = h.image();
        // Global cell rows: block 0 holds rows 64..80, block 1 rows 80..96.
        const auto at = [&](int row, int col) -> int {
            return row < 80 ? h.block(0).Cells[row - 64][col - 80].Altitude : h.block(1).Cells[row - 80][col - 80].Altitude;
        };
        std::vector<std::pair<int, int>> range(17 * 33);   // per cell before: min and max of its neighbourhood
        for (int row = 64; row <= 96; ++row)
            for (int col = 80; col <= 96; ++col) {
                int lo = 255, hi = 0;
                for (int dr = -1; dr <= 1; ++dr)
                    for (int dc = -1; dc <= 1; ++dc) {
                        if (row + dr < 64 || row + dr > 96 || col + dc < 80 || col + dc > 96) continue;
                        lo = std::min(lo, at(row + dr, col + dc));
                        hi = std::max(hi, at(row + dr, col + dc));
                    }
                range[std::size_t((row - 64) * 17 + col - 80)] = {lo, hi};
            }
        const CBrushDef brush = ringBrush({10, 10, 10, 10, 10, 10, 10, 10, 10, 10});
        h.tool.brush = &brush;
        aimAt(h, s.b, s.i, s.j, 160);
        const TLndBlock before[2] = {h.block(0), h.block(1)};
        ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushSmooth));
        const int row = 64 + 16 * s.b + s.i, col = 80 + s.j;
        if (s.spike) EXPECT_LT(at(row, col), int(s.value));
        else EXPECT_GT(at(row, col), int(s.value));
        for (int r = 64; r <= 96; ++r)
            for (int c = 80; c <= 96; ++c) {
                const auto [lo, hi] = range[std::size_t((r - 64) * 17 + c - 80)];
                ASSERT_GE(at(r, c), lo) << r << "," << c;
                ASSERT_LE(at(r, c), hi) << r << "," << c;
            }
        for (int j = 0; j < 17; ++j) ASSERT_EQ(h.block(0).Cells[16][j].Altitude, h.block(1).Cells[0][j].Altitude) << j;
        for (int b = 0; b < 2; ++b)
            for (int i = 0; i < 17; ++i)
                for (int j = 0; j < 17; ++j) {
                    const TLndCell& cell = h.block(b).Cells[i][j];
                    if (cell.Altitude == before[b].Cells[i][j].Altitude) continue;
                    ASSERT_EQ(cell.CellFlags, cell.Altitude < 5 ? (kWater | 0x0400) : cell.Altitude < 9 ? (kCoast | kEditMarks) : 0);
                }
        EXPECT_EQ(h.land.history().newest().mode, kBrushSmooth);
        ASSERT_TRUE(UndoStroke(h.land, h.mesh));
        EXPECT_EQ(h.image(), start);
    }
}
