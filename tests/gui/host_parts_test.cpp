// The host's pieces that stand alone: timer, message texts, modes and depth formats, and the
// media-file lookup.
#include "d3dframework/host/display_modes.h"
#include "d3dframework/host/host_result.h"
#include "d3dframework/host/host_timer.h"
#include "d3dframework/host/media_file.h"

#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

using namespace lnd;

TEST(HostTimer, StopFreezesAdvanceStepsAndStartDoesNotJump) {
    double now = 50.0;
    HostTimer timer([&now] { return now; });
    now = 52.0;
    EXPECT_DOUBLE_EQ(timer(TimerCommand::ApplicationTime), 2.0);
    EXPECT_DOUBLE_EQ(timer(TimerCommand::ElapsedTime), 2.0);
    timer(TimerCommand::Stop);
    now = 60.0;
    EXPECT_DOUBLE_EQ(timer(TimerCommand::ApplicationTime), 2.0);
    EXPECT_DOUBLE_EQ(timer(TimerCommand::AbsoluteTime), 52.0);
    EXPECT_DOUBLE_EQ(timer(TimerCommand::ElapsedTime), 0.0);
    timer(TimerCommand::Advance);
    EXPECT_NEAR(timer(TimerCommand::ElapsedTime), 0.1, 1e-12);
    EXPECT_NEAR(timer(TimerCommand::ApplicationTime), 2.1, 1e-12);
    timer(TimerCommand::Start);
    EXPECT_FALSE(timer.stopped());
    now = 61.0;
    EXPECT_NEAR(timer(TimerCommand::ApplicationTime), 3.1, 1e-12);   // the stopped seconds do not count, the step does
    EXPECT_DOUBLE_EQ(timer(TimerCommand::ElapsedTime), 1.0);
    timer(TimerCommand::Reset);
    EXPECT_DOUBLE_EQ(timer(TimerCommand::ApplicationTime), 0.0);
}

TEST(HostErrorText, KindsAppendTheirSentenceAndUnknownCodesAreGeneric) {
    EXPECT_EQ(hostErrorText(kHostOutOfMemory, HostErrorKind::Warning), "Not enough memory.");
    EXPECT_EQ(hostErrorText(kHostMediaNotFound, HostErrorKind::Fatal),
              "Could not load required media.\n\nThis sample will now exit.");
    EXPECT_EQ(hostErrorText(kHostNoHardwareDevice, HostErrorKind::SwitchingToReference),
              "No hardware-accelerated Direct3D devices\nwere found.\n\nSwitching to the reference "
              "rasterizer,\na software device that implements the entire\nDirect3D feature set, but "
              "runs very slowly.");
    EXPECT_EQ(hostErrorText(hostCode(0x80001234u), HostErrorKind::Warning),
              "Generic application error. Enable\ndebug output for detailed information.");
    EXPECT_EQ(hostErrorText(kHostOutOfVideoMemory, HostErrorKind::Warning), "Not enough video memory.");
}

AdapterFacts adapterWith(std::vector<ScreenMode> modes, DeviceType type = DeviceType::Hardware) {
    AdapterFacts a;
    a.identifier = "a";
    a.desktop = {1024, 768, kFormatX8R8G8B8};
    a.modes = std::move(modes);
    DeviceFacts d;
    d.type = type;
    d.fullScreenFormats = {kFormatX8R8G8B8, kFormatR5G6B5};
    d.depthFormats = {kDepthD16, kDepthD24S8, kDepthD32};
    a.devices = {d};
    return a;
}

TEST(Enumeration, SmallModesAreDroppedAndModesSortByFormatThenSize) {
    const auto e = enumerateDevices({adapterWith({{1024, 768, kFormatX8R8G8B8},
                                                  {640, 480, kFormatR5G6B5},
                                                  {639, 480, kFormatX8R8G8B8},
                                                  {800, 399, kFormatX8R8G8B8},
                                                  {640, 480, kFormatX8R8G8B8},
                                                  {640, 480, kFormatX8R8G8B8}})},
                                    {}, {});
    ASSERT_EQ(e.result, kHostOk);
    const DeviceRecord& d = e.adapters[0].devices[0];
    ASSERT_EQ(d.modes.size(), 3u);
    EXPECT_EQ(d.modes[0].format, kFormatR5G6B5);   // code 23 sorts before 22
    EXPECT_EQ(d.modes[1].width, 640);
    EXPECT_EQ(d.modes[2].width, 1024);
    EXPECT_EQ(d.currentMode, 0u);   // the 16-bit 640 x 480 mode
    EXPECT_TRUE(d.windowed);
    EXPECT_EQ(e.warning, kHostOk);
}

