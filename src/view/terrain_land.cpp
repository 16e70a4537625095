#include "view/terrain_land.h"

#include "textures/synthesis.h"

#include <new>

namespace lnd {

void buildTerrainGeometry(CTerrainMesh& mesh, CLand& land) {
    mesh.BuildGeometry(land.blocks(), land.m_bounds);
    mesh.LinkNeighbours();
    mesh.SyncEdgeFlags(land.blocks());
}

void rebuildTerrainGeometry(CTerrainMesh& mesh, CLand& land) {
    mesh.ReleaseAllMeshes();
    land.m_bounds.reset();
    buildTerrainGeometry(mesh, land);
}

void recreateDeviceObjects(CTerrainMesh& mesh, CLand& land) {
    if (!land.loaded() || !land.hasImage()) return;
    LoadLoResTextures(land);
    mesh.BuildAllMeshes();
}

void levelMap(CTerrainMesh& mesh, CLand& land, int level) {
    if (!land.hasImage()) return;
    land.levelCells(level);
    rebuildTerrainGeometry(mesh, land);
    LoadLoResTextures(land);
    mesh.BuildAllMeshes();
}

std::vector<const DeviceMesh*> fullMeshes(const CTerrainMesh& mesh, const CLand& land) {
    std::vector<const DeviceMesh*> out(std::size_t(std::max(land.numBlocks(), 0)), nullptr);
    for (std::size_t b = 0; b < out.size(); ++b) out[b] = mesh.mesh(int(b), MeshLevel::Full);
    return out;
}

Result saveLand(CTerrainMesh& mesh, CLand& land, const std::string& path, SaveKind kind, BlockTextureUse use) {
    if (!land.loaded() || !land.hasImage()) return land.Save(path);   // refuses, writes nothing
    try {
        land.foldMeshesBack(fullMeshes(mesh, land));
        if (kind == SaveKind::Full) {
            std::vector<int> missing;
            for (int b = 0; b < land.numBlocks(); ++b)
                if (!land.textures().blocks().has(std::size_t(b))) missing.push_back(b);
            SynthesizeBlockTextures(land, missing, use);
        }
    } catch (const std::bad_alloc&) {
        // No memory for a texture: the file on disk was never touched.
        return Result::failure(Status::OutOfMemory, path + ": out of memory");
    }
    return land.Save(path);
}

Result HeadlessLand::open(const std::string& path) {
    Result loaded = land.Load(path, settings);
    rebuildTerrainGeometry(mesh, land);   // with no image the mesh is left without blocks
    if (loaded) recreateDeviceObjects(mesh, land);
    return loaded;
}

}  // namespace lnd
