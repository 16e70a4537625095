#include "view/terrain_land.h"

#include "textures/synthesis.h"

namespace lnd {

void buildTerrainGeometry(CTerrainMesh& mesh, CLand& land) {
    mesh.BuildGeometry(land.blocks(), land.m_bounds);
    mesh.LinkNeighbours();
    mesh.SyncEdgeFlags(land.blocks());
}

void installTerrainHooks(CTerrainMesh& mesh, CLand& land) {
    land.m_hooks.releaseMeshes = [&mesh] { mesh.ReleaseAllMeshes(); };
    land.m_hooks.buildGeometry = [&mesh, &land] { buildTerrainGeometry(mesh, land); };
    land.m_hooks.loadLoResTextures = [&land] { LoadLoResTextures(land); };
    land.m_hooks.buildAllMeshes = [&mesh] { mesh.BuildAllMeshes(); };
    land.m_hooks.fullMesh = [&mesh](int b) { return mesh.mesh(b, MeshLevel::Full); };
    land.m_hooks.synthesizeBlock = [&land](int b) { SynthesizeBlockTexture(land, b); };
    land.m_hooks.synthesizeBlocks = [&land](std::span<const int> blocks) { SynthesizeBlockTextures(land, blocks); };
}

int HeadlessLand::open(const std::string& path) {
    if (land.Load(path) != 0) return -1;
    land.recreateDeviceObjects();
    return 0;
}

}  // namespace lnd
