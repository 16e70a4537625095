#include "vostrel/land_view.h"

#include "vostrel/shell_messages.h"
#include "base/data_paths.h"
#include "base/messages.h"
#include "base/settings.h"
#include "land/land.h"
#include "land/land_settings.h"
#include "session/shell_words.h"
#include "view/terrain_land.h"
#include "textures/exports.h"
#include "textures/synthesis.h"
#include "tools/altitude_brush.h"
#include "tools/block_deletion.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>

#include <cmath>

namespace lnd {

CRFrame::CRFrame(CLand& land, CSettings& settings, UserMessages& messages, QWidget* parent)
    : CD3DHostWidget(parent), m_land(land), m_settings(settings), m_messages(messages) {
    m_windowTitle = kViewWindowTitle;
    m_useDepthBuffer = true;
    m_view.readKeyTable(settings);
    // The view's own attach also forgets remembered synthesis failures of edited blocks.
    m_view.attach(land);


    // Nothing is polled while a menu or dialog is open.
    m_input.keyDown = [this](int vk) { return !m_inputBlocked && m_keys.isDown(vk); };
    m_view.navigator().setClientRect(0, 0, width(), height());
}

CRFrame::~CRFrame() { shutdownHost(); }

Result CRFrame::openLand(const std::string& path) {
    // The session reads and checks the file before anything of the land shown is released;
    // the context is current for the textures the swap releases.
    if (context() != nullptr) makeCurrent();
    if (Result opened = m_session.open(path, landSettingsFrom(m_settings), OpenDepth::Geometry); !opened)
        return opened;
    m_brushTool.block = -1;   // the old pick names a block of the land that went
    if (context() != nullptr) renderer().forgetAll();   // the load released every device object
    m_view.onLandOpened(m_land, &m_settings);
    m_scriptPoseTaken = false;
    if (deviceObjectsLive()) {
        LoadLoResTextures(m_land);
        m_view.restoreDeviceObjects(m_land);
    }
    (void)m_session.takeChanges();   // a new land: the mirrors were all dropped above
    return Result::success();
}

void CRFrame::setScript(const ScriptedView& script) {
    m_script = script;
    m_keys.clear();
    for (const char c : script.heldKeys) {
        // Qt numbers a letter key by its capital; other ASCII keys by their character.
        const int qtKey = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : static_cast<unsigned char>(c);
        m_keys.press(qtKey, char32_t(static_cast<unsigned char>(c)));
    }
}

void CRFrame::setEditMode(EditMode mode) {
    if (mode == EditMode::LandEditor && m_editMode != EditMode::LandEditor) m_brushTool.block = -1;
    m_editMode = mode;
}

template <typename Edit>
auto CRFrame::withContext(Edit edit, bool wholeLand) {
    if (context() != nullptr) makeCurrent();
    snapshotMirrors();
    auto result = edit();
    if (context() != nullptr) {
        forgetChangedMirrors(wholeLand);
        doneCurrent();
    }
    m_drawnSphere = nullptr;
    requestFrame();
    emit landEdited();
    return result;
}

std::vector<int> CRFrame::brushStep(int mode) {
    return withContext([&] {
        CommandResult step = m_session.brush(m_brushTool.withMode(mode));
        for (int b : step.changedBlocks) m_view.forgetTextureFailure(b);
        return step.changedBlocks;
    });
}

bool CRFrame::undoStroke() {
    return withContext([&] { return m_session.undo().ok(); });
}

bool CRFrame::redoStroke() {
    return withContext([&] { return m_session.redo().ok(); });
}

Result CRFrame::importHeightmap(const GreyImage& picture, const HeightmapImportOptions& options) {
    return withContext([&] {
        CommandResult edit = m_session.importHeightmap(picture, options);
        for (int b : edit.changedBlocks) m_view.forgetTextureFailure(b);
        return edit.result;
    });
}

Result CRFrame::importCountryMap(const CImageBase& picture, const CountryMapImportOptions& options) {
    return withContext([&] {
        CommandResult edit = m_session.importCountryMap(picture, options);
        for (int b : edit.changedBlocks) m_view.forgetTextureFailure(b);
        return edit.result;
    });
}

// Both take the pick as it is when asked: the command acts on the block the user chose it for.
bool CRFrame::deleteBlock() {
    const int record = m_brushTool.block;
    if (record < 0) return false;
    if (!m_messages.question(kDeleteQuestion, kDeleteCaption, QuestionButtons::OkCancel)) return false;
    const bool deleted = withContext([&] { return m_session.deleteBlock(record).ok(); });
    // The pointer is over no block until the next pick.
    if (deleted && m_brushTool.block == record) m_brushTool.block = -1;
    return deleted;
}

bool CRFrame::levelBrush() {
    const BrushStep step = m_brushTool.withMode(kBrushLevel);
    if (step.block < 0) return false;
    if (!m_messages.question(kLevelQuestion, {}, QuestionButtons::OkCancel)) return false;
    withContext([&] { return m_session.brush(step); });
    return true;
}

void CRFrame::landChangedOutside() {
    // The dialog's commands ran before any snapshot of the device objects: every copy goes.
    withContext([] { return 0; }, true);
}

void CRFrame::initializeMap() {
    withContext([&] { return m_session.levelMap(m_brushTool.level); });
}

int CRFrame::importNoiseMap(const std::string& path) {
    const Result imported = withContext([&] { return m_session.importNoise(path).result; });
    if (imported) return 0;
    const NoiseRefusalText shown = noiseRefusalText(imported, path);
    if (shown.text.empty()) return -1;
    if (shown.errorIcon) m_messages.error(shown.text);
    else m_messages.plain(shown.text);
    return -1;
}

int CRFrame::saveLand(const std::string& path, bool quick) {
    if (context() != nullptr) makeCurrent();
    const Result saved = m_session.save(path, quick ? SaveKind::Quick : SaveKind::Full);
    if (context() != nullptr) doneCurrent();
    for (const SaveNote& note : m_session.saveNotes()) m_messages.error(saveNoteText(note));
    if (!saved) m_messages.error(kSaveErrorText);
    return saved ? 0 : -1;
}

std::vector<int> CRFrame::blocksWithoutTexture() const {
    std::vector<int> missing;
    if (!m_land.loaded()) return missing;
    for (int b = 0; b < m_land.numBlocks(); ++b) {
        if (!m_land.textures().blocks().has(std::size_t(b))) missing.push_back(b);
    }
    return missing;
}

void CRFrame::synthesizeBlock(int block) {
    if (context() != nullptr) makeCurrent();
    SynthesizeBlockTexture(m_land, block);
}

void CRFrame::makeCursorModel() {
    // Made again with every set of device objects; the previous one goes first.
    m_cursor.destroy();
    const std::string model = m_settings.GetValue("cursorModel");
    // An install started from another folder finds the model in its share folder.
    const std::string mediaDir = mediaFolderHolding(DataPlaces::ofProcess(), m_settings.GetValue("mediaDir"), model);
    if (!model.empty() && !hostFailed(m_cursor.create(model, mediaDir)) &&
        !hostFailed(m_cursor.setVertexFormat(VertexFormat::PositionNormalTex1)) &&
        !hostFailed(m_cursor.restoreDeviceObjects())) {
        return;
    }
    m_cursor.destroy();
    if (!m_cursorMissingSaid) {
        m_cursorMissingSaid = true;
        m_messages.plain("The cursor model \"" + model + "\" could not be loaded; the view shows no cursor.");
    }
}

HostResult CRFrame::restoreDeviceObjects() {
    // A restore after a size change finds everything still made: GL keeps its objects
    // across a resize, and the viewport and projection follow the back buffer every frame.
    if (m_deviceObjectsBuilt) return kHostOk;
    m_deviceObjectsBuilt = true;
    ++m_deviceObjectBuilds;
    renderer().forgetAll();
    if (m_land.loaded()) LoadLoResTextures(m_land);
    m_view.restoreDeviceObjects(m_land);
    m_drawnSphere = nullptr;
    makeCursorModel();
    const DeviceStates states = deviceStatesFor(m_land.m_bounds);
    DirectionalLight light;
    light.direction = states.lightDirection;
    light.diffuse = states.lightDiffuse;
    light.ambient = glm::vec3(float((states.ambient >> 16) & 0xFF) / 255.0f, float((states.ambient >> 8) & 0xFF) / 255.0f,
                              float(states.ambient & 0xFF) / 255.0f);
    renderer().setLight(light);
    return kHostOk;
}

HostResult CRFrame::invalidateDeviceObjects() {
    // Nothing of ours depends on the back buffer's size; a device change deletes next.
    return kHostOk;
}

HostResult CRFrame::deleteDeviceObjects() {
    renderer().forgetAll();
    m_cursor.invalidateDeviceObjects();
    m_cursor.destroy();
    m_drawnSphere = nullptr;
    m_deviceObjectsBuilt = false;
    return kHostOk;
}

HostResult CRFrame::finalCleanup() {
    // The main window asked about unsaved edits when it was closed, while the meshes the
    // save folds back still existed; here the land's objects only go.
    m_land.setClosing(true);
    m_view.finalCleanup(m_land);
    renderer().forgetAll();
    return kHostOk;
}

bool CRFrame::inputBlocked() const {
    return QApplication::activePopupWidget() != nullptr || QApplication::activeModalWidget() != nullptr;
}

// ---- GL callbacks ---------------------------------------------------------------------
// Boxes raised inside them wait for the event loop.

void CRFrame::initializeGL() {
    ShellMessages::GlCallbackScope scope;
    CD3DHostWidget::initializeGL();
}

void CRFrame::resizeGL(int w, int h) {
    ShellMessages::GlCallbackScope scope;
    CD3DHostWidget::resizeGL(w, h);
}

void CRFrame::paintGL() {
    ShellMessages::GlCallbackScope scope;
    CD3DHostWidget::paintGL();
}

void CRFrame::showHostMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    QPointer<QWidget> owner(isVisible() ? this : nullptr);
    auto show = [owner, caption, text, icon] {
        QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning,
                        QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok, owner.data());
        box.exec();
    };
    // Outside a frame (start-up, the device dialog) the box is shown at once, since the
    // program may end right after it.
    if (ShellMessages::insideGlCallback()) {
        QTimer::singleShot(0, show);
    } else {
        show();
    }
}

