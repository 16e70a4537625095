#include "view/picking.h"

#include "view/camera.h"
#include "view/frustum.h"
#include "support/editor_land.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

using namespace lnd;
using lndtest::EditorLand;
constexpr auto kAsRead = EditorLand::State::AsRead;

namespace {

constexpr float kW = 800.0f, kH = 600.0f;

// Blocks along x on column 5, rows 4..9, flat at `base` except row 7 at `hill`.
lndtest::LandBuilder rowOfBlocks(int base, int hill) {
    lndtest::LandBuilder b;
    for (int x = 4; x <= 9; ++x)
        b.block(x, 5, [=](TLndBlock& blk) {
            for (auto& row : blk.Cells)
                for (auto& c : row) c.Altitude = std::uint8_t(x == 7 ? hill : base);
        });
    return b;
}

struct Scene {
    CTerrainMesh mesh;
    Matrix view, projection;
    Frustum frustum;

    Scene(EditorLand& land, glm::vec3 eye, glm::vec3 target, int forcedLod) {
        LandBounds bounds;
        mesh.BuildGeometry(land.blocks(), bounds);
        mesh.LinkNeighbours();
        mesh.BuildAllMeshes();
        view = matrixLookAtLH(eye, target, {0, 1, 0});
        projection = matrixPerspectiveFovLH(0.7853982f, kW / kH, 15.0f, 6000.0f);
        frustum.UpdateFrustum(view, projection);
        mesh.setForcedLod(forcedLod);
        mesh.setCameraSquare({int(eye.x / 160), int(eye.z / 160)});
        mesh.UpdateVisibility(land.header().BlockIndex, frustum);
    }

    // The pointer position at which world point p appears.
    glm::vec2 screenOf(const glm::vec3& p) const {
        const glm::vec3 ndc = vec3TransformCoord(p, matrixMultiply(view, projection));
        return {(ndc.x + 1.0f) * 0.5f * kW, (1.0f - ndc.y) * 0.5f * kH};
    }
    TerrainHit pickAt(glm::vec2 pointer) const {
        return pickTerrain(mesh, computePickRay(view, projection, pointer.x, pointer.y, kW, kH));
    }
};

}  // namespace

TEST(PickRay, StartsOneUnitAheadOfTheEye) {
    const glm::vec3 eye(880, 300, 880), target(1000, 20, 880);
    const Matrix view = matrixLookAtLH(eye, target, {0, 1, 0});
    const Matrix proj = matrixPerspectiveFovLH(0.7853982f, 1.35f, 15.0f, 6000.0f);
    const PickRay ray = computePickRay(view, proj, 400, 300, 800, 600);
    EXPECT_NEAR(glm::length(ray.origin - (eye + glm::normalize(target - eye))), 0.0f, 1e-3f);
    EXPECT_FALSE(computePickRay(view, proj, 1, 1, 0, 600).valid());
    EXPECT_FALSE(computePickRay(Matrix(0.0f), proj, 1, 1, 800, 600).valid());
}

TEST(Picking, AKnownCellFromAKnownCameraAndPointer) {
    EditorLand land(rowOfBlocks(20, 20), kAsRead);
    Scene s(land, {880, 300, 880}, {1000, 20, 880}, 3);
    // Centre of the screen: the target, in cell (4, 8) of the block on square (6, 5).
    TerrainHit hit = s.pickAt({kW / 2, kH / 2});
    ASSERT_EQ(hit.block, land.header().BlockIndex[6][5] - 1);
    EXPECT_NEAR(hit.point.x, 1000.0f, 0.05f);
    EXPECT_NEAR(hit.point.y, 20.0f, 1e-3f);
    EXPECT_NEAR(hit.point.z, 880.0f, 0.05f);
    // Any other visible point comes back where it was drawn.
    const glm::vec3 p(1123.0f, 20.0f, 851.5f);
    hit = s.pickAt(s.screenOf(p));
    ASSERT_EQ(hit.block, land.header().BlockIndex[7][5] - 1);
    EXPECT_NEAR(glm::length(hit.point - p), 0.0f, 0.1f);
    // The hit triangle belongs to the cell under p, (0, 5) of that block, and the brush
    // centre is one of its corners.
    const BlockGeometry& g = s.mesh.geometry(hit.block);
    const BlockTriangle& t = g.triangles[std::size_t(hit.face)];
    EXPECT_EQ(hit.face / 2, 16 * ((1123 - 1120) / 10) + (851 - 800) / 10);
    EXPECT_TRUE(hit.brushCentre == g.positions[std::size_t(t.v[0])] || hit.brushCentre == g.positions[std::size_t(t.v[1])] ||
                hit.brushCentre == g.positions[std::size_t(t.v[2])]);
}

