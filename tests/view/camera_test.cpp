#include "view/camera.h"

#include "support/editor_land.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace lnd;
using lndtest::EditorLand;
constexpr auto kAsRead = EditorLand::State::AsRead;

namespace {

// A land of 3 x 3 blocks around square (5, 5); the centre block is a plateau at `height`,
// the others sea level.
lndtest::LandBuilder hillLand(int height) {
    lndtest::LandBuilder b;
    for (int x = 4; x <= 6; ++x)
        for (int z = 4; z <= 6; ++z)
            b.block(x, z, [=](TLndBlock& blk) {
                for (auto& row : blk.Cells)
                    for (auto& c : row) c.Altitude = std::uint8_t(x == 5 && z == 5 ? height : 0);
            });
    return b;
}

AltitudeLookup lookupOf(EditorLand& land) {
    return [&land](float x, float z) { return AltitudeAt(&land.header(), land.blocks(), x, z); };
}

LandBounds boundsOf(float minX, float maxX, float minZ, float maxZ) {
    LandBounds b;
    b.minX = minX;
    b.maxX = maxX;
    b.minZ = minZ;
    b.maxZ = maxZ;
    b.minY = 1;
    b.maxY = 1;
    return b;
}

}  // namespace

TEST(AltitudeLookup, CellsEmptySquaresAndPositionsOffTheGrid) {
    EditorLand land(lndtest::LandBuilder().block(0, 0).block(2, 3), kAsRead);
    const auto alt = lookupOf(land);
    // Cell (i, j) of the block on square (2, 3) spans x 320 + 10i .. +10, z 480 + 10j .. +10.
    EXPECT_EQ(alt(320.0f + 10 * 4 + 9.9f, 480.0f + 10 * 7 + 0.5f), float(lndtest::LandBuilder::altitudeAt(2, 3, 4, 7)));
    EXPECT_EQ(alt(479.9f, 639.9f), float(lndtest::LandBuilder::altitudeAt(2, 3, 15, 15)));
    EXPECT_EQ(alt(5.0f, 5.0f), float(lndtest::LandBuilder::altitudeAt(0, 0, 0, 0)));
    EXPECT_EQ(alt(170.0f, 5.0f), 0.0f);                // sea square (1, 0)
    EXPECT_EQ(alt(32 * 160.0f + 1.0f, 5.0f), 0.0f);    // beyond the grid
    EXPECT_EQ(alt(5.0f, 1.0e30f), 0.0f);
    EXPECT_EQ(alt(std::nanf(""), 5.0f), 0.0f);
    // Just below zero would truncate to square 0 and a negative cell index.
    EXPECT_EQ(alt(-5.0f, 5.0f), 0.0f);
    EXPECT_EQ(alt(5.0f, -159.0f), 0.0f);
    CLand none;   // nothing loaded
    EXPECT_EQ(AltitudeAt(none, 5.0f, 5.0f), 0.0f);
}

TEST(Camera, HomeViewOverSeaAndOverAHill) {
    EditorLand sea(hillLand(0), kAsRead);
    CCamera cam;
    CViewNavigator nav;
    nav.m_forward = 7.0f;
    nav.m_rotation = 1.0f;
    EXPECT_TRUE(cam.HomeView(boundsOf(640, 1120, 640, 1120), lookupOf(sea), nav));
    EXPECT_EQ(cam.m_eye, glm::vec3(880.0f, 150.0f, 880.0f));
    EXPECT_EQ(cam.m_targetDistance, 450);
    EXPECT_NEAR(cam.m_target.x, 880.0f + 450.0f, 1e-3f);   // along +x
    EXPECT_NEAR(cam.m_target.z, 880.0f, 1e-3f);
    EXPECT_EQ(nav.m_forward + nav.m_rotation, 0.0f);

    EditorLand hill(hillLand(100), kAsRead);
    cam.HomeView(boundsOf(640, 1120, 640, 1120), lookupOf(hill), nav);
    EXPECT_EQ(cam.m_eye.y, 200.0f);
    EXPECT_EQ(cam.m_targetDistance, 600);
    EXPECT_EQ(cam.m_view, matrixLookAtLH(cam.m_eye, cam.m_target, {0, 1, 0}));
    EXPECT_EQ(cam.m_projection, matrixPerspectiveFovLH(0.7853982f, 1.35f, 15.0f, 6000.0f));
}