// ---- Input --------------------------------------------------------------------------------

void CRFrame::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

void CRFrame::resizeEvent(QResizeEvent* event) {
    CD3DHostWidget::resizeEvent(event);
    m_view.navigator().setClientRect(0, 0, width(), height());
}

void CRFrame::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    m_keys.press(event->key(), text.isEmpty() ? U'\0' : char32_t(text.at(0).unicode()));
    CD3DHostWidget::keyPressEvent(event);
}

void CRFrame::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) m_keys.release(event->key());
    CD3DHostWidget::keyReleaseEvent(event);
}

void CRFrame::focusOutEvent(QFocusEvent* event) {
    m_keys.clear();
    CD3DHostWidget::focusOutEvent(event);
}

void CRFrame::showZoneCursor() {
    static constexpr Qt::CursorShape kShapes[5] = {Qt::CrossCursor, Qt::SizeVerCursor, Qt::SizeVerCursor,
                                                   Qt::SizeHorCursor, Qt::SizeHorCursor};
    const int zone = m_view.navigator().m_zone;
    setCursor(kShapes[zone >= 0 && zone < 5 ? zone : 0]);
}

void CRFrame::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_view.navigator().onLeftButtonDown(p.x(), p.y());
        showZoneCursor();
    }
    CD3DHostWidget::mousePressEvent(event);
}

