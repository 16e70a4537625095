#include "tools/sample_land.h"
#include "land/lores_record.h"

#include "d3dframework/texture.h"
#include "format/lnd_file.h"
#include "format/lnd_format.h"
#include "codec/dxt3.h"
#include "textures/synthesis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace lnd {

namespace {

// ---- Noise ------------------------------------------------------------------------------
// Only +, *, floor and sqrt are used, so the bytes do not depend on the host's maths library.

std::uint32_t hash3(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B9u;
    h ^= std::uint32_t(x) * 0x85EBCA6Bu;
    h = (h ^ (h >> 13)) * 0xC2B2AE35u;
    h ^= std::uint32_t(y) * 0x27D4EB2Fu;
    h = (h ^ (h >> 15)) * 0x165667B1u;
    return h ^ (h >> 16);
}

float lattice(std::int32_t x, std::int32_t y, std::uint32_t seed, int period) {
    if (period > 0) {
        x = ((x % period) + period) % period;
        y = ((y % period) + period) % period;
    }
    return float(hash3(x, y, seed) & 0xFFFFFF) / float(0x1000000);
}

float smooth(float t) { return t * t * (3.0f - 2.0f * t); }

// Value noise in 0..1; with a period > 0 it tiles every `period` lattice units.
float valueNoise(float x, float y, std::uint32_t seed, int period = 0) {
    const float fx = std::floor(x), fy = std::floor(y);
    const std::int32_t ix = std::int32_t(fx), iy = std::int32_t(fy);
    const float tx = smooth(x - fx), ty = smooth(y - fy);
    const float a = lattice(ix, iy, seed, period), b = lattice(ix + 1, iy, seed, period);
    const float c = lattice(ix, iy + 1, seed, period), d = lattice(ix + 1, iy + 1, seed, period);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Fractal sum of octaves, normalised to 0..1. Each octave doubles frequency and period.
float fbm(float x, float y, int octaves, std::uint32_t seed, int period = 0) {
    float sum = 0.0f, amp = 1.0f, total = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * valueNoise(x, y, seed + std::uint32_t(o) * 101u, period);
        total += amp;
        amp *= 0.5f;
        x *= 2.0f;
        y *= 2.0f;
        if (period > 0) period *= 2;
    }
    return sum / total;
}

// Ridges: 1 along the noise's mid-line, falling off to 0.
float ridged(float x, float y, int octaves, std::uint32_t seed) {
    const float n = fbm(x, y, octaves, seed);
    const float r = 1.0f - std::fabs(2.0f * n - 1.0f);
    return r * r;
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// ---- Materials ------------------------------------------------------------------------------

std::uint16_t pack555(float r, float g, float b) {
    auto q = [](float v) { return std::uint16_t(std::clamp(int(v / 8.0f + 0.5f), 0, 31)); };
    return std::uint16_t((q(r) << 10) | (q(g) << 5) | q(b));
}

// Tileable 256 x 256 pictures: every noise used here has a period that divides the texture.
void paintMaterial(int kind, std::uint32_t seed, TLndMaterial& m) {
    std::memset(&m, 0, sizeof m);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const float x = float(c) / 256.0f, y = float(r) / 256.0f;
            const float coarse = fbm(x * 4, y * 4, 4, seed + 11, 4);
            const float fine = valueNoise(x * 64, y * 64, seed + 23, 64);
            const float grain = float(hash3(c, r, seed + 37) & 0xFF) / 255.0f;
            float red = 0, green = 0, blue = 0;
            switch (kind) {
            case kSampleSeabed: {
                const float v = 0.75f + 0.35f * coarse + 0.1f * fine;
                red = 70 * v, green = 84 * v, blue = 66 * v;
                break;
            }
            case kSampleSand: {
                const float v = 0.88f + 0.12f * coarse + 0.08f * grain;
                const float ripple = valueNoise(x * 16, y * 32, seed + 5, 16);
                red = 222 * v, green = 198 * v - 10 * ripple, blue = 142 * v - 14 * ripple;
                break;
            }
            case kSampleGrass:
            case kSampleForest: {
                const bool forest = kind == kSampleForest;
                const float patch = fbm(x * 8, y * 8, 3, seed + 3, 8);
                const float blade = 0.8f + 0.3f * grain;
                const float v = (0.7f + 0.45f * patch) * blade;
                red = (forest ? 38 : 86) * v + (forest ? 0 : 30 * coarse);
                green = (forest ? 92 : 146) * v;
                blue = (forest ? 40 : 52) * v;
                if (forest && fine < 0.25f) red *= 0.6f, green *= 0.6f, blue *= 0.6f;   // shadows under trees
                break;
            }
            case kSampleRock: {
                const float crack = fbm(x * 16, y * 16, 3, seed + 13, 16);
                const float line = 1.0f - std::fabs(2.0f * crack - 1.0f);
                float v = 0.72f + 0.35f * coarse + 0.1f * grain;
                if (line > 0.965f) v *= 0.6f;
                red = 128 * v, green = 121 * v, blue = 112 * v;
                break;
            }
            default: {   // snow
                const float v = 0.92f + 0.06f * coarse + 0.03f * grain;
                red = 236 * v, green = 242 * v, blue = 252 * v - 12 * fine;
                break;
            }
            }
            m.Texels[r][c] = pack555(red, green, blue);
        }
}

// ---- Countries ----------------------------------------------------------------------------

struct Stop {
    int h;
    int material;
};

// Between two stops the blend fades from the lower stop's material (weight 255 at its own
// altitude) to the upper one's.
void fillCountry(int index, std::initializer_list<Stop> stops, TLndCountry& country) {
    std::memset(&country, 0, sizeof country);
    country.Index = index;
    const std::vector<Stop> s(stops);
    for (int h = 0; h < 256; ++h) {
        std::size_t k = 0;
        while (k + 2 < s.size() && h >= s[k + 1].h) ++k;
        const Stop& lo = s[k];
        const Stop& hi = s[k + 1];
        TLndCoef& e = country.Coefs[h];
        e.mat1 = lo.material;
        e.mat2 = hi.material;
        const int span = std::max(1, hi.h - lo.h);
        e.coef = std::clamp(255 * (hi.h - h) / span, 0, 255);
        if (lo.material == hi.material) e.coef = 255;
    }
}

void makeCountries(std::vector<TLndCountry>& countries) {
    countries.resize(kSampleCountryCount);
    // grassland
    fillCountry(0, {{0, kSampleSeabed}, {5, kSampleSand}, {20, kSampleSand}, {34, kSampleGrass},
                    {118, kSampleGrass}, {150, kSampleRock}, {192, kSampleRock}, {214, kSampleSnow}, {255, kSampleSnow}},
                countries[0]);
    // woodland
    fillCountry(1, {{0, kSampleSeabed}, {5, kSampleSand}, {17, kSampleSand}, {30, kSampleForest},
                    {106, kSampleForest}, {138, kSampleRock}, {184, kSampleRock}, {204, kSampleSnow}, {255, kSampleSnow}},
                countries[1]);
    // dry highland
    fillCountry(2, {{0, kSampleSeabed}, {6, kSampleSand}, {64, kSampleSand}, {100, kSampleRock},
                    {224, kSampleRock}, {244, kSampleSnow}, {255, kSampleSnow}},
                countries[2]);
}

// ---- Terrain ------------------------------------------------------------------------------

struct Terrain {
    int side = 0;                        // cells per side: 16 * blocks + 1
    std::vector<std::uint8_t> altitude;  // [x * side + z]
    std::vector<std::uint16_t> flags;
    std::vector<std::uint8_t> shade;

