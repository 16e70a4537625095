// The terrain geometry derived from the land's cells: per-block vertices and triangles,
// neighbour links, the three levels of detail and the per-frame visibility and detail maps.
// Nothing here is saved; all of it is rebuilt from the cells on every land load.
#pragma once

#include "d3dframework/mesh.h"
#include "land/land.h"
#include "format/lnd_format.h"
#include "view/lod_patterns.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace lnd {

class Frustum;

// Level of detail of a grid square; the values are those the land tools have always used.
inline constexpr std::uint8_t LodFull = 3;
inline constexpr std::uint8_t LodMedium = 6;
inline constexpr std::uint8_t LodLow = 16;

enum class MeshLevel { Full = 0, Medium = 1, Low = 2 };

// One triangle of a block's full-detail list; `diagonal` is 0 when the cell is cut b-c
// (Split set) and 1 when cut a-d.
struct BlockTriangle {
    std::int32_t v[3];
    std::uint8_t diagonal;
};

// Slots of BlockLinks::neighbours, numbered 1..8 as the tools number them.
enum LinkSlot : int {
    kSlotMinusXMinusZ = 1,
    kSlotMinusZ = 2,
    kSlotPlusXMinusZ = 3,
    kSlotPlusX = 4,
    kSlotPlusXPlusZ = 5,
    kSlotPlusZ = 6,
    kSlotMinusXPlusZ = 7,
    kSlotMinusX = 8,
};

struct BlockLinks {
    std::array<std::int32_t, 8> neighbours{-1, -1, -1, -1, -1, -1, -1, -1};  // record, -1 none
    std::int32_t maxX = 0, minX = 0, maxY = 0, minY = 0, maxZ = 0, minZ = 0;
    std::int32_t block = -1;

    std::int32_t neighbour(int slot) const { return neighbours[std::size_t(slot - 1)]; }
};

struct BlockGeometry {
    std::array<glm::vec3, kVerticesPerBlock> positions;
    std::array<std::uint32_t, kVerticesPerBlock> shades;
    std::array<glm::vec2, kVerticesPerBlock> loResUv;
    std::array<glm::vec2, kVerticesPerBlock> blockUv;
    std::array<BlockTriangle, kFullTriangles> triangles;
    BlockLinks links;
};

struct BoundingBox {
    glm::vec3 min{0.0f};
    glm::vec3 max{0.0f};
};

struct CameraSquare {
    int row = 0;      // along x
    int column = 0;   // along z
};

class CTerrainMesh {
public:
    using GridMap = std::uint8_t[kGridSize][kGridSize];

    // Fills vertices, triangles and extents of every block from its cells, widening
    // `bounds` (which the owner resets first) with every corner. Replaces whatever geometry was held and drops the meshes.
    void BuildGeometry(std::span<const TLndBlock> blocks, LandBounds& bounds);

    // Fills the eight neighbour slots of every block from the extents.
    void LinkNeighbours();

    // Brings the flags of each block's last row and column into line with its neighbours
    // and puts Water on the edges that have none. `blocks` are the records the geometry was
    // built from. The result does not depend on the record order, and syncing a synced land
    // changes nothing.
    void SyncEdgeFlags(std::span<TLndBlock> blocks) const;

    // Copies the cell altitudes of block b into its vertex heights (after an altitude edit).
    void RefreshBlockHeights(int b, const TLndBlock& block);

    int blockCount() const { return static_cast<int>(m_geometry.size()); }
    const BlockGeometry& geometry(int b) const { return m_geometry[std::size_t(b)]; }

    // The unshared vertices of one level of block b, three per triangle, in triangle order;
    // normals are left zero for the mesh build to compute. `out` holds up to 3 x the
    // level's triangle count.
    static int levelTriangleCount(MeshLevel level);
    void fillLevelVertices(int b, MeshLevel level, std::span<TerrainVertex> out) const;

    // Creates the three meshes of block b (vertices, identity indices, normals) and the box
    // of its full mesh, replacing its table entries. A mesh that cannot be created stays
    // empty and the others are still built; kDeviceFail when a buffer cannot be locked
    // (meshes made before that stay).
    DeviceResult BuildBlockMeshes(int b);
    // Makes the tables for the block count when absent, then builds every block's meshes.
    void BuildAllMeshes();
    void ReleaseBlockMeshes(int b);
    // Releases every mesh and drops the tables.
    void ReleaseAllMeshes();
    // After an altitude edit: for each listed block (entries -1 skipped) copies the new
    // heights, releases its meshes and builds them again.
    DeviceResult RebuildBlocks(std::span<const int> changed, std::span<const TLndBlock> blocks);

    bool meshTablesExist() const { return !m_full.empty(); }
    // Null for a block without that mesh (out of range, no tables, or an empty entry).
    const DeviceMesh* mesh(int b, MeshLevel level) const;
    const BoundingBox* box(int b) const;

    // Once per frame: when m_lodDirty is set, recomputes m_visibleMap (blockIndex minus the
    // squares the frustum culls or whose block has no mesh) and m_lodMap, then clears it.
    void UpdateVisibility(const GridMap& blockIndex, const Frustum& frustum);

    // Level for a square at (row, column) seen from m_cameraSquare, honouring m_forcedLod.
    std::uint8_t lodFor(int row, int column) const;

    // This frame's maps: the block number (record + 1) of each visible square, 0 elsewhere,
    // and each visible square's level.
    const GridMap& visibleMap() const { return m_visibleMap; }
    const GridMap& lodMap() const { return m_lodMap; }
    // Overrides one square of the maps until the next recomputation (for a caller that decides
    // visibility itself, without a camera).
    void setSquare(int row, int column, std::uint8_t blockNumber, std::uint8_t lod);

    // The maps are recomputed on the next UpdateVisibility (the camera moved, meshes changed).
    bool lodDirty() const { return m_lodDirty; }
    void markLodDirty() { m_lodDirty = true; }

    // "lodTest": 0 by distance, 1 low, 2 medium, 3 full.
    int forcedLod() const { return m_forcedLod; }
    void setForcedLod(int level) { m_forcedLod = level; }

    // The grid square of the camera the levels are measured from.
    CameraSquare cameraSquare() const { return m_cameraSquare; }
    void setCameraSquare(CameraSquare square) { m_cameraSquare = square; }

private:
    GridMap m_visibleMap{};
    GridMap m_lodMap{};
    bool m_lodDirty = true;
    int m_forcedLod = 0;
    CameraSquare m_cameraSquare;

    void ensureTables();

    std::vector<BlockGeometry> m_geometry;
    // Mesh tables, one entry per block; empty while no meshes were built.
    std::vector<std::unique_ptr<DeviceMesh>> m_full, m_medium, m_low;
    std::vector<std::optional<BoundingBox>> m_boxes;
};

}  // namespace lnd
