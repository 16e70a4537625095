// The land's own settings, read with their defaults: the sea parameters and the debug
// switches. Every conversion and default lives here, so callers never convert text.
#pragma once

#include "base/settings.h"

#include <cstdint>
#include <string>

namespace lnd {

// Sea thresholds and water alphas, read from the settings at every load.
struct SeaParms {
    std::uint8_t alphaCoast = 128;
    std::uint8_t alphaWater = 15;
    std::uint8_t alphaFullWater = 0;
    std::uint8_t altitudeWater = 0;
    std::uint8_t altitudeCoast = 3;
    std::uint8_t altitudeFullWater = 1;   // carried for the settings file; nothing uses it
};

// The folders under the export root the exports write to; an empty one is not exported.
struct ExportSettings {
    std::string materials;   // "exportMaterials": the material pictures and countries.xml
    std::string noiseMap;    // "exportNoisemap"
    std::string bumpMap;     // "exportBumpmap"
    std::string loRes;       // "exportLores": the low-resolution textures
};

// What a load takes from the settings (landSettingsFrom fills it).
struct LandSettings {
    SeaParms sea;
    bool debug = false;        // the status lines show the frame statistics
    bool debugVideo = false;   // a save shows each low-resolution surface's description
    std::string exportRoot;    // where the exports go; empty: no exports
    ExportSettings exports;
};

// "debug": on only for the exact text "yes".
bool readDebugSetting(CSettings& settings);
// "debugVideo": on only for the exact text "on".
bool readDebugVideoSetting(CSettings& settings);

// The six sea parameters: each converted as an integer and cut to its lowest 8 bits, or its
// default when empty.
SeaParms readSeaParms(CSettings& settings);

// The four export folders.
ExportSettings readExportSettings(CSettings& settings);

// Everything a load takes from the settings: the sea parameters, "debug", "debugVideo",
// "exportRoot" and the export folders.
LandSettings landSettingsFrom(CSettings& settings);

}  // namespace lnd
