// Ties the terrain mesh to the land: the view's map-rebuild hooks plus the full-detail mesh
// the save reads heights and diagonals from. Call once, before the first load, with a mesh
// that outlives the land's use of it.
#pragma once

#include "land/land.h"
#include "view/terrain_mesh.h"

namespace lnd {

void attachTerrain(CTerrainMesh& mesh, CLand& land);

}  // namespace lnd
