#include "textures/synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

using namespace lnd;

namespace {

// A small land of one block held as records, everything zero unless a test sets it.
struct Scene {
    TLndBlock block{};
    std::vector<TLndCountry> countries;
    std::vector<TLndMaterial> materials;
    std::unique_ptr<TLndNoiseMap> noise = std::make_unique<TLndNoiseMap>();
    SeaAlphas sea;

    Scene(int numCountries, int numMaterials) : countries(numCountries), materials(numMaterials) {
        std::memset(&block, 0, sizeof block);
        for (auto& c : countries) std::memset(&c, 0, sizeof c);
        for (auto& m : materials) std::memset(&m, 0, sizeof m);
        std::memset(noise.get(), 0, sizeof *noise);
    }
    void fillMaterial(int m, std::uint16_t texel) {
        for (auto& row : materials[m].Texels)
            for (auto& t : row) t = texel;
    }
    void setEntry(int c, int h, int mat1, int mat2, int coef) {
        countries[c].Coefs[h].mat1 = mat1;
        countries[c].Coefs[h].mat2 = mat2;
        countries[c].Coefs[h].coef = coef;
    }
    void setAllEntries(int c, int mat1, int mat2, int coef) {
        for (int h = 0; h < 256; ++h) setEntry(c, h, mat1, mat2, coef);
    }
    std::vector<std::uint8_t> run() const {
        std::vector<std::uint8_t> out(kBlockTexelBytes, 0xCD);
        synthesizeBlockTexels(block, countries, materials, *noise, sea, out.data());
        return out;
    }
};

struct Texel {
    int b, g, r, a;
    bool operator==(const Texel&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Texel& t) {
    return os << "(b" << t.b << " g" << t.g << " r" << t.r << " a" << t.a << ")";
}
Texel texelAt(const std::vector<std::uint8_t>& img, int r, int c) {
    const std::uint8_t* p = &img[4 * (256 * r + c)];
    return {p[0], p[1], p[2], p[3]};
}

// The formula texel by texel, written as plainly as possible, with the same rules for
// indices from the file that the kernel applies.
std::vector<std::uint8_t> reference(const Scene& s) {
    std::vector<std::uint8_t> out(kBlockTexelBytes);
    const int nc = int(s.countries.size());
    const int nm = int(s.materials.size());
    auto W = [](int a, int b) { return int(std::floor(a * b * 255.0 / 225.0 + 0.5)); };
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) {
            const TLndCell* k[4] = {&s.block.Cells[i][j], &s.block.Cells[i + 1][j], &s.block.Cells[i][j + 1],
                                    &s.block.Cells[i + 1][j + 1]};
            int cty[4];
            cty[0] = nc == 0 ? -1 : std::min(k[0]->countryIndex(), nc - 1);
            for (int q = 1; q < 4; ++q) cty[q] = k[q]->countryIndex() < nc ? k[q]->countryIndex() : cty[0];
            for (int u = 0; u < 16; ++u)
                for (int v = 0; v < 16; ++v) {
                    const int r = 16 * i + u, c = 16 * j + v;
                    const int n = s.noise->Values[r][c];
                    int ch[4][4];   // corner, channel b g r a
                    for (int q = 0; q < 4; ++q) {
                        const int h = std::min(k[q]->Altitude + n, 255);
                        int p1 = 0, p2 = 0, coef = 0;
                        if (cty[q] >= 0 && nm > 0) {
                            const TLndCoef& e = s.countries[cty[q]].Coefs[h];
                            auto mat = [&](int m) { return (m < 0 || m >= nm) ? nm - 1 : m; };
                            p1 = s.materials[mat(e.mat1)].Texels[r][c];
                            p2 = s.materials[mat(e.mat2)].Texels[r][c];
                            coef = std::clamp<int>(e.coef, 0, 255);
                        }
                        for (int x = 0; x < 3; ++x) {
                            const int e1 = ((p1 >> (5 * x)) & 31) * 8, e2 = ((p2 >> (5 * x)) & 31) * 8;
                            ch[q][x] = ((e1 * coef + e2 * (255 - coef)) / 256) & 0xFF;
                        }
                        ch[q][3] = 255;
                        if (k[q]->has(kCoast)) ch[q][3] = s.sea.coast;
                        else if (k[q]->has(kWater)) ch[q][3] = s.sea.water;
                        else if (k[q]->has(kFullWater)) ch[q][0] = ch[q][1] = ch[q][2] = 0, ch[q][3] = s.sea.fullWater;
                    }
                    const int w[4] = {W(15 - u, 15 - v), W(u, 15 - v), W(15 - u, v), W(u, v)};
                    for (int x = 0; x < 4; ++x)
                        out[4 * (256 * r + c) + x] =
                            std::uint8_t((w[0] * ch[0][x] + w[1] * ch[1][x] + w[2] * ch[2][x] + w[3] * ch[3][x]) / 256);
                }
        }
    return out;
}

void setCell(Scene& s, int i, int j, int altitude, std::uint16_t flags) {
    s.block.Cells[i][j].Altitude = std::uint8_t(altitude);
    s.block.Cells[i][j].CellFlags = flags;
}

}  // namespace

