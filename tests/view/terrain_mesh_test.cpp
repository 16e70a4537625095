#include "view/terrain_mesh.h"

#include "support/editor_land.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <utility>

using namespace lnd;
using lndtest::EditorLand;
constexpr auto kAsRead = EditorLand::State::AsRead;

namespace {

CTerrainMesh built(EditorLand& land, LandBounds* boundsOut = nullptr) {
    CTerrainMesh mesh;
    LandBounds bounds;
    mesh.BuildGeometry(land.blocks(), bounds);
    mesh.LinkNeighbours();
    if (boundsOut) *boundsOut = bounds;
    return mesh;
}

std::vector<TerrainVertex> levelVertices(const CTerrainMesh& mesh, int b, MeshLevel level) {
    std::vector<TerrainVertex> v(std::size_t(3 * CTerrainMesh::levelTriangleCount(level)));
    mesh.fillLevelVertices(b, level, v);
    return v;
}

// Border segments of a level's triangles, as pairs of (x, y, z) end points, keyed without
// direction. For a crack-free join every segment on a shared edge must be present on both
// sides with the same heights.
using Point = std::tuple<float, float, float>;
std::set<std::pair<Point, Point>> edgeSegmentsOn(const std::vector<TerrainVertex>& v, bool alongX, float at) {
    std::set<std::pair<Point, Point>> out;
    for (std::size_t t = 0; t < v.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const glm::vec3 p = v[t + std::size_t(k)].position, q = v[t + std::size_t((k + 1) % 3)].position;
            const float pc = alongX ? p.x : p.z, qc = alongX ? q.x : q.z;
            if (pc != at || qc != at) continue;
            Point a{p.x, p.y, p.z}, b{q.x, q.y, q.z};
            out.insert(a < b ? std::make_pair(a, b) : std::make_pair(b, a));
        }
    }
    return out;
}

}  // namespace

TEST(TerrainGeometry, TrianglesFollowTheSplitFlagOfEveryCell) {
    EditorLand land(lndtest::LandBuilder().block(3, 4, [](TLndBlock& b) {
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j)
                b.Cells[i][j].CellFlags = ((i * 7 + j * 3) % 5 < 2) ? kSplit : 0;
    }), kAsRead);
    const CTerrainMesh mesh = built(land);
    const BlockGeometry& g = mesh.geometry(0);
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) {
            const int a = vertexNumber(i, j), b = vertexNumber(i + 1, j);
            const int c = vertexNumber(i, j + 1), d = vertexNumber(i + 1, j + 1);
            const BlockTriangle& t0 = g.triangles[std::size_t(2 * (16 * i + j))];
            const BlockTriangle& t1 = g.triangles[std::size_t(2 * (16 * i + j) + 1)];
            const bool split = (i * 7 + j * 3) % 5 < 2;   // cut b-c when set, a-d when clear
            const std::vector<int> want = split ? std::vector<int>{a, b, c, d, c, b, 0} : std::vector<int>{c, a, d, b, d, a, 1};
            EXPECT_EQ((std::vector<int>{t0.v[0], t0.v[1], t0.v[2], t1.v[0], t1.v[1], t1.v[2], t0.diagonal}), want)
                << "cell " << i << "," << j;
            EXPECT_EQ(t1.diagonal, t0.diagonal);
        }
    }
}

