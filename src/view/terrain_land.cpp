#include "view/terrain_land.h"

namespace lnd {

void buildTerrainGeometry(CTerrainMesh& mesh, CLand& land) {
    mesh.BuildGeometry(land.blocks(), land.m_bounds);
    mesh.LinkNeighbours();
    mesh.SyncEdgeFlags(land.blocks());
}

void installTerrainHooks(CTerrainMesh& mesh, CLand& land) {
    land.m_hooks.releaseMeshes = [&mesh] { mesh.ReleaseAllMeshes(); };
    land.m_hooks.buildGeometry = [&mesh, &land] { buildTerrainGeometry(mesh, land); };
    land.m_hooks.buildAllMeshes = [&mesh] { mesh.BuildAllMeshes(); };
}

}  // namespace lnd
