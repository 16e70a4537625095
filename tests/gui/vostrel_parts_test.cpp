// The window-side pieces of Vostrel that run without a display: the key-state table the
// view polls and the tile range of low-resolution sampling.
#include "vostrel/key_state.h"
#include "d3dframework/host/gl_renderer.h"
#include "view/camera.h"

#include <gtest/gtest.h>

#include <Qt>

#include <cmath>

namespace {

using lnd::KeyStateTable;
using lnd::virtualKeyForEvent;

TEST(KeyState, KeysAreTrackedByThePhysicalKeyWhateverTheShiftState) {
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_W, U'w'), 0x57);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_W, U'W'), 0x57);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_W, U'\x17'), 0x57);   // with Ctrl
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_5, U'5'), 0x35);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_Percent, U'%'), 0x35);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_Comma, U','), 0xBC);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_Less, U'<'), 0xBC);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_Space, U' '), 0x20);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_F5, U'\0'), 0);
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_Eacute, U'\u00e9'), 0);
    // What the key table expects for a lower-case setting is exactly what a press gives.
    EXPECT_EQ(virtualKeyForEvent(Qt::Key_Q, U'q'), lnd::virtualKeyForChar('q'));
}

TEST(KeyState, ReleaseMatchesThePressRepeatsAndSharedCodesCount) {
    KeyStateTable keys;
    keys.press(Qt::Key_Comma, U',');
    EXPECT_TRUE(keys.isDown(0xBC));
    keys.press(Qt::Key_Comma, U',');   // auto-repeat: still one press
    // Shift went down meanwhile: the release reports another key number for the same key.
    keys.press(Qt::Key_Less, U'<');
    keys.release(Qt::Key_Comma);
    EXPECT_TRUE(keys.isDown(0xBC)) << "the other press of the key still holds it";
    keys.release(Qt::Key_Less);
    EXPECT_FALSE(keys.isDown(0xBC));
    keys.release(Qt::Key_Less);   // a release without a press changes nothing
    EXPECT_FALSE(keys.isDown(0xBC));

    keys.press(Qt::Key_A, U'a');
    keys.press(Qt::Key_D, U'd');
    keys.clear();
    EXPECT_FALSE(keys.isDown(0x41));
    EXPECT_FALSE(keys.isDown(0x44));
    keys.press(Qt::Key_A, U'a');   // after a clear a new press counts again
    EXPECT_TRUE(keys.isDown(0x41));
    EXPECT_FALSE(keys.isDown(0));
    EXPECT_FALSE(keys.isDown(0x141)) << "codes with the shift byte are never down";
    EXPECT_FALSE(keys.isDown(-1));
}

TEST(KeyState, PollingMovesTheNavigatorOnlyForHeldBoundKeys) {
    KeyStateTable keys;
    lnd::KeyTable table;
    table.codes[std::size_t(lnd::KeyAction::Forward)] = lnd::virtualKeyForChar('w');
    table.codes[std::size_t(lnd::KeyAction::BrushAdd)] = lnd::virtualKeyForChar('+');   // needs Shift
    lnd::CViewNavigator nav;
    const lnd::KeyDownQuery down = [&keys](int vk) { return keys.isDown(vk); };
    keys.press(Qt::Key_W, U'W');   // Caps Lock or Shift: still the same key
    keys.press(Qt::Key_Plus, U'+');
    const lnd::BrushKeys brush = lnd::pollKeys(table, down, nav);
    EXPECT_FLOAT_EQ(nav.m_forward, -1.0f);
    EXPECT_FALSE(brush.add);
}

TEST(TileClamp, SamplesStayOnTheTexelCentresOfTheTile) {
    const glm::vec4 c = lnd::tileTexClamp(64, 128, 64, 64, 256, 256);
    EXPECT_FLOAT_EQ(c.x, 64.5f / 256.0f);
    EXPECT_FLOAT_EQ(c.y, 128.5f / 256.0f);
    EXPECT_FLOAT_EQ(c.z, 127.5f / 256.0f);
    EXPECT_FLOAT_EQ(c.w, 191.5f / 256.0f);
    // A degenerate texture size does not divide by zero.
    const glm::vec4 d = lnd::tileTexClamp(0, 0, 64, 64, 0, 0);
    EXPECT_TRUE(std::isfinite(d.x) && std::isfinite(d.z));
}

}  // namespace
