// Deleting the block under the pointer: its square is unmapped, its record stays until the
// next save leaves it out (which compacts from then on).
#pragma once

#include "base/result.h"
#include "land/land.h"
#include "view/terrain_mesh.h"

namespace lnd {

// Clears the first square (gx outer, gz inner) that names block record `record`, marks the
// land modified and compacting and asks for new detail maps. NotPossible, with nothing
// changed, when no square names it.
Result DeleteBlock(CLand& land, CTerrainMesh& mesh, int record);

// DeleteBlock of the block under the pointer (`cursorBlock`), which then points at no block.
Result DeleteCursorBlock(CLand& land, CTerrainMesh& mesh, int& cursorBlock);

}  // namespace lnd
