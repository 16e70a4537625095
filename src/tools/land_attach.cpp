#include "tools/land_attach.h"

#include "view/terrain_land.h"

namespace lnd {

void attachTerrain(CTerrainMesh& mesh, CLand& land) {
    installTerrainHooks(mesh, land);
    land.m_hooks.fullMesh = [&mesh](int b) { return mesh.mesh(b, MeshLevel::Full); };
}

}  // namespace lnd
