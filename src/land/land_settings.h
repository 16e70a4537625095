// The land's own settings, read with their defaults: the sea parameters and the debug
// switches. Every conversion and default lives here, so callers never convert text.
#pragma once

#include "base/settings.h"
#include "land/land.h"

namespace lnd {

// "debug": on only for the exact text "yes".
bool readDebugSetting(CSettings& settings);
// "debugVideo": on only for the exact text "on".
bool readDebugVideoSetting(CSettings& settings);

// The six sea parameters: each converted as an integer and cut to its lowest 8 bits, or its
// default when empty.
SeaParms readSeaParms(CSettings& settings);

// Everything a load takes from the settings: the sea parameters, "debug", "debugVideo" and
// "exportRoot".
LandSettings landSettingsFrom(CSettings& settings);

}  // namespace lnd
