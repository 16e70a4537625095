// Clayvane's readers and writer: land images, Brushes.txt, Clayvane.dat, and the save.
#include "sculpt_support.h"

#include "sculpt/brush_file.h"
#include "sculpt/lndprocess.h"
#include "sculpt/menu_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace clay;
using namespace lnd;
using sculpttest::CRecordingShell;

namespace {

std::vector<std::uint8_t> SmallLand() {
    return lndtest::LandBuilder().block(3, 4).block(3, 5).block(10, 10).orphanBlock().countries(3).materials(2).build();
}

// The format library decides what is refused; Clayvane words each refusal as it always has.
TEST(ClayvaneLandFile, RefusalsKeepClayvanesWords) {
    const auto good = SmallLand();
    const std::string size = std::to_string(good.size());
    const std::string counts = " (1 low-resolution textures, 4 blocks, 3 countries, 2 materials) need ";
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        std::string says;
        std::uint64_t offset;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }, "the file is empty", 0},
        {"short header", [](auto& b) { b.resize(100); }, "the file is too short for a land header (100 bytes)", 100},
        {"no block count", [](auto& b) { recordAt<TLndHeader>(b.data(), 0)->NumBlocks = 0; }, "the block count 0 is not positive", 0},
        {"negative countries", [](auto& b) { recordAt<TLndHeader>(b.data(), 0)->NumCountries = -1; },
         "the country count -1 is negative", 1032},
        {"negative materials", [](auto& b) { recordAt<TLndHeader>(b.data(), 0)->NumMaterials = -5; },
         "the material count -5 is negative", 1028},
        {"one byte short", [](auto& b) { b.pop_back(); },
         "the file is " + std::to_string(good.size() - 1) + " bytes long but its counts" + counts + size + " bytes",
         good.size() - 1},
        {"huge texture count", [](auto& b) { recordAt<TLndHeader>(b.data(), 0)->NumLoResTextures = 0xFFFFFFFFu; },
         "the file is " + size + " bytes long but its counts (4294967295 low-resolution textures, 4 blocks, 3 countries, 2 "
         "materials) need 282093452349180 bytes",
         good.size()},
        {"index past records", [](auto& b) { recordAt<TLndHeader>(b.data(), 0)->BlockIndex[0][1] = 5; },
         "the block index at square (0, 1) names block 5 but the file holds 4 blocks", 5},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        c.spoil(bytes);
        CLandFile land;
        const Result r = land.Adopt(std::move(bytes));
        EXPECT_FALSE(r) << c.name;
        EXPECT_EQ(r.status(), Status::BadInput) << c.name;
        EXPECT_EQ(r.message(), c.says) << c.name;
        EXPECT_EQ(r.offset(), std::optional<std::uint64_t>(c.offset)) << c.name;
        EXPECT_FALSE(land.Loaded()) << c.name;
    }
    // Bytes after the bump map are allowed (and not written back).
    auto longer = good;
    longer.push_back(7);
    CLandFile land;
    const Result r = land.Adopt(std::move(longer));
    ASSERT_TRUE(r) << r.message();
    EXPECT_EQ(land.FileBytes(), good);
}

