// DDS images of the two kinds the land uses: DXT3 blocks and 32-bit texels (bytes blue,
// green, red, alpha). Reading is safe on any bytes.
#pragma once

#include "land/lnd_format.h"

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

inline constexpr std::size_t kDdsFileHeaderBytes = 4 + kDdsHeaderSize;  // magic + header

// Bytes of level 0 for a kind and size.
std::size_t ddsDataBytes(DdsKind kind, int width, int height);

// The 124-byte header (after the magic) describing one level of that kind and size.
void fillDdsHeader(std::uint8_t header[kDdsHeaderSize], DdsKind kind, int width, int height);

// A whole DDS file: magic, header and data. Empty when the sides are not valid for the kind
// or the data has the wrong size.
std::vector<std::uint8_t> encodeDds(const DdsImage& image);

struct DdsResult {
    bool ok = true;
    std::string message;  // what is wrong, when not ok
    explicit operator bool() const { return ok; }
};

// Reads level 0 of a DDS file. Refuses anything but a 124-byte header describing DXT3 (sides
// multiples of 4) or 32-bit texels with the red, green, blue masks of the land's layout;
// sides from 1 to kMaxImageSide; the data must be all there (further levels are ignored).
DdsResult decodeDds(std::span<const std::uint8_t> bytes, DdsImage& image);

// The DDS file held by a low-resolution texture record, with its magic put back in place
// of DdsSize.
std::vector<std::uint8_t> loResRecordDds(const TLndLoResTex& record);

}  // namespace lnd
