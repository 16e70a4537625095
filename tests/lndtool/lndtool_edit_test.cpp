#include "land/lnd_file.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <fstream>

using lndtest::LandBuilder;
using lndtest::ProgramResult;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

ProgramResult lndtool(const std::vector<std::string>& args) {
    return lndtest::runProgram(lndtest::programPath("src/lndtool/lndtool"), args);
}

// Flags already as the editor's edge sync leaves them, so an unedited resave is exact.
LandBuilder::BlockFill allWater() {
    return [](lnd::TLndBlock& b) {
        for (auto& row : b.Cells)
            for (auto& c : row) c.CellFlags = lnd::kWater;
    };
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
    const std::vector<std::uint8_t> before = readBytes(in), after = readBytes(dir.file("out.lnd"));
    lnd::LndView a, b;
    ASSERT_TRUE(a.open(before));
    ASSERT_TRUE(b.open(after));
    const int h = a.block(0).Cells[8][8].Altitude;
    EXPECT_EQ(b.block(0).Cells[8][8].Altitude, std::min(h + 6, 255));
    EXPECT_EQ(b.block(0).Cells[0][0].Altitude, a.block(0).Cells[0][0].Altitude);

    EXPECT_EQ(lndtool({"brush", in, "--brush", "None", "--at", "400,400", "--settings", dir.file("s.xml"), "-o",
                       dir.file("o.lnd")}).exitCode, 2);
    EXPECT_EQ(lndtool({"brush", in, "--brush", "Even", "--at", "10,10", "--settings", dir.file("s.xml"), "-o",
                       dir.file("o.lnd")}).exitCode, 2);
}
