// Picking of the terrain under the mouse pointer, the brush centre snapped to a vertex of the
// hit triangle, and the placement of the two markers drawn there: the cursor model and the
// brush sphere.
#pragma once

#include "d3dframework/device_math.h"
#include "d3dframework/mesh.h"
#include "view/terrain_mesh.h"

#include <glm/vec3.hpp>

#include <memory>

namespace lnd {

struct PickRay {
    glm::vec3 origin{0.0f};
    glm::vec3 direction{0.0f};   // unit length; zero when there is no ray
    bool valid() const { return direction != glm::vec3(0.0f); }
};

// The ray through pointer (px, py) in client coordinates of a back buffer `width` x `height`
// (the size actually presented), starting one unit in front of the eye. No ray for an empty
// back buffer or a singular view.
PickRay computePickRay(const Matrix& view, const Matrix& projection, float px, float py, float width,
                       float height);

inline const glm::vec3 kNoHit{-1.0f, -1.0f, -1.0f};

struct TerrainHit {
    int block = -1;              // record index; -1 when nothing was hit
    int face = -1;               // triangle of the block's full-detail list
    float u = 0.0f, v = 0.0f;    // weights of the triangle's second and third vertex
    float distance = 0.0f;
    glm::vec3 point = kNoHit;
    glm::vec3 brushCentre{0.0f};
};

// The nearest hit of the ray with the full-detail meshes of the squares drawn at full detail
// (hits count from either side). Nearest rather than first in grid order, so a block behind
// a hill never takes the pick from the hill in front.
TerrainHit pickTerrain(const CTerrainMesh& mesh, const PickRay& ray);

// The vertex the brush centres on: V0, or V2 when v > 0.5, then V1 when u > 0.5.
glm::vec3 snapBrushCentre(const glm::vec3& v0, const glm::vec3& v1, const glm::vec3& v2, float u, float v);

// Per-frame picking state of the view: ray, hit point, and the results the brush, block
// deletion, status text and copy command read.
class CTerrainPicker {
public:
    // Recomputes the hit for this frame. The brush centre keeps its value when nothing is hit.
    void PickTerrain(const CTerrainMesh& mesh);

    PickRay m_ray;
    glm::vec3 m_hitPoint = kNoHit;
    int m_cursorBlock = -1;
    glm::vec3 m_brushCentre{0.0f};
};

// Where the cursor model is drawn: scaled by `scale` on all axes, standing on the point above
// the hit (lifted by half its scale). False when there is no hit.
bool cursorModelWorld(const glm::vec3& hitPoint, float scale, Matrix& world);

// The wireframe sphere of the brush radius drawn around the point above the hit.
class CBrushSphere {
public:
    // Slices and stacks for a radius: a quarter of it, at least 20.
    static int segmentsFor(int radius);

    // Recreates the sphere when the radius changed: the layout with one texture pair, each
    // vertex mapped by the arc sine of its normal's x and y. An empty mesh when the device
    // refuses it.
    DeviceResult setRadius(int radius);

    // Translation to the point above the hit; false when there is no hit.
    bool world(const glm::vec3& hitPoint, Matrix& out) const;

    int radius() const { return m_radius; }
    const DeviceMesh* mesh() const { return m_mesh.get(); }

private:
    std::unique_ptr<DeviceMesh> m_mesh;
    int m_radius = 0;
    bool m_made = false;
};

}  // namespace lnd
