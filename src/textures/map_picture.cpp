#include "textures/map_picture.h"

#include "land/land.h"
#include "textures/synthesis.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace lnd {

namespace {

constexpr int kTile = kBlockTextureSide;   // texels of one square at full size

// The source texels [begin, end) that make output pixel k along one axis of `full` texels
// shown in `out` pixels: a box when scaling down, the nearest texel when scaling up.
struct Span {
    int begin = 0, end = 0;
};
std::vector<Span> spansFor(int full, int out) {
    std::vector<Span> spans(static_cast<std::size_t>(out));
    for (int k = 0; k < out; ++k) {
        if (out <= full) {
            const auto ceilDiv = [](long long a, long long b) { return int((a + b - 1) / b); };
            spans[std::size_t(k)] = {ceilDiv(1ll * k * full, out), ceilDiv(1ll * (k + 1) * full, out)};
        } else {
            const int t = int((2ll * k + 1) * full / (2ll * out));
            spans[std::size_t(k)] = {t, t + 1};
        }
    }
    return spans;
}

struct Accumulator {
    std::uint64_t r = 0, g = 0, b = 0;
    std::uint32_t n = 0;
};

// One texel over the sea colour, by its alpha.
inline void over(const std::uint8_t* bgra, const std::array<std::uint8_t, 3>& sea, std::uint8_t* rgb) {
    const unsigned a = bgra[3], na = 255 - a;
    rgb[0] = std::uint8_t((bgra[2] * a + sea[0] * na + 127) / 255);
    rgb[1] = std::uint8_t((bgra[1] * a + sea[1] * na + 127) / 255);
    rgb[2] = std::uint8_t((bgra[0] * a + sea[2] * na + 127) / 255);
}

}  // namespace

OccupiedGrid occupiedGrid(const CLand& land) {
    OccupiedGrid g;
    g.minX = g.minZ = kGridSize;
    g.maxX = g.maxZ = -1;
    for (int gx = 0; gx < kGridSize; ++gx)
        for (int gz = 0; gz < kGridSize; ++gz) {
            if (land.blockRecordAt(gx, gz) < 0) continue;
            g.any = true;
            g.minX = std::min(g.minX, gx);
            g.maxX = std::max(g.maxX, gx);
            g.minZ = std::min(g.minZ, gz);
            g.maxZ = std::max(g.maxZ, gz);
        }
    if (!g.any) g = OccupiedGrid{};
    return g;
}

void mapPictureSize(const OccupiedGrid& grid, int longerSide, int& width, int& height) {
    width = height = 0;
    if (!grid.any) return;
    const long long fullH = 1ll * kTile * grid.squaresX(), fullW = 1ll * kTile * grid.squaresZ();
    const long long longer = std::max(fullH, fullW);
    const long long n = longerSide > 0 ? longerSide : std::min<long long>(longer, kDefaultMapSide);
    height = int(std::max<long long>(1, (fullH * n + longer / 2) / longer));
    width = int(std::max<long long>(1, (fullW * n + longer / 2) / longer));
}