TEST(Camera, MovingKeepsClearanceAndTheTargetFollowsTheGroundByASeventh) {
    EditorLand hill(hillLand(200), kAsRead);
    const auto alt = lookupOf(hill);
    CCamera cam;
    CViewNavigator nav;
    cam.HomeView(boundsOf(0, 1600, 0, 1600), alt, nav);   // eye at (800, 150, 800): on the hill
    EXPECT_EQ(cam.m_eye.y, 400.0f);
    // Hold "down" for a long time: the eye stops 40 above the hill.
    for (int k = 0; k < 500; ++k) {
        nav.m_vertical -= 1.0f;
        cam.UpdateCamera(nav, alt);
        ASSERT_GE(cam.m_eye.y, alt(cam.m_eye.x, cam.m_eye.z) + 40.0f);
    }
    EXPECT_EQ(cam.m_eye.y, 240.0f);

    // Target over sea (height 0 at x = 800 + 1200): one step forward leaves 6/7 of its height.
    const float before = cam.m_target.y = 70.0f;
    nav.m_forward = -1.0f;   // the forward key
    const glm::vec3 eye = cam.m_eye;
    EXPECT_TRUE(cam.UpdateCamera(nav, alt));
    EXPECT_NEAR(cam.m_eye.x, eye.x + 1.0f, 1e-4f);
    EXPECT_NEAR(cam.m_target.y, before * 6.0f / 7.0f, 1e-4f);
    EXPECT_FALSE(cam.UpdateCamera(nav, alt)) << "nothing accumulated";

    // Left when looking along +x is +z.
    nav.m_strafe = 1.0f;
    const float z = cam.m_eye.z;
    cam.UpdateCamera(nav, alt);
    EXPECT_NEAR(cam.m_eye.z, z + 1.0f, 1e-4f);
    EXPECT_EQ(nav.m_strafe, 0.0f);
}

TEST(Camera, HeadingWrapsAtAFullTurnAndMatricesFollowTheAspect) {
    EditorLand sea(hillLand(0), kAsRead);
    const auto alt = lookupOf(sea);
    CCamera cam;
    CViewNavigator nav;
    cam.m_aspectRatio = 2.0f;
    cam.HomeView(boundsOf(640, 1120, 640, 1120), alt, nav);
    cam.m_heading = 6.27f;
    nav.m_rotation = 0.016666668f;
    EXPECT_TRUE(cam.UpdateCamera(nav, alt));
    EXPECT_EQ(cam.m_heading, 0.0f);
    EXPECT_NEAR(cam.m_target.z, cam.m_eye.z + 450.0f, 1e-3f);   // heading 0 looks along +z
    nav.m_rotation = -0.016666668f;
    cam.UpdateCamera(nav, alt);
    EXPECT_EQ(cam.m_heading, CCamera::kFullTurn);
    EXPECT_EQ(cam.m_projection, matrixPerspectiveFovLH(0.7853982f, 2.0f, 15.0f, 6000.0f));

    int row = 0, column = 0;
    cam.m_eye = {-10.0f, 0.0f, 330.0f};
    cam.cameraSquare(row, column);
    EXPECT_EQ(row, 0);   // truncation toward zero
    EXPECT_EQ(column, 2);
}

TEST(Keys, BindingsInOrderShiftedCharactersNeverTriggerAndBrushKeysReport) {
    std::array<std::optional<char>, kKeyActionCount> bind{'s', 'w', 'a', 'd', 'e', 'q', 'r', 'F', '+', '-'};
    bind[2].reset();   // an empty setting leaves "left" without a key
    const KeyTable table = keyTableFromBindings(bind);
    EXPECT_EQ(table.codes[0], 0x53);
    EXPECT_EQ(table.codes[2], 0);
    EXPECT_EQ(table.codes[7], 0x146);
    EXPECT_EQ(table.codes[8], 0x1BB);
    EXPECT_EQ(table.codes[9], 0xBD);
    EXPECT_EQ(virtualKeyForChar('7'), 0x37);
    EXPECT_EQ(virtualKeyForChar('\x01'), 0);

    std::set<int> held;
    const KeyDownQuery down = [&](int code) { return held.count(code) != 0; };
    CViewNavigator nav;
    held = {0x57, 0x45, 0x52, 0x46, 0x146, 0x141, 0xBD};   // w, e, r, f and shifted codes
    const BrushKeys brush = pollKeys(table, down, nav);
    EXPECT_EQ(nav.m_forward, -1.0f);
    EXPECT_EQ(nav.m_rotation, 0.016666668f);
    EXPECT_EQ(nav.m_vertical, 1.0f);     // "down" is 'F', which needs Shift: never polled
    EXPECT_EQ(nav.m_strafe, 0.0f);
    EXPECT_FALSE(brush.add);             // '+' needs Shift
    EXPECT_TRUE(brush.sub);
    held = {0x53, 0x44, 0x51};
    pollKeys(table, down, nav);
    EXPECT_EQ(nav.m_forward, 0.0f);
    EXPECT_EQ(nav.m_strafe, -1.0f);
    EXPECT_EQ(nav.m_rotation, 0.0f);
}

