// The terrain geometry derived from the land's cells: per-block vertices and triangles,
// neighbour links, the three levels of detail and the per-frame visibility and detail maps.
// Nothing here is saved; all of it is rebuilt from the cells on every land load.
#pragma once

#include "land/lnd_format.h"
#include "view/lod_patterns.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace lnd {

class Frustum;

// Level of detail of a grid square; the values are those the land tools have always used.
inline constexpr std::uint8_t LodFull = 3;
inline constexpr std::uint8_t LodMedium = 6;
inline constexpr std::uint8_t LodLow = 16;

enum class MeshLevel { Full = 0, Medium = 1, Low = 2 };

// The vertex of all three terrain meshes: position, normal, colour, lo-res pair, block pair.
struct TerrainVertex {
    glm::vec3 position;
    glm::vec3 normal;
    std::uint32_t colour;   // alpha-red-green-blue; only blue (the cell's shade byte) is used
    glm::vec2 loResUv;
    glm::vec2 blockUv;
};
static_assert(sizeof(TerrainVertex) == 44, "the renderer uploads vertices byte for byte");

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

// Minimum and maximum over all block vertices, y taken as Altitude + 1. The owner resets it
// before a build; the build only widens it.
struct LandBounds {
    glm::vec3 min{90000.0f, 90000.0f, 90000.0f};
    glm::vec3 max{-90000.0f, -90000.0f, -90000.0f};
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
    // `bounds` with every corner. Replaces whatever geometry was held.
    void BuildGeometry(std::span<const TLndBlock> blocks, LandBounds& bounds);

    // Fills the eight neighbour slots of every block from the extents.
    void LinkNeighbours();

    // Brings the flags of each block's last row and column into line with its neighbours
    // and puts Water on the edges that have none. `blocks` are the records the geometry was
    // built from.
    void SyncEdgeFlags(std::span<TLndBlock> blocks) const;

    // Copies the cell altitudes of block b into its vertex heights (after an altitude edit).
    void RefreshBlockHeights(int b, const TLndBlock& block);

    int blockCount() const { return static_cast<int>(m_geometry.size()); }
    const BlockGeometry& geometry(int b) const { return m_geometry[std::size_t(b)]; }

    // The unshared vertices of one level of block b, three per triangle, in triangle order;
    // normals are the face normals. Returns the triangle count.
    static int levelTriangleCount(MeshLevel level);
    void fillLevelVertices(int b, MeshLevel level, std::span<TerrainVertex> out) const;

    // Box over the full-detail vertices of block b.
    BoundingBox blockBox(int b) const;

    // Once per frame: when m_lodDirty is set, recomputes m_visibleMap (blockIndex minus the
    // squares the frustum culls or whose block has no box) and m_lodMap, then clears it.
    // `boxes` holds one entry per block; a null entry means the block has no mesh.
    void UpdateVisibility(const GridMap& blockIndex, const Frustum& frustum,
                          std::span<const BoundingBox* const> boxes);

    // Level for a square at (row, column) seen from m_cameraSquare, honouring m_forcedLod.
    std::uint8_t lodFor(int row, int column) const;

    // Maps the `lodTest` setting: "1", "2", "3" force a level, anything else uses distance.
    static int forcedLodFromSetting(const char* text);

    GridMap m_visibleMap{};
    GridMap m_lodMap{};
    bool m_lodDirty = true;
    int m_forcedLod = 0;   // 0 by distance, 1 low, 2 medium, 3 full
    CameraSquare m_cameraSquare;

private:
    std::vector<BlockGeometry> m_geometry;
};

}  // namespace lnd
