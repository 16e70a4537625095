// CGLWindow: Clayvane's window and OpenGL context on Qt. It records keys and buttons into the
// core's table, draws a frame whenever Qt asks and asks for the next one after every swap.
#pragma once

#include "sculpt/gl_renderer.h"
#include "sculpt/screen_saver.h"
#include "sculpt/sculpting_app.h"

#include <QElapsedTimer>
#include <QOpenGLWindow>

#include <memory>
#include <string>

namespace clay {

// A scripted run (tests, benchmarks, screenshots): what to do once the textures are made.
struct SScript {
    bool enabled = false;
    std::string screenshot;   // PNG written from the last frame
    int frames = 1;           // frames drawn after the textures are ready
    bool reportSpeed = false;
    int pressX = -1, pressY = -1, pressFrames = 0;   // left button held at a client pixel
    std::string saveTo;
    bool firstFrame = false;   // shoot the first frame, drawn while the start-up textures are made
    bool retexture = false;    // after the frames press T and shoot the first frame of that pass
};

class CGLWindow : public QOpenGLWindow {
    Q_OBJECT
public:
    CGLWindow(CSculptingApp& app, CShell& shell, SScript script);
    ~CGLWindow() override;

    int ExitCode() const { return m_exitCode; }
    // Frees the GL resources while the context still exists.
    void ReleaseGL();
    // A compatibility-profile format: 32-bit colour, 16-bit depth, double buffer, interval 1.
    static QSurfaceFormat Format();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void OnFrameSwapped();
    void OnStateChanged(Qt::WindowState state);
    void ScriptBeforeFrame();
    void ScriptAfterFrame();
    void ScriptFinish();
    void Button(Qt::MouseButton button, bool down);
    static int VirtualKey(int qtKey);

    CSculptingApp& m_app;
    CShell& m_shell;
    CGLRenderer m_renderer;
    SScript m_script;
    bool m_lastPassDrew = false;
    bool m_inAfterFrame = false;
    bool m_glReady = false;
    int m_scriptFrame = 0;
    int m_retexturePhase = 0;   // 1: T is pressed for the next frame, 2: its texture pass runs
    int m_exitCode = 0;
    QElapsedTimer m_timer;
    std::unique_ptr<CScreenSaverBus> m_screenSaverBus;
    CScreenSaverHold m_screenSaver;   // held while the window is active
};

}  // namespace clay
