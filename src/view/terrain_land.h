// The terrain mesh attached to the land model: the build a load or a map initialisation runs,
// and the hooks the land's map initialisation calls back into.
#pragma once

#include "land/land.h"
#include "view/terrain_mesh.h"

namespace lnd {

// BuildGeometry, LinkNeighbours and SyncEdgeFlags over the land's blocks, widening the land's
// bounds. A land without an image leaves the mesh empty.
void buildTerrainGeometry(CTerrainMesh& mesh, CLand& land);

// Installs the mesh's part of CLand::InitializeMap: releasing the mesh tables, rebuilding the
// geometry and building every mesh. `mesh` must outlive the land's use of the hooks.
void installTerrainHooks(CTerrainMesh& mesh, CLand& land);

}  // namespace lnd
