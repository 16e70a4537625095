// Ties the terrain mesh and the texture synthesis to the land, for every caller that holds a
// land without a view (the command-line verbs, tests): all the land's hooks, so that Load,
// Save, InitializeMap and the edit tools run the editor's whole pipeline.
#pragma once

#include "land/land.h"
#include "view/terrain_mesh.h"

#include <string>

namespace lnd {

// Call once, before the first load, with a mesh that outlives the land's use of it.
void attachTerrain(CTerrainMesh& mesh, CLand& land);

// A land held as the editor holds it, without a window: the mesh attached before the first
// load, and opening as the shell opens (Load, then the device objects made again).
struct HeadlessLand {
    CTerrainMesh mesh;
    CLand land;

    HeadlessLand() { attachTerrain(mesh, land); }
    HeadlessLand(const HeadlessLand&) = delete;   // the hooks hold the addresses of both
    HeadlessLand& operator=(const HeadlessLand&) = delete;

    // 0, or -1 with the failure reported through the land's messages and no land held.
    int open(const std::string& path);
};

}  // namespace lnd
