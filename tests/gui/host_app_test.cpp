// The frame cycle, pause counter, statistics and device-object life cycle of the host, driven
// through a back end that records what the host asks of it.
#include "d3dframework/host/host_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace lnd;

struct FakeClock {
    double now = 100.0;
};

class RecordingHost : public CD3DHostApp {
public:
    explicit RecordingHost(std::shared_ptr<FakeClock> clock)
        : CD3DHostApp(HostTimer([clock] { return clock->now; })), m_clock(std::move(clock)) {
        m_windowTitle = "Test Host";
    }

    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::vector<AdapterFacts> adapters = {defaultAdapter()};
    bool hasDevice = true;
    DeviceState state = DeviceState::Ok;
    HostResult frameMoveResult = kHostOk;
    HostResult restoreResult = kHostOk;
    HostResult screenModeResult = kHostOk;
    std::uint32_t depth = kDepthD24S8;
    int samples = 0;

    static AdapterFacts defaultAdapter() {
        AdapterFacts a;
        a.identifier = "test adapter";
        a.desktop = {1280, 800, kFormatX8R8G8B8};
        a.modes = {{1280, 800, kFormatX8R8G8B8}, {640, 480, kFormatX8R8G8B8}};
        DeviceFacts d;
        d.description = "test renderer";
        d.fullScreenFormats = {kFormatX8R8G8B8};
        d.depthFormats = {kDepthD16, kDepthD24S8};
        a.devices = {d};
        return a;
    }

    void useDepth() { m_useDepthBuffer = true; }
    void setBackBuffer(int w, int h) { m_backBufferWidth = w; m_backBufferHeight = h; }
    std::uint32_t chosenDepth() const { return m_depthFormat; }
    void advance(double seconds) { m_clock->now += seconds; }

protected:
    HostResult confirmDevice(const DeviceFacts&, std::uint32_t, std::uint32_t) override { return record("confirm"); }
    HostResult oneTimeSceneInit() override { return record("oneTimeInit"); }
    HostResult initDeviceObjects() override { return record("init"); }
    HostResult restoreDeviceObjects() override { record("restore"); return restoreResult; }
    HostResult frameMove() override { record("frameMove"); return frameMoveResult; }
    HostResult render() override { return record("render"); }
    HostResult invalidateDeviceObjects() override { return record("invalidate"); }
    HostResult deleteDeviceObjects() override { return record("delete"); }
    HostResult finalCleanup() override { return record("finalCleanup"); }

    std::vector<AdapterFacts> queryAdapters() override { return adapters; }
    DeviceState testCooperativeLevel() override { return state; }
    bool deviceExists() const override { return hasDevice; }
    HostResult resetDevice() override { return record("reset"); }
    void present() override { record("present"); }
    HostResult applyScreenMode(bool windowed) override {
        record(windowed ? "windowed" : "fullScreen");
        return screenModeResult;
    }
    void closeHostWindow() override { record("close"); }
    void showHostMessage(const std::string& caption, const std::string& text, MessageIcon) override {
        record("message");
        messages.push_back(caption + "|" + text);
    }
    std::uint32_t obtainedDepthFormat() const override { return depth; }
    int obtainedMultiSample() const override { return samples; }

private:
    HostResult record(const char* what) {
        calls.emplace_back(what);
        return kHostOk;
    }
    std::shared_ptr<FakeClock> m_clock;
};

class HostTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    RecordingHost host{clock};

    void start() {
        ASSERT_EQ(host.createHost(), kHostOk);
        host.calls.clear();
    }
    int count(const std::string& what) const {
        int n = 0;
        for (const auto& c : host.calls) n += c == what ? 1 : 0;
        return n;
    }
};

TEST_F(HostTest, CallbacksRunInTheirOrderThroughALifetime) {
    ASSERT_EQ(host.createHost(), kHostOk);
    EXPECT_TRUE(host.ready());
    host.advance(0.02);
    ASSERT_EQ(host.renderOneFrame(), kHostOk);
    host.cleanup3DEnvironment();
    host.cleanup3DEnvironment();   // a second clean-up does nothing
    const std::vector<std::string> expected = {"confirm", "oneTimeInit", "init",      "restore",
                                               "frameMove", "render",    "present",   "invalidate",
                                               "delete",  "finalCleanup"};
    EXPECT_EQ(host.calls, expected);
}