TEST(ClayvaneLandFile, UneditedLandSavesItsBytesExceptTheEdgeFlags) {
    lndtest::TempDir dir;
    const auto original = SmallLand();
    CNullTarget rt;
    auto app = sculpttest::Started(original, rt);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->m_land.Header().NumBlocks, 4);   // records while loaded
    CRecordingShell shell;
    ASSERT_TRUE(app->Save(dir.file("a.lnd"), shell));
    ASSERT_TRUE(app->Save(dir.file("b.lnd"), shell));
    const auto a = lndtest::readBytes(dir.file("a.lnd"));
    EXPECT_EQ(a, lndtest::readBytes(dir.file("b.lnd")));
    ASSERT_EQ(a.size(), original.size());
    EXPECT_EQ(recordAt<TLndHeader>(a.data(), 0)->NumBlocks, 5);

    LndLayout layout;
    ASSERT_TRUE(checkImage(original, layout));
    // Differences may lie only in the CellFlags of row 16 and column 16 of used blocks.
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == original[i]) continue;
        ASSERT_GE(i, layout.blocksOffset) << "byte " << i;
        const std::size_t inBlocks = i - layout.blocksOffset;
        const std::size_t record = inBlocks / kBlockSize, offset = inBlocks % kBlockSize;
        ASSERT_LT(record, 3u) << "the orphan block must stay as loaded";
        ASSERT_LT(offset, 17u * 17u * 8u);
        const std::size_t cell = offset / 8;
        EXPECT_TRUE(cell / 17 == 16 || cell % 17 == 16) << "cell " << cell;
        EXPECT_GE(offset % 8, 6u) << "only CellFlags may change";
    }
    // Block (3,4)'s column 16 takes (3,5)'s column 0 (flags 0 here); (3,5) has no east
    // neighbour, so its column 16 becomes water.
    const auto* east = recordAt<TLndBlock>(a.data(), layout.blocksOffset + kBlockSize);
    EXPECT_EQ(std::uint16_t(east->Cells[5][16].CellFlags), kEdgeFlags);
    const auto* west = recordAt<TLndBlock>(a.data(), layout.blocksOffset);
    EXPECT_EQ(std::uint16_t(west->Cells[5][16].CellFlags), 0);
    EXPECT_EQ(std::uint16_t(west->Cells[16][16].CellFlags), kEdgeFlags);
}

TEST(ClayvaneLandFile, SaveWritesHeightsIntoTheRecordEachSlotCameFrom) {
    lndtest::TempDir dir;
    // Wrong BlockNumber fields: one names the other block, one names a block that does not exist.
    auto image = lndtest::LandBuilder()
                     .block(2, 2, [](TLndBlock& b) { b.BlockNumber = 2; })
                     .block(7, 7, [](TLndBlock& b) { b.BlockNumber = 900; })
                     .build();
    CNullTarget rt;
    auto app = sculpttest::Started(image, rt);
    ASSERT_TRUE(app);
    ASSERT_EQ(app->m_mesh.Count(), 2);
    for (CBlockMesh& mesh : app->m_mesh.m_meshes)
        for (SVec3& p : mesh.m_positions) p.y = mesh.m_gridRow == 2 ? 254.9f : 3.0f;
    CRecordingShell shell;
    ASSERT_TRUE(app->Save(dir.file("out.lnd"), shell));
    const auto out = lndtest::readBytes(dir.file("out.lnd"));
    ASSERT_EQ(out.size(), image.size());
    LndLayout layout;
    ASSERT_TRUE(checkImage(out, layout));
    EXPECT_EQ(recordAt<TLndBlock>(out.data(), layout.blocksOffset)->Cells[8][8].Altitude, 254);
    EXPECT_EQ(recordAt<TLndBlock>(out.data(), layout.blocksOffset + kBlockSize)->Cells[8][8].Altitude, 3);
}

TEST(ClayvaneLandFile, FailedSaveAndFailedLoadChangeNothing) {
    lndtest::TempDir dir;
    CNullTarget rt;
    auto app = sculpttest::Started(SmallLand(), rt);
    ASSERT_TRUE(app);
    CRecordingShell shell;
    EXPECT_FALSE(app->Save(dir.file("missing/dir/out.lnd"), shell));
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_NE(shell.errors[0].find("could not save"), std::string::npos);

    // A directory where the file should go: the rename fails and the directory stays.
    std::filesystem::create_directories(dir.file("taken/inner"));
    EXPECT_FALSE(app->Save(dir.file("taken"), shell));
    EXPECT_TRUE(std::filesystem::exists(dir.file("taken/inner")));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().rfind(".lnd-save", 0), std::string::npos) << "temporary file left";

    // A broken land from the menu keeps the current one.
    auto broken = SmallLand();
    broken.resize(broken.size() - 10);
    lndtest::writeBytes(dir.file("broken.lnd"), broken);
    const int slots = app->m_mesh.Count();
    EXPECT_FALSE(app->LoadLand(dir.file("broken.lnd"), shell, rt));
    EXPECT_NE(shell.errors.back().find("broken.lnd"), std::string::npos);
    EXPECT_TRUE(app->m_land.Loaded());
    EXPECT_EQ(app->m_mesh.Count(), slots);
    EXPECT_FALSE(app->LoadLand(dir.file("nothing-here.lnd"), shell, rt));
    EXPECT_TRUE(app->m_land.Loaded());
}

