#include "tools/texture_edit.h"

#include "d3dframework/texture.h"
#include "textures/synthesis.h"

#include <algorithm>
#include <cstring>

namespace lnd {

namespace {

constexpr int kSquareTexels = 16;

// Out-of-table indices stand for the last entry, as in the synthesis: never a read outside.
const TLndCountry* countryFor(int index, std::span<const TLndCountry> countries) {
    if (countries.empty()) return nullptr;
    return &countries[std::size_t(std::min(index, int(countries.size()) - 1))];
}

std::uint16_t materialTexel(std::int32_t m, std::span<const TLndMaterial> materials, std::size_t r, std::size_t c) {
    if (materials.empty()) return 0;
    if (m < 0 || std::size_t(m) >= materials.size()) m = std::int32_t(materials.size() - 1);
    return materials[std::size_t(m)].Texels[r][c];
}

}  // namespace

// ---- CTextureView ---------------------------------------------------------------------

CTextureView::CTextureView() : m_picture(std::size_t(kPictureSide) * kPictureSide, kPictureBlue) {}

void CTextureView::fill(std::uint32_t colour) { std::fill(m_picture.begin(), m_picture.end(), colour); }

void CTextureView::LoadBlock(CLand& land, int n) {
    m_block = n;
    if (n < 0 || n >= land.numBlocks()) {
        m_block = -1;
        fill(kPictureBlue);
        return;
    }
    if (!land.textures().blocks().has(std::size_t(n))) SynthesizeBlockTexture(land, n);
    if (!land.textures().blocks().has(std::size_t(n))) {
        for (int y = 0; y < kPictureSide; ++y)
            for (int x = 0; x < kPictureSide; ++x)
                m_picture[std::size_t(y) * kPictureSide + std::size_t(x)] =
                    pictureColour(255, std::uint8_t(x), std::uint8_t(y));
        return;
    }
    DeviceTexture& texture = *land.textures().blocks().at(std::size_t(n));
    const Rect whole{0, 0, kPictureSide, kPictureSide};
    LockedRect locked;
    if (texture.format() != TextureFormat::A8R8G8B8 || texture.width() < std::uint32_t(kPictureSide) ||
        texture.height() < std::uint32_t(kPictureSide) ||
        deviceFailed(texture.lockRect(0, locked, &whole, LockMode::ReadOnly))) {
        fill(kPictureBlue);
        return;
    }
    for (int y = 0; y < kPictureSide; ++y) {
        const std::uint8_t* t = locked.bits + std::ptrdiff_t(y) * locked.pitch;
        for (int x = 0; x < kPictureSide; ++x, t += 4) {
            const std::uint8_t b = t[0], g = t[1], r = t[2], a = t[3];
            // Water is transparent in the texture; the picture shows it blue.
            const std::uint8_t blue = a < 143 && b < 255 - a ? std::uint8_t(255 - a) : b;
            m_picture[std::size_t(y) * kPictureSide + std::size_t(x)] = pictureColour(r, g, blue);
        }
    }
    texture.unlockRect(0);
}

// ---- CTextureEdit ---------------------------------------------------------------------

void CTextureEdit::LoadBlock(CLand& land, int n) {
    m_land = &land;
    m_pending = false;
    if (n >= 0 && n < land.numBlocks()) m_work = land.blocks()[std::size_t(n)];
    else m_work = TLndBlock{};
    CTextureView::LoadBlock(land, n);
}

void CTextureEdit::MouseMove(bool leftButton, int x, int y) {
    m_invalidated = true;
    if (x >= 0 && x < kPictureSide && y >= 0 && y < kPictureSide) {
        m_captured = true;
        m_mouseX = x;
        m_mouseY = y;
        if (leftButton) PaintAt(x, y);
    } else {
        m_captured = false;
        m_mouseX = m_mouseY = -1;
    }
}

void CTextureEdit::setBrushSize(int texels) {
    int s = 16;
    while (s < 128 && s * 2 <= texels) s *= 2;
    m_brushSize = s;
}

BrushFrame CTextureEdit::brushFrame() const {
    BrushFrame f;
    if (m_mouseX < 0) return f;
    f.shown = true;
    f.left = std::min((m_mouseX / kSquareTexels) * kSquareTexels, kPictureSide - 1);
    f.top = std::min((m_mouseY / kSquareTexels) * kSquareTexels, kPictureSide - 1);
    f.right = std::min(f.left + m_brushSize, kPictureSide - 1);
    f.bottom = std::min(f.top + m_brushSize, kPictureSide - 1);
    return f;
}

void CTextureEdit::PaintAt(int x, int y) {
    if (m_land == nullptr || m_block < 0 || x < 0 || y < 0 || x >= kPictureSide || y >= kPictureSide) return;
    m_pending = true;
    const int cx = x / kSquareTexels, cy = y / kSquareTexels, m = m_brushSize / kSquareTexels;
    for (int row = cy; row <= std::min(cy + m - 1, kCellsPerSide - 1); ++row)
        for (int col = cx; col <= std::min(cx + m - 1, kCellsPerSide - 1); ++col) {
            TLndCell& cell = m_work.Cells[row][col];
            cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) | std::uint16_t(m_country));
        }
    // Only the brush's own squares are redrawn; the squares before it that share the
    // painted corner cells keep their picture until the block is shown again.
    for (int row = cy; row <= std::min(cy + m - 1, kSquaresPerSide - 1); ++row)
        for (int col = cx; col <= std::min(cx + m - 1, kSquaresPerSide - 1); ++col) previewSquare(row, col);
}

