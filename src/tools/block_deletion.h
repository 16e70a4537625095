// Deleting the block under the pointer: its square is unmapped, its record stays until the
// next save leaves it out (which compacts from then on).
#pragma once

#include "base/messages.h"
#include "land/land.h"
#include "view/terrain_mesh.h"

namespace lnd {

inline constexpr const char* kDeleteQuestion = "Are you sure?";
inline constexpr const char* kDeleteCaption = "delete block";

// Clears the first square (gx outer, gz inner) that names the block under the pointer, marks
// the land modified and compacting, asks for new detail maps and forgets the pointer's block.
// False when no square names it.
bool DeleteCursorBlock(CLand& land, CTerrainMesh& mesh);

// The delete-block command: asks first. True when a block was deleted.
bool deleteBlockCommand(CLand& land, CTerrainMesh& mesh, UserMessages& messages);

}  // namespace lnd
