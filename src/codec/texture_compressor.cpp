#include "codec/texture_compressor.h"

#include "codec/dxt3.h"

#include <cassert>

namespace lnd {

int CTextureCompressor::Compress(const CImage32& image, int threads) {
    release();
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0 || w % 4 != 0 || h % 4 != 0) return -1;
    m_width = w;
    m_height = h;
    m_output.resize(std::size_t(w) * std::size_t(h));
    encodeDxt3Image(image.pixels(), w, h, image.pitch(), m_output.data(), threads);
    return 0;
}

int CTextureCompressor::CompressAll(std::span<const CImage32* const> images, std::span<CTextureCompressor> compressors) {
    assert(images.size() == compressors.size());
    if (images.size() != compressors.size()) return -1;
    std::vector<Dxt3Image> jobs;
    jobs.reserve(images.size());
    int result = 0;
    for (std::size_t k = 0; k < images.size(); ++k) {
        CTextureCompressor& c = compressors[k];
        c.release();
        const CImage32* image = images[k];
        const int w = image ? image->width() : 0;
        const int h = image ? image->height() : 0;
        if (w <= 0 || h <= 0 || w % 4 != 0 || h % 4 != 0) {
            result = -1;
            continue;
        }
        c.m_width = w;
        c.m_height = h;
        c.m_output.resize(std::size_t(w) * std::size_t(h));
        jobs.push_back({image->pixels(), w, h, image->pitch(), c.m_output.data()});
    }
    encodeDxt3Images(jobs);
    return result;
}

void CTextureCompressor::release() {
    m_output.clear();
    m_output.shrink_to_fit();
    m_width = m_height = 0;
}

}  // namespace lnd