TEST(MouseNavigation, ZonesAndWhatADragInEachDoes) {
    CViewNavigator nav;
    nav.setClientRect(0, 0, 800, 600);
    EXPECT_EQ(nav.zoneAt(10, 10), 3);     // left wins over top
    EXPECT_EQ(nav.zoneAt(740, 300), 0);   // the right band is twice the border wide
    EXPECT_EQ(nav.zoneAt(400, 590), 2);

    // 40 pixels from the left edge moves; dragging right strafes, down goes forward.
    nav.onLeftButtonDown(40, 300);
    EXPECT_TRUE(nav.m_dragging);
    EXPECT_TRUE(nav.m_captured);
    nav.onMouseMove(50, 320);
    EXPECT_EQ(nav.m_strafe, 10.0f);
    EXPECT_EQ(nav.m_forward, -20.0f);
    nav.onLeftButtonUp(50, 320);
    EXPECT_FALSE(nav.m_captured);

    // 40 pixels from the right edge rotates, and keeps rotating when it leaves the band.
    nav.clearAccumulators();
    nav.onLeftButtonDown(760, 300);
    EXPECT_EQ(nav.cursorResource(), 133);
    nav.onMouseMove(400, 310);
    EXPECT_FLOAT_EQ(nav.m_rotation, 0.003f * (-360 + 10));
    EXPECT_EQ(nav.m_strafe, 0.0f);
    // Leaving the view ends the drag.
    nav.onMouseMove(900, 310);
    EXPECT_FALSE(nav.m_dragging);
    EXPECT_EQ(nav.m_lastX, 799);

    // Top edge: dragging down raises the eye.
    nav.clearAccumulators();
    nav.onLeftButtonDown(400, 10);
    nav.onMouseMove(400, 25);
    EXPECT_EQ(nav.m_vertical, 15.0f);
    nav.onLeftButtonUp(400, 25);
    // A press outside the view acts as a release.
    nav.onLeftButtonDown(-5, 300);
    EXPECT_FALSE(nav.m_dragging);
}

TEST(StatusText, LinesVerbatim) {
    CCamera cam;
    cam.m_heading = 1.5707964f;
    cam.m_eye = {880, 150, 880.5f};
    cam.m_target = {1330, 0, 880};
    std::string error = "bad block";
    auto lines = statusLines("", {-1, -1, -1}, false, cam, -1, error);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "");
    EXPECT_EQ(error, "bad block");
    lines = statusLines("", {0.0f, 12, 30}, false, cam, 3, error);
    EXPECT_EQ(lines[0].text, "") << "x = 0 is not reported";

    lines = statusLines("60 fps", {123.456f, 17.6f, 2000.0f}, true, cam, 3, error);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "60 fps  coords in script = \"123.46,2000.00\" Altitude is   18");
    EXPECT_EQ(lines[0].colour, 0xFFFFFF00u);
    EXPECT_EQ(lines[1].y, 22);
    EXPECT_EQ(lines[1].text, "A=90.00,FX=880.00,FY=150.00,FZ=880.50,AX=1330.00,AY=0.00,AZ=880.00,CB=3");
    EXPECT_EQ(lines[2].text, "bad block");
    EXPECT_EQ(lines[2].colour, 0xFFFF0000u);
    EXPECT_EQ(lines[2].y, 42);
    EXPECT_EQ(error, "");
    EXPECT_EQ(statusLines("", {1, 1, 1}, true, cam, 3, error).size(), 2u);
}
