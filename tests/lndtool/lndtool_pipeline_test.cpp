// The editing verbs on the procedural sample land: each runs the editor's open, edit and
// save, so what they write is what the editor would have written.
#include "land/lnd_file.h"
#include "support/land_builder.h"
#include "support/run_program.h"
#include "textures/synthesis.h"
#include "tools/land_attach.h"

#include <gtest/gtest.h>

#include <fstream>

using lndtest::ProgramResult;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

ProgramResult lndtool(const std::vector<std::string>& args) {
    return lndtest::runProgram(lndtest::programPath("src/lndtool/lndtool"), args);
}

std::string newLand(const TempDir& dir, const std::string& size) {
    const std::string path = dir.file("sample.lnd");
    const ProgramResult r = lndtool({"new", "-o", path, "--size", size, "--seed", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

}  // namespace

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
    ASSERT_EQ(held.open(in), 0);
    ASSERT_EQ(lnd::SynthesizeBlockTexture(held.land, 0), 0);
    const std::vector<std::uint8_t> expected(held.land.m_scratchImage.begin(),
                                             held.land.m_scratchImage.begin() + std::ptrdiff_t(lnd::kBlockImageSize));
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
