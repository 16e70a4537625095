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

// Counts what a renderer would receive, so the arrays are not optimised away.
class CCountingTarget final : public CRenderTarget {
public:
    std::size_t bytes = 0;
    void CreateMenuTextures(const SMenuData&) override {}
    void CreateBrushPictures(int, const std::vector<std::uint8_t>&) override {}
    void ResetBlockTextures(int) override {}
    void UploadBlockTexture(int, const std::uint8_t* rgba) override { bytes += rgba[1000]; }
    void UploadSwatches(int, const std::vector<std::uint8_t>& rgb) override { bytes += rgb.size(); }
    void CompileLandList(int, const std::vector<SListVertex>& v) override { bytes += v.size(); }
    void CompileOverlayList(int, const std::vector<SOverlayVertex>& v) override { bytes += v.size(); }
    void DeleteLandResources() override {}
    void BeginFrame(const SMat4&, const SMat4&, float) override {}
    void DrawPoints(const std::vector<SColouredPoint>& p) override { bytes += p.size(); }
    void DrawCross(SVec3) override {}
    void DrawSpotlight(const SSpotlight&, const CBlockMeshes&) override {}
    void DrawLandLists(int, const std::vector<std::uint8_t>&) override {}
    void DrawOverlayLists(int) override {}
    void DrawBoxes(const CBlockMeshes&) override {}
    void DrawStrengthBar(float) override {}
    void DrawMenu(const SMenuPlan&) override {}
    void DrawProgress(int) override {}
};

std::unique_ptr<CSculptingApp> Started(CRenderTarget& rt) {
    auto app = std::make_unique<CSculptingApp>();
    app->ReadBrushText(BuiltInBrushText(), "built-in");
    app->m_swatchAltitude = BuiltInSwatchAltitude();
    app->SelectBrush(0);
    if (!app->Adopt(BigLand())) return nullptr;
    app->LandStartUp(rt);
    app->FinishSynthesis(rt);
    return app;
}

void BM_SynthesiseAllBlocks(benchmark::State& state) {
    CCountingTarget rt;
    auto app = Started(rt);
    for (auto _ : state) {
        app->SynthesiseAll(rt);
        app->FinishSynthesis(rt);
    }
    benchmark::DoNotOptimize(rt.bytes);
    state.counters["blocks"] = app->m_mesh.Count();
}
BENCHMARK(BM_SynthesiseAllBlocks)->Unit(benchmark::kMillisecond);

void BM_AllDisplayListArrays(benchmark::State& state) {
    CCountingTarget rt;
    auto app = Started(rt);
    for (auto _ : state) {
        app->BuildLandLists(rt);
        app->BuildOverlayLists(app->m_currentCountry, rt);
    }
    benchmark::DoNotOptimize(rt.bytes);
}
BENCHMARK(BM_AllDisplayListArrays)->Unit(benchmark::kMillisecond);

void BM_AllNormals(benchmark::State& state) {
    CCountingTarget rt;
    auto app = Started(rt);
    for (auto _ : state) app->m_mesh.ComputeNormals();
}
BENCHMARK(BM_AllNormals)->Unit(benchmark::kMillisecond);

// One frame of a held button with the largest brush over a block corner: nine blocks change.
void BM_SculptStrokeNineBlocks(benchmark::State& state) {
    CCountingTarget rt;
    auto app = Started(rt);
    const int s = app->m_mesh.m_slotOfSquare[15][15];
    const CBlockMesh& mesh = app->m_mesh.m_meshes[std::size_t(s)];
    for (int t = 0; t < kTrianglesPerBlock; ++t)
        if (mesh.m_triangles[std::size_t(t)].v[1] == 0) app->m_pick = {1, s, t, 1.0f, 0.9f, 0.05f};
    app->m_brushRadius = 250;
    app->m_leftDown = true;
    app->m_liveTexture = state.range(0) != 0;
    float strength = 0.5f;
    for (auto _ : state) {
        app->m_brushStrength = strength;
        strength = -strength;   // up and down again, so heights stay in range
        app->SculptStroke(rt);
    }
    benchmark::DoNotOptimize(rt.bytes);
}
BENCHMARK(BM_SculptStrokeNineBlocks)->Arg(0)->Arg(1)->ArgName("liveTexture")->Unit(benchmark::kMicrosecond);

// Picking a pointer ray over the whole land, as every frame does.
void BM_PickVertex(benchmark::State& state) {
    CCountingTarget rt;
    auto app = Started(rt);
    app->m_mouse[0] = 320;
    app->m_mouse[1] = 300;
    for (auto _ : state) {
        app->PickVertex();
        benchmark::DoNotOptimize(app->m_pick.m_hitT);
    }
}
BENCHMARK(BM_PickVertex)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
