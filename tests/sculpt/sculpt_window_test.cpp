// Clayvane's window under a virtual display: a fixed-size picture of a generated land and a
// sculpt driven by mouse events through the window's handlers. Without a display (or without
// the GUI build) the tests skip.
#include "sculpt_support.h"

#include "support/run_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#if defined(LND_SCULPT_WINDOW_TESTS)
#include <QImage>
#endif

namespace {

#if defined(LND_SCULPT_WINDOW_TESTS)

[[maybe_unused]] const bool kChildrenSkipLeakCheck = [] {
    lndtest::skipLeakCheckInChildren();
    return true;
}();

class ClayvaneWindow : public ::testing::Test {
protected:
    lndtest::TempDir dir;
    std::string land;

    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display: run under xvfb-run";
        if (!std::filesystem::exists(lndtest::programPath("bin/Clayvane"))) GTEST_SKIP() << "Clayvane not built";
        // The program reads its data files from the directory it starts in.
        std::filesystem::copy_file("Clayvane.dat", dir.file("Clayvane.dat"));
        std::filesystem::copy_file("Brushes.txt", dir.file("Brushes.txt"));
        lndtest::LandBuilder b;
        // Round the square the start camera looks at (column 17, row 15).
        for (int r = 13; r < 19; ++r)
            for (int c = 14; c < 20; ++c) b.block(r, c, sculpttest::Flat(80));
        auto image = b.countries(2).materials(2).build();
        // Material 0 green, material 1 red; every entry all green.
        sculpttest::PlainMaterials(image, {std::uint16_t(31 << 5), std::uint16_t(31 << 10)});
        sculpttest::PlainCountries(image, 0, 1, 255);
        land = dir.file("flat.lnd");
        lndtest::writeBytes(land, image);
    }

    lndtest::ProgramResult Run(std::vector<std::string> args) {
        args.push_back(land);
        return lndtest::runProgram(lndtest::programPath("bin/Clayvane"), args, "", dir.path());
    }
};

bool Near(QRgb a, int r, int g, int b, int tolerance) {
    return std::abs(qRed(a) - r) <= tolerance && std::abs(qGreen(a) - g) <= tolerance && std::abs(qBlue(a) - b) <= tolerance;
}

