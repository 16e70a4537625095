// The three-dimensional land view: the host's owner. Each host frame it hands the input to
// the terrain view, gets back the frame's plan and draws it: terrain blocks, cursor model,
// brush sphere; the status lines go to whoever shows them (the main window's status bar).
#pragma once

#include "vostrel/key_state.h"
#include "d3dframework/host/file_mesh.h"
#include "d3dframework/host/gl_host_widget.h"
#include "view/terrain_view.h"

#include <QPointF>

#include <optional>
#include <string>
#include <vector>

namespace lnd {

class CLand;
class CSettings;
class UserMessages;
struct CBrushDef;

// A scripted run for screenshots and speed measurements: a fixed start pose, a pointer that
// stays put, and a flight that adds the same movement to the navigator every frame.
struct ScriptedView {
    std::optional<glm::vec3> eye;          // with heading and pitch (radians) instead of the home view
    float heading = 0.0f;
    float pitch = 0.0f;
    std::optional<QPointF> pointer;        // client coordinates; none: no picking
    float flyForward = 0.0f;               // units per frame toward the target
    float flyTurn = 0.0f;                  // radians per frame
    std::string heldKeys;                  // characters whose keys are held down throughout
};

class CRFrame : public CD3DHostWidget {
    Q_OBJECT
public:
    CRFrame(CLand& land, CSettings& settings, UserMessages& messages, QWidget* parent = nullptr);
    ~CRFrame() override;

    // CLand::Load, then the view's part of a new land: textures, meshes, home view. False
    // when the load failed (it has said why); no land is held then.
    bool openLand(const std::string& path);

    // Replaces the mouse and keys by a script (screenshot and benchmark runs).
    void setScript(const ScriptedView& script);

    void setWireframe(bool on) { m_view.setWireframe(on); }
    bool wireframe() const { return m_view.wireframe(); }
    // 0 viewer, 1 land editor: the brush keys and the brush sphere work in the editor only.
    void setEditMode(int mode);
    int editMode() const { return m_editMode; }

    CTerrainView& terrainView() { return m_view; }
    const std::string& statusText() const { return m_status; }

signals:
    void statusTextChanged(const QString& text);
    // The user wants the modified land saved before the end; handled before the land's
    // meshes go, so the save can still fold their heights back.
    void saveAsRequested();

protected:
    HostResult restoreDeviceObjects() override;
    HostResult render() override;
    HostResult invalidateDeviceObjects() override;
    HostResult deleteDeviceObjects() override;
    HostResult finalCleanup() override;

    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool inputBlocked() const;
    void takeScriptedPose();
    void prepareInput();
    void applyBrushKeys(BrushKeys keys);
    void drawPlan(const FramePlan& plan);
    void drawCursorModel(const Matrix& world);
    void makeCursorModel();
    void showZoneCursor();

    CLand& m_land;
    CSettings& m_settings;
    UserMessages& m_messages;
    CTerrainView m_view;
    FrameInput m_input;
    FramePlan m_plan;   // kept between frames so its lists keep their storage
    KeyStateTable m_keys;
    CD3DFile_Mesh m_cursor{"CD3DFile_Mesh"};
    bool m_cursorMissingSaid = false;
    const DeviceMesh* m_drawnSphere = nullptr;   // the sphere mesh the renderer mirrors
    int m_drawnSphereRadius = 0;
    int m_editMode = 0;
    std::optional<ScriptedView> m_script;
    bool m_scriptPoseTaken = false;
    bool m_inputBlocked = false;
    // Addresses of every block's device objects, taken before a brush step so the renderer
    // can drop the copies of the ones the step replaced.
    std::vector<const void*> m_beforeBrush;
    std::string m_status;
};

}  // namespace lnd
