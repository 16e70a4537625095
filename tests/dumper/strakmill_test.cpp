#include "format/lnd_file.h"
#include "format/lnd_report.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::ProgramResult;
using lndtest::TempDir;

namespace {

const std::string kBanner = "Strakmill v1.00\n\nOpen LND file: ";
const std::string kMenu =
    "Select cell data to dump:\n\n 1. Altitude\n 2. Country\n 3. Split flag\n\n 0. Quit\n\n";

ProgramResult strakmill(const std::string& input, const std::string& workdir) {
    return lndtest::runProgram(lndtest::programPath("src/dumper/Strakmill"), {}, input, workdir);
}

// A land with gaps, edge blocks on the far sides of the grid and every flag combination.
LandBuilder awkwardLand() {
    LandBuilder b;
    b.loResTextures(2).countries(3);
    b.block(0, 0, [](TLndBlock& blk) {
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j) blk.Cells[i][j].CellFlags = std::uint16_t((i * 17 + j) * 0x0101);
    });
    b.block(5, 9);
    b.block(31, 31);   // the 17th row and column fall outside the map
    b.block(31, 0);
    b.block(6, 9);     // overlaps the edge of (5, 9): the later block wins
    b.orphanBlock([](TLndBlock& blk) {
        blk.GridX = 40;  // nowhere on the grid
        blk.GridZ = -3;
    });
    return b;
}

}  // namespace

TEST(Strakmill, CancellingTheFirstQuestionEndsAtOnce) {
    TempDir dir;
    for (const char* input : {"", "\n"}) {
        ProgramResult r = strakmill(input, dir.path());
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, kBanner);
    }
}

