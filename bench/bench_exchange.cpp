// Country maps and mesh exports on a land of 255 blocks (15 x 17 squares, the most a land can
// address). Mesh exports write real files into a temporary folder, as the command line does.
#include "codec/image.h"
#include "codec/picture_file.h"
#include "codec/png_writer.h"
#include "support/land_builder.h"
#include "tools/country_map.h"
#include "tools/mesh_export.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>

using namespace lnd;

namespace {

std::vector<std::uint8_t> bigLand() {
    lndtest::LandBuilder builder;
    builder.countries(3).materials(5);
    for (int gx = 0; gx < 15; ++gx)
        for (int gz = 0; gz < 17; ++gz) builder.block(gx + 8, gz + 7);
    return builder.build();
}

struct BenchLand {
    CLand land;
    lndtest::TempDir dir;
    BenchLand() {
        if (!land.adoptImage(bigLand())) throw std::runtime_error("bench land refused");
    }
};

void meshExport(benchmark::State& state, const char* name, bool textures, int threads) {
    BenchLand b;
    MeshExportOptions options;
    options.textures = textures;
    options.threads = threads;
    for (auto _ : state) {
        MeshExportSummary summary;
        if (Result r = exportLandMesh(b.land, b.dir.file(name), options, &summary); !r) state.SkipWithError(r.message().c_str());
        benchmark::DoNotOptimize(summary.vertices);
    }
}

// The whole export: surface, scene, assimp's writer, atomic save.
void BM_MeshExportGlb(benchmark::State& state) { meshExport(state, "land.glb", false, 0); }
BENCHMARK(BM_MeshExportGlb)->Unit(benchmark::kMillisecond);
void BM_MeshExportObj(benchmark::State& state) { meshExport(state, "land.obj", false, 0); }
BENCHMARK(BM_MeshExportObj)->Unit(benchmark::kMillisecond);
// With the 4352 x 3840 atlas: 255 syntheses, the PNG encoding and the larger files.
void BM_MeshExportGlbTextures(benchmark::State& state) { meshExport(state, "land.glb", true, int(state.range(0))); }
BENCHMARK(BM_MeshExportGlbTextures)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The parts on their own.
void BM_LandSurface(benchmark::State& state) {
    BenchLand b;
    for (auto _ : state) {
        LandSurface s;
        if (!buildLandSurface(b.land, s)) state.SkipWithError("no surface");
        benchmark::DoNotOptimize(s.positions.data());
    }
}
BENCHMARK(BM_LandSurface)->Unit(benchmark::kMillisecond);

void BM_TextureAtlas(benchmark::State& state) {
    BenchLand b;
    MeshExportOptions options;
    options.threads = int(state.range(0));
    for (auto _ : state) {
        CImage32 atlas;
        if (!buildTextureAtlas(b.land, options, atlas)) state.SkipWithError("no atlas");
        benchmark::DoNotOptimize(atlas.pixels());
    }
}
BENCHMARK(BM_TextureAtlas)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_AtlasPng(benchmark::State& state) {
    BenchLand b;
    CImage32 atlas;
    if (!buildTextureAtlas(b.land, {}, atlas)) throw std::runtime_error("no atlas");
    for (auto _ : state) {
        const std::vector<std::uint8_t> png = state.range(0) ? encodePngRgbQuick(atlas) : encodePngRgb(atlas);
        state.counters["MB"] = double(png.size()) / 1e6;
    }
}
// 0: the general writer (level 3), 1: the quick one the export uses.
BENCHMARK(BM_AtlasPng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CountryMapWrite(benchmark::State& state) {
    BenchLand b;
    for (auto _ : state)
        if (!writeCountryMapFiles(b.land, b.dir.file("map.png"))) state.SkipWithError("not written");
}
BENCHMARK(BM_CountryMapWrite)->Unit(benchmark::kMillisecond);

// Reading, planning and applying a map that changes every land cell.
void BM_CountryMapImport(benchmark::State& state) {
    BenchLand b;
    CImage8 maps[2];
    if (!exportCountryMap(b.land, maps[0])) throw std::runtime_error("no map");
    maps[1] = maps[0];
    for (int k = 0; k < maps[1].width() * maps[1].height(); ++k)
        if (maps[1].indices()[k] < 3) maps[1].indices()[k] = std::uint8_t((maps[1].indices()[k] + 1) % 3);
    int next = 1;
    for (auto _ : state) {
        CountryMapEdit edit;
        if (!planCountryMapImport(b.land, maps[next], {}, edit)) state.SkipWithError("refused");
        applyCountryMapEdit(b.land, edit);
        next ^= 1;
        benchmark::DoNotOptimize(edit.cells.data());
    }
}
BENCHMARK(BM_CountryMapImport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
