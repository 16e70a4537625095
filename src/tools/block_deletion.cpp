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
            land.m_blocksDeleted = true;
            land.m_modified = true;
            if (land.m_cursorBlock == record) land.m_cursorBlock = -1;
            return Result::success();
        }
    }
    return Result::failure(Status::NotPossible, "no square holds block " + std::to_string(number));
}

Result DeleteCursorBlock(CLand& land, CTerrainMesh& mesh) { return DeleteBlock(land, mesh, land.m_cursorBlock); }

}  // namespace lnd
