// The program's own image kinds: a 32-bit image (bytes alpha, red, green, blue per pixel) and
// a paletted image. Row 0 is always the top row of the picture.
#pragma once

#include <cstdint>
#include <vector>

namespace lnd {

// Larger sides are refused everywhere images are made from files.
inline constexpr int kMaxImageSide = 16384;

class CImageBase {
public:
    virtual ~CImageBase() = default;
    // 1 for the 32-bit kind, 0 for the paletted kind.
    virtual int kind() const = 0;
    // Releases the old pixels and allocates width x height new ones, zeroed. False (and an
    // empty image) for a negative side or one above kMaxImageSide.
    virtual bool SetSize(int width, int height) = 0;
    // Keeps the rectangle (x, y, width, height) clipped to the image.
    virtual void crop(int x, int y, int width, int height) = 0;
    // Resizes the canvas keeping the overlapping top-left pixels; new pixels are zero.
    virtual bool resizeCanvas(int width, int height) = 0;

    int width() const { return m_width; }
    int height() const { return m_height; }

protected:
    int m_width = 0;
    int m_height = 0;
};

class CImage32 final : public CImageBase {
public:
    static constexpr int kKind = 1;

    CImage32() = default;
    CImage32(int width, int height) { SetSize(width, height); }

    int kind() const override { return kKind; }
    bool SetSize(int width, int height) override;
    void crop(int x, int y, int width, int height) override;
    bool resizeCanvas(int width, int height) override;

    std::uint8_t* pixels() { return m_pixels.data(); }
    const std::uint8_t* pixels() const { return m_pixels.data(); }
    // The four bytes (alpha, red, green, blue) of pixel (x, y).
    std::uint8_t* pixel(int x, int y) { return m_pixels.data() + 4 * (std::size_t(y) * std::size_t(m_width) + std::size_t(x)); }
    const std::uint8_t* pixel(int x, int y) const {
        return m_pixels.data() + 4 * (std::size_t(y) * std::size_t(m_width) + std::size_t(x));
    }
    std::size_t pitch() const { return 4 * std::size_t(m_width); }

private:
    std::vector<std::uint8_t> m_pixels;
};

class CImage8 final : public CImageBase {
public:
    static constexpr int kKind = 0;

    int kind() const override { return kKind; }
    bool SetSize(int width, int height) override;
    void crop(int x, int y, int width, int height) override;
    bool resizeCanvas(int width, int height) override;

    // Each entry's bytes are alpha, red, green, blue, packed as alpha | red << 8 | ...
    // in memory order.
    std::vector<std::uint32_t>& palette() { return m_palette; }
    const std::vector<std::uint32_t>& palette() const { return m_palette; }
    int paletteSize() const { return int(m_palette.size()); }

    std::uint8_t* indices() { return m_indices.data(); }
    const std::uint8_t* indices() const { return m_indices.data(); }
    std::uint8_t index(int x, int y) const { return m_indices[std::size_t(y) * std::size_t(m_width) + std::size_t(x)]; }

private:
    std::vector<std::uint32_t> m_palette;
    std::vector<std::uint8_t> m_indices;
};

// Packs four bytes in memory order into a palette entry and back.
inline std::uint32_t packArgb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return std::uint32_t(a) | std::uint32_t(r) << 8 | std::uint32_t(g) << 16 | std::uint32_t(b) << 24;
}
inline void unpackArgb(std::uint32_t entry, std::uint8_t out[4]) {
    out[0] = std::uint8_t(entry);
    out[1] = std::uint8_t(entry >> 8);
    out[2] = std::uint8_t(entry >> 16);
    out[3] = std::uint8_t(entry >> 24);
}

// The paletted image looked up into a 32-bit image; indices beyond the palette give opaque black.
CImage32 toImage32(const CImage8& image);

}  // namespace lnd
