// Per-frame cost of the terrain view's logic (frustum, visibility, level of detail, picking,
// draw list) and of rebuilding meshes after a brush step.
#include "view/terrain_land.h"
#include "view/terrain_view.h"

#include "support/land_builder.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace lnd;

namespace {

// 255 blocks on a 16 x 16 patch in the grid's middle (one square left empty), with hills.
std::vector<std::uint8_t> bigLand(bool fillEverySquare) {
    lndtest::LandBuilder b;
    int made = 0;
    for (int x = 8; x < 24 && made < 255; ++x)
        for (int z = 8; z < 24 && made < 255; ++z, ++made)
            b.block(x, z, [=](TLndBlock& blk) {
                for (int i = 0; i < 17; ++i)
                    for (int j = 0; j < 17; ++j) {
                        const float wx = float(x * 16 + i), wz = float(z * 16 + j);
                        blk.Cells[i][j].Altitude =
                            std::uint8_t(60 + 50 * std::sin(wx * 0.05f) * std::cos(wz * 0.07f));
                        blk.Cells[i][j].CellFlags = ((i + j) & 1) ? kSplit : 0;
                    }
            });
    b.loResTextures(16);
    if (fillEverySquare)
        b.header([](TLndHeader& h) {
            // Every one of the 1024 squares names a block; squares may share blocks.
            for (int r = 0; r < 32; ++r)
                for (int c = 0; c < 32; ++c) h.BlockIndex[r][c] = std::uint8_t((r * 32 + c) % 255 + 1);
        });
    return b.build();
}

struct Scene {
    CLand land;
    CTerrainView view;
    FrameInput input;

    explicit Scene(bool fillEverySquare) {
        land.adoptImage(bigLand(fillEverySquare));
        land.setLoaded(true);
        view.attach(land);
        buildTerrainGeometry(view.mesh(), land);   // what the open does
        view.onLandOpened(land, nullptr);
        view.restoreDeviceObjects(land);
        land.textures().blocks().make(std::size_t(land.numBlocks()));   // synthesis is not measured
        view.setSynthesizer([](CLand&, int) { return 0; });
        input.pointerInView = true;
        input.pointerX = 400;
        input.pointerY = 330;
        input.backBufferWidth = 800;
        input.backBufferHeight = 600;
        view.frame(land, input);
    }
};

// Frustum, visibility with level of detail, and picking, recomputed every frame as when the
// camera turns continuously.
void runCulling(benchmark::State& state, bool fillEverySquare) {
    Scene s(fillEverySquare);
    const TLndHeader& header = *s.land.header();
    std::size_t drawn = 0, hits = 0;
    CCamera& camera = s.view.camera();
    CTerrainMesh& mesh = s.view.mesh();
    CTerrainPicker& picker = s.view.picker();
    Frustum frustum;
    for (auto _ : state) {
        s.view.navigator().m_rotation = 0.004f;
        camera.UpdateCamera(s.view.navigator(), [&](float x, float z) { return AltitudeAt(s.land, x, z); });
        frustum.UpdateFrustum(camera.m_view, camera.m_projection);
        CameraSquare square;
        camera.cameraSquare(square.row, square.column);
        mesh.setCameraSquare(square);
        mesh.markLodDirty();
        mesh.UpdateVisibility(header.BlockIndex, frustum);
        picker.m_ray = computePickRay(camera.m_view, camera.m_projection, 400, 330, 800, 600);
        picker.PickTerrain(mesh);
        hits += picker.m_cursorBlock >= 0;
        for (auto& row : mesh.visibleMap())
            for (auto v : row) drawn += v != 0;
    }
    state.counters["visible"] = benchmark::Counter(double(drawn), benchmark::Counter::kAvgIterations);
    state.counters["picked"] = benchmark::Counter(double(hits), benchmark::Counter::kAvgIterations);
}

void BM_VisibilityLodPick_255Blocks(benchmark::State& state) { runCulling(state, false); }
void BM_VisibilityLodPick_1024Squares(benchmark::State& state) { runCulling(state, true); }

// The whole frame the renderer asks for, with the camera turning.
void BM_WholeFrame_255Blocks(benchmark::State& state) {
    Scene s(false);
    for (auto _ : state) {
        s.view.navigator().m_rotation = 0.004f;
        FramePlan plan = s.view.frame(s.land, s.input);
        benchmark::DoNotOptimize(plan.terrain.data());
    }
}

// One brush step's mesh work: the block under the pointer and its eight neighbours get new
// heights and their three meshes again.
void BM_RebuildBlockAndNeighbours(benchmark::State& state) {
    Scene s(false);
    const int centre = s.land.header()->BlockIndex[15][15] - 1;
    std::vector<int> changed{centre};
    for (std::int32_t n : s.view.mesh().geometry(centre).links.neighbours) changed.push_back(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.view.mesh().RebuildBlocks(changed, s.land.blocks()));
    }
}

}  // namespace

BENCHMARK(BM_VisibilityLodPick_255Blocks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VisibilityLodPick_1024Squares)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeFrame_255Blocks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RebuildBlockAndNeighbours)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
