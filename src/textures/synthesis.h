// Block texture synthesis: the 256 x 256 texture of one block, blended from the materials
// that the countries choose for each altitude, disturbed by the noise map, interpolated
// bilinearly across each terrain square and made transparent over the sea.
//
// The texel formula is fixed: what the editor shows and what a save writes back into the
// low-resolution textures both come from it, so every implementation must give the same
// bytes. The kernel here is that formula restructured for speed (lookups resolved per block
// and per square, 16-texel rows in 16-bit lanes), not a different one.
//
// Safe on any land: country indices and blend entries taken from the file never make it read
// outside the country or material tables (see resolve rules in synthesis.cpp).
#pragma once

#include "codec/dds.h"
#include "format/lnd_format.h"
#include "format/material_weights.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lnd {

inline constexpr int kBlockTextureSide = 256;
inline constexpr std::size_t kBlockTexelBytes = std::size_t(kBlockTextureSide) * kBlockTextureSide * 4;
inline constexpr std::size_t kBlockImageHeaderSize = kDdsFileHeaderBytes;   // "DDS " and the header
inline constexpr std::size_t kBlockImageSize = kDdsArgb256Bytes;            // 262272
static_assert(kBlockImageSize == kBlockImageHeaderSize + kBlockTexelBytes);

// The alphas the sea bands give a corner (the first three sea parameters of the settings).
struct SeaAlphas {
    std::uint8_t coast = 128;
    std::uint8_t water = 15;
    std::uint8_t fullWater = 0;
};

// The bilinear weight table (WeightTable, blendWeights) is the format library's, shared with
// Clayvane.

// Synthesises block textures. Holds the per-block lookup tables so that repeated syntheses
// allocate nothing; one instance per thread.
class BlockSynthesizer {
public:
    BlockSynthesizer();

    // Writes the block's 256 rows of 256 texels into `texels` (262144 bytes), four bytes per
    // texel in the order blue, green, red, alpha, row r at byte 1024*r. Texel row r = 16*i + u
    // runs along the cells' first index i, column c = 16*j + v along j.
    void synthesize(const TLndBlock& block, std::span<const TLndCountry> countries,
                    std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                    std::uint8_t* texels);

    // The texels a 64 x 64 tile takes from the block's picture by point sampling: tile texel
    // (y, x) is texel (4y + 2, 4x + 2) of synthesize's rows, written as 64 rows of 256 bytes.
    // Computed alone, a sixteenth of the work, with the same bytes.
    static constexpr int kTileSide = 64;
    void synthesizeTileSamples(const TLndBlock& block, std::span<const TLndCountry> countries,
                               std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                               std::uint8_t* tile);

    struct Entry {
        const std::uint8_t* tex1;   // texels of mat1 (little-endian 5:5:5)
        const std::uint8_t* tex2;   // texels of mat2
        std::uint32_t coef;         // weight of mat1, clamped to 0..255
    };

private:
    // The blend of every fourth square row from `firstRow` (every row when `rowStep` is 1),
    // sixteen texels at a time: put(r, j, px) takes row r's texels of square column j.
    template <class Put>
    void blendRows(const TLndBlock& block, std::span<const TLndCountry> countries,
                   std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea, int firstRow,
                   int rowStep, Put put);

    // One table per resolved country, indexed by altitude + noise (0..510): entries past 255
    // repeat entry 255, which is the clamp of the blended altitude.
    static constexpr int kTableLength = 512;
    const Entry* tableFor(int resolvedCountry, std::span<const TLndCountry> countries,
                          std::span<const TLndMaterial> materials);

    std::vector<Entry> m_tables;   // (16 countries + black) x kTableLength
    std::uint32_t m_built = 0;     // bit c: table of country c is current for this synthesis
};

// One-shot form of BlockSynthesizer::synthesize.
void synthesizeBlockTexels(const TLndBlock& block, std::span<const TLndCountry> countries,
                           std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                           std::uint8_t* texels);

// A whole block image (kBlockImageSize bytes): the header of a 256 x 256 DDS image of 32-bit
// texels with alpha, then the synthesised texels from byte 128.
void synthesizeBlockImage(BlockSynthesizer& synth, const TLndBlock& block, std::span<const TLndCountry> countries,
                          std::span<const TLndMaterial> materials, const TLndNoiseMap& noise, SeaAlphas sea,
                          std::uint8_t* image);

}  // namespace lnd

// ---- The land's device textures ------------------------------------------------------------

namespace lnd {

class CLand;
class DeviceTexture;

// (Re)makes the land's low-resolution device textures from its records, one per record
// (an entry stays empty when its record does not make a texture), and exports them when the
// settings ask for it. Block textures are kept (a device reset does not change the land):
// each kept one refreshes its block's tile instead.
void LoadLoResTextures(CLand& land);

// Synthesises the texture of block record `b` into the land's scratch image, makes its entry
// of the block-texture table and refreshes the block's low-resolution tile. Runs the
// once-per-land exports first. Failures are appended to m_textureError. Returns 0, or -1
// when `b` names no block record (nothing is done then).
int SynthesizeBlockTexture(CLand& land, int b);

// What becomes of the block textures a batch synthesis makes: kept in the block-texture table
// (the editor draws them), or dropped once their tiles are drawn (nothing will draw them; a
// land held without a window saves in far less memory).
enum class BlockTextureUse { Keep, TilesOnly };

// SynthesizeBlockTexture for each listed block (entries naming no block record skipped), the
// work spread over `threads` threads (0: one per core). With Keep the land ends exactly as
// after one call per block in list order: the same textures and tiles, texts and messages,
// and the last block's image in the scratch buffer; with TilesOnly the same except that the
// table entries stay as they were. The land must not be touched meanwhile.
void SynthesizeBlockTextures(CLand& land, std::span<const int> blocks, BlockTextureUse use = BlockTextureUse::Keep,
                             unsigned threads = 0);

// Scales the image in the scratch buffer into block `b`'s 64 x 64 tile of its low-resolution
// texture. Skipped when the block names no texture, its tile does not lie inside the texture
// or either texture cannot be had.
void RefreshLoResTile(CLand& land, int b);

// The same from a block texture already made (a 256 x 256 picture of block b). A copy the
// device refuses is counted in the land (takeTileCopyFailures) for the shell to report.
void refreshTileFrom(CLand& land, int b, const DeviceTexture& source);

// What the shells show for each tile the device could not copy.
inline constexpr const char* kTileCopyFailedText = "D3DXLoadSurfaceFromSurface failed miserably !";

}  // namespace lnd
