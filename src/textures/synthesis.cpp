#include "textures/synthesis.h"
#include "land/lores_record.h"

#include "base/messages.h"
#include "codec/dds.h"
#include "d3dframework/texture.h"
#include "land/land.h"
#include "textures/exports.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

namespace lnd {

namespace {

constexpr int kBlackTable = 16;   // table slot of "no country at all": black corners
constexpr int kSquareTexels = 16;

// Texels of a material that does not exist (a land with no materials): black.
alignas(64) const std::uint8_t kBlackTexels[65536 * 2] = {};

// The shared weight table; its four corner weights of a texel sum to 255, so a weighted sum
// of 8-bit channels stays below 65536 and the whole interpolation fits 16-bit lanes.
constexpr const WeightTable& kWeights = kBlendWeights;

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

// The colour corners of a square that share one blend table and altitude, with their
// weights added: they give the same corner colour at every texel.
struct CornerGroup {
    const BlockSynthesizer::Entry* table;   // indexed by noise: table of altitude + noise
    std::uint16_t weight[16][16];
};

// Eight texels of a square row in 16-bit lanes; arithmetic wraps like uint16_t.
using U16x8 = std::uint16_t __attribute__((vector_size(16)));

inline U16x8 load8(const std::uint16_t* p) {
    U16x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storeTexels(std::uint8_t* out, const std::uint32_t px[16]) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, px, 64);
    } else {
        for (int v = 0; v < 16; ++v) storeU32(out + 4 * v, px[v]);
    }
}

}  // namespace

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

            // A full-water corner is black: it adds to the alpha only. The other corners are
            // grouped by table and altitude, which give the same colour at every texel.
            CornerGroup groups[4];
            std::uint16_t alpha[4];
            int numColourGroups = 0;
            for (int k = 0; k < 4; ++k) {
                const TLndCell& cell = *corners[k];
                std::uint16_t a = 255;
                if (cell.has(kCoast)) a = sea.coast;
                else if (cell.has(kWater)) a = sea.water;
                else if (cell.has(kFullWater)) a = sea.fullWater;
                alpha[k] = a;
                if (!cell.has(kCoast) && !cell.has(kWater) && cell.has(kFullWater)) continue;
                int country = countryA;
                if (k != 0 && cell.countryIndex() < numCountries) country = cell.countryIndex();
                const Entry* table = tableFor(country, countries, materials) + cell.Altitude;
                int g = 0;
                while (g < numColourGroups && groups[g].table != table) ++g;
                if (g == numColourGroups) {
                    groups[g].table = table;
                    std::memcpy(groups[g].weight, kCornerWeights.w[k], sizeof groups[g].weight);
                    ++numColourGroups;
                } else {
                    std::uint16_t* w = &groups[g].weight[0][0];
                    const std::uint16_t* cw = &kCornerWeights.w[k][0][0];
                    for (int x = 0; x < 256; ++x) w[x] = static_cast<std::uint16_t>(w[x] + cw[x]);
                }
            }

            for (int u = 0; u < kSquareTexels; ++u) {
                const int r = 16 * i + u;
                const std::size_t t0 = std::size_t(256) * r + 16 * j;
                const std::uint8_t* n = &noise.Values[r][16 * j];
                // Every sum below stays under 65536 because the weights of a texel add up to
                // 255, so 16-bit lanes that wrap give exactly the integer results.
                U16x8 accB[2]{}, accG[2]{}, accR[2]{}, accA[2];
                for (int h = 0; h < 2; ++h)
                    accA[h] = load8(&kCornerWeights.w[0][u][8 * h]) * alpha[0] +
                              load8(&kCornerWeights.w[1][u][8 * h]) * alpha[1] +
                              load8(&kCornerWeights.w[2][u][8 * h]) * alpha[2] +
                              load8(&kCornerWeights.w[3][u][8 * h]) * alpha[3];
                for (int g = 0; g < numColourGroups; ++g) {
                    const CornerGroup& grp = groups[g];
                    std::uint16_t a1[16], a2[16], acf[16];
                    for (int v = 0; v < 16; ++v) {
                        const Entry& e = grp.table[n[v]];
                        a1[v] = texelAt(e.tex1, t0 + v);
                        a2[v] = texelAt(e.tex2, t0 + v);
                        acf[v] = static_cast<std::uint16_t>(e.coef);
                    }
                    for (int h = 0; h < 2; ++h) {
                        const U16x8 p1 = load8(a1 + 8 * h), p2 = load8(a2 + 8 * h), c1 = load8(acf + 8 * h);
                        const U16x8 c2 = 255 - c1;
                        const U16x8 w = load8(&grp.weight[u][8 * h]);
                        // A channel times 8 is its 5 bits moved to bits 3..7. The blend
                        // e*coef + e'*(255-coef) <= 248*255 fits 16 bits, and >> 8 divides.
                        const U16x8 b = (((p1 << 3) & 0xF8) * c1 + ((p2 << 3) & 0xF8) * c2) >> 8;
                        const U16x8 gr = (((p1 >> 2) & 0xF8) * c1 + ((p2 >> 2) & 0xF8) * c2) >> 8;
                        const U16x8 rd = (((p1 >> 7) & 0xF8) * c1 + ((p2 >> 7) & 0xF8) * c2) >> 8;
                        accB[h] += w * b;
                        accG[h] += w * gr;
                        accR[h] += w * rd;
                    }
                }
                // The high byte of each sum is the texel channel: blue | green << 8 | red << 16 | alpha << 24.
                std::uint32_t px[16];
                for (int h = 0; h < 2; ++h) {
                    const U16x8 lo = (accB[h] >> 8) | (accG[h] & 0xFF00);
                    const U16x8 hi = (accR[h] >> 8) | (accA[h] & 0xFF00);
                    for (int v = 0; v < 8; ++v) px[8 * h + v] = std::uint32_t(lo[v]) | (std::uint32_t(hi[v]) << 16);
                }
                storeTexels(texels + 4 * t0, px);
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

void synthesizeBlockImage(BlockSynthesizer& synth, const TLndBlock& block, std::span<const TLndCountry> countries,
                          std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                          std::uint8_t* image) {
    writeDdsHeader(image, DdsKind::Bgra32, kBlockTextureSide, kBlockTextureSide);
    synth.synthesize(block, countries, materials, noise, sea, image + kBlockImageHeaderSize);
}

}  // namespace lnd

