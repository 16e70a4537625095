#include "tools/altitude_brush.h"
#include "tools/block_deletion.h"
#include "view/frustum.h"

#include "support/editor_land.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::EditorLand;

TEST(BlockDeletion, UnmapsTheBlockUnderThePointerAndMarksTheLand) {
    EditorLand h(LandBuilder().block(2, 2).block(3, 2).block(2, 3));
    h.mesh.UpdateVisibility(h.land.header()->BlockIndex, Frustum{});
    ASSERT_FALSE(h.mesh.lodDirty());
    h.tool.block = 1;
    // A record beyond the land: refused, nothing changes.
    EXPECT_EQ(DeleteBlock(h.land, h.mesh, 3).status(), Status::NotPossible);
    EXPECT_EQ(DeleteBlock(h.land, h.mesh, -1).status(), Status::NotPossible);
    EXPECT_EQ(h.land.header()->BlockIndex[3][2], 2);
    EXPECT_FALSE(h.land.modified());

    EXPECT_TRUE(DeleteCursorBlock(h.land, h.mesh, h.tool.block));
    EXPECT_EQ(h.land.header()->BlockIndex[3][2], 0);
    EXPECT_EQ(h.land.header()->BlockIndex[2][2], 1);
    EXPECT_TRUE(h.land.blocksDeleted() && h.land.modified() && h.mesh.lodDirty());
    EXPECT_EQ(h.tool.block, -1);
    EXPECT_EQ(h.land.numBlocks(), 3);   // the record stays until the save

    // A block no square names any more: nothing happens.
    h.land.setModified(false);
    h.tool.block = 1;
    const Result again = DeleteCursorBlock(h.land, h.mesh, h.tool.block);
    EXPECT_EQ(again.status(), Status::NotPossible);
    EXPECT_NE(again.message().find("block 2"), std::string::npos) << again.message();
    EXPECT_FALSE(h.land.modified());
    EXPECT_EQ(h.tool.block, 1);
}

TEST(BlockDeletion, OnlyTheFirstSquareInGridOrderIsCleared) {
    EditorLand h(LandBuilder().block(4, 1).block(9, 9).header([](TLndHeader& hd) { hd.BlockIndex[2][7] = 1; }));
    h.tool.block = 0;
    EXPECT_TRUE(DeleteCursorBlock(h.land, h.mesh, h.tool.block));
    EXPECT_EQ(h.land.header()->BlockIndex[2][7], 0);
    EXPECT_EQ(h.land.header()->BlockIndex[4][1], 1);
}

TEST(BlockDeletion, ABrushNextToADeletedBlockStillReachesIt) {
    EditorLand h(LandBuilder().block(2, 2, lndtest::flat(50)).block(3, 2, lndtest::flat(50)));
    h.tool.block = 1;
    ASSERT_TRUE(DeleteCursorBlock(h.land, h.mesh, h.tool.block));
    const CBrushDef brush = lndtest::ringBrush({4, 4, 4, 4, 4, 4, 4, 4, 4, 4});
    h.tool.brush = &brush;
    h.tool.block = 0;
    h.tool.centre = {480.0f, 0.0f, 400.0f};
    h.tool.radius = 30;
    EXPECT_EQ(ApplyBrush(h.land, h.mesh, h.tool.withMode(kBrushRaise)), (std::vector<int>{0, 1}));
    EXPECT_EQ(h.block(1).Cells[0][8].Altitude, 54);
    EXPECT_EQ(h.block(1).Cells[2][8].Altitude, 54);
}
