// lndtool verbs that edit a land the way the editor does: open it through the land model
// with its terrain mesh and device textures, change it, and save it back.
#include "lndtool/cli.h"
#include "lndtool/edit_script.h"

#include "base/file_io.h"
#include "base/data_paths.h"
#include "base/messages.h"
#include "base/settings.h"
#include "countries/country_import.h"
#include "countries/country_table.h"
#include "land/land.h"
#include "tools/altitude_brush.h"
#include "tools/block_deletion.h"
#include "tools/texture_edit.h"
#include "textures/exports.h"
#include "textures/synthesis.h"
#include "view/terrain_land.h"
#include "view/terrain_mesh.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>

namespace lndtool {

namespace {

// The land as the editor holds it after opening a file.
struct EditSession {
    lnd::StreamMessages messages{"lndtool"};
    std::unique_ptr<lnd::CSettings> settings;
    lnd::HeadlessLand held;
    lnd::CLand& land = held.land;
    lnd::CTerrainMesh& mesh = held.mesh;

    // kExitOk, or kExitBadInput after the failure was reported. Verbs that use brushes look
    // for the editor's settings file as the editor does when --settings is not given and take
    // only its brushes: the land loads and saves as without settings (no sea parameters, no
    // exports), so a run in a folder with the editor's settings writes nothing else.
    int open(const Args& args, bool searchBrushes = false) {
        land.m_messages = &messages;
        if (args.has("settings")) {
            settings = std::make_unique<lnd::CSettings>(messages, args.get("settings"));
            if (!settings->fileLoaded()) return inputError(args.get("settings") + ": settings file not read");
            land.m_settings = settings.get();
        } else if (searchBrushes) {
            const lnd::SettingsChoice found = lnd::findSettingsFile(lnd::DataPlaces::ofProcess(), lnd::kSettingsFileName);
            for (const std::string& note : found.notes) std::fprintf(stderr, "lndtool: %s\n", note.c_str());
            if (found.found) {
                settings = std::make_unique<lnd::CSettings>(messages, found.path);
                if (!settings->fileLoaded()) return inputError(found.path + ": settings file not read");
            }
        }
        return held.open(args.positional[0]) == 0 ? kExitOk : kExitBadInput;
    }
    int save(const std::string& path, bool quick) {
        // The one save of this run, which then ends: nothing will draw the block textures a
        // full save makes, so each goes as soon as its tile is drawn.
        land.m_hooks.synthesizeBlocks = [this](std::span<const int> blocks) {
            lnd::SynthesizeBlockTextures(land, blocks, lnd::BlockTextureUse::TilesOnly);
        };
        const lnd::Result saved = land.SaveLand(path, quick ? lnd::SaveKind::Quick : lnd::SaveKind::Full);
        // The editor's message names no reason; a script's user gets the system's.
        return saved ? kExitOk : inputError(saved.message());
    }
};

int runResave(const Args& args) {
    if (!args.has("o")) return usageError(verbNamed("resave"), "missing -o OUT.lnd");
    EditSession s;
    if (int rc = s.open(args); rc != kExitOk) return rc;
    return s.save(args.get("o"), args.has("quick"));
}

int runDeleteBlock(const Args& args) {
    const Verb& verb = verbNamed("delete-block");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.lnd");
    std::vector<double> square;
    if (!parseNumberList(args.get("square"), square) || square.size() != 2 || square[0] != std::floor(square[0]) ||
        square[1] != std::floor(square[1]))
        return usageError(verb, "--square GX,GZ takes two whole numbers");
    EditSession s;
    if (int rc = s.open(args); rc != kExitOk) return rc;
    const int record = s.land.blockRecordAt(int(std::fmax(-1.0, std::fmin(square[0], 99.0))),
                                            int(std::fmax(-1.0, std::fmin(square[1], 99.0))));
    if (record < 0) return usageError(verb, "no block on square " + args.get("square"));
    s.land.m_cursorBlock = record;
    lnd::DeleteCursorBlock(s.land, s.mesh);
    return s.save(args.get("o"), true);
}

int runBrush(const Args& args) {
    const Verb& verb = verbNamed("brush");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.lnd");
    std::vector<double> at;
    if (!parseNumberList(args.get("at"), at) || at.size() != 2 || !std::isfinite(at[0]) || !std::isfinite(at[1]))
        return usageError(verb, "--at X,Z takes two numbers");
    long long steps = 1, radius = 80, times = 1, levelValue = 0;
    if (args.has("steps") && (!parseInt(args.get("steps"), steps) || steps < 0 || steps > 100000))
        return usageError(verb, "--steps must be 0 to 100000");
    if (args.has("radius") && (!parseInt(args.get("radius"), radius) || radius < 1 || radius > 160))
        return usageError(verb, "--radius must be 1 to 160");
    if (args.has("times") && (!parseInt(args.get("times"), times) || times < 1 || times > 10))
        return usageError(verb, "--times must be 1 to 10");
    if (args.has("level-value") && (!parseInt(args.get("level-value"), levelValue) || levelValue < 0 || levelValue > 255))
        return usageError(verb, "--level-value must be 0 to 255");
    if (int(args.has("lower")) + int(args.has("level")) + int(args.has("smooth")) > 1)
        return usageError(verb, "--lower, --level and --smooth exclude each other");
    const int mode = args.has("level")    ? lnd::kBrushLevel
                     : args.has("lower")  ? lnd::kBrushLower
                     : args.has("smooth") ? lnd::kBrushSmooth
                                          : lnd::kBrushRaise;

    EditSession s;
    if (int rc = s.open(args, true); rc != kExitOk) return rc;
    if (!s.settings) return usageError(verb, "no settings file found: give --settings FILE (it holds the brushes)");
    const lnd::CBrushDef* brush = nullptr;
    for (const lnd::CBrushDef& b : s.settings->brushes())
        if (b.name == args.get("brush")) brush = &b;
    if (brush == nullptr && mode != lnd::kBrushLevel) return usageError(verb, "no brush named \"" + args.get("brush") + "\"");

    const double gx = std::floor(at[0] / 160.0), gz = std::floor(at[1] / 160.0);
    const int record = gx < 0 || gz < 0 || gx >= lnd::kGridSize || gz >= lnd::kGridSize
                           ? -1
                           : s.land.blockRecordAt(int(gx), int(gz));
    if (record < 0) return usageError(verb, "no block under " + args.get("at"));
    s.land.m_cursorBlock = record;
    s.land.m_brushCentre = {float(at[0]), 0.0f, float(at[1])};
    s.land.m_brushRadius = int(radius);
    s.land.m_brushTimes = int(times);
    s.land.m_levelValue = int(levelValue);
    s.land.m_brush = brush;
    for (long long k = 0; k < steps; ++k) lnd::ApplyBrush(s.land, s.mesh, mode);
    return s.save(args.get("o"), true);
}

// Holds what the core would have shown in message boxes while one script line runs, so the
// failure can be reported with its line.
class LineMessages final : public lnd::UserMessages {
public:
    void error(const std::string& text, const std::string& = {}) override { add(text); }
    bool question(const std::string&, const std::string& = {}, lnd::QuestionButtons = {}) override { return true; }
    void plain(const std::string& text, const std::string& = {}) override { add(text); }
    std::string take() {
        std::string all;
        all.swap(m_text);
        return all;
    }

private:
    void add(const std::string& text) { m_text += (m_text.empty() ? "" : "; ") + text; }
    std::string m_text;
};

// One script command on the open land; the empty text on success, else what the user sees.
std::string runCommand(EditSession& s, LineMessages& messages, const EditCommand& c) {
    lnd::CLand& land = s.land;
    using Kind = EditCommand::Kind;
    switch (c.kind) {
    case Kind::Brush: {
        const lnd::CBrushDef* brush = nullptr;
        if (s.settings)
            for (const lnd::CBrushDef& b : s.settings->brushes())
                if (b.name == c.brushName) brush = &b;
        if (brush == nullptr && c.mode != lnd::kBrushLevel)
            return s.settings ? "no brush named \"" + c.brushName + "\" in the settings file"
                              : std::string("brushes come from the settings file: give --settings FILE");
        const double gx = std::floor(c.x / 160.0), gz = std::floor(c.z / 160.0);
        const int record = gx < 0 || gz < 0 || gx >= lnd::kGridSize || gz >= lnd::kGridSize
                               ? -1
                               : land.blockRecordAt(int(gx), int(gz));
        if (record < 0) return "no block under the brush";
        land.m_cursorBlock = record;
        land.m_brushCentre = {float(c.x), 0.0f, float(c.z)};
        land.m_brushRadius = c.radius;
        land.m_brushTimes = c.times;
        land.m_levelValue = c.level;
        land.m_brush = brush;
        lnd::ApplyBrush(land, s.mesh, c.mode);
        return {};
    }
    case Kind::Undo:
        return lnd::UndoStroke(land, s.mesh) ? std::string() : std::string("there is no brush step to undo");
    case Kind::Redo:
        return lnd::RedoStroke(land, s.mesh) ? std::string() : std::string("there is no undone brush step to redo");
    case Kind::Paint: {
        const int record = c.block - 1;
        if (record >= land.numBlocks())
            return "the land has no block " + std::to_string(c.block) + " (it has " + std::to_string(land.numBlocks()) +
                   ")";
        if (c.country >= land.numCountries())
            return "the land has no country " + std::to_string(c.country) + " (it has " +
                   std::to_string(land.numCountries()) + ")";
        lnd::CTextureEdit editor;
        editor.LoadBlock(land, record);
        editor.setBrushSize(c.size);
        editor.setCountry(c.country);
        editor.PaintAt(c.pictureX, c.pictureY);
        if (!editor.ApplyToBlock()) return "the block cannot be painted";
        land.m_modified = true;
        const int changed[] = {record};
        land.blocksEdited(changed);
        return {};
    }
    case Kind::SetCountry:
        if (!lnd::setCountryEverywhere(land, c.country))
            return "the land has no country " + std::to_string(c.country) + " (it has " +
                   std::to_string(land.numCountries()) + ")";
        return {};
    case Kind::ImportCountry:
        if (lnd::Result r = lnd::ImportCountryFromFile(land, c.path, c.id); !r) return r.message();
        return {};
    case Kind::DeleteBlock: {
        const int record = land.blockRecordAt(c.gx, c.gz);
        if (record < 0) return "no block on square " + std::to_string(c.gx) + "," + std::to_string(c.gz);
        land.m_cursorBlock = record;
        if (!lnd::DeleteCursorBlock(land, s.mesh)) {
            const std::string shown = messages.take();
            return shown.empty() ? std::string("the block was not deleted") : shown;
        }
        return {};
    }
    case Kind::LevelMap:
        if (c.levelValue >= 0) land.m_levelValue = c.levelValue;
        land.InitializeMap();
        return {};
    case Kind::Noise:
        if (lnd::Result r = lnd::ImportNoiseMap(land, c.path); !r) {
            const std::string shown = lnd::noiseRefusalText(r, c.path).text;
            return shown.empty() ? r.message() : shown + " (" + r.message() + ")";
        }
        return {};
    }
    return "unknown command";
}

int runEdit(const Args& args) {
    const Verb& verb = verbNamed("edit");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.lnd");
    std::string text;
    std::string source = "standard input";
    if (args.has("script")) {
        source = args.get("script");
        std::vector<std::uint8_t> bytes;
        if (lnd::Result r = lnd::readWholeFile(source, bytes, std::size_t(16) << 20); !r)
            return inputError(source + ": " + r.message());
        text.assign(bytes.begin(), bytes.end());
    } else {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }
    std::vector<EditCommand> commands;
    ScriptError bad;
    if (!parseEditScript(text, commands, bad)) {
        const int rc = inputError(source + ": line " + std::to_string(bad.line) + ": " + bad.message);
        std::fprintf(stderr, "commands, one a line:\n%s", editScriptSyntax());
        return rc;
    }

    EditSession s;
    if (int rc = s.open(args, true); rc != kExitOk) return rc;
    LineMessages messages;
    s.land.m_messages = &messages;
    for (const EditCommand& c : commands) {
        const std::string failure = runCommand(s, messages, c);
        messages.take();   // notes of a command that succeeded are not failures
        if (!failure.empty())
            return inputError(source + ": line " + std::to_string(c.line) + ": " + failure + "; nothing was written");
    }
    s.land.m_messages = &s.messages;
    return s.save(args.get("o"), args.has("quick"));
}

const VerbRegistrar kResave({"resave", "resave LAND -o OUT.lnd [--quick] [--settings FILE]",
                             "load and save through the editor's land model (a full save synthesises every "
                             "block texture and refreshes the low-resolution tiles)",
                             {{"o", true}, {"quick", false}, {"settings", true}}, 1, 1, runResave});
const VerbRegistrar kDeleteBlock({"delete-block", "delete-block LAND --square GX,GZ -o OUT.lnd [--settings FILE]",
                                  "remove the block on a grid square and save compacted",
                                  {{"square", true}, {"o", true}, {"settings", true}}, 1, 1, runDeleteBlock});
const VerbRegistrar kBrush({"brush",
                            "brush LAND --brush NAME --at X,Z --steps N [--lower|--level|--smooth] [--radius R] [--times T] "
                            "[--level-value V] [--settings FILE] -o OUT.lnd",
                            "apply altitude brush steps at a world position",
                            {{"brush", true},
                             {"at", true},
                             {"steps", true},
                             {"lower", false},
                             {"level", false},
                             {"smooth", false},
                             {"radius", true},
                             {"times", true},
                             {"level-value", true},
                             {"settings", true},
                             {"o", true}},
                            1, 1, runBrush});
const VerbRegistrar kEdit({"edit", "edit LAND -o OUT.lnd [--quick] [--settings FILE] [--script FILE]",
                           "run editing commands, one a line, from the script or standard input and save once: "
                           "brush, undo, paint, set-country, import-country, delete-block, level-map, noise",
                           {{"o", true}, {"quick", false}, {"settings", true}, {"script", true}}, 1, 1, runEdit});

}  // namespace

}  // namespace lndtool
