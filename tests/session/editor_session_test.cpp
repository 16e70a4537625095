// The editor session's commands, headless: what each one reports (result and changed
// blocks), what it leaves in the modified flag (with and without a save in between), that a
// failed open keeps the land and a failed save keeps it modified, and that a script run
// through lndtool edit writes what the same commands through the session write.
#include "session/editor_session.h"
#include "session/shell_words.h"

#include "base/settings.h"
#include "codec/picture_file.h"
#include "format/lnd_file.h"
#include "textures/synthesis.h"
#include "support/editor_land.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

// Nine blocks on squares (4..6, 4..6), records numbered in that order: record 4 is (5, 5).
// A settings file with one brush, "Hill", for the scripts given to lndtool edit.
void writeHillSettings(const std::string& path) {
    std::ofstream(path) << "<settings><landEdit><brushes>"
                           "<brush bmp=\"x.bmp\" name=\"Hill\" tip=\"t\">6 5 4 3 2 1 1 1 1 1</brush>"
                           "</brushes></landEdit></settings>";
}

std::string nineBlocks(const TempDir& dir, const std::string& name = "nine.lnd") {
    LandBuilder b;
    for (int gx = 4; gx < 7; ++gx)
        for (int gz = 4; gz < 7; ++gz) b.block(gx, gz, lndtest::flat(100));
    return b.countries(2).materials(2).loResTextures(2).writeTo(dir.file(name));
}

constexpr int kMiddle = 4;
const CBrushDef kHill = lndtest::ringBrush({6, 5, 4, 3, 2, 1, 1, 1, 1, 1});

// A step on the middle of square (5, 5); radius 30 stays inside its block.
BrushStep middleStep(int mode, int radius = 30) {
    return BrushStep{kMiddle, {880.0f, 0.0f, 880.0f}, radius, 2, 40, &kHill, mode};
}

std::vector<int> all9() { return {0, 1, 2, 3, 4, 5, 6, 7, 8}; }

std::vector<std::uint8_t> cellsOf(const CLand& land) {
    std::vector<std::uint8_t> out;
    for (const TLndBlock& b : land.blocks()) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&b.Cells);
        out.insert(out.end(), p, p + sizeof b.Cells);
    }
    return out;
}

}  // namespace