TEST(SynthesisWeights, TableValues) {
    const WeightTable& w = blendWeights();
    EXPECT_EQ(w[15][15], 255);
    EXPECT_EQ(w[15][0], 0);
    EXPECT_EQ(w[0][9], 0);
    EXPECT_EQ(w[1][1], 1);
    EXPECT_EQ(w[7][7], 56);
    EXPECT_EQ(w[15][7], 119);
}

TEST(SynthesisTexels, UniformSquareOfWhiteMaterial) {
    Scene s(1, 2);
    s.fillMaterial(1, 0x7FFF);
    s.setAllEntries(0, 1, 0, 255);
    const auto img = s.run();
    // corner channels floor(248*255/256) = 247; texels floor(255*247/256) = 246, alpha 254
    EXPECT_EQ(texelAt(img, 0, 0), (Texel{246, 246, 246, 254}));
    EXPECT_EQ(texelAt(img, 255, 255), (Texel{246, 246, 246, 254}));
    EXPECT_EQ(texelAt(img, 100, 37), (Texel{246, 246, 246, 254}));
}

TEST(SynthesisTexels, ChannelsComeFromTheirBitFields) {
    Scene s(1, 2);
    s.fillMaterial(0, std::uint16_t((3 << 10) | (17 << 5) | 30));  // red 3, green 17, blue 30
    s.fillMaterial(1, std::uint16_t((31 << 10) | (0 << 5) | 1));
    s.setAllEntries(0, 0, 1, 100);
    const auto img = s.run();
    auto corner = [](int e1, int e2) { return (e1 * 8 * 100 + e2 * 8 * 155) / 256; };
    const Texel expect{255 * corner(30, 1) / 256, 255 * corner(17, 0) / 256, 255 * corner(3, 31) / 256, 254};
    EXPECT_EQ(texelAt(img, 5, 9), expect);
}

TEST(SynthesisTexels, LastTexelOfASquareTakesCornerD) {
    Scene s(1, 3);
    s.fillMaterial(1, 0x7FFF);
    s.fillMaterial(2, std::uint16_t(10 << 10));   // red 10
    s.setAllEntries(0, 1, 0, 255);
    s.setEntry(0, 40, 2, 0, 255);
    setCell(s, 1, 1, 40, 0);   // corner D of square (0,0)
    const auto img = s.run();
    EXPECT_EQ(texelAt(img, 15, 15), (Texel{0, 0, 255 * (80 * 255 / 256) / 256, 254}));
    EXPECT_EQ(texelAt(img, 0, 0), (Texel{246, 246, 246, 254}));
    // the neighbouring squares see the same cell as corner A, B or C
    EXPECT_EQ(texelAt(img, 16, 16), (Texel{0, 0, 255 * (80 * 255 / 256) / 256, 254}));
}