TEST(TerrainGeometry, VertexAttributesPositionsShadesAndTextureCoordinates) {
    EditorLand land(lndtest::LandBuilder().block(2, 5, [](TLndBlock& b) {
        b.MapX = 320.75f;     // fractions never reach the mesh
        b.MapZ = 800.4f;
        b.LoResX = 192;
        b.LoResY = 64;
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j) {
                b.Cells[i][j].Shade = std::uint8_t(200 + i + j);
                b.Cells[i][j].Altitude = std::uint8_t(i * 10 + j);
            }
    }), kAsRead);
    LandBounds bounds;
    const CTerrainMesh mesh = built(land, &bounds);
    const BlockGeometry& g = mesh.geometry(0);
    for (int i = 0; i < 17; ++i) {
        for (int j = 0; j < 17; ++j) {
            const int k = vertexNumber(i, j);
            EXPECT_EQ(g.positions[k].x, std::trunc(320.75f + 10.0f * float(i)));
            EXPECT_EQ(g.positions[k].y, float(i * 10 + j));
            EXPECT_EQ(g.positions[k].z, std::trunc(800.4f + 10.0f * float(j)));
            EXPECT_EQ(g.shades[k], std::uint32_t(200 + i + j));
            EXPECT_FLOAT_EQ(g.loResUv[k].x, 0.75f + float(j) / 64.0f);
            EXPECT_FLOAT_EQ(g.loResUv[k].y, 0.25f + float(i) / 64.0f);
            EXPECT_FLOAT_EQ(g.blockUv[k].x, float(j) / 16.0f);
            EXPECT_FLOAT_EQ(g.blockUv[k].y, float(i) / 16.0f);
        }
    }
    // Extents are truncated; y is Altitude + 1.
    EXPECT_EQ(g.links.minX, 320);
    EXPECT_EQ(g.links.maxX, 480);
    EXPECT_EQ(g.links.minZ, 800);
    EXPECT_EQ(g.links.maxZ, 960);
    EXPECT_EQ(g.links.minY, 1);
    EXPECT_EQ(g.links.maxY, 177);
    EXPECT_EQ(g.links.block, 0);
    EXPECT_EQ(glm::vec3(bounds.minX, bounds.minY, bounds.minZ), glm::vec3(320.0f, 1.0f, 800.0f));
    EXPECT_EQ(glm::vec3(bounds.maxX, bounds.maxY, bounds.maxZ), glm::vec3(480.0f, 177.0f, 960.0f));

    // The mesh vertex carries the shade in the colour's lowest byte, alpha zero.
    const auto full = levelVertices(mesh, 0, MeshLevel::Full);
    EXPECT_EQ(full[0].colour, g.shades[std::size_t(g.triangles[0].v[0])]);
    for (const TerrainVertex& v : full) EXPECT_EQ(v.colour & 0xFFFFFF00u, 0u);
}

TEST(TerrainGeometry, EveryLevelTilesTheBlockAndKeepsEachBorderSegment) {
    const std::vector<std::span<const PatternTriangle>> patterns = {PatternMedium(), PatternLow()};
    ASSERT_EQ(PatternMedium().size(), 118u);
    ASSERT_EQ(PatternLow().size(), 64u);
    for (const auto& pat : patterns) {
        std::map<std::pair<int, int>, int> directed;
        double area = 0;
        for (const PatternTriangle& t : pat) {
            const int ai = t[0] / 17, aj = t[0] % 17, bi = t[1] / 17, bj = t[1] % 17, ci = t[2] / 17, cj = t[2] % 17;
            const int cr = (bi - ai) * (cj - aj) - (bj - aj) * (ci - ai);
            EXPECT_GT(cr, 0) << "every triangle winds like the full level";
            area += cr / 2.0;
            for (int k = 0; k < 3; ++k) ++directed[{t[std::size_t(k)], t[std::size_t((k + 1) % 3)]}];
        }
        EXPECT_EQ(area, 256.0);
        int border = 0;
        for (const auto& [e, n] : directed) {
            EXPECT_EQ(n, 1);
            if (directed.count({e.second, e.first})) continue;
            // An unmatched edge must be one unit step of the border ring: no T-junctions.
            const int pi = e.first / 17, pj = e.first % 17, qi = e.second / 17, qj = e.second % 17;
            const bool onBorder = (pi == qi && (pi == 0 || pi == 16)) || (pj == qj && (pj == 0 || pj == 16));
            EXPECT_TRUE(onBorder && std::abs(pi - qi) + std::abs(pj - qj) == 1)
                << "open edge " << e.first << "-" << e.second;
            ++border;
        }
        EXPECT_EQ(border, 64);
    }
}