TEST(EditorSession, EveryCommandReportsItsBlocksAndTheModifiedFlag) {
    TempDir dir;
    const std::string path = nineBlocks(dir);
    using Command = std::function<CommandResult(EditorSession&)>;
    struct Case {
        const char* name;
        Command before;   // run first (may be empty)
        Command command;
        Status status;
        std::optional<std::vector<int>> changed;   // empty optional: any blocks, none when failed
    };
    const auto brush = [](int mode, int radius = 30) {
        return [=](EditorSession& s) { return s.brush(middleStep(mode, radius)); };
    };
    const auto undo = [](EditorSession& s) { return s.undo(); };
    const auto redo = [](EditorSession& s) { return s.redo(); };
    const Case cases[] = {
        {"raise", {}, brush(kBrushRaise), Status::Ok, std::vector<int>{kMiddle}},
        {"lower", {}, brush(kBrushLower), Status::Ok, std::vector<int>{kMiddle}},
        {"level", {}, brush(kBrushLevel), Status::Ok, std::vector<int>{kMiddle}},
        {"smooth flat ground", {}, brush(kBrushSmooth), Status::Ok, std::vector<int>{}},
        // Radius 90 from the middle reaches the border cells of the four blocks sharing an
        // edge, radius 160 the corners shared with the diagonal ones as well.
        {"wider raise", {}, brush(kBrushRaise, 90), Status::Ok, std::vector<int>{1, 3, 4, 5, 7}},
        {"widest raise", {}, brush(kBrushRaise, 160), Status::Ok, all9()},
        {"no brush", {}, [](EditorSession& s) { BrushStep b = middleStep(kBrushRaise); b.brush = nullptr; return s.brush(b); },
         Status::BadInput, std::vector<int>{}},
        {"no block", {}, [](EditorSession& s) { BrushStep b = middleStep(kBrushRaise); b.block = 9; return s.brush(b); },
         Status::NotPossible, std::vector<int>{}},
        {"bad mode", {}, [](EditorSession& s) { BrushStep b = middleStep(2); return s.brush(b); }, Status::BadInput,
         std::vector<int>{}},
        {"undo", brush(kBrushRaise), undo, Status::Ok, std::vector<int>{kMiddle}},
        {"undo nothing", {}, undo, Status::NotPossible, std::vector<int>{}},
        // A level step is not in the history and overwrote every cell of the raise: the undo
        // reverts none, yet the history moved.
        {"undo over cells levelled since",
         [&](EditorSession& s) { s.brush(middleStep(kBrushRaise)); return s.brush(middleStep(kBrushLevel)); }, undo,
         Status::Ok, std::vector<int>{}},
        {"redo", [&](EditorSession& s) { s.brush(middleStep(kBrushRaise)); return s.undo(); }, redo, Status::Ok,
         std::vector<int>{kMiddle}},
        {"redo nothing", brush(kBrushRaise), redo, Status::NotPossible, std::vector<int>{}},
        {"level map", {}, [](EditorSession& s) { return s.levelMap(7); }, Status::Ok, all9()},
        {"delete block", {}, [](EditorSession& s) { return s.deleteBlock(2); }, Status::Ok, std::vector<int>{2}},
        {"delete it twice", [](EditorSession& s) { return s.deleteBlock(2); },
         [](EditorSession& s) { return s.deleteBlock(2); }, Status::NotPossible, std::vector<int>{}},
        {"delete past the records", {}, [](EditorSession& s) { return s.deleteBlock(9); }, Status::NotPossible,
         std::vector<int>{}},
        {"paint", {}, [](EditorSession& s) { return s.paint({3, 10, 10, 32, 1}); }, Status::Ok, std::vector<int>{3}},
        {"paint the last block", {}, [](EditorSession& s) { return s.paint({8, 250, 250, 16, 1}); }, Status::Ok,
         std::vector<int>{8}},
        {"paint past the blocks", {}, [](EditorSession& s) { return s.paint({9, 10, 10, 16, 0}); }, Status::BadInput,
         std::vector<int>{}},
        {"paint past the countries", {}, [](EditorSession& s) { return s.paint({0, 10, 10, 16, 2}); },
         Status::BadInput, std::vector<int>{}},
        {"country everywhere", {}, [](EditorSession& s) { return s.setCountryEverywhere(1); }, Status::Ok, all9()},
        {"country past the table", {}, [](EditorSession& s) { return s.setCountryEverywhere(2); }, Status::BadInput,
         std::vector<int>{}},
        {"import a missing country file", {},
         [&](EditorSession& s) { return s.importCountry(dir.file("none/countries.xml"), "0"); }, Status::IoFailed,
         std::vector<int>{}},
        {"noise from a missing picture", {}, [&](EditorSession& s) { return s.importNoise(dir.file("none.bmp")); },
         Status::IoFailed, std::vector<int>{}},
    };
    for (const Case& c : cases) {
        for (const bool saveBetween : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (saveBetween ? " after a save" : ""));
            EditorSession s;
            ASSERT_TRUE(s.open(path, LandSettings{}));
            EXPECT_FALSE(s.modified());
            if (c.before) {
                ASSERT_TRUE(c.before(s).ok());
            }
            if (saveBetween) {
                ASSERT_TRUE(s.save(dir.file("between.lnd"), SaveKind::Quick));
                ASSERT_FALSE(s.modified());
            }
            const bool modifiedBefore = s.modified();
            const std::vector<std::uint8_t> cellsBefore = cellsOf(s.land());
            (void)s.takeChanges();
            const CommandResult r = c.command(s);
            EXPECT_EQ(r.result.status(), c.status) << r.result.message();
            if (c.status == Status::Ok) {
                // Every command that ran leaves the land to be saved, a save before it or not.
                EXPECT_TRUE(s.modified());
                EXPECT_TRUE(r.result.message().empty());
            } else {
                EXPECT_EQ(s.modified(), modifiedBefore);
                EXPECT_FALSE(r.result.message().empty());
                EXPECT_EQ(cellsOf(s.land()), cellsBefore) << "a refused command changed cells";
            }
            if (c.changed) {
                EXPECT_EQ(r.changedBlocks, *c.changed);
            }
            // The host learns the same blocks.
            const EditorSession::Changes told = s.takeChanges();
            EXPECT_EQ(told.blocks, r.changedBlocks);
        }
    }
}

TEST(EditorSession, UndoAndRedoAfterASaveMarkTheLandAgain) {
    TempDir dir;
    EditorSession s;
    ASSERT_TRUE(s.open(nineBlocks(dir), LandSettings{}));
    ASSERT_TRUE(s.brush(middleStep(kBrushRaise)));
    const std::vector<std::uint8_t> raised = cellsOf(s.land());
    // Save, undo, save, redo, save, undo...: every history move marks the land, every save
    // clears it, and the file follows.
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));
        EXPECT_FALSE(s.modified());
        const CommandResult r = round % 2 == 0 ? s.undo() : s.redo();
        ASSERT_TRUE(r);
        EXPECT_TRUE(s.modified()) << "closing now would lose the " << (round % 2 == 0 ? "undo" : "redo");
        EXPECT_EQ(r.changedBlocks, std::vector<int>{kMiddle});
        EXPECT_EQ(cellsOf(s.land()) == raised, round % 2 == 1);
    }
}

