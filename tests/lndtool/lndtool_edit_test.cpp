#include "format/lnd_file.h"
#include "support/land_builder.h"
#include "support/run_program.h"
#include "textures/synthesis.h"
#include "view/terrain_land.h"

#include <gtest/gtest.h>

#include <fstream>

using lndtest::LandBuilder;
using lndtest::ProgramResult;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

ProgramResult lndtool(const std::vector<std::string>& args) { return lndtest::runLndtool(args); }

// Flags already as the editor's edge sync leaves them, so an unedited resave is exact.
LandBuilder::BlockFill allWater() {
    return [](lnd::TLndBlock& b) {
        for (auto& row : b.Cells)
            for (auto& c : row) c.CellFlags = lnd::kWater;
    };
}

// A procedural sample land written by `lndtool new`.
std::string newLand(const TempDir& dir, const std::string& size) {
    const std::string path = dir.file("sample.lnd");
    const ProgramResult r = lndtool({"new", "-o", path, "--size", size, "--seed", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

}  // namespace

TEST(LndtoolEdit, QuickResaveIsExactAndFullResaveReadsBack) {
    TempDir dir;
    const std::string in = LandBuilder().block(3, 3, allWater()).block(9, 9, allWater()).writeTo(dir.file("in.lnd"));
    ProgramResult quick = lndtool({"resave", in, "--quick", "-o", dir.file("quick.lnd")});
    ASSERT_EQ(quick.exitCode, 0) << quick.err;
    EXPECT_EQ(readBytes(dir.file("quick.lnd")), readBytes(in));

    ProgramResult full = lndtool({"resave", in, "-o", dir.file("full.lnd")});
    ASSERT_EQ(full.exitCode, 0) << full.err;
    const std::vector<std::uint8_t> bytes = readBytes(dir.file("full.lnd"));
    lnd::LndView v;
    EXPECT_TRUE(v.open(bytes));
    EXPECT_EQ(lndtool({"validate", dir.file("full.lnd")}).exitCode, 0);

    EXPECT_EQ(lndtool({"resave", dir.file("missing.lnd"), "-o", dir.file("x.lnd")}).exitCode, 1);
    EXPECT_EQ(lndtool({"resave", in}).exitCode, 2);
}

TEST(LndtoolEdit, DeleteBlockWritesACompactedLand) {
    TempDir dir;
    const std::string in = LandBuilder().block(1, 0).block(2, 0).block(3, 0).writeTo(dir.file("in.lnd"));
    ProgramResult r = lndtool({"delete-block", in, "--square", "2,0", "-o", dir.file("out.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::uint8_t> bytes = readBytes(dir.file("out.lnd"));
    lnd::LndView v;
    ASSERT_TRUE(v.open(bytes));
    EXPECT_EQ(v.blockCount(), 2);
    EXPECT_EQ(v.header().BlockIndex[1][0], 1);
    EXPECT_EQ(v.header().BlockIndex[2][0], 0);
    EXPECT_EQ(v.header().BlockIndex[3][0], 2);
    EXPECT_EQ(lndtool({"delete-block", in, "--square", "5,5", "-o", dir.file("o.lnd")}).exitCode, 2);
    EXPECT_EQ(lndtool({"delete-block", in, "--square", "a", "-o", dir.file("o.lnd")}).exitCode, 2);
}

TEST(LndtoolEdit, BrushStepsChangeTheAltitudesAroundThePoint) {
    TempDir dir;
    const std::string in = LandBuilder().block(2, 2).writeTo(dir.file("in.lnd"));
    std::ofstream(dir.file("s.xml")) << "<settings><landEdit><brushes>"
                                        "<brush bmp=\"x.bmp\" name=\"Even\" tip=\"t\">2</brush>"
                                        "</brushes></landEdit></settings>";
    ProgramResult r = lndtool({"brush", in, "--brush", "Even", "--at", "400,400", "--steps", "3", "--radius", "20",
                               "--settings", dir.file("s.xml"), "-o", dir.file("out.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::uint8_t> before = readBytes(in), after = readBytes(dir.file("out.lnd"));
    lnd::LndView a, b;
    ASSERT_TRUE(a.open(before));
    ASSERT_TRUE(b.open(after));
    const int h = a.block(0).Cells[8][8].Altitude;
    EXPECT_EQ(b.block(0).Cells[8][8].Altitude, std::min(h + 6, 255));
    EXPECT_EQ(b.block(0).Cells[0][0].Altitude, a.block(0).Cells[0][0].Altitude);

    // Smoothing a raised disc's rim on level ground: its inner edge sinks, the ground just
    // outside rises.
    const std::string level = LandBuilder()
                                  .block(2, 2,
                                         [](lnd::TLndBlock& blk) {
                                             for (auto& row : blk.Cells)
                                                 for (auto& cell : row) cell.Altitude = 50;
                                         })
                                  .writeTo(dir.file("level.lnd"));
    r = lndtool({"brush", level, "--brush", "Even", "--at", "400,400", "--steps", "3", "--radius", "20", "--settings",
                 dir.file("s.xml"), "-o", dir.file("out.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(b.open(after = readBytes(dir.file("out.lnd"))));
    r = lndtool({"brush", dir.file("out.lnd"), "--brush", "Even", "--at", "400,400", "--steps", "1", "--radius", "40",
                 "--times", "5", "--smooth", "--settings", dir.file("s.xml"), "-o", dir.file("smooth.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::uint8_t> smoothed = readBytes(dir.file("smooth.lnd"));
    lnd::LndView c;
    ASSERT_TRUE(c.open(smoothed));
    EXPECT_LT(c.block(0).Cells[8][10].Altitude, b.block(0).Cells[8][10].Altitude);
    EXPECT_GT(c.block(0).Cells[8][11].Altitude, b.block(0).Cells[8][11].Altitude);
    EXPECT_EQ(lndtool({"brush", in, "--brush", "Even", "--at", "400,400", "--lower", "--smooth", "--settings",
                       dir.file("s.xml"), "-o", dir.file("o.lnd")}).exitCode, 2);

    EXPECT_EQ(lndtool({"brush", in, "--brush", "None", "--at", "400,400", "--settings", dir.file("s.xml"), "-o",
                       dir.file("o.lnd")}).exitCode, 2);
    EXPECT_EQ(lndtool({"brush", in, "--brush", "Even", "--at", "10,10", "--settings", dir.file("s.xml"), "-o",
                       dir.file("o.lnd")}).exitCode, 2);
}

// The editing verbs on the procedural sample land: each runs the editor's open, edit and
// save, so what they write is what the editor would have written.
TEST(LndtoolPipeline, SampleLandResavesBrushesAndDeletesThroughTheEditorsRoad) {
    TempDir dir;
    const std::string sample = newLand(dir, "4");
    ProgramResult r = lndtool({"resave", sample, "--quick", "-o", dir.file("quick.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readBytes(dir.file("quick.lnd")), readBytes(sample));
    EXPECT_TRUE(r.err.empty()) << r.err;

    // A full resave redraws every tile from the same cells the sample was drawn from.
    r = lndtool({"resave", sample, "-o", dir.file("full.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readBytes(dir.file("full.lnd")), readBytes(sample));

    std::ofstream(dir.file("s.xml")) << "<settings><landEdit><brushes>"
                                        "<brush bmp=\"x.bmp\" name=\"Hill\" tip=\"t\">6 5 4 3 2 1 1 1 1 1</brush>"
                                        "</brushes></landEdit></settings>";
    // The land's blocks lie on squares 14..17; the middle of square (15, 15).
    r = lndtool({"brush", sample, "--brush", "Hill", "--at", "2480,2480", "--steps", "2", "--radius", "60",
                 "--settings", dir.file("s.xml"), "-o", dir.file("brushed.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    lnd::LndView before, after;
    const auto a = readBytes(sample), b = readBytes(dir.file("brushed.lnd"));
    ASSERT_TRUE(before.open(a));
    ASSERT_TRUE(after.open(b));
    const int n = before.header().BlockIndex[15][15] - 1;
    ASSERT_GE(n, 0);
    EXPECT_EQ(after.block(std::size_t(n)).Cells[8][8].Altitude,
              std::min(255, before.block(std::size_t(n)).Cells[8][8].Altitude + 12));
    EXPECT_EQ(lndtool({"validate", dir.file("brushed.lnd")}).exitCode, 0);

    r = lndtool({"delete-block", dir.file("brushed.lnd"), "--square", "15,15", "-o", dir.file("deleted.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    lnd::LndView deleted;
    const auto d = readBytes(dir.file("deleted.lnd"));
    ASSERT_TRUE(deleted.open(d));
    EXPECT_EQ(deleted.blockCount(), after.blockCount() - 1);
    EXPECT_EQ(deleted.header().BlockIndex[15][15], 0);
    EXPECT_EQ(lndtool({"validate", dir.file("deleted.lnd")}).exitCode, 0);
}

TEST(LndtoolPipeline, SynthWritesTheTextureTheEditorShows) {
    TempDir dir;
    // A lone block: its open edges take Water when opened, which the texture must show.
    const std::string in = lndtest::LandBuilder().block(6, 6).countries(1).materials(2).writeTo(dir.file("in.lnd"));
    ProgramResult r = lndtool({"synth", in, "--block", "1", "-o", dir.file("b.dds")});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    lnd::HeadlessLand held;
    ASSERT_TRUE(held.open(in));
    ASSERT_EQ(lnd::SynthesizeBlockTexture(held.land, 0), 0);
    const std::vector<std::uint8_t> expected(held.land.textures().scratch().begin(),
                                             held.land.textures().scratch().begin() + std::ptrdiff_t(lnd::kBlockImageSize));
    EXPECT_EQ(readBytes(dir.file("b.dds")), expected);

    // The raw cells, without the open's edge sync, give a different last row.
    lnd::LndView v;
    const auto bytes = readBytes(in);
    ASSERT_TRUE(v.open(bytes));
    std::vector<std::uint8_t> raw(lnd::kBlockImageSize);
    lnd::BlockSynthesizer synth;
    const lnd::LndParts parts = lnd::partsOf(v);
    lnd::synthesizeBlockImage(synth, v.block(0), parts.countries, parts.materials, v.noiseMap(), {}, raw.data());
    EXPECT_NE(raw, expected);

    EXPECT_EQ(lndtool({"synth", in, "--block", "2", "-o", dir.file("c.dds")}).exitCode, 2);
    EXPECT_EQ(lndtool({"synth", dir.file("none.lnd"), "--block", "1", "-o", dir.file("c.dds")}).exitCode, 1);
}
