// Clayvane's saves pinned byte for byte: generated lands of several seeds and sizes (orphan
// records, no or several low-resolution textures, bytes after the bump map), edited by
// sculpt and paint strokes, saved, and compared with the digests of the bytes the editor
// wrote when these cases were first recorded. A change in what Clayvane writes fails here.
#include "sculpt_support.h"

#include <gtest/gtest.h>


using namespace clay;
using namespace lnd;

namespace {

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

struct SPinCase {
    const char* name;
    std::uint32_t seed;
    int blocks;        // blocks on random squares of the grid
    int orphans;       // records no square names
    int countries, materials, loRes;
    int trailing;      // bytes after the bump map in the loaded file
    std::uint64_t digest;
};

std::uint32_t Next(std::uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

std::vector<std::uint8_t> Generate(const SPinCase& c) {
    std::uint32_t x = c.seed * 2654435761u + 1;
    lndtest::LandBuilder b;
    bool used[32][32] = {};
    for (int made = 0; made < c.blocks;) {
        const int gx = int(Next(x) % 32), gz = int(Next(x) % 32);
        if (used[gx][gz]) continue;
        used[gx][gz] = true;
        ++made;
        const std::uint32_t blockSeed = Next(x);
        b.block(gx, gz, [blockSeed, countries = c.countries](TLndBlock& blk) {
            std::uint32_t y = blockSeed | 1;
            for (auto& row : blk.Cells)
                for (auto& cell : row) {
                    cell.Altitude = std::uint8_t(Next(y) % 12 == 0 ? Next(y) % 4 : 20 + Next(y) % 200);
                    const std::uint16_t country = std::uint16_t(Next(y) % std::uint32_t(countries + 1));
                    cell.CellFlags = std::uint16_t((Next(y) & 0xFFF0u) | country);
                }
        });
    }
    for (int o = 0; o < c.orphans; ++o) b.orphanBlock();
    auto image = b.countries(c.countries).materials(c.materials).loResTextures(c.loRes).build();
    for (int t = 0; t < c.trailing; ++t) image.push_back(std::uint8_t(Next(x)));
    return image;
}

// Strokes of both kinds on a few slots, at centres spread over the land.
void Edit(CSculptingApp& app, CNullTarget& rt, std::uint32_t seed) {
    std::uint32_t x = seed * 40503u + 7;
    const int slots = app.m_mesh.Count();
    for (int k = 0; k < 6 && slots > 0; ++k) {
        const int s = int(Next(x) % std::uint32_t(slots));
        const int t = int(Next(x) % kTrianglesPerBlock);
        app.m_pick = {1, s, t, 1.0f, (Next(x) % 2) ? 0.9f : 0.1f, 0.05f};
        app.m_stroke.m_radius = float(17 + Next(x) % 234);
        app.m_stroke.m_strength = (k % 2 ? -1.0f : 1.0f) * float(1 + Next(x) % 40) / 4.0f;
        app.SelectBrush(int(Next(x) % 8));
        app.m_input.left = true;
        app.m_toggles.liveTexture = k == 2;
        for (int f = 0; f < 3; ++f) app.SculptStroke(rt);
        app.m_stroke.m_country = std::uint8_t(Next(x) % 16);
        app.PaintStroke(rt);
    }
}

TEST(ClayvaneSavePins, GeneratedLandsSaveTheRecordedBytes) {
    const SPinCase cases[] = {
        {"one block", 1, 1, 0, 1, 1, 1, 0, 0x283e4b6c1826e0f4ull},
        {"a few blocks, orphans", 2, 12, 2, 3, 2, 2, 0, 0xedabaedbd4ee7d6bull},
        {"no low-res textures", 3, 30, 0, 4, 3, 0, 0, 0xc3bc11324f04bbd2ull},
        {"trailing bytes", 4, 60, 1, 2, 1, 1, 333, 0xb4eadba24beabfd9ull},
        {"many countries", 5, 25, 3, 15, 4, 3, 1, 0x7a785d1f36afa84eull},
        {"full land", 6, 255, 0, 5, 2, 16, 0, 0x4bf9fbaeff88e029ull},
    };
    lndtest::TempDir dir;
    for (const SPinCase& c : cases) {
        CNullTarget rt;
        auto app = sculpttest::Started(Generate(c), rt);
        ASSERT_TRUE(app) << c.name;
        Edit(*app, rt, c.seed);
        sculpttest::CRecordingShell shell;
        const std::string path = dir.file("pin.lnd");
        ASSERT_TRUE(app->Save(path, shell)) << c.name;
        const auto saved = lndtest::readBytes(path);
        EXPECT_EQ(Fnv1a(saved), c.digest) << c.name << ": 0x" << std::hex << Fnv1a(saved);
        // A second save of the same land writes the same bytes.
        ASSERT_TRUE(app->Save(path, shell)) << c.name;
        EXPECT_EQ(lndtest::readBytes(path), saved) << c.name;
    }
}

}  // namespace
