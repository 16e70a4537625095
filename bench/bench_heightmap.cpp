// Heightmap import and export and the map picture on a land of 255 blocks (15 x 17 squares,
// the most a land can address).
#include "codec/grey_image.h"
#include "codec/png_writer.h"
#include "support/land_builder.h"
#include "textures/map_picture.h"
#include "tools/heightmap.h"
#include "view/terrain_land.h"

#include <benchmark/benchmark.h>

#include <cmath>
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

GreyImage wavePicture(int side, int phase) {
    GreyImage p;
    p.width = p.height = side;
    p.bits = 16;
    p.values.resize(std::size_t(side) * std::size_t(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            p.values[std::size_t(y) * std::size_t(side) + std::size_t(x)] =
                std::uint16_t(32767 + 30000 * std::sin((x + phase) * 0.01) * std::cos(y * 0.013));
    return p;
}

void adopt(CLand& land) {
    if (!land.adoptImage(bigLand())) throw std::runtime_error("bench land refused");
}

// Resampling a 1024 x 1024 picture onto every cell, cells only (what the command-line import
// does before writing).
void BM_HeightmapFit1024(benchmark::State& state) {
    CLand land;
    adopt(land);
    const GreyImage pictures[2] = {wavePicture(1024, 0), wavePicture(1024, 40)};
    HeightmapImportOptions options;
    options.fit = HeightmapFit::Fit;
    int k = 0;
    for (auto _ : state) {
        HeightmapEdit edit = ApplyHeightmap(land, pictures[k ^= 1], options);
        benchmark::DoNotOptimize(edit.changedBlocks.data());
    }
}
BENCHMARK(BM_HeightmapFit1024)->Unit(benchmark::kMillisecond);

// The same on a land held as the editor holds it: the changed blocks' meshes rebuilt too.
void BM_HeightmapFit1024WithMeshes(benchmark::State& state) {
    HeadlessLand held;
    adopt(held.land);
    buildTerrainGeometry(held.mesh, held.land);
    held.mesh.BuildAllMeshes();
    const GreyImage pictures[2] = {wavePicture(1024, 0), wavePicture(1024, 40)};
    HeightmapImportOptions options;
    options.fit = HeightmapFit::Fit;
    int k = 0;
    for (auto _ : state) {
        HeightmapEdit edit = ApplyHeightmap(held.land, held.mesh, pictures[k ^= 1], options);
        benchmark::DoNotOptimize(edit.changedBlocks.data());
    }
}
BENCHMARK(BM_HeightmapFit1024WithMeshes)->Unit(benchmark::kMillisecond);

void BM_HeightmapExport16(benchmark::State& state) {
    CLand land;
    adopt(land);
    for (auto _ : state) {
        const std::vector<std::uint8_t> png = encodePngGrey(exportHeightmap(land, 16));
        benchmark::DoNotOptimize(png.data());
    }
}
BENCHMARK(BM_HeightmapExport16)->Unit(benchmark::kMillisecond);

// The map picture at its default size (3840 x 4352 here); the argument is the thread count.
void BM_RenderMap(benchmark::State& state) {
    CLand land;
    adopt(land);
    MapPictureOptions options;
    options.threads = int(state.range(0));
    CImage32 picture;
    for (auto _ : state) {
        if (lnd::Result r = renderMapPicture(land, options, picture); !r) state.SkipWithError(r.message().c_str());
        benchmark::DoNotOptimize(picture.pixels());
    }
}
BENCHMARK(BM_RenderMap)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_RenderMap1024(benchmark::State& state) {
    CLand land;
    adopt(land);
    MapPictureOptions options;
    options.longerSide = 1024;
    CImage32 picture;
    for (auto _ : state) {
        if (lnd::Result r = renderMapPicture(land, options, picture); !r) state.SkipWithError(r.message().c_str());
        benchmark::DoNotOptimize(picture.pixels());
    }
}
BENCHMARK(BM_RenderMap1024)->Unit(benchmark::kMillisecond);

// Writing the default-size picture as PNG, which the command-line verb adds to the render.
void BM_EncodeMapPng(benchmark::State& state) {
    CLand land;
    adopt(land);
    CImage32 picture;
    if (lnd::Result r = renderMapPicture(land, {}, picture); !r) state.SkipWithError(r.message().c_str());
    for (auto _ : state) {
        const std::vector<std::uint8_t> png = encodePngRgb(picture);
        benchmark::DoNotOptimize(png.data());
    }
}
BENCHMARK(BM_EncodeMapPng)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