void CRFrame::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) m_view.navigator().onLeftButtonUp(p.x(), p.y());
    CD3DHostWidget::mouseReleaseEvent(event);
}

void CRFrame::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_view.navigator().onMouseMove(p.x(), p.y());
    showZoneCursor();
    CD3DHostWidget::mouseMoveEvent(event);
}

// ---- Frame ------------------------------------------------------------------------------

void CRFrame::takeScriptedPose() {
    if (!m_script || !m_script->eye || m_scriptPoseTaken || !m_land.loaded()) return;
    m_scriptPoseTaken = true;
    CCamera& cam = m_view.camera();
    // The home view still sets the target distance; the pose replaces the rest.
    cam.HomeView(m_land.m_bounds, [this](float x, float z) { return AltitudeAt(m_land, x, z); }, m_view.navigator());
    cam.m_homePending = false;
    cam.m_eye = *m_script->eye;
    cam.m_heading = m_script->heading;
    cam.m_sinHeading = std::sin(cam.m_heading);
    cam.m_cosHeading = std::cos(cam.m_heading);
    const float d = float(cam.m_targetDistance);
    cam.m_target = cam.m_eye + glm::vec3(d * cam.m_sinHeading * std::cos(m_script->pitch), d * std::sin(m_script->pitch),
                                         d * cam.m_cosHeading * std::cos(m_script->pitch));
    m_view.mesh().markLodDirty();
}

