#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <fstream>

using lndtest::ProgramResult;

namespace {

ProgramResult lndtool(const std::vector<std::string>& args) { return lndtest::runLndtool(args); }

}  // namespace

TEST(LndtoolSettings, ShowsTheShippedDefaultsAndSingleValues) {
    ProgramResult all = lndtool({"settings", "Vostrel.settings.xml"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(all.out.find("seaParms: alphaCoast 128, alphaWater 15, alphaFullWater 0, "
                           "altitudeWater 0, altitudeFullWater 1, altitudeCoast 3"),
              std::string::npos);
    EXPECT_NE(all.out.find("aspectRatio: 1.35"), std::string::npos);
    EXPECT_EQ(all.out.find("(unset)"), std::string::npos);

    ProgramResult one = lndtool({"settings", "Vostrel.settings.xml", "--get",
                                 "/settings/exports/@rootDirectory"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.out, "./exports/\n");
}

TEST(LndtoolSettings, BrokenFileIsBadInputWithTheEditorsMessage) {
    lndtest::TempDir dir;
    const std::string path = dir.file("broken.xml");
    std::ofstream(path) << "<settings><keys>";
    ProgramResult r = lndtool({"settings", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "lndtool: error: Error Loading the file " + path +
                         " please verify that the file exists and the syntax is ok by loadign the "
                         "file with IE\n");
    EXPECT_TRUE(r.out.empty());
}