    std::uint8_t alt(int x, int z) const {
        x = std::clamp(x, 0, side - 1);
        z = std::clamp(z, 0, side - 1);
        return altitude[std::size_t(x) * side + z];
    }
};

Terrain makeTerrain(int blocks, std::uint32_t seed) {
    Terrain t;
    t.side = 16 * blocks + 1;
    const std::size_t n = std::size_t(t.side) * t.side;
    t.altitude.resize(n);
    t.flags.resize(n);
    t.shade.resize(n);
    const float extent = float(t.side - 1);
    // Feature size follows the land: about two blocks for the coast, wider for the ridges.
    const float coastFreq = float(blocks) * 0.45f, ridgeFreq = float(blocks) * 0.3f;
    for (int x = 0; x < t.side; ++x)
        for (int z = 0; z < t.side; ++z) {
            const float u = float(x) / extent, w = float(z) / extent;
            const float dx = 2.0f * u - 1.0f, dz = 2.0f * w - 1.0f;
            const float d2 = dx * dx + dz * dz;
            const float shape = fbm(u * coastFreq, w * coastFreq, 5, seed + 1);
            const float land = 0.72f * (1.0f - 1.5f * d2) + 0.75f * (shape - 0.5f);
            const float ridge = ridged(u * ridgeFreq, w * ridgeFreq, 4, seed + 2);
            std::uint16_t flags = 0;
            int altitude = 0;
            if (land <= 0.0f) {
                flags = land < -0.1f ? kFullWater : kWater;
            } else {
                const float l = clamp01(land);
                altitude = int(1.0f + 120.0f * l + 360.0f * l * l * ridge);
                altitude = std::clamp(altitude, 1, 250);
                if (altitude < 3) flags = kCoast;
            }
            const float regions = fbm(u * 2.2f, w * 2.2f, 3, seed + 3);
            const int country = regions < 0.42f ? 2 : regions > 0.56f ? 1 : 0;
            flags = std::uint16_t(flags | (altitude > 0 ? country : 0));
            // The editor's open puts Water on the land's open edges; having it already there
            // keeps an unedited open and save byte for byte.
            if (x == 0 || z == 0 || x == t.side - 1 || z == t.side - 1) flags = std::uint16_t(flags | kWater);
            t.altitude[std::size_t(x) * t.side + z] = std::uint8_t(altitude);
            t.flags[std::size_t(x) * t.side + z] = flags;
        }
    // Shade from a light in the north-west, and the diagonal that follows the ground better.
    for (int x = 0; x < t.side; ++x)
        for (int z = 0; z < t.side; ++z) {
            const float gx = float(t.alt(x + 1, z) - t.alt(x - 1, z)) / 20.0f;
            const float gz = float(t.alt(x, z + 1) - t.alt(x, z - 1)) / 20.0f;
            const float len = std::sqrt(gx * gx + gz * gz + 1.0f);
            const float lit = clamp01((0.55f * gx + 0.55f * gz + 0.63f) / len);
            t.shade[std::size_t(x) * t.side + z] = std::uint8_t(110.0f + 145.0f * lit);
            if (x + 1 < t.side && z + 1 < t.side) {
                const int main = std::abs(t.alt(x, z) - t.alt(x + 1, z + 1));
                const int other = std::abs(t.alt(x + 1, z) - t.alt(x, z + 1));
                if (other < main) t.flags[std::size_t(x) * t.side + z] |= kSplit;
            }
        }
    return t;
}

void periodicMap(std::uint32_t seed, float low, float high, int frequency, std::uint8_t out[256][256]) {
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const float v = fbm(float(c) / 256.0f * float(frequency), float(r) / 256.0f * float(frequency), 4, seed,
                                frequency);
            out[r][c] = std::uint8_t(std::clamp(low + (high - low) * v, 0.0f, 255.0f));
        }
}

}  // namespace

