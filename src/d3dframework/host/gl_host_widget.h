// The rendering host on Qt: a widget that is the host's back end. Frames run from the event
// loop: each drawn frame asks for the next one, so there is no timer or thread, and a hidden
// or minimised window stops asking.
//
// The picture is drawn straight into a native child window of its own, which the widget
// holds and which takes no input: the widget keeps the focus, the keys and the mouse, and
// the window's other widgets are never composed with the picture. (A widget that renders
// into a texture makes the toolkit compose the texture and the window's backing store into
// the window every frame: two window-sized textured quads, as dear as the terrain itself
// to a software rasteriser.)
#pragma once

#include "d3dframework/host/gl_renderer.h"
#include "d3dframework/host/host_app.h"

#include <QImage>
#include <QSurfaceFormat>
#include <QWidget>

#include <memory>

class QAction;
class QOffscreenSurface;
class QOpenGLContext;

namespace lnd {

class CD3DHostWidget : public QWidget, public CD3DHostApp {
    Q_OBJECT
public:
    explicit CD3DHostWidget(QWidget* parent = nullptr);
    ~CD3DHostWidget() override;

    // Probes for a usable context, then createHost(): the surface format is requested from
    // the depth settings. Call before the widget is first shown. Failures are shown as fatal.
    HostResult startHost();
    // Runs the clean-up (device objects, final clean-up) with the context current.
    void shutdownHost();

    // Keep drawing frame after frame (on by default); off draws only on request.
    void setContinuous(bool on);
    // Asks for one more frame, drawn from the event loop (requests before it merge).
    void requestFrame();

    // The context the view draws with: none until the view is first shown.
    QOpenGLContext* context() const { return m_context.get(); }
    // Makes the context current on the view's window (or, while that has no native window,
    // on a small offscreen surface) for work on device objects outside a frame.
    void makeCurrent();
    void doneCurrent();
    // Draws a frame and reads it back, without showing it; null before the first frame.
    QImage grabFramebuffer();

    // The host commands as actions for the owner's menus (change device, full screen,
    // frame moving, single step).
    QList<QAction*> hostActions() const { return m_actions; }

    GlRenderer& renderer() { return m_renderer; }
    std::string rendererName() const { return m_rendererName; }

signals:
    // The first frame that drew something has been presented.
    void framePresented();
    // A frame went through (drawn and shown, or nothing to draw and the last one kept).
    void frameSwapped();
    // The host wants the program to end (fatal error or the exit command).
    void closeRequested();

protected:
    // With the context current: once before the first frame, when the drawing area has a new
    // size (in device pixels) and for each frame.
    virtual void initializeGL();
    virtual void resizeGL(int w, int h);
    virtual void paintGL();
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    std::vector<AdapterFacts> queryAdapters() override;
    DeviceState testCooperativeLevel() override;
    bool deviceExists() const override;
    HostResult resetDevice() override;
    void present() override;
    HostResult applyScreenMode(bool windowed) override;
    HostResult chooseDeviceDialog() override;
    void closeHostWindow() override;
    void showHostMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    std::uint32_t obtainedDepthFormat() const override { return m_obtainedDepth; }
    int obtainedMultiSample() const override { return m_obtainedSamples; }

private:
    class Surface;
    friend class Surface;
    // From the native window: it was exposed, a frame is due, or its native window goes.
    void surfaceEvent(QEvent* event);
    // Draws one frame and shows it when something was drawn; false when the context could
    // not be made current (nothing drawn).
    bool drawFrame(bool show);
    bool ensureContext();

    GlRenderer m_renderer;
    Surface* m_surface = nullptr;        // owned by m_container
    QWidget* m_container = nullptr;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_offscreen;
    QSurfaceFormat m_format;
    QSize m_drawnSize;                   // device pixels resizeGL last saw
    bool m_initialized = false;
    bool m_frameQueued = false;
    bool m_presentWanted = false;
    bool m_contextFailed = false;
    std::string m_rendererName;
    std::uint32_t m_obtainedDepth = 0;
    int m_obtainedSamples = 0;
    bool m_continuous = true;
    bool m_drewFrame = false;
    bool m_closing = false;
    QList<QAction*> m_actions;
};

}  // namespace lnd