TEST(Enumeration, WithoutA16Bit640ModeTheLast640ModeIsCurrent) {
    const auto e = enumerateDevices({adapterWith({{640, 480, kFormatX8R8G8B8},
                                                  {800, 600, kFormatX8R8G8B8},
                                                  {640, 480, kFormatA8R8G8B8}})},
                                    {}, {});
    const DeviceRecord& d = e.adapters[0].devices[0];
    // 21 is not a full-screen format of the device, so only the 22 mode remains at 640.
    ASSERT_EQ(d.modes.size(), 2u);
    EXPECT_EQ(d.modes[d.currentMode].width, 640);
    EXPECT_EQ(d.modes[d.currentMode].format, kFormatX8R8G8B8);
}

TEST(Enumeration, OnlySmallModesOrRefusedDevicesGiveNoCompatibleDevices) {
    EXPECT_EQ(enumerateDevices({adapterWith({{320, 200, kFormatX8R8G8B8}})}, {}, {}).result,
              kHostNoCompatibleDevices);
    const auto refuseAll = [](const DeviceFacts&, std::uint32_t, std::uint32_t) { return kHostFail; };
    EXPECT_EQ(enumerateDevices({adapterWith({{800, 600, kFormatX8R8G8B8}})}, {}, refuseAll).result,
              kHostNoCompatibleDevices);
}

TEST(Enumeration, BehaviourFallsBackToSoftwareAndDepthIsRequired) {
    auto a = adapterWith({{800, 600, kFormatX8R8G8B8}});
    a.devices[0].pureDevice = true;
    const auto softwareOnly = [](const DeviceFacts&, std::uint32_t b, std::uint32_t) {
        return b == kBehaviourSoftware ? kHostOk : kHostFail;
    };
    auto e = enumerateDevices({a}, {}, softwareOnly);
    ASSERT_EQ(e.result, kHostOk);
    EXPECT_EQ(e.adapters[0].devices[0].modes[0].behaviour, kBehaviourSoftware);
    e = enumerateDevices({a}, {}, {});
    EXPECT_EQ(e.adapters[0].devices[0].modes[0].behaviour, kBehaviourPureHardware);

    e = enumerateDevices({a}, {true, 24, 1}, {});
    EXPECT_EQ(e.adapters[0].devices[0].modes[0].depthStencilFormat, kDepthD24S8);
    a.devices[0].depthFormats = {kDepthD16};
    EXPECT_EQ(enumerateDevices({a}, {true, 24, 0}, {}).result, kHostNoCompatibleDevices);
}

TEST(Enumeration, StartingOnTheReferenceDeviceSaysWhy) {
    auto ref = adapterWith({{800, 600, kFormatX8R8G8B8}}, DeviceType::Reference);
    EXPECT_EQ(enumerateDevices({ref}, {}, {}).warning, kHostNoHardwareDevice);

    auto both = ref;
    DeviceFacts hal = both.devices[0];
    hal.type = DeviceType::Hardware;
    hal.canRenderWindowed = false;
    both.devices.insert(both.devices.begin(), hal);
    auto e = enumerateDevices({both}, {}, {});
    EXPECT_EQ(e.warning, kHostNoWindowedHardware);
    EXPECT_EQ(e.adapters[0].currentDevice, 1u);

    both.devices[0].fullScreenFormats = {};
    EXPECT_EQ(enumerateDevices({both}, {}, {}).warning, kHostHardwareUnusable);

    auto none = adapterWith({{800, 600, kFormatX8R8G8B8}});
    none.devices[0].canRenderWindowed = false;
    EXPECT_EQ(enumerateDevices({none}, {}, {}).result, kHostNoWindowedDevice);
}

