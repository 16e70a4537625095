// The rendering host: device life cycle, the frame cycle, pausing, frame statistics and the
// host commands, independent of the window system. A back end (the Qt widget, or a test
// double) supplies the platform operations; an owner (the terrain view) supplies the scene
// through the callbacks, which are called in the order they are declared.
#pragma once

#include "d3dframework/host/display_modes.h"
#include "d3dframework/host/host_result.h"
#include "d3dframework/host/host_timer.h"

#include <string>

namespace lnd {

// Command numbers the host answers (menus, accelerators).
inline constexpr int kCmdChangeDevice = 40002;
inline constexpr int kCmdToggleFullScreen = 40003;
inline constexpr int kCmdToggleFrameMoving = 40004;
inline constexpr int kCmdSingleStep = 40005;
inline constexpr int kCmdExit = 40006;

enum class DeviceState { Ok, Lost, NeedsReset };

class CD3DHostApp {
public:
    CD3DHostApp();
    explicit CD3DHostApp(HostTimer timer);
    virtual ~CD3DHostApp();
    CD3DHostApp(const CD3DHostApp&) = delete;
    CD3DHostApp& operator=(const CD3DHostApp&) = delete;

    // Enumerates what the back end offers, starts the timer, runs the one-time initialisation
    // and, when the back end already has its device, the device objects. A failure is shown
    // as fatal and returned.
    HostResult createHost();
    // Device objects made and restored on a device that has just come into being.
    HostResult initialize3DEnvironment();
    // Invalidates and deletes device objects and runs the final clean-up; safe to call twice.
    void cleanup3DEnvironment();

    HostResult renderOneFrame();
    void pauseHost(bool pause);
    // The back buffer now has this size: invalidate, reset, restore. A failure is fatal.
    HostResult resizeBackBuffer(int width, int height);
    HostResult switchScreenMode();
    // Answers a host command; false for a number the host does not know.
    bool handleHostCommand(int command);
    // Shows the text of `code` with the caption of the window; returns `code`.
    HostResult showHostError(HostResult code, HostErrorKind kind);

    double timer(TimerCommand command) { return m_timer(command); }

    bool active() const { return m_active; }
    bool ready() const { return m_ready; }
    bool windowed() const { return m_windowed; }
    bool frameMoving() const { return m_frameMoving; }
    bool singleStep() const { return m_singleStep; }
    int pauseCount() const { return m_pauseCount; }
    float frameRate() const { return m_fps; }
    double time() const { return m_time; }
    double elapsedTime() const { return m_elapsedTime; }
    const std::string& frameStats() const { return m_frameStats; }
    const std::string& windowTitle() const { return m_windowTitle; }
    int backBufferWidth() const { return m_backBufferWidth; }
    int backBufferHeight() const { return m_backBufferHeight; }
    const Enumeration& enumeration() const { return m_enumeration; }
    bool deviceObjectsLive() const { return m_deviceObjectsRestored; }

    void setActive(bool active) { m_active = active; }

protected:
    // ---- owner callbacks, in their order; all succeed by default ----
    virtual HostResult confirmDevice(const DeviceFacts&, std::uint32_t /*behaviour*/, std::uint32_t /*format*/) {
        return kHostOk;
    }
    virtual HostResult oneTimeSceneInit() { return kHostOk; }
    virtual HostResult initDeviceObjects() { return kHostOk; }
    virtual HostResult restoreDeviceObjects() { return kHostOk; }
    virtual HostResult frameMove() { return kHostOk; }
    virtual HostResult render() { return kHostOk; }
    virtual HostResult invalidateDeviceObjects() { return kHostOk; }
    virtual HostResult deleteDeviceObjects() { return kHostOk; }
    virtual HostResult finalCleanup() { return kHostOk; }

    // ---- back end ----
    // Adapters, modes and devices as the platform reports them.
    virtual std::vector<AdapterFacts> queryAdapters() = 0;
    virtual DeviceState testCooperativeLevel() { return DeviceState::Ok; }
    // Whether a usable device (context) exists yet.
    virtual bool deviceExists() const = 0;
    // Makes the device's back buffer m_backBufferWidth x m_backBufferHeight.
    virtual HostResult resetDevice() { return kHostOk; }
    virtual void present() {}
    // Shows or leaves full screen; the back end resizes the back buffer through
    // resizeBackBuffer when the window changes.
    virtual HostResult applyScreenMode(bool /*windowed*/) { return kHostOk; }
    virtual HostResult chooseDeviceDialog() { return kHostOk; }
    virtual void closeHostWindow() {}
    virtual void showHostMessage(const std::string& caption, const std::string& text, MessageIcon icon) = 0;
    // The depth buffer and multisampling the device actually has (0 when unknown).
    virtual std::uint32_t obtainedDepthFormat() const { return m_depthFormat; }
    virtual int obtainedMultiSample() const { return 0; }
    // Whether the display currently shows 32-bit colour (format 22) or 16-bit.
    virtual std::uint32_t displayFormat() const;

    // Settings the owner adjusts before createHost.
    std::string m_windowTitle = "D3D8 Application";
    bool m_useDepthBuffer = false;
    int m_minDepthBits = 16;
    int m_minStencilBits = 0;
    bool m_showCursorWhenFullscreen = false;
    bool m_clipCursorWhenFullscreen = true;
    int m_backBufferWidth = 400;
    int m_backBufferHeight = 300;
    // Depth format chosen by the enumeration for the current mode; the request to make.
    std::uint32_t m_depthFormat = 0;

private:
    HostResult resetForNewSize();
    void updateStats();
    void releaseDeviceObjects();

    HostTimer m_timer;
    Enumeration m_enumeration;
    bool m_active = true;
    bool m_ready = false;
    bool m_windowed = true;
    bool m_frameMoving = true;
    bool m_singleStep = false;
    bool m_deviceObjectsInitialized = false;
    bool m_deviceObjectsRestored = false;
    bool m_cleanedUp = false;
    int m_pauseCount = 0;
    double m_time = 0.0;
    double m_elapsedTime = 0.0;
    float m_fps = 0.0f;
    std::string m_frameStats;
    double m_lastStatTime = 0.0;
    int m_framesSinceStat = 0;
};

}  // namespace lnd
