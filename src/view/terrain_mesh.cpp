#include "view/terrain_mesh.h"

#include "view/frustum.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace lnd {

namespace {

// Truncation toward zero that stays defined for any float a damaged file may carry.
std::int32_t truncToInt(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483520.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

void widen(glm::vec3& mn, glm::vec3& mx, const glm::vec3& p) {
    mn = glm::min(mn, p);
    mx = glm::max(mx, p);
}

}  // namespace

void CTerrainMesh::BuildGeometry(std::span<const TLndBlock> blocks, LandBounds& bounds) {
    ReleaseAllMeshes();   // they belong to the previous geometry
    m_geometry.assign(blocks.size(), BlockGeometry{});
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const TLndBlock& blk = blocks[b];
        BlockGeometry& g = m_geometry[b];
        const float mapX = blk.MapX;
        const float mapZ = blk.MapZ;
        const float loResU = static_cast<float>(static_cast<std::int32_t>(blk.LoResX)) / 256.0f;
        const float loResV = static_cast<float>(static_cast<std::int32_t>(blk.LoResY)) / 256.0f;

        glm::vec3 mn(90000.0f), mx(-90000.0f);
        for (int i = 0; i < kCellsPerSide; ++i) {
            for (int j = 0; j < kCellsPerSide; ++j) {
                const int k = vertexNumber(i, j);
                const TLndCell& cell = blk.Cells[i][j];
                // Whole-number positions: fractions in MapX/MapZ never reach the mesh.
                g.positions[k] = glm::vec3(std::trunc(mapX + 10.0f * float(i)), float(cell.Altitude),
                                           std::trunc(mapZ + 10.0f * float(j)));
                g.shades[k] = cell.Shade;
                g.loResUv[k] = glm::vec2(loResU + float(j) / 64.0f, loResV + float(i) / 64.0f);
                g.blockUv[k] = glm::vec2(float(j) / 16.0f, float(i) / 16.0f);
                const glm::vec3 corner(g.positions[k].x, float(cell.Altitude) + 1.0f, g.positions[k].z);
                widen(mn, mx, corner);
                bounds.include(corner.x, corner.y, corner.z);
            }
        }

        int t = 0;
        for (int i = 0; i < kSquaresPerSide; ++i) {
            for (int j = 0; j < kSquaresPerSide; ++j) {
                const std::int32_t a = vertexNumber(i, j), bb = vertexNumber(i + 1, j);
                const std::int32_t c = vertexNumber(i, j + 1), d = vertexNumber(i + 1, j + 1);
                if (blk.Cells[i][j].has(kSplit)) {
                    g.triangles[t++] = {{a, bb, c}, 0};
                    g.triangles[t++] = {{d, c, bb}, 0};
                } else {
                    g.triangles[t++] = {{c, a, d}, 1};
                    g.triangles[t++] = {{bb, d, a}, 1};
                }
            }
        }

        BlockLinks& l = g.links;
        l.maxX = truncToInt(mx.x);
        l.minX = truncToInt(mn.x);
        l.maxY = truncToInt(mx.y);
        l.minY = truncToInt(mn.y);
        l.maxZ = truncToInt(mx.z);
        l.minZ = truncToInt(mn.z);
        l.block = static_cast<std::int32_t>(b);
    }
}

void CTerrainMesh::LinkNeighbours() {
    for (BlockGeometry& g : m_geometry) g.links.neighbours.fill(-1);
    const std::size_t n = m_geometry.size();
    for (std::size_t i = 0; i < n; ++i) {
        BlockLinks& a = m_geometry[i].links;
        for (std::size_t j = 0; j < n; ++j) {
            const BlockLinks& o = m_geometry[j].links;
            int slot = 0;
            if (a.maxX == o.minX && a.maxZ == o.minZ) slot = kSlotPlusXPlusZ;
            else if (a.maxX == o.maxX && a.maxZ == o.minZ) slot = kSlotPlusZ;
            else if (a.minX == o.maxX && a.maxZ == o.minZ) slot = kSlotMinusXPlusZ;
            else if (a.minX == o.maxX && a.maxZ == o.maxZ) slot = kSlotMinusX;
            else if (a.minX == o.maxX && a.minZ == o.maxZ) slot = kSlotMinusXMinusZ;
            else if (a.maxX == o.maxX && a.minZ == o.maxZ) slot = kSlotMinusZ;
            else if (a.maxX == o.minX && a.minZ == o.maxZ) slot = kSlotPlusXMinusZ;
            else if (a.maxX == o.minX && a.minZ == o.minZ) slot = kSlotPlusX;
            if (slot != 0) a.neighbours[std::size_t(slot - 1)] = static_cast<std::int32_t>(j);
        }
    }
}

