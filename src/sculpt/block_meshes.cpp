#include "sculpt/block_meshes.h"

#include <algorithm>
#include <cstring>

namespace clay {

using namespace lnd;

void CBlockMeshes::SetBox(CBlockMesh& mesh, float minY, float maxY) const {
    const SBlockLinks& l = mesh.m_links;
    mesh.m_boxCorners = {SVec3{l.m_maxX, minY, l.m_maxZ}, SVec3{l.m_minX, minY, l.m_maxZ}, SVec3{l.m_minX, minY, l.m_minZ},
                         SVec3{l.m_maxX, minY, l.m_minZ}, SVec3{l.m_maxX, maxY, l.m_maxZ}, SVec3{l.m_minX, maxY, l.m_maxZ},
                         SVec3{l.m_minX, maxY, l.m_minZ}, SVec3{l.m_maxX, maxY, l.m_minZ}};
}

void CBlockMeshes::BuildMeshes(CLandFile& land) {
    m_meshes.clear();
    for (auto& row : m_slotOfSquare) std::fill(std::begin(row), std::end(row), -1);
    if (!land.Loaded()) return;
    for (int C = 0; C < kGridSize; ++C) {
        for (int R = 0; R < kGridSize; ++R) {
            const int n = land.Header().BlockIndex[R][C];
            if (n == 0 || n > land.BlockRecords()) continue;   // the loader refuses the latter
            m_slotOfSquare[R][C] = int(m_meshes.size());
            CBlockMesh& mesh = m_meshes.emplace_back();
            const TLndBlock& block = land.BlockRecord(n - 1);
            mesh.m_record = n - 1;
            mesh.m_gridRow = R;
            mesh.m_gridColumn = C;
            for (int m = 0; m < kSide; ++m)
                for (int l = 0; l < kSide; ++l) {
                    const int o = kSide * m + l;
                    mesh.m_positions[o] = {-kCellWidth * float(16 * C + l), float(block.Cells[m][l].Altitude),
                                           -kCellWidth * float(16 * R + m)};
                    mesh.m_texCoords[o] = {float(l) / 16.0f, float(m) / 16.0f};
                }
            for (int l = 0; l < 16; ++l)
                for (int m = 0; m < 16; ++m) {
                    const int o = kSide * m + l;
                    const int k = 2 * (16 * l + m);
                    const auto u = [](int v) { return std::uint16_t(v); };
                    if (block.Cells[m][l].CellFlags & kSplit) {
                        mesh.m_triangles[k] = {{u(o), u(o + 17), u(o + 1)}, 0};
                        mesh.m_triangles[k + 1] = {{u(o + 18), u(o + 1), u(o + 17)}, 0};
                    } else {
                        mesh.m_triangles[k] = {{u(o + 1), u(o), u(o + 18)}, 1};
                        mesh.m_triangles[k + 1] = {{u(o + 17), u(o + 18), u(o)}, 1};
                    }
                }
            SVec3 lo{10000, 10000, 10000}, hi{-10000, -10000, -10000};
            for (const SVec3& p : mesh.m_positions) {
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            }
            SBlockLinks& links = mesh.m_links;
            links.m_valid = 1;
            links.m_maxX = hi.x;
            links.m_minX = lo.x;
            links.m_maxZ = hi.z;
            links.m_minZ = lo.z;
            links.m_blockNumber = block.BlockNumber;
            SetBox(mesh, lo.y, hi.y);
        }
    }
}

void CBlockMeshes::LinkNeighbours() {
    // A block's extents follow from its grid square alone, so the neighbours whose extents
    // touch are exactly the blocks on the eight squares around it.
    static constexpr int kOffsets[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};
    for (CBlockMesh& mesh : m_meshes) {
        for (int n = 0; n < 8; ++n) {
            const int r = mesh.m_gridRow + kOffsets[n][0], c = mesh.m_gridColumn + kOffsets[n][1];
            mesh.m_links.m_neighbours[n] = (r < 0 || c < 0 || r >= kGridSize || c >= kGridSize) ? -1 : m_slotOfSquare[r][c];
        }
    }
}

void CBlockMeshes::SyncEdgeFlags(CLandFile& land) const {
    // Flags as they were when the meshes were built: a block's own edge step must not feed
    // its neighbour's.
    std::vector<std::array<std::uint16_t, kVerticesPerBlock>> before(m_meshes.size());
    for (std::size_t s = 0; s < m_meshes.size(); ++s) {
        const TLndBlock& b = land.BlockRecord(m_meshes[s].m_record);
        for (int m = 0; m < kSide; ++m)
            for (int l = 0; l < kSide; ++l) before[s][std::size_t(kSide * m + l)] = b.Cells[m][l].CellFlags;
    }
    for (std::size_t s = 0; s < m_meshes.size(); ++s) {
        const int* nb = m_meshes[s].m_links.m_neighbours;
        TLndBlock& b = land.BlockRecord(m_meshes[s].m_record);
        const int east = nb[3], south = nb[5];   // neighbours 4 and 6
        for (int m = 0; m < kSide; ++m)
            b.Cells[m][16].CellFlags = east >= 0 ? before[std::size_t(east)][std::size_t(kSide * m)] : kEdgeFlags;
        for (int l = 0; l < kSide; ++l)
            b.Cells[16][l].CellFlags = south >= 0 ? before[std::size_t(south)][std::size_t(l)] : kEdgeFlags;
        if (nb[3] < 0 || nb[4] < 0 || nb[5] < 0) b.Cells[16][16].CellFlags = kEdgeFlags;
    }
}

void CBlockMeshes::FaceNormal(const CBlockMesh& mesh, int t, SVec3& out) const {
    const STriangle& tri = mesh.m_triangles[std::size_t(t)];
    const SVec3 a = mesh.m_positions[tri.v[0]], b = mesh.m_positions[tri.v[1]], c = mesh.m_positions[tri.v[2]];
    out = Cross(c - b, a - b);
}

void CBlockMeshes::EdgeNormals(int s) {
    // Each edge vertex also takes the faces of the neighbour's cells along the shared edge
    // that touch its row (or column), so lighting does not break at block edges.
    CBlockMesh& mesh = m_meshes[std::size_t(s)];
    const int* nb = mesh.m_links.m_neighbours;
    auto gather = [&](int neighbour, auto&& triangles, int vertexOf, bool matchZ) {
        if (neighbour < 0) return;
        const CBlockMesh& other = m_meshes[std::size_t(neighbour)];
        for (int k = 0; k < kSide; ++k) {
            const int v = vertexOf == 0 ? kSide * k : vertexOf == 1 ? kSide * k + 16 : vertexOf == 2 ? k : kSide * 16 + k;
            const SVec3 p = mesh.m_positions[std::size_t(v)];
            for (int t : triangles) {
                const STriangle& tri = other.m_triangles[std::size_t(t)];
                bool touches = false;
                for (int i = 0; i < 3; ++i) {
                    const SVec3 q = other.m_positions[tri.v[i]];
                    touches |= matchZ ? q.z == p.z : q.x == p.x;
                }
                if (!touches) continue;
                SVec3 n;
                FaceNormal(other, t, n);
                mesh.m_vertexNormals[std::size_t(v)] += n;
            }
        }
    };
    std::array<int, 32> lastColumn{}, firstColumn{}, lastRow{}, firstRow{};
    for (int i = 0; i < 32; ++i) {
        lastColumn[std::size_t(i)] = 480 + i;
        firstColumn[std::size_t(i)] = i;
        lastRow[std::size_t(i)] = 32 * (i / 2) + 30 + (i & 1);
        firstRow[std::size_t(i)] = 32 * (i / 2) + (i & 1);
    }
    gather(nb[7], lastColumn, 0, true);    // column 0 meets neighbour 8's column 15
    gather(nb[3], firstColumn, 1, true);   // column 16 meets neighbour 4's column 0
    gather(nb[1], lastRow, 2, false);      // row 0 meets neighbour 2's row 15
    gather(nb[5], firstRow, 3, false);     // row 16 meets neighbour 6's row 0
}

void CBlockMeshes::ComputeNormals() {
    for (CBlockMesh& mesh : m_meshes) {
        mesh.m_vertexNormals.fill({});
        for (int t = 0; t < kTrianglesPerBlock; ++t) {
            SVec3 n;
            FaceNormal(mesh, t, n);
            mesh.m_faceNormals[std::size_t(t)] = n;
            for (std::uint16_t v : mesh.m_triangles[std::size_t(t)].v) mesh.m_vertexNormals[v] += n;
        }
    }
    for (int s = 0; s < Count(); ++s) EdgeNormals(s);
    for (CBlockMesh& mesh : m_meshes) {
        for (SVec3& n : mesh.m_faceNormals) n = Normalised(n);
        for (SVec3& n : mesh.m_vertexNormals) n = Normalised(n);
    }
}

int CBlockMeshes::Around(int s, int out[9]) const {
    int n = 0;
    out[n++] = s;
    for (int k : m_meshes[std::size_t(s)].m_links.m_neighbours)
        if (k >= 0) out[n++] = k;
    return n;
}

void CBlockMeshes::ComputeNormalsAround(int s) {
    // Cleared first so repeated strokes do not pile normals up, and with the edge faces
    // so the nine blocks stay as smooth across their edges as after a full computation.
    int slots[9];
    const int n = Around(s, slots);
    for (int i = 0; i < n; ++i) {
        CBlockMesh& mesh = m_meshes[std::size_t(slots[i])];
        mesh.m_vertexNormals.fill({});
        for (int t = 0; t < kTrianglesPerBlock; ++t) {
            SVec3 fn;
            FaceNormal(mesh, t, fn);
            mesh.m_faceNormals[std::size_t(t)] = Normalised(fn);
            for (std::uint16_t v : mesh.m_triangles[std::size_t(t)].v) mesh.m_vertexNormals[v] += fn;
        }
    }
    for (int i = 0; i < n; ++i) {
        EdgeNormals(slots[i]);
        for (SVec3& vn : m_meshes[std::size_t(slots[i])].m_vertexNormals) vn = Normalised(vn);
    }
}

void CBlockMeshes::UpdateBox(int s) {
    CBlockMesh& mesh = m_meshes[std::size_t(s)];
    float lo = 10000, hi = -10000;
    for (const SVec3& p : mesh.m_positions) {
        lo = std::min(lo, p.y);
        hi = std::max(hi, p.y);
    }
    SetBox(mesh, lo, hi);
}

SPick CBlockMeshes::PickVertex(const SRay& ray) const {
    // Only the nearest hit in front of the eye matters, so no list of hits is kept and a
    // ray over any number of blocks is fine.
    SPick best;
    for (int s = 0; s < Count(); ++s) {
        const CBlockMesh& mesh = m_meshes[std::size_t(s)];
        const auto& box = mesh.m_boxCorners;
        bool meets = ray.origin.x >= box[2].x && ray.origin.x <= box[0].x && ray.origin.z >= box[2].z &&
                     ray.origin.z <= box[0].z && ray.origin.y >= box[0].y && ray.origin.y <= box[4].y;   // eye inside
        for (int b = 0; b < kPickedBoxTriangles && !meets; ++b) {
            SHitWeights w;
            meets = RayTriangle(ray, box[std::size_t(kBoxTriangles[b][0])], box[std::size_t(kBoxTriangles[b][1])],
                                box[std::size_t(kBoxTriangles[b][2])], w) &&
                    w.t >= 0.0f;
        }
        if (!meets) continue;
        for (int t = 0; t < kTrianglesPerBlock; ++t) {
            const STriangle& tri = mesh.m_triangles[std::size_t(t)];
            SHitWeights w;
            if (!RayTriangle(ray, mesh.m_positions[tri.v[0]], mesh.m_positions[tri.v[1]], mesh.m_positions[tri.v[2]], w))
                continue;
            if (w.t <= 0.0f) continue;
            if (best.m_hitCount == 0 || w.t < best.m_hitT) {
                best = {1, s, t, w.t, w.u, w.v};
            }
        }
    }
    return best;
}

void CBlockMeshes::FoldHeights(CLandFile& land) const {
    for (const CBlockMesh& mesh : m_meshes) {
        TLndBlock& b = land.BlockRecord(mesh.m_record);
        for (int m = 0; m < kSide; ++m)
            for (int l = 0; l < kSide; ++l) {
                const float h = mesh.m_positions[std::size_t(kSide * m + l)].y;
                // Strokes keep heights in 0..255; the clamp guards against anything else.
                b.Cells[m][l].Altitude = std::uint8_t(h > 0.0f ? (h >= 255.0f ? 255 : int(h)) : 0);
            }
    }
}

}  // namespace clay