TEST(EditorSession, AFailedOpenKeepsTheLandItsEditsAndItsHistory) {
    TempDir dir;
    const std::string good = nineBlocks(dir);
    std::vector<std::uint8_t> cut = readBytes(good);
    cut.resize(cut.size() - 1);
    lndtest::writeBytes(dir.file("cut.lnd"), cut);
    LandBuilder().block(0, 0).orphanBlock().writeTo(dir.file("overlap.lnd"));
    std::filesystem::create_directory(dir.file("folder.lnd"));
    struct Case {
        std::string path;
        Status status;
        bool offset;              // the checker's byte offset comes with it
        const char* reasonPart;   // in the message
        std::string shown;        // what the window shows
    };
    const Case cases[] = {
        {dir.file("missing.lnd"), Status::IoFailed, false, "No such file", kReadErrorText + dir.file("missing.lnd")},
        {dir.file("folder.lnd"), Status::BadInput, false, "not a regular file", kReadErrorText + dir.file("folder.lnd")},
        {dir.file("cut.lnd"), Status::BadInput, true, "cut.lnd", kReadErrorText + dir.file("cut.lnd")},
        {dir.file("overlap.lnd"), Status::BadInput, true, kBlocksAtOriginReason,
         "The land " + dir.file("overlap.lnd") + " is invalid , unable to open it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EditorSession s;
        ASSERT_TRUE(s.open(good, LandSettings{}));
        ASSERT_TRUE(s.brush(middleStep(kBrushRaise)));
        const std::vector<std::uint8_t> image(s.land().fileImage().begin(), s.land().fileImage().end());
        const Result r = s.open(c.path, LandSettings{});
        EXPECT_EQ(r.status(), c.status) << r.message();
        EXPECT_EQ(r.offset().has_value(), c.offset);
        EXPECT_NE(r.message().find(c.reasonPart), std::string::npos) << r.message();
        EXPECT_EQ(openFailureText(c.path, r), c.shown);
        // The land on screen is untouched: image, path, flag, meshes, history.
        EXPECT_TRUE(std::equal(image.begin(), image.end(), s.land().fileImage().begin(), s.land().fileImage().end()));
        EXPECT_EQ(s.land().path(), good);
        EXPECT_TRUE(s.modified());
        EXPECT_EQ(s.mesh().blockCount(), 9);
        EXPECT_NE(s.mesh().mesh(kMiddle, MeshLevel::Full), nullptr);
        EXPECT_TRUE(s.undo());
    }
}

TEST(EditorSession, AFailedSaveKeepsTheLandModifiedWithTheReason) {
    TempDir dir;
    EditorSession s;
    EXPECT_EQ(s.save(dir.file("none.lnd"), SaveKind::Quick).status(), Status::NotPossible);
    ASSERT_TRUE(s.open(nineBlocks(dir), LandSettings{}));
    ASSERT_TRUE(s.deleteBlock(0));
    std::filesystem::create_directory(dir.file("taken.lnd"));
    struct Case {
        std::string target;
        int systemError;
        const char* reason;
    };
    const Case cases[] = {
        {dir.file("taken.lnd"), 0, "it is a directory"},
        {dir.file("missing/out.lnd"), ENOENT, "No such file or directory"},
    };
    for (const SaveKind kind : {SaveKind::Quick, SaveKind::Full}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.target);
            const Result r = s.save(c.target, kind);
            EXPECT_EQ(r.status(), Status::CannotCreate);
            EXPECT_EQ(r.systemError(), c.systemError);
            EXPECT_NE(r.message().find(c.target), std::string::npos) << r.message();
            EXPECT_NE(r.message().find(c.reason), std::string::npos) << r.message();
            EXPECT_TRUE(s.modified());
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.lnd")));
    ASSERT_TRUE(s.save(dir.file("ok.lnd"), SaveKind::Quick));
    EXPECT_FALSE(s.modified());
    lnd::LndView saved;
    const auto bytes = readBytes(dir.file("ok.lnd"));
    ASSERT_TRUE(saved.open(bytes));
    EXPECT_EQ(saved.blockCount(), 8);   // compacted: the deleted block is gone
}

TEST(EditorSession, TheHostLearnsWhatChangedOnce) {
    TempDir dir;
    EditorSession s;
    ASSERT_TRUE(s.open(nineBlocks(dir), LandSettings{}));
    EditorSession::Changes c = s.takeChanges();
    EXPECT_TRUE(c.everything);
    ASSERT_TRUE(s.brush(middleStep(kBrushRaise)));
    ASSERT_TRUE(s.paint({0, 1, 1, 16, 1}));
    ASSERT_TRUE(s.undo());
    c = s.takeChanges();
    EXPECT_FALSE(c.everything);
    EXPECT_EQ(c.blocks, (std::vector<int>{0, kMiddle}));
    c = s.takeChanges();
    EXPECT_FALSE(c.everything);
    EXPECT_TRUE(c.blocks.empty());
    ASSERT_TRUE(s.levelMap(3));
    EXPECT_TRUE(s.takeChanges().everything);
}

// The same commands as a script through lndtool and as values through the session write
// the same file.
TEST(EditorSession, AScriptThroughLndtoolWritesWhatTheSessionWrites) {
    TempDir dir;
    const std::string in = nineBlocks(dir);
    writeHillSettings(dir.file("s.xml"));
    const std::string script = "brush Hill 880,880 raise 2 60 0\n"
                               "brush Hill 900,860 smooth 3 90 0\n"
                               "undo\nredo\n"
                               "brush Hill 880,880 level 1 40 120\n"
                               "paint 2 10,10 32 1\n"
                               "delete-block 4,4\n";
    for (const bool quick : {true, false}) {
        SCOPED_TRACE(quick ? "quick" : "full");
        std::vector<std::string> args{"edit", in, "-o", dir.file("tool.lnd"), "--settings", dir.file("s.xml")};
        if (quick) args.push_back("--quick");
        const lndtest::ProgramResult run = lndtest::runLndtool(args, script);
        ASSERT_EQ(run.exitCode, 0) << run.err;

        RecordingMessages quiet;
        CSettings settings(quiet, dir.file("s.xml"));
        ASSERT_TRUE(settings.fileLoaded());
        const CBrushDef* hill = &settings.brushes().front();
        EditorSession s;
        ASSERT_TRUE(s.open(in, landSettingsFrom(settings)));
        ASSERT_TRUE(s.brush({kMiddle, {880, 0, 880}, 60, 2, 0, hill, kBrushRaise}));
        ASSERT_TRUE(s.brush({kMiddle, {900, 0, 860}, 90, 3, 0, hill, kBrushSmooth}));
        ASSERT_TRUE(s.undo());
        ASSERT_TRUE(s.redo());
        ASSERT_TRUE(s.brush({kMiddle, {880, 0, 880}, 40, 1, 120, hill, kBrushLevel}));
        ASSERT_TRUE(s.paint({1, 10, 10, 32, 1}));
        ASSERT_TRUE(s.deleteBlock(0));
        ASSERT_TRUE(s.save(dir.file("session.lnd"), quick ? SaveKind::Quick : SaveKind::Full));
        EXPECT_EQ(readBytes(dir.file("session.lnd")), readBytes(dir.file("tool.lnd")));
    }
}

namespace {

// The land's country map with countries 0 and 1 swapped over picture rows [r0, r1) and
// columns [c0, c1): every import of it changes those cells, whatever earlier ones did.
CImage8 swappedCountries(const CLand& land, int r0, int r1, int c0, int c1) {
    CImage8 map;
    EXPECT_TRUE(exportCountryMap(land, map));
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c) {
            std::uint8_t& k = map.indices()[std::size_t(r) * std::size_t(map.width()) + std::size_t(c)];
            if (k < 2) k = std::uint8_t(1 - k);
        }
    return map;
}

// The block records whose cell bytes differ between two copies of cellsOf.
std::vector<int> blocksDiffering(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::vector<int> out;
    const std::size_t per = sizeof(TLndBlock::Cells);
    for (std::size_t k = 0; k * per < std::min(a.size(), b.size()); ++k)
        if (!std::equal(a.begin() + std::ptrdiff_t(k * per), a.begin() + std::ptrdiff_t((k + 1) * per), b.begin() + std::ptrdiff_t(k * per)))
            out.push_back(int(k));
    return out;
}

}  // namespace