void CTerrainMesh::SyncEdgeFlags(std::span<TLndBlock> blocks) const {
    const std::size_t n = std::min(blocks.size(), m_geometry.size());
    auto assign = [](TLndCell& c, std::uint16_t f) { c.CellFlags = f; };
    auto setWater = [](TLndCell& c) { c.CellFlags = std::uint16_t(c.CellFlags | kWater); };
    // The cells a pass may write: the last row, the last column and the first row's two ends.
    auto edgeFlags = [](const TLndBlock& blk) {
        std::array<std::uint16_t, 2 * kCellsPerSide + 1> f{};
        std::size_t k = 0;
        for (int t = 0; t < kCellsPerSide; ++t) {
            f[k++] = blk.Cells[16][t].CellFlags;
            f[k++] = blk.Cells[t][16].CellFlags;
        }
        f[k] = blk.Cells[0][0].CellFlags;
        return f;
    };

    // One pass reads cells that a later block of the same pass may still change (a block's
    // first row and column gain Water at its open corners, its last row merges with the
    // next block), so its result would depend on the record order and a second sync, on
    // the next load of the saved file, would change the land again. Passes repeat until
    // nothing changes: every change only adds bits to what later copies read, so this ends
    // within a few passes and syncing a synced land changes nothing.
    constexpr int kMaxPasses = 8;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        bool changed = false;
        for (std::size_t b = 0; b < n; ++b) {
            const BlockLinks& l = m_geometry[b].links;
            TLndBlock& blk = blocks[b];
            const auto before = edgeFlags(blk);
            auto neighbourBlock = [&](int slot) -> const TLndBlock* {
                const std::int32_t nb = l.neighbour(slot);
                return nb >= 0 && std::size_t(nb) < n ? &blocks[std::size_t(nb)] : nullptr;
            };

            // The shared column belongs to the +z neighbour's first column; row 0 is left alone.
            if (const TLndBlock* pz = neighbourBlock(kSlotPlusZ)) {
                for (int i = 1; i < kCellsPerSide; ++i) assign(blk.Cells[i][16], pz->Cells[i][0].CellFlags);
            } else {
                for (int i = 1; i < kCellsPerSide; ++i) setWater(blk.Cells[i][16]);
            }

            // The shared row gathers the flag bits of both sides. The country index is a
            // number, not a bit set, so it comes from the neighbour alone (OR-ing 1 and 2
            // would give 3).
            if (const TLndBlock* px = neighbourBlock(kSlotPlusX)) {
                for (int j = 0; j < kSquaresPerSide; ++j) {
                    const std::uint16_t mine = blk.Cells[16][j].CellFlags;
                    const std::uint16_t theirs = px->Cells[0][j].CellFlags;
                    assign(blk.Cells[16][j], std::uint16_t(((mine | theirs) & ~kCountryMask) | (theirs & kCountryMask)));
                }
            } else {
                for (int j = 0; j < kSquaresPerSide; ++j) setWater(blk.Cells[16][j]);
            }

            if (l.neighbour(kSlotMinusXPlusZ) < 0) setWater(blk.Cells[0][16]);
            if (l.neighbour(kSlotPlusXMinusZ) < 0) setWater(blk.Cells[16][0]);
            if (l.neighbour(kSlotMinusXMinusZ) < 0) setWater(blk.Cells[0][0]);
            if (l.neighbour(kSlotPlusXPlusZ) < 0) setWater(blk.Cells[16][16]);
            if (edgeFlags(blk) != before) changed = true;
        }
        if (!changed) break;
    }
}

