// DXT3 compression of one 256 x 256 texture and one 1024 x 1024 picture (the first argument of
// every run is the side): our encoder on one thread and on all the processor's threads (the
// second argument, 0 for all), beside stb_dxt (colour half, normal and high quality, with the
// explicit alpha packed by hand) and libsquish (range fit and cluster fit, one block at a
// time). Every run reports the RGB RMSE against the source.
//
// `bench_dxt3 --once=ENCODER --side=N` encodes the picture once with one encoder (ours, stb,
// stb-normal) on one thread and exits: a driver for instruction counts, which say more than
// timings on a busy machine. Under callgrind only the encoding is counted:
//   valgrind --tool=callgrind --instr-atstart=no bench_dxt3 --once=ours --side=256
// valgrind cannot run AVX-512 code and hides it from the processor's feature flags, so the
// encoder runs its AVX2 variant there; LND_DXT3_NO_AVX512=1 has it do so anywhere.
#include "codec/dxt3.h"
#include "codec/dxt3_fit.h"
#include "codec/dxt3_reference.cpp"  // the plain encoder, to show what the fast one saves

#include <benchmark/benchmark.h>
#include <squish.h>

#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_DXT_STATIC
#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>
#pragma GCC diagnostic pop

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <random>
#include <thread>
#include <vector>

namespace {

// Gradients, smooth value noise, grain and a few hard-edged shapes, bytes alpha, red, green, blue.
// The shapes are laid out on a 256 x 256 plan, scaled to the side; the grain is per pixel.
std::vector<std::uint8_t> naturalTexture(int side) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int cells = 9;
    std::vector<float> lattice(cells * cells * 3);
    for (float& v : lattice) v = unit(rng);
    auto smooth = [&](float x, float y, int c) {
        const float fx = x * (cells - 2), fy = y * (cells - 2);
        const int ix = int(fx), iy = int(fy);
        const float tx = fx - ix, ty = fy - iy;
        auto at = [&](int i, int j) { return lattice[std::size_t((j * cells + i) * 3 + c)]; };
        const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
        return (at(ix, iy) * (1 - sx) + at(ix + 1, iy) * sx) * (1 - sy) + (at(ix, iy + 1) * (1 - sx) + at(ix + 1, iy + 1) * sx) * sy;
    };
    std::normal_distribution<float> grain(0.0f, 5.0f);
    std::vector<std::uint8_t> px(std::size_t(side) * side * 4);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const float u = x / float(side), v = y / float(side);
            const int px0 = x * 256 / side, py0 = y * 256 / side;
            float rgb[3] = {40 + 120 * u + 70 * smooth(u, v, 0), 60 + 90 * v + 80 * smooth(u, v, 1),
                            30 + 60 * (1 - u) + 60 * smooth(u, v, 2)};
            // Hard edges: a field boundary, a round pond and a road.
            if (px0 + py0 / 2 > 300) { rgb[0] *= 0.55f; rgb[1] *= 0.8f; rgb[2] *= 0.5f; }
            if ((px0 - 80) * (px0 - 80) + (py0 - 170) * (py0 - 170) < 40 * 40) { rgb[0] = 30; rgb[1] = 70; rgb[2] = 150 + 40 * v; }
            if (std::abs(py0 - 60 - px0 / 3) < 4) { rgb[0] = 150; rgb[1] = 140; rgb[2] = 120; }
            std::uint8_t* p = &px[(std::size_t(y) * side + x) * 4];
            p[0] = 255;
            for (int c = 0; c < 3; ++c) p[1 + c] = std::uint8_t(std::clamp(rgb[c] + grain(rng), 0.0f, 255.0f));
        }
    return px;
}

const std::vector<std::uint8_t>& source(int side) {
    static std::map<int, std::vector<std::uint8_t>> pictures;
    auto [at, fresh] = pictures.try_emplace(side);
    if (fresh) at->second = naturalTexture(side);
    return at->second;
}

