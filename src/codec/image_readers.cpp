#include "codec/image_readers.h"

#include "format/lnd_format.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

namespace lnd {

namespace {

constexpr std::size_t kBmpFileHeader = 14;
constexpr std::size_t kBmpInfoHeader = 40;
constexpr int kPaletteEntries = 256;

// Bytes from the current position to the end of the stream, or -1 when it cannot be told.
long long bytesLeft(std::FILE* file) {
    const long start = std::ftell(file);
    if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, start, SEEK_SET) != 0 || end < start) return -1;
    return end - start;
}

// Reads exactly `count` bytes at absolute offset `offset` from `base` (the start of the image
// file); false on a short read. `fileSize` (-1 if unknown) stops absurd reads before any
// allocation is made for them.
bool readAt(std::FILE* file, long long base, long long fileSize, std::uint64_t offset, std::uint64_t count,
            std::vector<std::uint8_t>& out) {
    if (fileSize >= 0 && (offset > std::uint64_t(fileSize) || count > std::uint64_t(fileSize) - offset))
        return false;
    if (std::fseek(file, long(base + (long long)offset), SEEK_SET) != 0) return false;
    out.resize(std::size_t(count));
    return count == 0 || std::fread(out.data(), 1, out.size(), file) == out.size();
}

bool sideOk(long long side) { return side > 0 && side <= kMaxImageSide; }

void padPalette(std::vector<std::uint32_t>& palette) {
    if (palette.size() < kPaletteEntries) palette.resize(kPaletteEntries, packArgb(255, 0, 0, 0));
}

}  // namespace

int ReadBmp(std::FILE* file, std::unique_ptr<CImageBase>& image) {
    image.reset();
    const long long base = std::ftell(file);
    const long long size = bytesLeft(file);
    std::uint8_t head[kBmpFileHeader + kBmpInfoHeader];
    if (std::fread(head, 1, 2, file) != 2 || head[0] != 0x42 || head[1] != 0x4D) return kImageCorrupt;
    if (std::fread(head + 2, 1, sizeof head - 2, file) != sizeof head - 2) return kImageCorrupt;
    const std::uint8_t* info = head + kBmpFileHeader;
    const std::uint32_t dataOffset = loadU32(head + 10);
    const std::uint32_t infoSize = loadU32(info);
    const std::int32_t width = std::int32_t(loadU32(info + 4));
    const std::int32_t height = std::int32_t(loadU32(info + 8));
    const std::uint16_t bitCount = loadU16(info + 14);
    const std::uint32_t compression = loadU32(info + 16);
    const std::uint32_t coloursUsed = loadU32(info + 32);

    // Other header versions move the fields; a negative height is a top-down file.
    if (infoSize != kBmpInfoHeader || compression != 0) return kImageUnsupported;
    if (bitCount != 8 && bitCount != 24) return kImageUnsupported;
    if (!sideOk(width) || !sideOk(height)) return kImageUnsupported;

    // Rows are padded to 4 bytes; the header's image size is not trusted for the amount read.
    const std::uint64_t rowBytes = (std::uint64_t(width) * (bitCount / 8) + 3) & ~std::uint64_t(3);
    const std::uint64_t pixelBytes = rowBytes * std::uint64_t(height);
    std::vector<std::uint8_t> data;

    if (bitCount == 8) {
        const std::uint32_t entries = coloursUsed == 0 ? kPaletteEntries : coloursUsed;
        if (entries > kPaletteEntries) return kImageUnsupported;
        if (!readAt(file, base, size, sizeof head, std::uint64_t(entries) * 4, data)) return kImageCorrupt;
        auto out = std::make_unique<CImage8>();
        auto& palette = out->palette();
        palette.reserve(kPaletteEntries);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = data.data() + 4 * i;
            palette.push_back(packArgb(255, e[2], e[1], e[0]));
        }
        // Pixels may use any index; unused entries read as opaque black.
        padPalette(palette);
        if (!readAt(file, base, size, dataOffset, pixelBytes, data)) return kImageCorrupt;
        out->SetSize(width, height);
        for (int k = 0; k < height; ++k)
            std::memcpy(out->indices() + std::size_t(height - 1 - k) * std::size_t(width), data.data() + k * rowBytes,
                        std::size_t(width));
        image = std::move(out);
        return kImageOk;
    }

    if (!readAt(file, base, size, dataOffset, pixelBytes, data)) return kImageCorrupt;
    auto out = std::make_unique<CImage32>(width, height);
    for (int k = 0; k < height; ++k) {
        const std::uint8_t* src = data.data() + k * rowBytes;
        std::uint8_t* dst = out->pixel(0, height - 1 - k);
        for (int x = 0; x < width; ++x, src += 3, dst += 4) {
            dst[0] = 255;
            dst[1] = src[2];
            dst[2] = src[1];
            dst[3] = src[0];
        }
    }
    image = std::move(out);
    return kImageOk;
}

