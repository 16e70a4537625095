// The view's settings, read with their defaults: navigation and brush keys, the forced
// level of detail, the aspect ratio and the cursor model's scale.
#pragma once

#include "base/settings.h"

#include <array>
#include <optional>

namespace lnd {

// "lodTest": 1, 2 or 3 for exactly "1", "2" or "3"; otherwise 0 (no forcing).
int readLodTestSetting(CSettings& settings);
// "aspectRatio": the number, or 1.35 when empty or converting to 0.
double readAspectRatioSetting(CSettings& settings);
// "cursorScale": the number, or 6.0 when empty.
double readCursorScaleSetting(CSettings& settings);

// The navigation and brush keys, in the order the key handling keeps them.
enum class KeyAction { Backward, Forward, Left, Right, RotateRight, RotateLeft, Up, Down,
                       BrushAdd, BrushSub, BrushSmooth };
inline constexpr int kKeyActionCount = 11;
// The XPath each key is read from, indexed by KeyAction.
extern const std::array<const char*, kKeyActionCount> kKeyPaths;
// The first character of each key's text; no value (binding left unset) when empty.
std::array<std::optional<char>, kKeyActionCount> readKeyBindings(CSettings& settings);

}  // namespace lnd
