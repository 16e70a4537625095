#include "d3dframework/host/host_app.h"

namespace lnd {

CD3DHostApp::CD3DHostApp() = default;

CD3DHostApp::CD3DHostApp(HostTimer timer) : m_timer(std::move(timer)) {}

CD3DHostApp::~CD3DHostApp() = default;

std::uint32_t CD3DHostApp::displayFormat() const {
    if (m_enumeration.adapters.empty()) {
        return kFormatX8R8G8B8;
    }
    return m_enumeration.adapters[m_enumeration.currentAdapter].desktop.format;
}

HostResult CD3DHostApp::createHost() {
    const DepthRequirement depth{m_useDepthBuffer, m_minDepthBits, m_minStencilBits};
    m_enumeration = enumerateDevices(queryAdapters(), depth,
                                     [this](const DeviceFacts& d, std::uint32_t behaviour, std::uint32_t format) {
                                         return confirmDevice(d, behaviour, format);
                                     });
    if (hostFailed(m_enumeration.result)) {
        return showHostError(m_enumeration.result, HostErrorKind::Fatal);
    }
    if (m_enumeration.warning != kHostOk) {
        showHostError(m_enumeration.warning, HostErrorKind::SwitchingToReference);
    }
    const AdapterRecord& adapter = m_enumeration.adapters[m_enumeration.currentAdapter];
    const DeviceRecord& device = adapter.devices[adapter.currentDevice];
    m_windowed = device.windowed;
    // The windowed back buffer takes the desktop's format, so its depth format is the one
    // chosen for that format.
    m_depthFormat = device.modes[device.currentMode].depthStencilFormat;
    for (const DisplayMode& mode : device.modes) {
        if (mode.format == adapter.desktop.format) {
            m_depthFormat = mode.depthStencilFormat;
            break;
        }
    }

    m_timer(TimerCommand::Start);
    if (hostFailed(oneTimeSceneInit())) {
        return showHostError(kHostMediaNotFound, HostErrorKind::Fatal);
    }
    if (deviceExists()) {
        const HostResult hr = initialize3DEnvironment();
        if (hostFailed(hr)) {
            return showHostError(hr, HostErrorKind::Fatal);
        }
    }
    m_ready = m_pauseCount == 0;
    return kHostOk;
}

void CD3DHostApp::releaseDeviceObjects() {
    if (m_deviceObjectsRestored) {
        invalidateDeviceObjects();
        m_deviceObjectsRestored = false;
    }
    if (m_deviceObjectsInitialized) {
        deleteDeviceObjects();
        m_deviceObjectsInitialized = false;
    }
}

HostResult CD3DHostApp::initialize3DEnvironment() {
    if (!deviceExists()) {
        return kHostNoContext;
    }
    // A new device replaces the old one: the objects made for the old one go first, so
    // nothing made twice is left behind.
    releaseDeviceObjects();
    m_cleanedUp = false;
    HostResult hr = initDeviceObjects();
    if (!hostFailed(hr)) {
        m_deviceObjectsInitialized = true;
        hr = restoreDeviceObjects();
        if (!hostFailed(hr)) {
            m_deviceObjectsRestored = true;
        }
    }
    if (hostFailed(hr)) {
        releaseDeviceObjects();
        return hr;
    }
    if (!m_frameMoving) {
        m_singleStep = true;
        m_timer(TimerCommand::Start);
        m_timer(TimerCommand::Stop);
    }
    return kHostOk;
}

void CD3DHostApp::cleanup3DEnvironment() {
    if (m_cleanedUp) {
        return;
    }
    m_cleanedUp = true;
    m_ready = false;
    releaseDeviceObjects();
    finalCleanup();
}

HostResult CD3DHostApp::resetForNewSize() {
    if (m_deviceObjectsRestored) {
        invalidateDeviceObjects();
        m_deviceObjectsRestored = false;
    }
    HostResult hr = resetDevice();
    if (hostFailed(hr)) {
        return hr;
    }
    hr = restoreDeviceObjects();
    if (hostFailed(hr)) {
        return hr;
    }
    m_deviceObjectsRestored = true;
    if (!m_frameMoving) {
        m_singleStep = true;
        m_timer(TimerCommand::Start);
        m_timer(TimerCommand::Stop);
    }
    return kHostOk;
}

HostResult CD3DHostApp::resizeBackBuffer(int width, int height) {
    if (width == m_backBufferWidth && height == m_backBufferHeight) {
        return kHostOk;
    }
    m_backBufferWidth = width;
    m_backBufferHeight = height;
    if (!m_deviceObjectsInitialized || m_cleanedUp) {
        return kHostOk;   // nothing made for the old size yet
    }
    m_ready = false;
    if (hostFailed(resetForNewSize())) {
        return showHostError(kHostResetFailed, HostErrorKind::Fatal);
    }
    m_ready = m_pauseCount == 0;
    return kHostOk;
}

HostResult CD3DHostApp::renderOneFrame() {
    switch (testCooperativeLevel()) {
    case DeviceState::Lost:
        return kHostOk;
    case DeviceState::NeedsReset:
        return resetForNewSize();
    case DeviceState::Ok:
        break;
    }

    const double appTime = m_timer(TimerCommand::ApplicationTime);
    const double elapsed = m_timer(TimerCommand::ElapsedTime);
    if (m_frameMoving && elapsed == 0.0) {
        return kHostOk;   // no time has passed: this frame would look like the last one
    }
    if (m_frameMoving || m_singleStep) {
        m_time = appTime;
        m_elapsedTime = elapsed;
        const HostResult hr = frameMove();
        if (hostFailed(hr)) {
            return hr;
        }
        m_singleStep = false;
    }

    const HostResult hr = render();
    if (hostFailed(hr)) {
        return hr;
    }
    updateStats();
    present();
    return kHostOk;
}

void CD3DHostApp::updateStats() {
    const double now = m_timer(TimerCommand::AbsoluteTime);
    if (m_framesSinceStat == 0 && m_lastStatTime == 0.0) {
        m_lastStatTime = now;   // the first frame starts the first second
    }
    ++m_framesSinceStat;
    if (now - m_lastStatTime > 1.0) {
        m_fps = static_cast<float>(m_framesSinceStat / (now - m_lastStatTime));
        m_lastStatTime = now;
        m_framesSinceStat = 0;
        m_frameStats = frameStatsText(m_fps, m_backBufferWidth, m_backBufferHeight, displayFormat(),
                                      m_useDepthBuffer, obtainedDepthFormat(), obtainedMultiSample());
    }
}

void CD3DHostApp::pauseHost(bool pause) {
    if (pause) {
        ++m_pauseCount;
    } else if (m_pauseCount > 0) {
        --m_pauseCount;   // an unmatched resume must not leave the count below zero
    } else {
        return;
    }
    m_ready = m_pauseCount == 0;
    if (pause && m_pauseCount == 1 && m_frameMoving) {
        m_timer(TimerCommand::Stop);
    }
    if (m_pauseCount == 0 && m_frameMoving) {
        m_timer(TimerCommand::Start);
    }
}

HostResult CD3DHostApp::switchScreenMode() {
    const AdapterRecord* adapter =
        m_enumeration.adapters.empty() ? nullptr : &m_enumeration.adapters[m_enumeration.currentAdapter];
    const bool canDoWindowed = adapter != nullptr && adapter->devices[adapter->currentDevice].canDoWindowed;
    if (m_windowed || canDoWindowed) {
        m_ready = false;
        m_windowed = !m_windowed;
        const HostResult hr = applyScreenMode(m_windowed);
        if (!hostFailed(hr)) {
            m_ready = m_pauseCount == 0;
            return kHostOk;
        }
        if (!m_windowed) {
            m_windowed = true;   // still in the window we had
            m_ready = m_pauseCount == 0;
            return hr;
        }
    }
    // Could not get back into a window: start again on a device that can.
    m_windowed = true;
    const HostResult hr = initialize3DEnvironment();
    if (hostFailed(hr)) {
        return showHostError(hr, HostErrorKind::Fatal);
    }
    m_ready = m_pauseCount == 0;
    return kHostOk;
}

bool CD3DHostApp::handleHostCommand(int command) {
    switch (command) {
    case kCmdChangeDevice:
        if (m_active && m_ready) {
            pauseHost(true);
            if (hostFailed(chooseDeviceDialog())) {
                return true;
            }
            pauseHost(false);
        }
        return true;
    case kCmdToggleFullScreen:
        if (m_active && m_ready) {
            pauseHost(true);
            if (hostFailed(switchScreenMode())) {
                showHostError(kHostResetFailed, HostErrorKind::Fatal);
                return true;
            }
            pauseHost(false);
        }
        return true;
    case kCmdToggleFrameMoving:
        m_frameMoving = !m_frameMoving;
        m_timer(m_frameMoving ? TimerCommand::Start : TimerCommand::Stop);
        return true;
    case kCmdSingleStep:
        m_timer(m_frameMoving ? TimerCommand::Stop : TimerCommand::Advance);
        m_frameMoving = false;
        m_singleStep = true;
        return true;
    case kCmdExit:
        closeHostWindow();
        return true;
    default:
        return false;
    }
}

HostResult CD3DHostApp::showHostError(HostResult code, HostErrorKind kind) {
    showHostMessage(m_windowTitle, hostErrorText(code, kind),
                    kind == HostErrorKind::Fatal ? MessageIcon::Error : MessageIcon::Warning);
    if (kind == HostErrorKind::Fatal) {
        // The final clean-up offers to save a modified land; a fatal error must not skip it.
        cleanup3DEnvironment();
        closeHostWindow();
    }
    return code;
}

}  // namespace lnd
