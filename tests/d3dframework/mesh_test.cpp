#include "d3dframework/mesh.h"

#include "support/terrain_grid.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <cmath>

using namespace lnd;
using devtest::makeGrid;

namespace {

const auto kUnsplit = [](int, int) { return false; };
const auto kSplit = [](int, int) { return true; };
// The far corner of the single cell raised, so its two triangles are not coplanar.
const auto kRaisedD = [](int i, int j) { return (i == 1 && j == 1) ? 20.0f : 0.0f; };

glm::vec3 hitPoint(const DeviceMesh& m, const RayHit& h) {
    const auto idx = m.indices();
    return (1.0f - h.u - h.v) * m.position(idx[3 * h.face]) + h.u * m.position(idx[3 * h.face + 1]) +
           h.v * m.position(idx[3 * h.face + 2]);
}

RayHit castDown(const DeviceMesh& m, float x, float z, float fromY = 50.0f) {
    RayHit h;
    EXPECT_EQ(intersectMesh(m, {x, fromY, z}, {0, -1, 0}, h), kDeviceOk);
    return h;
}

}  // namespace

TEST(DeviceMeshBuffers, CreationLimitsAndLocks) {
    std::unique_ptr<DeviceMesh> m;
    EXPECT_EQ(DeviceMesh::create(0, 3, VertexFormat::Terrain, m), kDeviceInvalidCall);
    EXPECT_EQ(DeviceMesh::create(1, 0, VertexFormat::Terrain, m), kDeviceInvalidCall);
    EXPECT_EQ(DeviceMesh::create(1, kMaxMeshVertices + 1, VertexFormat::Terrain, m), kDeviceOutOfMemory);
    EXPECT_EQ(DeviceMesh::create(1, 3, static_cast<VertexFormat>(0x999), m), kDeviceInvalidCall);
    EXPECT_FALSE(m);
    ASSERT_EQ(DeviceMesh::create(512, 1536, VertexFormat::Terrain, m), kDeviceOk);
    EXPECT_EQ(m->stride(), 44u);
    EXPECT_EQ(m->indices().size(), 1536u);

    const auto before = m->changeCount();
    void* v = nullptr;
    ASSERT_EQ(m->lockVertexBuffer(LockMode::ReadOnly, v), kDeviceOk);
    EXPECT_EQ(m->lockVertexBuffer(LockMode::ReadOnly, v), kDeviceInvalidCall);
    EXPECT_EQ(m->unlockVertexBuffer(), kDeviceOk);
    EXPECT_EQ(m->unlockVertexBuffer(), kDeviceInvalidCall);
    EXPECT_EQ(m->changeCount(), before);   // reading changes nothing the renderer must upload

    std::uint16_t* idx = nullptr;
    ASSERT_EQ(m->lockIndexBuffer(LockMode::ReadWrite, idx), kDeviceOk);
    idx[5] = 77;
    EXPECT_EQ(m->unlockIndexBuffer(), kDeviceOk);
    EXPECT_GT(m->changeCount(), before);
    EXPECT_EQ(m->indices()[5], 77);
}

TEST(DeviceMeshGeometry, BoundingBoxOfTheVertices) {
    auto m = makeGrid(3, 2, kUnsplit, [](int i, int j) { return float(i * 7 - j * 20); });
    glm::vec3 lo, hi;
    ASSERT_EQ(computeBoundingBox(m->vertexBytes(), m->vertexCount(), m->stride(), lo, hi), kDeviceOk);
    EXPECT_EQ(lo, glm::vec3(0, -40, 0));
    EXPECT_EQ(hi, glm::vec3(30, 21, 20));
    EXPECT_EQ(computeBoundingBox(m->vertexBytes(), 0, m->stride(), lo, hi), kDeviceInvalidCall);
    EXPECT_EQ(computeBoundingBox(m->vertexBytes(), 3, 8, lo, hi), kDeviceInvalidCall);
}

TEST(DeviceMeshGeometry, NormalsFollowTheWindingOfBothDiagonals) {
    for (auto split : {+kUnsplit, +kSplit}) {
        auto m = makeGrid(2, 2, split);
        ASSERT_EQ(computeNormals(*m), kDeviceOk);
        const auto* v = reinterpret_cast<const TerrainVertex*>(m->vertexBytes());
        // Terrain triangles run the same way round for either diagonal, so one flat land
        // has one normal everywhere.
        for (std::uint32_t k = 0; k < m->vertexCount(); ++k) {
            EXPECT_NEAR(v[k].normal.x, 0.0f, 1e-6f);
            EXPECT_NEAR(v[k].normal.y, -1.0f, 1e-6f);
            EXPECT_NEAR(v[k].normal.z, 0.0f, 1e-6f);
        }
    }
}