TEST(TerrainGeometry, NeighboursOfDifferentLevelsShareEveryEdgeSegment) {
    EditorLand land(lndtest::LandBuilder().block(4, 4).block(5, 4).block(4, 5), kAsRead);
    const CTerrainMesh mesh = built(land);
    const MeshLevel levels[] = {MeshLevel::Full, MeshLevel::Medium, MeshLevel::Low};
    for (MeshLevel la : levels) {
        for (MeshLevel lb : levels) {
            const auto a = levelVertices(mesh, 0, la);
            const auto px = levelVertices(mesh, 1, lb);   // +x neighbour
            const auto pz = levelVertices(mesh, 2, lb);   // +z neighbour
            const auto ax = edgeSegmentsOn(a, true, 800.0f);
            EXPECT_EQ(ax.size(), 16u);
            EXPECT_EQ(ax, edgeSegmentsOn(px, true, 800.0f));
            const auto az = edgeSegmentsOn(a, false, 800.0f);
            EXPECT_EQ(az.size(), 16u);
            EXPECT_EQ(az, edgeSegmentsOn(pz, false, 800.0f));
        }
    }
}

TEST(TerrainMeshes, BuiltFromTheGeometryAndRebuiltAfterAnEdit) {
    EditorLand land(lndtest::LandBuilder().block(1, 1).block(1, 2), kAsRead);
    CTerrainMesh mesh = built(land);
    EXPECT_FALSE(mesh.meshTablesExist());
    mesh.BuildAllMeshes();
    for (MeshLevel level : {MeshLevel::Full, MeshLevel::Medium, MeshLevel::Low}) {
        const DeviceMesh* m = mesh.mesh(1, level);
        ASSERT_NE(m, nullptr);
        const auto* v = reinterpret_cast<const TerrainVertex*>(m->vertexBytes());
        const auto expect = levelVertices(mesh, 1, level);
        ASSERT_EQ(m->vertexCount(), expect.size());
        EXPECT_EQ(m->indices().back(), expect.size() - 1);
        for (std::size_t k = 0; k < expect.size(); ++k) {
            ASSERT_EQ(v[k].position, expect[k].position);
            ASSERT_NEAR(glm::length(v[k].normal), 1.0f, 1e-5f);
        }
    }
    EXPECT_EQ(mesh.mesh(2, MeshLevel::Full), nullptr);

    const DeviceMesh* untouched = mesh.mesh(1, MeshLevel::Full);
    TLndBlock& blk = land.blocks()[0];
    const glm::vec3 before = mesh.geometry(0).positions[vertexNumber(3, 4)];
    blk.Cells[3][4].Altitude = 255;
    blk.MapX = 9999.0f;   // only heights are taken again
    const int changed[] = {0, -1, 7};
    EXPECT_EQ(mesh.RebuildBlocks(changed, land.blocks()), kDeviceOk);
    EXPECT_EQ(mesh.geometry(0).positions[vertexNumber(3, 4)], glm::vec3(before.x, 255.0f, before.z));
    EXPECT_EQ(mesh.box(0)->max.y, 255.0f);
    EXPECT_EQ(mesh.box(0)->min.x, before.x - 30.0f);
    EXPECT_EQ(mesh.mesh(1, MeshLevel::Full), untouched);

    // A new geometry drops the meshes of the old one.
    LandBounds bounds;
    mesh.BuildGeometry(land.blocks(), bounds);
    EXPECT_FALSE(mesh.meshTablesExist());
}

