#include "sculpt/gl_window.h"

#include "sculpt/screen_saver_dbus.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>

namespace clay {

CGLWindow::CGLWindow(CSculptingApp& app, CShell& shell, SScript script)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate), m_app(app), m_shell(shell), m_script(std::move(script)),
      m_screenSaverBus(SessionScreenSaverBus()), m_screenSaver(m_screenSaverBus.get()) {
    setFormat(Format());
    connect(this, &QWindow::activeChanged, this, [this] { m_screenSaver.SetActive(isActive()); });
    setTitle(QString::fromLatin1(kAppTitle));
    connect(this, &QOpenGLWindow::frameSwapped, this, &CGLWindow::OnFrameSwapped);
    connect(this, &QWindow::windowStateChanged, this, &CGLWindow::OnStateChanged);
}

CGLWindow::~CGLWindow() = default;

QSurfaceFormat CGLWindow::Format() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setRedBufferSize(8);
    f.setGreenBufferSize(8);
    f.setBlueBufferSize(8);
    f.setAlphaBufferSize(8);
    f.setDepthBufferSize(16);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    f.setSwapInterval(1);
    return f;
}

void CGLWindow::ReleaseGL() {
    if (!m_glReady) return;
    makeCurrent();
    m_renderer.DeleteAll();
    doneCurrent();
    m_glReady = false;
}

void CGLWindow::initializeGL() {
    m_renderer.InitState();
    m_app.UploadDataFiles(m_renderer);
    m_app.LandStartUp(m_renderer);
    m_glReady = true;
}

void CGLWindow::resizeGL(int w, int h) {
    m_app.Resize(w, h);
    const qreal ratio = devicePixelRatio();
    m_renderer.Resize(int(w * ratio), int(h * ratio));
}

void CGLWindow::paintGL() {
    if (m_script.enabled) ScriptBeforeFrame();
    m_lastPassDrew = m_app.Pass(m_renderer);
    if (m_script.enabled) ScriptAfterFrame();
}

void CGLWindow::OnFrameSwapped() {
    if (m_lastPassDrew && !m_inAfterFrame && !m_script.enabled) {
        // Dialogs opened here run their own event loop; a frame painted meanwhile must not
        // serve the same requests again.
        m_inAfterFrame = true;
        makeCurrent();
        m_app.AfterFrame(m_shell, m_renderer);
        m_inAfterFrame = false;
    }
    if (m_app.m_input.active) update();
}

void CGLWindow::OnStateChanged(Qt::WindowState state) {
    const bool wasActive = m_app.m_input.active;
    m_app.m_input.active = state != Qt::WindowMinimized;
    if (m_app.m_input.active && !wasActive) update();
}

int CGLWindow::VirtualKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Escape: return kKeyEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kKeyEnter;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Down: return kKeyDown;
    case Qt::Key_F1: return kKeyF1;
    case Qt::Key_F2: return kKeyF2;
    case Qt::Key_Control: return kKeyCtrl;
    default: break;
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) return qtKey;
    return -1;
}

void CGLWindow::keyPressEvent(QKeyEvent* e) {
    // A repeated press sets the flag again, so the keys that act once repeat with the keyboard.
    const int code = VirtualKey(e->key());
    if (code >= 0) m_app.SetKey(code, true);
    e->accept();
}

void CGLWindow::keyReleaseEvent(QKeyEvent* e) {
    // The releases of the keyboard's own repeat come with the key still held.
    if (e->isAutoRepeat()) return;
    const int code = VirtualKey(e->key());
    if (code >= 0) m_app.SetKey(code, false);
    e->accept();
}

void CGLWindow::Button(Qt::MouseButton button, bool down) {
    if (button == Qt::LeftButton) m_app.m_input.left = down;
    else if (button == Qt::RightButton) m_app.m_input.right = down;
    else if (button == Qt::MiddleButton) m_app.m_input.middle = down;
}

