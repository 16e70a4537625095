// One land's whole road, headless: opened as the shell opens it, edited with the tools,
// saved quick or full, and read back.
#include "land/land.h"

#include "base/messages.h"
#include "format/lnd_file.h"
#include "support/land_builder.h"
#include "tools/sample_land.h"
#include "textures/synthesis.h"
#include "tools/altitude_brush.h"
#include "tools/block_deletion.h"
#include "view/terrain_land.h"
#include "tools/texture_edit.h"
#include "support/editor_land.h"
#include "view/terrain_view.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

// A land as the shell holds it after File Open.
using Opened = lndtest::EditorLand;

std::string sampleLand(const TempDir& dir, int size = 6, std::uint32_t seed = 3) {
    SampleLandOptions options;
    options.size = size;
    options.seed = seed;
    const std::string path = dir.file("sample.lnd");
    lndtest::writeBytes(path, makeSampleLand(options));
    return path;
}

// The DXT3 bytes of a block's 64 x 64 tile in its low-resolution record, row by row.
std::vector<std::uint8_t> tileBytes(const std::vector<std::uint8_t>& file, const TLndBlock& block) {
    LndLayout layout;
    EXPECT_TRUE(checkImage(file, layout));
    const std::size_t data =
        layout.loResOffset + std::size_t(std::int32_t(block.LoResTexture)) * kLoResTexSize + kLoResDataOffset;
    std::vector<std::uint8_t> out;
    const int bx = std::int32_t(block.LoResX) / 4, by = std::int32_t(block.LoResY) / 4;
    for (int row = by; row < by + 16; ++row) {
        const std::size_t at = data + std::size_t(row) * 1024 + std::size_t(bx) * 16;
        out.insert(out.end(), file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at + 16 * 16));
    }
    return out;
}

std::vector<std::string> errors(const RecordingMessages& m) {
    std::vector<std::string> out;
    for (const auto& e : m.entries())
        if (e.kind == RecordingMessages::Kind::Error) out.push_back(e.text);
    return out;
}

}  // namespace

TEST(Pipeline, OpeningBuildsGeometryOnceThenTheDeviceObjects) {
    TempDir dir;
    const std::string big = sampleLand(dir, 8);
    const std::string small = LandBuilder().block(30, 30).block(31, 30).writeTo(dir.file("small.lnd"));

    Opened s;
    ASSERT_TRUE(s.open(big));
    ASSERT_EQ(s.mesh.blockCount(), 64);
    for (int b = 0; b < 64; ++b) ASSERT_NE(s.mesh.mesh(b, MeshLevel::Full), nullptr) << b;
    ASSERT_TRUE(s.land.textures().loRes().exists());
    for (std::size_t l = 0; l < s.land.numLoResTextures(); ++l) EXPECT_TRUE(s.land.textures().loRes().has(l));

    // A second land: the bounds are its own, not widened from the first one's.
    ASSERT_TRUE(s.open(small));
    Opened fresh(small);
    EXPECT_EQ(s.land.m_bounds.minX, fresh.land.m_bounds.minX);
    EXPECT_EQ(s.land.m_bounds.maxX, fresh.land.m_bounds.maxX);
    EXPECT_EQ(s.land.m_bounds.minY, fresh.land.m_bounds.minY);
    EXPECT_EQ(s.land.m_bounds.maxZ, fresh.land.m_bounds.maxZ);
    EXPECT_EQ(s.land.m_bounds.minX, 30 * 160.0f);
    EXPECT_EQ(s.mesh.blockCount(), 2);
    EXPECT_TRUE(errors(s.messages).empty());
}

TEST(Pipeline, UneditedQuickSavesGiveTheFileBack) {
    TempDir dir;
    const std::string sample = sampleLand(dir);
    {
        Opened s(sample);
        ASSERT_TRUE(s.save(dir.file("quick.lnd"), SaveKind::Quick));
        EXPECT_EQ(readBytes(dir.file("quick.lnd")), readBytes(sample));
        EXPECT_TRUE(s.messages.entries().empty());
    }

    // A builder land whose flags the edge sync changes: the first save carries the synced
    // flags, and from then on every open and quick save gives the same bytes back.
    LandBuilder b;
    b.block(4, 4).block(5, 4).block(4, 5).block(5, 5).block(6, 5).block(20, 2).countries(2).loResTextures(2);
    const std::string built = b.writeTo(dir.file("built.lnd"));
    {
        Opened s(built);
        ASSERT_TRUE(s.save(dir.file("gen1.lnd"), SaveKind::Quick));
    }
    {
        Opened s(dir.file("gen1.lnd"));
        ASSERT_TRUE(s.save(dir.file("gen2.lnd"), SaveKind::Quick));
    }
    EXPECT_EQ(readBytes(dir.file("gen2.lnd")), readBytes(dir.file("gen1.lnd")));
    // Nothing but the edge cells' flags changed in the first save.
    const auto in = readBytes(built), out = readBytes(dir.file("gen1.lnd"));
    LndView a, c;
    ASSERT_TRUE(a.open(in));
    ASSERT_TRUE(c.open(out));
    for (std::size_t k = 0; k < std::size_t(a.blockCount()); ++k)
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                const TLndCell &x = a.block(k).Cells[i][j], &y = c.block(k).Cells[i][j];
                EXPECT_EQ(x.Altitude, y.Altitude);
                if (i != 0 && i != 16 && j != 0 && j != 16) {
                    EXPECT_EQ(x.CellFlags, y.CellFlags);
                }
            }
}

