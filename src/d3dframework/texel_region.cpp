#include "d3dframework/texel_region.h"

#include "codec/dxt3.h"
#include "codec/pixel_swizzle.h"

#include <algorithm>
#include <cstring>

namespace lnd {

bool rectInside(const Rect& r, std::uint32_t width, std::uint32_t height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           std::int64_t(r.right) <= std::int64_t(width) && std::int64_t(r.bottom) <= std::int64_t(height);
}

std::vector<std::uint8_t> readRegionArgb(const DeviceTexture& texture, std::uint32_t level, const Rect& r) {
    const std::size_t w = std::size_t(r.width());
    std::vector<std::uint8_t> out(w * std::size_t(r.height()) * 4);
    const std::uint8_t* base = texture.levelBytes(level);
    const std::size_t pitch = texture.levelPitch(level);
    if (texture.format() == TextureFormat::A8R8G8B8) {
        // Surface bytes run blue, green, red, alpha: the reverse of ours.
        for (int y = r.top; y < r.bottom; ++y) {
            const std::uint8_t* row = base + std::size_t(y) * pitch;
            reversePixelBytes(row + std::size_t(r.left) * 4, &out[std::size_t(y - r.top) * w * 4], w);
        }
        return out;
    }
    std::uint8_t pixels[64];
    for (int by = r.top / 4; by * 4 < r.bottom; ++by) {
        for (int bx = r.left / 4; bx * 4 < r.right; ++bx) {
            decodeDxt3Block(base + std::size_t(by) * pitch + std::size_t(bx) * 16, pixels);
            for (int py = 0; py < 4; ++py) {
                const int y = by * 4 + py;
                if (y < r.top || y >= r.bottom) continue;
                for (int px = 0; px < 4; ++px) {
                    const int x = bx * 4 + px;
                    if (x < r.left || x >= r.right) continue;
                    std::memcpy(&out[(std::size_t(y - r.top) * w + std::size_t(x - r.left)) * 4], pixels + (py * 4 + px) * 4, 4);
                }
            }
        }
    }
    return out;
}

void writeRegionArgb(DeviceTexture& texture, std::uint32_t level, const Rect& r, const std::uint8_t* argb) {
    const std::size_t w = std::size_t(r.width());
    std::uint8_t* base = texture.mutableLevelBytes(level);
    const std::size_t pitch = texture.levelPitch(level);
    if (texture.format() == TextureFormat::A8R8G8B8) {
        for (int y = r.top; y < r.bottom; ++y) {
            std::uint8_t* row = base + std::size_t(y) * pitch;
            reversePixelBytes(argb + std::size_t(y - r.top) * w * 4, row + std::size_t(r.left) * 4, w);
        }
        return;
    }
    const int levelW = int(texture.levelWidth(level)), levelH = int(texture.levelHeight(level));
    std::uint8_t pixels[64];
    for (int by = r.top / 4; by * 4 < r.bottom; ++by) {
        for (int bx = r.left / 4; bx * 4 < r.right; ++bx) {
            std::uint8_t* block = base + std::size_t(by) * pitch + std::size_t(bx) * 16;
            const bool covered = bx * 4 >= r.left && by * 4 >= r.top && bx * 4 + 4 <= r.right && by * 4 + 4 <= r.bottom;
            if (!covered) decodeDxt3Block(block, pixels);
            for (int py = 0; py < 4; ++py) {
                const int y = by * 4 + py;
                for (int px = 0; px < 4; ++px) {
                    const int x = bx * 4 + px;
                    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                        std::memcpy(pixels + (py * 4 + px) * 4, argb + (std::size_t(y - r.top) * w + std::size_t(x - r.left)) * 4, 4);
                }
            }
            // Texels past the edge of a level smaller than a block repeat the edge, so they
            // do not pull the block's colours towards whatever they held.
            for (int py = 0; py < 4; ++py) {
                for (int px = 0; px < 4; ++px) {
                    const int x = bx * 4 + px, y = by * 4 + py;
                    if (x < levelW && y < levelH) continue;
                    const int cx = std::min(x, levelW - 1) - bx * 4, cy = std::min(y, levelH - 1) - by * 4;
                    std::memcpy(pixels + (py * 4 + px) * 4, pixels + (cy * 4 + cx) * 4, 4);
                }
            }
            encodeDxt3Block(pixels, block);
        }
    }
}

}  // namespace lnd
