// Internal to the device layer: texels of a level rectangle as 32-bit pixels in the order
// alpha, red, green, blue (the DXT3 codec's order), whatever the texture's format.
#pragma once

#include "d3dframework/texture.h"

#include <cstdint>
#include <vector>

namespace lnd {

// Non-empty and within a width x height level.
bool rectInside(const Rect& r, std::uint32_t width, std::uint32_t height);

// The rectangle's pixels, rows top first, tightly packed. The rectangle must be inside the
// level. May throw std::bad_alloc.
std::vector<std::uint8_t> readRegionArgb(const DeviceTexture& texture, std::uint32_t level, const Rect& r);

// Stores pixels (as read by readRegionArgb) into the rectangle. A DXT3 level has every block
// the rectangle touches re-encoded and no other; texels of those blocks outside the rectangle
// are decoded and encoded again. Does not touch the change bookkeeping.
void writeRegionArgb(DeviceTexture& texture, std::uint32_t level, const Rect& r, const std::uint8_t* argb);

}  // namespace lnd