void CGLWindow::mousePressEvent(QMouseEvent* e) {
    m_app.m_input.mouse[0] = float(e->position().x());
    m_app.m_input.mouse[1] = float(e->position().y());
    Button(e->button(), true);
}

void CGLWindow::mouseReleaseEvent(QMouseEvent* e) {
    m_app.m_input.mouse[0] = float(e->position().x());
    m_app.m_input.mouse[1] = float(e->position().y());
    Button(e->button(), false);
}

void CGLWindow::mouseMoveEvent(QMouseEvent* e) {
    m_app.m_input.mouse[0] = float(e->position().x());
    m_app.m_input.mouse[1] = float(e->position().y());
}

// A scripted run's input comes from its script alone: another window on the display taking
// the focus does not let go of the button the script holds.
void CGLWindow::focusOutEvent(QFocusEvent*) {
    if (!m_script.enabled) m_app.ClearInput();
}

void CGLWindow::ScriptBeforeFrame() {
    if (m_app.Synthesising()) return;
    // The pointer and button go through the window's own event handlers, as a user's would.
    const QPointF at(m_script.pressX, m_script.pressY);
    if (m_scriptFrame == 0) {
        m_timer.start();
        if (m_script.pressX >= 0) {
            QMouseEvent move(QEvent::MouseMove, at, mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(this, &move);
        }
        if (m_script.pressFrames > 0) {
            QMouseEvent press(QEvent::MouseButtonPress, at, mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(this, &press);
        }
    }
    if (m_script.pressFrames > 0 && m_scriptFrame == m_script.pressFrames) {
        QMouseEvent release(QEvent::MouseButtonRelease, at, mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(this, &release);
    }
}

void CGLWindow::ScriptAfterFrame() {
    if (!m_lastPassDrew) return;
    if (m_app.TexturingShown()) {
        if (m_script.firstFrame || m_retexturePhase == 2) ScriptFinish();
        return;
    }
    if (m_scriptFrame == 0 && !m_timer.isValid()) return;   // this frame finished the textures
    ++m_scriptFrame;
    const int total = std::max(m_script.frames, m_script.pressFrames + 1);
    if (m_scriptFrame < total) return;
    if (m_script.retexture && m_retexturePhase == 0) {
        // The key goes through the core as a user's press would: the next frame sees it
        // pending, the requests and keys after it start the texture pass.
        m_app.SetKey('T', true);
        m_retexturePhase = 1;
        return;
    }
    if (m_retexturePhase == 1) {
        m_app.AfterFrame(m_shell, m_renderer);
        m_retexturePhase = 2;
        return;
    }
    ScriptFinish();
}

void CGLWindow::ScriptFinish() {
    if (m_script.reportSpeed) {
        const double ms = double(m_timer.nsecsElapsed()) / 1e6;
        std::printf("Clayvane: %d frames in %.1f ms (%.1f frames per second)\n", m_scriptFrame, ms,
                    ms > 0 ? 1000.0 * m_scriptFrame / ms : 0.0);
        std::fflush(stdout);
    }
    if (!m_script.saveTo.empty() && !m_app.Save(m_script.saveTo, m_shell)) m_exitCode = 1;
    if (!m_script.screenshot.empty()) {
        const qreal ratio = devicePixelRatio();
        const int w = int(width() * ratio), h = int(height() * ratio);
        const std::vector<std::uint8_t> pixels = m_renderer.ReadPixels(w, h);
        QImage image(pixels.data(), w, h, w * 4, QImage::Format_RGBA8888);
        if (!image.convertToFormat(QImage::Format_RGB32).save(QString::fromStdString(m_script.screenshot))) {
            std::fprintf(stderr, "Clayvane: cannot write %s\n", m_script.screenshot.c_str());
            m_exitCode = 1;
        }
    }
    m_script.enabled = false;
    QTimer::singleShot(0, qApp, [code = m_exitCode] { QCoreApplication::exit(code); });
}

}  // namespace clay