TEST(DeviceMeshGeometry, SharedVerticesAverageByAreaAndDegenerateFacesGiveZero) {
    std::unique_ptr<DeviceMesh> m;
    ASSERT_EQ(DeviceMesh::create(3, 6, VertexFormat::PositionNormal, m), kDeviceOk);
    auto* v = reinterpret_cast<PositionNormalVertex*>(m->mutableVertexBytes());
    v[0].position = {0, 0, 0};
    v[1].position = {0, 0, 2};   // face 0 in the y = 0 plane, area 2
    v[2].position = {2, 0, 0};
    v[3].position = {0, 1, 0};   // face 1 in the x = 0 plane, area 0.5, sharing vertex 0
    v[4].position = {5, 5, 5};   // face 2 degenerate
    v[5].position = {0, 0, 1};
    const std::uint16_t idx[9] = {0, 1, 2, 0, 3, 5, 4, 4, 4};
    std::uint16_t* ib = nullptr;
    m->lockIndexBuffer(LockMode::ReadWrite, ib);
    std::copy(std::begin(idx), std::end(idx), ib);
    m->unlockIndexBuffer();
    ASSERT_EQ(computeNormals(*m), kDeviceOk);
    // Face 0 contributes (0, 4, 0) and face 1 (1, 0, 0) to vertex 0.
    const glm::vec3 expected = glm::normalize(glm::vec3(1, 4, 0));
    EXPECT_NEAR(glm::distance(v[0].normal, expected), 0.0f, 1e-6f);
    EXPECT_NEAR(glm::distance(v[1].normal, glm::vec3(0, 1, 0)), 0.0f, 1e-6f);
    EXPECT_NEAR(glm::distance(v[3].normal, glm::vec3(1, 0, 0)), 0.0f, 1e-6f);
    EXPECT_EQ(v[4].normal, glm::vec3(0.0f));
}

TEST(DeviceMeshIntersect, UnsplitSquareIsCutAlongTheMainDiagonal) {
    auto m = makeGrid(1, 1, kUnsplit, kRaisedD);
    // x > z lies in the second triangle (b, d, a).
    RayHit h = castDown(*m, 7, 2);
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 1u);
    EXPECT_NEAR(h.u, 0.2f, 1e-5f);
    EXPECT_NEAR(h.v, 0.3f, 1e-5f);
    EXPECT_NEAR(h.distance, 46.0f, 1e-4f);
    EXPECT_NEAR(glm::distance(hitPoint(*m, h), glm::vec3(7, 4, 2)), 0.0f, 1e-4f);

    h = castDown(*m, 2, 7);
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 0u);
    EXPECT_NEAR(glm::distance(hitPoint(*m, h), glm::vec3(2, 4, 7)), 0.0f, 1e-4f);
}

TEST(DeviceMeshIntersect, SplitSquareIsCutAlongTheOtherDiagonal) {
    auto m = makeGrid(1, 1, kSplit, kRaisedD);
    RayHit h = castDown(*m, 2, 3);
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 0u);
    EXPECT_NEAR(h.distance, 50.0f, 1e-4f);   // triangle a, b, c stays flat

    h = castDown(*m, 8, 7);
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 1u);
    EXPECT_NEAR(h.u, 0.2f, 1e-5f);
    EXPECT_NEAR(h.v, 0.3f, 1e-5f);
    EXPECT_NEAR(h.distance, 40.0f, 1e-4f);
    EXPECT_NEAR(glm::distance(hitPoint(*m, h), glm::vec3(8, 10, 7)), 0.0f, 1e-4f);
}

TEST(DeviceMeshIntersect, EdgesSidesAndMisses) {
    auto m = makeGrid(2, 2, kUnsplit);
    // On the shared diagonal both faces are as near; the lower face number wins.
    RayHit h = castDown(*m, 5, 5);
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 0u);
    // A grid vertex and the outer corner still hit.
    EXPECT_TRUE(castDown(*m, 10, 10).hit);
    EXPECT_TRUE(castDown(*m, 20, 0).hit);
    EXPECT_FALSE(castDown(*m, 20.01f, 5).hit);

    // Seen from below, and with a longer direction (distance in multiples of it).
    ASSERT_EQ(intersectMesh(*m, {7, -10, 2}, {0, 2, 0}, h), kDeviceOk);
    ASSERT_TRUE(h.hit);
    EXPECT_NEAR(h.distance, 5.0f, 1e-5f);
    // Pointing away.
    ASSERT_EQ(intersectMesh(*m, {7, 10, 2}, {0, 1, 0}, h), kDeviceOk);
    EXPECT_FALSE(h.hit);
    EXPECT_EQ(intersectMesh(*m, {7, 10, 2}, {0, 0, 0}, h), kDeviceInvalidCall);
    EXPECT_FALSE(h.hit);
}

