#include "base/messages.h"
#include "base/settings.h"
#include "codec/brush_bitmap.h"
#include "land/land_settings.h"
#include "view/view_settings.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lnd;

// The tests run from the repository root, which is where a new user starts the editor.
TEST(ShippedSettings, LoadsCleanlyWithWorkingDefaults) {
    RecordingMessages messages;
    CSettings settings(messages, loadBrushBitmap);
    EXPECT_EQ(settings.path(), (std::filesystem::current_path() / "Vostrel.settings.xml").string());
    ASSERT_TRUE(settings.fileLoaded());
    EXPECT_EQ(messages.count(), 0u) << messages.texts().front();

    const SeaParms sea = readSeaParms(settings);
    const SeaParms defaults;
    EXPECT_EQ(sea.alphaCoast, defaults.alphaCoast);
    EXPECT_EQ(sea.alphaWater, defaults.alphaWater);
    EXPECT_EQ(sea.alphaFullWater, defaults.alphaFullWater);
    EXPECT_EQ(sea.altitudeWater, defaults.altitudeWater);
    EXPECT_EQ(sea.altitudeFullWater, defaults.altitudeFullWater);
    EXPECT_EQ(sea.altitudeCoast, defaults.altitudeCoast);
    EXPECT_FALSE(readDebugSetting(settings));
    EXPECT_EQ(readLodTestSetting(settings), 0);
    EXPECT_DOUBLE_EQ(readAspectRatioSetting(settings), 1.35);
    EXPECT_DOUBLE_EQ(readCursorScaleSetting(settings), 6.0);

    // Every key bound, no two alike.
    const auto keys = readKeyBindings(settings);
    for (int a = 0; a < kKeyActionCount; ++a) {
        ASSERT_TRUE(keys[a].has_value()) << kKeyPaths[a];
        for (int b = 0; b < a; ++b) EXPECT_NE(*keys[a], *keys[b]) << kKeyPaths[a];
    }

    const std::string root = settings.GetValue("exportRoot");
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(root.back(), '/');
    for (const char* name : {"exportLores", "exportMaterials", "exportBumpmap", "exportNoisemap"})
        EXPECT_FALSE(settings.GetValue(name).empty()) << name;

    const std::string media = settings.GetValue("mediaDir");
    ASSERT_FALSE(media.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(media + "/" + settings.GetValue("cursorModel")));

    ASSERT_GE(settings.brushes().size(), 4u);
    for (const CBrushDef& b : settings.brushes()) {
        EXPECT_FALSE(b.name.empty());
        EXPECT_FALSE(b.tip.empty()) << b.name;
        EXPECT_FALSE(b.bitmap.empty()) << b.bmp;
        float top = 0.0f;
        for (float v : b.params) top = std::max(top, v);
        EXPECT_GE(top, 1.0f) << b.name << " would never raise the land";
    }
}
