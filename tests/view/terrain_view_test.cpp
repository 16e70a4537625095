#include "view/terrain_land.h"
#include "view/terrain_view.h"

#include "base/messages.h"
#include "d3dframework/texture.h"
#include "support/land_builder.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <map>

using namespace lnd;

namespace {

// A 6 x 6 land in the grid's corner; blocks on square (x, z) with x + z == 7 name no
// low-resolution texture.
struct ViewFixture : testing::Test {
    CLand land;
    RecordingMessages messages;
    CTerrainView view;
    std::map<int, int> synthCalls;
    bool failSynthesis = false;

    void SetUp() override {
        lndtest::LandBuilder b;
        for (int x = 0; x < 6; ++x)
            for (int z = 0; z < 6; ++z)
                b.block(x, z, [=](TLndBlock& blk) {
                    for (auto& row : blk.Cells)
                        for (auto& c : row) c.Altitude = 10;
                    if (x + z == 7) blk.LoResTexture = 5;
                });
        b.loResTextures(1);
        ASSERT_TRUE(land.adoptImage(b.build()));
        land.setLoaded(true);
        view.attach(land);
        buildTerrainGeometry(view.mesh(), land);   // what the open does
        view.onLandOpened(land, nullptr);
        view.restoreDeviceObjects(land);
        view.setSynthesizer([this](CLand& l, int n) {
            ++synthCalls[n];
            if (failSynthesis) {
                l.setTextureError("no materials");
                return 0;
            }
            if (!l.textures().blocks().exists()) l.textures().blocks().make(std::size_t(l.numBlocks()));
            std::unique_ptr<DeviceTexture> tex;
            EXPECT_EQ(DeviceTexture::create(4, 4, 1, TextureFormat::A8R8G8B8, tex), kDeviceOk);
            l.textures().blocks().set(std::size_t(n), TextureHandle(std::move(tex)));
            return 0;
        });
    }

    FrameInput pointerAt(float x, float y) const {
        FrameInput in;
        in.pointerInView = true;
        in.pointerX = x;
        in.pointerY = y;
        in.backBufferWidth = 800;
        in.backBufferHeight = 600;
        return in;
    }

    const TerrainDrawItem* itemFor(const FramePlan& plan, int gx, int gz) const {
        const int n = land.header()->BlockIndex[gx][gz] - 1;
        for (const auto& it : plan.terrain)
            if (it.block == n) return &it;
        return nullptr;
    }
};

}  // namespace

TEST_F(ViewFixture, FirstFrameTakesTheHomeViewAndDrawsWhatIsInFront) {
    const FramePlan plan = view.frame(land, pointerAt(400, 300));
    EXPECT_FALSE(view.camera().m_homePending);
    EXPECT_TRUE(plan.landShown);
    // Home: eye above the centre (480, 480) looking along +x.
    EXPECT_EQ(view.camera().m_eye, glm::vec3(480.0f, 150.0f, 480.0f));
    EXPECT_EQ(view.mesh().cameraSquare().row, 3);
    EXPECT_EQ(view.mesh().cameraSquare().column, 3);
    ASSERT_FALSE(plan.terrain.empty());
    // Ahead at full detail with its synthesised texture; behind the eye nothing.
    const TerrainDrawItem* ahead = itemFor(plan, 4, 3);
    ASSERT_NE(ahead, nullptr);
    EXPECT_EQ(ahead->lod, LodFull);
    EXPECT_EQ(ahead->texture, TerrainTexture::Block);
    EXPECT_EQ(ahead->texCoordSet, 1);
    EXPECT_EQ(itemFor(plan, 0, 3), nullptr);
    // The pointer in the middle picks the ground at the target; the cursor stands there.
    EXPECT_GE(view.picker().m_cursorBlock, 0);
    EXPECT_TRUE(plan.cursorModel.visible);
    EXPECT_FALSE(plan.brushSphere.visible) << "not in land-editor mode";
    EXPECT_EQ(view.picker().m_brushCentre.y, 10.0f);
    EXPECT_FALSE(view.mesh().lodDirty());

    FrameInput edit = pointerAt(400, 300);
    edit.editorMode = true;
    EXPECT_TRUE(view.frame(land, edit).brushSphere.visible);
    view.setShowBrushSphere(false);
    EXPECT_FALSE(view.frame(land, edit).brushSphere.visible);

    // While a box holds the pick the picker keeps it for the command the box confirms, even
    // with the pointer elsewhere, and the frame shows nothing under the pointer.
    const int picked = view.picker().m_cursorBlock;
    const glm::vec3 hit = view.picker().m_hitPoint;
    FrameInput held = pointerAt(5, 5);
    held.holdPick = true;
    held.editorMode = true;
    view.setShowBrushSphere(true);
    const FramePlan heldPlan = view.frame(land, held);
    EXPECT_EQ(view.picker().m_cursorBlock, picked);
    EXPECT_EQ(view.picker().m_hitPoint, hit);
    EXPECT_FALSE(heldPlan.cursorModel.visible);
    EXPECT_FALSE(heldPlan.brushSphere.visible);
    held.holdPick = false;
    view.frame(land, held);
    EXPECT_NE(view.picker().m_hitPoint, hit) << "released, the pick follows the pointer again";
}

