// Device meshes kept in CPU memory: a vertex buffer in one of a few fixed layouts and a 16-bit
// index buffer, both lockable, one subset. Helpers compute bounding boxes and normals,
// intersect rays, build spheres, clone to another layout and turn the triangles into one strip.
//
// Triangles are wound clockwise when seen from their front, in the left-handed convention of
// the math helpers; face normals point to the front.
#pragma once

#include "d3dframework/device_result.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace lnd {

// Vertex layouts by their flexible-format code; elements follow in this order: position,
// normal, 32-bit colour, texture pairs.
enum class VertexFormat : std::uint32_t {
    PositionNormal = 0x012,        // 24 bytes
    PositionNormalTex1 = 0x112,    // 32 bytes
    Terrain = 0x252,               // 44 bytes, TerrainVertex
};

// The layout of every terrain mesh; the renderer and the land save read it as bytes.
struct TerrainVertex {
    glm::vec3 position;
    glm::vec3 normal;
    std::uint32_t colour;          // alpha-red-green-blue word
    glm::vec2 loRes;               // texture pair into the block's low-resolution tile
    glm::vec2 block;               // texture pair into the block's own texture
};
static_assert(sizeof(TerrainVertex) == 44);

struct PositionNormalVertex {
    glm::vec3 position;
    glm::vec3 normal;
};
static_assert(sizeof(PositionNormalVertex) == 24);

struct PositionNormalTexVertex {
    glm::vec3 position;
    glm::vec3 normal;
    glm::vec2 tex;
};
static_assert(sizeof(PositionNormalTexVertex) == 32);

// Bytes per vertex; 0 for a code the layer does not hold.
std::uint32_t vertexStride(VertexFormat format);
bool isKnownVertexFormat(std::uint32_t code);

// Meshes address their vertices with 16-bit indices.
inline constexpr std::uint32_t kMaxMeshVertices = 65536;

class DeviceMesh {
public:
    // An empty mesh: zeroed vertices and indices. Faces and vertices must be at least 1, and
    // vertices at most kMaxMeshVertices; kDeviceOutOfMemory beyond that.
    static DeviceResult create(std::uint32_t faces, std::uint32_t vertices, VertexFormat format,
                               std::unique_ptr<DeviceMesh>& out);

    std::uint32_t faceCount() const { return m_faces; }
    std::uint32_t vertexCount() const { return m_vertexCount; }
    VertexFormat format() const { return m_format; }
    std::uint32_t stride() const { return vertexStride(m_format); }

    // Each buffer is locked at most once at a time; a read-write unlock moves the change
    // counter.
    DeviceResult lockVertexBuffer(LockMode mode, void*& data);
    DeviceResult unlockVertexBuffer();
    DeviceResult lockIndexBuffer(LockMode mode, std::uint16_t*& data);
    DeviceResult unlockIndexBuffer();

    // Unlocked access for readers and the renderer.
    const std::uint8_t* vertexBytes() const { return m_vertices.data(); }
    std::uint8_t* mutableVertexBytes() { return m_vertices.data(); }
    std::span<const std::uint16_t> indices() const { return m_indices; }
    // The position of vertex `v` (which must be below vertexCount()).
    glm::vec3 position(std::uint32_t v) const;

    // Moves on every change; above 0 from creation on.
    std::uint64_t changeCount() const { return m_changeCount; }
    void noteChanged() { ++m_changeCount; }

private:
    DeviceMesh() = default;

    std::uint32_t m_faces = 0;
    std::uint32_t m_vertexCount = 0;
    VertexFormat m_format = VertexFormat::Terrain;
    std::vector<std::uint8_t> m_vertices;
    std::vector<std::uint16_t> m_indices;
    bool m_vbLocked = false;
    bool m_vbWrite = false;
    bool m_ibLocked = false;
    bool m_ibWrite = false;
    std::uint64_t m_changeCount = 0;
};

// Minimum and maximum of the positions of `count` vertices `stride` bytes apart (position
// first in each). kDeviceInvalidCall for no vertices or a stride below 12.
DeviceResult computeBoundingBox(const void* vertices, std::uint32_t count, std::uint32_t stride,
                                glm::vec3& min, glm::vec3& max);

// Fills the normal of every vertex: the sum of the area-weighted normals of the faces that
// use it, normalised; a vertex of no face or of degenerate faces only gets (0, 0, 0).
// Faces with an index out of range are ignored.
DeviceResult computeNormals(DeviceMesh& mesh);

struct RayHit {
    bool hit = false;
    std::uint32_t face = 0;
    // The hit point is (1 - u - v) * V0 + u * V1 + v * V2 of the face's vertices.
    float u = 0.0f;
    float v = 0.0f;
    // Along the ray, in multiples of the direction's length.
    float distance = 0.0f;
};

// The nearest hit of the ray origin + t * direction (t >= 0) with the mesh's faces, seen from
// either side; on equal distances the lower face wins. A point on an edge or a vertex hits.
// kDeviceInvalidCall for a zero direction; faces with an index out of range are skipped.
DeviceResult intersectMesh(const DeviceMesh& mesh, const glm::vec3& origin,
                           const glm::vec3& direction, RayHit& out);

// A sphere of `radius` around the origin: `slices` around the y axis (at least 3), `stacks`
// from pole to pole (at least 2), outward normals. kDeviceOutOfMemory when it would need more
// vertices than 16-bit indices reach.
DeviceResult createSphere(float radius, std::uint32_t slices, std::uint32_t stacks,
                          std::unique_ptr<DeviceMesh>& out);

// A copy of the mesh in another layout: elements both layouts have are copied, the others
// are zero. Indices are copied as they are.
DeviceResult cloneMesh(const DeviceMesh& mesh, VertexFormat format, std::unique_ptr<DeviceMesh>& out);

// The mesh's triangles as one triangle strip of vertex numbers. Vertices at exactly the same
// position count as one, and the strip names each such group by its lowest vertex number.
// Read as a strip (triangle k is strip[k], strip[k+1], strip[k+2], the first two swapped for
// odd k; triangles with a repeated number are joins), it holds every face whose corners lie
// at three distinct positions exactly once, wound as the face. Faces with a repeated
// position are left out. kDeviceInvalidData for an index out of range.
DeviceResult convertToSingleStrip(const DeviceMesh& mesh, std::vector<std::uint16_t>& strip);

// The non-degenerate triangles of a strip, in strip order and with their winding.
std::vector<std::array<std::uint16_t, 3>> stripTriangles(std::span<const std::uint16_t> strip);

}  // namespace lnd
