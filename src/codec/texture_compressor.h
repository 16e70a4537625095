// Compresses a 32-bit image into DXT3 blocks, as stored in the land's low-resolution textures.
#pragma once

#include "codec/image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace lnd {

class CTextureCompressor {
public:
    enum Format { kFormatDxt3 = 0 };

    // Fills the output buffer with the DXT3 data of `image` (width x height bytes).
    // Returns 0, or -1 when a side is not a positive multiple of 4 (the buffer is then empty).
    // `threads` as for encodeDxt3Image: 0 for the processor's threads, 1 for the calling one.
    int Compress(const CImage32& image, int threads = 0);

    // Compresses several images at once (the threads share all their blocks), compressor k
    // ending as Compress(*images[k]) leaves it. `compressors` must be as long as `images`.
    // Returns 0, or -1 when some image could not be compressed (its compressor is then empty).
    static int CompressAll(std::span<const CImage32* const> images, std::span<CTextureCompressor> compressors);

    const std::uint8_t* data() const { return m_output.data(); }
    std::size_t size() const { return m_output.size(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    Format format() const { return m_format; }
    // Releases the output buffer once the caller has copied it.
    void release();

private:
    int m_width = 0;
    int m_height = 0;
    Format m_format = kFormatDxt3;
    std::vector<std::uint8_t> m_output;
};

}  // namespace lnd