std::vector<std::uint8_t> makeSampleLand(const SampleLandOptions& options, std::string* error) {
    const int n = options.size;
    if (n < 1 || n > kMaxSampleLandSize) {
        if (error) *error = "the size must be 1 to " + std::to_string(kMaxSampleLandSize) + " blocks";
        return {};
    }
    const std::uint32_t seed = options.seed;

    std::vector<TLndMaterial> materials(kSampleMaterialCount);
    for (int m = 0; m < kSampleMaterialCount; ++m) paintMaterial(m, seed * 7919u + std::uint32_t(m) * 31u, materials[m]);
    std::vector<TLndCountry> countries;
    makeCountries(countries);
    auto noise = std::make_unique<TLndNoiseMap>();
    auto bump = std::make_unique<TLndBumpMap>();
    periodicMap(seed + 500, 0.0f, 26.0f, 8, noise->Values);
    periodicMap(seed + 600, 20.0f, 235.0f, 16, bump->Values);

    // The land sits in the middle of the grid; every four by four blocks share one
    // low-resolution texture, each block a 64 x 64 tile of it.
    const int origin = (kGridSize - n) / 2;
    const int groupsPerSide = (n + 3) / 4;
    const Terrain terrain = makeTerrain(n, seed);

    TLndHeader header{};
    std::memset(&header, 0, sizeof header);
    header.BlockSize = std::int32_t(kBlockSize);
    header.MaterialSize = std::int32_t(kMaterialSize);
    header.CountrySize = std::int32_t(kCountrySize);

    std::vector<TLndBlock> blocks(std::size_t(n) * n);
    for (int bx = 0; bx < n; ++bx)
        for (int bz = 0; bz < n; ++bz) {
            const int number = bx * n + bz + 1;
            TLndBlock& b = blocks[std::size_t(number - 1)];
            std::memset(&b, 0, sizeof b);
            const int gx = origin + bx, gz = origin + bz;
            for (int i = 0; i < kCellsPerSide; ++i)
                for (int j = 0; j < kCellsPerSide; ++j) {
                    const std::size_t k = std::size_t(16 * bx + i) * terrain.side + std::size_t(16 * bz + j);
                    TLndCell& cell = b.Cells[i][j];
                    cell.Altitude = terrain.altitude[k];
                    cell.Shade = terrain.shade[k];
                    cell.CellFlags = terrain.flags[k];
                }
            b.BlockNumber = number;
            b.MapX = kBlockSpan * float(gx);
            b.MapZ = kBlockSpan * float(gz);
            b.GridX = gx;
            b.GridZ = gz;
            b.LoResTexture = (bx / 4) * groupsPerSide + bz / 4;
            b.LoResX = 64 * (bz % 4);   // image columns run along z
            b.LoResY = 64 * (bx % 4);
            header.BlockIndex[gx][gz] = std::uint8_t(number);
        }

    // Low-resolution textures: each block's synthesised texture point-sampled into its tile,
    // the way the editor refreshes tiles, then compressed.
    std::vector<std::unique_ptr<DeviceTexture>> stages(std::size_t(groupsPerSide) * groupsPerSide);
    for (auto& s : stages)
        if (deviceFailed(DeviceTexture::create(256, 256, 1, TextureFormat::A8R8G8B8, s))) {
            if (error) *error = "cannot make a staging texture";
            return {};
        }
    BlockSynthesizer synth;
    std::vector<std::uint8_t> image(kBlockImageSize);
    for (const TLndBlock& b : blocks) {
        synthesizeBlockImage(synth, b, countries, materials, *noise, SeaAlphas{}, image.data());
        std::unique_ptr<DeviceTexture> blockTexture;
        if (deviceFailed(createTextureFromMemory(image.data(), image.size(), blockTexture))) {
            if (error) *error = "cannot make a block texture";
            return {};
        }
        const Rect tile{b.LoResX, b.LoResY, b.LoResX + 64, b.LoResY + 64};
        if (deviceFailed(loadSurfaceFromSurface(*stages[std::size_t(std::int32_t(b.LoResTexture))], 0, &tile, *blockTexture,
                                                0, nullptr, TextureFilter::Point))) {
            if (error) *error = "cannot scale a block into its tile";
            return {};
        }
    }
    std::vector<TLndLoResTex> loRes(stages.size());
    std::vector<std::uint8_t> argb;
    for (std::size_t g = 0; g < stages.size(); ++g) {
        std::memset(&loRes[g], 0, sizeof loRes[g]);
        initLoResRecord(loRes[g]);
        if (deviceFailed(readLevel0Argb(*stages[g], argb)) || argb.size() != 256u * 256u * 4u) {
            if (error) *error = "cannot read a low-resolution texture back";
            return {};
        }
        encodeDxt3Image(argb.data(), 256, 256, 256 * 4, loRes[g].Data);
    }

    LndParts parts;
    parts.header = header;
    parts.loRes = loRes;
    parts.blocks = blocks;
    parts.countries = countries;
    parts.materials = materials;
    parts.noiseMap = noise.get();
    parts.bumpMap = bump.get();
    return writePlain(parts);
}

}  // namespace lnd
