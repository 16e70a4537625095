// Clayvane's block meshes: 289 vertices and 512 triangles for every block the land's grid
// uses, neighbour links, the seventeenth row and column of flags, normals that are smooth
// across block edges, and picking by a ray through the blocks' boxes.
#pragma once

#include "sculpt/lndprocess.h"
#include "sculpt/sculpt_math.h"

#include <array>
#include <cstdint>
#include <vector>

namespace clay {

inline constexpr int kVerticesPerBlock = 289;
inline constexpr int kTrianglesPerBlock = 512;
inline constexpr int kSide = 17;              // vertices per block side
inline constexpr float kCellWidth = 17.0f;    // drawing units per cell
inline constexpr int kMaxSlots = 1024;
inline constexpr int kBoxTriangles[12][3] = {{2, 6, 3}, {7, 3, 6}, {1, 5, 2}, {6, 2, 5}, {0, 4, 1}, {5, 1, 4},
                                             {3, 7, 0}, {4, 0, 7}, {6, 5, 7}, {4, 7, 5}, {1, 2, 0}, {3, 0, 2}};
inline constexpr int kPickedBoxTriangles = 10;   // all but the bottom
inline constexpr std::uint16_t kEdgeFlags = lnd::kFullWater | lnd::kWater;   // no land beyond the edge

struct STriangle {
    std::uint16_t v[3];
    std::uint8_t diagonal;   // 1: the triangles of the cell share the diagonal o .. o+18
};

struct SBlockLinks {
    int m_valid = 0;
    int m_neighbours[8] = {-1, -1, -1, -1, -1, -1, -1, -1};   // neighbour n at index n - 1
    float m_maxX = 0, m_minX = 0, m_maxZ = 0, m_minZ = 0;
    int m_blockNumber = 0;
};

struct CBlockMesh {
    std::array<SVec3, kVerticesPerBlock> m_positions;
    std::array<std::array<float, 2>, kVerticesPerBlock> m_texCoords;
    std::array<STriangle, kTrianglesPerBlock> m_triangles;
    std::array<SVec3, kTrianglesPerBlock> m_faceNormals;
    std::array<SVec3, kVerticesPerBlock> m_vertexNormals;
    std::array<SVec3, 8> m_boxCorners;
    SBlockLinks m_links;
    int m_record = 0;      // the block record the slot was built from (0-based)
    int m_gridRow = 0;     // first index of BlockIndex
    int m_gridColumn = 0;  // second index
};

struct SPick {
    int m_hitCount = 0;      // 0: the ray meets no land
    int m_slot = -1;
    int m_triangle = -1;
    float m_hitT = 0, m_hitU = 0, m_hitV = 0;
};

class CBlockMeshes {
public:
    // Fills the slots from the land's BlockIndex: columns outer, rows inner.
    void BuildMeshes(CLandFile& land);
    void LinkNeighbours();
    // Copies the neighbours' flags into each used block's seventeenth row and column.
    void SyncEdgeFlags(CLandFile& land) const;
    void ComputeNormals();
    // Slot s and its eight neighbours, after a stroke changed their heights.
    void ComputeNormalsAround(int s);
    // The nearest hit in front of the eye, or m_hitCount 0.
    SPick PickVertex(const SRay& ray) const;
    // Vertical extent of the box from the lowest and highest vertex.
    void UpdateBox(int s);
    // Writes every slot's heights into the record it was built from (whole part, 0..255).
    void FoldHeights(CLandFile& land) const;

    int Count() const { return int(m_meshes.size()); }
    // Slot s and its neighbours, the slot first; missing neighbours left out.
    int Around(int s, int out[9]) const;

    std::vector<CBlockMesh> m_meshes;
    int m_slotOfSquare[32][32];   // slot of BlockIndex[row][column], -1 for none

private:
    void FaceNormal(const CBlockMesh& mesh, int t, SVec3& out) const;
    void EdgeNormals(int s);
    void SetBox(CBlockMesh& mesh, float minY, float maxY) const;
};

}  // namespace clay
