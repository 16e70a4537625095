// Block texture synthesis against a plain copy of its 256 KiB output.
#include "textures/synthesis.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using namespace lnd;

namespace {

// Rolling terrain with coasts, three countries over five materials, noise in 0..31.
struct BenchLand {
    std::vector<TLndBlock> blocks;
    std::vector<TLndCountry> countries;
    std::vector<TLndMaterial> materials;
    std::unique_ptr<TLndNoiseMap> noise = std::make_unique<TLndNoiseMap>();

    explicit BenchLand(int numBlocks) : blocks(numBlocks), countries(3), materials(5) {
        std::mt19937 rng(42);
        for (auto& m : materials)
            for (auto& row : m.Texels)
                for (auto& t : row) t = std::uint16_t(rng() & 0x7FFF);
        for (int c = 0; c < 3; ++c)
            for (int h = 0; h < 256; ++h) {
                TLndCoef& e = countries[c].Coefs[h];
                e.mat1 = (h / 64 + c) % 5;
                e.mat2 = (h / 64 + c + 1) % 5;
                e.coef = 255 - (h % 64) * 4;
            }
        for (auto& row : noise->Values)
            for (auto& n : row) n = std::uint8_t(rng() % 32);
        for (int b = 0; b < numBlocks; ++b) {
            TLndBlock& blk = blocks[b];
            std::memset(&blk, 0, sizeof blk);
            const int gx = b % 16, gz = b / 16;
            for (int i = 0; i < 17; ++i)
                for (int j = 0; j < 17; ++j) {
                    const double x = gx * 16 + i, z = gz * 16 + j;
                    const int alt = int(120 + 60 * std::sin(x * 0.07) * std::cos(z * 0.05) + 20 * std::sin(x * 0.3 + z * 0.2));
                    TLndCell& cell = blk.Cells[i][j];
                    cell.Altitude = std::uint8_t(std::clamp(alt, 0, 255));
                    std::uint16_t flags = std::uint16_t((i / 6 + j / 6 + b) % 3);
                    if (alt < 80) flags |= kWater;
                    else if (alt < 90) flags |= kCoast;
                    cell.CellFlags = flags;
                }
        }
    }
};

void BM_SynthesizeOneBlock(benchmark::State& state) {
    BenchLand land(1);
    BlockSynthesizer synth;
    std::vector<std::uint8_t> out(kBlockTexelBytes);
    for (auto _ : state) {
        synth.synthesize(land.blocks[0], land.countries, land.materials, *land.noise, SeaAlphas{}, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBlockTexelBytes));
}
BENCHMARK(BM_SynthesizeOneBlock)->Unit(benchmark::kMillisecond);

void BM_SynthesizeLandOf255Blocks(benchmark::State& state) {
    BenchLand land(255);
    BlockSynthesizer synth;
    std::vector<std::uint8_t> out(kBlockTexelBytes);
    for (auto _ : state) {
        for (const TLndBlock& b : land.blocks) {
            synth.synthesize(b, land.countries, land.materials, *land.noise, SeaAlphas{}, out.data());
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 255 * std::int64_t(kBlockTexelBytes));
}
BENCHMARK(BM_SynthesizeLandOf255Blocks)->Unit(benchmark::kMillisecond);

// The lower bound: writing the same 256 KiB from a source already in cache.
void BM_MemcpyOfOneBlockOutput(benchmark::State& state) {
    std::vector<std::uint8_t> src(kBlockTexelBytes, 7), out(kBlockTexelBytes);
    for (auto _ : state) {
        std::memcpy(out.data(), src.data(), out.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBlockTexelBytes));
}
BENCHMARK(BM_MemcpyOfOneBlockOutput)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
