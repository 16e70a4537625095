#include "codec/bmp_writer.h"
#include "format/lnd_file.h"
#include "lndtool/edit_script.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using lndtest::ProgramResult;
using lndtest::readBytes;
using lndtest::TempDir;
using lndtool::EditCommand;

namespace {

ProgramResult runTool(const std::vector<std::string>& args, const std::string& input = "") {
    return lndtest::runLndtool(args, input);
}

struct ScriptLand {
    TempDir dir;
    std::string land, settings;
    ScriptLand() {
        land = dir.file("sample.lnd");
        const ProgramResult r = runTool({"new", "-o", land, "--size", "3", "--seed", "7"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        settings = dir.file("s.xml");
        std::ofstream(settings) << "<settings><landEdit><brushes>"
                                   "<brush bmp=\"x.bmp\" name=\"Hill\" tip=\"t\">6 5 4 3 2 1 1 1 1 1</brush>"
                                   "</brushes></landEdit></settings>";
    }
    // Runs a script from standard input; the output file's bytes (empty when not written).
    ProgramResult edit(const std::string& script, const std::string& out, bool quick = true) {
        std::vector<std::string> args{"edit", land, "-o", dir.file(out), "--settings", settings};
        if (quick) args.push_back("--quick");
        return runTool(args, script);
    }
};

}  // namespace

TEST(EditScript, ParsesEveryCommandAndNamesTheBadLine) {
    std::vector<EditCommand> commands;
    lndtool::ScriptError error;
    const std::string good = "# a comment\r\n\n  brush Hill 2480,2490.5 raise\n"
                             "brush \"Big hill\" 1,2 level 3 40 17  # trailing\n"
                             "undo\npaint 4 250,7 64 2\nset-country 14\n"
                             "import-country \"dir with space/countries.xml\" \"a\\\"b\"\n"
                             "delete-block 31,0\nlevel-map\nlevel-map 9\nnoise n.bmp";
    ASSERT_TRUE(lndtool::parseEditScript(good, commands, error)) << error.line << ": " << error.message;
    ASSERT_EQ(commands.size(), 10u);
    EXPECT_EQ(commands[0].line, 3);
    EXPECT_EQ(commands[0].mode, 1);
    EXPECT_EQ(commands[0].z, 2490.5);
    EXPECT_EQ(commands[1].brushName, "Big hill");
    EXPECT_EQ(commands[1].mode, 3);
    EXPECT_EQ(commands[1].times + commands[1].radius + commands[1].level, 60);
    EXPECT_EQ(commands[3].block * 1000 + commands[3].pictureX + commands[3].pictureY + commands[3].size, 4321);
    EXPECT_EQ(commands[5].path, "dir with space/countries.xml");
    EXPECT_EQ(commands[5].id, "a\"b");
    EXPECT_EQ(commands[6].gx, 31);
    EXPECT_EQ(commands[7].levelValue, -1);
    EXPECT_EQ(commands[8].levelValue, 9);

    const std::pair<const char*, int> bad[] = {
        {"undo\nfly away", 2},          {"brush Hill 1 raise", 1},           {"brush Hill 1,2 sideways", 1},
        {"brush Hill 1,2 raise 0 80 0", 1}, {"brush Hill nan,2 raise", 1},   {"\n\npaint 0 1,1 16 0", 3},
        {"paint 1 256,1 16 0", 1},      {"paint 1 1,1 48 0", 1},             {"paint 1 1,1 16 15", 1},
        {"set-country", 1},             {"set-country -1", 1},               {"import-country x.xml", 1},
        {"import-country \"x.xml 1", 1}, {"delete-block 32,0", 1},           {"delete-block 1,2,3", 1},
        {"level-map 256", 1},           {"noise", 1},                        {"undo now", 1},
        {"redo\nredo again", 2},
        {"country-map import", 1},      {"country-map paint m.png", 1},      {"country-map import m.jpg", 1},
        {"country-map export m.bmp", 1}, {"country-map import a.png b.png", 1}, {"country-map export png", 1},
        {"mesh export", 1},             {"mesh import m.glb", 1},            {"mesh export m.fbx", 1},
        {"mesh export m.glb sea sea", 1}, {"mesh export m.glb water", 1},    {"mesh export m.glb textures sea x", 1},
        {"mesh export dir.glb/m", 1},
    };
    for (const auto& [text, line] : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(lndtool::parseEditScript(text, commands, error));
        EXPECT_EQ(error.line, line);
        EXPECT_FALSE(error.message.empty());
    }
    EXPECT_FALSE(lndtool::parseEditScript(std::string_view("undo\n\0x", 7), commands, error));
    EXPECT_EQ(error.line, 2);
    EXPECT_TRUE(lndtool::parseEditScript("", commands, error));
    EXPECT_TRUE(commands.empty());
    ASSERT_TRUE(lndtool::parseEditScript("brush Hill 1,2 smooth\nredo", commands, error)) << error.message;
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].mode, 4);
    EXPECT_EQ(commands[1].kind, EditCommand::Kind::Redo);