void gatherBlock(const std::uint8_t* argb, int side, int bx, int by, std::uint8_t block[64]) {
    for (int row = 0; row < 4; ++row)
        std::memcpy(block + 16 * row, argb + (std::size_t(4 * by + row) * side + 4 * bx) * 4, 16);
}

void toRgba(const std::uint8_t argb[64], std::uint8_t rgba[64]) {
    for (int i = 0; i < 16; ++i) {
        rgba[4 * i] = argb[4 * i + 1];
        rgba[4 * i + 1] = argb[4 * i + 2];
        rgba[4 * i + 2] = argb[4 * i + 3];
        rgba[4 * i + 3] = argb[4 * i];
    }
}

double rgbRmse(const std::vector<std::uint8_t>& dxt, int side) {
    const std::vector<std::uint8_t>& src = source(side);
    std::vector<std::uint8_t> back(src.size());
    lnd::decodeDxt3Image(dxt.data(), side, side, back.data(), side * 4);
    double sum = 0;
    for (std::size_t i = 0; i < back.size(); i += 4)
        for (int c = 1; c < 4; ++c) {
            const double d = double(back[i + c]) - double(src[i + c]);
            sum += d * d;
        }
    return std::sqrt(sum / (3.0 * side * side));
}

template <typename EncodeBlock>
void runPerBlock(benchmark::State& state, EncodeBlock encode) {
    const int side = int(state.range(0));
    const std::vector<std::uint8_t>& src = source(side);
    std::vector<std::uint8_t> dxt(std::size_t(side) * side);
    std::uint8_t block[64];
    for (auto _ : state) {
        std::uint8_t* out = dxt.data();
        for (int by = 0; by < side / 4; ++by)
            for (int bx = 0; bx < side / 4; ++bx, out += 16) {
                gatherBlock(src.data(), side, bx, by, block);
                encode(block, out);
            }
        benchmark::DoNotOptimize(dxt.data());
    }
    state.counters["rgb_rmse"] = rgbRmse(dxt, side);
}

void packAlpha(const std::uint8_t argb[64], std::uint8_t out[8]) {
    std::memset(out, 0, 8);
    for (int i = 0; i < 16; ++i) out[i / 2] |= std::uint8_t((argb[4 * i] >> 4) << (4 * (i % 2)));
}

// Second argument: threads, 0 for as many as the processor has.
void BM_Ours(benchmark::State& state) {
    const int side = int(state.range(0)), threads = int(state.range(1));
    const std::vector<std::uint8_t>& src = source(side);
    std::vector<std::uint8_t> dxt(std::size_t(side) * side);
    for (auto _ : state) {
        lnd::encodeDxt3Image(src.data(), side, side, std::size_t(side) * 4, dxt.data(), threads);
        benchmark::DoNotOptimize(dxt.data());
    }
    state.counters["rgb_rmse"] = rgbRmse(dxt, side);
    state.counters["threads"] = threads > 0 ? threads : double(std::thread::hardware_concurrency());
}

void BM_OursPlainAlgorithm(benchmark::State& state) {
    runPerBlock(state, [](const std::uint8_t* block, std::uint8_t* out) { lndtest::referenceEncodeDxt3Block(block, out); });
}

#if defined(LND_DXT3_HAVE_AVX2)
// One variant of ours block by block, the same path as the peers: second argument 0 for the
// AVX2 variant, 1 for the AVX-512 one, to compare the two in one run whatever the encoder chooses.
void BM_OursVariant(benchmark::State& state) {
    if (state.range(1) == 1 && !lnd::dxt3::hostHasAvx512()) {
        state.SkipWithError("the processor has no AVX-512 BW, VL and CD");
        return;
    }
    if (state.range(1) == 1)
        runPerBlock(state, [](const std::uint8_t* b, std::uint8_t* out) { lnd::dxt3::encodeBlockAvx512(b, 16, out); });
    else
        runPerBlock(state, [](const std::uint8_t* b, std::uint8_t* out) { lnd::dxt3::encodeBlockAvx2(b, 16, out); });
}
#endif

