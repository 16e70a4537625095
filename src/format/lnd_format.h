// Records of the landscape file (.lnd).
//
// This header is the one definition of the file's bytes and is shared at source level by
// every program of the toolkit (Strakmill and Clayvane include it without linking the core).
// It is header-only and depends on the standard library and base/byte_order.h alone.
//
// Every record is made of byte arrays and little-endian field types, so a record has
// alignment 1, no padding, and the same bytes on any host: a record pointer may point
// anywhere into a file image. The sizes below are the file's; they can never change
// without breaking every land already written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/byte_order.h"

namespace lnd {

// ---------------------------------------------------------------------------------------
// Little-endian field types
// ---------------------------------------------------------------------------------------

struct LeU16 {
    std::uint8_t b[2];
    operator std::uint16_t() const { return loadU16(b); }
    LeU16& operator=(std::uint16_t v) { storeU16(b, v); return *this; }
};

struct LeU32 {
    std::uint8_t b[4];
    operator std::uint32_t() const { return loadU32(b); }
    LeU32& operator=(std::uint32_t v) { storeU32(b, v); return *this; }
};

struct LeI32 {
    std::uint8_t b[4];
    operator std::int32_t() const { return static_cast<std::int32_t>(loadU32(b)); }
    LeI32& operator=(std::int32_t v) { storeU32(b, static_cast<std::uint32_t>(v)); return *this; }
};

struct LeF32 {
    std::uint8_t b[4];
    operator float() const {
        std::uint32_t bits = loadU32(b);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    LeF32& operator=(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        storeU32(b, bits);
        return *this;
    }
};

// ---------------------------------------------------------------------------------------
// Sizes and constants
// ---------------------------------------------------------------------------------------

inline constexpr std::size_t kHeaderSize = 1052;
inline constexpr std::size_t kLoResTexSize = 65680;
inline constexpr std::size_t kBlockSize = 2520;
inline constexpr std::size_t kCellSize = 8;
inline constexpr std::size_t kCountrySize = 3076;
inline constexpr std::size_t kCoefSize = 12;
inline constexpr std::size_t kMaterialSize = 131074;
inline constexpr std::size_t kNoiseMapSize = 65536;
inline constexpr std::size_t kBumpMapSize = 65536;

inline constexpr int kGridSize = 32;        // blocks per side of the land grid
inline constexpr int kCellsPerSide = 17;    // cells per side of a block (16 squares)
inline constexpr int kSquaresPerSide = 16;
inline constexpr float kCellSpacing = 10.0f;
inline constexpr float kBlockSpan = 160.0f;

// The DDS image of a low-resolution texture: the 4-byte slot of its magic holds DdsSize.
inline constexpr std::size_t kDdsImageOffset = 16;       // within TLndLoResTex
inline constexpr std::int32_t kDdsImageSize = 65664;     // DdsSize of every record
inline constexpr std::size_t kLoResDdsHeaderSize = 124;   // the DDS header after the magic slot
inline constexpr std::size_t kLoResDataOffset = 144;     // DXT3 blocks within TLndLoResTex
inline constexpr std::size_t kLoResDataSize = 65536;     // 64 x 64 blocks of 16 bytes

// CellFlags bits.
inline constexpr std::uint16_t kCountryMask = 0x000F;
inline constexpr std::uint16_t kWater = 0x0010;
inline constexpr std::uint16_t kCoast = 0x0020;
inline constexpr std::uint16_t kSculptMark = 0x0040;  // set with Water/Coast by the sculpting editor
inline constexpr std::uint16_t kSplit = 0x0080;
inline constexpr std::uint16_t kFullWater = 0x0200;
inline constexpr std::uint16_t kEditMarks = 0x0C00;   // set with Water/Coast by altitude edits

// ---------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------

struct TLndHeader {
    LeI32 NumBlocks;                              // block records + 1 in a file
    std::uint8_t BlockIndex[kGridSize][kGridSize];  // [gx][gz], 1-based block number, 0 = sea
    LeI32 NumMaterials;
    LeI32 NumCountries;
    LeI32 BlockSize;      // carried; never used to size records
    LeI32 MaterialSize;   // carried
    LeI32 CountrySize;    // carried
    LeU32 NumLoResTextures;
};

struct TLndLoResTex {
    std::uint8_t Opaque[16];
    LeI32 DdsSize;                         // stands where the DDS magic would be
    std::uint8_t DdsHeader[kLoResDdsHeaderSize];   // a DDS header after the magic
    std::uint8_t Data[kLoResDataSize];     // 64 rows of 64 DXT3 blocks
};

struct TLndCell {
    std::uint8_t Opaque[4];
    std::uint8_t Altitude;
    std::uint8_t Shade;       // lowest byte of the vertex colour; never changed
    LeU16 CellFlags;