// Brush steps, heightmap imports and country-map imports share one history: undo takes back
// the newest step whatever its kind and redo puts back the last one undone, a new step of any
// kind empties the redo list, and map levelling and opening forget both. Each script is
// checked against a model of the two lists, cell for cell, with the blocks each command
// reports (exactly those whose cells moved), the block textures they drop and the modified
// flag, saves in between or not.
TEST(EditorSession, CountryMapStepsTakeTheirTurnWithBrushStepsInUndoAndRedo) {
    TempDir dir;
    const std::string path = nineBlocks(dir);
    struct Case {
        const char* script;   // B brush, C/D country maps over two regions, H heightmap, U undo,
                              // R redo, S save, L level map, O open again
    };
    const Case cases[] = {
        {"BCUURR"}, {"CBUURR"}, {"CDBUUURRR"}, {"BCUBR"}, {"CUDR"}, {"BUCR"}, {"CUBR"},
        {"BCSUSRSU"}, {"CSUURS"}, {"BCLUR"}, {"CBOUR"}, {"HCUURR"}, {"CCUUU"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EditorSession s;
        ASSERT_TRUE(s.open(path, LandSettings{}));
        std::vector<std::vector<std::uint8_t>> done{cellsOf(s.land())};   // the states the history can go back to
        std::vector<std::vector<std::uint8_t>> undone;
        for (const char* op = c.script; *op != '\0'; ++op) {
            SCOPED_TRACE(std::string("at ") + *op + " (step " + std::to_string(op - c.script) + ")");
            if (*op == 'S') {
                ASSERT_TRUE(s.save(dir.file("between.lnd"), SaveKind::Quick));
                EXPECT_FALSE(s.modified());
                continue;
            }
            if (*op == 'O' || *op == 'L') {
                ASSERT_TRUE(*op == 'O' ? s.open(path, LandSettings{}).ok() : s.levelMap(90).ok());
                done = {cellsOf(s.land())};
                undone.clear();
                continue;
            }
            for (int b = 0; b < 9; ++b) SynthesizeBlockTexture(s.land(), b);
            const std::vector<std::uint8_t> before = cellsOf(s.land());
            const bool modifiedBefore = s.modified();
            CommandResult r;
            bool expectOk = true;
            switch (*op) {
            case 'B': r = s.brush(middleStep(kBrushRaise, 90)); break;
            // Rows 20..39 cross squares gx 5 and 6 (sharing row 32), columns 20..27 stay in gz 5.
            case 'C': r = s.importCountryMap(swappedCountries(s.land(), 20, 40, 20, 28), {}); break;
            case 'D': r = s.importCountryMap(swappedCountries(s.land(), 0, 10, 0, 49), {}); break;
            case 'H': {
                GreyImage ramp = exportHeightmap(s.land(), 8);
                for (std::size_t k = 0; k < ramp.values.size(); ++k) ramp.values[k] = std::uint16_t(k % 7 + 30);
                HeightmapImportOptions exact;
                exact.fit = HeightmapFit::Exact;
                r = s.importHeightmap(ramp, exact);
                break;
            }
            case 'U':
                expectOk = done.size() > 1;
                r = s.undo();
                break;
            case 'R':
                expectOk = !undone.empty();
                r = s.redo();
                break;
            default: FAIL() << "bad script";
            }
            ASSERT_EQ(r.ok(), expectOk) << r.result.message();
            const std::vector<std::uint8_t> after = cellsOf(s.land());
            if (!expectOk) {
                EXPECT_EQ(after, before);
                EXPECT_EQ(s.modified(), modifiedBefore);
                continue;
            }
            if (*op == 'U') {
                undone.push_back(done.back());
                done.pop_back();
                EXPECT_EQ(after, done.back()) << "undo gives back every byte";
            } else if (*op == 'R') {
                done.push_back(undone.back());
                undone.pop_back();
                EXPECT_EQ(after, done.back()) << "redo gives back every byte";
            } else {
                ASSERT_NE(after, before) << "the step changed nothing";
                done.push_back(after);
                undone.clear();
            }
            EXPECT_TRUE(s.modified()) << "closing now would lose the step";
            EXPECT_EQ(r.changedBlocks, blocksDiffering(before, after));
            for (int b = 0; b < 9; ++b)
                EXPECT_EQ(s.land().textures().blocks().has(std::size_t(b)),
                          std::find(r.changedBlocks.begin(), r.changedBlocks.end(), b) == r.changedBlocks.end())
                    << "block " << b << "'s texture";
            EXPECT_EQ(s.land().history().size(), done.size() - 1);
            EXPECT_EQ(s.land().history().redoSize(), undone.size());
        }
    }
}

// A country map that cannot be used is refused whole: the cells, the modified flag and both
// lists of the history stay as they were, and the reason says what was wrong.
TEST(EditorSession, ARefusedCountryMapChangesNothingAndAddsNoStep) {
    TempDir dir;
    const std::string path = nineBlocks(dir);
    EditorSession probe;
    ASSERT_TRUE(probe.open(path, LandSettings{}));
    CImage8 good;
    ASSERT_TRUE(exportCountryMap(probe.land(), good));
    ASSERT_EQ(good.width(), 49);
    // Files: a truncated PNG, a picture one pixel short, a side file that places the map on
    // squares the land does not have.
    {
        std::vector<std::uint8_t> png = encodePngPaletted(good);
        lndtest::writeBytes(dir.file("good.png"), png);
        png.resize(png.size() / 2);
        lndtest::writeBytes(dir.file("cut.png"), png);
        CImage8 narrow = good;
        narrow.crop(0, 0, 48, 49);
        lndtest::writeBytes(dir.file("narrow.png"), encodePngPaletted(narrow));
        lndtest::writeBytes(dir.file("elsewhere.png"), encodePngPaletted(good));
        std::ofstream(dir.file("elsewhere.png.txt")) << heightmapSidecarText({20, 20, 49, 49});
    }
    using Import = std::function<CommandResult(EditorSession&)>;
    const auto withPixel = [&](int x, int y, std::uint8_t k) {
        return [=](EditorSession& s) {
            CImage8 map = good;
            map.indices()[std::size_t(y) * 49 + std::size_t(x)] = k;
            map.indices()[std::size_t(y + 1) * 49 + std::size_t(x)] = k;   // a later one is not named
            return s.importCountryMap(map, {});
        };
    };
    const auto file = [&](const std::string& name) { return [=, &dir](EditorSession& s) { return s.importCountryMap(dir.file(name)); }; };
    struct Case {
        const char* name;
        Import import;
        Status status;
        const char* reasonPart;
    };
    const Case cases[] = {
        {"index past the countries", withPixel(7, 30, 2), Status::BadInput, "column 7, row 30 has country index 2 but the land has 2 countries"},
        {"the transparent index over a land cell", withPixel(0, 0, 2), Status::BadInput, "column 0, row 0"},
        {"an index past the palette", withPixel(48, 47, 200), Status::BadInput, "index 200"},
        {"one column short", [&](EditorSession& s) { CImage8 m = good; m.crop(0, 0, 48, 49); return s.importCountryMap(m, {}); },
         Status::BadInput, "the picture is 48 x 49 pixels but the land's cells are 49 x 49"},
        {"side file of another size", [&](EditorSession& s) { return s.importCountryMap(good, {HeightmapPlacement{4, 4, 50, 49}}); },
         Status::BadInput, "its side file describes 49 x 50"},
        {"placed beyond the grid", [&](EditorSession& s) { return s.importCountryMap(good, {HeightmapPlacement{30, 4, 49, 49}}); },
         Status::BadInput, "beyond the land's grid"},
        {"missing file", file("none.png"), Status::BadInput, "none.png: cannot open the file"},
        {"truncated file", file("cut.png"), Status::BadInput, "cut.png"},
        {"narrow file", file("narrow.png"), Status::BadInput, "the land's cells are 49 x 49"},
        {"side file naming empty squares", file("elsewhere.png"), Status::BadInput, "squares the land does not have"},
    };
    for (const Case& c : cases) {
        for (const bool saveFirst : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (saveFirst ? " after a save" : ""));
            EditorSession s;
            ASSERT_TRUE(s.open(path, LandSettings{}));
            // One step done and one undone: a refusal must keep the redo list too.
            ASSERT_TRUE(s.brush(middleStep(kBrushRaise)));
            ASSERT_TRUE(s.importCountryMap(swappedCountries(s.land(), 0, 49, 0, 49), {}));
            ASSERT_TRUE(s.undo());
            if (saveFirst) {
                ASSERT_TRUE(s.save(dir.file("saved.lnd"), SaveKind::Quick));
            }
            const std::vector<std::uint8_t> before = cellsOf(s.land());
            const bool modified = s.modified();
            (void)s.takeChanges();
            const CommandResult r = c.import(s);
            EXPECT_EQ(r.result.status(), c.status) << r.result.message();
            EXPECT_NE(r.result.message().find(c.reasonPart), std::string::npos) << r.result.message();
            EXPECT_TRUE(r.changedBlocks.empty());
            EXPECT_EQ(cellsOf(s.land()), before);
            EXPECT_EQ(s.modified(), modified);
            EXPECT_EQ(s.land().history().size(), 1u);
            EXPECT_EQ(s.land().history().redoSize(), 1u);
            EXPECT_TRUE(s.takeChanges().blocks.empty());
        }
    }
    // The good file goes in: the exported map brought back changes nothing and adds no step.
    EditorSession s;
    ASSERT_TRUE(s.open(path, LandSettings{}));
    const CommandResult same = s.importCountryMap(dir.file("good.png"));
    ASSERT_TRUE(same) << same.result.message();
    EXPECT_TRUE(same.changedBlocks.empty());
    EXPECT_TRUE(s.land().history().empty());
    EXPECT_FALSE(s.modified());
    // Without a land nothing is imported or exported.
    EditorSession none;
    EXPECT_EQ(none.importCountryMap(good, {}).result.status(), Status::NotPossible);
    EXPECT_EQ(none.exportCountryMap(dir.file("none.png")).status(), Status::NotPossible);
    EXPECT_EQ(none.exportMesh(dir.file("none.glb"), {}).status(), Status::NotPossible);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.png")));
}

