#include "codec/picture_file.h"

#include "base/byte_order.h"
#include "base/file_io.h"
#include "codec/image_readers.h"
#include "codec/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lnd {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Header bytes enough to know the sides of any of the three kinds.
constexpr std::size_t kHeadBytes = 26;
// No picture this code reads needs a file larger than this (16384 x 16384 true colour fits).
constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t(1) << 31;

Result checkSides(long long width, long long height, const PictureSidesCheck& check) {
    if (width <= 0 || height <= 0) return Result::failure(Status::BadInput, "the picture has no pixels");
    if (width > kMaxImageSide || height > kMaxImageSide)
        return Result::failure(Status::BadInput, "the picture is too large (" + std::to_string(width) + " x " +
                                                     std::to_string(height) + "; at most " +
                                                     std::to_string(kMaxImageSide) + " pixels a side)");
    return check ? check(int(width), int(height)) : Result::success();
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// ---- libpng through memory; errors end in the jump, nothing goes to standard error --------

struct PngReadSource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<PngReadSource*>(png_get_io_ptr(png));
    if (length > src->size - src->at) png_error(png, "truncated");
    std::memcpy(out, src->data + src->at, length);
    src->at += length;
}
void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void pngFlush(png_structp) {}
void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// Kept apart so that nothing of the caller lives across the jump point: a jump out of libpng
// skips destructors, so every object that owns memory belongs to the caller.
bool writePaletted(png_structp png, png_infop info, std::vector<std::uint8_t>* out, const CImage8& image,
                   png_bytepp rows, std::vector<png_color>& colours, std::vector<png_byte>& alphas) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_write_fn(png, out, pngWrite, pngFlush);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    bool anyAlpha = false;
    for (std::uint32_t entry : image.palette()) {
        std::uint8_t argb[4];
        unpackArgb(entry, argb);
        colours.push_back({argb[1], argb[2], argb[3]});
        alphas.push_back(argb[0]);
        anyAlpha = anyAlpha || argb[0] != 255;
    }
    png_set_PLTE(png, info, colours.data(), int(colours.size()));
    // Only up to the last entry that is not opaque, as the format asks.
    if (anyAlpha) {
        std::size_t n = alphas.size();
        while (n > 0 && alphas[n - 1] == 255) --n;
        png_set_tRNS(png, info, alphas.data(), int(n), nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool writeRgbQuick(png_structp png, png_infop info, std::vector<std::uint8_t>* out, int width, int height,
                   png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_write_fn(png, out, pngWrite, pngFlush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_HUFFMAN_ONLY);   // a third of level 1's time, 5 % larger
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// Everything the reading owns lives here, outside the jump point (see writePaletted).
struct DecodedPng {
    std::unique_ptr<CImageBase> image;
    std::vector<png_bytep> rows;
    Result result;
};

bool readPng(png_structp png, png_infop info, PngReadSource* source, const PictureSidesCheck* check, DecodedPng* out) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        if (out->result) out->result = Result::failure(Status::BadInput, "corrupt or truncated PNG file");
        out->image.reset();
        return false;
    }
    png_set_read_fn(png, source, pngRead);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (Result r = checkSides(width, height, *check); !r) {
        out->result = r;
        return false;
    }
    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    png_set_interlace_handling(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        if (depth < 8) png_set_packing(png);
        png_read_update_info(png, info);
        out->image = std::make_unique<CImage8>();
        CImage8* image = static_cast<CImage8*>(out->image.get());
        if (!image->SetSize(int(width), int(height))) png_error(png, "size");
        png_colorp colours = nullptr;
        int numColours = 0;
        png_get_PLTE(png, info, &colours, &numColours);
        png_bytep alphas = nullptr;
        int numAlphas = 0;
        if (png_get_valid(png, info, PNG_INFO_tRNS)) png_get_tRNS(png, info, &alphas, &numAlphas, nullptr);
        for (int k = 0; k < numColours; ++k)
            image->palette().push_back(
                packArgb(k < numAlphas ? alphas[k] : 255, colours[k].red, colours[k].green, colours[k].blue));
        std::vector<png_bytep>& rows = out->rows;
        rows.assign(height, nullptr);
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = image->indices() + std::size_t(y) * width;
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        return true;
    }
    // Everything else to 8-bit RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(width) * 4) png_error(png, "layout");
    out->image = std::make_unique<CImage32>();
    CImage32* image = static_cast<CImage32*>(out->image.get());
    if (!image->SetSize(int(width), int(height))) png_error(png, "size");
    std::vector<png_bytep>& rows = out->rows;
    rows.assign(height, nullptr);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = image->pixels() + std::size_t(y) * image->pitch();
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    // RGBA in place to the image's alpha, red, green, blue.
    std::uint8_t* p = image->pixels();
    for (std::size_t k = 0, n = std::size_t(width) * height; k < n; ++k, p += 4) {
        const std::uint8_t r = p[0], g = p[1], b = p[2], a = p[3];
        p[0] = a;
        p[1] = r;
        p[2] = g;
        p[3] = b;
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> encodePngPaletted(const CImage8& image) {
    const int w = image.width(), h = image.height();
    if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide || image.palette().empty() ||
        image.palette().size() > 256)
        return {};
    const std::size_t n = std::size_t(w) * std::size_t(h);
    for (std::size_t k = 0; k < n; ++k)
        if (image.indices()[k] >= image.palette().size()) return {};
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<std::size_t>(h));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = const_cast<png_bytep>(image.indices() + y * std::size_t(w));
    std::vector<png_color> colours;
    std::vector<png_byte> alphas;
    const bool ok = info != nullptr && writePaletted(png, info, &out, image, rows.data(), colours, alphas);
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    if (!ok) out.clear();
    return out;
}

std::vector<std::uint8_t> encodePngRgbQuick(const CImage32& image) {
    const int w = image.width(), h = image.height();
    if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return {};
    const std::vector<std::uint8_t> rgb = rgbBytes(image);
    std::vector<std::uint8_t> out;
    out.reserve(rgb.size() / 2);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<std::size_t>(h));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = const_cast<png_bytep>(rgb.data() + y * std::size_t(w) * 3);
    const bool ok = info != nullptr && writeRgbQuick(png, info, &out, w, h, rows.data());
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    if (!ok) out.clear();
    return out;
}

