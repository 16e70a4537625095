#include "view/terrain_mesh.h"

#include <glm/vec3.hpp>

namespace lnd {

void buildTerrainGeometry(CTerrainMesh& mesh, std::span<TLndBlock> blocks, glm::vec3& min, glm::vec3& max) {
    LandBounds bounds;
    mesh.BuildGeometry(blocks, bounds);
    mesh.LinkNeighbours();
    mesh.SyncEdgeFlags(blocks);
    min = {bounds.minX, bounds.minY, bounds.minZ};
    max = {bounds.maxX, bounds.maxY, bounds.maxZ};
}

}  // namespace lnd