// A script with the exchange commands through lndtool edit writes the land, the country map
// and the mesh that the same commands through the session write.
TEST(EditorSession, CountryMapAndMeshCommandsThroughLndtoolEditMatchTheSession) {
    TempDir dir;
    const std::string in = nineBlocks(dir);
    writeHillSettings(dir.file("s.xml"));
    {
        EditorSession probe;
        ASSERT_TRUE(probe.open(in, LandSettings{}));
        lndtest::writeBytes(dir.file("map.png"), encodePngPaletted(swappedCountries(probe.land(), 10, 45, 3, 30)));
    }
    const std::string script = "brush Hill 880,880 raise 2 60 0\n"
                               "country-map import \"" + dir.file("map.png") + "\"\n"
                               "undo\nundo\nredo\nredo\n"
                               "country-map export " + dir.file("tool_map.png") + "\n"
                               "mesh export " + dir.file("tool.glb") + " sea\n";
    const lndtest::ProgramResult run =
        lndtest::runLndtool({"edit", in, "-o", dir.file("tool.lnd"), "--settings", dir.file("s.xml"), "--quick"}, script);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    RecordingMessages quiet;
    CSettings settings(quiet, dir.file("s.xml"));
    ASSERT_TRUE(settings.fileLoaded());
    EditorSession s;
    ASSERT_TRUE(s.open(in, landSettingsFrom(settings)));
    ASSERT_TRUE(s.brush({kMiddle, {880, 0, 880}, 60, 2, 0, &settings.brushes().front(), kBrushRaise}));
    const CommandResult imported = s.importCountryMap(dir.file("map.png"));
    ASSERT_TRUE(imported) << imported.result.message();
    EXPECT_FALSE(imported.changedBlocks.empty());
    for (int k = 0; k < 2; ++k) ASSERT_TRUE(s.undo());
    for (int k = 0; k < 2; ++k) ASSERT_TRUE(s.redo());
    ASSERT_TRUE(s.exportCountryMap(dir.file("session_map.png")));
    MeshExportOptions sea;
    sea.sea = true;
    ASSERT_TRUE(s.exportMesh(dir.file("session.glb"), sea));
    ASSERT_TRUE(s.save(dir.file("session.lnd"), SaveKind::Quick));
    EXPECT_EQ(readBytes(dir.file("session.lnd")), readBytes(dir.file("tool.lnd")));
    EXPECT_EQ(readBytes(dir.file("session_map.png")), readBytes(dir.file("tool_map.png")));
    EXPECT_EQ(readBytes(dir.file("session_map.png.txt")), readBytes(dir.file("tool_map.png.txt")));
    EXPECT_EQ(readBytes(dir.file("session.glb")), readBytes(dir.file("tool.glb")));
    EXPECT_NE(readBytes(dir.file("session.lnd")), readBytes(in));

    // A refused line names itself, and the land is not written (the export before it stays).
    const lndtest::ProgramResult refused = lndtest::runLndtool(
        {"edit", in, "-o", dir.file("refused.lnd"), "--settings", dir.file("s.xml")},
        "country-map export " + dir.file("early.png") + "\ncountry-map import " + dir.file("missing.png") + "\n");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("line 2: "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("missing.png"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("refused.lnd")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("early.png")));
}