TEST(Picking, TheHillInFrontWinsOverAnEarlierSquareBehindIt) {
    // Looking along -x: the ray meets the plateau on row 7, then (through it, hits are
    // two-sided) the ground of row 5, which comes first in grid order.
    EditorLand land(rowOfBlocks(0, 200), kAsRead);
    Scene s(land, {1500, 400, 880}, {1200, 200, 880}, 3);
    const TerrainHit hit = s.pickAt({kW / 2, kH / 2});
    ASSERT_EQ(hit.block, land.header().BlockIndex[7][5] - 1);
    EXPECT_NEAR(hit.point.x, 1200.0f, 0.05f);
    EXPECT_NEAR(hit.point.y, 200.0f, 1e-3f);

    // With the plateau gone from the full-detail set, the ground behind it is picked.
    s.mesh.setSquare(7, 5, s.mesh.visibleMap()[7][5], LodMedium);
    const TerrainHit behind = s.pickAt({kW / 2, kH / 2});
    ASSERT_EQ(behind.block, land.header().BlockIndex[5][5] - 1);
    EXPECT_NEAR(behind.point.x, 900.0f, 0.05f);
}

TEST(Picking, OnlyFullDetailBlocksWithMeshesPickAndTheBrushCentreIsKept) {
    EditorLand land(rowOfBlocks(20, 20), kAsRead);
    Scene s(land, {880, 300, 880}, {1000, 20, 880}, 2);   // everything at medium detail
    CTerrainPicker picker;
    picker.m_brushCentre = {1, 2, 3};
    picker.m_ray = computePickRay(s.view, s.projection, kW / 2, kH / 2, kW, kH);
    picker.PickTerrain(s.mesh);
    EXPECT_EQ(picker.m_cursorBlock, -1);
    EXPECT_EQ(picker.m_hitPoint, kNoHit);
    EXPECT_EQ(picker.m_brushCentre, glm::vec3(1, 2, 3));
    Matrix world;
    EXPECT_FALSE(cursorModelWorld(picker.m_hitPoint, 6.0f, world));

    s.mesh.setForcedLod(3);
    s.mesh.markLodDirty();
    s.mesh.UpdateVisibility(land.header().BlockIndex, s.frustum);
    picker.PickTerrain(s.mesh);
    EXPECT_EQ(picker.m_cursorBlock, land.header().BlockIndex[6][5] - 1);
    EXPECT_NE(picker.m_brushCentre, glm::vec3(1, 2, 3));

    // A block whose meshes were released cannot be picked.
    s.mesh.ReleaseBlockMeshes(picker.m_cursorBlock);
    picker.PickTerrain(s.mesh);
    EXPECT_NE(picker.m_cursorBlock, land.header().BlockIndex[6][5] - 1);
}

TEST(Picking, HitsFromBelowCount) {
    EditorLand land(rowOfBlocks(100, 100), kAsRead);
    Scene s(land, {700, 20, 880}, {1000, 100, 880}, 3);
    const TerrainHit hit = s.pickAt({kW / 2, kH / 2});
    EXPECT_GE(hit.block, 0);
    EXPECT_NEAR(hit.point.y, 100.0f, 1e-3f);
}

TEST(BrushCentre, SnapsTestingVFirstWithStrictHalves) {
    const glm::vec3 v0(0, 0, 0), v1(10, 0, 0), v2(0, 0, 10);
    EXPECT_EQ(snapBrushCentre(v0, v1, v2, 0.6f, 0.3f), v1);
    EXPECT_EQ(snapBrushCentre(v0, v1, v2, 0.3f, 0.6f), v2);
    EXPECT_EQ(snapBrushCentre(v0, v1, v2, 0.4f, 0.4f), v0);
    EXPECT_EQ(snapBrushCentre(v0, v1, v2, 0.6f, 0.6f), v1);
}

TEST(Markers, CursorModelStandsOnThePointAndTheSphereFollowsTheRadius) {
    Matrix world;
    ASSERT_TRUE(cursorModelWorld({100, 20, 300}, 6.0f, world));
    EXPECT_EQ(vec3TransformCoord({0, 0, 0}, world), glm::vec3(100, 24, 300));
    EXPECT_EQ(vec3TransformCoord({1, 1, 1}, world), glm::vec3(106, 30, 306));

    EXPECT_EQ(CBrushSphere::segmentsFor(40), 20);
    EXPECT_EQ(CBrushSphere::segmentsFor(160), 40);
    CBrushSphere sphere;
    ASSERT_EQ(sphere.setRadius(80), kDeviceOk);
    const DeviceMesh* first = sphere.mesh();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->format(), VertexFormat::PositionNormalTex1);
    EXPECT_EQ(sphere.setRadius(80), kDeviceOk);
    EXPECT_EQ(sphere.mesh(), first) << "same radius: kept";
    ASSERT_EQ(sphere.setRadius(160), kDeviceOk);
    const auto* v = reinterpret_cast<const PositionNormalTexVertex*>(sphere.mesh()->vertexBytes());
    float maxR = 0;
    for (std::uint32_t k = 0; k < sphere.mesh()->vertexCount(); ++k) {
        maxR = std::max(maxR, glm::length(v[k].position));
        ASSERT_GE(v[k].tex.x, 0.0f);
        ASSERT_LE(v[k].tex.x, 1.0f);
        ASSERT_GE(v[k].tex.y, 0.0f);
        ASSERT_LE(v[k].tex.y, 1.0f);
    }
    EXPECT_NEAR(maxR, 160.0f, 1e-2f);
    ASSERT_TRUE(sphere.world({5, 6, 7}, world));
    EXPECT_EQ(vec3TransformCoord({0, 0, 0}, world), glm::vec3(5, 7, 7));
    EXPECT_FALSE(sphere.world(kNoHit, world));
}