TEST(DepthFormats, PreferenceOrderAndObtainedBits) {
    const std::vector<std::uint32_t> all = {kDepthD32, kDepthD15S1, kDepthD24S8, kDepthD24X8, kDepthD24X4S4, kDepthD16};
    EXPECT_EQ(chooseDepthStencilFormat(16, 0, all), kDepthD16);
    EXPECT_EQ(chooseDepthStencilFormat(15, 1, all), kDepthD15S1);
    EXPECT_EQ(chooseDepthStencilFormat(17, 0, all), kDepthD24X8);
    EXPECT_EQ(chooseDepthStencilFormat(16, 2, all), kDepthD24S8);
    EXPECT_EQ(chooseDepthStencilFormat(16, 2, {kDepthD24X4S4}), kDepthD24X4S4);
    EXPECT_EQ(chooseDepthStencilFormat(32, 0, all), kDepthD32);
    EXPECT_EQ(chooseDepthStencilFormat(32, 8, all), 0u);

    EXPECT_EQ(depthFormatFromBits(24, 8), kDepthD24S8);
    EXPECT_EQ(depthFormatFromBits(24, 0), kDepthD24X8);
    EXPECT_EQ(depthFormatFromBits(32, 0), kDepthD32);
    EXPECT_EQ(depthFormatFromBits(16, 0), kDepthD16);
    EXPECT_EQ(depthFormatFromBits(0, 8), 0u);
    for (std::uint32_t f : all) {
        const DepthBits b = depthFormatBits(f);
        EXPECT_EQ(depthFormatFromBits(b.depth, b.stencil), f);
    }
}

TEST(FrameStats, FormatDepthAndMultisampleSuffixes) {
    EXPECT_EQ(frameStatsText(59.94f, 800, 600, kFormatX8R8G8B8, false, kDepthD24S8, 0), "59.94 fps (800x600x32)");
    EXPECT_EQ(frameStatsText(7.0f, 640, 480, kFormatA8R8G8B8, true, kDepthD16, 4),
              "7.00 fps (640x480x16) (D16) (4x Multisample)");
    EXPECT_EQ(frameStatsText(1.0f, 1, 1, kFormatR5G6B5, true, kDepthD24X4S4, 1), "1.00 fps (1x1x16) (D24X4S4)");
    EXPECT_EQ(displayModeText({1024, 768, kFormatR8G8B8, 0, 0}), "1024 x 768 x 32");
    EXPECT_EQ(displayModeText({640, 480, kFormatR5G6B5, 0, 0}), "640 x 480 x 16");
    EXPECT_EQ(multiSampleText(0), "none");
    EXPECT_EQ(multiSampleText(4), "4 samples");
    EXPECT_EQ(displayFormatFromDepth(24), kFormatX8R8G8B8);
    EXPECT_EQ(displayFormatFromDepth(16), kFormatR5G6B5);
}

class MediaLookup : public ::testing::Test {
protected:
    lndtest::TempDir work;
    lndtest::TempDir media;
    std::filesystem::path saved = std::filesystem::current_path();

    void SetUp() override {
        lndtest::writeBytes(media.file("cursor.obj"), {'v'});
        lndtest::writeBytes(work.file("here.obj"), {'v'});
        std::filesystem::create_directory(work.file("sub"));
        std::filesystem::current_path(work.path());
    }
    void TearDown() override { std::filesystem::current_path(saved); }
};

TEST_F(MediaLookup, FullPathThenBareNameThenMediaDirectory) {
    std::string out;
    ASSERT_EQ(locateMediaFile(&out, "sub/../here.obj", media.path()), kHostOk);
    EXPECT_EQ(out, std::filesystem::path(work.file("here.obj")).lexically_normal().string());
    // A path from elsewhere (with either separator) falls back to its file name here...
    ASSERT_EQ(locateMediaFile(&out, "C:\\models\\here.obj", media.path()), kHostOk);
    EXPECT_EQ(out, "here.obj");
    ASSERT_EQ(locateMediaFile(&out, "/nowhere/else/here.obj", media.path()), kHostOk);
    EXPECT_EQ(out, "here.obj");
    // ...and then in the media directory.
    ASSERT_EQ(locateMediaFile(&out, "models/cursor.obj", media.path()), kHostOk);
    EXPECT_EQ(out, media.path() + "/cursor.obj");
}

TEST_F(MediaLookup, MissingNamesComeBackUnchangedAndBadArgumentsFail) {
    std::string out = "old";
    EXPECT_EQ(locateMediaFile(&out, "models/missing.obj", media.path()), kHostFail);
    EXPECT_EQ(out, "models/missing.obj");
    EXPECT_EQ(locateMediaFile(&out, "sub", media.path()), kHostFail);   // a directory is no file
    EXPECT_EQ(locateMediaFile(&out, "", media.path()), kHostFail);
    EXPECT_EQ(locateMediaFile(nullptr, "here.obj", media.path()), kHostInvalidArg);
    EXPECT_EQ(locateMediaFile(&out, nullptr, media.path()), kHostInvalidArg);
    const std::string longName = std::string(1100, 'a') + "/here.obj";
    out = "kept";
    EXPECT_EQ(locateMediaFile(&out, longName.c_str(), media.path()), kHostFail);
    EXPECT_EQ(out, "kept");
}

}  // namespace
