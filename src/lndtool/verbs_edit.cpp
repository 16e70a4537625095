// lndtool verbs that edit a land the way the editor does: open it through the land model
// with its terrain mesh and device textures, change it, and save it back.
#include "lndtool/cli.h"
#include "lndtool/edit_script.h"

#include "lndtool/land_input.h"

#include "base/file_io.h"
#include "base/data_paths.h"
#include "base/messages.h"
#include "base/settings.h"
#include "session/editor_session.h"
#include "textures/exports.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>

namespace lndtool {

namespace {

// The land as the editor holds it after opening a file, with the settings it was opened with.
struct EditLand {
    lnd::StreamMessages messages{"lndtool"};
    std::unique_ptr<lnd::CSettings> settings;
    lnd::EditorSession session;
    int lastLevel = 0;   // the level value the last brush or level-map command gave

    // kExitOk, or kExitBadInput after the failure was reported. Verbs that use brushes look
    // for the editor's settings file as the editor does when --settings is not given and take
    // only its brushes: the land loads and saves as without settings (no sea parameters, no
    // exports), so a run in a folder with the editor's settings writes nothing else.
    int open(const Args& args, bool searchBrushes = false) {
        if (int rc = openSettings(args, messages, settings); rc != kExitOk) return rc;
        const bool brushesOnly = !settings && searchBrushes;
        if (brushesOnly) {
            const lnd::SettingsChoice found = lnd::findSettingsFile(lnd::DataPlaces::ofProcess(), lnd::kSettingsFileName);
            for (const std::string& note : found.notes) std::fprintf(stderr, "lndtool: %s\n", note.c_str());
            if (found.found) {
                settings = std::make_unique<lnd::CSettings>(messages, found.path);
                if (!settings->fileLoaded()) return inputError(found.path + ": settings file not read");
            }
        }
        return openEditorLand(args.positional[0], session, brushesOnly ? nullptr : settings.get(), messages);
    }
    int save(const std::string& path, bool quick) {
        // The one save of this run, which then ends: nothing will draw the block textures a
        // full save makes, so each goes as soon as its tile is drawn.
        return saveEditorLand(path, quick ? lnd::SaveKind::Quick : lnd::SaveKind::Full, session, messages,
                              lnd::BlockTextureUse::TilesOnly);
    }
    const lnd::CBrushDef* brushNamed(const std::string& name) const {
        if (settings)
            for (const lnd::CBrushDef& b : settings->brushes())
                if (b.name == name) return &b;
        return nullptr;
    }
    // The block record under world position (x, z), or -1.
    int blockUnder(double x, double z) const {
        const double gx = std::floor(x / 160.0), gz = std::floor(z / 160.0);
        return gx < 0 || gz < 0 || gx >= lnd::kGridSize || gz >= lnd::kGridSize
                   ? -1
                   : session.land().blockRecordAt(int(gx), int(gz));
    }
};

int runResave(const Args& args) {
    if (!args.has("o")) return usageError(verbNamed("resave"), "missing -o OUT.lnd");
    EditLand s;
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
    EditLand s;
    if (int rc = s.open(args); rc != kExitOk) return rc;
    const int record = s.session.land().blockRecordAt(int(std::fmax(-1.0, std::fmin(square[0], 99.0))),
                                                      int(std::fmax(-1.0, std::fmin(square[1], 99.0))));
    if (record < 0) return usageError(verb, "no block on square " + args.get("square"));
    if (lnd::CommandResult r = s.session.deleteBlock(record); !r) return inputError(r.result.message());
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

    EditLand s;
    if (int rc = s.open(args, true); rc != kExitOk) return rc;
    if (!s.settings) return usageError(verb, "no settings file found: give --settings FILE (it holds the brushes)");
    const lnd::CBrushDef* brush = s.brushNamed(args.get("brush"));
    if (brush == nullptr && mode != lnd::kBrushLevel) return usageError(verb, "no brush named \"" + args.get("brush") + "\"");
    const int record = s.blockUnder(at[0], at[1]);
    if (record < 0) return usageError(verb, "no block under " + args.get("at"));
    const lnd::BrushStep step{record, {float(at[0]), 0.0f, float(at[1])}, int(radius), int(times), int(levelValue),
                              brush, mode};
    for (long long k = 0; k < steps; ++k)
        if (lnd::CommandResult r = s.session.brush(step); !r) return inputError(r.result.message());
    return s.save(args.get("o"), true);
}

// One script command as a session command.
lnd::CommandResult runCommand(EditLand& s, const EditCommand& c) {
    lnd::EditorSession& session = s.session;
    const auto refused = [](const std::string& why) {
        return lnd::CommandResult{lnd::Result::failure(lnd::Status::BadInput, why), {}};
    };
    using Kind = EditCommand::Kind;
    switch (c.kind) {
    case Kind::Brush: {
        const lnd::CBrushDef* brush = s.brushNamed(c.brushName);
        if (brush == nullptr && c.mode != lnd::kBrushLevel)
            return refused(s.settings ? "no brush named \"" + c.brushName + "\" in the settings file"
                                      : std::string("brushes come from the settings file: give --settings FILE"));
        const int record = s.blockUnder(c.x, c.z);
        if (record < 0) return refused("no block under the brush");
        s.lastLevel = c.level;
        return session.brush({record, {float(c.x), 0.0f, float(c.z)}, c.radius, c.times, c.level, brush, c.mode});
    }
    case Kind::Undo: return session.undo();
    case Kind::Redo: return session.redo();
    case Kind::Paint: return session.paint({c.block - 1, c.pictureX, c.pictureY, c.size, c.country});
    case Kind::SetCountry: return session.setCountryEverywhere(c.country);
    case Kind::ImportCountry: return session.importCountry(c.path, c.id);
    case Kind::DeleteBlock: {
        const int record = session.land().blockRecordAt(c.gx, c.gz);
        if (record < 0) return refused("no block on square " + std::to_string(c.gx) + "," + std::to_string(c.gz));
        return session.deleteBlock(record);
    }
    case Kind::LevelMap:
        // Without a level the value last given stays, as the window keeps it.
        if (c.levelValue >= 0) s.lastLevel = c.levelValue;
        return session.levelMap(s.lastLevel);
    case Kind::Noise: {
        lnd::CommandResult r = session.importNoise(c.path);
        if (!r) r.result = lnd::Result::failure(r.result.status(), noiseFailureText(r.result, c.path));
        return r;
    }
    case Kind::CountryMapImport: return session.importCountryMap(c.path);
    // The exports write the land as the lines before left it; the script goes on.
    case Kind::CountryMapExport: return {session.exportCountryMap(c.path), {}};
    case Kind::MeshExport: {
        lnd::MeshExportOptions options;
        options.textures = c.textures;
        options.sea = c.sea;
        options.progress = progressOnStandardError("mesh export", "block textures");
        return {session.exportMesh(c.path, options), {}};
    }
    }
    return refused("unknown command");
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

    EditLand s;
    if (int rc = s.open(args, true); rc != kExitOk) return rc;
    for (const EditCommand& c : commands) {
        const lnd::CommandResult r = runCommand(s, c);
        if (!r)
            return inputError(source + ": line " + std::to_string(c.line) + ": " + r.result.message() +
                              "; the land was not written");
    }
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
                           "brush, undo, redo, paint, set-country, import-country, delete-block, level-map, noise, "
                           "country-map import|export, mesh export",
                           {{"o", true}, {"quick", false}, {"settings", true}, {"script", true}}, 1, 1, runEdit});

}  // namespace

}  // namespace lndtool