TEST_F(ClayvaneWindow, ScreenshotShowsTheLandUnderTheClearColour) {
    const auto r = Run({"--screenshot", dir.file("shot.png"), "--size", "640x480"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QImage image(QString::fromStdString(dir.file("shot.png")));
    ASSERT_EQ(image.width(), 640);
    ASSERT_EQ(image.height(), 480);
    // Clear colour (0, 0.3, 0.6) above the land, the green island in the middle.
    EXPECT_TRUE(Near(image.pixel(320, 3), 0, 77, 153, 3)) << std::hex << image.pixel(320, 3);
    int green = 0, sky = 0;
    for (int y = 0; y < 480; y += 4)
        for (int x = 0; x < 640; x += 4) {
            const QRgb p = image.pixel(x, y);
            green += qGreen(p) > 120 && qRed(p) < 60 && qBlue(p) < 60;
            sky += Near(p, 0, 77, 153, 3);
        }
    EXPECT_GT(green, 500) << "the green land is in the picture";
    EXPECT_GT(sky, 500);
    // The same run draws the same picture.
    const auto again = Run({"--screenshot", dir.file("again.png"), "--size", "640x480"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    const QImage second(QString::fromStdString(dir.file("again.png")));
    int differing = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) differing += !Near(image.pixel(x, y), qRed(second.pixel(x, y)), qGreen(second.pixel(x, y)),
                                                       qBlue(second.pixel(x, y)), 2);
    EXPECT_LT(differing, 50);
}

// While block textures are made again the land keeps its previous picture under the progress
// bar (at start: the sky alone), never untextured blocks.
TEST_F(ClayvaneWindow, TexturePassesKeepThePreviousPicture) {
    const auto normal = Run({"--screenshot", dir.file("normal.png"), "--size", "640x480"});
    ASSERT_EQ(normal.exitCode, 0) << normal.err;
    const auto again = Run({"--screenshot", dir.file("retexture.png"), "--size", "640x480", "--retexture"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    const auto start = Run({"--screenshot", dir.file("start.png"), "--size", "640x480", "--first-frame"});
    ASSERT_EQ(start.exitCode, 0) << start.err;
    const QImage before(QString::fromStdString(dir.file("normal.png")));
    const QImage during(QString::fromStdString(dir.file("retexture.png")));
    const QImage first(QString::fromStdString(dir.file("start.png")));
    ASSERT_EQ(during.size(), before.size());
    ASSERT_EQ(first.size(), before.size());
    // The progress bar runs along the bottom edge and the strength bar (drawn over the land,
    // not part of its picture) at the right one; everything else is compared.
    const int barTop = 480 - 32, strengthLeft = 640 - 24;
    int white = 0, changed = 0, landPixels = 0, notSky = 0;
    for (int y = 0; y < barTop; ++y)
        for (int x = 0; x < strengthLeft; ++x) {
            const QRgb p = during.pixel(x, y), q = before.pixel(x, y), f = first.pixel(x, y);
            white += qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
            white += qRed(f) > 200 && qGreen(f) > 200 && qBlue(f) > 200;
            changed += !Near(p, qRed(q), qGreen(q), qBlue(q), 3);
            landPixels += qGreen(q) > 120 && qRed(q) < 60 && qBlue(q) < 60;
            notSky += !Near(f, 0, 77, 153, 3);
        }
    EXPECT_GT(landPixels, 5000) << "the land is in the picture";
    EXPECT_EQ(white, 0) << "untextured blocks drawn";
    EXPECT_LT(changed, 50) << "the retexture pass shows the land as it was";
    EXPECT_LT(notSky, 50) << "before the first textures only the sky is shown";
}

// With a session bus the active window asks its screen-saver service to stay off; a run whose
// environment names no session bus sends nothing. A monitor on a private session bus sees it.
TEST_F(ClayvaneWindow, ScreenSaverIsHeldOffOverTheSessionBus) {
    if (std::system("command -v dbus-run-session >/dev/null 2>&1 && command -v dbus-monitor >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no dbus-run-session or dbus-monitor";
    std::filesystem::create_directories(dir.file("no-bus"));
    const std::string script =
        "dbus-monitor --session \"interface='org.freedesktop.ScreenSaver'\" > monitor.txt 2>/dev/null &\n"
        "monitor=$!\n"
        "for i in $(seq 100); do [ -s monitor.txt ] && break; sleep 0.05; done\n"
        "env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR=\"$PWD/no-bus\" \"$1\" --screenshot alone.png \"$2\" || exit 3\n"
        "sleep 0.3\n"
        "cp monitor.txt alone.txt\n"
        "\"$1\" --screenshot shot.png \"$2\"; code=$?\n"
        "sleep 0.3\n"
        "kill $monitor\n"
        "exit $code\n";
    const std::vector<std::uint8_t> bytes(script.begin(), script.end());
    lndtest::writeBytes(dir.file("run.sh"), bytes);
    const auto r = lndtest::runProgram("dbus-run-session", {"--", "sh", "run.sh", lndtest::programPath("bin/Clayvane"), land}, "",
                                       dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto text = [](const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); };
    const std::string alone = text(lndtest::readBytes(dir.file("alone.txt")));
    const std::string seen = text(lndtest::readBytes(dir.file("monitor.txt")));
    EXPECT_EQ(alone.find("member=Inhibit"), std::string::npos) << alone;
    EXPECT_NE(seen.find("member=Inhibit"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\"Clayvane\""), std::string::npos) << seen;
}

TEST_F(ClayvaneWindow, HeldButtonRaisesTheLandThatIsSaved) {
    // Find where the island is on screen from the picture, then press there.
    const auto shot = Run({"--screenshot", dir.file("find.png")});
    ASSERT_EQ(shot.exitCode, 0) << shot.err;
    const QImage image(QString::fromStdString(dir.file("find.png")));
    int px = -1, py = -1;
    if (qGreen(image.pixel(320, 300)) > 120 && qRed(image.pixel(320, 300)) < 60) {
        px = 320;
        py = 300;
    }
    ASSERT_GE(px, 0) << "no land below the middle";
    const auto r = Run({"--screenshot", dir.file("after.png"), "--press", std::to_string(px) + "," + std::to_string(py) + ",8",
                        "--save", dir.file("out.lnd")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lndtest::readBytes(dir.file("out.lnd"));
    lnd::LndLayout layout;
    ASSERT_TRUE(lnd::checkImage(out, layout));
    int raised = 0, top = 0;
    for (int b = 0; b < layout.numBlockRecords; ++b) {
        const auto* blk = lnd::recordAt<lnd::TLndBlock>(out.data(), layout.blocksOffset + std::size_t(b) * lnd::kBlockSize);
        for (const auto& row : blk->Cells)
            for (const auto& c : row) {
                raised += c.Altitude > 80;
                top = std::max<int>(top, c.Altitude);
            }
    }
    EXPECT_GT(raised, 10);
    EXPECT_GE(top, 90);    // eight frames of brush 0 at strength 2
    EXPECT_LE(top, 96);
    // A broken land ends the scripted run with a message and status 1.
    lndtest::writeBytes(land, {1, 2, 3});
    const auto bad = Run({"--screenshot", dir.file("bad.png")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("too short"), std::string::npos) << bad.err;
}

#endif

}  // namespace
