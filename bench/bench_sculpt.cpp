// Clayvane's heavy work: synthesising every block texture of a 255-block land, making the
// vertex arrays every display list is compiled from, and one sculpt stroke over nine blocks
// (heights, flags, boxes, normals, list arrays). The frame rate of the window is measured
// by the program itself: `Clayvane --screenshot OUT.png --frames N LAND` under Xvfb.
#include "sculpt/render_target.h"
#include "sculpt/sculpting_app.h"

#include "support/land_builder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

using namespace clay;
using namespace lnd;

namespace {

// 255 blocks on a 16 x 16 patch, hills, three countries, four materials.
std::vector<std::uint8_t> BigLand() {
    lndtest::LandBuilder b;
    int made = 0;
    for (int x = 8; x < 24 && made < 255; ++x)
        for (int z = 8; z < 24 && made < 255; ++z, ++made)
            b.block(x, z, [=](TLndBlock& blk) {
                for (int i = 0; i < 17; ++i)
                    for (int j = 0; j < 17; ++j) {
                        const float wx = float(x * 16 + i), wz = float(z * 16 + j);
                        blk.Cells[i][j].Altitude = std::uint8_t(60 + 50 * std::sin(wx * 0.05f) * std::cos(wz * 0.07f));
                        blk.Cells[i][j].CellFlags = std::uint16_t((((i + j) & 1) ? kSplit : 0) | ((i / 6) % 3));
                    }
            });
    return b.countries(3).materials(4).build();
}

// The program's own null target: the core computes every array it hands over (in another
// translation unit, so nothing is optimised away) and the target draws nothing.
std::unique_ptr<CSculptingApp> Started(CRenderTarget& rt) {
    auto app = std::make_unique<CSculptingApp>();
    app->UseBuiltInData();
    if (!app->m_land.Adopt(BigLand())) return nullptr;
    app->LandStartUp(rt);
    app->FinishSynthesis(rt);
    return app;
}

void BM_SynthesiseAllBlocks(benchmark::State& state) {
    CNullTarget rt;
    auto app = Started(rt);
    for (auto _ : state) {
        app->SynthesiseAll(rt);
        app->FinishSynthesis(rt);
    }
    state.counters["blocks"] = app->m_mesh.Count();
}
BENCHMARK(BM_SynthesiseAllBlocks)->Unit(benchmark::kMillisecond);

void BM_AllDisplayListArrays(benchmark::State& state) {
    CNullTarget rt;
    auto app = Started(rt);
    for (auto _ : state) {
        app->BuildLandLists(rt);
        app->BuildOverlayLists(app->m_stroke.m_country, rt);
    }
}
BENCHMARK(BM_AllDisplayListArrays)->Unit(benchmark::kMillisecond);

void BM_AllNormals(benchmark::State& state) {
    CNullTarget rt;
    auto app = Started(rt);
    for (auto _ : state) app->m_mesh.ComputeNormals();
}
BENCHMARK(BM_AllNormals)->Unit(benchmark::kMillisecond);

// One frame of a held button with the largest brush over a block corner: nine blocks change.
void BM_SculptStrokeNineBlocks(benchmark::State& state) {
    CNullTarget rt;
    auto app = Started(rt);
    const int s = app->m_mesh.m_slotOfSquare[15][15];
    const CBlockMesh& mesh = app->m_mesh.m_meshes[std::size_t(s)];
    for (int t = 0; t < kTrianglesPerBlock; ++t)
        if (mesh.m_triangles[std::size_t(t)].v[1] == 0) app->m_pick = {1, s, t, 1.0f, 0.9f, 0.05f};
    app->m_stroke.m_radius = 250;
    app->m_input.left = true;
    app->m_toggles.liveTexture = state.range(0) != 0;
    float strength = 0.5f;
    for (auto _ : state) {
        app->m_stroke.m_strength = strength;
        strength = -strength;   // up and down again, so heights stay in range
        app->SculptStroke(rt);
    }
    benchmark::DoNotOptimize(app->m_mesh.m_meshes[std::size_t(s)].m_positions[0].y);
}
BENCHMARK(BM_SculptStrokeNineBlocks)->Arg(0)->Arg(1)->ArgName("liveTexture")->Unit(benchmark::kMicrosecond);

// Picking a pointer ray over the whole land, as every frame does.
void BM_PickVertex(benchmark::State& state) {
    CNullTarget rt;
    auto app = Started(rt);
    app->m_input.mouse[0] = 320;
    app->m_input.mouse[1] = 300;
    for (auto _ : state) {
        app->PickVertex();
        benchmark::DoNotOptimize(app->m_pick.m_hitT);
    }
}
BENCHMARK(BM_PickVertex)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
