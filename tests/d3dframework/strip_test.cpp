#include "d3dframework/mesh.h"

#include "support/terrain_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>

using namespace lnd;
using devtest::makeGrid;

namespace {

using Corners = std::array<std::array<float, 3>, 3>;

std::array<float, 3> key(const glm::vec3& p) { return {p.x, p.y, p.z}; }

// A triangle by its corner positions, turned so the smallest corner comes first: equal for
// the same triangle with the same winding, whatever vertex numbers name it.
Corners canonical(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c) {
    Corners t = {key(a), key(b), key(c)};
    const auto first = std::min_element(t.begin(), t.end()) - t.begin();
    std::rotate(t.begin(), t.begin() + first, t.end());
    return t;
}

std::map<Corners, int> meshFaces(const DeviceMesh& m) {
    std::map<Corners, int> out;
    const auto idx = m.indices();
    for (std::size_t f = 0; f < idx.size(); f += 3)
        ++out[canonical(m.position(idx[f]), m.position(idx[f + 1]), m.position(idx[f + 2]))];
    return out;
}

std::map<Corners, int> stripFaces(const DeviceMesh& m, const std::vector<std::uint16_t>& strip) {
    std::map<Corners, int> out;
    for (const auto& t : stripTriangles(strip)) ++out[canonical(m.position(t[0]), m.position(t[1]), m.position(t[2]))];
    return out;
}

}  // namespace

TEST(DeviceStrip, TerrainBlockWithMixedDiagonalsComesBackWhole) {
    std::mt19937 rng(7);
    std::array<std::array<bool, 16>, 16> split{};
    for (auto& row : split)
        for (auto& s : row) s = (rng() & 1) != 0;
    auto m = makeGrid(16, 16, [&](int i, int j) { return split[i][j]; },
                      [](int i, int j) { return float((i * 37 + j * 11) % 50); });
    std::vector<std::uint16_t> strip;
    ASSERT_EQ(convertToSingleStrip(*m, strip), kDeviceOk);
    for (std::uint16_t v : strip) ASSERT_LT(v, m->vertexCount());

    const auto faces = meshFaces(*m);
    const auto fromStrip = stripFaces(*m, strip);
    EXPECT_EQ(stripTriangles(strip).size(), 512u);
    EXPECT_EQ(fromStrip, faces);   // every triangle once, wound as in the mesh

    // Each cell's diagonal is known again from the strip: an edge between opposite corners.
    for (const auto& t : stripTriangles(strip)) {
        for (int k = 0; k < 3; ++k) {
            const glm::vec3 p = m->position(t[k]), q = m->position(t[(k + 1) % 3]);
            if (p.x == q.x || p.z == q.z) continue;
            const int i = int(std::min(p.x, q.x)) / 10, j = int(std::min(p.z, q.z)) / 10;
            const bool alongBc = (p.x < q.x) != (p.z < q.z);
            EXPECT_EQ(alongBc, split[i][j]) << "cell " << i << "," << j;
        }
    }
    // Welded positions make a real strip, far shorter than separate triangles.
    EXPECT_LT(strip.size(), 2u * 512u);
}


TEST(DeviceStrip, SeparateIslandsKeepTheirWindingAcrossJoins) {
    // Three triangles sharing no position: every join must restore the even parity.
    std::unique_ptr<DeviceMesh> m;
    ASSERT_EQ(DeviceMesh::create(3, 9, VertexFormat::PositionNormal, m), kDeviceOk);
    auto* v = reinterpret_cast<PositionNormalVertex*>(m->mutableVertexBytes());
    for (int t = 0; t < 3; ++t) {
        v[3 * t].position = {100.0f * t, 0, 0};
        v[3 * t + 1].position = {100.0f * t, 0, 10};
        v[3 * t + 2].position = {100.0f * t + 10, 0, 0};
    }
    std::uint16_t* ib = nullptr;
    m->lockIndexBuffer(LockMode::ReadWrite, ib);
    for (int k = 0; k < 9; ++k) ib[k] = static_cast<std::uint16_t>(k);
    m->unlockIndexBuffer();
    std::vector<std::uint16_t> strip;
    ASSERT_EQ(convertToSingleStrip(*m, strip), kDeviceOk);
    EXPECT_EQ(stripFaces(*m, strip), meshFaces(*m));
}

TEST(DeviceStrip, SharedIndexMeshesAndBadInput) {
    std::unique_ptr<DeviceMesh> sphere;
    ASSERT_EQ(createSphere(10.0f, 12, 7, sphere), kDeviceOk);
    std::vector<std::uint16_t> strip;
    ASSERT_EQ(convertToSingleStrip(*sphere, strip), kDeviceOk);
    EXPECT_EQ(stripFaces(*sphere, strip), meshFaces(*sphere));

    // A face whose corners coincide is left out; nothing else is there to strip.
    std::unique_ptr<DeviceMesh> flat;
    ASSERT_EQ(DeviceMesh::create(1, 3, VertexFormat::PositionNormal, flat), kDeviceOk);
    ASSERT_EQ(convertToSingleStrip(*flat, strip), kDeviceOk);
    EXPECT_TRUE(strip.empty());

    std::uint16_t* ib = nullptr;
    flat->lockIndexBuffer(LockMode::ReadWrite, ib);
    ib[2] = 3;
    flat->unlockIndexBuffer();
    EXPECT_EQ(convertToSingleStrip(*flat, strip), kDeviceInvalidData);
}

TEST(DeviceStrip, TrianglesOfAStripSkipJoinsAndTurnOddOnes) {
    const std::vector<std::uint16_t> strip = {0, 1, 2, 3, 3, 3, 3, 4, 4, 5, 6, 7};
    const auto t = stripTriangles(strip);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0], (std::array<std::uint16_t, 3>{0, 1, 2}));
    EXPECT_EQ(t[1], (std::array<std::uint16_t, 3>{2, 1, 3}));
    EXPECT_EQ(t[2], (std::array<std::uint16_t, 3>{4, 5, 6}));
    EXPECT_EQ(t[3], (std::array<std::uint16_t, 3>{6, 5, 7}));
    EXPECT_TRUE(stripTriangles(std::vector<std::uint16_t>{1, 2}).empty());
}
