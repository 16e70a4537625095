// Full and quick saves pinned byte for byte: generated lands (the largest the format holds,
// sea flags, countries beyond the table, tiles off the block grid, tiles shared by two blocks,
// tiles outside their texture, block textures made before the save) saved as the command-line
// tool saves them and compared with the digests of the bytes written when these cases were
// first recorded. However the save spreads its work, the file must not change.
#include "d3dframework/texture.h"
#include "land/land.h"
#include "support/land_builder.h"
#include "textures/synthesis.h"
#include "view/terrain_land.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>


using namespace lnd;

namespace {

std::uint64_t fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

std::uint32_t next(std::uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

enum class Tiles {
    Builder,     // the builder's own tiles: 16 aligned tiles per texture
    Scattered,   // anywhere in 0..192, any texture, overlapping and off the 4-texel blocks
    Wild,        // some outside their texture or naming no texture
};

struct PinCase {
    const char* name;
    std::uint32_t seed;   // 0: the largest land of the limits test
    int blocks, countries, materials, loRes;
    Tiles tiles;
    int madeBefore;       // block textures synthesised one by one before the saves
    std::uint64_t full, quick;
};

std::vector<std::uint8_t> generate(const PinCase& c) {
    lndtest::LandBuilder b;
    b.countries(c.countries).materials(c.materials).loResTextures(c.loRes);
    if (c.seed == 0) {
        for (int k = 0; k < c.blocks; ++k) {
            const int square = (k * 7) % 1024;
            b.block(square / 32, square % 32, [k](TLndBlock& blk) {
                for (auto& row : blk.Cells)
                    for (TLndCell& cell : row) cell.CellFlags = std::uint16_t(k % 15);
            });
        }
        return b.build();
    }
    std::uint32_t x = c.seed * 2654435761u + 1;
    bool used[32][32] = {};
    for (int made = 0; made < c.blocks;) {
        const int gx = int(next(x) % 32), gz = int(next(x) % 32);
        if (used[gx][gz]) continue;
        used[gx][gz] = true;
        ++made;
        const std::uint32_t blockSeed = next(x);
        b.block(gx, gz, [blockSeed, c](TLndBlock& blk) {
            std::uint32_t y = blockSeed | 1;
            for (auto& row : blk.Cells)
                for (auto& cell : row) {
                    cell.Altitude = std::uint8_t(next(y) % 12 == 0 ? next(y) % 4 : 20 + next(y) % 236);
                    // Sea bands and indices one past the table now and then.
                    const std::uint16_t country = std::uint16_t(next(y) % std::uint32_t(c.countries + 1));
                    cell.CellFlags = std::uint16_t((next(y) % 5 == 0 ? (next(y) & 0x00F0u) : 0u) | country);
                }
            if (c.tiles == Tiles::Builder) return;
            blk.LoResTexture = std::int32_t(next(y) % std::uint32_t(c.loRes));
            blk.LoResX = std::int32_t(next(y) % 193);
            blk.LoResY = std::int32_t(next(y) % 193);
            if (c.tiles == Tiles::Wild && next(y) % 4 == 0) {
                const std::int32_t wild[] = {-1, 193, 1 << 20, c.loRes};
                (next(y) % 2 ? blk.LoResX : blk.LoResTexture) = wild[next(y) % 4];
            }
        });
    }
    return b.build();
}

TEST(SavePin, FullAndQuickSavesWriteTheRecordedBytes) {
    const PinCase cases[] = {
        {"largest", 0, 255, 15, 40, 64, Tiles::Builder, 0, 0x6a4edf1bd2b851b5ull, 0xe578b5fcf15afd8dull},
        {"sea and stray countries", 11, 120, 6, 9, 8, Tiles::Builder, 0, 0x1999c009ebdb921dull, 0x566a675152768580ull},
        {"scattered tiles", 23, 200, 15, 17, 5, Tiles::Scattered, 0, 0xa010e68ecf922b4eull, 0x78d3ebd9b661b6f7ull},
        {"wild tiles", 37, 90, 3, 4, 3, Tiles::Wild, 0, 0x86bbcbb49b8bfe06ull, 0x50ae15f2f384493bull},
        {"some made before", 41, 60, 4, 5, 2, Tiles::Scattered, 25, 0x36487d2a830ff3e2ull, 0xb17a78171c247a1full},
        {"one texture, no material", 53, 30, 1, 0, 1, Tiles::Scattered, 0, 0x77639aae4c452192ull, 0xbac4c157f4a37155ull},
    };
    lndtest::TempDir dir;
    for (const PinCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir.file("in.lnd");
        lndtest::writeBytes(in, generate(c));
        std::uint64_t got[2] = {};
        for (SaveKind kind : {SaveKind::Full, SaveKind::Quick}) {
            HeadlessLand held;
            ASSERT_TRUE(held.open(in));
            for (int b = 0; b < c.madeBefore; ++b) SynthesizeBlockTexture(held.land, (b * 7) % c.blocks);
            const std::string out = dir.file("out.lnd");
            ASSERT_TRUE(held.save(out, kind));
            got[kind == SaveKind::Full ? 0 : 1] = fnv1a(lndtest::readBytes(out));
            // Saving again changes nothing, whether or not the block textures were kept.
            ASSERT_TRUE(held.save(out, kind));
            EXPECT_EQ(fnv1a(lndtest::readBytes(out)), got[kind == SaveKind::Full ? 0 : 1]);
        }
        EXPECT_EQ(got[0], c.full) << std::hex << got[0];
        EXPECT_EQ(got[1], c.quick) << std::hex << got[1];
    }
}

// A batch over any number of threads leaves the land as one block at a time does: every
// low-resolution texture, every kept block texture, the scratch image and the error text;
// without keeping, the same tiles and no table entry. Tiles overlap and straddle DXT3 blocks,
// some lie outside their texture, and the list names a block twice and blocks that do not exist.
TEST(SavePin, BatchSynthesisEqualsOneBlockAtATime) {
    const PinCase c{"wild", 37, 90, 3, 4, 3, Tiles::Wild, 0, 0, 0};
    lndtest::TempDir dir;
    const std::string in = dir.file("in.lnd");
    lndtest::writeBytes(in, generate(c));
    std::vector<int> list;
    for (int b = 0; b < c.blocks; ++b) list.push_back((b * 37) % c.blocks);
    list.insert(list.begin() + 10, {-1, c.blocks, list[3]});

    HeadlessLand reference;
    ASSERT_TRUE(reference.open(in));
    for (int b : list) SynthesizeBlockTexture(reference.land, b);
    auto loResOf = [](CLand& land, std::size_t t) {
        const DeviceTexture& tex = *land.textures().loRes().at(t);
        return std::vector<std::uint8_t>(tex.levelBytes(0), tex.levelBytes(0) + tex.levelByteSize(0));
    };

    for (const BlockTextureUse use : {BlockTextureUse::Keep, BlockTextureUse::TilesOnly}) {
        for (const unsigned threads : {1u, 2u, 3u, 7u}) {
            SCOPED_TRACE(std::to_string(threads) + (use == BlockTextureUse::Keep ? " threads, kept" : " threads, dropped"));
            HeadlessLand held;
            ASSERT_TRUE(held.open(in));
            SynthesizeBlockTextures(held.land, list, use, threads);
            EXPECT_EQ(held.land.textureError(), reference.land.textureError());
            EXPECT_EQ(held.land.textures().scratch(), reference.land.textures().scratch());
            for (std::size_t t = 0; t < std::size_t(c.loRes); ++t)
                EXPECT_EQ(loResOf(held.land, t), loResOf(reference.land, t)) << "texture " << t;
            for (int b = 0; b < c.blocks; ++b) {
                const bool kept = held.land.textures().blocks().has(std::size_t(b));
                ASSERT_EQ(kept, use == BlockTextureUse::Keep) << "block " << b;
                if (!kept) continue;
                const DeviceTexture& mine = *held.land.textures().blocks().at(std::size_t(b));
                const DeviceTexture& theirs = *reference.land.textures().blocks().at(std::size_t(b));
                ASSERT_EQ(mine.levelCount(), theirs.levelCount());
                for (std::uint32_t l = 0; l < mine.levelCount(); l += 3)
                    EXPECT_EQ(std::memcmp(mine.levelBytes(l), theirs.levelBytes(l), mine.levelByteSize(l)), 0)
                        << "block " << b << " level " << l;
            }
        }
    }
}

}  // namespace
