#include "view/frustum.h"

#include <glm/geometric.hpp>

#include <cmath>

namespace lnd {

namespace {

struct Face {
    Plane plane;
    std::array<glm::vec3, 4> quad;   // in cycle order
};

float cross2(float ax, float ay, float bx, float by) { return ax * by - ay * bx; }

// Whether segment P-Q passes through the face (its plane inside its quad).
bool edgeCrossesFace(const glm::vec3& p, const glm::vec3& q, const Face& f) {
    const float dp = planeDotCoord(f.plane, p);
    const float dq = planeDotCoord(f.plane, q);
    if ((dp > 0.0f && dq > 0.0f) || (dp < 0.0f && dq < 0.0f)) return false;
    glm::vec3 x;
    if (!planeIntersectLine(f.plane, p, q, x)) return false;

    // Project onto the plane of the two axes other than the normal's dominant one. Ties pick
    // a dominant axis too, so the projection never flattens the face into a line.
    const float ax = std::fabs(f.plane.x), ay = std::fabs(f.plane.y), az = std::fabs(f.plane.z);
    int u = 1, v = 2;                                     // drop x
    if (!(ax >= ay && ax >= az)) {
        if (ay >= az) { u = 0; v = 2; }                   // drop y
        else { u = 0; v = 1; }                            // drop z
    }
    const auto& c = f.quad;
    const float orient = cross2(c[1][u] - c[0][u], c[1][v] - c[0][v], c[2][u] - c[1][u], c[2][v] - c[1][v]);
    if (orient == 0.0f) return false;
    for (int i = 0; i < 4; ++i) {
        const glm::vec3& a = c[std::size_t(i)];
        const glm::vec3& b = c[std::size_t((i + 1) % 4)];
        const float cr = cross2(b[u] - a[u], b[v] - a[v], x[u] - a[u], x[v] - a[v]);
        if ((cr > 0.0f && orient < 0.0f) || (cr < 0.0f && orient > 0.0f)) return false;
    }
    return true;
}

// Corner numbers of the 12 edges of a box laid out in the corner order CullBlock uses
// (bit 2 clear = max x, bit 1 clear = max y, bit 0 clear = max z).
constexpr int kBoxEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                  {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
// Frustum corners c0..c7: bit 0 = +x, bit 1 = +y, bit 2 = far.
constexpr int kFrustumEdges[12][2] = {{0, 1}, {1, 3}, {3, 2}, {2, 0}, {4, 5}, {5, 7},
                                      {7, 6}, {6, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
// Faces in plane order: near, far, left, right, top, bottom.
constexpr int kFrustumFaces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 2, 6, 4},
                                     {1, 3, 7, 5}, {2, 3, 7, 6}, {0, 1, 5, 4}};

std::array<Face, 6> boxFaces(const BoundingBox& b) {
    const glm::vec3 &n = b.min, &x = b.max;
    return {{
        {{-1, 0, 0, x.x}, {{{x.x, n.y, n.z}, {x.x, x.y, n.z}, {x.x, x.y, x.z}, {x.x, n.y, x.z}}}},
        {{1, 0, 0, -n.x}, {{{n.x, n.y, n.z}, {n.x, x.y, n.z}, {n.x, x.y, x.z}, {n.x, n.y, x.z}}}},
        {{0, -1, 0, x.y}, {{{n.x, x.y, n.z}, {x.x, x.y, n.z}, {x.x, x.y, x.z}, {n.x, x.y, x.z}}}},
        {{0, 1, 0, -n.y}, {{{n.x, n.y, n.z}, {x.x, n.y, n.z}, {x.x, n.y, x.z}, {n.x, n.y, x.z}}}},
        {{0, 0, -1, x.z}, {{{n.x, n.y, x.z}, {x.x, n.y, x.z}, {x.x, x.y, x.z}, {n.x, x.y, x.z}}}},
        {{0, 0, 1, -n.z}, {{{n.x, n.y, n.z}, {x.x, n.y, n.z}, {x.x, x.y, n.z}, {n.x, x.y, n.z}}}},
    }};
}

}  // namespace

void Frustum::UpdateFrustum(const Matrix& view, const Matrix& projection) {
    Matrix inv;
    if (!matrixInverse(matrixMultiply(view, projection), inv)) return;
    static constexpr glm::vec3 kClip[8] = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0},
                                           {-1, -1, 1}, {1, -1, 1}, {-1, 1, 1}, {1, 1, 1}};
    for (int k = 0; k < 8; ++k) m_corners[std::size_t(k)] = vec3TransformCoord(kClip[k], inv);
    const auto& c = m_corners;
    m_planes[kNear] = planeFromPoints(c[0], c[1], c[2]);
    m_planes[kFar] = planeFromPoints(c[6], c[7], c[5]);
    m_planes[kLeft] = planeFromPoints(c[2], c[6], c[4]);
    m_planes[kRight] = planeFromPoints(c[7], c[3], c[5]);
    m_planes[kTop] = planeFromPoints(c[2], c[3], c[6]);
    m_planes[kBottom] = planeFromPoints(c[1], c[0], c[4]);
}

int Frustum::CullBlock(const BoundingBox& box) const {
    const glm::vec3 &n = box.min, &x = box.max;
    const glm::vec3 corners[8] = {{x.x, x.y, x.z}, {x.x, x.y, n.z}, {x.x, n.y, x.z}, {x.x, n.y, n.z},
                                  {n.x, x.y, x.z}, {n.x, x.y, n.z}, {n.x, n.y, x.z}, {n.x, n.y, n.z}};
    unsigned all = 0x3F;
    for (const glm::vec3& p : corners) {
        unsigned code = 0;
        for (int k = 0; k < 6; ++k)
            if (planeDotCoord(m_planes[std::size_t(k)], p) < 0.0f) code |= 1u << k;
        if (code == 0) return kCullInside;
        all &= code;
    }
    if (all != 0) return kCullOutside;

    const std::array<Face, 6> bf = boxFaces(box);
    for (const auto& e : kFrustumEdges)
        for (const Face& f : bf)
            if (edgeCrossesFace(m_corners[std::size_t(e[0])], m_corners[std::size_t(e[1])], f))
                return kCullInsideSlow;

    for (const auto& e : kBoxEdges) {
        for (int k = 0; k < 6; ++k) {
            Face f{m_planes[std::size_t(k)], {}};
            for (int q = 0; q < 4; ++q) f.quad[std::size_t(q)] = m_corners[std::size_t(kFrustumFaces[k][q])];
            if (edgeCrossesFace(corners[e[0]], corners[e[1]], f)) return kCullInsideSlow;
        }
    }

    for (const Face& f : bf)
        if (planeDotCoord(f.plane, m_corners[0]) < 0.0f) return kCullOutsideSlow;
    return kCullInsideSlow;
}

}  // namespace lnd
