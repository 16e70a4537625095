// lndtool verbs for heightmaps and the map picture: export the altitudes as a grey picture,
// apply a picture back onto the land, and render the whole land from above.
#include "lndtool/cli.h"
#include "lndtool/land_input.h"

#include "base/file_io.h"
#include "base/messages.h"
#include "base/settings.h"
#include "codec/png_writer.h"
#include "land/land.h"
#include "land/land_settings.h"
#include "textures/map_picture.h"
#include "tools/heightmap.h"
#include "view/terrain_land.h"

#include <cstdio>
#include <memory>

namespace lndtool {

namespace {


int runExport(const Verb& verb, const Args& args) {
    for (const char* name : {"fit", "exact", "min", "max", "settings"})
        if (args.has(name)) return usageError(verb, std::string("--") + name + " belongs to import");
    if (args.positional.size() != 2) return usageError(verb, "export takes one land");
    if (!args.has("o") || lowerExtension(args.get("o")) != ".png") return usageError(verb, "missing -o HEIGHT.png");
    int bits = 8;
    if (args.has("bits")) {
        if (args.get("bits") == "8") bits = 8;
        else if (args.get("bits") == "16") bits = 16;
        else return usageError(verb, "--bits must be 8 or 16");
    }
    lnd::StreamMessages messages("lndtool");
    lnd::EditorSession session;
    if (int rc = openEditorLand(args.positional[1], session, nullptr, messages, lnd::OpenDepth::AsRead); rc != kExitOk)
        return rc;
    lnd::HeightmapPlacement placement;
    const std::string out = args.get("o");
    if (lnd::Result r = session.exportHeightmap(out, bits, &placement); !r)
        return inputError(args.positional[1] + ": " + r.message());
    const std::string side = lnd::heightmapSidecarPath(out);
    std::printf("%s: %d x %d pixels, %d bits, grid origin (%d, %d); placement in %s\n", out.c_str(), placement.columns,
                placement.rows, bits, placement.gridX, placement.gridZ, side.c_str());
    return kExitOk;
}

int altitudeOption(const Verb& verb, const Args& args, const char* name, int fallback, int& value) {
    value = fallback;
    if (!args.has(name)) return kExitOk;
    long long v = 0;
    if (!parseInt(args.get(name), v) || v < 0 || v > 255)
        return usageError(verb, std::string("--") + name + " must be an altitude from 0 to 255");
    value = int(v);
    return kExitOk;
}

int runImport(const Verb& verb, const Args& args) {
    if (args.has("bits")) return usageError(verb, "--bits belongs to export");
    if (args.positional.size() != 3) return usageError(verb, "import takes a land and a picture");
    if (!args.has("o") || args.get("o").empty()) return usageError(verb, "missing -o OUT.lnd");
    if (args.has("fit") && args.has("exact")) return usageError(verb, "--fit and --exact exclude each other");
    lnd::HeightmapImportOptions options;
    options.fit = args.has("fit") ? lnd::HeightmapFit::Fit : args.has("exact") ? lnd::HeightmapFit::Exact
                                                                             : lnd::HeightmapFit::Auto;
    if (int rc = altitudeOption(verb, args, "min", 0, options.minAltitude); rc != kExitOk) return rc;
    if (int rc = altitudeOption(verb, args, "max", 255, options.maxAltitude); rc != kExitOk) return rc;
    const std::string ext = lowerExtension(args.positional[2]);
    if (ext != ".png" && ext != ".bmp" && ext != ".tga") return usageError(verb, "the picture must be a .png, .bmp or .tga file");

    const std::string picturePath = args.positional[2];
    lnd::StreamMessages messages("lndtool");
    std::unique_ptr<lnd::CSettings> settings;
    if (int rc = openSettings(args, messages, settings); rc != kExitOk) return rc;
    lnd::EditorSession session;
    lnd::CLand& land = session.land();
    if (int rc = openEditorLand(args.positional[1], session, nullptr, messages, lnd::OpenDepth::AsRead); rc != kExitOk)
        return rc;
    if (settings) land.m_seaParms = lnd::readSeaParms(*settings);

    // The side file written by the export puts the picture back where it came from; fitting
    // ignores it.
    lnd::GreyImage picture;
    if (lnd::Result r = lnd::readHeightmapFiles(picturePath, options.fit != lnd::HeightmapFit::Fit, picture,
                                                options.placement);
        !r)
        return inputError(r.message());

    lnd::EditorSession::HeightmapImportSummary summary;
    const lnd::CommandResult edit = session.importHeightmap(picture, options, &summary);
    if (!edit) return inputError(picturePath + ": " + edit.result.message());
    if (lnd::Result r = lnd::writeFileAtomic(args.get("o"), lnd::writePlain(land.parts())); !r) return inputError(r.message());
    std::printf("%zu cells of %zu blocks changed (%s)\n", summary.cells, edit.changedBlocks.size(),
                summary.resampled ? "picture resampled onto the occupied cells" : "one pixel per cell");
    return kExitOk;
}

int runHeightmap(const Args& args) {
    const Verb& verb = verbNamed("heightmap");
    const std::string action = args.positional[0];
    if (action == "export") return runExport(verb, args);
    if (action == "import") return runImport(verb, args);
    return usageError(verb, "the first argument must be export or import");
}

int runRenderMap(const Args& args) {
    const Verb& verb = verbNamed("render-map");
    if (!args.has("o") || lowerExtension(args.get("o")) != ".png") return usageError(verb, "missing -o MAP.png");
    lnd::MapPictureOptions options;
    if (args.has("size")) {
        long long v = 0;
        if (!parseInt(args.get("size"), v) || v < 1 || v > lnd::kMaxMapSide)
            return usageError(verb, "--size must be 1 to " + std::to_string(lnd::kMaxMapSide));
        options.longerSide = int(v);
    }
    // Opened as the editor opens it, so the picture shows what the editor shows: edge flags
    // in line and the sea parameters of the settings.
    lnd::StreamMessages messages("lndtool");
    std::unique_ptr<lnd::CSettings> settings;
    if (int rc = openSettings(args, messages, settings); rc != kExitOk) return rc;
    lnd::EditorSession session;
    lnd::CLand& land = session.land();
    if (int rc = openEditorLand(args.positional[0], session, settings.get(), messages, lnd::OpenDepth::Geometry);
        rc != kExitOk)
        return rc;

    const auto progress = progressOnStandardError("render-map", "blocks");
    lnd::CImage32 picture;
    if (lnd::Result r = lnd::renderMapPicture(land, options, picture, progress); !r)
        return inputError(args.positional[0] + ": " + r.message());
    const std::vector<std::uint8_t> png = lnd::encodePngRgb(picture);
    if (png.empty()) return inputError("the PNG file could not be encoded");
    if (lnd::Result r = lnd::writeFileAtomic(args.get("o"), png); !r) return inputError(r.message());
    return kExitOk;
}

const VerbRegistrar kHeightmap(
    {"heightmap",
     "heightmap export LAND -o HEIGHT.png [--bits 8|16]\n"
     "       lndtool heightmap import LAND PICTURE -o OUT.lnd [--fit|--exact] [--min A --max B] [--settings FILE]",
     "altitudes to a grey PNG, one pixel per cell; or a PNG, BMP or TGA picture onto them",
     {{"o", true}, {"bits", true}, {"fit", false}, {"exact", false}, {"min", true}, {"max", true}, {"settings", true}},
     2,
     3,
     runHeightmap});
const VerbRegistrar kRenderMap({"render-map", "render-map LAND -o MAP.png [--size N] [--settings FILE]",
                                "picture of the whole land from above (N: longer side, default a texel a pixel up to 4096)",
                                {{"o", true}, {"size", true}, {"settings", true}},
                                1,
                                1,
                                runRenderMap});

}  // namespace

}  // namespace lndtool
