#include "codec/brush_bitmap.h"
#include "base/messages.h"
#include "base/settings.h"
#include "land/land_settings.h"
#include "view/view_settings.h"
#include "codec/bmp_writer.h"
#include "codec/image.h"

#include "support/land_builder.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace lnd;

namespace {

const char* kFullSettings = R"(<?xml version="1.0"?>
<settings>
  <mediaDirectory>./media</mediaDirectory>
  <renderEngine>
    <debug>yes</debug>
    <aspectRatio>1.6</aspectRatio>
    <setLOD>2</setLOD>
    <wireframe>no</wireframe>
    <cursorModel scale="4.5">
      cursor.x
    </cursorModel>
    <videocard debug="on"/>
    <seaParms alphaCoast="300" alphaWater="20" alphaFullWater="-1" altitudeWater=" 2"
              altitudeFullWater="x" altitudeCoast="7"/>
  </renderEngine>
  <exports rootDirectory="./exports/">
    <loresTextures subdirectory="lores"/>
    <materials subdirectory="materials"/>
    <bumpMap subdirectory="bump"/>
    <noiseMap subdirectory="noise"/>
  </exports>
  <keys>
    <forward>wq</forward>
    <backward>s</backward>
    <left>a</left>
    <right>d</right>
    <rotateLeft>q</rotateLeft>
    <rotateRight>e</rotateRight>
    <up>r</up>
    <brushadd>+</brushadd>
    <brushsub>-</brushsub>
  </keys>
  <landEdit>
    <brushes>
      <brush bmp="round.bmp" name="Round" tip="A round hill">0.5</brush>
      <brush bmp="two.bmp" name="Two" tip="">  1  2  </brush>
      <brush bmp="three.bmp" name="Three" tip="t">1 2 3</brush>
      <brush bmp="none.bmp" name="Empty" tip=""></brush>
    </brushes>
  </landEdit>
</settings>
)";

struct SettingsFile {
    lndtest::TempDir dir;
    std::string path;

    explicit SettingsFile(const std::string& text) : path(dir.file("Vostrel.settings.xml")) {
        std::ofstream(path, std::ios::binary) << text;
    }
};

// Records the paths asked for and gives every brush a one-pixel picture.
struct LoaderSpy {
    std::vector<std::string> paths;
    BrushBitmapLoader loader() {
        return [this](const std::string& p) {
            paths.push_back(p);
            const std::uint8_t px[4] = {255, 1, 2, 3};
            return scaleToBrushBitmap(1, 1, px);
        };
    }
};

}  // namespace

TEST(Settings, MissingFileGivesOneMessageAndEveryDefault) {
    lndtest::TempDir dir;
    const std::string path = dir.file("Vostrel.settings.xml");
    RecordingMessages messages;
    CSettings settings(messages, path);

    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.entries()[0].kind, RecordingMessages::Kind::Error);
    EXPECT_EQ(messages.entries()[0].text,
              "Error Loading the file " + path +
                  " please verify that the file exists and the syntax is ok by loadign the file "
                  "with IE");
    EXPECT_FALSE(settings.fileLoaded());

    EXPECT_DOUBLE_EQ(readAspectRatioSetting(settings), 1.35);
    EXPECT_DOUBLE_EQ(readCursorScaleSetting(settings), 6.0);
    const SeaParms sea = readSeaParms(settings);
    EXPECT_EQ(sea.alphaCoast, 128);
    EXPECT_EQ(sea.alphaWater, 15);
    EXPECT_EQ(sea.alphaFullWater, 0);
    EXPECT_EQ(sea.altitudeWater, 0);
    EXPECT_EQ(sea.altitudeFullWater, 1);
    EXPECT_EQ(sea.altitudeCoast, 3);
    for (const auto& key : readKeyBindings(settings)) EXPECT_FALSE(key.has_value());
    EXPECT_TRUE(settings.brushes().empty());
    EXPECT_FALSE(readDebugSetting(settings));
    EXPECT_EQ(readLodTestSetting(settings), 0);
    EXPECT_EQ(settings.GetValue("exportRoot"), "");
    EXPECT_EQ(settings.SelectNodes("/settings/landEdit/brushes/brush"), 0);
    EXPECT_EQ(settings.NextNode(), -1);
    EXPECT_EQ(messages.count(), 1u);  // nothing more is reported by the readers
}

