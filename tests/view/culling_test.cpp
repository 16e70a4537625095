#include "view/frustum.h"

#include "support/editor_land.h"

#include <gtest/gtest.h>

using namespace lnd;
using lndtest::EditorLand;
constexpr auto kAsRead = EditorLand::State::AsRead;

namespace {

// A camera at `eye` looking along +x, with the view's own projection.
Frustum frustumAt(const glm::vec3& eye, const glm::vec3& look = {1, 0, 0}) {
    Frustum f;
    f.UpdateFrustum(matrixLookAtLH(eye, eye + look, {0, 1, 0}),
                    matrixPerspectiveFovLH(0.7853982f, 1.35f, 15.0f, 6000.0f));
    return f;
}

BoundingBox boxOf(glm::vec3 mn, glm::vec3 mx) { return {mn, mx}; }

}  // namespace

TEST(Frustum, CornersAndInwardPlanes) {
    const Frustum f = frustumAt({0, 0, 0});
    // c0 is near, left (+z when looking along +x) and bottom; c7 far, right and top.
    EXPECT_NEAR(f.m_corners[0].x, 15.0f, 1e-3f);
    EXPECT_GT(f.m_corners[0].z, 0.0f);
    EXPECT_NEAR(f.m_corners[7].y, 6000.0f * 0.41421356f, 1.0f);
    for (const auto& pl : f.m_planes) EXPECT_GT(planeDotCoord(pl, {1000, 0, 0}), 0.0f);
    EXPECT_LT(planeDotCoord(f.m_planes[Frustum::kNear], {-10, 0, 0}), 0.0f);
    EXPECT_LT(planeDotCoord(f.m_planes[Frustum::kLeft], {1000, 0, 900}), 0.0f);
    EXPECT_LT(planeDotCoord(f.m_planes[Frustum::kTop], {1000, 900, 0}), 0.0f);
}

TEST(Frustum, CullResultsForEachCase) {
    const Frustum f = frustumAt({0, 0, 0});
    // Ahead: a corner inside.
    EXPECT_EQ(f.CullBlock(boxOf({200, -10, -80}, {360, 10, 80})), kCullInside);
    // Behind the camera: every corner beyond the near plane.
    EXPECT_EQ(f.CullBlock(boxOf({-400, -10, -80}, {-240, 10, 80})), kCullOutside);
    // Far to the left and beyond the far plane.
    EXPECT_EQ(f.CullBlock(boxOf({200, -10, 3000}, {360, 10, 3160})), kCullOutside);
    EXPECT_EQ(f.CullBlock(boxOf({6100, -10, -80}, {6260, 10, 80})), kCullOutside);
    // A wall across the whole view: its corners are left and right of the frustum, none
    // inside, but the frustum's side edges pass through it.
    EXPECT_EQ(f.CullBlock(boxOf({300, -5, -20000}, {310, 5, 20000})), kCullInsideSlow);
    // A box around the camera bigger than the frustum contains it.
    EXPECT_EQ(f.CullBlock(boxOf({-10000, -10000, -10000}, {10000, 10000, 10000})), kCullInsideSlow);
    // Beside the far left edge: some corners only outside left, others only outside far,
    // and still no overlap.
    EXPECT_EQ(f.CullBlock(boxOf({5000, -10, 3400}, {7000, 10, 3500})), kCullOutsideSlow);
}

TEST(Frustum, SingularMatricesLeaveTheFrustumAsItWas) {
    Frustum f = frustumAt({0, 0, 0});
    const auto planes = f.m_planes;
    f.UpdateFrustum(Matrix(0.0f), matrixPerspectiveFovLH(0.7853982f, 1.35f, 15.0f, 6000.0f));
    EXPECT_EQ(f.m_planes, planes);
}

TEST(Visibility, CullsSquaresBehindAndBesideTheCameraAndSkipsBlocksWithoutMeshes) {
    lndtest::LandBuilder b;
    for (int x = 0; x < 8; ++x)
        for (int z = 0; z < 8; ++z) b.block(x, z);
    b.block(9, 9).block(12, 5);
    EditorLand land(b, kAsRead);
    CTerrainMesh mesh;
    LandBounds bounds;
    mesh.BuildGeometry(land.blocks(), bounds);
    mesh.LinkNeighbours();
    const Frustum f = frustumAt({4 * 160 + 80, 300, 4 * 160 + 80});

    // No meshes yet: nothing can be drawn or culled.
    mesh.UpdateVisibility(land.header().BlockIndex, f);
    EXPECT_FALSE(mesh.lodDirty());
    for (auto& row : mesh.visibleMap())
        for (auto v : row) EXPECT_EQ(v, 0);

    mesh.BuildAllMeshes();
    mesh.setCameraSquare({4, 4});
    mesh.UpdateVisibility(land.header().BlockIndex, f);
    EXPECT_EQ(mesh.visibleMap()[4][4], 0) << "clear: m_lodDirty was cleared";
    mesh.markLodDirty();
    mesh.UpdateVisibility(land.header().BlockIndex, f);
    const auto& index = land.header().BlockIndex;
    EXPECT_EQ(mesh.visibleMap()[6][4], index[6][4]);      // ahead
    EXPECT_EQ(mesh.lodMap()[6][4], LodFull);
    EXPECT_EQ(mesh.visibleMap()[7][4], index[7][4]);
    EXPECT_EQ(mesh.lodMap()[7][4], LodMedium);            // exactly 3 squares
    EXPECT_EQ(mesh.visibleMap()[7][6], index[7][6]);
    EXPECT_EQ(mesh.lodMap()[7][6], LodMedium);
    EXPECT_EQ(mesh.visibleMap()[12][5], index[12][5]);
    EXPECT_EQ(mesh.lodMap()[12][5], LodLow);
    EXPECT_EQ(mesh.visibleMap()[9][9], 0);                // 45 degrees to the left
    EXPECT_EQ(mesh.visibleMap()[1][4], 0);                // behind
    EXPECT_EQ(mesh.lodMap()[1][4], 0);
    EXPECT_EQ(mesh.visibleMap()[6][0], 0);                // far to the left side
    EXPECT_EQ(mesh.visibleMap()[10][10], 0);              // empty square
}
