// Clayvane's stroke tool: the brush (radius, strength, the selected profile and its ring
// colours) and the country it paints. One walk over the vertices within the radius of the
// brush centre serves both strokes: sculpting raises or lowers them by their ring's profile
// value, painting sets their cell's country.
#pragma once

#include "sculpt/block_meshes.h"
#include "sculpt/brush_file.h"
#include "sculpt/lndprocess.h"
#include "sculpt/sculpt_math.h"

#include "format/lnd_format.h"

#include <array>
#include <cstdint>
#include <vector>

namespace clay {

struct SColouredPoint {
    SVec3 p;
    float rgb[3];
};

// The flags a sculpted vertex carries by its new height: the sea bands the editor has always
// marked together with its own bit.
inline constexpr std::uint16_t kSculptedBands = lnd::kWater | lnd::kCoast | lnd::kSculptMark | lnd::kFullWater;
inline constexpr std::uint16_t kSculptedDeep = lnd::kFullWater | lnd::kSculptMark | lnd::kWater;   // height 0
inline constexpr std::uint16_t kSculptedWater = lnd::kSculptMark | lnd::kWater;                     // height 1
inline constexpr std::uint16_t kSculptedCoast = lnd::kSculptMark | lnd::kCoast;                     // height 2

// The CellFlags of a vertex sculpted to whole height h.
constexpr std::uint16_t SculptedFlags(std::uint16_t flags, int h) {
    flags = std::uint16_t(flags & ~kSculptedBands);
    if (h == 0) return std::uint16_t(flags | kSculptedDeep);
    if (h == 1) return std::uint16_t(flags | kSculptedWater);
    if (h == 2) return std::uint16_t(flags | kSculptedCoast);
    return flags;
}

class CStrokeTool {
public:
    // Copies a brush's profile and colours its rings.
    void SetProfile(const float* profile);
    // The ring (0..9) of a vertex at distance d from the centre, or -1 for none: ring k holds
    // k*w < d < (k+1)*w with w = radius / 10, ring 0 every d < w.
    int RingOf(float d) const;
    // The slot and vertex the brush snaps to for a pick: the hit triangle's second vertex if
    // its weight u > 0.5, else its third if v > 0.5, else its first.
    static int Centre(const CBlockMeshes& meshes, const SPick& pick, int& vertex);

    // One frame of a stroke around the pick. The vertices within the radius of the hit block
    // and its eight neighbours are drawn into `points`; with `apply` they change and their
    // slots are marked in `changed`. Returns the slots visited (the hit slot first) in
    // `slots`, their number as the result.
    int Sculpt(CLandFile& land, CBlockMeshes& meshes, const SPick& pick, bool apply, std::vector<SColouredPoint>& points,
               std::vector<std::uint8_t>& changed, int slots[9]) const;
    int Paint(CLandFile& land, CBlockMeshes& meshes, const SPick& pick, bool apply, std::vector<SColouredPoint>& points,
              std::vector<std::uint8_t>& changed, int slots[9]) const;

    float m_radius = 53.0f;
    float m_strength = 2.0f;
    std::array<float, kRings> m_profile{};
    std::array<std::array<float, 3>, kRings> m_ringColours{};
    std::uint8_t m_country = 2;   // painted by the country stroke

private:
    // Calls visit(slot, vertex, position, distance) for every vertex of the nine blocks round
    // the pick that lies closer to the centre than the radius.
    template <typename Visit>
    int Walk(CBlockMeshes& meshes, const SPick& pick, int slots[9], Visit&& visit) const;
};

}  // namespace clay