int ReadTga(std::FILE* file, std::unique_ptr<CImageBase>& image) {
    image.reset();
    const long long base = std::ftell(file);
    const long long size = bytesLeft(file);
    std::uint8_t h[18];
    if (std::fread(h, 1, sizeof h, file) != sizeof h) return kImageCorrupt;
    const int idLength = h[0];
    const int mapType = h[1];
    const int imageType = h[2];
    const int mapLength = loadU16(h + 5);
    const int mapEntryBits = h[7];
    const int width = loadU16(h + 12);
    const int height = loadU16(h + 14);
    const int depth = h[16];
    const int descriptor = h[17];

    if ((imageType & 0x08) != 0 || (descriptor & 0x10) != 0) return kImageUnsupported;
    if (imageType == 1) {
        if (depth != 8 || mapType != 1) return kImageUnsupported;
        if (mapEntryBits != 24 && mapEntryBits != 32) return kImageUnsupported;
    } else if (imageType == 2) {
        if (depth != 24 && depth != 32) return kImageUnsupported;
        if (depth == 32 && (descriptor & 0x0F) != 0 && (descriptor & 0x0F) != 8) return kImageUnsupported;
    } else {
        return kImageUnsupported;
    }
    if (!sideOk(width) || !sideOk(height)) return kImageUnsupported;

    const bool topFirst = (descriptor & 0x20) != 0;
    auto rowOf = [&](int k) { return topFirst ? k : height - 1 - k; };
    const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
    // A colour map is skipped whatever the image type; its entries take whole bytes.
    const std::uint64_t mapBytes = mapType == 1 ? std::uint64_t(mapLength) * std::uint64_t((mapEntryBits + 7) / 8) : 0;
    const std::uint64_t pixelOffset = 18 + std::uint64_t(idLength) + mapBytes;
    std::vector<std::uint8_t> data;

    if (imageType == 1) {
        if (!readAt(file, base, size, 18 + std::uint64_t(idLength), mapBytes, data)) return kImageCorrupt;
        auto out = std::make_unique<CImage8>();
        auto& palette = out->palette();
        const int entryBytes = mapEntryBits / 8;
        palette.reserve(std::max(mapLength, kPaletteEntries));
        for (int i = 0; i < mapLength; ++i) {
            const std::uint8_t* e = data.data() + std::size_t(i) * entryBytes;
            palette.push_back(packArgb(entryBytes == 4 ? e[3] : 255, e[2], e[1], e[0]));
        }
        padPalette(palette);
        if (!readAt(file, base, size, pixelOffset, pixels, data)) return kImageCorrupt;
        out->SetSize(width, height);
        for (int k = 0; k < height; ++k)
            std::memcpy(out->indices() + std::size_t(rowOf(k)) * std::size_t(width), data.data() + std::size_t(k) * width,
                        std::size_t(width));
        image = std::move(out);
        return kImageOk;
    }

    const int bytesPerPixel = depth / 8;
    const bool keepAlpha = depth == 32 && (descriptor & 0x0F) == 8;
    if (!readAt(file, base, size, pixelOffset, pixels * std::uint64_t(bytesPerPixel), data)) return kImageCorrupt;
    auto out = std::make_unique<CImage32>(width, height);
    for (int k = 0; k < height; ++k) {
        const std::uint8_t* src = data.data() + std::size_t(k) * std::size_t(width) * std::size_t(bytesPerPixel);
        std::uint8_t* dst = out->pixel(0, rowOf(k));
        for (int x = 0; x < width; ++x, src += bytesPerPixel, dst += 4) {
            dst[0] = keepAlpha ? src[3] : 255;
            dst[1] = src[2];
            dst[2] = src[1];
            dst[3] = src[0];
        }
    }
    image = std::move(out);
    return kImageOk;
}

int ReadImageFile(const std::string& path, std::unique_ptr<CImageBase>& image) {
    image.reset();
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return kImageBadExtension;
    std::string ext = path.substr(dot);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    int (*reader)(std::FILE*, std::unique_ptr<CImageBase>&) = nullptr;
    if (ext == ".tga") reader = ReadTga;
    else if (ext == ".bmp") reader = ReadBmp;
    else return kImageBadExtension;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return kImageCannotOpen;
    const int rc = reader(file, image);
    std::fclose(file);
    if (rc != kImageOk) image.reset();
    return rc;
}

Result imageReadResult(int code, const std::string& path, int systemError) {
    switch (code) {
    case kImageOk: return Result::success();
    case kImageCannotOpen:
        return Result::failure(
            Status::IoFailed, "cannot open " + path + (systemError != 0 ? ": " + std::string(std::strerror(systemError)) : ""),
            systemError);
    case kImageBadExtension: return Result::failure(Status::BadInput, path + ": not a .bmp or .tga file");
    case kImageUnsupported: {
        const bool tga = path.size() >= 4 && (path[path.size() - 3] | 0x20) == 't';   // the extension was checked
        return Result::failure(Status::BadInput,
                               path + (tga ? ": unsupported TGA variant (only uncompressed colour-mapped 8-bit and "
                                             "24/32-bit pictures are read)"
                                           : ": unsupported BMP variant (only uncompressed 8-bit paletted and 24-bit "
                                             "pictures are read)"));
    }
    default: return Result::failure(Status::BadInput, path + ": truncated or corrupt picture file");
    }
}

Result readImageFile(const std::string& path, std::unique_ptr<CImageBase>& image) {
    errno = 0;
    const int code = ReadImageFile(path, image);
    // The open is the last call before a kImageCannotOpen, so errno is still its reason.
    const Result r = imageReadResult(code, path, code == kImageCannotOpen ? errno : 0);
    if (r && !image) return Result::failure(Status::BadInput, path + ": no picture was read");
    return r;
}

}  // namespace lnd
