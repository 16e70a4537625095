// Small writers of BMP files: uncompressed bottom-up, 24-bit, 32-bit or 8-bit grey.
// Each returns the whole file in memory (write it with writeFileAtomic), or an empty vector
// when a side is not from 1 to kMaxImageSide or the pitch is too small.
#pragma once

#include "codec/image.h"

#include <cstdint>
#include <vector>

namespace lnd {

// Byte order of the four bytes of a source pixel.
enum class PixelOrder { Argb, Bgra };

// bitsPerPixel 24 drops alpha; 32 keeps it in the fourth byte of each pixel.
std::vector<std::uint8_t> encodeBmp(const std::uint8_t* pixels, int width, int height, std::size_t pitch,
                                    PixelOrder order, int bitsPerPixel);
std::vector<std::uint8_t> encodeBmp(const CImage32& image, int bitsPerPixel = 24);

// One byte per pixel with a 256-entry grey palette.
std::vector<std::uint8_t> encodeGreyBmp(const std::uint8_t* grey, int width, int height, std::size_t pitch);

}  // namespace lnd
