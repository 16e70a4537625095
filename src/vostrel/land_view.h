// The three-dimensional land view: the host's owner. Each host frame it hands the input to
// the terrain view, gets back the frame's plan and draws it: terrain blocks, cursor model,
// brush sphere; the status lines go to whoever shows them (the main window's status bar).
#pragma once

#include "vostrel/key_state.h"
#include "d3dframework/host/file_mesh.h"
#include "d3dframework/host/gl_host_widget.h"
#include "session/editor_session.h"
#include "tools/heightmap.h"
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

enum class EditMode { Viewer, LandEditor, ScriptEditor };

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
    // Opens `path` in place of the land shown; the land stays when the file cannot be
    // opened. Shows nothing: the window puts the result into words.
    Result openLand(const std::string& path);

    // Replaces the mouse and keys by a script (screenshot and benchmark runs).
    void setScript(const ScriptedView& script);

    void setWireframe(bool on) { m_view.setWireframe(on); }
    bool wireframe() const { return m_view.wireframe(); }
    // The brush keys and the brush sphere work in the land editor only.
    void setEditMode(EditMode mode);
    EditMode editMode() const { return m_editMode; }
    // The brush the brush keys use (the brush pane's selection); null for none.
    void setSelectedBrush(const CBrushDef* brush) { m_selectedBrush = brush; }

    // The brush tool: where the pick put it (the block and centre, kept while a menu or
    // dialog is open), its radius and strength from the dialog bar, the level value and the
    // brush last used. Commands take a copy of it.
    BrushStep& brushTool() { return m_brushTool; }
    const BrushStep& brushTool() const { return m_brushTool; }

    // Edits with the view's meshes; each has the renderer drop the copies they replaced and
    // tells landEdited. One step of the brush tool in `mode`: the blocks it changed.
    std::vector<int> brushStep(int mode);
    bool undoStroke();
    bool redoStroke();
    // Lays a picture onto the land's altitudes as one step of the brush history, so undo
    // takes the whole import back. On failure the land is untouched.
    Result importHeightmap(const GreyImage& picture, const HeightmapImportOptions& options);
    // A country map onto the cells' countries, one step of the same history; on failure the
    // land is untouched.
    Result importCountryMap(const CImageBase& picture, const CountryMapImportOptions& options);
    // The session the edits run through: the exports, and the dialogs that edit countries.
    const EditorSession& session() const { return m_session; }
    EditorSession& session() { return m_session; }
    bool deleteBlock();     // asks first
    bool levelBrush();      // asks first
    void initializeMap();
    // After a dialog changed cells, tables or block textures: the drawn copies are dropped
    // and the window hears of the edit.
    void landChangedOutside();
    int importNoiseMap(const std::string& path);
    int saveLand(const std::string& path, bool quick);
    // Block records without a synthesised texture (what a full save would synthesise).
    std::vector<int> blocksWithoutTexture() const;
    void synthesizeBlock(int block);

    // The point under the pointer (x = -1 for none) and the block there (-1 for none).
    glm::vec3 pickedPoint() const { return m_view.picker().m_hitPoint; }
    // How many times the device objects were built from scratch (a size change builds none).
    int deviceObjectBuilds() const { return m_deviceObjectBuilds; }

    CTerrainView& terrainView() { return m_view; }
    const std::string& statusText() const { return m_status; }

signals:
    void statusTextChanged(const QString& text);
    // The user asked for the context menu at this screen position.
    void contextMenuRequested(const QPoint& globalPos);
    // The land's cells or history changed (brush step, undo, deletion, level, import).
    void landEdited();
    // The block under the pointer or whether a point is picked changed.
    void pickChanged();

protected:
    HostResult restoreDeviceObjects() override;
    HostResult render() override;
    HostResult invalidateDeviceObjects() override;
    HostResult deleteDeviceObjects() override;
    HostResult finalCleanup() override;

    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void showHostMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
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
    // Before a command: the device objects each block has. After it: the renderer's copies of
    // what the session says changed are dropped (all of them when the whole land changed).
    void snapshotMirrors();
    void forgetChangedMirrors(bool wholeLand = false);
    // One error box per tile the device could not copy since the last report.
    void reportTileCopyFailures();
    // Runs an edit with the context current and the renderer's copies of the land's
    // objects dropped afterwards.
    template <typename Edit>
    auto withContext(Edit edit, bool wholeLand = false);
    void drawPlan(const FramePlan& plan);
    void drawCursorModel(const Matrix& world);
    void makeCursorModel();
    void showZoneCursor();

    CLand& m_land;
    CSettings& m_settings;
    UserMessages& m_messages;
    CTerrainView m_view;
    // Every edit command of the view runs through the session (the view owns the mesh it
    // draws, the program the land).
    EditorSession m_session{m_land, m_view.mesh()};
    FrameInput m_input;
    FramePlan m_plan;   // kept between frames so its lists keep their storage
    KeyStateTable m_keys;
    CD3DFile_Mesh m_cursor{"CD3DFile_Mesh"};
    bool m_cursorMissingSaid = false;
    const DeviceMesh* m_drawnSphere = nullptr;   // the sphere mesh the renderer mirrors
    int m_drawnSphereRadius = 0;
    EditMode m_editMode = EditMode::Viewer;
    const CBrushDef* m_selectedBrush = nullptr;
    BrushStep m_brushTool;
    // Device objects made and not deleted since: a restore after a size change keeps them.
    bool m_deviceObjectsBuilt = false;
    int m_deviceObjectBuilds = 0;
    int m_lastPickedBlock = -1;
    bool m_lastPicked = false;
    std::optional<ScriptedView> m_script;
    bool m_scriptPoseTaken = false;
    bool m_inputBlocked = false;
    // Addresses of every block's device objects, taken before a brush step so the renderer
    // can drop the copies of the ones the step replaced.
    std::vector<const void*> m_beforeBrush;
    std::string m_status;
};

}  // namespace lnd
