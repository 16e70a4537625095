// PNG output through stb_image_write (compiled privately into this file) and libpng.
#include "codec/png_writer.h"

#include <png.h>

#include <algorithm>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if __has_include(<stb/stb_image_write.h>)
#include <stb/stb_image_write.h>
#else
#include <stb_image_write.h>
#endif
#pragma GCC diagnostic pop

namespace lnd {

namespace {

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// What libpng reports ends its work through the jump; nothing goes to standard error.
struct PngWriteState {
    std::vector<std::uint8_t>* out = nullptr;
};

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<PngWriteState*>(png_get_io_ptr(png));
    state->out->insert(state->out->end(), data, data + length);
}
void pngFlush(png_structp) {}
void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// Kept apart so that nothing of the caller lives across the jump point.
bool writeRows(png_structp png, png_infop info, PngWriteState* state, int width, int height, int bits, int colourType,
               png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_write_fn(png, state, pngWrite, pngFlush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bits, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Pictures of many millions of pixels: a fast level and one filter keep writing them
    // within a second or two at a modest cost in size.
    png_set_compression_level(png, 3);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// Writes `height` rows of `rowBytes` each from `pixels`.
std::vector<std::uint8_t> writeLibpng(const std::vector<std::uint8_t>& pixels, int width, int height, int bits,
                                      int colourType, std::size_t rowBytes) {
    std::vector<std::uint8_t> out;
    PngWriteState state{&out};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = const_cast<png_bytep>(pixels.data() + y * rowBytes);
    const bool ok = info != nullptr && writeRows(png, info, &state, width, height, bits, colourType, rows.data());
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    if (!ok) out.clear();
    return out;
}

}  // namespace

std::vector<std::uint8_t> encodePng(const CImage32& image) {
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0) return {};
    std::vector<std::uint8_t> rgba(std::size_t(w) * std::size_t(h) * 4);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        const std::uint8_t* p = image.pixels() + i;
        rgba[i] = p[1];
        rgba[i + 1] = p[2];
        rgba[i + 2] = p[3];
        rgba[i + 3] = p[0];
    }
    std::vector<std::uint8_t> out;
    if (!stbi_write_png_to_func(appendBytes, &out, w, h, 4, rgba.data(), w * 4)) return {};
    return out;
}

std::vector<std::uint8_t> rgbBytes(const CImage32& image) {
    std::vector<std::uint8_t> rgb(std::size_t(image.width()) * std::size_t(image.height()) * 3);
    const std::uint8_t* p = image.pixels();   // alpha, red, green, blue
    for (std::size_t i = 0, o = 0; o < rgb.size(); i += 4, o += 3) {
        rgb[o] = p[i + 1];
        rgb[o + 1] = p[i + 2];
        rgb[o + 2] = p[i + 3];
    }
    return rgb;
}

std::vector<std::uint8_t> encodePngRgb(const CImage32& image) {
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return {};
    const std::vector<std::uint8_t> rgb = rgbBytes(image);
    return writeLibpng(rgb, w, h, 8, PNG_COLOR_TYPE_RGB, std::size_t(w) * 3);
}

std::vector<std::uint8_t> encodePngGrey(const GreyImage& image) {
    if (image.empty() || (image.bits != 8 && image.bits != 16) ||
        image.values.size() != std::size_t(image.width) * std::size_t(image.height))
        return {};
    const std::size_t bytesPerSample = std::size_t(image.bits / 8);
    std::vector<std::uint8_t> samples(image.values.size() * bytesPerSample);
    for (std::size_t k = 0; k < image.values.size(); ++k) {
        const std::uint16_t v = image.values[k];
        if (image.bits == 8) {
            samples[k] = std::uint8_t(std::min<std::uint16_t>(v, 255));
        } else {   // PNG samples are big-endian
            samples[2 * k] = std::uint8_t(v >> 8);
            samples[2 * k + 1] = std::uint8_t(v);
        }
    }
    return writeLibpng(samples, image.width, image.height, image.bits, PNG_COLOR_TYPE_GRAY,
                       std::size_t(image.width) * bytesPerSample);
}

}  // namespace lnd
