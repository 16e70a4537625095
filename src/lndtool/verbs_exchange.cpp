// lndtool verbs that carry the land to other programs and back: the country map as a
// paletted picture, and the land's surface as a glTF or OBJ mesh.
#include "lndtool/cli.h"
#include "lndtool/land_input.h"

#include "base/file_io.h"
#include "base/messages.h"
#include "base/settings.h"
#include "codec/image.h"
#include "land/land.h"
#include "tools/country_map.h"
#include "tools/heightmap.h"
#include "tools/mesh_export.h"
#include "session/editor_session.h"

#include <cstdio>
#include <memory>

namespace lndtool {

namespace {

// The file image as stored, nothing derived and nothing brought into line, so that a land
// written back differs only where the verb changed it.
int openAsStored(const std::string& path, lnd::EditorSession& session, lnd::UserMessages& messages) {
    return openEditorLand(path, session, nullptr, messages, lnd::OpenDepth::AsRead);
}

int runCountriesExport(const Verb& verb, const Args& args) {
    if (args.positional.size() != 2) return usageError(verb, "export takes one land");
    if (!args.has("o") || lowerExtension(args.get("o")) != ".png") return usageError(verb, "missing -o MAP.png");
    lnd::StreamMessages messages("lndtool");
    lnd::EditorSession session;
    if (int rc = openAsStored(args.positional[1], session, messages); rc != kExitOk) return rc;
    lnd::CLand& land = session.land();
    const std::string out = args.get("o");
    lnd::HeightmapPlacement placement;
    if (lnd::Result r = session.exportCountryMap(out, &placement); !r)
        return inputError(args.positional[1] + ": " + r.message());
    std::printf("%s: %d x %d pixels, %d countries, grid origin (%d, %d); placement in %s\n", out.c_str(),
                placement.columns, placement.rows, land.numCountries(), placement.gridX, placement.gridZ,
                lnd::heightmapSidecarPath(out).c_str());
    return kExitOk;
}

int runCountriesImport(const Verb& verb, const Args& args) {
    if (args.positional.size() != 3) return usageError(verb, "import takes a land and a picture");
    if (!args.has("o") || args.get("o").empty()) return usageError(verb, "missing -o OUT.lnd");
    const std::string picturePath = args.positional[2];
    const std::string ext = lowerExtension(picturePath);
    if (ext != ".png" && ext != ".bmp" && ext != ".tga") return usageError(verb, "the picture must be a .png, .bmp or .tga file");
    lnd::StreamMessages messages("lndtool");
    lnd::EditorSession session;
    if (int rc = openAsStored(args.positional[1], session, messages); rc != kExitOk) return rc;
    lnd::CLand& land = session.land();

    std::unique_ptr<lnd::CImageBase> picture;
    lnd::CountryMapImportOptions options;
    if (lnd::Result r = lnd::readCountryMapFiles(land, picturePath, true, picture, options); !r) return inputError(r.message());
    // The window's command: one step of the land's history, refused whole.
    const lnd::CommandResult imported = session.importCountryMap(*picture, options);
    if (!imported) return inputError(picturePath + ": " + imported.result.message());
    const std::size_t cells = imported.changedBlocks.empty() ? 0 : land.history().newest().cells.size();
    if (lnd::Result r = lnd::writeFileAtomic(args.get("o"), lnd::writePlain(land.parts())); !r) return inputError(r.message());
    std::printf("%zu cells of %zu blocks changed (%s)\n", cells, imported.changedBlocks.size(),
                picture->kind() == lnd::CImage8::kKind ? "read by palette index" : "read by nearest country colour");
    return kExitOk;
}

int runCountries(const Args& args) {
    const Verb& verb = verbNamed("countries");
    const std::string action = args.positional[0];
    if (action == "export") return runCountriesExport(verb, args);
    if (action == "import") return runCountriesImport(verb, args);
    return usageError(verb, "the first argument must be export or import");
}

int runMesh(const Args& args) {
    const Verb& verb = verbNamed("mesh");
    if (args.positional[0] != "export") return usageError(verb, "the first argument must be export");
    if (args.positional.size() != 2) return usageError(verb, "export takes one land");
    if (!args.has("o") || !lnd::meshFormatFor(args.get("o"))) return usageError(verb, "missing -o OUT.glb, OUT.gltf or OUT.obj");

    // Opened as the editor opens it, so the mesh and its textures are what the editor shows:
    // edge flags in line and the sea parameters of the settings.
    lnd::StreamMessages messages("lndtool");
    std::unique_ptr<lnd::CSettings> settings;
    if (int rc = openSettings(args, messages, settings); rc != kExitOk) return rc;
    lnd::EditorSession session;
    if (int rc = openEditorLand(args.positional[1], session, settings.get(), messages); rc != kExitOk) return rc;

    lnd::MeshExportOptions options;
    options.textures = args.has("textures");
    options.sea = args.has("sea");
    options.progress = progressOnStandardError("mesh export", "block textures");
    lnd::MeshExportSummary summary;
    if (lnd::Result r = session.exportMesh(args.get("o"), options, &summary); !r)
        return inputError(args.positional[1] + ": " + r.message());
    std::printf("%s: %d vertices, %d triangles over %d blocks%s%s\n", args.get("o").c_str(), summary.vertices,
                summary.triangles, summary.blocks, options.textures ? ", textured" : "", options.sea ? ", with sea" : "");
    return kExitOk;
}

const VerbRegistrar kCountries(
    {"countries",
     "countries export LAND -o MAP.png\n"
     "       lndtool countries import LAND MAP.(png|bmp|tga) -o OUT.lnd",
     "the cells' countries as a paletted PNG, one pixel per cell; or such a picture onto them",
     {{"o", true}},
     2,
     3,
     runCountries});
const VerbRegistrar kMesh({"mesh",
                           "mesh export LAND -o OUT.(glb|gltf|obj) [--textures] [--sea] [--settings FILE]",
                           "the land's full-detail surface as a glTF or OBJ mesh",
                           {{"o", true}, {"textures", false}, {"sea", false}, {"settings", true}},
                           2,
                           2,
                           runMesh});

}  // namespace

}  // namespace lndtool