TEST_F(HostTest, RecreatingTheDeviceReleasesTheObjectsOfTheOldOne) {
    start();
    ASSERT_EQ(host.initialize3DEnvironment(), kHostOk);
    const std::vector<std::string> expected = {"invalidate", "delete", "init", "restore"};
    EXPECT_EQ(host.calls, expected);
}

TEST_F(HostTest, WithoutADeviceTheObjectsWaitForIt) {
    host.hasDevice = false;
    ASSERT_EQ(host.createHost(), kHostOk);
    EXPECT_EQ(count("init"), 0);
    EXPECT_EQ(host.initialize3DEnvironment(), kHostNoContext);
    host.hasDevice = true;
    EXPECT_EQ(host.initialize3DEnvironment(), kHostOk);
    EXPECT_TRUE(host.deviceObjectsLive());
}

TEST_F(HostTest, FrameMovingSkipsFramesInWhichNoTimePassed) {
    start();
    host.advance(0.01);
    host.renderOneFrame();
    host.calls.clear();
    ASSERT_EQ(host.renderOneFrame(), kHostOk);   // clock did not move
    EXPECT_TRUE(host.calls.empty());
    host.advance(0.25);
    host.renderOneFrame();
    EXPECT_EQ(count("frameMove"), 1);
    EXPECT_EQ(count("render"), 1);
    EXPECT_DOUBLE_EQ(host.elapsedTime(), 0.25);
}

TEST_F(HostTest, SingleStepMovesTheSceneOnceByATenthOfASecond) {
    start();
    host.handleHostCommand(kCmdToggleFrameMoving);   // frame moving off: timer stopped
    EXPECT_FALSE(host.frameMoving());
    host.advance(5.0);
    host.renderOneFrame();
    EXPECT_EQ(count("frameMove"), 0);
    EXPECT_EQ(count("render"), 1);   // drawn, not moved

    host.handleHostCommand(kCmdSingleStep);
    EXPECT_TRUE(host.singleStep());
    host.calls.clear();
    host.renderOneFrame();
    EXPECT_EQ(count("frameMove"), 1);
    EXPECT_NEAR(host.elapsedTime(), 0.1, 1e-9);
    EXPECT_FALSE(host.singleStep());
    host.renderOneFrame();
    EXPECT_EQ(count("frameMove"), 1);
    EXPECT_EQ(count("render"), 2);
}

TEST_F(HostTest, SingleStepWhileMovingStopsTheClock) {
    start();
    host.advance(1.0);
    host.handleHostCommand(kCmdSingleStep);
    EXPECT_FALSE(host.frameMoving());
    const double stoppedAt = host.timer(TimerCommand::ApplicationTime);
    host.advance(3.0);
    EXPECT_DOUBLE_EQ(host.timer(TimerCommand::ApplicationTime), stoppedAt);
}

TEST_F(HostTest, FailuresOfTheFrameAreReturnedAndLostDevicesDrawNothing) {
    start();
    host.state = DeviceState::Lost;
    host.advance(0.1);
    EXPECT_EQ(host.renderOneFrame(), kHostOk);
    EXPECT_TRUE(host.calls.empty());

    host.state = DeviceState::NeedsReset;
    EXPECT_EQ(host.renderOneFrame(), kHostOk);
    const std::vector<std::string> reset = {"invalidate", "reset", "restore"};
    EXPECT_EQ(host.calls, reset);

    host.state = DeviceState::Ok;
    host.frameMoveResult = kHostFail;
    host.calls.clear();
    host.advance(0.1);
    EXPECT_EQ(host.renderOneFrame(), kHostFail);
    EXPECT_EQ(count("render"), 0);
}