    // The exchange commands: extensions in any case, the mesh's words in any order.
    ASSERT_TRUE(lndtool::parseEditScript("country-map import \"my maps/M.TGA\"\ncountry-map export out.Png\n"
                                         "mesh export a.GLTF\nmesh export b.obj sea textures\nmesh export c.glb textures",
                                         commands, error))
        << error.message;
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(commands[0].kind, EditCommand::Kind::CountryMapImport);
    EXPECT_EQ(commands[0].path, "my maps/M.TGA");
    EXPECT_EQ(commands[1].kind, EditCommand::Kind::CountryMapExport);
    const std::pair<bool, bool> meshWords[] = {{false, false}, {true, true}, {true, false}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(commands[std::size_t(2 + k)].kind, EditCommand::Kind::MeshExport);
        EXPECT_EQ(std::pair(commands[std::size_t(2 + k)].textures, commands[std::size_t(2 + k)].sea), meshWords[k]) << k;
    }
}

TEST(LndtoolEditScript, RedoReappliesTheUndoneStepOnlyWhereNothingChangedSince) {
    ScriptLand s;
    const std::string raise = "brush Hill 2480,2480 raise 2 60 0\n";
    const std::string smooth = "brush Hill 2400,2500 smooth 3 80 0\n";
    const std::string level = "brush Hill 2480,2480 level 1 20 251\n";
    struct Case {
        const char* name;
        std::string script, same;   // `same`: a script that writes the same bytes; empty: fails
        int failingLine;
    };
    const Case cases[] = {
        {"raise, undo, redo", raise + "undo\nredo\n", raise, 0},
        {"smooth, undo, redo", raise + smooth + "undo\nredo\n", raise + smooth, 0},
        {"redo twice over two undos", raise + smooth + "undo\nundo\nredo\nredo\n", raise + smooth, 0},
        {"a level since the undo stays", raise + "undo\n" + level + "redo\n", raise + level, 0},
        {"a new step empties the redo list", raise + "undo\n" + smooth + "redo\n", "", 4},
        {"nothing undone", raise + "redo\n", "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramResult r = s.edit(c.script, "got.lnd");
        if (c.same.empty()) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_NE(r.err.find("line " + std::to_string(c.failingLine)), std::string::npos) << r.err;
            EXPECT_FALSE(std::filesystem::exists(s.dir.file("got.lnd")));
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err;
        r = s.edit(c.same, "want.lnd");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readBytes(s.dir.file("got.lnd")), readBytes(s.dir.file("want.lnd")));
        EXPECT_NE(readBytes(s.dir.file("got.lnd")), readBytes(s.land));
        std::filesystem::remove(s.dir.file("got.lnd"));
    }
}

TEST(LndtoolEditScript, UndoTakesBackTheBrushButNotThePainting) {
    ScriptLand s;
    // Full saves: a quick one keeps each low-resolution tile as last drawn, and the painting
    // draws block 5 while the brush step is still on it.
    ProgramResult r = s.edit("paint 5 250,250 128 1\n", "paint.lnd", false);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = s.edit("brush Hill 2480,2480 raise 2 60 0\npaint 5 250,250 128 1\nundo\n", "undone.lnd", false);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readBytes(s.dir.file("undone.lnd")), readBytes(s.dir.file("paint.lnd")));
    r = s.edit("brush Hill 2480,2480 raise 2 60 0\n", "brushed.lnd");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(readBytes(s.dir.file("brushed.lnd")), readBytes(s.land));

    // Only the cells of rows and columns 15 and 16 of block 5 took the country.
    lnd::LndView before, after;
    const auto a = readBytes(s.land), b = readBytes(s.dir.file("paint.lnd"));
    ASSERT_TRUE(before.open(a));
    ASSERT_TRUE(after.open(b));
    for (int n = 0; n < before.blockCount(); ++n)
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j) {
                const std::uint16_t was = before.block(std::size_t(n)).Cells[i][j].CellFlags;
                const std::uint16_t now = after.block(std::size_t(n)).Cells[i][j].CellFlags;
                const bool painted = n == 4 && i >= 15 && j >= 15;
                EXPECT_EQ(now, painted ? std::uint16_t((was & ~lnd::kCountryMask) | 1) : was) << n << " " << i << " " << j;
            }
}

