#include "codec/image.h"

#include <algorithm>
#include <cstring>

namespace lnd {

namespace {

bool sideOk(int width, int height) {
    return width >= 0 && height >= 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

// Copies the overlap of an image of `unit` elements per pixel into a new canvas whose top-left pixel is
// (x, y) of the old one.
template <typename T>
std::vector<T> recut(const std::vector<T>& old, int oldW, int oldH, int x, int y, int newW, int newH, int unit) {
    std::vector<T> out(std::size_t(newW) * std::size_t(newH) * std::size_t(unit), T{});
    const int copyW = std::min(newW, oldW - x);
    const int copyH = std::min(newH, oldH - y);
    for (int row = 0; row < copyH; ++row) {
        if (copyW <= 0) break;
        const T* src = old.data() + (std::size_t(y + row) * std::size_t(oldW) + std::size_t(x)) * unit;
        std::copy(src, src + std::size_t(copyW) * unit, out.data() + std::size_t(row) * std::size_t(newW) * unit);
    }
    return out;
}

// Clips a crop rectangle to the image; an empty rectangle is allowed.
void clipRect(int imgW, int imgH, int& x, int& y, int& w, int& h) {
    if (x < 0) { w += x; x = 0; }
    if (y < 0) { h += y; y = 0; }
    x = std::min(x, imgW);
    y = std::min(y, imgH);
    w = std::clamp(w, 0, imgW - x);
    h = std::clamp(h, 0, imgH - y);
}

// The three operations are the same for both kinds but for the bytes per pixel.
template <typename T>
bool setSizeOf(std::vector<T>& store, int& w, int& h, int width, int height, int unit) {
    store.clear();
    store.shrink_to_fit();
    w = h = 0;
    if (!sideOk(width, height)) return false;
    store.assign(std::size_t(width) * std::size_t(height) * std::size_t(unit), T{});
    w = width;
    h = height;
    return true;
}

template <typename T>
void cropOf(std::vector<T>& store, int& w, int& h, int x, int y, int width, int height, int unit) {
    clipRect(w, h, x, y, width, height);
    store = recut(store, w, h, x, y, width, height, unit);
    w = width;
    h = height;
}

template <typename T>
bool resizeCanvasOf(std::vector<T>& store, int& w, int& h, int width, int height, int unit) {
    if (!sideOk(width, height)) return false;
    store = recut(store, w, h, 0, 0, width, height, unit);
    w = width;
    h = height;
    return true;
}

}  // namespace

bool CImage32::SetSize(int width, int height) { return setSizeOf(m_pixels, m_width, m_height, width, height, 4); }
void CImage32::crop(int x, int y, int width, int height) { cropOf(m_pixels, m_width, m_height, x, y, width, height, 4); }
bool CImage32::resizeCanvas(int width, int height) {
    return resizeCanvasOf(m_pixels, m_width, m_height, width, height, 4);
}

bool CImage8::SetSize(int width, int height) { return setSizeOf(m_indices, m_width, m_height, width, height, 1); }
void CImage8::crop(int x, int y, int width, int height) { cropOf(m_indices, m_width, m_height, x, y, width, height, 1); }
bool CImage8::resizeCanvas(int width, int height) {
    return resizeCanvasOf(m_indices, m_width, m_height, width, height, 1);
}

CImage32 toImage32(const CImage8& image) {
    CImage32 out(image.width(), image.height());
    const std::uint32_t black = packArgb(255, 0, 0, 0);
    const std::size_t count = std::size_t(image.width()) * std::size_t(image.height());
    const auto& pal = image.palette();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t k = image.indices()[i];
        unpackArgb(k < pal.size() ? pal[k] : black, out.pixels() + 4 * i);
    }
    return out;
}

}  // namespace lnd
