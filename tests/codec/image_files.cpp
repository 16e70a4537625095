#include "image_files.h"

namespace lndtest {

void put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    bytes[at] = std::uint8_t(v);
    bytes[at + 1] = std::uint8_t(v >> 8);
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    put16(bytes, at, v & 0xFFFF);
    put16(bytes, at + 2, v >> 16);
}

std::vector<std::uint8_t> makeBmp(const BmpSpec& shape) {
    const int bpp = shape.bitCount / 8;
    const std::size_t row = (std::size_t(shape.width) * bpp + 3) & ~std::size_t(3);
    const std::size_t paletteEntries = shape.bitCount == 8 ? (shape.coloursUsed ? shape.coloursUsed : 256) : 0;
    const std::size_t offset = 54 + 4 * paletteEntries;
    std::vector<std::uint8_t> b(offset + row * std::size_t(shape.height), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, std::uint32_t(b.size()));
    put32(b, 10, std::uint32_t(offset));
    put32(b, 14, 40);
    put32(b, 18, std::uint32_t(shape.width));
    put32(b, 22, std::uint32_t(shape.height));
    put16(b, 26, 1);
    put16(b, 28, std::uint32_t(shape.bitCount));
    put32(b, 34, std::uint32_t(row * std::size_t(shape.height)));
    put32(b, 46, shape.coloursUsed);
    for (std::size_t i = 0; i < paletteEntries; ++i) {
        const std::uint32_t c = i < shape.palette.size() ? shape.palette[i] : 0;
        b[54 + 4 * i] = std::uint8_t(c);
        b[55 + 4 * i] = std::uint8_t(c >> 8);
        b[56 + 4 * i] = std::uint8_t(c >> 16);
    }
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x) {
            const std::uint32_t v = shape.pixels[std::size_t(y) * shape.width + x];
            std::uint8_t* p = &b[offset + std::size_t(shape.height - 1 - y) * row + std::size_t(x) * bpp];
            if (bpp == 1) {
                p[0] = std::uint8_t(v);
            } else {
                p[0] = std::uint8_t(v);
                p[1] = std::uint8_t(v >> 8);
                p[2] = std::uint8_t(v >> 16);
            }
        }
    return b;
}

std::vector<std::uint8_t> makeTga(const TgaSpec& shape) {
    std::vector<std::uint8_t> b(18, 0);
    b[0] = std::uint8_t(shape.idLength);
    b[1] = std::uint8_t(shape.colourMap.empty() ? shape.mapType : 1);
    b[2] = std::uint8_t(shape.imageType);
    put16(b, 5, std::uint32_t(shape.colourMap.size()));
    b[7] = std::uint8_t(shape.mapEntryBits);
    put16(b, 12, std::uint32_t(shape.width));
    put16(b, 14, std::uint32_t(shape.height));
    b[16] = std::uint8_t(shape.depth);
    b[17] = std::uint8_t(shape.descriptor);
    for (int i = 0; i < shape.idLength; ++i) b.push_back(std::uint8_t(0xA0 + i));
    auto putPixel = [&](std::uint32_t v, int bits) {
        if (bits == 8) { b.push_back(std::uint8_t(v)); return; }
        if (bits == 16) { b.push_back(std::uint8_t(v)); b.push_back(std::uint8_t(v >> 8)); return; }
        b.push_back(std::uint8_t(v));
        b.push_back(std::uint8_t(v >> 8));
        b.push_back(std::uint8_t(v >> 16));
        if (bits == 32) b.push_back(std::uint8_t(v >> 24));
    };
    for (std::uint32_t c : shape.colourMap) putPixel(c, shape.mapEntryBits);
    for (std::uint32_t v : shape.pixels) putPixel(v, shape.depth);
    return b;
}

}  // namespace lndtest
