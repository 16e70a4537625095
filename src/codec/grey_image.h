// One-channel pictures of 8 or 16 bits (heightmaps) read from PNG (through stb_image), BMP
// or TGA (through the project's readers), colour reduced to its luminance. Every reader checks
// the picture's sides from its header before it allocates. The writer is in png_writer.h.
#pragma once

#include "base/result.h"
#include "codec/image.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lnd {

// Pictures with more pixels than this are refused (64 M pixels, 8192 x 8192).
inline constexpr std::uint64_t kMaxGreyPixels = std::uint64_t(8192) * 8192;

struct GreyImage {
    int width = 0;
    int height = 0;
    int bits = 8;                        // 8: values 0..255; 16: values 0..65535
    std::vector<std::uint16_t> values;   // row-major, row 0 at the top

    std::uint32_t maxValue() const { return bits == 16 ? 65535u : 255u; }
    std::uint16_t at(int x, int y) const { return values[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    bool empty() const { return width <= 0 || height <= 0; }
};

// Rec. 601 luminance rounded to nearest; an exact grey (r = g = b) gives its own value back.
inline std::uint32_t luminance(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (299 * r + 587 * g + 114 * b + 500) / 1000;
}

// Checks picture sides read from a header: both 1..kMaxImageSide and the area within
// kMaxGreyPixels. An empty string when acceptable, otherwise what is wrong.
std::string greySizeProblem(long long width, long long height);

// Decodes a PNG file held in memory: grey, grey with alpha, true colour and paletted
// pictures of any bit depth (palettes are looked up, low bit depths scaled up to 8 bits);
// 16-bit files keep their 16 bits. Alpha is ignored. BadInput with the reason on failure
// (with the byte offset where the header says what is wrong), `out` left empty.
Result decodePngGrey(std::span<const std::uint8_t> bytes, GreyImage& out);

// Reads a PNG, BMP or TGA file (chosen by the extension, case ignored) into grey values.
// BMP and TGA go through ReadImageFile; their palettes are looked up. On any failure `out` is
// left empty and the Result says why: IoFailed with the system's reason when the file cannot
// be read, BadInput for a picture that is not one or not one of the kinds read.
Result readGreyImageFile(const std::string& path, GreyImage& out);

}  // namespace lnd