TEST(NeighbourLinks, AloneAtGridEdgesAndAroundAHole) {
    // A 3 x 3 ring of blocks around an empty centre at (10, 10), plus blocks on the grid's
    // far corners that touch nothing.
    lndtest::LandBuilder b;
    const std::pair<int, int> ring[] = {{9, 9}, {9, 10}, {9, 11}, {10, 9}, {10, 11}, {11, 9}, {11, 10}, {11, 11}};
    for (auto [x, z] : ring) b.block(x, z);
    b.block(0, 0).block(31, 31);
    EditorLand land(b, kAsRead);
    const CTerrainMesh mesh = built(land);

    auto slots = [&](int blk) { return mesh.geometry(blk).links.neighbours; };
    using S = std::array<std::int32_t, 8>;
    EXPECT_EQ(slots(8), (S{-1, -1, -1, -1, -1, -1, -1, -1}));   // (0, 0)
    EXPECT_EQ(slots(9), (S{-1, -1, -1, -1, -1, -1, -1, -1}));   // (31, 31)
    // (9, 9): +x is (10, 9) = 3, +z is (9, 10) = 1, +x+z is the hole.
    EXPECT_EQ(slots(0), (S{-1, -1, -1, 3, -1, 1, -1, -1}));
    // (10, 9) beside the hole: -x (9,9)=0, +x (11,9)=5, +z hole, -x+z (9,10)=1, +x+z (11,10)=6.
    EXPECT_EQ(slots(3), (S{-1, -1, -1, 5, 6, -1, 1, 0}));
    // (11, 11) in the corner: -x (10,11)=4, -z (11,10)=6, -x-z hole.
    EXPECT_EQ(slots(7), (S{-1, 6, -1, -1, -1, -1, -1, 4}));
    // (9, 11): -z is (9,10)=1, +x is (10,11)=4, +x-z the hole.
    EXPECT_EQ(slots(2), (S{-1, 1, -1, 4, -1, -1, -1, -1}));
}

TEST(EdgeFlags, ABlockAloneEndsInWaterOnItsFarEdgesAndCorners) {
    EditorLand land(lndtest::LandBuilder().block(5, 5, [](TLndBlock& b) {
        for (auto& row : b.Cells)
            for (auto& c : row) c.CellFlags = 0x0001;
    }), kAsRead);
    CTerrainMesh mesh = built(land);
    mesh.SyncEdgeFlags(land.blocks());
    const TLndBlock& b = land.blocks()[0];
    for (int k = 0; k < 17; ++k) {
        EXPECT_EQ(b.Cells[16][k].CellFlags, 0x0011) << k;
        EXPECT_EQ(b.Cells[k][16].CellFlags, 0x0011) << k;
    }
    EXPECT_EQ(b.Cells[0][0].CellFlags, 0x0011);
    for (int k = 1; k < 16; ++k) {
        EXPECT_EQ(b.Cells[0][k].CellFlags, 0x0001) << k;
        EXPECT_EQ(b.Cells[k][0].CellFlags, 0x0001) << k;
        EXPECT_EQ(b.Cells[k][k].CellFlags, 0x0001) << k;
    }
}

TEST(EdgeFlags, SharedColumnCopiesTheNeighbourAndSharedRowKeepsItsCountry) {
    EditorLand land(lndtest::LandBuilder()
                      .block(5, 5, [](TLndBlock& b) {
                          for (auto& row : b.Cells)
                              for (auto& c : row) c.CellFlags = std::uint16_t(0x0001 | kSplit);
                      })
                      .block(5, 6, [](TLndBlock& b) {   // +z
                          for (int i = 0; i < 17; ++i)
                              for (int j = 0; j < 17; ++j) b.Cells[i][j].CellFlags = std::uint16_t(0x0003 | (i << 8));
                      })
                      .block(6, 5, [](TLndBlock& b) {   // +x
                          for (auto& row : b.Cells)
                              for (auto& c : row) c.CellFlags = std::uint16_t(0x0002 | kCoast);
                      }), kAsRead);
    CTerrainMesh mesh = built(land);
    mesh.SyncEdgeFlags(land.blocks());
    const TLndBlock& b = land.blocks()[0];
    // Row 0 of the shared column keeps its own flags; rows 1..16 take the neighbour's.
    EXPECT_EQ(b.Cells[0][16].CellFlags, 0x0001 | kSplit | kWater);   // -x+z has no block
    for (int i = 1; i < 16; ++i) EXPECT_EQ(b.Cells[i][16].CellFlags, 0x0003 | (i << 8)) << i;
    // [16][16] came from the +z neighbour's [16][0] and then got Water: no +x+z block.
    EXPECT_EQ(b.Cells[16][16].CellFlags, 0x0003 | (16 << 8) | kWater);
    // The shared row: flag bits of both sides, the neighbour's country (not 1 | 2 = 3).
    for (int j = 1; j < 16; ++j) {
        EXPECT_EQ(b.Cells[16][j].CellFlags, 0x0002 | kCoast | kSplit) << j;
        EXPECT_EQ(b.Cells[16][j].countryIndex(), 2);
    }
    EXPECT_EQ(b.Cells[16][0].CellFlags, 0x0002 | kCoast | kSplit | kWater);   // +x-z empty
}

