#include "codec/bmp_writer.h"

#include "format/lnd_format.h"

#include <cstring>

namespace lnd {

namespace {

bool sideOk(int side) { return side > 0 && side <= kMaxImageSide; }

// File and information headers of a bottom-up, uncompressed BMP, zeroed room for the palette
// and pixels behind them.
std::vector<std::uint8_t> bmpHeaders(int width, int height, int bitsPerPixel, std::size_t rowBytes,
                                     std::uint32_t paletteEntries) {
    const std::size_t offset = 54 + 4 * std::size_t(paletteEntries);
    std::vector<std::uint8_t> b(offset + rowBytes * std::size_t(height), 0);
    b[0] = 'B';
    b[1] = 'M';
    storeU32(&b[2], std::uint32_t(b.size()));
    storeU32(&b[10], std::uint32_t(offset));
    storeU32(&b[14], 40);
    storeU32(&b[18], std::uint32_t(width));
    storeU32(&b[22], std::uint32_t(height));
    storeU16(&b[26], 1);
    storeU16(&b[28], std::uint16_t(bitsPerPixel));
    storeU32(&b[34], std::uint32_t(rowBytes * std::size_t(height)));
    storeU32(&b[38], 2835);  // 72 dots per inch
    storeU32(&b[42], 2835);
    storeU32(&b[46], paletteEntries);
    return b;
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const std::uint8_t* pixels, int width, int height, std::size_t pitch,
                                    PixelOrder order, int bitsPerPixel) {
    if (!sideOk(width) || !sideOk(height) || pitch < 4 * std::size_t(width)) return {};
    if (bitsPerPixel != 24 && bitsPerPixel != 32) return {};
    const std::size_t bpp = std::size_t(bitsPerPixel / 8);
    const std::size_t rowBytes = (std::size_t(width) * bpp + 3) & ~std::size_t(3);
    std::vector<std::uint8_t> b = bmpHeaders(width, height, bitsPerPixel, rowBytes, 0);
    const std::size_t offset = 54;
    // Source byte positions of blue, green, red, alpha.
    const int at[4] = {order == PixelOrder::Argb ? 3 : 0, order == PixelOrder::Argb ? 2 : 1,
                       order == PixelOrder::Argb ? 1 : 2, order == PixelOrder::Argb ? 0 : 3};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = pixels + std::size_t(y) * pitch;
        std::uint8_t* dst = &b[offset + std::size_t(height - 1 - y) * rowBytes];
        for (int x = 0; x < width; ++x, src += 4, dst += bpp)
            for (std::size_t c = 0; c < bpp; ++c) dst[c] = src[at[c]];
    }
    return b;
}

std::vector<std::uint8_t> encodeBmp(const CImage32& image, int bitsPerPixel) {
    return encodeBmp(image.pixels(), image.width(), image.height(), image.pitch(), PixelOrder::Argb, bitsPerPixel);
}

std::vector<std::uint8_t> encodeGreyBmp(const std::uint8_t* grey, int width, int height, std::size_t pitch) {
    if (!sideOk(width) || !sideOk(height) || pitch < std::size_t(width)) return {};
    const std::size_t rowBytes = (std::size_t(width) + 3) & ~std::size_t(3);
    std::vector<std::uint8_t> b = bmpHeaders(width, height, 8, rowBytes, 256);
    for (int k = 0; k < 256; ++k) std::memset(&b[54 + 4 * std::size_t(k)], k, 3);
    const std::size_t offset = 54 + 1024;
    for (int y = 0; y < height; ++y)
        std::memcpy(&b[offset + std::size_t(height - 1 - y) * rowBytes], grey + std::size_t(y) * pitch, std::size_t(width));
    return b;
}

}  // namespace lnd
