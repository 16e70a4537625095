#include "d3dframework/dds_image.h"

#include "land/lnd_format.h"

#include <cstring>

namespace lnd {

namespace {

constexpr std::uint32_t kPixelFormatFourCc = 0x4;
constexpr std::uint32_t kPixelFormatRgb = 0x40;
constexpr std::uint32_t kPixelFormatAlpha = 0x1;

void writeCommonHeader(std::uint8_t* out, std::uint32_t width, std::uint32_t height) {
    std::memset(out, 0, kDdsFileHeaderBytes);
    std::memcpy(out, kDdsMagic, 4);
    storeU32(out + 4, 124);
    storeU32(out + 12, height);
    storeU32(out + 16, width);
    storeU32(out + 28, 1);
    storeU32(out + 76, 32);
}

}  // namespace

std::size_t textureLevelPitch(TextureFormat format, std::uint32_t width) {
    if (format == TextureFormat::Dxt3) return std::size_t(width < 4 ? 1 : (width + 3) / 4) * 16;
    return std::size_t(width) * 4;
}

std::size_t textureLevelBytes(TextureFormat format, std::uint32_t width, std::uint32_t height) {
    if (format == TextureFormat::Dxt3) return textureLevelPitch(format, width) * (height < 4 ? 1 : (height + 3) / 4);
    return std::size_t(width) * 4 * height;
}

void writeDdsHeaderArgb(std::uint8_t* out, std::uint32_t width, std::uint32_t height) {
    writeCommonHeader(out, width, height);
    storeU32(out + 8, 0x21007);                 // caps, height, width, pixel format, mip count
    storeU32(out + 80, kPixelFormatRgb | kPixelFormatAlpha);
    storeU32(out + 88, 32);
    storeU32(out + 92, 0x00FF0000);
    storeU32(out + 96, 0x0000FF00);
    storeU32(out + 100, 0x000000FF);
    storeU32(out + 104, 0xFF000000);
    storeU32(out + 108, 0x401008);              // complex, texture, mipmap
}

void writeDdsHeaderDxt3(std::uint8_t* out, std::uint32_t width, std::uint32_t height) {
    writeCommonHeader(out, width, height);
    storeU32(out + 8, 0x81007);                 // caps, height, width, pixel format, linear size
    storeU32(out + 20, static_cast<std::uint32_t>(textureLevelBytes(TextureFormat::Dxt3, width, height)));
    storeU32(out + 80, kPixelFormatFourCc);
    std::memcpy(out + 84, "DXT3", 4);
    storeU32(out + 108, 0x1000);
}

DeviceResult parseDdsImage(const std::uint8_t* data, std::size_t size, DdsInfo& out) {
    out = DdsInfo{};
    if (!data || size < kDdsFileHeaderBytes || std::memcmp(data, kDdsMagic, 4) != 0) return kDeviceInvalidData;
    // The header words of stored lands are carried as they were written, so only what
    // decides the texels is checked: dimensions and pixel format.
    const std::uint32_t height = loadU32(data + 12);
    const std::uint32_t width = loadU32(data + 16);
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize) return kDeviceInvalidData;
    const std::uint32_t pfFlags = loadU32(data + 80);
    TextureFormat format;
    if (pfFlags & kPixelFormatFourCc) {
        if (std::memcmp(data + 84, "DXT3", 4) != 0) return kDeviceInvalidData;
        format = TextureFormat::Dxt3;
    } else if ((pfFlags & kPixelFormatRgb) && loadU32(data + 88) == 32 && loadU32(data + 92) == 0x00FF0000 &&
               loadU32(data + 96) == 0x0000FF00 && loadU32(data + 100) == 0x000000FF &&
               loadU32(data + 104) == 0xFF000000) {
        format = TextureFormat::A8R8G8B8;
    } else {
        return kDeviceInvalidData;
    }
    const std::size_t bytes = textureLevelBytes(format, width, height);
    if (size - kDdsFileHeaderBytes < bytes) return kDeviceInvalidData;
    out.format = format;
    out.width = width;
    out.height = height;
    out.dataOffset = kDdsFileHeaderBytes;
    out.level0Bytes = bytes;
    return kDeviceOk;
}

}  // namespace lnd
