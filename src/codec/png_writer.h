// PNG files of the program's images: RGBA through stb_image_write; grey (8 or 16 bits) and
// opaque RGB through libpng, which writes 16-bit samples and compresses large pictures
// quickly.
#pragma once

#include "codec/grey_image.h"
#include "codec/image.h"

#include <cstdint>
#include <vector>

namespace lnd {

// An RGBA PNG of the image (alpha kept), the whole file in memory (write it with
// writeFileAtomic); empty when a side is not from 1 to kMaxImageSide.
std::vector<std::uint8_t> encodePng(const CImage32& image);

// An RGB PNG of the image, alpha dropped (for pictures that are opaque anyway); empty when
// a side is not from 1 to kMaxImageSide.
std::vector<std::uint8_t> encodePngRgb(const CImage32& image);
// The picture's pixels as red, green, blue bytes, row by row.
std::vector<std::uint8_t> rgbBytes(const CImage32& image);

// A grey PNG of 8 or 16 bits; empty when the image is empty or inconsistent.
std::vector<std::uint8_t> encodePngGrey(const GreyImage& image);

}  // namespace lnd