TEST(Pipeline, BrushStepsFullSaveAndReload) {
    TempDir dir;
    const std::string path = sampleLand(dir);
    const std::vector<std::uint8_t> original = readBytes(path);
    Opened s(path);

    // Raise the block nearest the land's middle, centred on its middle cell.
    const int gx = (kGridSize - 6) / 2 + 3, gz = gx;
    const int record = s.land.blockRecordAt(gx, gz);
    ASSERT_GE(record, 0);
    const CBrushDef brush = lndtest::ringBrush({5, 5, 4, 4, 3, 3, 2, 2, 1, 1});
    s.tool.brush = &brush;
    s.tool.block = record;
    s.tool.centre = {gx * 160.0f + 80.0f, 0.0f, gz * 160.0f + 80.0f};
    s.tool.radius = 120;
    const std::uint8_t before = s.land.blocks()[std::size_t(record)].Cells[8][8].Altitude;
    std::set<int> edited;
    for (int step = 0; step < 4; ++step)
        for (int b : ApplyBrush(s.land, s.mesh, s.tool.withMode(kBrushRaise)))
            if (b >= 0) edited.insert(b);
    ASSERT_TRUE(edited.count(record));
    ASSERT_GT(edited.size(), 1u);   // the radius reaches across the block's borders
    const std::uint8_t raised = s.land.blocks()[std::size_t(record)].Cells[8][8].Altitude;
    EXPECT_EQ(raised, std::min(255, before + 20));
    ASSERT_TRUE(s.land.modified());

    ASSERT_TRUE(s.save(dir.file("edited.lnd"), SaveKind::Full));
    EXPECT_FALSE(s.land.modified());
    EXPECT_TRUE(errors(s.messages).empty());
    const std::vector<std::uint8_t> saved = readBytes(dir.file("edited.lnd"));

    Opened again(dir.file("edited.lnd"));
    ASSERT_EQ(again.land.numBlocks(), s.land.numBlocks());
    // The edit came back whole. The shared last row and column may differ in Split alone:
    // the save takes diagonals from the mesh for the squares, and the reopen's edge sync
    // merges the neighbour's restored bit into the shared row.
    for (int b = 0; b < s.land.numBlocks(); ++b)
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                const TLndCell &x = s.land.blocks()[std::size_t(b)].Cells[i][j];
                const TLndCell &y = again.land.blocks()[std::size_t(b)].Cells[i][j];
                ASSERT_EQ(x.Altitude, y.Altitude) << b << " " << i << " " << j;
                const std::uint16_t ignored = i == 16 || j == 16 ? kSplit : 0;
                ASSERT_EQ(x.CellFlags | ignored, y.CellFlags | ignored) << b << " " << i << " " << j;
            }
    EXPECT_EQ(again.land.blocks()[std::size_t(record)].Cells[8][8].Altitude, raised);

    LndView v;
    ASSERT_TRUE(v.open(original));
    // Every block was synthesised again for the full save; only edited blocks may show it
    // (a small change at a block's rim can stay below what its 64 x 64 tile resolves).
    for (std::size_t b = 0; b < std::size_t(v.blockCount()); ++b) {
        const bool changed = tileBytes(saved, v.block(b)) != tileBytes(original, v.block(b));
        if (!edited.count(int(b))) {
            EXPECT_FALSE(changed) << "tile of untouched block " << b;
        }
        if (int(b) == record) {
            EXPECT_TRUE(changed) << "tile of the raised block";
        }
    }

    // A quick save of the edit leaves every tile as loaded.
    Opened quick(path);
    quick.tool.brush = &brush;
    quick.tool.block = record;
    quick.tool.centre = s.tool.centre;
    quick.tool.radius = 120;
    ApplyBrush(quick.land, quick.mesh, quick.tool.withMode(kBrushRaise));
    ASSERT_TRUE(quick.save(dir.file("quick.lnd"), SaveKind::Quick));
    const std::vector<std::uint8_t> quickBytes = readBytes(dir.file("quick.lnd"));
    for (std::size_t b = 0; b < std::size_t(v.blockCount()); ++b)
        EXPECT_EQ(tileBytes(quickBytes, v.block(b)), tileBytes(original, v.block(b))) << b;
}