TEST(Strakmill, PrintsTheHeaderAndQuitsOnZero) {
    TempDir dir;
    const std::string land = LandBuilder().loResTextures(3).countries(2).materials(4).block(1, 2).writeTo(dir.file("a.lnd"));
    ProgramResult r = strakmill(land + "\n0\n", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    // Labels are padded to 18 characters.
    const std::string expected = kBanner + "Loading " + land + "...\nHeader info:\n" +
                                 " NumBlocks        2\n NumMaterials     4\n NumCountries     2\n"
                                 " BlockSize        2520\n MaterialSize     131074\n CountrySize      3076\n"
                                 " NumLoResTextures 3\n\n" + kMenu + "> \n";
    EXPECT_EQ(r.out, expected);
}

TEST(Strakmill, EveryDumpMatchesTheCoreDumpByteForByte) {
    TempDir dir;
    const auto image = awkwardLand().build();
    lndtest::writeBytes(dir.file("land.lnd"), image);
    // The land file may be read-only: the dumper never writes it.
    ::chmod(dir.file("land.lnd").c_str(), 0444);
    LndView view;
    ASSERT_TRUE(view.open(image));

    const std::string input = dir.file("land.lnd") + "\n1\nalt.raw\ny\n2\ncountry.raw\ny\n3\nsplit.raw\nn\n";
    ProgramResult r = strakmill(input, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Dumping block #1\nDumping block #2\n"), std::string::npos);
    EXPECT_NE(r.out.find("Continue working?\nDo you wish to dump another type of LND data now? (y/n) "),
              std::string::npos);

    const std::pair<const char*, DumpChoice> dumps[] = {
        {"alt.raw", DumpChoice::Altitude}, {"country.raw", DumpChoice::Country}, {"split.raw", DumpChoice::Split}};
    for (const auto& [name, choice] : dumps) {
        const auto written = lndtest::readBytes(dir.file(name));
        ASSERT_EQ(written.size(), 262144u) << name;
        EXPECT_EQ(written, dumpBigMap(view, choice)) << name;
    }
    // Spot checks against the cell layout: row 16*gx + i, column 16*gz + j.
    const auto country = lndtest::readBytes(dir.file("country.raw"));
    const auto split = lndtest::readBytes(dir.file("split.raw"));
    const auto alt = lndtest::readBytes(dir.file("alt.raw"));
    const int i = 3, j = 14;  // flags (3*17+14)*0x0101 -> low byte 0x41
    EXPECT_EQ(country[i * 512 + j], 0x41 & 0x0F);
    EXPECT_EQ(split[i * 512 + j], 0);
    EXPECT_EQ(split[7 * 512 + 8], ((7 * 17 + 8) & 0x80));
    EXPECT_EQ(alt[(5 * 16 + 2) * 512 + 9 * 16 + 7], LandBuilder::altitudeAt(5, 9, 2, 7));
    // The shared edge between (5,9) and (6,9) shows the later block.
    EXPECT_EQ(alt[(6 * 16) * 512 + 9 * 16 + 4], LandBuilder::altitudeAt(6, 9, 0, 4));
    // Country and split dumps do not reach the 17th row: a fresh map is zero there, even
    // though the altitude dump before wrote it.
    EXPECT_EQ(country[16 * 512 + 3], 0);
}

TEST(Strakmill, MenuRepliesAndEndOfInput) {
    TempDir dir;
    const std::string land = LandBuilder().block(0, 0).writeTo(dir.file("a.lnd"));
    // 4 and 300 only ask again; the end of input quits like 0.
    ProgramResult r = strakmill(land + "\n4\n300\n", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    const auto menuAt = r.out.find(kMenu);
    ASSERT_NE(menuAt, std::string::npos);
    EXPECT_EQ(r.out.substr(menuAt + kMenu.size()), "> \n> \n> \n");

    ProgramResult bad = strakmill(land + "\nx1\n", dir.path());
    EXPECT_EQ(bad.exitCode, 106);
    EXPECT_NE(bad.out.find("Runtime error 106"), std::string::npos);

    ProgramResult trailing = strakmill(land + "\n2 please\n\nn\n", dir.path());
    EXPECT_EQ(trailing.exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("BigMap.raw")));  // an empty name takes BigMap.raw
}

TEST(Strakmill, DeclinedReplaceKeepsTheExistingFile) {
    TempDir dir;
    const std::string land = LandBuilder().block(0, 0).writeTo(dir.file("a.lnd"));
    lndtest::writeBytes(dir.file("keep.raw"), {1, 2, 3});
    ProgramResult r = strakmill(land + "\n1\nkeep.raw\nn\nn\n", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("keep.raw already exists. Replace it? (y/n) "), std::string::npos);
    EXPECT_EQ(r.out.find("Dumping block"), std::string::npos);
    EXPECT_EQ(lndtest::readBytes(dir.file("keep.raw")), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(Strakmill, FileProblemsAreReportedAndNothingPartialIsWritten) {
    TempDir dir;
    ProgramResult missing = strakmill(dir.file("none.lnd") + "\n", dir.path());
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_NE(missing.out.find("Error 2 opening " + dir.file("none.lnd") + "!"), std::string::npos);

    lndtest::writeBytes(dir.file("tiny.lnd"), std::vector<std::uint8_t>(100, 0));
    ProgramResult tiny = strakmill(dir.file("tiny.lnd") + "\n", dir.path());
    EXPECT_NE(tiny.out.find("Error reading LND header"), std::string::npos);
    EXPECT_EQ(tiny.out.find("Header info:"), std::string::npos);

    // Claims three blocks but the file ends inside the second.
    auto image = LandBuilder().loResTextures(1).block(0, 0).block(0, 1).block(0, 2).build();
    image.resize(1052 + 65680 + 2520 + 1000);
    lndtest::writeBytes(dir.file("cut.lnd"), image);
    ProgramResult cut = strakmill(dir.file("cut.lnd") + "\n1\nout.raw\nn\n", dir.path());
    EXPECT_EQ(cut.exitCode, 0);
    EXPECT_NE(cut.out.find("Dumping block #1\nError reading block record 2: the file ends early!"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.raw")));

    // Textures that run past the end of the file.
    auto noTex = LandBuilder().loResTextures(2).build();
    noTex.resize(1052 + 65680 + 10);
    lndtest::writeBytes(dir.file("tex.lnd"), noTex);
    ProgramResult tex = strakmill(dir.file("tex.lnd") + "\n", dir.path());
    EXPECT_NE(tex.out.find("Error reading low-resolution texture 1: the file ends early!"), std::string::npos);

    // An output that cannot be created.
    const std::string ok = LandBuilder().block(0, 0).writeTo(dir.file("ok.lnd"));
    ProgramResult nodir = strakmill(ok + "\n1\n" + dir.file("no/such/dir.raw") + "\nn\n", dir.path());
    EXPECT_NE(nodir.out.find("Error 2 creating " + dir.file("no/such/dir.raw") + "!"), std::string::npos);
}

TEST(Strakmill, NoBlocksWritesTheEmptyMap) {
    TempDir dir;
    const std::string land = LandBuilder().loResTextures(0).writeTo(dir.file("empty.lnd"));
    ProgramResult r = strakmill(land + "\n1\n\nn\n", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(lndtest::readBytes(dir.file("BigMap.raw")), std::vector<std::uint8_t>(262144, 0));
}
