// The view frustum and the box-against-frustum test that culls grid squares. Matrices are
// the device layer's left-handed row-vector ones.
#pragma once

#include "d3dframework/device_math.h"
#include "view/terrain_mesh.h"

#include <array>

namespace lnd {

// Results of CullBlock.
inline constexpr int kCullInside = 1;
inline constexpr int kCullOutside = 2;
inline constexpr int kCullInsideSlow = 3;
inline constexpr int kCullOutsideSlow = 4;

inline constexpr bool CullKeeps(int result) {
    return result == kCullInside || result == kCullInsideSlow;
}

class Frustum {
public:
    enum PlaneIndex { kNear = 0, kFar, kLeft, kRight, kTop, kBottom };

    // Rebuilds corners and planes from the view and projection (clip z on 0..1). The planes'
    // normals point into the frustum. A singular view x projection leaves them unchanged.
    void UpdateFrustum(const Matrix& view, const Matrix& projection);

    // 1 inside, 2 outside (all corners beyond one plane), 3 inside after the slow tests,
    // 4 outside after them.
    int CullBlock(const BoundingBox& box) const;

    // Clip-cube corners c0..c7 in world space: (-1,-1,0), (1,-1,0), (-1,1,0), (1,1,0), then
    // the same at z = 1.
    std::array<glm::vec3, 8> m_corners{};
    std::array<lnd::Plane, 6> m_planes{};
};

}  // namespace lnd
