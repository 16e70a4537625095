#include "codec/texture_compressor.h"

#include "codec/dxt3.h"

namespace lnd {

int CTextureCompressor::Compress(const CImage32& image) {
    release();
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0 || w % 4 != 0 || h % 4 != 0) return -1;
    m_width = w;
    m_height = h;
    m_output.resize(std::size_t(w) * std::size_t(h));
    encodeDxt3Image(image.pixels(), w, h, image.pitch(), m_output.data());
    return 0;
}

void CTextureCompressor::release() {
    m_output.clear();
    m_output.shrink_to_fit();
    m_width = m_height = 0;
}

}  // namespace lnd
