// The typed readers of the settings: every conversion and default in one place, so each
// consumer asks here instead of converting the text itself.
#pragma once

#include "app/settings.h"
#include "land/land.h"

#include <array>
#include <optional>

namespace lnd {

// "debug": on only for the exact text "yes".
bool readDebugSetting(CSettings& settings);
// "lodTest": 1, 2 or 3 for exactly "1", "2" or "3"; otherwise 0 (no forcing).
int readLodTestSetting(CSettings& settings);
// "aspectRatio": the number, or 1.35 when empty or converting to 0.
double readAspectRatioSetting(CSettings& settings);
// "debugVideo": on only for the exact text "on".
bool readDebugVideoSetting(CSettings& settings);
// "cursorScale": the number, or 6.0 when empty.
double readCursorScaleSetting(CSettings& settings);

// The six sea parameters: each converted as an integer and cut to its lowest 8 bits, or its
// default when empty.
SeaParms readSeaParms(CSettings& settings);

// The ten navigation and brush keys, in the order the key handling keeps them.
enum class KeyAction { Backward, Forward, Left, Right, RotateRight, RotateLeft, Up, Down,
                       BrushAdd, BrushSub };
inline constexpr int kKeyActionCount = 10;
// The XPath each key is read from, indexed by KeyAction.
extern const std::array<const char*, kKeyActionCount> kKeyPaths;
// The first character of each key's text; no value (binding left unset) when empty.
std::array<std::optional<char>, kKeyActionCount> readKeyBindings(CSettings& settings);

}  // namespace lnd
