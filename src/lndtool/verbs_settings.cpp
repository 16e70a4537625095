// lndtool verb that shows what the editor would read from a settings file.
#include "lndtool/cli.h"

#include "base/data_paths.h"
#include "base/messages.h"
#include "base/settings.h"
#include "codec/brush_bitmap.h"
#include "land/land_settings.h"
#include "view/view_settings.h"

#include <cstdio>

namespace lndtool {

namespace {

const char* kKeyNames[lnd::kKeyActionCount] = {"backward", "forward", "left",     "right",
                                               "rotateRight", "rotateLeft", "up", "down",
                                               "brushadd", "brushsub", "brushsmooth"};

int runSettings(const Args& args) {
    // Without a file named, the one the editor would read, found as the editor finds it.
    const lnd::DataPlaces places = lnd::DataPlaces::ofProcess();
    std::string path = args.positional.empty() ? std::string() : args.positional[0];
    if (path.empty()) {
        const lnd::SettingsChoice found = lnd::findSettingsFile(places, lnd::kSettingsFileName);
        for (const std::string& note : found.notes) std::fprintf(stderr, "lndtool: %s\n", note.c_str());
        path = found.path;
    }
    lnd::StreamMessages messages("lndtool");
    lnd::CSettings settings(messages, path, [&places](const std::string& picture) {
        const std::string located = lnd::findDataFile(places, picture);
        return lnd::loadBrushBitmap(located.empty() ? picture : located);
    });
    if (!settings.fileLoaded()) return kExitBadInput;

    if (args.has("get")) {
        std::printf("%s\n", settings.GetValue(args.get("get")).c_str());
        return kExitOk;
    }

    std::printf("Settings: %s\n", settings.path().c_str());
    std::printf("debug: %s\n", lnd::readDebugSetting(settings) ? "on" : "off");
    std::printf("lodTest: %d\n", lnd::readLodTestSetting(settings));
    std::printf("aspectRatio: %g\n", lnd::readAspectRatioSetting(settings));
    std::printf("debugVideo: %s\n", lnd::readDebugVideoSetting(settings) ? "on" : "off");
    std::printf("cursorModel: %s (scale %g)\n", settings.GetValue("cursorModel").c_str(),
                lnd::readCursorScaleSetting(settings));
    const lnd::SeaParms sea = lnd::readSeaParms(settings);
    std::printf("seaParms: alphaCoast %d, alphaWater %d, alphaFullWater %d, altitudeWater %d, "
                "altitudeFullWater %d, altitudeCoast %d\n",
                sea.alphaCoast, sea.alphaWater, sea.alphaFullWater, sea.altitudeWater,
                sea.altitudeFullWater, sea.altitudeCoast);
    std::printf("exports: root \"%s\", lores \"%s\", materials \"%s\", bump \"%s\", noise \"%s\"\n",
                settings.GetValue("exportRoot").c_str(), settings.GetValue("exportLores").c_str(),
                settings.GetValue("exportMaterials").c_str(),
                settings.GetValue("exportBumpmap").c_str(),
                settings.GetValue("exportNoisemap").c_str());
    std::printf("mediaDir: %s\n", settings.GetValue("mediaDir").c_str());
    const auto keys = lnd::readKeyBindings(settings);
    std::printf("keys:");
    for (int k = 0; k < lnd::kKeyActionCount; ++k) {
        if (keys[std::size_t(k)]) std::printf(" %s=%c", kKeyNames[k], *keys[std::size_t(k)]);
        else std::printf(" %s=(unset)", kKeyNames[k]);
    }
    std::printf("\n");
    std::printf("brushes: %zu\n", settings.brushes().size());
    for (const lnd::CBrushDef& b : settings.brushes()) {
        std::printf("  %s [%s]%s:", b.name.c_str(), b.bmp.c_str(),
                    b.bitmap.empty() ? " (no picture)" : "");
        for (float v : b.params) std::printf(" %g", v);
        std::printf("\n");
    }
    return kExitOk;
}

const VerbRegistrar kSettings({"settings", "settings [SETTINGS.xml] [--get NAME]",
                               "show the values the editor reads from a settings file (default: the "
                               "one the editor finds), or one raw value",
                               {{"get", true}}, 0, 1, runSettings});

}  // namespace

}  // namespace lndtool
