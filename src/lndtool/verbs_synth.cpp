// lndtool verbs for the land's textures: synthesise a block texture, write every export,
// import a noise map, and make a procedural sample land.
#include "lndtool/cli.h"
#include "lndtool/land_input.h"

#include "base/messages.h"
#include "base/settings.h"
#include "land/land_settings.h"
#include "view/view_settings.h"
#include "base/file_io.h"
#include "land/land.h"
#include "codec/bmp_writer.h"
#include "codec/png_writer.h"
#include "textures/exports.h"
#include "tools/sample_land.h"
#include "textures/synthesis.h"
#include "view/terrain_land.h"
#include "codec/pixel_swizzle.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

namespace lndtool {

namespace {

int runSynth(const Args& args) {
    const Verb& verb = verbNamed("synth");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.(bmp|png|dds)");
    const std::string out = args.get("o");
    const std::string ext = lowerExtension(out);
    if (ext != ".bmp" && ext != ".png" && ext != ".dds") return usageError(verb, "-o must name a .bmp, .png or .dds file");
    long long number = 0;
    if (!args.has("block") || !parseInt(args.get("block"), number)) return usageError(verb, "--block N is required");

    // Opened as the editor opens it, so the texture is the one the editor shows and a full
    // save writes into the block's tile: edge flags in line, sea parameters from the settings.
    lnd::StreamMessages messages("lndtool");
    std::unique_ptr<lnd::CSettings> settings;
    if (int rc = openSettings(args, messages, settings); rc != kExitOk) return rc;
    lnd::EditorSession session;
    lnd::CLand& land = session.land();
    if (int rc = openEditorLand(args.positional[0], session, settings.get(), messages, lnd::OpenDepth::Geometry);
        rc != kExitOk)
        return rc;
    if (number < 1 || number > land.numBlocks())
        return usageError(verb, "--block must be 1 to " + std::to_string(land.numBlocks()));
    // This verb writes its one picture and nothing else: no export runs on the way.
    land.setExportRoot({});
    land.setMaterialsExported(true);
    land.setNoiseExported(true);
    land.setBumpExported(true);
    lnd::recreateDeviceObjects(session.mesh(), land);
    land.setTextureError({});
    lnd::SynthesizeBlockTexture(land, int(number - 1));
    reportTileCopyFailures(land, messages);
    if (!land.textureError().empty()) return inputError("block " + args.get("block") + ": " + land.textureError());
    const std::vector<std::uint8_t>& image = land.textures().scratch();
    if (image.size() < lnd::kBlockImageSize) return inputError("block " + args.get("block") + ": no texture made");

    std::vector<std::uint8_t> file;
    const std::uint8_t* texels = image.data() + lnd::kBlockImageHeaderSize;
    if (ext == ".dds") {
        file.assign(image.begin(), image.begin() + std::ptrdiff_t(lnd::kBlockImageSize));
    } else if (ext == ".bmp") {
        file = lnd::encodeBmp(texels, 256, 256, 1024, lnd::PixelOrder::Bgra, 32);
    } else {
        lnd::CImage32 picture(256, 256);
        lnd::reversePixelBytes(texels, picture.pixels(), 256u * 256u);
        file = lnd::encodePng(picture);
    }
    if (lnd::Result r = lnd::writeFileAtomic(out, file); !r) return inputError(r.message());
    return kExitOk;
}

// Reads a land into the editor's model; kExitOk or kExitBadInput after reporting why.

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A settings file of the export names only, removed when done with.
class ExportSettingsFile {
public:
    ExportSettingsFile(const std::string& root, const std::string& materials, const std::string& noise,
                       const std::string& bump, const std::string& lores) {
        std::random_device rd;
        m_path = (std::filesystem::temp_directory_path() / ("lndtool-export-" + std::to_string(rd()) + ".xml")).string();
        const std::string xml = "<settings><exports rootDirectory=\"" + xmlEscaped(root) + "\">" +
                                "<materials subdirectory=\"" + xmlEscaped(materials) + "\"/>" +
                                "<noiseMap subdirectory=\"" + xmlEscaped(noise) + "\"/>" +
                                "<bumpMap subdirectory=\"" + xmlEscaped(bump) + "\"/>" +
                                "<loresTextures subdirectory=\"" + xmlEscaped(lores) + "\"/></exports></settings>\n";
        m_written = lnd::writeFileAtomic(m_path, {reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()});
    }
    ~ExportSettingsFile() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    const lnd::Result& written() const { return m_written; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    lnd::Result m_written;
};

int runExport(const Args& args) {
    const Verb& verb = verbNamed("export");
    if (!args.has("root") || args.get("root").empty()) return usageError(verb, "missing --root DIR");
    lnd::StreamMessages messages("lndtool");
    std::unique_ptr<lnd::CSettings> user;
    if (int rc = openSettings(args, messages, user); rc != kExitOk) return rc;
    auto name = [&](const char* key, const char* fallback) {
        const std::string v = user ? user->GetValue(key) : std::string();
        return v.empty() ? std::string(fallback) : v;
    };
    std::string root = args.get("root");
    if (root.back() != '/' && root.back() != '\\') root += '/';
    ExportSettingsFile file(root, name("exportMaterials", "materials"), name("exportNoisemap", "noise"),
                            name("exportBumpmap", "bump"), name("exportLores", "lores"));
    if (!file.written()) return inputError("cannot write a temporary settings file: " + file.written().message());
    lnd::CSettings settings(messages, file.path());

    lnd::EditorSession session;
    lnd::CLand& land = session.land();
    if (int rc = openEditorLand(args.positional[0], session, &settings, messages, lnd::OpenDepth::Geometry);
        rc != kExitOk)
        return rc;
    std::string landName;
    if (!lnd::landNameOf(land.path(), landName))
        return inputError(land.path() + ": no land name can be derived from this path");
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    // Every export writes what it can; the editor ignores their failures, a script learns of
    // the first.
    const lnd::Result results[] = {lnd::ExportMaterials(land), lnd::ExportNoiseMap(land), lnd::ExportBumpMap(land),
                                   // as the editor's open makes their textures from the records
                                   lnd::ExportLoResTextures(land)};
    for (const lnd::Result& r : results)
        if (!r) return inputError("exporting under " + root + ": " + r.message());
    std::printf("%s\n", land.exportDir().c_str());
    return kExitOk;
}

int runImportNoise(const Args& args) {
    const Verb& verb = verbNamed("import-noise");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.lnd");
    lnd::StreamMessages messages("lndtool");
    lnd::EditorSession session;
    lnd::CLand& land = session.land();
    if (int rc = openEditorLand(args.positional[0], session, nullptr, messages, lnd::OpenDepth::AsRead); rc != kExitOk)
        return rc;
    if (lnd::CommandResult r = session.importNoise(args.positional[1]); !r)
        return inputError(noiseFailureText(r.result, args.positional[1]));
    if (lnd::Result r = lnd::writeFileAtomic(args.get("o"), lnd::writePlain(land.parts())); !r) return inputError(r.message());
    return kExitOk;
}

int runNew(const Args& args) {
    const Verb& verb = verbNamed("new");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.lnd");
    lnd::SampleLandOptions options;
    long long value = 0;
    if (args.has("seed")) {
        if (!parseInt(args.get("seed"), value) || value < 0 || value > 0xFFFFFFFFll)
            return usageError(verb, "--seed must be a whole number from 0 to 4294967295");
        options.seed = std::uint32_t(value);
    }
    if (args.has("size")) {
        if (!parseInt(args.get("size"), value) || value < 1 || value > lnd::kMaxSampleLandSize)
            return usageError(verb, "--size must be 1 to " + std::to_string(lnd::kMaxSampleLandSize));
        options.size = int(value);
    }
    std::string error;
    const std::vector<std::uint8_t> land = lnd::makeSampleLand(options, &error);
    if (land.empty()) return inputError(error);
    if (lnd::Result r = lnd::writeFileAtomic(args.get("o"), land); !r) return inputError(r.message());
    return kExitOk;
}

const VerbRegistrar kSynth({"synth", "synth LAND --block N -o OUT.(bmp|png|dds) [--settings FILE]",
                            "write the synthesised texture of block N (1-based)",
                            {{"block", true}, {"o", true}, {"settings", true}}, 1, 1, runSynth});
const VerbRegistrar kExport({"export", "export LAND --root DIR [--settings FILE]",
                              "write the material, noise, bump and low-resolution pictures and countries.xml",
                              {{"root", true}, {"settings", true}}, 1, 1, runExport});
const VerbRegistrar kImportNoise({"import-noise", "import-noise LAND IMAGE -o OUT.lnd",
                                  "replace the noise map with a 256 x 256 BMP or TGA picture", {{"o", true}}, 2, 2,
                                  runImportNoise});
const VerbRegistrar kNew({"new", "new -o OUT.lnd [--seed N] [--size BLOCKS]",
                          "make a procedural sample island of BLOCKS x BLOCKS blocks (default 10)",
                          {{"o", true}, {"seed", true}, {"size", true}}, 0, 0, runNew});

}  // namespace

}  // namespace lndtool
