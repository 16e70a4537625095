// The view frustum and the box-against-frustum test that culls grid squares.
//
// Matrices are left-handed and row-vector: a point p transforms as p * M, a chain applies
// left to right. They are held in glm::mat4 with m[r][c] the element of row r, column c, so
// their memory matches the device's and `A * B` in the row-vector sense is glm's `B * A`.
#pragma once

#include "view/terrain_mesh.h"

#include <glm/mat4x4.hpp>
#include <glm/vec4.hpp>

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

// Plane (a, b, c, d) through three points, normal along (p2 - p1) x (p3 - p1), unit length.
glm::vec4 planeFromPoints(const glm::vec3& p1, const glm::vec3& p2, const glm::vec3& p3);
inline float planeValue(const glm::vec4& pl, const glm::vec3& p) {
    return pl.x * p.x + pl.y * p.y + pl.z * p.z + pl.w;
}

// p * M with the division by w.
glm::vec3 transformCoord(const glm::vec3& p, const glm::mat4& m);

class Frustum {
public:
    enum Plane { kNear = 0, kFar, kLeft, kRight, kTop, kBottom };

    // Rebuilds corners and planes from the view and projection (clip z on 0..1). The planes'
    // normals point into the frustum.
    void UpdateFrustum(const glm::mat4& view, const glm::mat4& projection);

    // 1 inside, 2 outside (all corners beyond one plane), 3 inside after the slow tests,
    // 4 outside after them.
    int CullBlock(const BoundingBox& box) const;

    // Clip-cube corners c0..c7 in world space: (-1,-1,0), (1,-1,0), (-1,1,0), (1,1,0), then
    // the same at z = 1.
    std::array<glm::vec3, 8> m_corners{};
    std::array<glm::vec4, 6> m_planes{};
};

}  // namespace lnd
