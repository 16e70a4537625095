// The terrain mesh next to the land model: what an open, a map levelling, a device restore
// and a save do to both. The land knows nothing of the mesh; these run the two in step.
#pragma once

#include "base/result.h"
#include "land/land.h"
#include "textures/synthesis.h"
#include "view/terrain_mesh.h"

#include <string>
#include <vector>

namespace lnd {

// BuildGeometry, LinkNeighbours and SyncEdgeFlags over the land's blocks, widening the land's
// bounds. A land without an image leaves the mesh empty.
void buildTerrainGeometry(CTerrainMesh& mesh, CLand& land);

// After the land took a new image (or lost it): the mesh's tables released and the geometry
// built again from the cells, the bounds measured afresh.
void rebuildTerrainGeometry(CTerrainMesh& mesh, CLand& land);

// What follows an open or a device reset: the low-resolution textures made again from their
// records and every block's meshes built. Block textures still held are kept (a reset changes
// no cell); missing ones follow on demand. Does nothing with no land loaded.
void recreateDeviceObjects(CTerrainMesh& mesh, CLand& land);

// Every cell to one altitude (CLand::levelCells), then the geometry, the low-resolution
// textures and every mesh made again.
void levelMap(CTerrainMesh& mesh, CLand& land, int level);

// Each block's full-detail mesh, null where there is none, for CLand::foldMeshesBack.
std::vector<const DeviceMesh*> fullMeshes(const CTerrainMesh& mesh, const CLand& land);

// A save as the editor saves: the meshes folded back into the cells, for a full save every
// missing block texture synthesised (all cores at once; with TilesOnly each is dropped once its
// tile is drawn, for a caller that draws nothing afterwards), then CLand::Save.
Result saveLand(CTerrainMesh& mesh, CLand& land, const std::string& path, SaveKind kind,
                BlockTextureUse use = BlockTextureUse::Keep);

// A land held as the editor holds it, without a window (tests, benchmarks): opening as the
// shell opens (Load, the geometry, then the device objects), saving as it saves.
struct HeadlessLand {
    CTerrainMesh mesh;
    CLand land;
    LandSettings settings;   // what open() loads with

    HeadlessLand() = default;
    HeadlessLand(const HeadlessLand&) = delete;
    HeadlessLand& operator=(const HeadlessLand&) = delete;

    // On failure no land is held and the result says why.
    Result open(const std::string& path);
    Result save(const std::string& path, SaveKind kind) { return saveLand(mesh, land, path, kind); }
};

}  // namespace lnd
