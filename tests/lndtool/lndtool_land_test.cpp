#include "format/lnd_report.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

using lndtest::LandBuilder;
using lndtest::ProgramResult;
using lndtest::TempDir;

namespace {

ProgramResult lndtool(const std::vector<std::string>& args) { return lndtest::runLndtool(args); }

}  // namespace

TEST(LndtoolInfo, PrintsCountsAndBoundsAsTextAndJson) {
    TempDir dir;
    const std::string land = LandBuilder().loResTextures(2).countries(3).materials(4)
                                 .block(4, 7).block(9, 2).orphanBlock().writeTo(dir.file("a.lnd"));
    ProgramResult text = lndtool({"info", land});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("Blocks: 3 records, 2 squares occupied"), std::string::npos);
    EXPECT_NE(text.out.find("Grid bounds: x 4..9, z 2..7"), std::string::npos);
    ProgramResult json = lndtool({"info", land, "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.out.find("\"numBlocks\":4,\"blockRecords\":3,\"occupiedSquares\":2"), std::string::npos);
    EXPECT_NE(json.out.find("\"gridBounds\":{\"minX\":4,\"maxX\":9,\"minZ\":2,\"maxZ\":7}"), std::string::npos);
    EXPECT_NE(json.out.find("\"loResTextures\":2,\"countries\":3,\"materials\":4"), std::string::npos);
}

TEST(LndtoolValidate, SoundFileWarningsAndBrokenFiles) {
    TempDir dir;
    const std::string good = LandBuilder().block(0, 0).block(0, 1).writeTo(dir.file("good.lnd"));
    ProgramResult ok = lndtool({"validate", good});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_NE(ok.out.find("ok (0 warnings)"), std::string::npos);

    // Two blocks at the origin and a block whose position disagrees with its square.
    const std::string odd = LandBuilder().block(0, 0).block(3, 3, [](lnd::TLndBlock& b) {
        b.MapX = 0.0f;
        b.MapZ = 0.0f;
    }).writeTo(dir.file("odd.lnd"));
    ProgramResult warn = lndtool({"validate", odd});
    EXPECT_EQ(warn.exitCode, 0);
    EXPECT_NE(warn.out.find("2 blocks lie at the origin"), std::string::npos);
    EXPECT_NE(warn.out.find("block 2 at square (3,3) has MapX/MapZ 0,0 instead of 480,480"), std::string::npos);

    auto image = LandBuilder().block(0, 0).build();
    image.resize(image.size() - 1);
    lndtest::writeBytes(dir.file("short.lnd"), image);
    ProgramResult bad = lndtool({"validate", dir.file("short.lnd")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("the file ends inside the bump map"), std::string::npos);

    ProgramResult missing = lndtool({"validate", dir.file("none.lnd")});
    EXPECT_EQ(missing.exitCode, 1);
}

TEST(LndtoolDump, WritesTheBigMapAndRejectsBadUsage) {
    TempDir dir;
    const auto image = LandBuilder().block(2, 3).block(31, 31).build();
    lndtest::writeBytes(dir.file("a.lnd"), image);
    ProgramResult r = lndtool({"dump", dir.file("a.lnd"), "--data", "altitude", "-o", dir.file("a.raw")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    lnd::LndView view;
    ASSERT_TRUE(view.open(image));
    EXPECT_EQ(lndtest::readBytes(dir.file("a.raw")), lnd::dumpBigMap(view, lnd::DumpChoice::Altitude));

    EXPECT_EQ(lndtool({"dump", dir.file("a.lnd"), "--data", "height", "-o", dir.file("b.raw")}).exitCode, 2);
    EXPECT_EQ(lndtool({"dump", dir.file("a.lnd"), "--data", "split"}).exitCode, 2);
    EXPECT_EQ(lndtool({"dump", "--bogus"}).exitCode, 2);
    EXPECT_EQ(lndtool({"nonsense"}).exitCode, 2);
    EXPECT_EQ(lndtool({}).exitCode, 2);
    EXPECT_EQ(lndtool({"--help"}).exitCode, 0);
}
