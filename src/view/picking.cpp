#include "view/picking.h"

#include <algorithm>
#include <cmath>

namespace lnd {

PickRay computePickRay(const Matrix& view, const Matrix& projection, float px, float py, float width,
                       float height) {
    PickRay ray;
    if (!(width > 0.0f && height > 0.0f)) return ray;
    const float p11 = matrixAt(projection, 1, 1), p22 = matrixAt(projection, 2, 2);
    if (p11 == 0.0f || p22 == 0.0f) return ray;
    const glm::vec3 v((2.0f * px / width - 1.0f) / p11, -((2.0f * py / height - 1.0f) / p22), 1.0f);
    Matrix m;
    if (!matrixInverse(view, m)) return ray;
    // Rows 1..3 of the inverse view are the camera's axes in world space, row 4 the eye.
    const glm::vec3 r1(matrixAt(m, 1, 1), matrixAt(m, 1, 2), matrixAt(m, 1, 3));
    const glm::vec3 r2(matrixAt(m, 2, 1), matrixAt(m, 2, 2), matrixAt(m, 2, 3));
    const glm::vec3 r3(matrixAt(m, 3, 1), matrixAt(m, 3, 2), matrixAt(m, 3, 3));
    const glm::vec3 eye(matrixAt(m, 4, 1), matrixAt(m, 4, 2), matrixAt(m, 4, 3));
    ray.direction = vec3Normalize(v.x * r1 + v.y * r2 + v.z * r3);
    ray.origin = eye + ray.direction;
    return ray;
}

glm::vec3 snapBrushCentre(const glm::vec3& v0, const glm::vec3& v1, const glm::vec3& v2, float u, float v) {
    glm::vec3 c = v0;
    if (v > 0.5f) c = v2;
    if (u > 0.5f) c = v1;
    return c;
}

TerrainHit pickTerrain(const CTerrainMesh& mesh, const PickRay& ray) {
    TerrainHit best;
    if (!ray.valid()) return best;
    for (int r = 0; r < kGridSize; ++r) {
        for (int c = 0; c < kGridSize; ++c) {
            if (mesh.lodMap()[r][c] != LodFull || mesh.visibleMap()[r][c] == 0) continue;
            const int n = mesh.visibleMap()[r][c] - 1;
            const DeviceMesh* full = n < mesh.blockCount() ? mesh.mesh(n, MeshLevel::Full) : nullptr;
            if (full == nullptr) continue;
            RayHit hit;
            if (deviceFailed(intersectMesh(*full, ray.origin, ray.direction, hit)) || !hit.hit) continue;
            if (hit.face >= std::uint32_t(kFullTriangles)) continue;
            if (best.block >= 0 && !(hit.distance < best.distance)) continue;
            best.block = n;
            best.face = int(hit.face);
            best.u = hit.u;
            best.v = hit.v;
            best.distance = hit.distance;
        }
    }
    if (best.block < 0) return best;
    const BlockGeometry& g = mesh.geometry(best.block);
    const BlockTriangle& t = g.triangles[std::size_t(best.face)];
    const glm::vec3 v0 = g.positions[std::size_t(t.v[0])];
    const glm::vec3 v1 = g.positions[std::size_t(t.v[1])];
    const glm::vec3 v2 = g.positions[std::size_t(t.v[2])];
    best.point = (1.0f - best.u - best.v) * v0 + best.u * v1 + best.v * v2;
    best.brushCentre = snapBrushCentre(v0, v1, v2, best.u, best.v);
    return best;
}

void CTerrainPicker::PickTerrain(const CTerrainMesh& mesh) {
    const TerrainHit hit = pickTerrain(mesh, m_ray);
    m_hitPoint = hit.point;
    m_cursorBlock = hit.block;
    if (hit.block >= 0) m_brushCentre = hit.brushCentre;
}

bool cursorModelWorld(const glm::vec3& hitPoint, float scale, Matrix& world) {
    if (hitPoint.x == -1.0f) return false;
    const glm::vec3 p(hitPoint.x, hitPoint.y + 1.0f, hitPoint.z);
    world = matrixMultiply(matrixScaling(scale, scale, scale), matrixTranslation(p.x, p.y + scale * 0.5f, p.z));
    return true;
}

int CBrushSphere::segmentsFor(int radius) { return std::max(radius / 4, 20); }

DeviceResult CBrushSphere::setRadius(int radius) {
    if (m_made && radius == m_radius) return kDeviceOk;
    m_made = true;
    m_radius = radius;
    m_mesh.reset();
    const auto n = std::uint32_t(segmentsFor(radius));
    std::unique_ptr<DeviceMesh> sphere;
    DeviceResult r = createSphere(float(radius), n, n, sphere);
    if (deviceFailed(r)) return r;
    std::unique_ptr<DeviceMesh> textured;
    r = cloneMesh(*sphere, VertexFormat::PositionNormalTex1, textured);
    if (deviceFailed(r)) return r;
    void* data = nullptr;
    r = textured->lockVertexBuffer(LockMode::ReadWrite, data);
    if (deviceFailed(r)) return r;
    auto* v = static_cast<PositionNormalTexVertex*>(data);
    constexpr float kInvPi = 0.31830987f;
    for (std::uint32_t k = 0; k < textured->vertexCount(); ++k) {
        // Rounding can leave a unit normal's component a hair beyond 1.
        const float nx = std::clamp(v[k].normal.x, -1.0f, 1.0f);
        const float ny = std::clamp(v[k].normal.y, -1.0f, 1.0f);
        v[k].tex = glm::vec2(std::asin(nx) * kInvPi + 0.5f, std::asin(ny) * kInvPi + 0.5f);
    }
    textured->unlockVertexBuffer();
    m_mesh = std::move(textured);
    return kDeviceOk;
}

bool CBrushSphere::world(const glm::vec3& hitPoint, Matrix& out) const {
    if (hitPoint.x == -1.0f) return false;
    out = matrixTranslation(hitPoint.x, hitPoint.y + 1.0f, hitPoint.z);
    return true;
}

}  // namespace lnd
