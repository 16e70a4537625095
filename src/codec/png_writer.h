// PNG files of the program's 32-bit images.
#pragma once

#include "codec/image.h"

#include <cstdint>
#include <vector>

namespace lnd {

// An RGBA PNG of the image (alpha kept), the whole file in memory (write it with
// writeFileAtomic); empty when a side is not from 1 to kMaxImageSide.
std::vector<std::uint8_t> encodePng(const CImage32& image);

}  // namespace lnd