    int countryIndex() const { return CellFlags & kCountryMask; }
    bool has(std::uint16_t flag) const { return (CellFlags & flag) != 0; }
};

struct TLndBlock {
    TLndCell Cells[kCellsPerSide][kCellsPerSide];  // [i along x][j along z]
    LeI32 BlockNumber;
    LeF32 MapX;
    LeF32 MapZ;
    LeI32 GridX;
    LeI32 GridZ;
    std::uint8_t Opaque1[164];
    LeI32 LoResTexture;
    std::uint8_t Opaque2[8];
    LeI32 LoResX;
    LeI32 LoResY;
    std::uint8_t Opaque3[4];
};

struct TLndCoef {
    LeI32 mat1;
    LeI32 mat2;
    LeI32 coef;   // weight of mat1 on 0..255
};

struct TLndCountry {
    LeI32 Index;
    TLndCoef Coefs[256];   // by blended altitude
};

struct TLndMaterial {
    LeU16 Opaque;
    LeU16 Texels[256][256];  // [row][column], 5:5:5 red-green-blue
};

struct TLndNoiseMap {
    std::uint8_t Values[256][256];
};

struct TLndBumpMap {
    std::uint8_t Values[256][256];
};

static_assert(sizeof(TLndHeader) == kHeaderSize && alignof(TLndHeader) == 1);
static_assert(offsetof(TLndHeader, NumMaterials) == 1028);
static_assert(offsetof(TLndHeader, NumLoResTextures) == 1048);
static_assert(sizeof(TLndLoResTex) == kLoResTexSize && alignof(TLndLoResTex) == 1);
static_assert(offsetof(TLndLoResTex, DdsSize) == 16 && offsetof(TLndLoResTex, Data) == 144);
static_assert(sizeof(TLndCell) == kCellSize);
static_assert(offsetof(TLndCell, Altitude) == 4 && offsetof(TLndCell, CellFlags) == 6);
static_assert(sizeof(TLndBlock) == kBlockSize && alignof(TLndBlock) == 1);
static_assert(offsetof(TLndBlock, BlockNumber) == 2312);
static_assert(offsetof(TLndBlock, MapX) == 2316 && offsetof(TLndBlock, MapZ) == 2320);
static_assert(offsetof(TLndBlock, GridX) == 2324 && offsetof(TLndBlock, GridZ) == 2328);
static_assert(offsetof(TLndBlock, LoResTexture) == 2496);
static_assert(offsetof(TLndBlock, LoResX) == 2508 && offsetof(TLndBlock, LoResY) == 2512);
static_assert(sizeof(TLndCoef) == kCoefSize);
static_assert(sizeof(TLndCountry) == kCountrySize && alignof(TLndCountry) == 1);
static_assert(sizeof(TLndMaterial) == kMaterialSize && alignof(TLndMaterial) == 1);
static_assert(sizeof(TLndNoiseMap) == kNoiseMapSize && sizeof(TLndBumpMap) == kBumpMapSize);

// Expands a 5-bit material channel to 8 bits (low bits zero).
inline constexpr std::uint8_t expandChannel5(unsigned c) {
    return static_cast<std::uint8_t>((c & 0x1F) << 3);
}

// Typed access to a record inside a byte image. The records have alignment 1 and consist of
// bytes only, so any offset is valid; the caller has checked the bounds.
template <typename T>
inline T* recordAt(std::uint8_t* image, std::size_t offset) {
    return reinterpret_cast<T*>(image + offset);
}
template <typename T>
inline const T* recordAt(const std::uint8_t* image, std::size_t offset) {
    return reinterpret_cast<const T*>(image + offset);
}

// ---------------------------------------------------------------------------------------
// The 512 x 512 "big map" dump of one kind of cell data (shared by Strakmill and lndtool)
// ---------------------------------------------------------------------------------------

enum class DumpChoice : int { Altitude = 1, Country = 2, Split = 3 };

inline constexpr int kBigMapSide = kGridSize * kSquaresPerSide;  // 512
inline constexpr std::size_t kBigMapSize = std::size_t(kBigMapSide) * kBigMapSide;

// Writes one block's cells into the big map: row 16*GridX + i, column 16*GridZ + j, with i the
// first cell index (along x). The altitude dump covers the 17th row and column, the others
// 16 x 16. Cells whose pixel falls outside the map (grid position outside 0..31, or the
// 17th row/column of an edge block) are skipped rather than written elsewhere.
inline void dumpBlockIntoBigMap(const TLndBlock& block, DumpChoice choice, std::uint8_t* bigMap) {
    const std::int32_t r = block.GridX;
    const std::int32_t c = block.GridZ;
    const int n = choice == DumpChoice::Altitude ? kCellsPerSide : kSquaresPerSide;
    for (int i = 0; i < n; ++i) {
        const std::int64_t row = std::int64_t(r) * kSquaresPerSide + i;
        if (row < 0 || row >= kBigMapSide) continue;
        for (int j = 0; j < n; ++j) {
            const std::int64_t col = std::int64_t(c) * kSquaresPerSide + j;
            if (col < 0 || col >= kBigMapSide) continue;
            const TLndCell& cell = block.Cells[i][j];
            std::uint8_t value;
            switch (choice) {
            case DumpChoice::Altitude: value = cell.Altitude; break;
            case DumpChoice::Country: value = cell.CellFlags.b[0] & 0x0F; break;
            default: value = cell.CellFlags.b[0] & 0x80; break;
            }
            bigMap[row * kBigMapSide + col] = value;
        }
    }
}

}  // namespace lnd