void CTerrainMesh::RefreshBlockHeights(int b, const TLndBlock& block) {
    if (b < 0 || b >= blockCount()) return;
    BlockGeometry& g = m_geometry[std::size_t(b)];
    for (int i = 0; i < kCellsPerSide; ++i)
        for (int j = 0; j < kCellsPerSide; ++j)
            g.positions[vertexNumber(i, j)].y = float(block.Cells[i][j].Altitude);
}

int CTerrainMesh::levelTriangleCount(MeshLevel level) {
    switch (level) {
    case MeshLevel::Full: return kFullTriangles;
    case MeshLevel::Medium: return kMediumTriangles;
    default: return kLowTriangles;
    }
}

void CTerrainMesh::fillLevelVertices(int b, MeshLevel level, std::span<TerrainVertex> out) const {
    const BlockGeometry& g = m_geometry[std::size_t(b)];
    const int faces = levelTriangleCount(level);
    const std::size_t count = std::min(out.size() / 3, std::size_t(faces));
    for (std::size_t t = 0; t < count; ++t) {
        const std::int32_t* v = level == MeshLevel::Full ? g.triangles[t].v
                                : level == MeshLevel::Medium ? PatternMedium()[t].data()
                                                             : PatternLow()[t].data();
        TerrainVertex* tri = &out[3 * t];
        for (int k = 0; k < 3; ++k) {
            const std::size_t n = std::size_t(v[k]);
            tri[k].position = g.positions[n];
            tri[k].colour = g.shades[n];
            tri[k].loRes = g.loResUv[n];
            tri[k].block = g.blockUv[n];
        }
        for (int k = 0; k < 3; ++k) tri[k].normal = glm::vec3(0.0f);   // the mesh computes them
    }
}

DeviceResult CTerrainMesh::BuildBlockMeshes(int b) {
    if (b < 0 || b >= blockCount()) return kDeviceInvalidCall;
    ensureTables();
    const std::size_t n = std::size_t(b);
    for (MeshLevel level : {MeshLevel::Full, MeshLevel::Medium, MeshLevel::Low}) {
        std::unique_ptr<DeviceMesh>& slot = level == MeshLevel::Full     ? m_full[n]
                                            : level == MeshLevel::Medium ? m_medium[n]
                                                                         : m_low[n];
        const auto faces = std::uint32_t(levelTriangleCount(level));
        slot.reset();
        if (level == MeshLevel::Full) m_boxes[n].reset();
        std::unique_ptr<DeviceMesh> mesh;
        if (deviceFailed(DeviceMesh::create(faces, 3 * faces, VertexFormat::Terrain, mesh))) continue;

        void* data = nullptr;
        if (deviceFailed(mesh->lockVertexBuffer(LockMode::ReadWrite, data))) return kDeviceFail;
        auto* vertices = static_cast<TerrainVertex*>(data);
        fillLevelVertices(b, level, std::span<TerrainVertex>(vertices, 3 * faces));
        if (level == MeshLevel::Full) {
            BoundingBox bb;
            if (!deviceFailed(computeBoundingBox(vertices, 3 * faces, sizeof(TerrainVertex), bb.min, bb.max)))
                m_boxes[n] = bb;
        }
        mesh->unlockVertexBuffer();

        std::uint16_t* indices = nullptr;
        if (deviceFailed(mesh->lockIndexBuffer(LockMode::ReadWrite, indices))) return kDeviceFail;
        for (std::uint32_t k = 0; k < 3 * faces; ++k) indices[k] = static_cast<std::uint16_t>(k);
        mesh->unlockIndexBuffer();

        computeNormals(*mesh);
        slot = std::move(mesh);
    }
    return kDeviceOk;
}

