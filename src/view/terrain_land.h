// The terrain mesh attached to the land model: the build a load or a map initialisation runs,
// and the hooks through which the land's load, save and map initialisation reach the mesh
// and the texture synthesis.
#pragma once

#include "land/land.h"
#include "view/terrain_mesh.h"

#include <string>

namespace lnd {

// BuildGeometry, LinkNeighbours and SyncEdgeFlags over the land's blocks, widening the land's
// bounds. A land without an image leaves the mesh empty.
void buildTerrainGeometry(CTerrainMesh& mesh, CLand& land);

// Installs every hook the land calls: releasing the mesh tables, building the geometry (once
// per Load, with the bounds reset by the land first), remaking the low-resolution textures,
// building every mesh and handing the save each block's full-detail mesh. `blocksEdited` is
// left to whoever keeps state about blocks (the view). `mesh` must outlive the land's use of
// the hooks.
void installTerrainHooks(CTerrainMesh& mesh, CLand& land);

// A land held as the editor holds it, without a window (the command-line verbs, tests): the
// mesh attached before the first load, and opening as the shell opens (Load, then the device
// objects made again).
struct HeadlessLand {
    CTerrainMesh mesh;
    CLand land;

    HeadlessLand() { installTerrainHooks(mesh, land); }
    HeadlessLand(const HeadlessLand&) = delete;   // the hooks hold the addresses of both
    HeadlessLand& operator=(const HeadlessLand&) = delete;

    // 0, or -1 with the failure reported through the land's messages and no land held.
    int open(const std::string& path);
};

}  // namespace lnd