TEST_F(HostTest, PauseCounterKeepsTheViewPausedUntilEveryPauseIsResumed) {
    start();
    host.advance(1.0);
    const double before = host.timer(TimerCommand::ApplicationTime);
    host.pauseHost(true);
    host.pauseHost(true);
    host.pauseHost(false);
    EXPECT_FALSE(host.ready());
    EXPECT_EQ(host.pauseCount(), 1);
    host.advance(10.0);
    EXPECT_DOUBLE_EQ(host.timer(TimerCommand::ApplicationTime), before);
    host.calls.clear();
    host.renderOneFrame();
    EXPECT_EQ(count("render"), 0);   // a stopped clock means no elapsed time

    host.pauseHost(false);
    EXPECT_TRUE(host.ready());
    host.advance(0.5);
    EXPECT_NEAR(host.timer(TimerCommand::ApplicationTime), before + 0.5, 1e-9);   // no jump
    host.pauseHost(false);   // unmatched: the count stays at zero
    EXPECT_EQ(host.pauseCount(), 0);
    host.pauseHost(true);
    EXPECT_FALSE(host.ready());
}

TEST_F(HostTest, StatisticsRefreshAtMostOncePerSecond) {
    host.useDepth();
    host.setBackBuffer(640, 480);
    start();
    EXPECT_EQ(host.chosenDepth(), kDepthD16);   // the first format that meets 16 bits
    for (int i = 0; i < 10; ++i) {
        host.advance(0.05);
        host.renderOneFrame();
    }
    EXPECT_EQ(host.frameStats(), "");   // half a second: nothing yet
    for (int i = 0; i < 10; ++i) {
        host.advance(0.05);
        host.renderOneFrame();
    }
    host.advance(0.1);   // 21 frames in 1.05 s
    host.renderOneFrame();
    EXPECT_EQ(host.frameStats(), "20.00 fps (640x480x32) (D24S8)");
    host.depth = kDepthD16;
    host.advance(0.5);
    host.renderOneFrame();
    EXPECT_EQ(host.frameStats(), "20.00 fps (640x480x32) (D24S8)");
}

TEST_F(HostTest, ResizeResetsForTheNewSizeOnlyWhenItChanged) {
    start();
    EXPECT_EQ(host.resizeBackBuffer(400, 300), kHostOk);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.resizeBackBuffer(800, 600), kHostOk);
    const std::vector<std::string> reset = {"invalidate", "reset", "restore"};
    EXPECT_EQ(host.calls, reset);
    EXPECT_EQ(host.backBufferWidth(), 800);
    EXPECT_TRUE(host.ready());
}

TEST_F(HostTest, AFailedResetIsFatalAndOffersTheFinalCleanUpBeforeClosing) {
    start();
    host.restoreResult = kHostFail;
    EXPECT_EQ(host.resizeBackBuffer(800, 600), kHostResetFailed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0],
              "Test Host|Could not reset the Direct3D device.\n\nThis sample will now exit.");
    const auto finalAt = std::find(host.calls.begin(), host.calls.end(), "finalCleanup");
    const auto closeAt = std::find(host.calls.begin(), host.calls.end(), "close");
    ASSERT_NE(finalAt, host.calls.end());
    ASSERT_NE(closeAt, host.calls.end());
    EXPECT_LT(finalAt, closeAt);
}

TEST_F(HostTest, FullScreenToggleGoesThroughThePausedBackEnd) {
    start();
    EXPECT_TRUE(host.handleHostCommand(kCmdToggleFullScreen));
    EXPECT_FALSE(host.windowed());
    EXPECT_TRUE(host.ready());
    host.handleHostCommand(kCmdToggleFullScreen);
    EXPECT_TRUE(host.windowed());
    const std::vector<std::string> expected = {"fullScreen", "windowed"};
    EXPECT_EQ(host.calls, expected);

    host.screenModeResult = kHostFail;   // refusing full screen is fatal
    host.calls.clear();
    host.handleHostCommand(kCmdToggleFullScreen);
    EXPECT_TRUE(host.windowed());
    EXPECT_EQ(count("close"), 1);
    EXPECT_FALSE(host.handleHostCommand(12345));
}

TEST_F(HostTest, NoUsableAdapterIsAFatalStartUpError) {
    host.adapters[0].modes = {{600, 480, kFormatX8R8G8B8}, {800, 300, kFormatX8R8G8B8}};
    host.adapters[0].devices[0].fullScreenFormats = {kFormatR5G6B5};
    EXPECT_EQ(host.createHost(), kHostNoCompatibleDevices);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Test Host|Could not find any compatible Direct3D\ndevices.\n\n"
                                "This sample will now exit.");
    EXPECT_EQ(count("oneTimeInit"), 0);
}

}  // namespace
