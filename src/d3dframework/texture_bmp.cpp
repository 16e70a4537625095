// Level 0 of a texture as a 24-bit BMP: the exports only need the colours, and every viewer
// reads this variant.
#include "d3dframework/texture.h"

#include "land/file_io.h"
#include "land/lnd_format.h"

#include <new>

namespace lnd {

DeviceResult saveTextureToBmp(const std::string& path, const DeviceTexture& texture) {
    std::vector<std::uint8_t> argb;
    const DeviceResult read = readLevel0Argb(texture, argb);
    if (deviceFailed(read)) return read;
    const std::uint32_t w = texture.width(), h = texture.height();
    const std::size_t rowBytes = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
    const std::size_t pixelBytes = rowBytes * h;
    constexpr std::size_t kHeaders = 14 + 40;
    std::vector<std::uint8_t> file;
    try {
        file.assign(kHeaders + pixelBytes, 0);
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    std::uint8_t* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    storeU32(p + 2, static_cast<std::uint32_t>(file.size()));
    storeU32(p + 10, kHeaders);
    storeU32(p + 14, 40);
    storeU32(p + 18, w);
    storeU32(p + 22, h);                 // positive: rows stored bottom first
    storeU16(p + 26, 1);
    storeU16(p + 28, 24);
    storeU32(p + 34, static_cast<std::uint32_t>(pixelBytes));
    storeU32(p + 38, 2835);              // 72 dots per inch
    storeU32(p + 42, 2835);
    for (std::uint32_t y = 0; y < h; ++y) {
        std::uint8_t* row = p + kHeaders + std::size_t(h - 1 - y) * rowBytes;
        const std::uint8_t* in = argb.data() + std::size_t(y) * w * 4;
        for (std::uint32_t x = 0; x < w; ++x, in += 4, row += 3) {
            row[0] = in[3];   // blue
            row[1] = in[2];   // green
            row[2] = in[1];   // red
        }
    }
    return writeFileAtomic(path, file) ? kDeviceOk : kDeviceWriteFailed;
}

}  // namespace lnd