Result decodePngPicture(std::span<const std::uint8_t> bytes, std::unique_ptr<CImageBase>& out,
                        const PictureSidesCheck& check) {
    out.reset();
    if (bytes.size() < sizeof kPngSignature || std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0)
        return Result::failure(Status::BadInput, "not a PNG file");
    // The sides stand in the first chunk: checked here so that a refused size is named as such
    // rather than as libpng's complaint.
    if (bytes.size() < 33 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
        return Result::failure(Status::BadInput, "corrupt or truncated PNG file");
    if (Result r = checkSides(bigEndian32(bytes.data() + 16), bigEndian32(bytes.data() + 20), check); !r) return r;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr) return Result::failure(Status::OutOfMemory, "the PNG reader could not start");
    png_infop info = png_create_info_struct(png);
    PngReadSource source{bytes.data(), bytes.size(), 0};
    DecodedPng decoded;
    const bool ok = info != nullptr && readPng(png, info, &source, &check, &decoded);
    png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    if (!ok) return decoded.result ? Result::failure(Status::OutOfMemory, "the PNG reader could not start") : decoded.result;
    out = std::move(decoded.image);
    return Result::success();
}

Result readPictureFile(const std::string& path, std::unique_ptr<CImageBase>& out, const PictureSidesCheck& check) {
    out.reset();
    const std::string ext = lowerExtension(path);
    if (ext != ".png" && ext != ".bmp" && ext != ".tga")
        return Result::failure(Status::BadInput, "unsupported picture type (use a .png, .bmp or .tga file)");
    std::uint8_t head[kHeadBytes] = {};
    std::size_t got = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    } else {
        return Result::failure(Status::BadInput, "cannot open the file", errno);
    }
    if (ext == ".png") {
        if (got >= 24 && std::memcmp(head, kPngSignature, sizeof kPngSignature) == 0 &&
            std::memcmp(head + 12, "IHDR", 4) == 0)
            if (Result r = checkSides(bigEndian32(head + 16), bigEndian32(head + 20), check); !r) return r;
        std::vector<std::uint8_t> bytes;
        if (Result r = readWholeFile(path, bytes, kMaxPictureFileBytes); !r) return r;
        return decodePngPicture(bytes, out, check);
    }
    long long w = 0, h = 0;
    if (ext == ".bmp") {
        if (got < 26) return Result::failure(Status::BadInput, "the file is too short to be a picture");
        w = std::int32_t(loadU32(head + 18));
        h = std::int32_t(loadU32(head + 22));
        if (h < 0) h = -h;
    } else {
        if (got < 18) return Result::failure(Status::BadInput, "the file is too short to be a picture");
        w = head[12] | head[13] << 8;
        h = head[14] | head[15] << 8;
    }
    if (Result r = checkSides(w, h, check); !r) return r;
    std::unique_ptr<CImageBase> image;
    switch (ReadImageFile(path, image)) {
    case kImageOk: break;
    case kImageCannotOpen: return Result::failure(Status::BadInput, "cannot open the file");
    case kImageUnsupported:
        return Result::failure(Status::BadInput,
                               ext == ".bmp"
                                   ? "unsupported BMP variant (only uncompressed 8-bit paletted and 24-bit pictures are read)"
                                   : "unsupported TGA variant (only uncompressed colour-mapped 8-bit and 24/32-bit "
                                     "pictures are read)");
    default: return Result::failure(Status::BadInput, "corrupt or truncated picture file");
    }
    if (image->width() != w || image->height() != h)
        return Result::failure(Status::BadInput, "corrupt or truncated picture file");
    out = std::move(image);
    return Result::success();
}

}  // namespace lnd
