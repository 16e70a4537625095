#include "textures/synthesis.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lnd {

namespace {

constexpr int kBlackTable = 16;   // table slot of "no country at all": black corners
constexpr int kSquareTexels = 16;

// Texels of a material that does not exist (a land with no materials): black.
alignas(64) const std::uint8_t kBlackTexels[65536 * 2] = {};

constexpr WeightTable makeWeights() {
    WeightTable w{};
    for (int a = 0; a < 16; ++a)
        for (int b = 0; b < 16; ++b) w[a][b] = static_cast<std::uint8_t>((a * b * 510 + 225) / 450);
    return w;
}
constexpr WeightTable kWeights = makeWeights();

// The four corner weights of texel (u, v) always sum to 255, so a weighted sum of 8-bit
// channels stays below 65536 and the whole interpolation fits 16-bit lanes.
constexpr bool weightsSumTo255() {
    for (int u = 0; u < 16; ++u)
        for (int v = 0; v < 16; ++v)
            if (kWeights[15 - u][15 - v] + kWeights[u][15 - v] + kWeights[15 - u][v] + kWeights[u][v] != 255)
                return false;
    return true;
}
static_assert(weightsSumTo255());
static_assert(kWeights[15][15] == 255 && kWeights[7][7] == 56 && kWeights[15][7] == 119 && kWeights[1][1] == 1);

// Corner weights laid out per corner, row u, column v: A, B, C, D.
struct CornerWeights {
    std::uint16_t w[4][16][16];
};
constexpr CornerWeights makeCornerWeights() {
    CornerWeights cw{};
    for (int u = 0; u < 16; ++u)
        for (int v = 0; v < 16; ++v) {
            cw.w[0][u][v] = kWeights[15 - u][15 - v];
            cw.w[1][u][v] = kWeights[u][15 - v];
            cw.w[2][u][v] = kWeights[15 - u][v];
            cw.w[3][u][v] = kWeights[u][v];
        }
    return cw;
}
alignas(64) constexpr CornerWeights kCornerWeights = makeCornerWeights();

inline std::uint16_t texelAt(const std::uint8_t* texels, std::size_t t) {
    std::uint16_t p;
    std::memcpy(&p, texels + 2 * t, 2);   // little-endian 16-bit texel
    if constexpr (std::endian::native == std::endian::big) p = static_cast<std::uint16_t>((p >> 8) | (p << 8));
    return p;
}

// What one corner of a square contributes: its blend table shifted by its altitude, its
// sea-band colour mask and alpha. Corners with the same table, altitude and mask give the
// same colour at every texel, so they are merged and their weights added.
struct CornerGroup {
    const BlockSynthesizer::Entry* table;   // indexed by noise: table of altitude + noise
    std::uint16_t rgbMask;
    std::uint16_t weight[16][16];
};

}  // namespace

const WeightTable& blendWeights() { return kWeights; }

BlockSynthesizer::BlockSynthesizer() : m_tables(std::size_t(kBlackTable + 1) * kTableLength) {
    Entry* black = &m_tables[std::size_t(kBlackTable) * kTableLength];
    for (int h = 0; h < kTableLength; ++h) black[h] = {kBlackTexels, kBlackTexels, 0};
}