TEST(ClayvaneBrushFile, ReadsTablesAndRefusesOrDefaultsBrokenOnes) {
    struct Case {
        const char* name;
        std::string text;
        bool accepted;
        int count;
        int brush;          // brush whose ring 0 and 1 are checked
        float ring0, ring1;
        const char* problem;   // a word of the expected problem, "" for none
    };
    const std::string table = "# brushes\nBrushes 3\n# now the table\nBrush\n"
                              "0 10 8 6 4 2 0 0 0 0 0 peak\n1 5 5 5 5 5 5 5 5 5 5 flat\n2 -10 0 0 0 0 0 0 0 0 0 dig\n";
    const Case cases[] = {
        {"plain", table, true, 3, 0, 1.0f, 0.8f, ""},
        {"negative values", table, true, 3, 2, -1.0f, 0.0f, ""},
        {"tabs and carriage returns", "Brushes\t1\r\nBrush\r\n0\t3 2 1 0 0 0 0 0 0 0\tx\r\n", true, 1, 0, 0.3f, 0.2f, ""},
        {"number out of range", "Brushes 2\nBrush\n0 1 1 1 1 1 1 1 1 1 1 a\n7 9 9 9 9 9 9 9 9 9 9 b\n", true, 2, 1, 1.0f, 1.0f,
         "outside 0..1"},
        {"short table", "Brushes 3\nBrush\n0 1 2 3 4 5 6 7 8 9 10 a\n", true, 3, 2, 1.0f, 1.0f, "never defined"},
        {"table ends inside an entry", "Brushes 2\nBrush\n0 1 2 3 4 5 6 7 8 9 10 a\n1 4 4", true, 2, 1, 1.0f, 1.0f,
         "inside the entry"},
        {"long table", "Brushes 1\nBrush\n0 2 2 2 2 2 2 2 2 2 2 a\n1 3 3 3 3 3 3 3 3 3 3 b\n", true, 1, 0, 0.2f, 0.2f,
         "more than 1"},
        {"table before count", "Brush\n0 1 1 1 1 1 1 1 1 1 1 a\nBrushes 1\n", false, 0, 0, 0, 0, "before"},
        {"huge count", "Brushes 2000000000\nBrush\n", false, 0, 0, 0, 0, "outside 1..256"},
        {"negative count", "Brushes -4\nBrush\n", false, 0, 0, 0, 0, "outside"},
        {"no table", "Brushes 2\n", false, 0, 0, 0, 0, "no brush table"},
        {"nothing", "", false, 0, 0, 0, 0, "no \"Brushes\""},
        {"a word of 300 letters", std::string(300, 'x') + "\nBrushes 1 Brush 0 1 1 1 1 1 1 1 1 1 1 a", true, 1, 0, 0.1f, 0.1f, ""},
    };
    for (const Case& c : cases) {
        const SBrushParse p = ParseBrushes(c.text);
        EXPECT_EQ(p.accepted, c.accepted) << c.name;
        std::string all;
        for (const auto& s : p.problems) all += s + "|";
        if (*c.problem) EXPECT_NE(all.find(c.problem), std::string::npos) << c.name << ": " << all;
        else EXPECT_TRUE(p.problems.empty()) << c.name << ": " << all;
        if (!c.accepted) continue;
        EXPECT_EQ(p.count, c.count) << c.name;
        ASSERT_EQ(p.profiles.size(), std::size_t(c.count) * kRings) << c.name;
        EXPECT_FLOAT_EQ(p.profiles[std::size_t(c.brush) * kRings], c.ring0) << c.name;
        EXPECT_FLOAT_EQ(p.profiles[std::size_t(c.brush) * kRings + 1], c.ring1) << c.name;
    }
    // The word rule: a comment yields an empty word and stops at its line feed.
    CBrushWords words("  # note\nBrush\t12x #c");
    EXPECT_EQ(words.Next(), "");
    EXPECT_EQ(words.Next(), "Brush");
    EXPECT_EQ(words.Next(), "12x");
    EXPECT_EQ(words.Next(), "");
    EXPECT_TRUE(CBrushWords::IsEnd(words.Next()));
    EXPECT_EQ(WholeNumber("  -17abc"), -17);
    EXPECT_EQ(WholeNumber("abc"), 0);
    EXPECT_EQ(WholeNumber("99999999999999"), 2147483647);
}