TEST(DeviceMeshIntersect, NearestHitWinsOverFaceOrderAndBadIndicesAreSkipped) {
    std::unique_ptr<DeviceMesh> m;
    ASSERT_EQ(DeviceMesh::create(3, 6, VertexFormat::PositionNormal, m), kDeviceOk);
    auto* v = reinterpret_cast<PositionNormalVertex*>(m->mutableVertexBytes());
    const glm::vec3 tri[3] = {{0, 0, 0}, {0, 0, 10}, {10, 0, 0}};
    for (int k = 0; k < 3; ++k) {
        v[k].position = tri[k];
        v[3 + k].position = tri[k] + glm::vec3(0, 10, 0);
    }
    std::uint16_t* ib = nullptr;
    m->lockIndexBuffer(LockMode::ReadWrite, ib);
    const std::uint16_t idx[9] = {0, 1, 2, 3, 4, 5, 0, 1, 999};
    std::copy(std::begin(idx), std::end(idx), ib);
    m->unlockIndexBuffer();
    RayHit h = castDown(*m, 2, 2);
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 1u);
    EXPECT_NEAR(h.distance, 40.0f, 1e-5f);
}

TEST(DeviceMeshSphere, RingsPolesAndOutwardFaces) {
    std::unique_ptr<DeviceMesh> s;
    ASSERT_EQ(createSphere(40.0f, 20, 20, s), kDeviceOk);
    EXPECT_EQ(s->format(), VertexFormat::PositionNormal);
    EXPECT_EQ(s->vertexCount(), 2u + 20u * 19u);
    EXPECT_EQ(s->faceCount(), 2u * 20u * 19u);
    const auto* v = reinterpret_cast<const PositionNormalVertex*>(s->vertexBytes());
    for (std::uint32_t k = 0; k < s->vertexCount(); ++k) {
        EXPECT_NEAR(glm::length(v[k].position), 40.0f, 1e-3f);
        EXPECT_NEAR(glm::distance(v[k].normal * 40.0f, v[k].position), 0.0f, 1e-3f);
    }
    const auto idx = s->indices();
    for (std::uint32_t f = 0; f < s->faceCount(); ++f) {
        const glm::vec3 a = s->position(idx[3 * f]), b = s->position(idx[3 * f + 1]), c = s->position(idx[3 * f + 2]);
        EXPECT_GT(glm::dot(glm::cross(b - a, c - a), a + b + c), 0.0f) << "face " << f;
    }
    RayHit h;
    ASSERT_EQ(intersectMesh(*s, {0, 0, -100}, {0, 0, 1}, h), kDeviceOk);
    ASSERT_TRUE(h.hit);
    EXPECT_NEAR(h.distance, 60.0f, 0.5f);   // a faceted sphere sits slightly inside the radius

    EXPECT_EQ(createSphere(10.0f, 2, 5, s), kDeviceInvalidCall);
    EXPECT_EQ(createSphere(10.0f, 5, 1, s), kDeviceInvalidCall);
    EXPECT_EQ(createSphere(-1.0f, 20, 20, s), kDeviceInvalidCall);
    EXPECT_EQ(createSphere(std::nanf(""), 20, 20, s), kDeviceInvalidCall);
    EXPECT_EQ(createSphere(1000.0f, 300, 300, s), kDeviceOutOfMemory);
    EXPECT_FALSE(s);
}

TEST(DeviceMeshClone, CopiesSharedElementsAndZeroesTheRest) {
    auto grid = makeGrid(1, 1, kSplit, kRaisedD);
    std::unique_ptr<DeviceMesh> c;
    ASSERT_EQ(cloneMesh(*grid, VertexFormat::PositionNormalTex1, c), kDeviceOk);
    ASSERT_EQ(c->vertexCount(), grid->vertexCount());
    const auto* from = reinterpret_cast<const TerrainVertex*>(grid->vertexBytes());
    const auto* to = reinterpret_cast<const PositionNormalTexVertex*>(c->vertexBytes());
    for (std::uint32_t k = 0; k < c->vertexCount(); ++k) {
        EXPECT_EQ(to[k].position, from[k].position);
        EXPECT_EQ(to[k].tex, from[k].loRes);   // first texture pair to first texture pair
    }
    EXPECT_TRUE(std::equal(c->indices().begin(), c->indices().end(), grid->indices().begin()));

    std::unique_ptr<DeviceMesh> sphere, back;
    ASSERT_EQ(createSphere(5.0f, 8, 4, sphere), kDeviceOk);
    ASSERT_EQ(cloneMesh(*sphere, VertexFormat::Terrain, back), kDeviceOk);
    const auto* t = reinterpret_cast<const TerrainVertex*>(back->vertexBytes());
    EXPECT_EQ(t[3].colour, 0u);
    EXPECT_EQ(t[3].block, glm::vec2(0.0f));
    EXPECT_NEAR(glm::length(t[3].normal), 1.0f, 1e-5f);
}