void CRFrame::prepareInput() {
    const bool blocked = !m_script && inputBlocked();
    m_inputBlocked = blocked;
    m_input.backBufferWidth = backBufferWidth();
    m_input.backBufferHeight = backBufferHeight();
    m_input.editorMode = m_editMode == EditMode::LandEditor;
    if (m_input.frameStats != frameStats()) m_input.frameStats = frameStats();
    QPointF p;
    bool inView = false;
    if (m_script) {
        inView = m_script->pointer.has_value();
        if (inView) p = *m_script->pointer;
    } else if (!blocked) {
        p = QPointF(mapFromGlobal(QCursor::pos()));
        inView = rect().contains(p.toPoint());
    }
    const qreal dpr = devicePixelRatio();
    m_input.pointerInView = inView;
    m_input.pointerX = float(p.x() * dpr);
    m_input.pointerY = float(p.y() * dpr);
}

void CRFrame::snapshotMirrors() {
    const int blocks = m_view.mesh().blockCount();
    m_beforeBrush.resize(std::size_t(blocks) * 4);
    for (int b = 0; b < blocks; ++b) {
        const std::size_t k = std::size_t(b) * 4;
        m_beforeBrush[k] = m_view.mesh().mesh(b, MeshLevel::Full);
        m_beforeBrush[k + 1] = m_view.mesh().mesh(b, MeshLevel::Medium);
        m_beforeBrush[k + 2] = m_view.mesh().mesh(b, MeshLevel::Low);
        m_beforeBrush[k + 3] = m_land.textures().blocks().at(std::size_t(b)).get();
    }
}

void CRFrame::forgetChangedMirrors(bool wholeLand) {
    // The renderer keys its copies by the device object: a changed block's meshes and texture
    // were made again, so the copies of the ones it had before the command go.
    const EditorSession::Changes changes = m_session.takeChanges();
    const int blocks = int(m_beforeBrush.size() / 4);
    if (changes.everything || wholeLand) {
        renderer().forgetAll();
    } else {
        for (int b : changes.blocks) {
            if (b < 0 || b >= blocks) continue;
            const std::size_t k = std::size_t(b) * 4;
            for (int level = 0; level < 3; ++level)
                renderer().forget(static_cast<const DeviceMesh*>(m_beforeBrush[k + std::size_t(level)]));
            renderer().forget(static_cast<const DeviceTexture*>(m_beforeBrush[k + 3]));
        }
    }
    for (int b : changes.blocks) m_view.forgetTextureFailure(b);
}

void CRFrame::applyBrushKeys(BrushKeys keys) {
    if (!keys.add && !keys.sub && !keys.smooth) return;
    // Only the land editor has a brush list, and so a selected brush.
    const CBrushDef* selected = m_editMode == EditMode::LandEditor ? m_selectedBrush : nullptr;
    m_brushTool.brush = selected;
    if (selected == nullptr || m_brushTool.block == -1) return;

    auto step = [&](int mode) {
        snapshotMirrors();
        (void)m_session.brush(m_brushTool.withMode(mode));
        forgetChangedMirrors();
    };
    if (keys.add) step(kBrushRaise);
    if (keys.sub && m_brushTool.block != -1) step(kBrushLower);
    if (keys.smooth && m_brushTool.block != -1) step(kBrushSmooth);
    emit landEdited();
}

void CRFrame::reportTileCopyFailures() {
    for (int n = m_land.takeTileCopyFailures(); n > 0; --n) m_messages.error(kTileCopyFailedText);
}

void CRFrame::drawCursorModel(const Matrix& world) {
    renderer().setWorld(world);
    m_cursor.render(
        [this](const DeviceMesh& mesh, const MeshMaterial* material, const DeviceTexture* texture) {
            DrawState st;
            st.sampler = SamplerKind::Linear;
            st.texCoordSet = 0;
            st.cullClockwise = false;
            st.wireframe = false;   // the model is solid whatever the terrain's fill mode
            // Textured subsets show their texture; plain ones their lit material colour, so
            // the model keeps its shape instead of turning into a flat silhouette.
            st.colourOp = texture != nullptr ? ColourOp::SelectTexture : ColourOp::Diffuse;
            st.lighting = texture == nullptr;
            if (material != nullptr) {
                st.materialDiffuse = material->diffuse;
                st.materialAmbient = material->ambient;
                st.blend = material->diffuse.a < 1.0f;
            }
            renderer().drawMesh(mesh, const_cast<DeviceTexture*>(texture), st);
        },
        true, true);
    renderer().setWorld(matrixIdentity());
}

