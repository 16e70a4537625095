// DDS images of the two kinds the land uses: DXT3 blocks and 32-bit texels (bytes blue,
// green, red, alpha). Reading is safe on any bytes.
#pragma once

#include "base/result.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lnd {

enum class DdsKind { Dxt3, Bgra32 };

struct DdsImage {
    DdsKind kind = DdsKind::Dxt3;
    int width = 0;
    int height = 0;
    // Level 0 only: width x height bytes of DXT3 blocks, or width x height x 4 texel bytes.
    std::vector<std::uint8_t> data;
};

inline constexpr std::size_t kDdsHeaderSize = 124;                      // the header after the magic
inline constexpr std::uint8_t kDdsMagic[4] = {0x44, 0x44, 0x53, 0x20};  // "DDS "
inline constexpr std::size_t kDdsFileHeaderBytes = 4 + kDdsHeaderSize;  // magic + header
// The 32-bit image of a 256 x 256 block texture or export: header + 256 * 256 * 4 bytes.
inline constexpr std::size_t kDdsArgb256Bytes = kDdsFileHeaderBytes + 256 * 256 * 4;

// Bytes of level 0 for a kind and size; DXT3 sides round up to whole 4 x 4 blocks.
std::size_t ddsDataBytes(DdsKind kind, std::uint32_t width, std::uint32_t height);
// Bytes of one row of 4 x 4 blocks (DXT3) or of texels (32-bit).
std::size_t ddsRowPitch(DdsKind kind, std::uint32_t width);

// The 124-byte header (after the magic) describing one level of that kind and size.
void fillDdsHeader(std::uint8_t header[kDdsHeaderSize], DdsKind kind, int width, int height);

// Magic and header of one level of that kind and size into the first 128 bytes of `out`.
void writeDdsHeader(std::uint8_t* out, DdsKind kind, int width, int height);

// A whole DDS file: magic, header and data. Empty when the sides are not valid for the kind
// or the data has the wrong size.
std::vector<std::uint8_t> encodeDds(const DdsImage& image);

// Reads level 0 of a DDS file. Refuses anything but a 124-byte header describing DXT3 (sides
// multiples of 4) or 32-bit texels with the red, green, blue masks of the land's layout;
// sides from 1 to kMaxImageSide; the data must be all there (further levels are ignored).
// BadInput saying what is wrong otherwise, `image` left empty.
Result decodeDds(std::span<const std::uint8_t> bytes, DdsImage& image);

// Where level 0 lies in an in-memory DDS image, without copying it.
struct DdsLevel {
    DdsKind kind = DdsKind::Bgra32;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t dataOffset = kDdsFileHeaderBytes;
    std::size_t bytes = 0;
};

// The lenient reading the device layer uses for images the land carries: the header words
// of stored lands are kept as they were written, so only what decides the texels is checked
// (magic, sides from 1 to maxSide, pixel format, data present). DXT3 sides need not be
// multiples of 4. False for anything else.
bool locateDdsLevel(const std::uint8_t* data, std::size_t size, std::uint32_t maxSide, DdsLevel& out);

}  // namespace lnd