Result renderMapPicture(CLand& land, const MapPictureOptions& options, CImage32& out,
                        const std::function<void(int done, int total)>& progress) {
    const OccupiedGrid grid = occupiedGrid(land);
    if (!grid.any || land.noiseMap() == nullptr)
        return Result::failure(Status::NotPossible, "the land has no block on its grid");
    if (options.longerSide < 0 || options.longerSide > kMaxMapSide)
        return Result::failure(Status::BadInput, "the picture size must be 1 to " + std::to_string(kMaxMapSide));
    int width = 0, height = 0;
    mapPictureSize(grid, options.longerSide, width, height);
    if (!out.SetSize(width, height)) return Result::failure(Status::OutOfMemory, "the picture cannot be made that large");

    const int fullH = kTile * grid.squaresX(), fullW = kTile * grid.squaresZ();
    const std::vector<Span> rowSpans = spansFor(fullH, height), colSpans = spansFor(fullW, width);

    // Output rows drawn from one row of squares, plus one carried over from the row before.
    int ring = 1;
    for (int k = 0, y = 0; k < grid.squaresX(); ++k) {
        const int s0 = k * kTile, s1 = s0 + kTile;
        while (y < height && rowSpans[std::size_t(y)].end <= s0) ++y;
        int last = y;
        while (last < height && rowSpans[std::size_t(last)].begin < s1) ++last;
        ring = std::max(ring, last - y + 1);
    }
    std::vector<Accumulator> acc(std::size_t(ring) * std::size_t(width));

    const std::span<const TLndBlock> blocks = land.blocks();
    const std::span<const TLndCountry> countries = land.countries();
    const std::span<const TLndMaterial> materials = land.materials();
    const TLndNoiseMap& noise = *land.noiseMap();
    const SeaAlphas alphas{land.m_seaParms.alphaCoast, land.m_seaParms.alphaWater, land.m_seaParms.alphaFullWater};
    const std::array<std::uint8_t, 3> sea = options.sea;

    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 8);
    threads = std::min(threads, grid.squaresZ());
    std::vector<BlockSynthesizer> synths(static_cast<std::size_t>(threads));
    std::vector<std::vector<std::uint8_t>> texels(static_cast<std::size_t>(threads), std::vector<std::uint8_t>(kBlockTexelBytes));

    int total = 0;
    for (int gx = grid.minX; gx <= grid.maxX; ++gx)
        for (int gz = grid.minZ; gz <= grid.maxZ; ++gz)
            if (land.blockRecordAt(gx, gz) >= 0) ++total;
    int done = 0;

    // One row of squares at full size, three bytes a texel; empty squares stay sea.
    const std::size_t stripPitch = std::size_t(fullW) * 3;
    std::vector<std::uint8_t> strip(stripPitch * kTile);
    int nextRow = 0;   // first output row not yet written
    for (int k = 0; k < grid.squaresX(); ++k) {
        const int gx = grid.minX + k;
        for (std::size_t p = 0; p < strip.size(); p += 3) {
            strip[p] = sea[0];
            strip[p + 1] = sea[1];
            strip[p + 2] = sea[2];
        }
        std::vector<std::pair<int, int>> squares;   // (column of squares, block record)
        for (int gz = grid.minZ; gz <= grid.maxZ; ++gz)
            if (const int b = land.blockRecordAt(gx, gz); b >= 0) squares.emplace_back(gz - grid.minZ, b);

        std::atomic<std::size_t> next{0};
        auto work = [&](int w) {
            BlockSynthesizer& synth = synths[std::size_t(w)];
            std::uint8_t* tex = texels[std::size_t(w)].data();
            for (std::size_t s = next++; s < squares.size(); s = next++) {
                const auto [col, b] = squares[s];
                synth.synthesize(blocks[std::size_t(b)], countries, materials, noise, alphas, tex);
                for (int r = 0; r < kTile; ++r) {
                    std::uint8_t* dst = strip.data() + std::size_t(r) * stripPitch + std::size_t(col) * kTile * 3;
                    const std::uint8_t* src = tex + std::size_t(r) * kTile * 4;
                    for (int c = 0; c < kTile; ++c) over(src + 4 * c, sea, dst + 3 * c);
                }
            }
        };
        if (threads == 1 || squares.size() < 2) {
            work(0);
        } else {
            std::vector<std::thread> pool;
            for (int w = 1; w < threads; ++w) pool.emplace_back(work, w);
            work(0);
            for (std::thread& t : pool) t.join();
        }

        // Every output row whose texels lie partly in this row of squares collects them.
        const int s0 = k * kTile, s1 = s0 + kTile;
        for (int y = nextRow; y < height && rowSpans[std::size_t(y)].begin < s1; ++y) {
            const Span rs = rowSpans[std::size_t(y)];
            Accumulator* row = acc.data() + std::size_t(y % ring) * std::size_t(width);
            for (int r = std::max(rs.begin, s0); r < std::min(rs.end, s1); ++r) {
                const std::uint8_t* src = strip.data() + std::size_t(r - s0) * stripPitch;
                for (int x = 0; x < width; ++x) {
                    const Span cs = colSpans[std::size_t(x)];
                    Accumulator& a = row[x];
                    for (int c = cs.begin; c < cs.end; ++c) {
                        a.r += src[3 * c];
                        a.g += src[3 * c + 1];
                        a.b += src[3 * c + 2];
                    }
                    a.n += std::uint32_t(cs.end - cs.begin);
                }
            }
        }
        // Rows whose texels are all in are finished.
        for (; nextRow < height && rowSpans[std::size_t(nextRow)].end <= s1; ++nextRow) {
            Accumulator* row = acc.data() + std::size_t(nextRow % ring) * std::size_t(width);
            for (int x = 0; x < width; ++x) {
                Accumulator& a = row[x];
                const std::uint64_t n = std::max<std::uint32_t>(a.n, 1), half = n / 2;
                std::uint8_t* px = out.pixel(x, nextRow);
                px[0] = 255;
                px[1] = std::uint8_t((a.r + half) / n);
                px[2] = std::uint8_t((a.g + half) / n);
                px[3] = std::uint8_t((a.b + half) / n);
                a = Accumulator{};
            }
        }
        done += int(squares.size());
        if (progress) progress(done, total);
    }
    return Result::success();
}

}  // namespace lnd