TEST(SynthesisTexels, SeaBandsSetCornerAlpha) {
    Scene s(1, 2);
    s.fillMaterial(1, 0x7FFF);
    s.setAllEntries(0, 1, 0, 255);
    s.sea = {128, 15, 40};
    setCell(s, 0, 0, 0, kCoast | kWater | kFullWater);   // coast wins over the others
    setCell(s, 0, 16, 0, kWater | kFullWater);          // water wins over full water
    setCell(s, 16, 0, 0, kFullWater);
    const auto img = s.run();
    EXPECT_EQ(texelAt(img, 0, 0), (Texel{246, 246, 246, 255 * 128 / 256}));
    // across the square the alpha fades towards the other corners
    const auto& w = blendWeights();
    const int a = (w[15 - 7][15 - 7] * 128 + (255 - w[15 - 7][15 - 7]) * 255) / 256;
    EXPECT_EQ(texelAt(img, 7, 7).a, a);
    EXPECT_EQ(texelAt(img, 15, 15).a, 254);
    EXPECT_EQ(texelAt(img, 0, 255), (Texel{246, 246, 246, 255 * 15 / 256}));
    // full water is black
    EXPECT_EQ(texelAt(img, 255, 0), (Texel{0, 0, 0, 255 * 40 / 256}));
}

TEST(SynthesisTexels, BlendedAltitudeClampsAt255) {
    Scene s(1, 3);
    s.fillMaterial(1, 0x7FFF);
    s.fillMaterial(2, std::uint16_t(8));
    s.setAllEntries(0, 1, 0, 255);
    s.setEntry(0, 255, 2, 0, 255);   // only the top entry is blue
    for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 17; ++j) setCell(s, i, j, 250, 0);
    std::memset(s.noise.get(), 10, sizeof *s.noise);
    auto img = s.run();
    EXPECT_EQ(texelAt(img, 33, 44), (Texel{255 * 63 / 256, 0, 0, 254}));
    std::memset(s.noise.get(), 4, sizeof *s.noise);   // 254: below the top entry
    img = s.run();
    EXPECT_EQ(texelAt(img, 33, 44), (Texel{246, 246, 246, 254}));
}

TEST(SynthesisTexels, BadCornerCountriesNeverLeaveTheTable) {
    Scene s(2, 3);
    s.fillMaterial(1, 0x7FFF);
    s.fillMaterial(2, std::uint16_t(31 << 5));
    s.setAllEntries(0, 2, 0, 255);   // country 0: green
    s.setAllEntries(1, 1, 0, 255);   // country 1: white
    for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 17; ++j) setCell(s, i, j, 0, 9);   // country 9 does not exist
    setCell(s, 0, 0, 0, 0);                                    // A of square (0,0): country 0
    auto img = s.run();
    // B, C and D of square (0,0) blend with A's country
    EXPECT_EQ(texelAt(img, 15, 15), (Texel{0, 246, 0, 254}));
    // elsewhere A itself is out of range: the last country
    EXPECT_EQ(texelAt(img, 200, 200), (Texel{246, 246, 246, 254}));

    Scene none(0, 2);
    none.fillMaterial(1, 0x7FFF);
    img = none.run();
    EXPECT_EQ(texelAt(img, 3, 3), (Texel{0, 0, 0, 254}));
}

