#include "d3dframework/mesh.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <unordered_map>

namespace lnd {

namespace {

struct Layout {
    int colour = -1;          // byte offset, -1 when absent
    int texOffset = 0;
    int texPairs = 0;
};

Layout layoutOf(VertexFormat format) {
    switch (format) {
    case VertexFormat::PositionNormal: return {-1, 24, 0};
    case VertexFormat::PositionNormalTex1: return {-1, 24, 1};
    case VertexFormat::Terrain: return {24, 28, 2};
    }
    return {};
}

constexpr int kNormalOffset = 12;

glm::vec3 loadVec3(const std::uint8_t* p) {
    glm::vec3 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void storeVec3(std::uint8_t* p, const glm::vec3& v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

std::uint32_t vertexStride(VertexFormat format) {
    switch (format) {
    case VertexFormat::PositionNormal: return 24;
    case VertexFormat::PositionNormalTex1: return 32;
    case VertexFormat::Terrain: return 44;
    }
    return 0;
}

bool isKnownVertexFormat(std::uint32_t code) {
    return code == 0x012 || code == 0x112 || code == 0x252;
}

// ---------------------------------------------------------------------------------------
// DeviceMesh
// ---------------------------------------------------------------------------------------

DeviceResult DeviceMesh::create(std::uint32_t faces, std::uint32_t vertices, VertexFormat format,
                                std::unique_ptr<DeviceMesh>& out) {
    out.reset();
    if (faces == 0 || vertices == 0 || vertexStride(format) == 0) return kDeviceInvalidCall;
    // 16-bit indices, and a face list no bigger than a 32-bit index count can name.
    if (vertices > kMaxMeshVertices || faces > 0x7FFFFFFFu / 3) return kDeviceOutOfMemory;
    std::unique_ptr<DeviceMesh> mesh(new (std::nothrow) DeviceMesh);
    if (!mesh) return kDeviceOutOfMemory;
    try {
        mesh->m_vertices.assign(std::size_t(vertices) * vertexStride(format), 0);
        mesh->m_indices.assign(std::size_t(faces) * 3, 0);
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    mesh->m_faces = faces;
    mesh->m_vertexCount = vertices;
    mesh->m_format = format;
    mesh->m_changeCount = 1;
    out = std::move(mesh);
    return kDeviceOk;
}

DeviceResult DeviceMesh::lockVertexBuffer(LockMode mode, void*& data) {
    if (m_vbLocked) return kDeviceInvalidCall;
    m_vbLocked = true;
    m_vbWrite = mode == LockMode::ReadWrite;
    data = m_vertices.data();
    return kDeviceOk;
}

DeviceResult DeviceMesh::unlockVertexBuffer() {
    if (!m_vbLocked) return kDeviceInvalidCall;
    m_vbLocked = false;
    if (m_vbWrite) ++m_changeCount;
    return kDeviceOk;
}

DeviceResult DeviceMesh::lockIndexBuffer(LockMode mode, std::uint16_t*& data) {
    if (m_ibLocked) return kDeviceInvalidCall;
    m_ibLocked = true;
    m_ibWrite = mode == LockMode::ReadWrite;
    data = m_indices.data();
    return kDeviceOk;
}

DeviceResult DeviceMesh::unlockIndexBuffer() {
    if (!m_ibLocked) return kDeviceInvalidCall;
    m_ibLocked = false;
    if (m_ibWrite) ++m_changeCount;
    return kDeviceOk;
}

glm::vec3 DeviceMesh::position(std::uint32_t v) const {
    return loadVec3(m_vertices.data() + std::size_t(v) * stride());
}

// ---------------------------------------------------------------------------------------
// Box and normals
// ---------------------------------------------------------------------------------------

DeviceResult computeBoundingBox(const void* vertices, std::uint32_t count, std::uint32_t stride,
                                glm::vec3& min, glm::vec3& max) {
    if (!vertices || count == 0 || stride < sizeof(glm::vec3)) return kDeviceInvalidCall;
    const auto* p = static_cast<const std::uint8_t*>(vertices);
    glm::vec3 lo = loadVec3(p);
    glm::vec3 hi = lo;
    for (std::uint32_t i = 1; i < count; ++i) {
        const glm::vec3 v = loadVec3(p + std::size_t(i) * stride);
        lo = glm::min(lo, v);
        hi = glm::max(hi, v);
    }
    min = lo;
    max = hi;
    return kDeviceOk;
}

DeviceResult computeNormals(DeviceMesh& mesh) {
    const std::uint32_t n = mesh.vertexCount();
    const std::uint32_t stride = mesh.stride();
    std::vector<glm::dvec3> sums(n, glm::dvec3(0.0));
    const auto idx = mesh.indices();
    for (std::size_t f = 0; f + 2 < idx.size(); f += 3) {
        const std::uint16_t a = idx[f], b = idx[f + 1], c = idx[f + 2];
        if (a >= n || b >= n || c >= n) continue;
        const glm::dvec3 p0(mesh.position(a)), p1(mesh.position(b)), p2(mesh.position(c));
        // Twice the face's area as its length: big faces weigh more at a shared vertex.
        const glm::dvec3 fn = glm::cross(p1 - p0, p2 - p0);
        sums[a] += fn;
        sums[b] += fn;
        sums[c] += fn;
    }
    std::uint8_t* bytes = mesh.mutableVertexBytes();
    for (std::uint32_t v = 0; v < n; ++v) {
        const double len = glm::length(sums[v]);
        const glm::vec3 normal = (len > 0.0 && std::isfinite(len)) ? glm::vec3(sums[v] / len) : glm::vec3(0.0f);
        storeVec3(bytes + std::size_t(v) * stride + kNormalOffset, normal);
    }
    mesh.noteChanged();
    return kDeviceOk;
}

// ---------------------------------------------------------------------------------------
// Ray intersection
// ---------------------------------------------------------------------------------------

DeviceResult intersectMesh(const DeviceMesh& mesh, const glm::vec3& origin,
                           const glm::vec3& direction, RayHit& out) {
    out = RayHit{};
    if (direction == glm::vec3(0.0f)) return kDeviceInvalidCall;
    const std::uint32_t n = mesh.vertexCount();
    const glm::dvec3 o(origin), d(direction);
    const auto idx = mesh.indices();
    // Double precision keeps rays along a shared edge or through a shared vertex from
    // slipping between the two faces.
    for (std::size_t f = 0; f + 2 < idx.size(); f += 3) {
        const std::uint16_t a = idx[f], b = idx[f + 1], c = idx[f + 2];
        if (a >= n || b >= n || c >= n) continue;
        const glm::dvec3 v0(mesh.position(a)), v1(mesh.position(b)), v2(mesh.position(c));
        const glm::dvec3 e1 = v1 - v0, e2 = v2 - v0;
        const glm::dvec3 p = glm::cross(d, e2);
        const double det = glm::dot(e1, p);
        if (det == 0.0 || !std::isfinite(det)) continue;   // parallel or degenerate
        const double inv = 1.0 / det;
        const glm::dvec3 s = o - v0;
        const double u = glm::dot(s, p) * inv;
        if (u < 0.0 || u > 1.0) continue;
        const glm::dvec3 q = glm::cross(s, e1);
        const double v = glm::dot(d, q) * inv;
        if (v < 0.0 || u + v > 1.0) continue;
        const double t = glm::dot(e2, q) * inv;
        if (t < 0.0) continue;
        if (!out.hit || t < out.distance) {
            out.hit = true;
            out.face = static_cast<std::uint32_t>(f / 3);
            out.u = static_cast<float>(u);
            out.v = static_cast<float>(v);
            out.distance = static_cast<float>(t);
        }
    }
    return kDeviceOk;
}

// ---------------------------------------------------------------------------------------
// Sphere and clone
// ---------------------------------------------------------------------------------------

DeviceResult createSphere(float radius, std::uint32_t slices, std::uint32_t stacks,
                          std::unique_ptr<DeviceMesh>& out) {
    out.reset();
    if (!(radius >= 0.0f) || !std::isfinite(radius) || slices < 3 || stacks < 2) return kDeviceInvalidCall;
    const std::uint64_t vertices = 2 + std::uint64_t(slices) * (stacks - 1);
    const std::uint64_t faces = 2 * std::uint64_t(slices) * (stacks - 1);
    if (vertices > kMaxMeshVertices) return kDeviceOutOfMemory;
    std::unique_ptr<DeviceMesh> mesh;
    const DeviceResult r = DeviceMesh::create(static_cast<std::uint32_t>(faces),
                                              static_cast<std::uint32_t>(vertices),
                                              VertexFormat::PositionNormal, mesh);
    if (deviceFailed(r)) return r;

    std::uint8_t* verts = mesh->mutableVertexBytes();
    std::vector<glm::vec3> dirs;
    dirs.reserve(static_cast<std::size_t>(vertices));
    dirs.emplace_back(0.0f, 1.0f, 0.0f);
    for (std::uint32_t k = 1; k < stacks; ++k) {
        const double phi = std::numbers::pi * k / stacks;
        for (std::uint32_t s = 0; s < slices; ++s) {
            const double theta = 2.0 * std::numbers::pi * s / slices;
            dirs.emplace_back(std::sin(phi) * std::cos(theta), std::cos(phi), std::sin(phi) * std::sin(theta));
        }
    }
    dirs.emplace_back(0.0f, -1.0f, 0.0f);
    for (std::size_t i = 0; i < dirs.size(); ++i) {
        storeVec3(verts + i * sizeof(PositionNormalVertex), dirs[i] * radius);
        storeVec3(verts + i * sizeof(PositionNormalVertex) + kNormalOffset, dirs[i]);
    }

    const auto ring = [slices](std::uint32_t k, std::uint32_t s) {
        return static_cast<std::uint16_t>(1 + (k - 1) * slices + s % slices);
    };
    const auto bottom = static_cast<std::uint16_t>(vertices - 1);
    std::vector<std::array<std::uint16_t, 3>> tris;
    tris.reserve(static_cast<std::size_t>(faces));
    for (std::uint32_t s = 0; s < slices; ++s) tris.push_back({0, ring(1, s), ring(1, s + 1)});
    for (std::uint32_t k = 1; k + 1 < stacks; ++k) {
        for (std::uint32_t s = 0; s < slices; ++s) {
            tris.push_back({ring(k, s), ring(k + 1, s), ring(k + 1, s + 1)});
            tris.push_back({ring(k, s), ring(k + 1, s + 1), ring(k, s + 1)});
        }
    }
    for (std::uint32_t s = 0; s < slices; ++s) tris.push_back({bottom, ring(stacks - 1, s + 1), ring(stacks - 1, s)});

    std::uint16_t* idx = nullptr;
    mesh->lockIndexBuffer(LockMode::ReadWrite, idx);
    for (std::size_t t = 0; t < tris.size(); ++t) {
        auto tri = tris[t];
        // Wind every face clockwise as seen from outside, whichever way round the rings run.
        const glm::vec3 c = dirs[tri[0]] + dirs[tri[1]] + dirs[tri[2]];
        const glm::vec3 fn = glm::cross(dirs[tri[1]] - dirs[tri[0]], dirs[tri[2]] - dirs[tri[0]]);
        if (glm::dot(fn, c) < 0.0f) std::swap(tri[1], tri[2]);
        std::memcpy(idx + 3 * t, tri.data(), sizeof tri);
    }
    mesh->unlockIndexBuffer();
    out = std::move(mesh);
    return kDeviceOk;
}

DeviceResult cloneMesh(const DeviceMesh& mesh, VertexFormat format, std::unique_ptr<DeviceMesh>& out) {
    out.reset();
    std::unique_ptr<DeviceMesh> copy;
    const DeviceResult r = DeviceMesh::create(mesh.faceCount(), mesh.vertexCount(), format, copy);
    if (deviceFailed(r)) return r;
    const Layout from = layoutOf(mesh.format()), to = layoutOf(format);
    const std::uint32_t sFrom = mesh.stride(), sTo = copy->stride();
    const std::uint8_t* src = mesh.vertexBytes();
    std::uint8_t* dst = copy->mutableVertexBytes();
    const int pairs = std::min(from.texPairs, to.texPairs);
    for (std::uint32_t v = 0; v < mesh.vertexCount(); ++v) {
        const std::uint8_t* s = src + std::size_t(v) * sFrom;
        std::uint8_t* d = dst + std::size_t(v) * sTo;
        std::memcpy(d, s, 24);   // position and normal, which every layout starts with
        if (from.colour >= 0 && to.colour >= 0) std::memcpy(d + to.colour, s + from.colour, 4);
        if (pairs > 0) std::memcpy(d + to.texOffset, s + from.texOffset, std::size_t(pairs) * 8);
    }
    std::uint16_t* idx = nullptr;
    copy->lockIndexBuffer(LockMode::ReadWrite, idx);
    std::memcpy(idx, mesh.indices().data(), mesh.indices().size_bytes());
    copy->unlockIndexBuffer();
    out = std::move(copy);
    return kDeviceOk;
}

// ---------------------------------------------------------------------------------------
// Single strip
// ---------------------------------------------------------------------------------------

namespace {

std::uint32_t edgeKey(std::uint16_t from, std::uint16_t to) { return (std::uint32_t(from) << 16) | to; }

struct StripBuilder {
    std::vector<std::array<std::uint16_t, 3>> faces;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> byEdge;   // directed edge -> faces
    std::vector<bool> used;

    // The unused face holding the directed edge from -> to, and its third corner.
    bool findNext(std::uint16_t from, std::uint16_t to, std::uint32_t& face, std::uint16_t& third) const {
        const auto it = byEdge.find(edgeKey(from, to));
        if (it == byEdge.end()) return false;
        for (std::uint32_t f : it->second) {
            if (used[f]) continue;
            const auto& t = faces[f];
            for (int k = 0; k < 3; ++k) {
                if (t[k] == from && t[(k + 1) % 3] == to) {
                    face = f;
                    third = t[(k + 2) % 3];
                    return true;
                }
            }
        }
        return false;
    }

    // Grows a strip that starts with face `seed` turned by `rot`; marks what it takes and
    // lists it in `taken` so a trial can be undone.
    std::vector<std::uint16_t> grow(std::uint32_t seed, int rot, std::vector<std::uint32_t>& taken) {
        const auto& t = faces[seed];
        std::vector<std::uint16_t> s = {t[rot], t[(rot + 1) % 3], t[(rot + 2) % 3]};
        used[seed] = true;
        taken.push_back(seed);
        for (;;) {
            const std::size_t len = s.size();
            // The next triangle is number len - 2; odd ones run their first two corners backwards.
            const bool odd = ((len - 2) & 1) != 0;
            const std::uint16_t from = odd ? s[len - 1] : s[len - 2];
            const std::uint16_t to = odd ? s[len - 2] : s[len - 1];
            std::uint32_t face = 0;
            std::uint16_t third = 0;
            if (!findNext(from, to, face, third)) break;
            used[face] = true;
            taken.push_back(face);
            s.push_back(third);
        }
        return s;
    }
};

}  // namespace

DeviceResult convertToSingleStrip(const DeviceMesh& mesh, std::vector<std::uint16_t>& strip) {
    strip.clear();
    const std::uint32_t n = mesh.vertexCount();
    const auto idx = mesh.indices();
    for (std::uint16_t i : idx) {
        if (i >= n) return kDeviceInvalidData;
    }

    // Weld by exact position; -0 and +0 are one place.
    std::vector<std::uint16_t> rep(n);
    {
        struct KeyHash {
            std::size_t operator()(const std::array<std::uint32_t, 3>& k) const {
                return (std::size_t(k[0]) * 73856093u) ^ (std::size_t(k[1]) * 19349663u) ^ (std::size_t(k[2]) * 83492791u);
            }
        };
        std::unordered_map<std::array<std::uint32_t, 3>, std::uint16_t, KeyHash> first;
        first.reserve(n);
        for (std::uint32_t v = 0; v < n; ++v) {
            const glm::vec3 p = mesh.position(v) + glm::vec3(0.0f);
            std::array<std::uint32_t, 3> key;
            std::memcpy(key.data(), &p, sizeof key);
            rep[v] = first.emplace(key, static_cast<std::uint16_t>(v)).first->second;
        }
    }

    StripBuilder b;
    for (std::size_t f = 0; f + 2 < idx.size(); f += 3) {
        const std::array<std::uint16_t, 3> t = {rep[idx[f]], rep[idx[f + 1]], rep[idx[f + 2]]};
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) continue;
        const auto id = static_cast<std::uint32_t>(b.faces.size());
        b.faces.push_back(t);
        for (int k = 0; k < 3; ++k) b.byEdge[edgeKey(t[k], t[(k + 1) % 3])].push_back(id);
    }
    b.used.assign(b.faces.size(), false);

    for (std::uint32_t seed = 0; seed < b.faces.size(); ++seed) {
        if (b.used[seed]) continue;
        // Try the three ways into the seed face and keep the longest strip.
        std::vector<std::uint16_t> best;
        std::vector<std::uint32_t> bestTaken;
        for (int rot = 0; rot < 3; ++rot) {
            std::vector<std::uint32_t> taken;
            std::vector<std::uint16_t> s = b.grow(seed, rot, taken);
            for (std::uint32_t f : taken) b.used[f] = false;
            if (s.size() > best.size()) {
                best = std::move(s);
                bestTaken = std::move(taken);
            }
        }
        for (std::uint32_t f : bestTaken) b.used[f] = true;

        if (!strip.empty()) {
            // Join with repeated numbers so the next strip starts on an even triangle and
            // keeps its winding.
            if (strip.size() % 2 != 0) strip.push_back(strip.back());
            strip.push_back(strip.back());
            strip.push_back(best.front());
        }
        strip.insert(strip.end(), best.begin(), best.end());
    }
    return kDeviceOk;
}

std::vector<std::array<std::uint16_t, 3>> stripTriangles(std::span<const std::uint16_t> strip) {
    std::vector<std::array<std::uint16_t, 3>> out;
    for (std::size_t k = 0; k + 2 < strip.size(); ++k) {
        std::array<std::uint16_t, 3> t = {strip[k], strip[k + 1], strip[k + 2]};
        if (k & 1) std::swap(t[0], t[1]);
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) continue;
        out.push_back(t);
    }
    return out;
}

}  // namespace lnd