void CTerrainMesh::ensureTables() {
    const std::size_t n = m_geometry.size();
    if (m_full.size() == n && m_boxes.size() == n) return;
    ReleaseAllMeshes();
    m_full.resize(n);
    m_medium.resize(n);
    m_low.resize(n);
    m_boxes.resize(n);
}

void CTerrainMesh::BuildAllMeshes() {
    ensureTables();
    for (int b = 0; b < blockCount(); ++b) BuildBlockMeshes(b);
}

void CTerrainMesh::ReleaseBlockMeshes(int b) {
    if (b < 0 || std::size_t(b) >= m_full.size()) return;
    m_full[std::size_t(b)].reset();
    m_medium[std::size_t(b)].reset();
    m_low[std::size_t(b)].reset();
    m_boxes[std::size_t(b)].reset();
}

void CTerrainMesh::ReleaseAllMeshes() {
    m_full.clear();
    m_medium.clear();
    m_low.clear();
    m_boxes.clear();
}

DeviceResult CTerrainMesh::RebuildBlocks(std::span<const int> changed, std::span<const TLndBlock> blocks) {
    DeviceResult result = kDeviceOk;
    for (int b : changed) {
        if (b < 0 || b >= blockCount() || std::size_t(b) >= blocks.size()) continue;
        RefreshBlockHeights(b, blocks[std::size_t(b)]);
        ReleaseBlockMeshes(b);
        const DeviceResult r = BuildBlockMeshes(b);
        if (deviceFailed(r)) result = r;
        // New meshes: the next frame's level-of-detail plan must pick them up.
        markLodDirty();
    }
    return result;
}

const DeviceMesh* CTerrainMesh::mesh(int b, MeshLevel level) const {
    if (b < 0 || std::size_t(b) >= m_full.size()) return nullptr;
    switch (level) {
    case MeshLevel::Full: return m_full[std::size_t(b)].get();
    case MeshLevel::Medium: return m_medium[std::size_t(b)].get();
    default: return m_low[std::size_t(b)].get();
    }
}

const BoundingBox* CTerrainMesh::box(int b) const {
    if (b < 0 || std::size_t(b) >= m_boxes.size() || !m_boxes[std::size_t(b)]) return nullptr;
    return &*m_boxes[std::size_t(b)];
}

std::uint8_t CTerrainMesh::lodFor(int row, int column) const {
    switch (m_forcedLod) {
    case 1: return LodLow;
    case 2: return LodMedium;
    case 3: return LodFull;
    default: break;
    }
    // Squared integer distances: the same thresholds as comparing the square root, exactly.
    const std::int64_t dr = std::int64_t(m_cameraSquare.row) - row;
    const std::int64_t dc = std::int64_t(m_cameraSquare.column) - column;
    const std::int64_t d2 = dr * dr + dc * dc;
    if (d2 < 9) return LodFull;
    if (d2 <= 36) return LodMedium;
    return LodLow;
}

void CTerrainMesh::UpdateVisibility(const GridMap& blockIndex, const Frustum& frustum) {
    if (!m_lodDirty) return;
    m_lodDirty = false;
    for (int r = 0; r < kGridSize; ++r) {
        for (int c = 0; c < kGridSize; ++c) {
            std::uint8_t v = blockIndex[r][c];
            if (v != 0) {
                const BoundingBox* bb = box(int(v) - 1);
                if (bb == nullptr || !CullKeeps(frustum.CullBlock(*bb))) v = 0;
            }
            m_visibleMap[r][c] = v;
        }
    }
    for (int r = 0; r < kGridSize; ++r)
        for (int c = 0; c < kGridSize; ++c)
            m_lodMap[r][c] = m_visibleMap[r][c] != 0 ? lodFor(r, c) : 0;
}

void CTerrainMesh::setSquare(int row, int column, std::uint8_t blockNumber, std::uint8_t lod) {
    if (row < 0 || column < 0 || row >= kGridSize || column >= kGridSize) return;
    m_visibleMap[row][column] = blockNumber;
    m_lodMap[row][column] = lod;
}

}  // namespace lnd