TEST(SynthesisTexels, BadBlendEntriesNeverLeaveTheTables) {
    Scene s(1, 2);
    s.fillMaterial(1, 0x7FFF);
    s.setAllEntries(0, 7, -3, 255);   // both materials beyond the table: the last one
    auto img = s.run();
    EXPECT_EQ(texelAt(img, 0, 0), (Texel{246, 246, 246, 254}));
    s.setAllEntries(0, 1, 0, 100000);  // weight clamped to 255
    img = s.run();
    EXPECT_EQ(texelAt(img, 0, 0), (Texel{246, 246, 246, 254}));
    s.setAllEntries(0, 1, 1, -5);      // clamped to 0: all of mat2
    s.fillMaterial(0, 0x7FFF);
    s.setAllEntries(0, 1, 0, -5);
    img = s.run();
    EXPECT_EQ(texelAt(img, 0, 0), (Texel{246, 246, 246, 254}));

    Scene noMaterials(1, 0);
    noMaterials.setAllEntries(0, 0, 0, 255);
    img = noMaterials.run();
    EXPECT_EQ(texelAt(img, 9, 9), (Texel{0, 0, 0, 254}));
}

TEST(SynthesisTexels, MatchesTheFormulaOnRandomLands) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 6; ++trial) {
        const int nc = 1 + trial % 4, nm = 1 + trial;
        Scene s(nc, nm);
        for (int m = 0; m < nm; ++m)
            for (auto& row : s.materials[m].Texels)
                for (auto& t : row) t = std::uint16_t(rng());
        for (int c = 0; c < nc; ++c)
            for (int h = 0; h < 256; ++h) {
                // mostly sound entries, some from a careless tool
                const bool bad = rng() % 16 == 0;
                s.setEntry(c, h, bad ? int(rng() % 20) - 5 : int(rng() % nm), int(rng() % nm),
                           bad ? int(rng() % 600) - 200 : int(rng() % 256));
            }
        const std::uint16_t flagChoices[] = {0, 0, 0, kWater, kCoast, kFullWater, kSplit, kWater | kEditMarks};
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j) {
                // plateaus (merged corners) and rough ground alike
                const int alt = trial % 2 ? int(rng() % 256) : (i / 4) * 60;
                setCell(s, i, j, alt, std::uint16_t(flagChoices[rng() % 8] | (rng() % 6)));
            }
        for (auto& row : s.noise->Values)
            for (auto& n : row) n = std::uint8_t(rng() % (trial < 3 ? 32 : 256));
        s.sea = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())};
        const auto got = s.run();
        const auto want = reference(s);
        ASSERT_EQ(got, want) << "trial " << trial;
        // A tile's samples alone are the whole picture's texels at (4y + 2, 4x + 2).
        std::vector<std::uint8_t> tile(64 * 64 * 4, 0xEE);
        BlockSynthesizer synth;
        synth.synthesizeTileSamples(s.block, s.countries, s.materials, *s.noise, s.sea, tile.data());
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                ASSERT_EQ(std::memcmp(&tile[std::size_t(4 * (64 * y + x))], &want[std::size_t(4 * (256 * (4 * y + 2) + 4 * x + 2))], 4), 0)
                    << "trial " << trial << " tile texel " << y << ", " << x;
    }
}

TEST(SynthesisImage, HeaderWords) {
    Scene s(1, 1);
    std::vector<std::uint8_t> image(kBlockImageSize, 0xEE);
    BlockSynthesizer synth;
    synthesizeBlockImage(synth, s.block, s.countries, s.materials, *s.noise, s.sea, image.data());
    EXPECT_EQ(std::memcmp(image.data(), "DDS ", 4), 0);
    const std::pair<int, std::uint32_t> words[] = {{4, 124},       {8, 0x21007},     {12, 256},  {16, 256},
                                                   {28, 1},        {76, 32},         {80, 0x41}, {88, 32},
                                                   {92, 0xFF0000}, {96, 0xFF00},     {100, 0xFF}, {104, 0xFF000000u},
                                                   {108, 0x401008}};
    for (int off = 4; off < 128; off += 4) {
        std::uint32_t want = 0;
        for (auto [o, v] : words)
            if (o == off) want = v;
        EXPECT_EQ(loadU32(&image[off]), want) << "offset " << off;
    }
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + 128, image.end()), s.run());
}
