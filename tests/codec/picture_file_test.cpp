#include "codec/picture_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>

using namespace lnd;

namespace {

// A PNG of any kind through libpng itself. `samples` are the unpacked samples row by row
// (indices, grey, grey+alpha, RGB...), packed here for depths below 8.
std::vector<std::uint8_t> pngOf(int w, int h, int depth, int colourType, const std::vector<std::uint16_t>& samples,
                                const std::vector<png_color>& palette = {}, const std::vector<png_byte>& alphas = {},
                                bool interlaced = false) {
    const int channels = colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_PALETTE ? 1
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA                                ? 2
                         : colourType == PNG_COLOR_TYPE_RGB                                       ? 3
                                                                                                  : 4;
    const std::size_t rowBytes = (std::size_t(w) * channels * depth + 7) / 8;
    std::vector<std::uint8_t> packed(rowBytes * std::size_t(h), 0);
    for (int y = 0; y < h; ++y)
        for (int k = 0; k < w * channels; ++k) {
            const std::uint16_t v = samples[std::size_t(y * w * channels + k)];
            std::uint8_t* row = packed.data() + std::size_t(y) * rowBytes;
            if (depth == 16) {
                row[2 * k] = std::uint8_t(v >> 8);
                row[2 * k + 1] = std::uint8_t(v);
            } else if (depth == 8) {
                row[k] = std::uint8_t(v);
            } else {
                const int bit = k * depth;
                row[bit / 8] = std::uint8_t(row[bit / 8] | v << (8 - depth - bit % 8));
            }
        }
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!alphas.empty()) png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) rows[std::size_t(y)] = packed.data() + std::size_t(y) * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::uint32_t argbOf(const CImage32& img, int x, int y) {
    const std::uint8_t* p = img.pixel(x, y);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

TEST(PictureFile, PalettedPngsKeepTheirIndicesOfEveryDepth) {
    const std::vector<png_color> colours{{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {1, 2, 3}};
    struct Case {
        const char* name;
        int depth;
        bool interlaced;
        std::vector<png_byte> alphas;
    };
    const Case cases[] = {
        {"1-bit", 1, false, {}}, {"2-bit", 2, false, {255, 0}}, {"4-bit", 4, true, {}}, {"8-bit interlaced", 8, true, {7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = 13, h = 9, count = c.depth == 1 ? 2 : 4;
        std::vector<std::uint16_t> indices(std::size_t(w * h));
        for (int k = 0; k < w * h; ++k) indices[std::size_t(k)] = std::uint16_t((k * 7 + k / w) % count);
        const std::vector<png_color> palette(colours.begin(), colours.begin() + count);
        std::unique_ptr<CImageBase> image;
        ASSERT_TRUE(decodePngPicture(pngOf(w, h, c.depth, PNG_COLOR_TYPE_PALETTE, indices, palette, c.alphas, c.interlaced), image));
        ASSERT_EQ(image->kind(), CImage8::kKind);
        const auto& p8 = static_cast<const CImage8&>(*image);
        ASSERT_EQ(p8.paletteSize(), count);
        for (int k = 0; k < count; ++k) {
            const png_byte a = std::size_t(k) < c.alphas.size() ? c.alphas[std::size_t(k)] : 255;
            EXPECT_EQ(p8.palette()[std::size_t(k)], packArgb(a, colours[std::size_t(k)].red, colours[std::size_t(k)].green,
                                                             colours[std::size_t(k)].blue));
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(p8.index(x, y), indices[std::size_t(y * w + x)]) << x << "," << y;
    }
}

TEST(PictureFile, OtherPngsBecomeOpaqueOrAlphaTrueColour) {
    struct Case {
        const char* name;
        int depth, colourType;
        std::vector<std::uint16_t> samples;   // one pixel
        std::uint32_t argb;
    };
    const Case cases[] = {
        {"grey 8", 8, PNG_COLOR_TYPE_GRAY, {0x7B}, 0xFF7B7B7B},
        {"grey 16", 16, PNG_COLOR_TYPE_GRAY, {0xABCD}, 0xFFABABAB},
        {"grey 2", 2, PNG_COLOR_TYPE_GRAY, {2}, 0xFFAAAAAA},
        {"grey alpha", 8, PNG_COLOR_TYPE_GRAY_ALPHA, {0x40, 0x11}, 0x11404040},
        {"rgb 16", 16, PNG_COLOR_TYPE_RGB, {0x1200, 0x3400, 0x5600}, 0xFF123456},
        {"rgba 8", 8, PNG_COLOR_TYPE_RGB_ALPHA, {1, 2, 3, 4}, 0x04010203},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint16_t> samples;
        for (int k = 0; k < 6; ++k) samples.insert(samples.end(), c.samples.begin(), c.samples.end());
        std::unique_ptr<CImageBase> image;
        ASSERT_TRUE(decodePngPicture(pngOf(3, 2, c.depth, c.colourType, samples), image));
        ASSERT_EQ(image->kind(), CImage32::kKind);
        const auto& img = static_cast<const CImage32&>(*image);
        ASSERT_EQ(img.width(), 3);
        ASSERT_EQ(img.height(), 2);
        EXPECT_EQ(argbOf(img, 2, 1), c.argb);
    }
}

TEST(PictureFile, WritersRefuseWhatAPngCannotHoldAndRoundTripTheRest) {
    CImage8 image;
    ASSERT_TRUE(image.SetSize(5, 4));
    EXPECT_TRUE(encodePngPaletted(image).empty()) << "no palette";
    image.palette() = {packArgb(255, 1, 2, 3), packArgb(0, 0, 0, 0)};
    image.indices()[7] = 2;
    EXPECT_TRUE(encodePngPaletted(image).empty()) << "index beyond the palette";
    image.indices()[7] = 1;
    CImage8 many = image;
    many.palette().resize(257);
    EXPECT_TRUE(encodePngPaletted(many).empty()) << "more than 256 entries";
    std::unique_ptr<CImageBase> back;
    ASSERT_TRUE(decodePngPicture(encodePngPaletted(image), back));
    const auto& p8 = static_cast<const CImage8&>(*back);
    EXPECT_EQ(p8.palette(), image.palette());
    EXPECT_EQ(p8.index(2, 1), 1);
    EXPECT_EQ(p8.index(3, 1), 0);

    CImage32 colour(300, 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            std::uint8_t* p = colour.pixel(x, y);
            p[0] = 17;   // dropped: the quick writer is opaque RGB
            p[1] = std::uint8_t(x), p[2] = std::uint8_t(y), p[3] = std::uint8_t(x ^ y);
        }
    ASSERT_TRUE(decodePngPicture(encodePngRgbQuick(colour), back));
    const auto& rgb = static_cast<const CImage32&>(*back);
    for (int y = 0; y < 200; y += 13)
        for (int x = 0; x < 300; x += 7)
            ASSERT_EQ(argbOf(rgb, x, y), 0xFF000000u | argbOf(colour, x, y)) << x << "," << y;
    EXPECT_TRUE(encodePngRgbQuick(CImage32()).empty());

    // The sides reach the check before any decoding, and its refusal is the result.
    int seenW = 0, seenH = 0;
    const Result r = decodePngPicture(encodePngRgbQuick(colour), back, [&](int w, int h) {
        seenW = w, seenH = h;
        return Result::failure(Status::BadInput, "not this size");
    });
    EXPECT_EQ(r.message(), "not this size");
    EXPECT_EQ(seenW, 300);
    EXPECT_EQ(seenH, 200);
    EXPECT_EQ(back, nullptr);
    EXPECT_EQ(readPictureFile("/nonexistent/map.gif", back).message(), "unsupported picture type (use a .png, .bmp or .tga file)");
    EXPECT_EQ(readPictureFile("/nonexistent/map.png", back).message(), "cannot open the file");
}