TEST(Settings, MalformedFileKeepsNoValuesAtAll) {
    // The first elements parse before the error; none of them may leak through.
    SettingsFile file("<settings><mediaDirectory>m</mediaDirectory><renderEngine><debug>yes"
                      "</renderEngine></settings>");
    RecordingMessages messages;
    CSettings settings(messages, file.path);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.texts()[0].rfind("Error Loading the file " + file.path + " please", 0), 0u);
    EXPECT_EQ(settings.GetValue("mediaDir"), "");
    EXPECT_EQ(settings.GetValue("/settings/mediaDirectory"), "");
    EXPECT_FALSE(readDebugSetting(settings));
}

TEST(Settings, ShortNamesAbsolutePathsAndRelativeExpressions) {
    SettingsFile file(kFullSettings);
    RecordingMessages messages;
    LoaderSpy spy;
    CSettings settings(messages, file.path, spy.loader());
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_TRUE(settings.fileLoaded());

    EXPECT_EQ(settings.GetValue("exportRoot"), "./exports/");
    EXPECT_EQ(settings.GetValue("/settings/exports/@rootDirectory"), "./exports/");
    EXPECT_EQ(settings.GetValue("exportMaterials"), "materials");
    EXPECT_EQ(settings.GetValue("exportLores"), "lores");
    EXPECT_EQ(settings.GetValue("exportBumpmap"), "bump");
    EXPECT_EQ(settings.GetValue("exportNoisemap"), "noise");
    EXPECT_EQ(settings.GetValue("mediaDir"), "./media");
    // Element text loses the indentation around it.
    EXPECT_EQ(settings.GetValue("cursorModel"), "cursor.x");
    EXPECT_EQ(settings.GetValue("//settings/renderEngine/seaParms/@alphaWater"), "20");
    // Not in the name table and no leading "/": evaluated as an XPath relative to the document.
    EXPECT_EQ(settings.GetValue("settings/mediaDirectory"), "./media");
    EXPECT_EQ(settings.GetValue("noSuchSetting"), "");
    // An expression the XPath engine refuses reads as empty, silently.
    EXPECT_EQ(settings.GetValue("/settings/[["), "");
    EXPECT_EQ(settings.SelectNodes("//[["), 0);
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(settings.xpathFor("rotateR"), "/settings/keys/rotateRight");
    EXPECT_EQ(settings.xpathFor(""), "");
}

TEST(Settings, TypedReadersApplyTheirConversions) {
    SettingsFile file(kFullSettings);
    RecordingMessages messages;
    LoaderSpy spy;
    CSettings settings(messages, file.path, spy.loader());

    EXPECT_TRUE(readDebugSetting(settings));
    EXPECT_TRUE(readDebugVideoSetting(settings));
    EXPECT_EQ(readLodTestSetting(settings), 2);
    EXPECT_DOUBLE_EQ(readAspectRatioSetting(settings), 1.6);
    EXPECT_DOUBLE_EQ(readCursorScaleSetting(settings), 4.5);

    const SeaParms sea = readSeaParms(settings);
    EXPECT_EQ(sea.alphaCoast, 44);        // 300 keeps its lowest 8 bits
    EXPECT_EQ(sea.alphaWater, 20);
    EXPECT_EQ(sea.alphaFullWater, 255);   // -1
    EXPECT_EQ(sea.altitudeWater, 2);      // leading white space skipped
    EXPECT_EQ(sea.altitudeFullWater, 0);  // present but not a number: 0, not the default
    EXPECT_EQ(sea.altitudeCoast, 7);
}