TEST(LndtoolEditScript, CountriesImportedAndSetEverywhere) {
    ScriptLand s;
    ASSERT_EQ(runTool({"export", s.land, "--root", s.dir.file("exp")}).exitCode, 0);
    const std::string xml = s.dir.file("exp/sample/materials/countries.xml");
    ASSERT_TRUE(std::filesystem::exists(xml));
    lnd::LndView before;
    const auto a = readBytes(s.land);
    ASSERT_TRUE(before.open(a));
    std::ofstream(s.dir.file("script.txt")) << "import-country " << xml << " 1\nset-country 1\n";
    ProgramResult r = runTool({"edit", s.land, "-o", s.dir.file("out.lnd"), "--quick", "--script", s.dir.file("script.txt")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    lnd::LndView after;
    const auto b = readBytes(s.dir.file("out.lnd"));
    ASSERT_TRUE(after.open(b));
    EXPECT_EQ(after.header().NumCountries, before.header().NumCountries + 1);
    EXPECT_GT(after.header().NumMaterials, before.header().NumMaterials);
    for (int n = 0; n < after.blockCount(); ++n)
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j) {
                EXPECT_EQ(after.block(std::size_t(n)).Cells[i][j].CellFlags & lnd::kCountryMask, 1);
                EXPECT_EQ(after.block(std::size_t(n)).Cells[i][j].CellFlags & ~lnd::kCountryMask,
                          before.block(std::size_t(n)).Cells[i][j].CellFlags & ~lnd::kCountryMask);
            }
}

TEST(LndtoolEditScript, FailingLineIsNamedAndNothingIsWritten) {
    ScriptLand s;
    const std::pair<std::string, std::string> cases[] = {
        {"paint 1 1,1 16 0\n\npaint 99 1,1 16 0\n", "line 3: the land has no block 99"},
        {"undo\n", "line 1: there is no brush step to undo"},
        {"brush Nope 2480,2480 raise\n", "line 1: no brush named \"Nope\""},
        {"set-country 9\n", "line 1: the land has no country 9"},
        {"import-country missing/countries.xml 0\n", "line 1: Error Loading the file missing/countries.xml please"},
        {"delete-block 0,0\n", "line 1: no block on square 0,0"},
        {"noise nothing.bmp\n", "line 1: "},
        {"paint 1 1,1 16 0\nwobble\n", "line 2: unknown command \"wobble\""},
    };
    for (const auto& [script, message] : cases) {
        SCOPED_TRACE(script);
        const ProgramResult r = s.edit(script, "never.lnd");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(s.dir.file("never.lnd")));
    }
}

// export and import-noise print the first failure's reason (the system's words where it
// refused) and exit 1; export still writes everything else it can.
TEST(LndtoolExports, FailuresPrintTheReasonAndTheRestIsWritten) {
    namespace fs = std::filesystem;
    ScriptLand s;
    const std::string exp = s.dir.file("exp") + "/";
    const std::vector<std::string> everything = {"materials/Material0.bmp", "materials/countries.xml", "noise/Noise.bmp",
                                                 "bump/bump.bmp", "lores/LRTexture0.bmp"};
    const struct {
        const char* name;
        std::string inTheWay;                 // made a file before the export; empty: none
        int exitCode;
        std::string reason;                   // part of standard error
        std::vector<std::string> unwritten;   // of `everything`
    } cases[] = {
        {"clean", "", 0, "", {}},
        {"the land's folder is a file", "sample", 1, "sample/: a file of that name is in the way", everything},
        {"the low-resolution folder is a file", "sample/lores", 1, "sample/lores/: a file of that name is in the way",
         {"lores/LRTexture0.bmp"}},
        {"a folder where the noise map goes", "sample/noise/Noise.bmp/", 1, "Noise.bmp: it is a directory",
         {"noise/Noise.bmp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(exp);
        if (!c.inTheWay.empty()) {
            fs::create_directories(fs::path(exp + c.inTheWay).parent_path());
            if (c.inTheWay.back() != '/') std::ofstream(exp + c.inTheWay) << "x";
            else fs::create_directories(exp + c.inTheWay);
        }
        const ProgramResult r = runTool({"export", s.land, "--root", exp});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (c.exitCode != 0) {
            EXPECT_EQ(r.err.rfind("lndtool: exporting under " + exp + ": ", 0), 0u) << r.err;
        }
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        for (const std::string& f : everything) {
            const bool unwritten = std::find(c.unwritten.begin(), c.unwritten.end(), f) != c.unwritten.end();
            EXPECT_EQ(fs::is_regular_file(exp + "sample/" + f), !unwritten) << f;
        }
    }

    // The noise import: the editor's text, then why.
    std::ofstream(s.dir.file("junk.bmp")) << "BM";
    const std::vector<std::uint8_t> grey(256 * 128, 9);
    lndtest::writeBytes(s.dir.file("half.bmp"), lnd::encodeGreyBmp(grey.data(), 256, 128, 256));
    const struct {
        std::string picture;
        std::string text;
    } refused[] = {
        {s.dir.file("none.bmp"), "the bitmap doesnt have the correct format to be used as noise bitmap (cannot open " +
                                     s.dir.file("none.bmp") + ": No such file or directory)"},
        {s.dir.file("junk.bmp"), "the bitmap doesnt have the correct format to be used as noise bitmap (" +
                                     s.dir.file("junk.bmp") + ": truncated or corrupt picture file)"},
        {s.dir.file("half.bmp"), "The bitmap " + s.dir.file("half.bmp") + " doesnt have the  correct format for this "
                                                                            "function (" + s.dir.file("half.bmp") +
                                     " is 256 x 128 pixels; a noise map is 256 x 256)"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.picture);
        const ProgramResult r = runTool({"import-noise", s.land, c.picture, "-o", s.dir.file("noise.lnd")});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.rfind("lndtool: " + c.text, 0), 0u) << r.err;
        EXPECT_FALSE(fs::exists(s.dir.file("noise.lnd")));
    }
}
