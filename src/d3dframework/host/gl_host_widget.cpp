#include "d3dframework/host/gl_host_widget.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QRadioButton>
#include <QScreen>
#include <QSurfaceFormat>
#include <QTimer>

namespace lnd {

namespace {

constexpr unsigned kFramebufferAttachmentDepthSize = 0x8216;
constexpr unsigned kFramebufferAttachmentStencilSize = 0x8217;

QSurfaceFormat requestedFormat(bool useDepth, std::uint32_t depthFormat) {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(3, 3);
    f.setProfile(QSurfaceFormat::CoreProfile);
    // Per-frame steps must not speed up with the frame rate.
    f.setSwapInterval(1);
    const DepthBits bits = depthFormatBits(depthFormat);
    f.setDepthBufferSize(useDepth ? std::max(bits.depth, 16) : 0);
    f.setStencilBufferSize(useDepth ? bits.stencil : 0);
    return f;
}

}  // namespace

CD3DHostWidget::CD3DHostWidget(QWidget* parent) : QOpenGLWidget(parent) {
    setMinimumSize(100, 100);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // A frame that draws nothing keeps showing the last one.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
        if (m_continuous && !m_closing) update();
    });

    struct Command {
        const char* text;
        int id;
        QKeySequence keys;
    };
    const Command commands[] = {
        {"Change device...", kCmdChangeDevice, QKeySequence(Qt::Key_F2)},
        {"Toggle full screen", kCmdToggleFullScreen, QKeySequence(Qt::ALT | Qt::Key_Return)},
        {"Toggle frame moving", kCmdToggleFrameMoving, QKeySequence()},
        {"Single step", kCmdSingleStep, QKeySequence()},
    };
    for (const Command& c : commands) {
        auto* action = new QAction(QString::fromLatin1(c.text), this);
        action->setShortcut(c.keys);
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { handleHostCommand(id); });
        m_actions.push_back(action);
    }
}

CD3DHostWidget::~CD3DHostWidget() { shutdownHost(); }

void CD3DHostWidget::setContinuous(bool on) {
    m_continuous = on;
    if (on) update();
}

HostResult CD3DHostWidget::startHost() {
    // A throwaway context tells whether the platform can give us what the renderer needs,
    // and its renderer string names the device.
    QOpenGLContext probe;
    probe.setFormat(requestedFormat(false, 0));
    QOffscreenSurface surface;
    surface.setFormat(probe.format());
    surface.create();
    const bool ok = probe.create() && probe.format().version() >= qMakePair(3, 3) &&
                    probe.format().profile() == QSurfaceFormat::CoreProfile && probe.makeCurrent(&surface);
    if (!ok) {
        return showHostError(kHostNoContext, HostErrorKind::Fatal);
    }
    const auto* name = reinterpret_cast<const char*>(probe.functions()->glGetString(GL_RENDERER));
    m_rendererName = name ? name : "OpenGL";
    probe.doneCurrent();

    const HostResult hr = createHost();
    if (hostFailed(hr)) {
        return hr;
    }
    setFormat(requestedFormat(m_useDepthBuffer, m_depthFormat));
    return kHostOk;
}

void CD3DHostWidget::shutdownHost() {
    if (m_closing) {
        return;
    }
    m_closing = true;
    if (context() != nullptr) {
        // The context outlives this object's members; it must not call back into them.
        disconnect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CD3DHostWidget::contextGoing);
        makeCurrent();
    }
    cleanup3DEnvironment();
    m_renderer.releaseAll();
    if (context() != nullptr) {
        doneCurrent();
    }
}

std::vector<AdapterFacts> CD3DHostWidget::queryAdapters() {
    std::vector<AdapterFacts> adapters;
    for (QScreen* screen : QGuiApplication::screens()) {
        AdapterFacts a;
        a.identifier = (screen->name() + " " + screen->model()).trimmed().toStdString();
        const QSize size = screen->size() * screen->devicePixelRatio();
        a.desktop = {size.width(), size.height(), displayFormatFromDepth(screen->depth())};
        // Qt reports the screen's current mode only.
        a.modes = {a.desktop};
        DeviceFacts d;
        d.type = DeviceType::Hardware;
        d.description = m_rendererName;
        d.fullScreenFormats = {a.desktop.format};
        // The context is asked for the chosen depth format; what it really has shows later.
        d.depthFormats = {kDepthD16, kDepthD15S1, kDepthD24X8, kDepthD24S8, kDepthD24X4S4, kDepthD32};
        a.devices = {d};
        adapters.push_back(std::move(a));
    }
    return adapters;
}

void CD3DHostWidget::initializeGL() {
    if (m_closing) {
        return;
    }
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CD3DHostWidget::contextGoing,
            Qt::UniqueConnection);
    std::string error;
    if (!m_renderer.initialize(error)) {
        showHostError(kHostNoContext, HostErrorKind::Fatal);
        return;
    }
    auto* f = context()->functions();
    GLint depth = 0, stencil = 0, samples = 0;
    f->glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, kFramebufferAttachmentDepthSize,
                                             &depth);
    f->glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT,
                                             kFramebufferAttachmentStencilSize, &stencil);
    f->glGetIntegerv(GL_SAMPLES, &samples);
    while (f->glGetError() != GL_NO_ERROR) {
    }
    m_obtainedDepth = depthFormatFromBits(depth, stencil);
    m_obtainedSamples = samples;

    const qreal dpr = devicePixelRatio();
    m_backBufferWidth = int(width() * dpr);
    m_backBufferHeight = int(height() * dpr);
    const HostResult hr = initialize3DEnvironment();
    if (hostFailed(hr)) {
        showHostError(hr, HostErrorKind::Fatal);
    }
}