void stbBlock(const std::uint8_t* block, std::uint8_t* out, int mode) {
    std::uint8_t rgba[64];
    toRgba(block, rgba);
    packAlpha(block, out);
    stb_compress_dxt_block(out + 8, rgba, 0, mode);
}

void BM_StbNormal(benchmark::State& state) {
    runPerBlock(state, [](const std::uint8_t* b, std::uint8_t* out) { stbBlock(b, out, STB_DXT_NORMAL); });
}

void BM_StbHighQuality(benchmark::State& state) {
    runPerBlock(state, [](const std::uint8_t* b, std::uint8_t* out) { stbBlock(b, out, STB_DXT_HIGHQUAL); });
}

void squishBlock(const std::uint8_t* block, std::uint8_t* out, int fit) {
    std::uint8_t rgba[64];
    toRgba(block, rgba);
    squish::Compress(rgba, out, squish::kDxt3 | fit);
}

void BM_SquishRangeFit(benchmark::State& state) {
    runPerBlock(state, [](const std::uint8_t* b, std::uint8_t* out) { squishBlock(b, out, squish::kColourRangeFit); });
}

void BM_SquishClusterFit(benchmark::State& state) {
    runPerBlock(state, [](const std::uint8_t* b, std::uint8_t* out) { squishBlock(b, out, squish::kColourClusterFit); });
}

}  // namespace

BENCHMARK(BM_Ours)->ArgsProduct({{256, 1024}, {1, 0}})->ArgNames({"side", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();
#if defined(LND_DXT3_HAVE_AVX2)
BENCHMARK(BM_OursVariant)->ArgsProduct({{256, 1024}, {0, 1}})->ArgNames({"side", "avx512"})->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_OursPlainAlgorithm)->Arg(256)->ArgName("side")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbNormal)->Arg(256)->Arg(1024)->ArgName("side")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbHighQuality)->Arg(256)->Arg(1024)->ArgName("side")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SquishRangeFit)->Arg(256)->Arg(1024)->ArgName("side")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SquishClusterFit)->Arg(256)->Arg(1024)->ArgName("side")->Unit(benchmark::kMillisecond);

namespace {

// The --once driver; returns the process status.
int encodeOnce(const std::string& encoder, int side) {
    if (side <= 0 || side % 4 != 0 || side > 4096) {
        std::fprintf(stderr, "bench_dxt3: --side must be a positive multiple of 4 up to 4096\n");
        return 2;
    }
    const std::vector<std::uint8_t>& src = source(side);
    std::vector<std::uint8_t> dxt(std::size_t(side) * side);
    auto perBlock = [&](auto encode) {
        std::uint8_t block[64];
        std::uint8_t* out = dxt.data();
        for (int by = 0; by < side / 4; ++by)
            for (int bx = 0; bx < side / 4; ++bx, out += 16) {
                gatherBlock(src.data(), side, bx, by, block);
                encode(block, out);
            }
    };
    lnd::encodeDxt3Block(src.data(), dxt.data());  // the variant is chosen outside the count
    CALLGRIND_START_INSTRUMENTATION;
    if (encoder == "ours") {
        lnd::encodeDxt3Image(src.data(), side, side, std::size_t(side) * 4, dxt.data(), 1);
    } else if (encoder == "stb") {
        perBlock([](const std::uint8_t* b, std::uint8_t* out) { stbBlock(b, out, STB_DXT_HIGHQUAL); });
    } else if (encoder == "stb-normal") {
        perBlock([](const std::uint8_t* b, std::uint8_t* out) { stbBlock(b, out, STB_DXT_NORMAL); });
    } else {
        CALLGRIND_STOP_INSTRUMENTATION;
        std::fprintf(stderr, "bench_dxt3: --once takes ours, stb or stb-normal\n");
        return 2;
    }
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("%s %d: rgb_rmse %.5f\n", encoder.c_str(), side, rgbRmse(dxt, side));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string once;
    int side = 256;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--once=", 0) == 0) once = arg.substr(7);
        if (arg.rfind("--side=", 0) == 0) side = std::atoi(arg.c_str() + 7);
    }
    if (!once.empty()) return encodeOnce(once, side);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
