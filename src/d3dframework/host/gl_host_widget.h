// The rendering host on Qt: a QOpenGLWidget that is the host's back end. Frames run from the
// event loop: each presented frame asks for the next one, so there is no timer or thread,
// and a hidden or minimised window stops asking.
#pragma once

#include "d3dframework/host/gl_renderer.h"
#include "d3dframework/host/host_app.h"

#include <QOpenGLWidget>

class QAction;

namespace lnd {

class CD3DHostWidget : public QOpenGLWidget, public CD3DHostApp {
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

    // The host commands as actions for the owner's menus (change device, full screen,
    // frame moving, single step).
    QList<QAction*> hostActions() const { return m_actions; }

    GlRenderer& renderer() { return m_renderer; }
    std::string rendererName() const { return m_rendererName; }

signals:
    // The first frame that drew something has been presented.
    void framePresented();
    // The host wants the program to end (fatal error or the exit command).
    void closeRequested();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void changeEvent(QEvent* event) override;

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
    void contextGoing();

    GlRenderer m_renderer;
    std::string m_rendererName;
    std::uint32_t m_obtainedDepth = 0;
    int m_obtainedSamples = 0;
    bool m_continuous = true;
    bool m_drewFrame = false;
    bool m_closing = false;
    QList<QAction*> m_actions;
};

}  // namespace lnd