TEST(ClayvaneBrushFile, MissingOrRefusedFilesFallBackOnTheBuiltInBrushes) {
    lndtest::TempDir dir;
    CBrushList list;
    const std::string missing = list.ReadBrushes(dir.file("Brushes.txt"));
    EXPECT_NE(missing.find(dir.file("Brushes.txt")), std::string::npos);
    const int builtIn = list.m_count;
    EXPECT_GE(builtIn, 5);
    lndtest::writeBytes(dir.file("Brushes.txt"), {'B', 'r', 'u', 's', 'h', '\n'});
    EXPECT_NE(list.ReadBrushes(dir.file("Brushes.txt")).find("built-in"), std::string::npos);
    EXPECT_EQ(list.m_count, builtIn);
    // The shipped file is the built-in text and reads without a remark.
    EXPECT_EQ(list.ReadBrushes("Brushes.txt"), "");
    EXPECT_EQ(list.m_count, builtIn);

    // Ring colours: tenths map to the table, values outside it clamp to its ends.
    const std::pair<float, std::array<float, 3>> colours[] = {
        {1.0f, {1.0f, 0.0f, 0.0f}}, {0.8f, {0.99f, 0.39f, 0.0f}}, {0.7f, {0.99f, 0.6f, 0.0f}},
        {0.0f, {1.0f, 0.0f, 0.0f}}, {0.3f, {0.6f, 1.0f, 0.07f}}, {-0.5f, {1.0f, 0.0f, 0.0f}}, {2.5f, {1.0f, 0.0f, 0.0f}},
        {0.1f, {0.16f, 1.0f, 0.15f}},
    };
    for (const auto& [value, rgb] : colours) EXPECT_EQ(RingColour(value), rgb) << value;
}

// The triangles of the menu pictures are filled: a pixel well inside each one has its colour,
// whichever way round its corners are given.
TEST(ClayvaneMenuData, PicturesDrawTheirTriangles) {
    struct Case {
        int picture;
        int x, y;              // a pixel inside the triangle and clear of the other shapes
        std::uint8_t rgb[3];   // the triangle's colour
    };
    const Case cases[] = {
        {0, 86, 45, {210, 215, 225}},   // the spade's blade, corners turning one way
        {0, 90, 42, {210, 215, 225}},
        {1, 56, 60, {30, 34, 40}},      // the load arrow's head, corners turning the other way
        {1, 72, 60, {30, 34, 40}},
    };
    for (const Case& c : cases) {
        const auto pic = BuiltInMenuPicture(c.picture);
        const std::uint8_t* px = &pic[(std::size_t(c.y) * kMenuPictureSide + std::size_t(c.x)) * 4];
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(px[k], c.rgb[k], 2) << "picture " << c.picture << " at " << c.x << "," << c.y;
        EXPECT_EQ(px[3], 255);
    }
}

TEST(ClayvaneMenuData, ShortOrMissingFilesKeepWhatTheyHoldAndDrawTheRest) {
    SMenuData data;
    const auto full = BuiltInMenuFile();
    ASSERT_EQ(full.size(), kMenuDataSize);
    EXPECT_EQ(ParseMenuData(full, data), "");
    EXPECT_EQ(data.recordsFromFile, 8);

    std::vector<std::uint8_t> three(kMenuRecordSize * 3 + 17, 0x5A);
    const std::string problem = ParseMenuData(three, data);
    EXPECT_NE(problem.find("3 of 8"), std::string::npos) << problem;
    EXPECT_EQ(data.pictures[2][100], 0x5A);
    EXPECT_EQ(data.pictures[3], BuiltInMenuPicture(3));
    EXPECT_EQ(data.swatchAltitude, BuiltInSwatchAltitude());
    for (const auto& p : data.pictures) EXPECT_EQ(p.size(), kMenuRecordSize);

    lndtest::TempDir dir;
    EXPECT_NE(ReadMenuData(dir.file("Clayvane.dat"), data).find("Clayvane.dat"), std::string::npos);
    EXPECT_EQ(data.recordsFromFile, 0);
    // The shipped file is the program's own records.
    EXPECT_EQ(ReadMenuData("Clayvane.dat", data), "");
    EXPECT_EQ(lndtest::readBytes("Clayvane.dat"), full);
}

}  // namespace