void CD3DHostWidget::contextGoing() {
    // The widget moved to another window (or is going): everything on the old context dies
    // with it, so the device objects are released now and made again on the new context.
    if (m_closing) {
        return;
    }
    makeCurrent();
    if (deviceObjectsLive()) {
        invalidateDeviceObjects();
        deleteDeviceObjects();
    }
    m_renderer.releaseAll();
    doneCurrent();
}

void CD3DHostWidget::resizeGL(int w, int h) {
    const qreal dpr = devicePixelRatio();
    resizeBackBuffer(int(w * dpr), int(h * dpr));
}

DeviceState CD3DHostWidget::testCooperativeLevel() {
    if (context() == nullptr || !context()->isValid() || !m_renderer.initialized()) {
        return DeviceState::Lost;
    }
    return DeviceState::Ok;
}

bool CD3DHostWidget::deviceExists() const {
    return context() != nullptr && context()->isValid() && m_renderer.initialized();
}

HostResult CD3DHostWidget::resetDevice() {
    // The widget's framebuffer follows the widget; only the viewport needs the new size,
    // and the frame sets it.
    return deviceExists() ? kHostOk : kHostResetFailed;
}

void CD3DHostWidget::present() {
    // Qt presents the framebuffer after paintGL returns.
}

void CD3DHostWidget::paintGL() {
    if (m_closing || !deviceExists()) {
        return;
    }
    const HostResult hr = renderOneFrame();
    // The owner's draws are collected by the renderer; they reach the framebuffer here,
    // before Qt presents it.
    m_renderer.endFrame();
    if (hostFailed(hr)) {
        closeHostWindow();
        return;
    }
    if (!m_drewFrame && deviceObjectsLive()) {
        m_drewFrame = true;
        QTimer::singleShot(0, this, [this] { emit framePresented(); });
    }
}

void CD3DHostWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        setActive(!(window()->windowState() & Qt::WindowMinimized));
    }
    QOpenGLWidget::changeEvent(event);
}

HostResult CD3DHostWidget::applyScreenMode(bool windowed) {
    QWidget* top = window();
    if (windowed) {
        top->showNormal();
    } else {
        top->showFullScreen();
    }
    return kHostOk;
}

HostResult CD3DHostWidget::chooseDeviceDialog() {
    const Enumeration& e = enumeration();
    if (e.adapters.empty()) {
        return kHostNoCompatibleDevices;
    }
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Select Device"));
    auto* form = new QFormLayout(&dialog);
    auto* adapterBox = new QComboBox(&dialog);
    auto* deviceBox = new QComboBox(&dialog);
    auto* modeBox = new QComboBox(&dialog);
    auto* sampleBox = new QComboBox(&dialog);
    for (const AdapterRecord& a : e.adapters) adapterBox->addItem(QString::fromStdString(a.identifier));
    adapterBox->setCurrentIndex(int(e.currentAdapter));
    const AdapterRecord& adapter = e.adapters[e.currentAdapter];
    for (const DeviceRecord& d : adapter.devices) deviceBox->addItem(QString::fromStdString(d.description));
    const DeviceRecord& device = adapter.devices[adapter.currentDevice];
    for (const DisplayMode& m : device.modes) modeBox->addItem(QString::fromStdString(displayModeText(m)));
    modeBox->setCurrentIndex(int(device.currentMode));
    sampleBox->addItem(QString::fromStdString(multiSampleText(m_obtainedSamples)));
    auto* windowedChoice = new QRadioButton(QStringLiteral("Windowed"), &dialog);
    auto* fullChoice = new QRadioButton(QStringLiteral("Full screen"), &dialog);
    windowedChoice->setEnabled(device.canDoWindowed);
    (windowed() ? windowedChoice : fullChoice)->setChecked(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(QStringLiteral("Adapter"), adapterBox);
    form->addRow(QStringLiteral("Device"), deviceBox);
    form->addRow(QStringLiteral("Mode"), modeBox);
    form->addRow(QStringLiteral("Multisample"), sampleBox);
    form->addRow(windowedChoice);
    form->addRow(fullChoice);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return kHostOk;
    }
    const bool wantWindowed = windowedChoice->isChecked();
    if (wantWindowed != windowed()) {
        return switchScreenMode();
    }
    // The same device again: its objects are made anew, as after any device change.
    makeCurrent();
    const HostResult hr = initialize3DEnvironment();
    doneCurrent();
    return hr;
}

void CD3DHostWidget::closeHostWindow() {
    // Not from inside a frame: let the current event finish first.
    QTimer::singleShot(0, this, [this] {
        emit closeRequested();
        window()->close();
    });
}

void CD3DHostWidget::showHostMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.exec();
}

}  // namespace lnd
