// Level 0 of a texture as a 24-bit BMP: the exports only need the colours, and every viewer
// reads this variant.
#include "d3dframework/texture.h"

#include "base/file_io.h"
#include "codec/bmp_writer.h"

#include <new>

namespace lnd {

DeviceResult saveTextureToBmp(const std::string& path, const DeviceTexture& texture) {
    std::vector<std::uint8_t> argb;
    const DeviceResult read = readLevel0Argb(texture, argb);
    if (deviceFailed(read)) return read;
    std::vector<std::uint8_t> file;
    try {
        file = encodeBmp(argb.data(), int(texture.width()), int(texture.height()), std::size_t(texture.width()) * 4,
                         PixelOrder::Argb, 24);
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    if (file.empty()) return kDeviceInvalidCall;
    return writeFileAtomic(path, file) ? kDeviceOk : kDeviceWriteFailed;
}

}  // namespace lnd
