// Pictures that keep their palette: 8-bit paletted PNG files written through libpng, and PNG,
// BMP or TGA files read into the program's image kinds with the palette indices kept (a
// paletted file gives a CImage8, anything else a CImage32).
//
// Safe on any bytes: the sides are taken from the file's header and offered to the caller
// before any pixel memory is allocated; truncated or corrupt files fail with a reason.
#pragma once

#include "base/result.h"
#include "codec/image.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace lnd {

// An 8-bit paletted PNG of the image: PLTE from the palette's red, green and blue, and a tRNS
// chunk with every entry's alpha when any entry is not opaque. Empty when a side is not from
// 1 to kMaxImageSide, the palette is empty or larger than 256 entries, or an index lies
// beyond the palette.
std::vector<std::uint8_t> encodePngPaletted(const CImage8& image);

// An opaque RGB PNG (alpha dropped) written for speed over size: the fastest compression
// level, for large pictures made on every export (a texture atlas of 4096 x 4096 pixels).
// Empty when a side is not from 1 to kMaxImageSide.
std::vector<std::uint8_t> encodePngRgbQuick(const CImage32& image);

// Called with the sides a header announces, before anything is allocated for the pixels;
// a failure stops the read with that result.
using PictureSidesCheck = std::function<Result(int width, int height)>;

// Decodes a PNG file held in memory. Paletted files of any bit depth give a CImage8 whose
// palette carries the PLTE colours and tRNS alphas (255 where tRNS says nothing); grey and
// true-colour files of any depth give a CImage32 (16-bit samples reduced to 8, missing alpha
// opaque). Sides of 0 or above kMaxImageSide are refused before `check` is asked.
Result decodePngPicture(std::span<const std::uint8_t> bytes, std::unique_ptr<CImageBase>& out,
                        const PictureSidesCheck& check = {});

// Reads a PNG, BMP or TGA file, chosen by the extension (case ignored). BMP and TGA go
// through ReadImageFile (8-bit paletted files give a CImage8). The sides are read from the
// header and checked (0, above kMaxImageSide, then `check`) before the file is decoded.
Result readPictureFile(const std::string& path, std::unique_ptr<CImageBase>& out,
                       const PictureSidesCheck& check = {});

}  // namespace lnd
