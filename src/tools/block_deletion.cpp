#include "tools/block_deletion.h"

#include <string>

namespace lnd {

Result DeleteBlock(CLand& land, CTerrainMesh& mesh, int record) {
    TLndHeader* header = land.header();
    if (header == nullptr) return Result::failure(Status::NotPossible, "no land is open");
    if (record < 0 || record >= land.numBlocks())
        return Result::failure(Status::NotPossible, "the land has no block record " + std::to_string(record + 1));
    const int number = record + 1;
    for (int gx = 0; gx < kGridSize; ++gx) {
        for (int gz = 0; gz < kGridSize; ++gz) {
            if (header->BlockIndex[gx][gz] != number) continue;
            header->BlockIndex[gx][gz] = 0;
            mesh.markLodDirty();
            land.setBlocksDeleted(true);
            land.markModified();
            return Result::success();
        }
    }
    return Result::failure(Status::NotPossible, "no square holds block " + std::to_string(number));
}

Result DeleteCursorBlock(CLand& land, CTerrainMesh& mesh, int& cursorBlock) {
    Result result = DeleteBlock(land, mesh, cursorBlock);
    if (result.ok()) cursorBlock = -1;
    return result;
}

}  // namespace lnd