TEST(Settings, ExactTextsSwitchDebugLodAndAspectRatio) {
    struct Case {
        const char* debug;
        const char* lod;
        const char* aspect;
        bool debugOn;
        int lodValue;
        double ratio;
        double scale;   // the aspect text read as the cursor scale
    };
    for (const Case c : {Case{"Yes", "4", "0", false, 0, 1.35, 0.0}, Case{"1", "3 ", "abc", false, 3, 1.35, 0.0},
                         Case{"yes", "1", " 2.5x", true, 1, 2.5, 2.5}, Case{"no", "0", "nan", false, 0, 1.35, 6.0},
                         Case{"no", "0", "-inf", false, 0, 1.35, 6.0}, Case{"no", "0", "INF", false, 0, 1.35, 6.0}}) {
        // The aspect text doubles as the cursor scale: a non-finite one falls back to 6.
        SettingsFile file(std::string("<settings><renderEngine><debug>") + c.debug +
                          "</debug><setLOD>" + c.lod + "</setLOD><aspectRatio>" + c.aspect +
                          "</aspectRatio><cursorModel scale=\"" + c.aspect +
                          "\"/></renderEngine></settings>");
        RecordingMessages messages;
        CSettings settings(messages, file.path);
        EXPECT_EQ(readDebugSetting(settings), c.debugOn) << c.debug;
        EXPECT_DOUBLE_EQ(readAspectRatioSetting(settings), c.ratio) << c.aspect;
        EXPECT_DOUBLE_EQ(readCursorScaleSetting(settings), c.scale) << c.aspect;
        // "3 " is trimmed as element text, so it forces level 3.
        EXPECT_EQ(readLodTestSetting(settings), c.lodValue) << c.lod;
    }
}

TEST(Settings, KeyBindingsTakeTheFirstCharacterInTheirFixedOrder) {
    SettingsFile file(kFullSettings);
    RecordingMessages messages;
    LoaderSpy spy;
    CSettings settings(messages, file.path, spy.loader());
    const auto keys = readKeyBindings(settings);
    EXPECT_EQ(keys[int(KeyAction::Backward)], 's');
    EXPECT_EQ(keys[int(KeyAction::Forward)], 'w');  // "wq"
    EXPECT_EQ(keys[int(KeyAction::Left)], 'a');
    EXPECT_EQ(keys[int(KeyAction::Right)], 'd');
    EXPECT_EQ(keys[int(KeyAction::RotateRight)], 'e');
    EXPECT_EQ(keys[int(KeyAction::RotateLeft)], 'q');
    EXPECT_EQ(keys[int(KeyAction::Up)], 'r');
    EXPECT_FALSE(keys[int(KeyAction::Down)].has_value());
    EXPECT_EQ(keys[int(KeyAction::BrushAdd)], '+');
    EXPECT_EQ(keys[int(KeyAction::BrushSub)], '-');
}