// Blend entries come from the file unchecked. A material index outside the table stands for
// the last material (black when there is none); a weight outside 0..255 is clamped so the
// blend cannot overflow. Valid lands are unaffected by either rule.
const BlockSynthesizer::Entry* BlockSynthesizer::tableFor(int resolvedCountry, std::span<const TLndCountry> countries,
                                                         std::span<const TLndMaterial> materials) {
    Entry* table = &m_tables[std::size_t(resolvedCountry) * kTableLength];
    if (resolvedCountry == kBlackTable || (m_built & (1u << resolvedCountry))) return table;
    m_built |= 1u << resolvedCountry;
    const TLndCountry& country = countries[std::size_t(resolvedCountry)];
    const std::int64_t numMaterials = std::int64_t(materials.size());
    auto texelsOf = [&](std::int32_t m) -> const std::uint8_t* {
        if (numMaterials == 0) return kBlackTexels;
        if (m < 0 || m >= numMaterials) m = static_cast<std::int32_t>(numMaterials - 1);
        return reinterpret_cast<const std::uint8_t*>(&materials[std::size_t(m)].Texels[0][0]);
    };
    for (int h = 0; h < 256; ++h) {
        const TLndCoef& c = country.Coefs[h];
        const std::int32_t coef = std::clamp<std::int32_t>(c.coef, 0, 255);
        table[h] = {texelsOf(c.mat1), texelsOf(c.mat2), static_cast<std::uint32_t>(coef)};
    }
    std::fill(table + 256, table + kTableLength, table[255]);
    return table;
}

void BlockSynthesizer::synthesize(const TLndBlock& block, std::span<const TLndCountry> countries,
                                  std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                                  std::uint8_t* texels) {
    m_built = 0;   // the country table may have changed since the last block
    const int numCountries = static_cast<int>(std::min<std::size_t>(countries.size(), 16));
    const bool anyCountry = !countries.empty();

    for (int i = 0; i < kSquaresPerSide; ++i) {
        for (int j = 0; j < kSquaresPerSide; ++j) {
            const TLndCell* corners[4] = {&block.Cells[i][j], &block.Cells[i + 1][j], &block.Cells[i][j + 1],
                                          &block.Cells[i + 1][j + 1]};
            // Corner A's index is trusted nowhere: beyond the table it means the last country.
            int countryA = kBlackTable;
            if (anyCountry) countryA = std::min(corners[0]->countryIndex(), int(countries.size()) - 1);

            CornerGroup groups[4];
            std::uint16_t alpha[4];
            int numGroups = 0;
            int groupOf[4];
            for (int k = 0; k < 4; ++k) {
                const TLndCell& cell = *corners[k];
                int country = countryA;
                if (k != 0 && cell.countryIndex() < numCountries) country = cell.countryIndex();
                const Entry* table = tableFor(country, countries, materials) + cell.Altitude;
                std::uint16_t rgbMask = 0xFFFF;
                std::uint16_t a = 255;
                if (cell.has(kCoast)) a = sea.coast;
                else if (cell.has(kWater)) a = sea.water;
                else if (cell.has(kFullWater)) { a = sea.fullWater; rgbMask = 0; }
                alpha[k] = a;
                int g = 0;
                while (g < numGroups && !(groups[g].table == table && groups[g].rgbMask == rgbMask)) ++g;
                if (g == numGroups) {
                    groups[g].table = table;
                    groups[g].rgbMask = rgbMask;
                    std::memset(groups[g].weight, 0, sizeof groups[g].weight);
                    ++numGroups;
                }
                groupOf[k] = g;
            }
            for (int k = 0; k < 4; ++k) {
                std::uint16_t* w = &groups[groupOf[k]].weight[0][0];
                const std::uint16_t* cw = &kCornerWeights.w[k][0][0];
                for (int x = 0; x < 256; ++x) w[x] = static_cast<std::uint16_t>(w[x] + cw[x]);
            }

            for (int u = 0; u < kSquareTexels; ++u) {
                const int r = 16 * i + u;
                const std::size_t t0 = std::size_t(256) * r + 16 * j;
                const std::uint8_t* n = &noise.Values[r][16 * j];
                // Every sum below stays under 65536 because the weights of a texel add up to 255.
                std::uint16_t accB[16] = {}, accG[16] = {}, accR[16] = {}, accA[16];
                for (int v = 0; v < 16; ++v)
                    accA[v] = static_cast<std::uint16_t>(
                        kCornerWeights.w[0][u][v] * alpha[0] + kCornerWeights.w[1][u][v] * alpha[1] +
                        kCornerWeights.w[2][u][v] * alpha[2] + kCornerWeights.w[3][u][v] * alpha[3]);
                for (int g = 0; g < numGroups; ++g) {
                    const CornerGroup& grp = groups[g];
                    std::uint16_t p1[16], p2[16], cf[16];
                    for (int v = 0; v < 16; ++v) {
                        const Entry& e = grp.table[n[v]];
                        p1[v] = texelAt(e.tex1, t0 + v);
                        p2[v] = texelAt(e.tex2, t0 + v);
                        cf[v] = static_cast<std::uint16_t>(e.coef);
                    }
                    const std::uint16_t* w = grp.weight[u];
                    const std::uint16_t mask = grp.rgbMask;
                    for (int v = 0; v < 16; ++v) {
                        const std::uint16_t c1 = cf[v];
                        const std::uint16_t c2 = static_cast<std::uint16_t>(255 - c1);
                        // e*coef + e'*(255-coef) <= 248*255: fits 16 bits, and >> 8 is the division.
                        const std::uint16_t b = static_cast<std::uint16_t>(
                            (((p1[v] & 0x1F) << 3) * c1 + ((p2[v] & 0x1F) << 3) * c2) >> 8);
                        const std::uint16_t gr = static_cast<std::uint16_t>(
                            ((((p1[v] >> 5) & 0x1F) << 3) * c1 + (((p2[v] >> 5) & 0x1F) << 3) * c2) >> 8);
                        const std::uint16_t rd = static_cast<std::uint16_t>(
                            ((((p1[v] >> 10) & 0x1F) << 3) * c1 + (((p2[v] >> 10) & 0x1F) << 3) * c2) >> 8);
                        accB[v] = static_cast<std::uint16_t>(accB[v] + w[v] * (b & mask));
                        accG[v] = static_cast<std::uint16_t>(accG[v] + w[v] * (gr & mask));
                        accR[v] = static_cast<std::uint16_t>(accR[v] + w[v] * (rd & mask));
                    }
                }
                std::uint8_t* out = texels + 4 * t0;
                for (int v = 0; v < 16; ++v) {
                    out[4 * v + 0] = static_cast<std::uint8_t>(accB[v] >> 8);
                    out[4 * v + 1] = static_cast<std::uint8_t>(accG[v] >> 8);
                    out[4 * v + 2] = static_cast<std::uint8_t>(accR[v] >> 8);
                    out[4 * v + 3] = static_cast<std::uint8_t>(accA[v] >> 8);
                }
            }
        }
    }
}

