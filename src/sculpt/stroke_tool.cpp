#include "sculpt/stroke_tool.h"

namespace clay {

using namespace lnd;

void CStrokeTool::SetProfile(const float* profile) {
    for (int i = 0; i < kRings; ++i) {
        m_profile[std::size_t(i)] = profile[i];
        m_ringColours[std::size_t(i)] = RingColour(profile[i]);
    }
}

int CStrokeTool::RingOf(float d) const {
    const float w = m_radius / 10.0f;
    if (d < w) return 0;
    int k = int(d / w);
    if (k > 9 || float(k) * w == d) return -1;   // on a ring's inner edge: in no ring
    if (float(k) * w > d) --k;                    // division rounded up
    if (k < 1 || float(k) * w == d) return -1;
    return k;
}

int CStrokeTool::Centre(const CBlockMeshes& meshes, const SPick& pick, int& vertex) {
    const STriangle& tri = meshes.m_meshes[std::size_t(pick.m_slot)].m_triangles[std::size_t(pick.m_triangle)];
    vertex = pick.m_hitU > 0.5f ? tri.v[1] : pick.m_hitV > 0.5f ? tri.v[2] : tri.v[0];
    return pick.m_slot;
}

template <typename Visit>
int CStrokeTool::Walk(CBlockMeshes& meshes, const SPick& pick, int slots[9], Visit&& visit) const {
    int vertex = 0;
    const int hitSlot = Centre(meshes, pick, vertex);
    const SVec3 centre = meshes.m_meshes[std::size_t(hitSlot)].m_positions[std::size_t(vertex)];
    const int n = meshes.Around(hitSlot, slots);
    for (int i = 0; i < n; ++i) {
        CBlockMesh& mesh = meshes.m_meshes[std::size_t(slots[i])];
        for (int v = 0; v < kVerticesPerBlock; ++v) {
            SVec3& p = mesh.m_positions[std::size_t(v)];
            const float d = Length(p - centre);
            if (!(d < m_radius)) continue;
            visit(slots[i], mesh, v, p, d);
        }
    }
    return n;
}

int CStrokeTool::Sculpt(CLandFile& land, CBlockMeshes& meshes, const SPick& pick, bool apply,
                        std::vector<SColouredPoint>& points, std::vector<std::uint8_t>& changed, int slots[9]) const {
    points.clear();
    return Walk(meshes, pick, slots, [&](int s, CBlockMesh& mesh, int v, SVec3& p, float d) {
        const int k = RingOf(d);
        if (k < 0) return;
        const auto& colour = m_ringColours[std::size_t(k)];
        points.push_back({p, {colour[0], colour[1], colour[2]}});
        if (!apply) return;
        p.y += m_profile[std::size_t(k)] * m_strength;
        if (p.y > 255.0f) p.y = 255.0f;
        if (p.y < 0.0f) p.y = 0.0f;
        TLndCell& cell = land.BlockRecord(mesh.m_record).Cells[v / kSide][v % kSide];
        cell.CellFlags = SculptedFlags(cell.CellFlags, int(p.y));
        changed[std::size_t(s)] = 1;
    });
}

int CStrokeTool::Paint(CLandFile& land, CBlockMeshes& meshes, const SPick& pick, bool apply,
                       std::vector<SColouredPoint>& points, std::vector<std::uint8_t>& changed, int slots[9]) const {
    points.clear();
    return Walk(meshes, pick, slots, [&](int s, CBlockMesh& mesh, int v, SVec3& p, float) {
        points.push_back({p, {1, 1, 1}});
        if (!apply) return;
        TLndCell& cell = land.BlockRecord(mesh.m_record).Cells[v / kSide][v % kSide];
        cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) | (m_country & kCountryMask));
        changed[std::size_t(s)] = 1;
    });
}

}  // namespace clay
