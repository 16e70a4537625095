// PNG output through stb_image_write, compiled privately into this file.
#include "codec/png_writer.h"

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

}  // namespace lnd
