#include "textures/synthesis.h"
#include "land/lores_record.h"

#include "base/messages.h"
#include "codec/dds.h"
#include "d3dframework/texture.h"
#include "land/land.h"
#include "textures/exports.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

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
    blendRows(block, countries, materials, noise, sea, 0, 1, [&](int r, int j, const std::uint32_t* px) {
        storeTexels(texels + 4 * (std::size_t(256) * r + 16 * j), px);
    });
}

void BlockSynthesizer::synthesizeTileSamples(const TLndBlock& block, std::span<const TLndCountry> countries,
                                             std::span<const TLndMaterial> materials, const TLndNoiseMap& noise,
                                             SeaAlphas sea, std::uint8_t* tile) {
    static_assert(kBlockTextureSide == 4 * kTileSide);
    blendRows(block, countries, materials, noise, sea, 2, 4, [&](int r, int j, const std::uint32_t* px) {
        std::uint8_t* out = tile + 4 * (std::size_t(kTileSide) * (r / 4) + 4 * j);
        for (int k = 0; k < 4; ++k) storeU32(out + 4 * k, px[4 * k + 2]);
    });
}

template <class Put>
void BlockSynthesizer::blendRows(const TLndBlock& block, std::span<const TLndCountry> countries,
                                 std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                                 int firstRow, int rowStep, Put put) {
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

            for (int u = firstRow; u < kSquareTexels; u += rowStep) {
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
                put(r, j, px);
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

namespace {

void runOnceExports(CLand& land) {
    // The editor's exports stay silent about what they could not write.
    if (!land.materialsExported()) (void)ExportMaterials(land);
    if (!land.noiseExported()) (void)ExportNoiseMap(land);
    if (!land.bumpExported()) (void)ExportBumpMap(land);
}

// Scales a block picture into block b's tile (see refreshTileFrom); false only when the
// scaling itself failed, which the caller reports.
bool drawTile(CLand& land, int b, const DeviceTexture& source) {
    if (!land.hasImage() || b < 0 || b >= land.numBlocks()) return true;
    const TLndBlock& block = land.blocks()[std::size_t(b)];
    const std::int32_t index = block.LoResTexture, x = block.LoResX, y = block.LoResY;
    // Values from the file: a bad texture index or a tile outside the 256 x 256 texture
    // leaves every texture as it was.
    const ResourceTable<TextureHandle>& loResTextures = land.textures().loRes();
    if (index < 0 || !loResTextures.has(std::size_t(index))) return true;
    if (x < 0 || x > 192 || y < 0 || y > 192) return true;
    DeviceTexture& loRes = *loResTextures.at(std::size_t(index));
    if (loRes.width() != 256 || loRes.height() != 256) return true;
    const Rect tile{x, y, x + 64, y + 64};
    loRes.addDirtyRect(&tile);
    const bool scaled = !deviceFailed(loadSurfaceFromSurface(loRes, 0, &tile, source, 0, nullptr, TextureFilter::Point));
    filterTexture(loRes, 0);
    return scaled;
}

// The low-resolution texture block b draws its tile into, or -1 when it draws none.
int tileTextureOf(CLand& land, int b) {
    const TLndBlock& block = land.blocks()[std::size_t(b)];
    const ResourceTable<TextureHandle>& loRes = land.textures().loRes();
    if (block.LoResTexture < 0 || !loRes.has(std::size_t(block.LoResTexture))) return -1;
    return block.LoResTexture;
}

// Runs work(worker, k) for k in 0..count-1 on up to `threads` threads, the caller's one of
// them: each k exactly once, in no fixed order; `worker` (below `threads`) names the thread.
template <typename Work>
void forEachIndex(std::size_t count, unsigned threads, Work work) {
    std::atomic<std::size_t> next{0};
    auto run = [&](unsigned worker) {
        for (std::size_t k = next++; k < count; k = next++) work(worker, k);
    };
    std::vector<std::thread> helpers;
    const unsigned wanted = unsigned(std::min<std::size_t>(threads, count));
    for (unsigned t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(run, t);
        } catch (const std::system_error&) {
            break;   // no more threads to be had: the others share the work
        }
    }
    run(0);
    for (std::thread& h : helpers) h.join();
}

}  // namespace

int SynthesizeBlockTexture(CLand& land, int b) {
    if (!land.hasImage() || b < 0 || b >= land.numBlocks()) return -1;
    runOnceExports(land);
    try {
        // Every byte of the image is written below (header and texels).
        std::vector<std::uint8_t>& scratch = land.textures().scratch();
        if (scratch.size() != kBlockImageSize) scratch.resize(kBlockImageSize);
        if (!land.textures().blocks().exists()) land.textures().blocks().make(std::size_t(land.numBlocks()));
        const SeaParms& sea = land.m_seaParms;
        synthesizeBlockImage(landSynthesizer(), land.blocks()[std::size_t(b)], land.countries(), land.materials(),
                             *land.noiseMap(), {sea.alphaCoast, sea.alphaWater, sea.alphaFullWater}, scratch.data());
        std::unique_ptr<DeviceTexture> texture;
        if (deviceFailed(createTextureFromMemory(scratch.data(), kBlockImageSize, texture))) {
            land.textures().blocks().release(std::size_t(b));
            land.setTextureError(land.textureError() + kCreateFailedText);
            RefreshLoResTile(land, b);
        } else {
            // The new texture's level 0 is the scratch image: the tile comes from it.
            const DeviceTexture& made = *texture;
            land.textures().blocks().set(std::size_t(b), TextureHandle(std::move(texture)));
            refreshTileFrom(land, b, made);
        }
    } catch (const std::exception&) {
        land.setTextureError(kExceptionText);
    }
    return 0;
}

void SynthesizeBlockTextures(CLand& land, std::span<const int> blocks, BlockTextureUse use, unsigned threads) {
    std::vector<int> todo;
    for (int b : blocks)
        if (land.hasImage() && b >= 0 && b < land.numBlocks()) todo.push_back(b);
    if (todo.empty()) return;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    runOnceExports(land);
    try {
        if (!land.textures().blocks().exists()) land.textures().blocks().make(std::size_t(land.numBlocks()));
    } catch (const std::exception&) {
        land.setTextureError(kExceptionText);
        return;
    }

    // What each block's run came to, applied in the order of the list once every thread is
    // done, so the texture table, the texts and the messages read as after one run per block.
    enum class Outcome { Made, NotCreated, Exception };
    struct Run {
        int block = -1;
        Outcome outcome = Outcome::Exception;
        std::unique_ptr<DeviceTexture> texture;
        bool scaleFailed = false;
    };
    const SeaParms& seaParms = land.m_seaParms;
    const SeaAlphas sea{seaParms.alphaCoast, seaParms.alphaWater, seaParms.alphaFullWater};
    const std::span<const TLndBlock> records = land.blocks();
    const std::span<const TLndCountry> countries = land.countries();
    const std::span<const TLndMaterial> materials = land.materials();
    const TLndNoiseMap& noise = *land.noiseMap();
    std::vector<std::unique_ptr<BlockSynthesizer>> kernels(threads);   // one per thread
    // The last picture made, for the scratch image: in the table when kept, else held here.
    int lastBlock = -1;
    std::unique_ptr<DeviceTexture> lastDropped;

    // Blocks go in windows of the list, so textures nobody keeps are dropped soon after their
    // tiles are drawn: a window's worth is all that is held at once. Kept textures are held
    // anyway, and one window balances the tile drawing best.
    const std::size_t window =
        use == BlockTextureUse::Keep ? todo.size() : std::max<std::size_t>(64, std::size_t(threads) * 16);
    const bool samplesOnly = use == BlockTextureUse::TilesOnly;
    const std::uint32_t side = samplesOnly ? BlockSynthesizer::kTileSide : kBlockTextureSide;
    for (std::size_t first = 0; first < todo.size(); first += window) {
        std::vector<Run> runs(std::min(window, todo.size() - first));
        for (std::size_t k = 0; k < runs.size(); ++k) runs[k].block = todo[first + k];

        // Blocks are independent of each other: each is synthesised straight into level 0 of
        // its own texture (every texel written, so the level is not cleared first). A texture
        // only its tile will read holds just the texels the tile samples: drawn into the tile
        // one for one, they give the tile of the whole picture.
        forEachIndex(runs.size(), threads, [&](unsigned worker, std::size_t k) {
            Run& run = runs[k];
            try {
                if (!kernels[worker]) kernels[worker] = std::make_unique<BlockSynthesizer>();
                std::unique_ptr<DeviceTexture> texture;
                // A block whose texture cannot be made keeps its tile: the picture it would be
                // scaled from could not be made either.
                if (deviceFailed(DeviceTexture::create(side, side, 0, TextureFormat::A8R8G8B8, texture,
                                                       TexelInit::Undefined))) {
                    run.outcome = Outcome::NotCreated;
                    return;
                }
                const TLndBlock& record = records[std::size_t(run.block)];
                if (samplesOnly)
                    kernels[worker]->synthesizeTileSamples(record, countries, materials, noise, sea,
                                                           texture->mutableLevelBytes(0));
                else
                    kernels[worker]->synthesize(record, countries, materials, noise, sea, texture->mutableLevelBytes(0));
                // As a texture made from the image: its smaller levels follow from level 0 when drawn.
                filterTexture(*texture, 0);
                run.texture = std::move(texture);
                run.outcome = Outcome::Made;
            } catch (const std::exception&) {
                run.outcome = Outcome::Exception;
            }
        });

        // Tiles of one low-resolution texture are drawn in list order (tiles may overlap and
        // share DXT3 blocks); different textures are independent.
        std::vector<std::vector<std::size_t>> byTexture(land.textures().loRes().size());
        for (std::size_t k = 0; k < runs.size(); ++k) {
            if (runs[k].outcome != Outcome::Made) continue;
            const int t = tileTextureOf(land, runs[k].block);
            if (t >= 0) byTexture[std::size_t(t)].push_back(k);
        }
        std::vector<std::size_t> used;
        for (std::size_t t = 0; t < byTexture.size(); ++t)
            if (!byTexture[t].empty()) used.push_back(t);
        forEachIndex(used.size(), threads, [&](unsigned, std::size_t u) {
            for (std::size_t k : byTexture[used[u]]) {
                try {
                    runs[k].scaleFailed = !drawTile(land, runs[k].block, *runs[k].texture);
                } catch (const std::exception&) {
                    runs[k].scaleFailed = true;
                }
            }
        });

        for (Run& run : runs) {
            switch (run.outcome) {
            case Outcome::Made:
                if (run.scaleFailed) land.noteTileCopyFailure();
                lastBlock = run.block;
                if (use == BlockTextureUse::Keep) {
                    lastDropped.reset();
                    land.textures().blocks().set(std::size_t(run.block), TextureHandle(std::move(run.texture)));
                } else {
                    lastDropped = std::move(run.texture);
                }
                break;
            case Outcome::NotCreated:
                land.textures().blocks().release(std::size_t(run.block));
                land.setTextureError(land.textureError() + kCreateFailedText);
                break;
            case Outcome::Exception:
                land.setTextureError(kExceptionText);
                break;
            }
        }
    }

    // The scratch image ends as after one run per block: the last picture made, made whole
    // here when only its tile's texels were.
    if (lastBlock < 0) return;
    const DeviceTexture* last = lastDropped ? lastDropped.get() : land.textures().blocks().at(std::size_t(lastBlock)).get();
    if (last == nullptr) return;
    try {
        std::vector<std::uint8_t>& scratch = land.textures().scratch();
        if (scratch.size() != kBlockImageSize) scratch.resize(kBlockImageSize);
        if (last->width() == kBlockTextureSide) {
            writeDdsHeader(scratch.data(), DdsKind::Bgra32, kBlockTextureSide, kBlockTextureSide);
            std::memcpy(scratch.data() + kBlockImageHeaderSize, last->levelBytes(0), kBlockTexelBytes);
        } else {
            if (!kernels.front()) kernels.front() = std::make_unique<BlockSynthesizer>();
            synthesizeBlockImage(*kernels.front(), records[std::size_t(lastBlock)], countries, materials, noise, sea,
                                 scratch.data());
        }
    } catch (const std::exception&) {
        land.setTextureError(kExceptionText);
    }
}

void RefreshLoResTile(CLand& land, int b) {
    const std::vector<std::uint8_t>& scratch = land.textures().scratch();
    if (!land.hasImage() || b < 0 || b >= land.numBlocks() || scratch.size() < kBlockImageSize) return;
    std::unique_ptr<DeviceTexture> temporary;
    if (deviceFailed(createTextureFromMemory(scratch.data(), kBlockImageSize, temporary))) return;
    refreshTileFrom(land, b, *temporary);
}

void refreshTileFrom(CLand& land, int b, const DeviceTexture& source) {
    if (!drawTile(land, b, source)) land.noteTileCopyFailure();
}

}  // namespace lnd
