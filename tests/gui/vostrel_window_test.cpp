// Vostrel's first frame on a land built here, grabbed from a fixed-size window with a fixed
// camera. Needs a display (run the suite under xvfb-run); without one the tests skip.
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr QRgb kSky = 0xFF0080F8u;

bool nearColour(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

class VostrelWindow : public ::testing::Test {
protected:
    lndtest::TempDir dir;
    std::string land;

    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "no display: run under xvfb-run";
        }
        if (!std::filesystem::exists(lndtest::programPath("bin/Vostrel"))) {
            GTEST_SKIP() << "Vostrel not built";
        }
        lndtest::LandBuilder b;
        // A 4 x 4 island: squares without a block show the clear colour, so any of it in the
        // island's middle is a crack between blocks.
        for (int gx = 10; gx < 14; ++gx) {
            for (int gz = 10; gz < 14; ++gz) {
                b.block(gx, gz);
            }
        }
        land = b.loResTextures(2).writeTo(dir.file("island.lnd"));
    }

    lndtest::ProgramResult shoot(const std::string& out, const std::string& camera, int frames = 0) {
        std::vector<std::string> args = {"--screenshot", out, "--size", "640x480", "--camera", camera};
        if (frames > 0) {
            args.push_back("--frames");
            args.push_back(std::to_string(frames));
        }
        args.push_back(land);
        return lndtest::runProgram(lndtest::programPath("bin/Vostrel"), args);
    }
};

TEST_F(VostrelWindow, LandFromAboveFillsTheMiddleWithoutHolesAndSkyAbove) {
    const std::string out = dir.file("above.png");
    // Above the island's west edge, looking along +x and down.
    const auto r = shoot(out, "1400,900,1920,90,-40");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    QImage image(QString::fromStdString(out));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 640);
    EXPECT_EQ(image.height(), 480);
    EXPECT_TRUE(nearColour(image.pixel(320, 2), kSky, 8)) << "sky expected at the top";
    // The lower middle of the picture is land: hardly a pixel of clear colour shows through.
    int sky = 0, total = 0;
    for (int y = 300; y < 470; y += 2) {
        for (int x = 200; x < 440; x += 2) {
            sky += nearColour(image.pixel(x, y), kSky, 6) ? 1 : 0;
            ++total;
        }
    }
    EXPECT_LT(sky, total / 100) << "holes between blocks";
}

TEST_F(VostrelWindow, SteadyFramesUploadNothingNew) {
    const auto r = shoot(dir.file("steady.png"), "1400,900,1920,90,-40", 30);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("first frame uploads: textures"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("later uploads: textures 0, rectangles 0, levels 0, meshes 0"), std::string::npos) << r.out;
}

TEST_F(VostrelWindow, BadArgumentsAndMissingLandsFail) {
    auto r = lndtest::runProgram(lndtest::programPath("bin/Vostrel"), {"--screenshot", dir.file("x.png")});
    EXPECT_EQ(r.exitCode, 2);
    r = lndtest::runProgram(lndtest::programPath("bin/Vostrel"),
                            {"--screenshot", dir.file("x.png"), "--camera", "1,2", land});
    EXPECT_EQ(r.exitCode, 2);
    r = lndtest::runProgram(lndtest::programPath("bin/Vostrel"),
                            {"--screenshot", dir.file("x.png"), dir.file("missing.lnd")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));
}

}  // namespace