TEST_F(ViewFixture, FailedSynthesisIsReportedOnceAndFallsBackToTheLowResolutionTexture) {
    failSynthesis = true;
    view.mesh().setForcedLod(3);   // everything in view at full detail
    std::vector<std::string> notices = view.frame(land, pointerAt(400, 300)).notices;
    const FramePlan plan = view.frame(land, pointerAt(400, 300));
    notices.insert(notices.end(), plan.notices.begin(), plan.notices.end());
    const TerrainDrawItem* a = itemFor(plan, 5, 3);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->texture, TerrainTexture::LoRes);
    EXPECT_EQ(a->loResIndex, 0);
    EXPECT_EQ(a->texCoordSet, 0);
    const TerrainDrawItem* noLoRes = itemFor(plan, 4, 3);   // names texture 5 of 1
    ASSERT_NE(noLoRes, nullptr);
    EXPECT_EQ(noLoRes->texture, TerrainTexture::Unchanged);
    EXPECT_EQ(noLoRes->texCoordSet, -1);

    const int n = a->block;
    EXPECT_EQ(synthCalls[n], 1) << "not retried every frame";
    // The view shows nothing itself: the plan carries the texts for the shell's plain boxes.
    EXPECT_EQ(messages.count(), 0u);
    ASSERT_GE(notices.size(), 1u);
    std::size_t reports = 0;
    for (const auto& t : notices) reports += t == "ERROR IN LOADING TEXTURE, error =no materials";
    EXPECT_EQ(reports, notices.size());
    EXPECT_EQ(reports, plan.terrain.size()) << "one report per block";

    failSynthesis = false;
    view.forgetTextureFailure(n);
    view.mesh().markLodDirty();
    EXPECT_EQ(itemFor(view.frame(land, pointerAt(400, 300)), 5, 3)->texture, TerrainTexture::Block);
    EXPECT_EQ(synthCalls[n], 2);
}

TEST_F(ViewFixture, BlocksWithoutMeshesAreNeitherDrawnNorTexturedNorPicked) {
    view.frame(land, pointerAt(400, 300));
    const int picked = view.picker().m_cursorBlock;
    ASSERT_GE(picked, 0);
    view.mesh().ReleaseBlockMeshes(picked);
    synthCalls.clear();
    land.textures().blocks().release(std::size_t(picked));
    view.mesh().markLodDirty();
    const FramePlan plan = view.frame(land, pointerAt(400, 300));
    for (const auto& it : plan.terrain) EXPECT_NE(it.block, picked);
    EXPECT_EQ(synthCalls.count(picked), 0u);
    EXPECT_NE(view.picker().m_cursorBlock, picked);
}

TEST_F(ViewFixture, KeysMoveTheCameraAndWireframeRecomputesTheMaps) {
    view.frame(land, pointerAt(400, 300));
    view.keys().codes[std::size_t(KeyAction::Forward)] = 0x57;
    FrameInput in = pointerAt(400, 300);
    in.keyDown = [](int code) { return code == 0x57; };
    const float x = view.camera().m_eye.x;
    view.frame(land, in);
    EXPECT_NEAR(view.camera().m_eye.x, x + 1.0f, 1e-4f);
    EXPECT_FALSE(view.mesh().lodDirty()) << "consumed by the same frame";
    view.setWireframe(true);
    EXPECT_TRUE(view.mesh().lodDirty());
    EXPECT_EQ(view.frame(land, in).fill, FillMode::Wireframe);
}