namespace {

// A brush file of `count` brushes whose table holds the entries numbered `numbers`, brush b
// with every ring at (b % 10) + 1.
std::string BrushFile(int count, const std::vector<int>& numbers) {
    std::ostringstream text;
    text << "Brushes " << count << "\nBrush\n";
    for (int b : numbers) {
        text << b;
        for (int i = 0; i < kRings; ++i) text << ' ' << (((b % 10) + 10) % 10 + 1);
        text << " name\n";
    }
    return text.str();
}

std::vector<int> Upto(int n) {
    std::vector<int> v;
    for (int b = 0; b < n; ++b) v.push_back(b);
    return v;
}

TEST(ClayvaneBrushFile, LimitsAtTheEdgeAndOnePast) {
    struct Case {
        const char* name;
        int count;
        std::vector<int> numbers;
        bool accepted;
        const char* problem;   // "" for none
        int lastValue;         // ring 0 of the last brush, in tenths (0: the default profile)
    };
    std::vector<int> atCount = Upto(7);
    atCount.push_back(8);   // brush 7 is left out, brush 8 does not exist
    const Case cases[] = {
        {"the largest count, every brush", kMaxBrushes, Upto(kMaxBrushes), true, "", (255 % 10) + 1},
        {"one brush past the largest count", kMaxBrushes + 1, Upto(kMaxBrushes + 1), false, "outside 1..256", 0},
        {"the last number of a small table", 8, Upto(8), true, "", 8},
        {"an entry numbered at the count", 8, atCount, true, "brush number 8 is outside 0..7", 0},
        {"an entry numbered at the largest count", kMaxBrushes, [] { auto v = Upto(kMaxBrushes - 1); v.push_back(kMaxBrushes); return v; }(),
         true, "brush number 256 is outside 0..255", 0},
        {"the smallest count", 1, {0}, true, "", 1},
        {"a count of none", 0, {}, false, "outside 1..256", 0},
    };
    for (const Case& c : cases) {
        const SBrushParse p = ParseBrushes(BrushFile(c.count, c.numbers));
        EXPECT_EQ(p.accepted, c.accepted) << c.name;
        std::string all;
        for (const auto& s : p.problems) all += s + "|";
        if (*c.problem) EXPECT_NE(all.find(c.problem), std::string::npos) << c.name << ": " << all;
        else EXPECT_TRUE(p.problems.empty()) << c.name << ": " << all;
        if (!c.accepted) continue;
        // The table holds exactly the declared brushes: nothing is written past it.
        ASSERT_EQ(p.count, c.count) << c.name;
        ASSERT_EQ(p.profiles.size(), std::size_t(c.count) * kRings) << c.name;
        const float last = p.profiles[std::size_t(c.count - 1) * kRings];
        if (c.lastValue > 0) EXPECT_FLOAT_EQ(last, float(c.lastValue) / 10.0f) << c.name;
        else EXPECT_FLOAT_EQ(last, DefaultProfile()[0]) << c.name;
    }

    // The editor takes 256 brushes whole: every brush has a picture and the last one is chosen.
    lndtest::TempDir dir;
    const std::string text = BrushFile(kMaxBrushes, Upto(kMaxBrushes));
    lndtest::writeBytes(dir.file("Brushes.txt"), std::vector<std::uint8_t>(text.begin(), text.end()));
    CSculptingApp app;
    const std::string report = app.ReadDataFiles(dir.path());
    EXPECT_EQ(report.find("Brushes.txt"), std::string::npos) << report;
    EXPECT_EQ(app.m_brushes.m_count, kMaxBrushes);
    EXPECT_EQ(app.BrushPictures().size(), std::size_t(kMaxBrushes) * 64 * 64);
    app.SelectBrush(kMaxBrushes - 1);
    EXPECT_FLOAT_EQ(app.m_stroke.m_profile[0], float((255 % 10) + 1) / 10.0f);
    app.SelectBrush(kMaxBrushes);   // past the table: the last brush, not memory beyond it
    EXPECT_FLOAT_EQ(app.m_stroke.m_profile[0], float((255 % 10) + 1) / 10.0f);
}

}  // namespace
