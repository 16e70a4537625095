// Load and quick save of a 255-block land (16 low-resolution textures, 8 materials) through
// the land model, against reading and writing the same bytes with plain stdio; and the full
// save of the largest land the format holds (255 blocks, 15 countries, 40 materials, 64
// low-resolution textures), every block texture synthesised and its tile recompressed.
#include "land/land.h"

#include "support/land_builder.h"
#include "textures/synthesis.h"
#include "view/terrain_land.h"
#include "view/terrain_mesh.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace lnd;

namespace {

struct BenchLand {
    lndtest::TempDir dir;
    std::string path;
    std::size_t bytes = 0;

    BenchLand() {
        lndtest::LandBuilder b;
        int made = 0;
        for (int x = 8; x < 24 && made < 255; ++x)
            for (int z = 8; z < 24 && made < 255; ++z, ++made)
                b.block(x, z, [](TLndBlock& blk) {
                    for (auto& row : blk.Cells)
                        for (auto& c : row) c.CellFlags = kWater;
                });
        b.loResTextures(16).materials(8).countries(4);
        path = b.writeTo(dir.file("land.lnd"));
        bytes = lndtest::readBytes(path).size();
    }
};

BenchLand& benchLand() {
    static BenchLand land;
    return land;
}

// The land of the limits test: blocks spread over the whole grid, one country each.
struct LargestLand {
    lndtest::TempDir dir;
    std::string path;
    std::size_t bytes = 0;

    LargestLand() {
        lndtest::LandBuilder b;
        b.countries(15).materials(40).loResTextures(64);
        for (int k = 0; k < 255; ++k) {
            const int square = (k * 7) % 1024;
            b.block(square / 32, square % 32, [k](TLndBlock& blk) {
                for (auto& row : blk.Cells)
                    for (TLndCell& c : row) c.CellFlags = std::uint16_t(k % 15);
            });
        }
        path = b.writeTo(dir.file("largest.lnd"));
        bytes = lndtest::readBytes(path).size();
    }
};

LargestLand& largestLand() {
    static LargestLand land;
    return land;
}

// arg 0: the image alone; arg 1: with the terrain geometry the editor builds on every load.
void BM_LandLoad(benchmark::State& state) {
    BenchLand& b = benchLand();
    CTerrainMesh mesh;
    CLand land;
    for (auto _ : state) {
        if (!land.Load(b.path, lnd::LandSettings{})) state.SkipWithError("load failed");
        if (state.range(0) == 1) rebuildTerrainGeometry(mesh, land);
        benchmark::DoNotOptimize(land.fileImage().data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(b.bytes));
}

void BM_PlainFread(benchmark::State& state) {
    BenchLand& b = benchLand();
    for (auto _ : state) {
        std::vector<std::uint8_t> buffer(b.bytes);
        std::FILE* f = std::fopen(b.path.c_str(), "rb");
        if (f == nullptr || std::fread(buffer.data(), 1, buffer.size(), f) != buffer.size())
            state.SkipWithError("fread failed");
        if (f) std::fclose(f);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(b.bytes));
}

void BM_LandQuickSave(benchmark::State& state) {
    BenchLand& b = benchLand();
    HeadlessLand held;
    if (!held.open(b.path)) state.SkipWithError("load failed");
    const std::string out = b.dir.file("saved.lnd");
    for (auto _ : state)
        if (!held.save(out, SaveKind::Quick)) state.SkipWithError("save failed");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(b.bytes));
}

// Full save of the largest land opened afresh (not timed) each time, so every block texture
// is missing. arg 0: as lndtool's one save of a run (block textures dropped once their tiles
// are drawn); arg 1: as the editor saves (kept for drawing).
void BM_LandFullSave(benchmark::State& state) {
    LargestLand& b = largestLand();
    const std::string out = b.dir.file("saved.lnd");
    for (auto _ : state) {
        state.PauseTiming();
        auto held = std::make_unique<HeadlessLand>();
        const BlockTextureUse use = state.range(0) == 0 ? BlockTextureUse::TilesOnly : BlockTextureUse::Keep;
        if (!held->open(b.path)) state.SkipWithError("open failed");
        state.ResumeTiming();
        if (!saveLand(held->mesh, held->land, out, SaveKind::Full, use)) state.SkipWithError("save failed");
        state.PauseTiming();
        held.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(b.bytes));
}

// arg 0: fwrite and fclose; arg 1: also flushed to disk, as the atomic save does.
void BM_PlainFwrite(benchmark::State& state) {
    BenchLand& b = benchLand();
    const std::vector<std::uint8_t> data = lndtest::readBytes(b.path);
    const std::string out = b.dir.file("plain.lnd");
    for (auto _ : state) {
        std::FILE* f = std::fopen(out.c_str(), "wb");
        if (f == nullptr || std::fwrite(data.data(), 1, data.size(), f) != data.size()) state.SkipWithError("fwrite failed");
        if (f && state.range(0) == 1) {
            std::fflush(f);
            ::fsync(::fileno(f));
        }
        if (f) std::fclose(f);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(b.bytes));
}

}  // namespace

BENCHMARK(BM_LandLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LandQuickSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LandFullSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFwrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