TEST_F(ViewFixture, StatusLinesAndNoLand) {
    land.setDebug(true);
    FrameInput in = pointerAt(400, 300);
    in.frameStats = "30.00 fps";
    view.setStatusError("Bad file");
    FramePlan plan = view.frame(land, in);
    ASSERT_EQ(plan.status.size(), 3u);
    EXPECT_EQ(plan.status[0].text.rfind("30.00 fps  coords in script = \"", 0), 0u);
    EXPECT_EQ(plan.status[2].text, "Bad file");
    EXPECT_EQ(view.frame(land, in).status.size(), 2u);

    land.setDebug(false);
    land.setLoaded(false);
    view.picker().m_hitPoint = kNoHit;
    plan = view.frame(land, in);
    EXPECT_FALSE(plan.landShown);
    EXPECT_TRUE(plan.terrain.empty());
    ASSERT_EQ(plan.status.size(), 1u);
    EXPECT_EQ(plan.status[0].text, "") << "statistics only in debug mode";
}

TEST_F(ViewFixture, SettingsGiveTheKeysTheAspectAndTheForcedLevel) {
    lndtest::TempDir dir;
    const std::string path = dir.file("Vostrel.settings.xml");
    lndtest::writeBytes(path, [] {
        const std::string xml =
            "<settings><renderEngine><aspectRatio>2</aspectRatio><setLOD>2</setLOD>"
            "<cursorModel scale=\"10\">cursor.x</cursorModel></renderEngine>"
            "<keys><forward>w</forward><backward>s</backward><left>a</left><right>d</right>"
            "<rotateLeft>q</rotateLeft><rotateRight>e</rotateRight><up>r</up><down>F</down>"
            "<brushadd>t</brushadd><brushsub>g</brushsub></keys></settings>";
        return std::vector<std::uint8_t>(xml.begin(), xml.end());
    }());
    RecordingMessages settingsMessages;
    CSettings settings(settingsMessages, path);
    ASSERT_TRUE(settings.fileLoaded());
    view.readKeyTable(settings);
    EXPECT_EQ(view.keys().codes[std::size_t(KeyAction::Forward)], 0x57);
    EXPECT_EQ(view.keys().codes[std::size_t(KeyAction::Down)], 0x146);
    view.onLandOpened(land, &settings);
    EXPECT_EQ(view.camera().m_aspectRatio, 2.0f);
    const FramePlan plan = view.frame(land, pointerAt(400, 300));
    EXPECT_EQ(plan.projection, matrixPerspectiveFovLH(0.7853982f, 2.0f, 15.0f, 6000.0f));
    ASSERT_FALSE(plan.terrain.empty());
    for (const auto& it : plan.terrain) {
        EXPECT_EQ(it.lod, LodMedium);
        EXPECT_EQ(it.mesh, view.mesh().mesh(it.block, MeshLevel::Medium));
    }
    // Nothing is at full detail, so nothing is picked and no cursor is drawn.
    EXPECT_EQ(view.picker().m_cursorBlock, -1);
    EXPECT_FALSE(plan.cursorModel.visible);
    EXPECT_TRUE(synthCalls.empty());
}

TEST_F(ViewFixture, FinalCleanUpReleasesEverythingAndAsksNothing) {
    // The shell asks about unsaved edits; the view only lets go, modified land or not.
    for (const bool modified : {false, true}) {
        SCOPED_TRACE(modified);
        view.restoreDeviceObjects(land);
        view.frame(land, pointerAt(400, 300));
        land.setModified(modified);
        land.setClosing(false);
        view.finalCleanup(land);
        EXPECT_EQ(messages.count(), 0u);
        EXPECT_FALSE(view.mesh().meshTablesExist());
        EXPECT_FALSE(land.textures().blocks().exists());
        EXPECT_FALSE(land.textures().loRes().exists());
        EXPECT_EQ(land.modified(), modified);
        EXPECT_FALSE(land.closing());
    }
}

TEST_F(ViewFixture, AKeptPlanReusesItsStorageAndMatchesAFreshOne) {
    FramePlan kept;
    view.frame(land, pointerAt(400, 300), kept);
    ASSERT_FALSE(kept.terrain.empty());
    ASSERT_FALSE(kept.status.empty());
    const TerrainDrawItem* terrainStorage = kept.terrain.data();
    const char* statusStorage = kept.status[0].text.data();
    for (int i = 0; i < 5; ++i) view.frame(land, pointerAt(400, 300), kept);
    EXPECT_EQ(kept.terrain.data(), terrainStorage);
    EXPECT_EQ(kept.status[0].text.data(), statusStorage);

    const FramePlan fresh = view.frame(land, pointerAt(400, 300));
    ASSERT_EQ(fresh.terrain.size(), kept.terrain.size());
    for (std::size_t i = 0; i < fresh.terrain.size(); ++i) EXPECT_EQ(fresh.terrain[i].block, kept.terrain[i].block);
    ASSERT_EQ(fresh.status.size(), kept.status.size());
    EXPECT_EQ(fresh.status[0].text, kept.status[0].text);
}