TEST(Pipeline, LevellingTheMapRebuildsEverythingAndSaves) {
    TempDir dir;
    const std::string path = sampleLand(dir, 4);
    Opened s(path);
    s.tool.level = 0x114;   // the lowest byte counts: 20
    levelMap(s.mesh, s.land, s.tool.level);
    EXPECT_EQ(s.land.m_bounds.maxY, 21.0f);
    EXPECT_EQ(s.land.m_bounds.minY, 21.0f);
    ASSERT_TRUE(s.land.textures().loRes().exists());
    for (std::size_t l = 0; l < s.land.numLoResTextures(); ++l) EXPECT_TRUE(s.land.textures().loRes().has(l));
    for (int b = 0; b < s.land.numBlocks(); ++b) ASSERT_NE(s.mesh.mesh(b, MeshLevel::Full), nullptr);

    ASSERT_TRUE(s.save(dir.file("flat.lnd"), SaveKind::Full));
    EXPECT_TRUE(errors(s.messages).empty()) << errors(s.messages).front();
    Opened again(dir.file("flat.lnd"));
    for (const TLndBlock& b : again.land.blocks())
        for (const auto& row : b.Cells)
            for (const TLndCell& c : row) {
                ASSERT_EQ(c.Altitude, 20);
                ASSERT_EQ(c.countryIndex(), 0);
            }
    // Every tile was drawn again from the flat land, so none shows the island any more.
    const auto original = readBytes(path), saved = readBytes(dir.file("flat.lnd"));
    LndView v;
    ASSERT_TRUE(v.open(original));
    for (std::size_t b = 0; b < std::size_t(v.blockCount()); ++b)
        EXPECT_NE(tileBytes(saved, v.block(b)), tileBytes(original, v.block(b))) << b;
}

TEST(Pipeline, DeletedBlockLeavesWithACompactingSave) {
    TempDir dir;
    const std::string path = sampleLand(dir, 4);
    Opened s(path);
    const int n = s.land.numBlocks();
    const int gx = (kGridSize - 4) / 2 + 1, gz = (kGridSize - 4) / 2 + 2;
    const int record = s.land.blockRecordAt(gx, gz);
    ASSERT_GE(record, 0);
    s.tool.block = record;
    const int nextRecord = s.land.blockRecordAt(gx + 1, gz);
    ASSERT_TRUE(DeleteCursorBlock(s.land, s.mesh, s.tool.block));
    std::vector<TLndBlock> kept;
    for (int b = 0; b < n; ++b)
        if (b != record) kept.push_back(s.land.blocks()[std::size_t(b)]);

    ASSERT_TRUE(s.save(dir.file("compact.lnd"), SaveKind::Full));
    // The land in memory keeps its numbering until the reopen.
    EXPECT_EQ(s.land.numBlocks(), n);
    EXPECT_EQ(s.land.blockRecordAt(gx + 1, gz), nextRecord);

    // The reopen, as the shell does after a compacting save.
    Opened again(dir.file("compact.lnd"));
    ASSERT_EQ(again.land.numBlocks(), n - 1);
    EXPECT_EQ(again.land.blockRecordAt(gx, gz), -1);
    int waterFacingTheHole = 0;
    for (int b = 0; b < n - 1; ++b) {
        const TLndBlock& expect = kept[std::size_t(b)];
        const TLndBlock& got = again.land.blocks()[std::size_t(b)];
        EXPECT_EQ(got.BlockNumber, b + 1);
        EXPECT_EQ(again.land.blockRecordAt(int(got.GridX), int(got.GridZ)), b);
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                const TLndCell &x = expect.Cells[i][j], &y = got.Cells[i][j];
                ASSERT_EQ(x.Altitude, y.Altitude);
                // Only the edge sync of the reopened land may add Water, on edges that lost
                // their neighbour.
                ASSERT_EQ(x.CellFlags | kWater, y.CellFlags | kWater) << b << " " << i << " " << j;
                if (x.CellFlags != y.CellFlags) {
                    ++waterFacingTheHole;
                    EXPECT_TRUE(i == 16 || j == 16 || (i == 0 && j == 0)) << b << " " << i << " " << j;
                }
            }
    }
    EXPECT_GT(waterFacingTheHole, 0);
    // From the reopened land on, saving and opening again changes nothing.
    ASSERT_TRUE(again.save(dir.file("again.lnd"), SaveKind::Quick));
    Opened third(dir.file("again.lnd"));
    ASSERT_TRUE(third.save(dir.file("third.lnd"), SaveKind::Quick));
    EXPECT_EQ(readBytes(dir.file("third.lnd")), readBytes(dir.file("again.lnd")));
}