// The country dialogs' commands: a stored blend table and an imported country change every
// block's texture, a painted block only its own cells' countries; a refusal changes no cell,
// no table, no texture and not the modified flag, a save before it or not.
TEST(EditorSession, CountryDialogCommandsChangeWhatTheySayAndRefuseWhole) {
    TempDir dir;
    const std::string path = nineBlocks(dir);
    using Command = std::function<CommandResult(EditorSession&)>;
    const auto table = [](EditorSession& s, int k, int h, int coef) {
        TLndCountry edited = s.land().countries()[std::size_t(k)];
        edited.Index = 77;   // the land keeps its own leading field
        edited.Coefs[h].coef = coef;
        return edited;
    };
    // Block 3 with its first row painted `country`, its altitudes and other flags scrambled
    // (the land's stay).
    const auto painted = [](EditorSession& s, int country) {
        TLndBlock b = s.land().blocks()[3];
        for (int j = 0; j < kCellsPerSide; ++j) {
            TLndCell& c = b.Cells[0][j];
            c.CellFlags = std::uint16_t(((c.CellFlags & ~kCountryMask) ^ kWater ^ kCoast) | country);
            c.Altitude = 250;
        }
        return b;
    };
    const CountryChoice chosen{dir.file("exported/materials"), {CoefElement{"0", "grass", "sand", "128"}}};
    const CountryChoice unsafe{dir.file("exported/materials"), {CoefElement{"0", "../grass", "sand", "128"}}};
    struct Case {
        const char* name;
        Command command;
        Status status;
        std::vector<int> changed;
        bool everything;
        int countries;   // after it
    };
    const Case cases[] = {
        {"blend table", [&](EditorSession& s) { return s.storeCountry(1, table(s, 1, 40, 99)); }, Status::Ok, all9(),
         true, 2},
        {"blend table past the countries", [&](EditorSession& s) { return s.storeCountry(2, table(s, 1, 40, 99)); },
         Status::BadInput, {}, false, 2},
        {"blend table before the countries", [&](EditorSession& s) { return s.storeCountry(-1, table(s, 0, 4, 9)); },
         Status::BadInput, {}, false, 2},
        {"painted block", [&](EditorSession& s) { return s.applyBlockCountries(3, painted(s, 1)); }, Status::Ok, {3},
         false, 2},
        {"painted block past the records", [&](EditorSession& s) { return s.applyBlockCountries(9, painted(s, 1)); },
         Status::BadInput, {}, false, 2},
        {"painted block before the records",
         [&](EditorSession& s) { return s.applyBlockCountries(-1, painted(s, 1)); }, Status::BadInput, {}, false, 2},
        {"painted block naming a missing country",
         [&](EditorSession& s) { return s.applyBlockCountries(3, painted(s, 2)); }, Status::BadInput, {}, false, 2},
        {"chosen country", [&](EditorSession& s) { return s.importCountry(chosen); }, Status::Ok, all9(), true, 3},
        {"chosen country with a material outside its folder",
         [&](EditorSession& s) { return s.importCountry(unsafe); }, Status::BadInput, {}, false, 2},
    };
    for (const Case& c : cases) {
        for (const bool saveBetween : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (saveBetween ? " after a save" : ""));
            EditorSession s;
            ASSERT_TRUE(s.open(path, LandSettings{}));
            if (saveBetween) {
                ASSERT_TRUE(s.brush(middleStep(kBrushRaise)));
                ASSERT_TRUE(s.save(dir.file("between.lnd"), SaveKind::Quick));
                ASSERT_FALSE(s.modified());
            }
            for (int b = 0; b < 9; ++b) SynthesizeBlockTexture(s.land(), b);
            const std::vector<std::uint8_t> cellsBefore = cellsOf(s.land());
            const std::vector<TLndCountry> tableBefore(s.land().countries().begin(), s.land().countries().end());
            (void)s.takeChanges();

            const CommandResult r = c.command(s);
            EXPECT_EQ(r.result.status(), c.status) << r.result.message();
            EXPECT_EQ(r.changedBlocks, c.changed);
            EXPECT_EQ(s.modified(), c.status == Status::Ok);
            EXPECT_EQ(r.result.message().empty(), c.status == Status::Ok) << r.result.message();
            const EditorSession::Changes told = s.takeChanges();
            EXPECT_EQ(told.blocks, c.changed);
            EXPECT_EQ(told.everything, c.everything);
            ASSERT_EQ(s.land().numCountries(), c.countries);
            for (int b = 0; b < 9; ++b)
                EXPECT_EQ(s.land().textures().blocks().has(std::size_t(b)),
                          std::find(c.changed.begin(), c.changed.end(), b) == c.changed.end())
                    << "block " << b << "'s texture";

            // Cells: only block 3's first row's countries may have changed, and only when painted.
            std::vector<std::uint8_t> expected = cellsBefore;
            if (c.status == Status::Ok && c.changed.size() == 1) {
                const std::size_t blockBytes = sizeof(TLndBlock::Cells);
                for (int j = 0; j < kCellsPerSide; ++j) {
                    auto* cell = reinterpret_cast<TLndCell*>(expected.data() + 3 * blockBytes) + j;
                    cell->CellFlags = std::uint16_t((cell->CellFlags & ~kCountryMask) | 1);
                }
            }
            EXPECT_EQ(cellsOf(s.land()), expected);
            // The table: only country 1's entry 40 when a blend table was stored, its index kept.
            for (int k = 0; k < 2; ++k) {
                TLndCountry want = tableBefore[std::size_t(k)];
                if (c.status == Status::Ok && c.everything && c.countries == 2 && k == 1) want.Coefs[40].coef = 99;
                EXPECT_EQ(std::memcmp(&s.land().countries()[std::size_t(k)], &want, sizeof want), 0)
                    << "country " << k;
            }
        }
    }
    // Without a land every one of them is refused.
    EditorSession none;
    EXPECT_EQ(none.storeCountry(0, TLndCountry{}).result.status(), Status::NotPossible);
    EXPECT_EQ(none.applyBlockCountries(0, TLndBlock{}).result.status(), Status::NotPossible);
    EXPECT_EQ(none.importCountry(chosen).result.status(), Status::NotPossible);
    EXPECT_TRUE(none.takeChanges().blocks.empty());
}
