// The in-memory DDS images the land hands to the device layer: "DDS " magic, a 124-byte
// header, then the texels of level 0.
#pragma once

#include "d3dframework/texture.h"

#include <cstddef>
#include <cstdint>

namespace lnd {

inline constexpr std::size_t kDdsFileHeaderBytes = 128;   // magic + header

// The 32-bit image of a 256 x 256 block texture or export: header + 256 * 256 * 4 bytes.
inline constexpr std::size_t kDdsArgb256Bytes = kDdsFileHeaderBytes + 256 * 256 * 4;

struct DdsInfo {
    TextureFormat format = TextureFormat::A8R8G8B8;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t dataOffset = kDdsFileHeaderBytes;
    std::size_t level0Bytes = 0;
};

// Writes magic and header of a single-level 32-bit blue-green-red-alpha image (the words the
// block textures use) into the first 128 bytes of `out`.
void writeDdsHeaderArgb(std::uint8_t* out, std::uint32_t width, std::uint32_t height);
// Writes magic and header of a single-level DXT3 image.
void writeDdsHeaderDxt3(std::uint8_t* out, std::uint32_t width, std::uint32_t height);

// Reads magic and header and checks that level 0 fits in `size`. kDeviceInvalidData for
// anything else: a short buffer, a bad magic or header size, a zero or oversized dimension,
// a pixel format other than the two the layer holds.
DeviceResult parseDdsImage(const std::uint8_t* data, std::size_t size, DdsInfo& out);

// Bytes of one level of either format.
std::size_t textureLevelBytes(TextureFormat format, std::uint32_t width, std::uint32_t height);
std::size_t textureLevelPitch(TextureFormat format, std::uint32_t width);

}  // namespace lnd
