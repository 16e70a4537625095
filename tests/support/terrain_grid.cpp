#include "support/terrain_grid.h"

#include <array>
#include <cstring>
#include <vector>

namespace devtest {

std::unique_ptr<lnd::DeviceMesh> makeGrid(int cellsX, int cellsZ, const std::function<bool(int, int)>& split,
                                          const std::function<float(int, int)>& height) {
    const auto faces = std::uint32_t(cellsX * cellsZ * 2);
    std::unique_ptr<lnd::DeviceMesh> mesh;
    if (lnd::DeviceMesh::create(faces, faces * 3, lnd::VertexFormat::Terrain, mesh) != lnd::kDeviceOk) return nullptr;
    void* data = nullptr;
    mesh->lockVertexBuffer(lnd::LockMode::ReadWrite, data);
    auto* v = static_cast<lnd::TerrainVertex*>(data);
    const auto at = [&](int i, int j) {
        return glm::vec3(10.0f * i, height ? height(i, j) : 0.0f, 10.0f * j);
    };
    std::size_t n = 0;
    for (int i = 0; i < cellsX; ++i) {
        for (int j = 0; j < cellsZ; ++j) {
            const glm::vec3 a = at(i, j), b = at(i + 1, j), c = at(i, j + 1), d = at(i + 1, j + 1);
            const std::array<glm::vec3, 6> tri = split(i, j) ? std::array<glm::vec3, 6>{a, b, c, d, c, b}
                                                             : std::array<glm::vec3, 6>{c, a, d, b, d, a};
            for (const glm::vec3& p : tri) {
                v[n] = lnd::TerrainVertex{p, glm::vec3(0.0f), 0x000000AAu, glm::vec2(0.25f * i, 0.5f * j),
                                          glm::vec2(float(i), float(j))};
                ++n;
            }
        }
    }
    mesh->unlockVertexBuffer();
    std::uint16_t* idx = nullptr;
    mesh->lockIndexBuffer(lnd::LockMode::ReadWrite, idx);
    for (std::uint32_t k = 0; k < faces * 3; ++k) idx[k] = static_cast<std::uint16_t>(k);
    mesh->unlockIndexBuffer();
    return mesh;
}

}  // namespace devtest
