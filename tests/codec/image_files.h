// Builds small BMP and TGA files in memory, with every header field open to tampering.
#pragma once

#include <cstdint>
#include <vector>

namespace lndtest {

struct BmpSpec {
    int width = 0;
    int height = 0;
    int bitCount = 24;
    std::uint32_t coloursUsed = 0;  // 8-bit only: palette entries written (0 writes 256)
    // One value per pixel, row 0 = top: 0xRRGGBB for 24-bit, the index for 8-bit.
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint32_t> palette;  // 0xRRGGBB, 8-bit only
};

// A bottom-up BMP with a 40-byte information header and the image size field filled in.
std::vector<std::uint8_t> makeBmp(const BmpSpec& shape);

struct TgaSpec {
    int imageType = 2;
    int width = 0;
    int height = 0;
    int depth = 24;
    int descriptor = 0;
    int idLength = 0;
    int mapType = 0;
    int mapEntryBits = 0;
    // Colour map entries as 0xAARRGGBB (written with mapEntryBits); mapType 1 is set by them.
    std::vector<std::uint32_t> colourMap;
    // File order, row after row: 0xAARRGGBB (true colour) or the index (colour-mapped).
    std::vector<std::uint32_t> pixels;
};

std::vector<std::uint8_t> makeTga(const TgaSpec& shape);

void put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v);
void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v);

}  // namespace lndtest
