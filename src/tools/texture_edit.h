// The block texture editor's model: the picture of one block's synthesised texture, a
// working copy of its record onto which countries are painted with a square brush, a
// software preview of the painted squares, and the write-back to the land on request only.
//
// Pictures are 256 x 256 colour values with red in the lowest byte, then green, then blue,
// rows top first; picture column x is texture column 16 * j + v, row y is 16 * i + u.
#pragma once

#include "land/land.h"

#include <cstdint>
#include <vector>

namespace lnd {

inline constexpr int kPictureSide = 256;
inline constexpr std::uint32_t kPictureBlue = 0xFF0000u;

inline constexpr std::uint32_t pictureColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return std::uint32_t(r) | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16);
}

// A picture of a block without painting (the neighbour pictures of the dialog).
class CTextureView {
public:
    CTextureView();
    virtual ~CTextureView() = default;

    // Fills the picture from block record n of the land, synthesising its texture when it
    // has none: blue for no block (-1 or a number the land does not hold), a test gradient
    // when synthesis gave no texture, blue when the texture cannot be read.
    virtual void LoadBlock(CLand& land, int n);

    int block() const { return m_block; }
    std::uint32_t pixel(int x, int y) const { return m_picture[std::size_t(y) * kPictureSide + std::size_t(x)]; }
    const std::vector<std::uint32_t>& picture() const { return m_picture; }

protected:
    void fill(std::uint32_t colour);

    std::vector<std::uint32_t> m_picture;   // the off-screen bitmap
    int m_block = -1;
};

// The frame drawn around the brush; right and bottom inclusive.
struct BrushFrame {
    bool shown = false;
    int left = 0, top = 0, right = 0, bottom = 0;
};

class CTextureEdit final : public CTextureView {
public:
    // Also takes a working copy of the block's record; unapplied changes are dropped.
    void LoadBlock(CLand& land, int n) override;

    // A mouse move over the control with the left-button state. Inside the picture the
    // pointer is hidden and captured and, with the button held, the brush paints; outside
    // the capture ends and the pointer shows again.
    void MouseMove(bool leftButton, int x, int y);

    // Paints the selected country onto the cells of the brush square whose top-left corner
    // is the cell under (x, y), and redraws the squares the brush covers from the working
    // copy. Nothing reaches the land until ApplyToBlock.
    void PaintAt(int x, int y);

    // Writes the working copy over the block's record and drops the block's texture, so it
    // is synthesised again when next needed. The caller marks the land modified. False (and
    // nothing written) without a block.
    bool ApplyToBlock();

    // Brush size in texels: 16, 32, 64 or 128 (other values are taken to the nearest of
    // those from below, at least 16).
    void setBrushSize(int texels);
    int brushSize() const { return m_brushSize; }
    void setCountry(int k) { m_country = k & kCountryMask; }
    int country() const { return m_country; }

    bool pending() const { return m_pending; }
    bool captured() const { return m_captured; }
    bool pointerHidden() const { return m_captured; }
    int mouseX() const { return m_mouseX; }
    int mouseY() const { return m_mouseY; }
    // Set by every mouse move; the dialog repaints and clears it.
    bool invalidated() const { return m_invalidated; }
    void validate() { m_invalidated = false; }

    // Where the brush frame goes for the stored pointer position: around the cells painting
    // there would change.
    BrushFrame brushFrame() const;

    const TLndBlock& workingCopy() const { return m_work; }

private:
    void previewSquare(int row, int column);

    CLand* m_land = nullptr;
    TLndBlock m_work{};
    bool m_pending = false;
    bool m_captured = false;
    bool m_invalidated = false;
    int m_mouseX = -1, m_mouseY = -1;
    int m_brushSize = 16;
    int m_country = 0;
};

// The preview's texel of square (row i, column j) at offset (u, v) as a picture colour:
// every corner with its own country, alphas fixed by the corner flags (Coast 128, Water 15,
// FullWater 0, else 255), pure blue where the blended alpha is 30 or less.
std::uint32_t previewTexel(const TLndBlock& block, std::span<const TLndCountry> countries,
                           std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, int i, int j, int u,
                           int v);

}  // namespace lnd
