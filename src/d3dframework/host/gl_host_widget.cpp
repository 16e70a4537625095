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
#include <QPlatformSurfaceEvent>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>

namespace lnd {

namespace {

constexpr unsigned kFramebufferAttachmentDepthSize = 0x8216;
constexpr unsigned kFramebufferAttachmentStencilSize = 0x8217;
// The default framebuffer names its buffers, not attachment points.
constexpr unsigned kDefaultDepthBuffer = 0x1801;
constexpr unsigned kDefaultStencilBuffer = 0x1802;

// The next frame, posted at low priority so input and window events queued meanwhile go first.
QEvent::Type frameEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QSurfaceFormat requestedFormat(bool useDepth, std::uint32_t depthFormat) {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(3, 3);
    f.setProfile(QSurfaceFormat::CoreProfile);
    // Per-frame steps must not speed up with the frame rate.
    f.setSwapInterval(1);
    const DepthBits bits = depthFormatBits(depthFormat);
    // No less depth than the picture was always drawn with: a 16-bit request would otherwise
    // take whatever the window system offers first.
    f.setDepthBufferSize(useDepth ? std::max(bits.depth, 24) : 0);
    f.setStencilBufferSize(useDepth ? bits.stencil : 0);
    return f;
}

}  // namespace

// The native window the frames are drawn into. It takes neither input nor focus: the pointer
// and keys reach the host widget under it, as they reach any other widget.
class CD3DHostWidget::Surface : public QWindow {
public:
    explicit Surface(CD3DHostWidget& host) : m_host(host) {
        setSurfaceType(QSurface::OpenGLSurface);
        setFlags(Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    }

protected:
    bool event(QEvent* event) override {
        switch (event->type()) {
        case QEvent::Expose:
        case QEvent::UpdateRequest:
        case QEvent::PlatformSurface:
            m_host.surfaceEvent(event);
            break;
        default:
            if (event->type() == frameEventType()) {
                m_host.surfaceEvent(event);
                return true;
            }
            break;
        }
        return QWindow::event(event);
    }

private:
    CD3DHostWidget& m_host;
};

CD3DHostWidget::CD3DHostWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(100, 100);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // The picture covers the widget: nothing of the widget's own needs painting under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    m_surface = new Surface(*this);
    m_container = QWidget::createWindowContainer(m_surface, this);
    m_container->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_container->setFocusPolicy(Qt::NoFocus);
    m_container->setGeometry(rect());

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
    if (on) requestFrame();
}

void CD3DHostWidget::requestFrame() {
    if (m_frameQueued || m_closing) {
        return;
    }
    m_frameQueued = true;
    QCoreApplication::postEvent(m_surface, new QEvent(frameEventType()), Qt::LowEventPriority);
}

void CD3DHostWidget::resizeEvent(QResizeEvent* event) {
    m_container->setGeometry(0, 0, event->size().width(), event->size().height());
    QWidget::resizeEvent(event);
}

void CD3DHostWidget::surfaceEvent(QEvent* event) {
    if (event->type() == QEvent::PlatformSurface) {
        // The native window goes (the widget leaves its window, or the window closes): the
        // context must not stay current on it.
        const auto* e = static_cast<QPlatformSurfaceEvent*>(event);
        if (e->surfaceEventType() == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed && m_context &&
            QOpenGLContext::currentContext() == m_context.get() && m_context->surface() == m_surface) {
            m_context->doneCurrent();
        }
        return;
    }
    if (event->type() == frameEventType()) {
        m_frameQueued = false;
    }
    if (m_closing || !m_surface->isExposed()) {
        return;   // a hidden or minimised window stops asking; the next exposure starts again
    }
    if (!drawFrame(true)) {
        return;   // no context: nothing will come of asking again
    }
    emit frameSwapped();
    if (m_continuous) {
        requestFrame();
    }
}

bool CD3DHostWidget::ensureContext() {
    if (m_context) {
        return true;
    }
    if (m_contextFailed) {
        return false;
    }
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(m_format);
    if (!context->create() || !context->makeCurrent(m_surface)) {
        m_contextFailed = true;
        showHostError(kHostNoContext, HostErrorKind::Fatal);
        return false;
    }
    m_context = std::move(context);
    return true;
}

void CD3DHostWidget::makeCurrent() {
    if (!m_context) {
        return;
    }
    if (m_surface->handle() != nullptr) {
        m_context->makeCurrent(m_surface);
        return;
    }
    if (!m_offscreen) {
        m_offscreen = std::make_unique<QOffscreenSurface>();
        m_offscreen->setFormat(m_context->format());
        m_offscreen->create();
    }
    m_context->makeCurrent(m_offscreen.get());
}

void CD3DHostWidget::doneCurrent() {
    if (m_context) {
        m_context->doneCurrent();
    }
}

bool CD3DHostWidget::drawFrame(bool show) {
    if (m_surface->handle() == nullptr || !ensureContext() || !m_context->makeCurrent(m_surface)) {
        return false;
    }
    if (!m_initialized) {
        m_initialized = true;
        initializeGL();
    }
    const QSize size = m_surface->size() * m_surface->devicePixelRatio();
    if (size != m_drawnSize) {
        m_drawnSize = size;
        resizeGL(size.width(), size.height());
    }
    m_presentWanted = false;
    paintGL();
    // A frame that drew nothing keeps showing the last one.
    if (show && m_presentWanted && !m_closing) {
        m_context->swapBuffers(m_surface);
    }
    return true;
}

QImage CD3DHostWidget::grabFramebuffer() {
    if (!m_initialized || m_closing || !drawFrame(false)) {
        return {};
    }
    auto* f = m_context->functions();
    const QSize size = m_drawnSize;
    QImage image(size, QImage::Format_RGBA8888);
    f->glBindFramebuffer(GL_FRAMEBUFFER, m_context->defaultFramebufferObject());
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    f->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    // GL's rows run bottom up; the picture is opaque whatever alpha the buffer holds.
    image = image.mirrored().convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(m_surface->devicePixelRatio());
    return image;
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
    m_format = requestedFormat(m_useDepthBuffer, m_depthFormat);
    m_surface->setFormat(m_format);
    return kHostOk;
}

void CD3DHostWidget::shutdownHost() {
    if (m_closing) {
        return;
    }
    m_closing = true;
    if (context() != nullptr) {
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
    std::string error;
    if (!m_renderer.initialize(error)) {
        showHostError(kHostNoContext, HostErrorKind::Fatal);
        return;
    }
    auto* f = context()->functions();
    GLint depth = 0, stencil = 0, samples = 0;
    f->glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, kDefaultDepthBuffer, kFramebufferAttachmentDepthSize,
                                             &depth);
    f->glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, kDefaultStencilBuffer,
                                             kFramebufferAttachmentStencilSize, &stencil);
    f->glGetIntegerv(GL_SAMPLES, &samples);
    while (f->glGetError() != GL_NO_ERROR) {
    }
    m_obtainedDepth = depthFormatFromBits(depth, stencil);
    m_obtainedSamples = samples;

    const QSize size = m_surface->size() * m_surface->devicePixelRatio();
    m_backBufferWidth = size.width();
    m_backBufferHeight = size.height();
    const HostResult hr = initialize3DEnvironment();
    if (hostFailed(hr)) {
        showHostError(hr, HostErrorKind::Fatal);
    }
}

void CD3DHostWidget::resizeGL(int w, int h) { resizeBackBuffer(w, h); }

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
    // The frame is shown (buffers swapped) once the collected draws are sent.
    m_presentWanted = true;
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
    QWidget::changeEvent(event);
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
