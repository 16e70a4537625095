#include "app/brush_bitmap.h"

#include <cstring>

namespace lnd {

BrushBitmap scaleToBrushBitmap(int width, int height, std::span<const std::uint8_t> pixels) {
    BrushBitmap out;
    if (width <= 0 || height <= 0) return out;
    if (pixels.size() / 4 / std::size_t(width) < std::size_t(height)) return out;
    constexpr int kSide = BrushBitmap::kSide;
    out.pixels.resize(std::size_t(kSide) * kSide * 4);
    for (int y = 0; y < kSide; ++y) {
        // Sample the source pixel under each target pixel's centre.
        const std::size_t sy = (std::size_t(2 * y + 1) * std::size_t(height)) / (2 * kSide);
        for (int x = 0; x < kSide; ++x) {
            const std::size_t sx = (std::size_t(2 * x + 1) * std::size_t(width)) / (2 * kSide);
            std::memcpy(&out.pixels[(std::size_t(y) * kSide + x) * 4],
                        &pixels[(sy * std::size_t(width) + sx) * 4], 4);
        }
    }
    return out;
}

}  // namespace lnd

namespace lnd {
BrushBitmap loadBrushBitmap(const std::string&) { return {}; }  // TEMP until the image readers land
}