void synthesizeBlockTexels(const TLndBlock& block, std::span<const TLndCountry> countries,
                           std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                           std::uint8_t* texels) {
    BlockSynthesizer synth;
    synth.synthesize(block, countries, materials, noise, sea, texels);
}

void writeBlockImageHeader(std::uint8_t* image) {
    std::memset(image, 0, kBlockImageHeaderSize);
    std::memcpy(image, kDdsMagic, 4);
    storeU32(image + 4, 124);
    storeU32(image + 8, 0x21007);       // caps, height, width, pixel format, mip count
    storeU32(image + 12, 256);
    storeU32(image + 16, 256);
    storeU32(image + 28, 1);
    storeU32(image + 76, 32);
    storeU32(image + 80, 0x41);         // RGB with alpha
    storeU32(image + 88, 32);
    storeU32(image + 92, 0x00FF0000);
    storeU32(image + 96, 0x0000FF00);
    storeU32(image + 100, 0x000000FF);
    storeU32(image + 104, 0xFF000000);
    storeU32(image + 108, 0x401008);    // complex, texture, mipmap
}

void synthesizeBlockImage(BlockSynthesizer& synth, const TLndBlock& block, std::span<const TLndCountry> countries,
                          std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                          std::uint8_t* image) {
    writeBlockImageHeader(image);
    synth.synthesize(block, countries, materials, noise, sea, image + kBlockImageHeaderSize);
}

}  // namespace lnd