TEST(EdgeFlags, RecordOrderDoesNotMatterAndASecondSyncChangesNothing) {
    // An L of blocks with a hole, flags that disagree everywhere (countries, opaque bits,
    // no Water): corners gain Water that the neighbours' shared rows and columns must see.
    const std::vector<std::pair<int, int>> squares{{3, 3}, {4, 3}, {5, 3}, {3, 4}, {5, 4}, {3, 5}, {4, 5}, {5, 5}};
    auto landIn = [&](bool reversed) {
        lndtest::LandBuilder b;
        b.countries(4);
        for (std::size_t k = 0; k < squares.size(); ++k) {
            const auto [gx, gz] = squares[reversed ? squares.size() - 1 - k : k];
            b.block(gx, gz, [gx = gx, gz = gz](TLndBlock& blk) {
                for (int i = 0; i < 17; ++i)
                    for (int j = 0; j < 17; ++j)
                        blk.Cells[i][j].CellFlags = std::uint16_t(((gx * 3 + gz + i + 2 * j) % 4) | (((i * j + gx) % 3) << 12));
            });
        }
        return b;
    };
    EditorLand forward(landIn(false), kAsRead), backward(landIn(true), kAsRead);
    CTerrainMesh fm = built(forward), bm = built(backward);
    fm.SyncEdgeFlags(forward.blocks());
    bm.SyncEdgeFlags(backward.blocks());
    const std::size_t n = squares.size();
    for (std::size_t k = 0; k < n; ++k) {
        const TLndBlock& f = forward.blocks()[k];
        const TLndBlock& r = backward.blocks()[n - 1 - k];
        ASSERT_EQ(f.GridX, r.GridX);
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j)
                ASSERT_EQ(f.Cells[i][j].CellFlags, r.Cells[i][j].CellFlags) << k << " " << i << " " << j;
    }
    // A corner that only gains Water from a later record: (4,5)'s [16][0] has a +x-z block
    // but merges with (5,5)'s [0][0], whose -x-z square is the hole.
    EXPECT_TRUE(forward.blocks()[6].Cells[16][0].has(kWater));

    std::vector<TLndBlock> once(forward.blocks().begin(), forward.blocks().end());
    fm.SyncEdgeFlags(forward.blocks());
    for (std::size_t k = 0; k < n; ++k)
        EXPECT_EQ(std::memcmp(&once[k], &forward.blocks()[k], sizeof(TLndBlock)), 0) << k;
}

TEST(LevelOfDetail, DistanceThresholdsAndForcing) {
    CTerrainMesh mesh;
    mesh.setCameraSquare({10, 10});
    EXPECT_EQ(mesh.lodFor(10, 10), LodFull);
    EXPECT_EQ(mesh.lodFor(12, 12), LodFull);     // 2.83
    EXPECT_EQ(mesh.lodFor(13, 10), LodMedium);   // exactly 3
    EXPECT_EQ(mesh.lodFor(10, 4), LodMedium);    // exactly 6
    EXPECT_EQ(mesh.lodFor(14, 14), LodMedium);   // 5.66
    EXPECT_EQ(mesh.lodFor(15, 14), LodLow);      // 6.40
    mesh.setCameraSquare({-3, 40});              // a camera beyond the grid still measures
    EXPECT_EQ(mesh.lodFor(0, 31), LodLow);
    EXPECT_EQ(mesh.lodFor(0, 37), LodMedium);

    mesh.setCameraSquare({0, 0});
    mesh.setForcedLod(2);
    EXPECT_EQ(mesh.lodFor(0, 0), LodMedium);
    EXPECT_EQ(mesh.lodFor(31, 31), LodMedium);
    mesh.setForcedLod(1);
    EXPECT_EQ(mesh.lodFor(0, 0), LodLow);
}
