#include "view/view_settings.h"

#include <cmath>

namespace lnd {

const std::array<const char*, kKeyActionCount> kKeyPaths = {
    "//settings/keys/backward",    "//settings/keys/forward",    "//settings/keys/left",
    "//settings/keys/right",       "//settings/keys/rotateRight", "//settings/keys/rotateLeft",
    "//settings/keys/up",          "//settings/keys/down",       "//settings/keys/brushadd",
    "//settings/keys/brushsub",    "//settings/keys/brushsmooth",
};

int readLodTestSetting(CSettings& settings) {
    const std::string text = settings.GetValue("lodTest");
    if (text == "1") return 1;
    if (text == "2") return 2;
    if (text == "3") return 3;
    return 0;
}

// "nan" and "inf" parse as numbers but would poison the projection or the cursor matrix:
// they count as missing.
double readAspectRatioSetting(CSettings& settings) {
    const double ratio = textToDouble(settings.GetValue("aspectRatio"));
    return ratio == 0.0 || !std::isfinite(ratio) ? 1.35 : ratio;
}

double readCursorScaleSetting(CSettings& settings) {
    const std::string text = settings.GetValue("cursorScale");
    const double scale = text.empty() ? 6.0 : textToDouble(text);
    return std::isfinite(scale) ? scale : 6.0;
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
