#include "app/settings_values.h"

namespace lnd {

namespace {

std::uint8_t seaParm(CSettings& settings, const char* xpath, std::uint8_t fallback) {
    const std::string text = settings.GetValue(xpath);
    if (text.empty()) return fallback;
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(textToInt(text)) & 0xFF);
}

}  // namespace

const std::array<const char*, kKeyActionCount> kKeyPaths = {
    "//settings/keys/backward",    "//settings/keys/forward",    "//settings/keys/left",
    "//settings/keys/right",       "//settings/keys/rotateRight", "//settings/keys/rotateLeft",
    "//settings/keys/up",          "//settings/keys/down",       "//settings/keys/brushadd",
    "//settings/keys/brushsub",
};

bool readDebugSetting(CSettings& settings) { return settings.GetValue("debug") == "yes"; }

int readLodTestSetting(CSettings& settings) {
    const std::string text = settings.GetValue("lodTest");
    if (text == "1") return 1;
    if (text == "2") return 2;
    if (text == "3") return 3;
    return 0;
}

double readAspectRatioSetting(CSettings& settings) {
    const double ratio = textToDouble(settings.GetValue("aspectRatio"));
    return ratio == 0.0 ? 1.35 : ratio;
}

bool readDebugVideoSetting(CSettings& settings) { return settings.GetValue("debugVideo") == "on"; }

double readCursorScaleSetting(CSettings& settings) {
    const std::string text = settings.GetValue("cursorScale");
    return text.empty() ? 6.0 : textToDouble(text);
}

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

std::array<std::optional<char>, kKeyActionCount> readKeyBindings(CSettings& settings) {
    std::array<std::optional<char>, kKeyActionCount> keys;
    for (int k = 0; k < kKeyActionCount; ++k) {
        const std::string text = settings.GetValue(kKeyPaths[std::size_t(k)]);
        if (!text.empty()) keys[std::size_t(k)] = text[0];
    }
    return keys;
}

}  // namespace lnd