TEST(Pipeline, EditsMakeTheViewRetryAFailedSynthesis) {
    TempDir dir;
    const std::string path = LandBuilder().block(3, 3).block(4, 3).writeTo(dir.file("in.lnd"));
    RecordingMessages messages;
    CLand land;
    CTerrainView view;
    int attempts = 0;
    bool fail = true;
    view.setSynthesizer([&](CLand& l, int b) {
        ++attempts;
        if (fail) {
            l.setTextureError("no luck");
            return 0;
        }
        return SynthesizeBlockTexture(l, b);
    });
    view.attach(land);
    ASSERT_TRUE(land.Load(path, LandSettings{}));
    rebuildTerrainGeometry(view.mesh(), land);
    recreateDeviceObjects(view.mesh(), land);
    view.onLandOpened(land, nullptr);
    auto showAll = [&] {
        for (int b = 0; b < 2; ++b) {
            const TLndBlock& blk = land.blocks()[std::size_t(b)];
            view.mesh().setSquare(blk.GridX, blk.GridZ, std::uint8_t(b + 1), LodFull);
        }
    };
    showAll();
    view.buildDrawList(land);
    view.buildDrawList(land);
    EXPECT_EQ(attempts, 2);   // once per block, not once per frame
    EXPECT_EQ(view.takeNotices().size(), 2u);   // one notice per block, for the shell's plain box
    EXPECT_TRUE(messages.entries().empty());
    EXPECT_EQ(land.takeTileCopyFailures(), 0);

    // A brush step on block 0 (not reaching block 1) gives block 0 another try.
    const CBrushDef brush = lndtest::ringBrush({3, 3, 3, 3, 3, 3, 3, 3, 3, 3});
    BrushStep step;
    step.brush = &brush;
    step.block = 0;
    step.centre = {3 * 160.0f + 40.0f, 0.0f, 3 * 160.0f + 80.0f};
    step.radius = 20;
    fail = false;
    ASSERT_EQ(ApplyBrush(land, view.mesh(), step.withMode(kBrushRaise)), (std::vector<int>{0, -1}));
    EXPECT_TRUE(view.mesh().lodDirty());
    showAll();
    const std::vector<TerrainDrawItem> items = view.buildDrawList(land);
    EXPECT_EQ(attempts, 3);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].texture, TerrainTexture::Block);
    EXPECT_NE(items[1].texture, TerrainTexture::Block);

    // Applying the block texture editor's work does the same for its block.
    CTextureEdit edit;
    edit.LoadBlock(land, 1);
    ASSERT_TRUE(edit.ApplyToBlock());
    showAll();
    view.buildDrawList(land);
    EXPECT_EQ(attempts, 4);
    EXPECT_TRUE(land.textures().blocks().has(1));
}

TEST(Pipeline, TheViewsAttachmentIsTheSameRoad) {
    TempDir dir;
    const std::string path = sampleLand(dir, 8);   // wide enough for the home view to see ground
    RecordingMessages messages;
    CLand land;
    CTerrainView view;
    view.attach(land);
    ASSERT_TRUE(view.synthesizer());
    ASSERT_TRUE(land.Load(path, LandSettings{}));
    rebuildTerrainGeometry(view.mesh(), land);
    recreateDeviceObjects(view.mesh(), land);
    view.onLandOpened(land, nullptr);
    view.restoreDeviceObjects(land);
    FrameInput input;
    input.backBufferWidth = 640;
    input.backBufferHeight = 480;
    view.frame(land, input);
    const FramePlan plan = view.frame(land, input);
    ASSERT_FALSE(plan.terrain.empty());
    EXPECT_TRUE(land.textures().blocks().exists());   // full-detail blocks were synthesised
    EXPECT_EQ(fullMeshes(view.mesh(), land).at(0), view.mesh().mesh(0, MeshLevel::Full));
    EXPECT_TRUE(land.textures().loRes().has(0));

    // Drawing synthesised the near blocks; a full save does the rest and gives the file back.
    ASSERT_TRUE(saveLand(view.mesh(), land, dir.file("out.lnd"), SaveKind::Full));
    EXPECT_EQ(readBytes(dir.file("out.lnd")), readBytes(path));
    EXPECT_TRUE(messages.entries().empty());
    EXPECT_EQ(land.takeTileCopyFailures(), 0);
}
