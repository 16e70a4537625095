#include "sculpt/synthesis.h"

#include <algorithm>

namespace clay {

using namespace lnd;

STables::STables() {
    for (int i = 0; i < kFadeSteps; ++i) {
        m_fadeUp[i] = float(i) / 250.0f;
        m_fadeDown[i] = float(249 - i) / 250.0f;
    }
}

namespace {

inline void TexelRgb(const CLandFile& land, int mat, int texel, int rgb[3]) {
    const int count = land.NumMaterials();
    if (count <= 0) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    if (mat < 0 || mat >= count) mat = count - 1;
    const std::uint16_t t = land.Material(mat).Texels[texel >> 8][texel & 255];
    rgb[0] = expandChannel5(t >> 10);
    rgb[1] = expandChannel5(t >> 5);
    rgb[2] = expandChannel5(t);
}

}  // namespace

void BlendAt(const CLandFile& land, int country, int height, int texel, std::uint8_t rgb[3]) {
    const int countries = land.NumCountries();
    if (countries <= 0) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    if (country < 0 || country >= countries) country = countries - 1;
    const TLndCoef& e = land.Country(country).Coefs[std::clamp(height, 0, 255)];
    const int coef = std::clamp<int>(e.coef, 0, 255);
    int a[3], b[3];
    TexelRgb(land, e.mat1, texel, a);
    TexelRgb(land, e.mat2, texel, b);
    for (int c = 0; c < 3; ++c) rgb[c] = std::uint8_t((a[c] * coef + (255 - coef) * b[c]) / 256);
}

void SynthesiseBlock(const CLandFile& land, const CBlockMesh& mesh, std::uint8_t* rgba) {
    const TLndBlock& block = land.BlockRecord(mesh.m_record);
    const auto& noise = land.NoiseMap().Values;
    for (int p = 0; p < 16; ++p) {
        for (int q = 0; q < 16; ++q) {
            int country[4], height[4], alpha[4];
            const int cm[4] = {p, p + 1, p, p + 1}, cl[4] = {q, q, q + 1, q + 1};   // A, Bc, C, D
            for (int k = 0; k < 4; ++k) {
                const std::uint16_t flags = block.Cells[cm[k]][cl[k]].CellFlags;
                country[k] = flags & kCountryMask;
                const float h = mesh.m_positions[std::size_t(kSide * cm[k] + cl[k])].y;
                height[k] = h > 0.0f ? int(h) : 0;
                alpha[k] = (flags & kCoast) ? 128 : (flags & kWater) ? 15 : 255;
            }
            for (int r = 0; r < 16; ++r) {
                const int row = 16 * p + r;
                for (int c = 0; c < 16; ++c) {
                    const int col = 16 * q + c;
                    const int T = row * 256 + col;
                    const int w[4] = {kBlendWeights[15 - r][15 - c], kBlendWeights[r][15 - c],
                                      kBlendWeights[15 - r][c], kBlendWeights[r][c]};
                    int sum[4] = {0, 0, 0, 0};
                    for (int k = 0; k < 4; ++k) {
                        if (w[k] == 0) continue;   // a corner without weight adds nothing
                        std::uint8_t rgb[3];
                        BlendAt(land, country[k], std::min(height[k] + noise[row][col], 255), T, rgb);
                        sum[0] += w[k] * rgb[0];
                        sum[1] += w[k] * rgb[1];
                        sum[2] += w[k] * rgb[2];
                        sum[3] += w[k] * alpha[k];
                    }
                    std::uint8_t* out = rgba + std::size_t(T) * 4;
                    // Whole numbers of sum / 256 are exactly the truncated weighted sums.
                    out[0] = std::uint8_t(sum[0] >> 8);
                    out[1] = std::uint8_t(sum[1] >> 8);
                    out[2] = std::uint8_t(sum[2] >> 8);
                    out[3] = std::uint8_t(sum[3] >> 8);
                }
            }
        }
    }
}

void MakeSwatch(const CLandFile& land, int country, const std::vector<std::uint8_t>& swatchAltitude, std::uint8_t* rgb) {
    for (int T = 0; T < 65536; ++T) {
        const int h = std::size_t(T) < swatchAltitude.size() ? swatchAltitude[std::size_t(T)] : 0;
        BlendAt(land, country, h, T, rgb + std::size_t(T) * 3);
    }
}

void LandListVertices(const CBlockMesh& mesh, bool smooth, std::vector<SListVertex>& out) {
    out.resize(std::size_t(kTrianglesPerBlock) * 3);
    std::size_t k = 0;
    for (int t = 0; t < kTrianglesPerBlock; ++t) {
        const STriangle& tri = mesh.m_triangles[std::size_t(t)];
        const SVec3 fn = mesh.m_faceNormals[std::size_t(t)];
        for (std::uint16_t v : tri.v) {
            SListVertex& o = out[k++];
            const SVec3 n = smooth ? mesh.m_vertexNormals[v] : fn;
            o.n[0] = n.x;
            o.n[1] = n.y;
            o.n[2] = n.z;
            o.uv[0] = mesh.m_texCoords[v][0];
            o.uv[1] = mesh.m_texCoords[v][1];
            o.p[0] = mesh.m_positions[v].x;
            o.p[1] = mesh.m_positions[v].y;
            o.p[2] = mesh.m_positions[v].z;
        }
    }
}

void OverlayVertices(const CLandFile& land, const CBlockMesh& mesh, int country, std::vector<SOverlayVertex>& out) {
    const TLndBlock& block = land.BlockRecord(mesh.m_record);
    out.resize(std::size_t(kTrianglesPerBlock) * 3);
    std::size_t k = 0;
    for (const STriangle& tri : mesh.m_triangles) {
        for (std::uint16_t v : tri.v) {
            SOverlayVertex& o = out[k++];
            const bool here = block.Cells[v / kSide][v % kSide].countryIndex() == country;
            o.rgba[0] = 0;
            o.rgba[1] = here ? 1.0f : 0.0f;
            o.rgba[2] = 0;
            o.rgba[3] = here ? 0.2f : 0.0f;
            o.p[0] = mesh.m_positions[v].x;
            o.p[1] = mesh.m_positions[v].y;
            o.p[2] = mesh.m_positions[v].z;
        }
    }
}

}  // namespace clay
