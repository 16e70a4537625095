#include "tools/block_deletion.h"

namespace lnd {

bool DeleteCursorBlock(CLand& land, CTerrainMesh& mesh) {
    TLndHeader* header = land.header();
    if (header == nullptr || land.m_cursorBlock < 0 || land.m_cursorBlock >= land.numBlocks()) return false;
    const int number = land.m_cursorBlock + 1;
    for (int gx = 0; gx < kGridSize; ++gx) {
        for (int gz = 0; gz < kGridSize; ++gz) {
            if (header->BlockIndex[gx][gz] != number) continue;
            header->BlockIndex[gx][gz] = 0;
            mesh.markLodDirty();
            land.m_blocksDeleted = true;
            land.m_modified = true;
            land.m_cursorBlock = -1;
            return true;
        }
    }
    return false;
}

bool deleteBlockCommand(CLand& land, CTerrainMesh& mesh, UserMessages& messages) {
    if (land.m_cursorBlock < 0) return false;
    if (!messages.question(kDeleteQuestion, kDeleteCaption, QuestionButtons::OkCancel)) return false;
    return DeleteCursorBlock(land, mesh);
}

}  // namespace lnd
