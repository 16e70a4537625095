// Brush pictures for the brush list: any image our readers understand, scaled to 64 x 64.
#pragma once

#include "base/settings.h"

#include <cstdint>
#include <span>
#include <string>

namespace lnd {

// Reads the image file at `path` and scales it to the brush picture size. Any failure
// (missing file, unknown or broken format) gives an empty bitmap and no message.
BrushBitmap loadBrushBitmap(const std::string& path);

// Point-samples a width x height image of 4-byte pixels (alpha, red, green, blue; rows top
// first) to 64 x 64. Empty when the sizes are not positive or the pixels are too few.
BrushBitmap scaleToBrushBitmap(int width, int height, std::span<const std::uint8_t> pixels);

}  // namespace lnd