// ---- The land's device textures ------------------------------------------------------------

namespace lnd {

namespace {

constexpr const char* kExceptionText = "Exception in loading texture, disabling high res textures";
constexpr const char* kCreateFailedText = "Error in D3DXCreateTextureFromFileInMemory ";

// This kernel per thread of the editor (there is one), so synthesis allocates nothing.
BlockSynthesizer& landSynthesizer() {
    static BlockSynthesizer synth;
    return synth;
}

}  // namespace

void LoadLoResTextures(CLand& land) {
    const std::uint32_t count = land.hasImage() ? land.numLoResTextures() : 0;
    ResourceTable<TextureHandle>& loRes = land.textures().loRes();
    loRes.make(count);
    const std::span<TLndLoResTex> records = land.loResTex();
    for (std::uint32_t l = 0; l < count; ++l) {
        // Records are a fixed 65680 bytes apart; DdsSize is never a stride. The image is a
        // copy with the magic in place of DdsSize, so the file image is not touched.
        const std::vector<std::uint8_t> image = loResRecordDds(records[l]);
        std::unique_ptr<DeviceTexture> texture;
        if (deviceFailed(createTextureFromMemory(image.data(), image.size(), texture))) continue;
        loRes.set(l, TextureHandle(std::move(texture)));
    }
    // The editor's exports stay silent; lndtool asks ExportLoResTextures itself.
    (void)ExportLoResTextures(land);
    // The records hold the tiles as last saved; block textures kept over a device reset
    // still show their blocks, so their tiles come from them again, or the view and the
    // next save would show the records' old tiles.
    const ResourceTable<TextureHandle>& blockTextures = land.textures().blocks();
    for (int b = 0; b < land.numBlocks(); ++b)
        if (blockTextures.has(std::size_t(b))) refreshTileFrom(land, b, *blockTextures.at(std::size_t(b)));
}

int SynthesizeBlockTexture(CLand& land, int b) {
    if (!land.hasImage() || b < 0 || b >= land.numBlocks()) return -1;
    // The editor's exports stay silent about what they could not write.
    if (!land.materialsExported()) (void)ExportMaterials(land);
    if (!land.noiseExported()) (void)ExportNoiseMap(land);
    if (!land.bumpExported()) (void)ExportBumpMap(land);
    try {
        land.textures().scratch().assign(kBlockImageSize, 0);
        if (!land.textures().blocks().exists()) land.textures().blocks().make(std::size_t(land.numBlocks()));
        const SeaParms& sea = land.m_seaParms;
        synthesizeBlockImage(landSynthesizer(), land.blocks()[std::size_t(b)], land.countries(), land.materials(),
                             *land.noiseMap(), {sea.alphaCoast, sea.alphaWater, sea.alphaFullWater},
                             land.textures().scratch().data());
        std::unique_ptr<DeviceTexture> texture;
        if (deviceFailed(createTextureFromMemory(land.textures().scratch().data(), kBlockImageSize, texture))) {
            land.textures().blocks().release(std::size_t(b));
            land.setTextureError(land.textureError() + kCreateFailedText);
        } else
            land.textures().blocks().set(std::size_t(b), TextureHandle(std::move(texture)));
        RefreshLoResTile(land, b);
    } catch (const std::exception&) {
        land.setTextureError(kExceptionText);
    }
    return 0;
}

void RefreshLoResTile(CLand& land, int b) {
    const std::vector<std::uint8_t>& scratch = land.textures().scratch();
    if (!land.hasImage() || b < 0 || b >= land.numBlocks() || scratch.size() < kBlockImageSize) return;
    std::unique_ptr<DeviceTexture> temporary;
    if (deviceFailed(createTextureFromMemory(scratch.data(), kBlockImageSize, temporary))) return;
    refreshTileFrom(land, b, *temporary);
}

void refreshTileFrom(CLand& land, int b, const DeviceTexture& source) {
    if (!land.hasImage() || b < 0 || b >= land.numBlocks()) return;
    const TLndBlock& block = land.blocks()[std::size_t(b)];
    const std::int32_t index = block.LoResTexture, x = block.LoResX, y = block.LoResY;
    // Values from the file: a bad texture index or a tile outside the 256 x 256 texture
    // leaves every texture as it was.
    const ResourceTable<TextureHandle>& loResTextures = land.textures().loRes();
    if (index < 0 || !loResTextures.has(std::size_t(index))) return;
    if (x < 0 || x > 192 || y < 0 || y > 192) return;
    DeviceTexture& loRes = *loResTextures.at(std::size_t(index));
    if (loRes.width() != 256 || loRes.height() != 256) return;
    const Rect tile{x, y, x + 64, y + 64};
    loRes.addDirtyRect(&tile);
    if (deviceFailed(loadSurfaceFromSurface(loRes, 0, &tile, source, 0, nullptr, TextureFilter::Point)))
        land.noteTileCopyFailure();
    filterTexture(loRes, 0);
}

}  // namespace lnd
