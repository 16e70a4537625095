// The one conversion between the two byte orders of 32-bit pixels in the toolkit: device
// surfaces and DDS texels run blue, green, red, alpha; the program's images run alpha, red,
// green, blue. Each is the other reversed, so one function goes both ways.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lnd {

// Reverses the four bytes of each of `count` pixels from `src` into `dst` (they may be the
// same buffer).
inline void reversePixelBytes(const std::uint8_t* src, std::uint8_t* dst, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const std::uint8_t b0 = src[0], b1 = src[1], b2 = src[2], b3 = src[3];
        dst[0] = b3;
        dst[1] = b2;
        dst[2] = b1;
        dst[3] = b0;
    }
}

}  // namespace lnd
