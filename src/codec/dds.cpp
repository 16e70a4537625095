#include "codec/dds.h"

#include "base/byte_order.h"
#include "codec/image.h"

#include <cstring>

namespace lnd {

namespace {

// Header fields, as offsets from the start of the header (after the magic).
constexpr std::size_t kSize = 0, kFlags = 4, kHeight = 8, kWidth = 12, kPitch = 16, kMipCount = 24;
constexpr std::size_t kPfSize = 72, kPfFlags = 76, kFourCc = 80, kBitCount = 84;
constexpr std::size_t kRedMask = 88, kGreenMask = 92, kBlueMask = 96, kAlphaMask = 100, kCaps = 104;

constexpr std::uint32_t kPfAlphaPixels = 0x1, kPfFourCc = 0x4, kPfRgb = 0x40;

bool sidesOk(DdsKind kind, int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
    return kind != DdsKind::Dxt3 || (width % 4 == 0 && height % 4 == 0);
}

Result fail(std::string message) { return Result::failure(Status::BadInput, std::move(message)); }

}  // namespace

std::size_t ddsRowPitch(DdsKind kind, std::uint32_t width) {
    if (kind == DdsKind::Dxt3) return std::size_t(width < 4 ? 1 : (width + 3) / 4) * 16;
    return std::size_t(width) * 4;
}

std::size_t ddsDataBytes(DdsKind kind, std::uint32_t width, std::uint32_t height) {
    if (kind == DdsKind::Dxt3) return ddsRowPitch(kind, width) * (height < 4 ? 1 : (height + 3) / 4);
    return std::size_t(width) * 4 * height;
}

void fillDdsHeader(std::uint8_t header[kDdsHeaderSize], DdsKind kind, int width, int height) {
    std::memset(header, 0, kDdsHeaderSize);
    storeU32(header + kSize, std::uint32_t(kDdsHeaderSize));
    storeU32(header + kHeight, std::uint32_t(height));
    storeU32(header + kWidth, std::uint32_t(width));
    storeU32(header + kPfSize, 32);
    if (kind == DdsKind::Dxt3) {
        // Caps, height, width, pixel format and linear size: the header the land records carry.
        storeU32(header + kFlags, 0x81007);
        storeU32(header + kPitch, std::uint32_t(ddsDataBytes(kind, width, height)));
        storeU32(header + kPfFlags, kPfFourCc);
        std::memcpy(header + kFourCc, "DXT3", 4);
        storeU32(header + kCaps, 0x1000);
    } else {
        // Caps, height, width, pixel format and mip count, one level, as the synthesis hands over.
        storeU32(header + kFlags, 0x21007);
        storeU32(header + kMipCount, 1);
        storeU32(header + kPfFlags, kPfRgb | kPfAlphaPixels);
        storeU32(header + kBitCount, 32);
        storeU32(header + kRedMask, 0x00FF0000);
        storeU32(header + kGreenMask, 0x0000FF00);
        storeU32(header + kBlueMask, 0x000000FF);
        storeU32(header + kAlphaMask, 0xFF000000);
        storeU32(header + kCaps, 0x401008);
    }
}

void writeDdsHeader(std::uint8_t* out, DdsKind kind, int width, int height) {
    std::memcpy(out, kDdsMagic, 4);
    fillDdsHeader(out + 4, kind, width, height);
}

std::vector<std::uint8_t> encodeDds(const DdsImage& image) {
    if (!sidesOk(image.kind, image.width, image.height)) return {};
    if (image.data.size() != ddsDataBytes(image.kind, image.width, image.height)) return {};
    std::vector<std::uint8_t> out(kDdsFileHeaderBytes + image.data.size());
    writeDdsHeader(out.data(), image.kind, image.width, image.height);
    std::memcpy(out.data() + kDdsFileHeaderBytes, image.data.data(), image.data.size());
    return out;
}

Result decodeDds(std::span<const std::uint8_t> bytes, DdsImage& image) {
    image = DdsImage{};
    if (bytes.size() < kDdsFileHeaderBytes) return fail("too short for a DDS header");
    if (std::memcmp(bytes.data(), kDdsMagic, 4) != 0) return fail("not a DDS file (wrong magic)");
    const std::uint8_t* h = bytes.data() + 4;
    if (loadU32(h + kSize) != kDdsHeaderSize || loadU32(h + kPfSize) != 32) return fail("unknown DDS header size");
    const std::uint32_t w = loadU32(h + kWidth);
    const std::uint32_t ht = loadU32(h + kHeight);
    const std::uint32_t pfFlags = loadU32(h + kPfFlags);
    DdsKind kind;
    if (pfFlags & kPfFourCc) {
        if (std::memcmp(h + kFourCc, "DXT3", 4) != 0) return fail("compressed DDS other than DXT3");
        kind = DdsKind::Dxt3;
    } else if ((pfFlags & kPfRgb) && loadU32(h + kBitCount) == 32 && loadU32(h + kRedMask) == 0x00FF0000 &&
               loadU32(h + kGreenMask) == 0x0000FF00 && loadU32(h + kBlueMask) == 0x000000FF) {
        kind = DdsKind::Bgra32;
    } else {
        return fail("DDS pixel format other than DXT3 or 32-bit BGRA");
    }
    if (w > std::uint32_t(kMaxImageSide) || ht > std::uint32_t(kMaxImageSide) || !sidesOk(kind, int(w), int(ht)))
        return fail("DDS sides " + std::to_string(w) + " x " + std::to_string(ht) + " not supported");
    const std::size_t need = ddsDataBytes(kind, int(w), int(ht));
    if (bytes.size() - kDdsFileHeaderBytes < need) return fail("DDS data truncated");
    image.kind = kind;
    image.width = int(w);
    image.height = int(ht);
    image.data.assign(bytes.begin() + kDdsFileHeaderBytes, bytes.begin() + std::ptrdiff_t(kDdsFileHeaderBytes + need));
    // Without an alpha channel the texels are opaque.
    if (kind == DdsKind::Bgra32 && !((pfFlags & kPfAlphaPixels) && loadU32(h + kAlphaMask) == 0xFF000000))
        for (std::size_t i = 3; i < image.data.size(); i += 4) image.data[i] = 255;
    return {};
}

bool locateDdsLevel(const std::uint8_t* data, std::size_t size, std::uint32_t maxSide, DdsLevel& out) {
    out = DdsLevel{};
    if (!data || size < kDdsFileHeaderBytes || std::memcmp(data, kDdsMagic, 4) != 0) return false;
    const std::uint8_t* h = data + 4;
    const std::uint32_t height = loadU32(h + kHeight);
    const std::uint32_t width = loadU32(h + kWidth);
    if (width == 0 || height == 0 || width > maxSide || height > maxSide) return false;
    const std::uint32_t pfFlags = loadU32(h + kPfFlags);
    DdsKind kind;
    if (pfFlags & kPfFourCc) {
        if (std::memcmp(h + kFourCc, "DXT3", 4) != 0) return false;
        kind = DdsKind::Dxt3;
    } else if ((pfFlags & kPfRgb) && loadU32(h + kBitCount) == 32 && loadU32(h + kRedMask) == 0x00FF0000 &&
               loadU32(h + kGreenMask) == 0x0000FF00 && loadU32(h + kBlueMask) == 0x000000FF &&
               loadU32(h + kAlphaMask) == 0xFF000000) {
        kind = DdsKind::Bgra32;
    } else {
        return false;
    }
    const std::size_t bytes = ddsDataBytes(kind, width, height);
    if (size - kDdsFileHeaderBytes < bytes) return false;
    out.kind = kind;
    out.width = width;
    out.height = height;
    out.dataOffset = kDdsFileHeaderBytes;
    out.bytes = bytes;
    return true;
}

}  // namespace lnd
