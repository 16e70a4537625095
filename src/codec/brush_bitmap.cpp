#include "codec/brush_bitmap.h"

#include "codec/image.h"
#include "codec/image_readers.h"

#include <cstring>
#include <memory>

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

BrushBitmap loadBrushBitmap(const std::string& path) {
    std::unique_ptr<CImageBase> image;
    if (ReadImageFile(path, image) != kImageOk || !image) return {};
    const auto scaled = [](const CImage32& argb) {
        return scaleToBrushBitmap(argb.width(), argb.height(),
                                  {argb.pixels(), argb.pitch() * std::size_t(argb.height())});
    };
    if (image->kind() == CImage32::kKind) return scaled(static_cast<const CImage32&>(*image));
    return scaled(toImage32(static_cast<const CImage8&>(*image)));
}

}  // namespace lnd