void CRFrame::drawPlan(const FramePlan& plan) {
    GlRenderer& gl = renderer();
    gl.beginFrame(backBufferWidth(), backBufferHeight(), plan.clearColour, plan.clearDepth);
    if (!plan.landShown) return;
    gl.setTransforms(plan.world, plan.view, plan.projection);

    DrawState st;
    st.colourOp = plan.terrainStage.colourOp == StageColourOp::BlendTextureAlpha ? ColourOp::BlendTextureAlpha
                                                                                 : ColourOp::SelectTexture;
    st.sampler = SamplerKind::Terrain;
    st.wireframe = plan.fill == FillMode::Wireframe;
    DeviceTexture* bound = nullptr;   // a block without a texture of its own keeps the last one
    for (const TerrainDrawItem& item : plan.terrain) {
        if (item.mesh == nullptr) continue;
        if (item.texture == TerrainTexture::Block) {
            bound = m_land.textures().blocks().at(std::size_t(item.block)).get();
        } else if (item.texture == TerrainTexture::LoRes) {
            bound = m_land.textures().loRes().at(std::size_t(item.loResIndex)).get();
        }
        if (item.texCoordSet >= 0) st.texCoordSet = item.texCoordSet;
        // A low-resolution texture holds the 64 x 64 tiles of many blocks; the block samples
        // its own tile only, or the neighbouring tiles (often sea, transparent) would show as
        // a line along its border.
        st.clampTexCoords = st.texCoordSet == 0 && bound != nullptr;
        if (st.clampTexCoords) {
            const TLndBlock& record = m_land.blocks()[std::size_t(item.block)];
            st.texClamp = tileTexClamp(std::int32_t(record.LoResX), std::int32_t(record.LoResY), 64, 64,
                                       int(bound->width()), int(bound->height()));
        }
        gl.drawMesh(*item.mesh, bound, st);
    }

    if (plan.cursorModel.visible && m_cursor.loaded()) drawCursorModel(plan.cursorModel.world);

    if (plan.brushSphere.visible && plan.brushSphereMesh != nullptr) {
        // A new radius made a new sphere, possibly where the old one was.
        const int radius = m_view.sphere().radius();
        if (m_drawnSphere != nullptr && (m_drawnSphere != plan.brushSphereMesh || m_drawnSphereRadius != radius)) {
            gl.forget(m_drawnSphere);
        }
        m_drawnSphere = plan.brushSphereMesh;
        m_drawnSphereRadius = radius;
        DrawState sphere;
        sphere.colourOp = ColourOp::SelectTexture;
        sphere.sampler = SamplerKind::Linear;
        sphere.wireframe = true;
        gl.setWorld(plan.brushSphere.world);
        gl.drawMesh(*plan.brushSphereMesh, nullptr, sphere);
        gl.setWorld(matrixIdentity());
    }
}

HostResult CRFrame::render() {
    prepareInput();
    takeScriptedPose();
    // The brush steps with the keys polled at the start of the frame, on the block picked in
    // the previous one, and before the plan names any mesh the step replaces.
    if (m_land.loaded()) {
        CViewNavigator keysOnly;
        applyBrushKeys(pollKeys(m_view.keys(), m_input.keyDown, keysOnly));
    }
    if (m_script) {
        m_view.navigator().m_forward -= m_script->flyForward;
        m_view.navigator().m_rotation += m_script->flyTurn;
    }
    // While a menu or dialog is open the pick stays where it was, so a command confirmed
    // in a box acts on the block the user chose it for.
    m_input.holdPick = m_inputBlocked;
    m_input.brushRadius = m_brushTool.radius;
    m_view.frame(m_land, m_input, m_plan);
    if (!m_inputBlocked && m_land.loaded()) {
        const glm::vec3 centre = m_view.picker().m_brushCentre;
        m_brushTool.block = m_view.picker().m_cursorBlock;
        m_brushTool.centre = {centre.x, centre.y, centre.z};
    }
    const FramePlan& plan = m_plan;
    // Inside a frame the boxes are posted to the event loop (ShellMessages).
    for (const std::string& notice : plan.notices) m_messages.plain(notice);
    reportTileCopyFailures();
    drawPlan(plan);

    std::string status;
    for (const StatusLine& line : plan.status) {
        if (!status.empty()) status += "   ";
        status += line.text;
    }
    const bool picked = m_view.picker().m_hitPoint.x != -1.0f;
    if (picked != m_lastPicked || m_brushTool.block != m_lastPickedBlock) {
        m_lastPicked = picked;
        m_lastPickedBlock = m_brushTool.block;
        emit pickChanged();
    }
    if (status != m_status) {
        m_status = std::move(status);
        emit statusTextChanged(QString::fromStdString(m_status));
    }
    return kHostOk;
}

}  // namespace lnd