void CTextureEdit::previewSquare(int row, int column) {
    const TLndNoiseMap* noise = m_land->noiseMap();
    if (noise == nullptr) return;
    const auto countries = m_land->countries();
    const auto materials = m_land->materials();
    for (int u = 0; u < kSquareTexels; ++u)
        for (int v = 0; v < kSquareTexels; ++v)
            m_picture[std::size_t(kSquareTexels * row + u) * kPictureSide + std::size_t(kSquareTexels * column + v)] =
                previewTexel(m_work, countries, materials, *noise, row, column, u, v);
}

bool CTextureEdit::ApplyToBlock() {
    if (m_land == nullptr || m_block < 0 || m_block >= m_land->numBlocks()) return false;
    m_land->blocks()[std::size_t(m_block)] = m_work;
    const int edited[] = {m_block};
    m_land->blocksEdited(edited);
    m_pending = false;
    return true;
}

std::uint32_t previewTexel(const TLndBlock& block, std::span<const TLndCountry> countries,
                           std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, int i, int j, int u,
                           int v) {
    const TLndCell* corners[4] = {&block.Cells[i][j], &block.Cells[i + 1][j], &block.Cells[i][j + 1],
                                  &block.Cells[i + 1][j + 1]};
    const WeightTable& w = blendWeights();
    const int weights[4] = {w[15 - u][15 - v], w[u][15 - v], w[15 - u][v], w[u][v]};
    const std::size_t r = std::size_t(kSquareTexels * i + u), c = std::size_t(kSquareTexels * j + v);
    const int n = noise.Values[r][c];

    int sum[4] = {0, 0, 0, 0};   // red, green, blue, alpha
    for (int k = 0; k < 4; ++k) {
        const TLndCell& cell = *corners[k];
        int channel[3] = {0, 0, 0};
        if (const TLndCountry* country = countryFor(cell.countryIndex(), countries)) {
            const TLndCoef& e = country->Coefs[std::min(cell.Altitude + n, 255)];
            const int coef = std::clamp<std::int32_t>(e.coef, 0, 255);
            const std::uint16_t p1 = materialTexel(e.mat1, materials, r, c), p2 = materialTexel(e.mat2, materials, r, c);
            for (int ch = 0; ch < 3; ++ch) {
                const int shift = 10 - 5 * ch;
                const int e1 = ((p1 >> shift) & 31) * 8, e2 = ((p2 >> shift) & 31) * 8;
                channel[ch] = ((e1 * coef + e2 * (255 - coef)) / 256) & 0xFF;
            }
        }
        const int alpha = cell.has(kCoast) ? 128 : cell.has(kWater) ? 15 : cell.has(kFullWater) ? 0 : 255;
        for (int ch = 0; ch < 3; ++ch) sum[ch] += weights[k] * channel[ch];
        sum[3] += weights[k] * alpha;
    }
    if (sum[3] / 256 <= 30) return kPictureBlue;
    return pictureColour(std::uint8_t(sum[0] / 256), std::uint8_t(sum[1] / 256), std::uint8_t(sum[2] / 256));
}

}  // namespace lnd
