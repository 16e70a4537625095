#include "land/land_settings.h"

namespace lnd {

namespace {

std::uint8_t seaParm(CSettings& settings, const char* xpath, std::uint8_t fallback) {
    const std::string text = settings.GetValue(xpath);
    if (text.empty()) return fallback;
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(textToInt(text)) & 0xFF);
}

}  // namespace

bool readDebugSetting(CSettings& settings) { return settings.GetValue("debug") == "yes"; }

bool readDebugVideoSetting(CSettings& settings) { return settings.GetValue("debugVideo") == "on"; }

SeaParms readSeaParms(CSettings& settings) {
    const SeaParms defaults;
    SeaParms p;
    // Read in the order the land loading has always used.
    p.alphaCoast = seaParm(settings, "//settings/renderEngine/seaParms/@alphaCoast", defaults.alphaCoast);
    p.alphaWater = seaParm(settings, "//settings/renderEngine/seaParms/@alphaWater", defaults.alphaWater);
    p.alphaFullWater =
        seaParm(settings, "//settings/renderEngine/seaParms/@alphaFullWater", defaults.alphaFullWater);
    p.altitudeWater =
        seaParm(settings, "//settings/renderEngine/seaParms/@altitudeWater", defaults.altitudeWater);
    p.altitudeFullWater = seaParm(settings, "//settings/renderEngine/seaParms/@altitudeFullWater",
                                  defaults.altitudeFullWater);
    p.altitudeCoast =
        seaParm(settings, "//settings/renderEngine/seaParms/@altitudeCoast", defaults.altitudeCoast);
    return p;
}

ExportSettings readExportSettings(CSettings& settings) {
    ExportSettings e;
    e.materials = settings.GetValue("exportMaterials");
    e.noiseMap = settings.GetValue("exportNoisemap");
    e.bumpMap = settings.GetValue("exportBumpmap");
    e.loRes = settings.GetValue("exportLores");
    return e;
}

LandSettings landSettingsFrom(CSettings& settings) {
    LandSettings s;
    s.sea = readSeaParms(settings);
    s.debug = readDebugSetting(settings);
    s.debugVideo = readDebugVideoSetting(settings);
    s.exportRoot = settings.GetValue("exportRoot");
    s.exports = readExportSettings(settings);
    return s;
}

}  // namespace lnd