TEST(Settings, BrushListInFileOrderWithPicturesFromTheMediaDirectory) {
    SettingsFile file(kFullSettings);
    RecordingMessages messages;
    LoaderSpy spy;
    CSettings settings(messages, file.path, spy.loader());

    const auto& brushes = settings.brushes();
    ASSERT_EQ(brushes.size(), 4u);
    EXPECT_EQ(brushes[0].name, "Round");
    EXPECT_EQ(brushes[0].tip, "A round hill");
    EXPECT_EQ(brushes[0].bmp, "round.bmp");
    for (float v : brushes[0].params) EXPECT_FLOAT_EQ(v, 0.5f);
    EXPECT_FLOAT_EQ(brushes[1].params[0], 1.0f);
    for (int k = 1; k < 10; ++k) EXPECT_FLOAT_EQ(brushes[1].params[k], 2.0f);
    EXPECT_EQ(brushes[2].params, (std::array<float, 10>{1, 2, 3, 3, 3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(brushes[3].params, (std::array<float, 10>{}));
    EXPECT_EQ(spy.paths, (std::vector<std::string>{"./media/round.bmp", "./media/two.bmp",
                                                   "./media/three.bmp", "./media/none.bmp"}));
    ASSERT_FALSE(brushes[0].bitmap.empty());
    EXPECT_EQ(brushes[0].bitmap.pixels.size(), 64u * 64 * 4);
}

TEST(Settings, UnreadableBrushPictureIsSilent) {
    SettingsFile file(kFullSettings);
    RecordingMessages messages;
    CSettings settings(messages, file.path, loadBrushBitmap);  // ./media does not exist
    ASSERT_EQ(settings.brushes().size(), 4u);
    for (const CBrushDef& b : settings.brushes()) EXPECT_TRUE(b.bitmap.empty());
    EXPECT_EQ(messages.count(), 0u);
}

TEST(Settings, NodeIterationCursor) {
    SettingsFile file(kFullSettings);
    RecordingMessages messages;
    LoaderSpy spy;
    CSettings settings(messages, file.path, spy.loader());

    EXPECT_EQ(settings.GetNodeValue("./@name"), "");  // no current node
    ASSERT_EQ(settings.SelectNodes("//brush"), 4);
    EXPECT_EQ(settings.NextNode(), 1);
    EXPECT_EQ(settings.GetNodeValue("./@name"), "Round");
    EXPECT_EQ(settings.GetNodeValue("./."), "0.5");
    EXPECT_EQ(settings.GetNodeValue("./@missing"), "");
    EXPECT_EQ(settings.GetNodeValue("[["), "");
    EXPECT_EQ(settings.NextNode(), 2);
    EXPECT_EQ(settings.GetNodeValue("@bmp"), "two.bmp");
    EXPECT_EQ(settings.NextNode(), 3);
    EXPECT_EQ(settings.NextNode(), 4);
    EXPECT_EQ(settings.NextNode(), -1);
    EXPECT_EQ(settings.GetNodeValue("./@name"), "");
    // A new selection rewinds.
    ASSERT_EQ(settings.SelectNodes("//brush/@name"), 4);
    EXPECT_EQ(settings.NextNode(), 1);
    EXPECT_EQ(settings.GetNodeValue("."), "Round");
    settings.EndNodes();
    EXPECT_EQ(settings.NextNode(), -1);
}

TEST(BrushNumbers, OnlySpacesSeparateAndTheLastNumberRepeats) {
    using P = std::array<float, 10>;
    EXPECT_EQ(parseBrushNumbers("0.5"), (P{0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(parseBrushNumbers("  1  2  "), (P{1, 2, 2, 2, 2, 2, 2, 2, 2, 2}));
    EXPECT_EQ(parseBrushNumbers(""), P{});
    EXPECT_EQ(parseBrushNumbers("   "), P{});
    EXPECT_EQ(parseBrushNumbers("1 2 3 4 5 6 7 8 9 10 11 12"), (P{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(parseBrushNumbers("1\t2"), (P{1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(parseBrushNumbers("1\n2 3"), (P{1, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(parseBrushNumbers("abc -2.5e1"), (P{0, -25, -25, -25, -25, -25, -25, -25, -25, -25}));
}

TEST(TextNumbers, StandardConversionRules) {
    EXPECT_EQ(textToInt(" 42abc"), 42);
    EXPECT_EQ(textToInt("-7"), -7);
    EXPECT_EQ(textToInt("+3"), 3);
    EXPECT_EQ(textToInt("abc"), 0);
    EXPECT_EQ(textToInt(""), 0);
    EXPECT_EQ(textToInt("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(textToInt("-99999999999"), INT32_MIN);
    EXPECT_DOUBLE_EQ(textToDouble(" 1.5e1x"), 15.0);
    EXPECT_DOUBLE_EQ(textToDouble("1,5"), 1.0);
    EXPECT_DOUBLE_EQ(textToDouble("."), 0.0);
}

TEST(BrushBitmapScale, PointSamplesToSixtyFourSquare) {
    // 2 x 2 source: each quadrant of the target takes one source pixel.
    const std::vector<std::uint8_t> src = {0, 1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0, 4, 4, 4};
    const BrushBitmap b = scaleToBrushBitmap(2, 2, src);
    ASSERT_EQ(b.pixels.size(), 64u * 64 * 4);
    auto px = [&](int x, int y) { return b.pixels[(std::size_t(y) * 64 + x) * 4 + 1]; };
    EXPECT_EQ(px(0, 0), 1);
    EXPECT_EQ(px(31, 31), 1);
    EXPECT_EQ(px(32, 0), 2);
    EXPECT_EQ(px(0, 32), 3);
    EXPECT_EQ(px(63, 63), 4);

    EXPECT_TRUE(scaleToBrushBitmap(2, 2, std::span(src).first(15)).empty());
    EXPECT_TRUE(scaleToBrushBitmap(0, 2, src).empty());
    EXPECT_TRUE(scaleToBrushBitmap(2, -1, src).empty());
}

TEST(Settings, FailureWhileReadingBrushesKeepsWhatWasReadAndReportsOnce) {
    SettingsFile file(kFullSettings);
    RecordingMessages messages;
    int calls = 0;
    CSettings settings(messages, file.path, [&](const std::string&) -> BrushBitmap {
        if (++calls == 3) throw std::runtime_error("picture reader failed");
        return {};
    });
    ASSERT_EQ(messages.texts(), (std::vector<std::string>{"Exception in reading the ini file"}));
    EXPECT_EQ(messages.entries()[0].kind, RecordingMessages::Kind::Error);
    ASSERT_EQ(settings.brushes().size(), 2u);
    EXPECT_EQ(settings.brushes()[1].name, "Two");
    // The document itself stays usable.
    EXPECT_EQ(settings.GetValue("exportRoot"), "./exports/");
    EXPECT_EQ(settings.NextNode(), -1);
}

TEST(BrushBitmapLoad, AnyReadableImageIsScaledAndAnythingElseIsEmpty) {
    lndtest::TempDir dir;
    // 128 x 32, 24-bit: left half red, right half blue.
    CImage32 wide(128, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x) {
            std::uint8_t* p = wide.pixel(x, y);
            p[0] = 255;
            p[1] = x < 64 ? 200 : 0;
            p[3] = x < 64 ? 0 : 200;
        }
    lndtest::writeBytes(dir.file("wide.bmp"), encodeBmp(wide, 24));
    const BrushBitmap b = loadBrushBitmap(dir.file("wide.bmp"));
    ASSERT_EQ(b.pixels.size(), 64u * 64 * 4);
    EXPECT_EQ(b.pixels[(10 * 64 + 5) * 4 + 1], 200);   // left: red
    EXPECT_EQ(b.pixels[(10 * 64 + 60) * 4 + 3], 200);  // right: blue

    // A paletted picture goes through its palette.
    const std::vector<std::uint8_t> grey(16 * 16, 77);
    lndtest::writeBytes(dir.file("grey.bmp"), encodeGreyBmp(grey.data(), 16, 16, 16));
    const BrushBitmap g = loadBrushBitmap(dir.file("grey.bmp"));
    ASSERT_FALSE(g.empty());
    EXPECT_EQ(g.pixels[1], 77);

    lndtest::writeBytes(dir.file("junk.bmp"), {'B', 'M', 1, 2, 3});
    EXPECT_TRUE(loadBrushBitmap(dir.file("junk.bmp")).empty());
    EXPECT_TRUE(loadBrushBitmap(dir.file("missing.bmp")).empty());
    EXPECT_TRUE(loadBrushBitmap(dir.path()).empty());
}

// Found by fuzzing: the text of an element was gathered by recursion, and a file nesting
// elements some hundred thousand deep overflowed the stack.
TEST(Settings, DeeplyNestedElementsGiveTheirTextWithoutRecursion) {
    std::string text = "<settings><deep>";
    for (int k = 0; k < 300000; ++k) text += "<a>";
    text += "x";
    for (int k = 0; k < 300000; ++k) text += "</a>";
    text += "y</deep></settings>";
    SettingsFile file(text);
    RecordingMessages messages;
    CSettings settings(messages, file.path);
    ASSERT_TRUE(settings.fileLoaded());
    EXPECT_EQ(settings.GetValue("/settings/deep"), "xy");
}
