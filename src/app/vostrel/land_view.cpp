#include "app/vostrel/land_view.h"

#include "app/messages.h"
#include "app/settings.h"
#include "app/settings_values.h"
#include "d3dframework/dds_image.h"
#include "land/file_io.h"
#include "land/land.h"

#include <QApplication>
#include <QKeyEvent>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace lnd {

namespace {

constexpr std::uint32_t kClearColour = 0xFF0080F8u;

// Qt's key code for the character a key setting names.
int qtKeyFor(char c) {
    if (c >= 'a' && c <= 'z') {
        c = char(c - 'a' + 'A');
    }
    return static_cast<unsigned char>(c);
}

}  // namespace

CRFrame::CRFrame(CLand& land, CSettings& settings, UserMessages& messages, QWidget* parent)
    : CD3DHostWidget(parent), m_land(land), m_settings(settings), m_messages(messages) {
    m_windowTitle = "Base: D3D Basic Example";
    m_useDepthBuffer = true;
    m_keys = readKeyBindings(settings);
    m_land.m_hooks.releaseMeshes = [this] {
        renderer().forgetAll();
        m_mesh.ReleaseAllMeshes();
    };
    m_land.m_hooks.buildGeometry = [this] {
        glm::vec3 min, max;
        buildTerrainGeometry(m_mesh, m_land.blocks(), min, max);
        m_land.m_bounds.reset();
        m_land.m_bounds.include(min.x, min.y, min.z);
        m_land.m_bounds.include(max.x, max.y, max.z);
    };
    m_land.m_hooks.loadLoResTextures = [this] { loadLoResTextures(); };
    m_land.m_hooks.buildAllMeshes = [this] { m_mesh.BuildAllMeshes(); };
}

CRFrame::~CRFrame() { shutdownHost(); }

void CRFrame::setFixedCamera(const glm::vec3& eye, float headingDeg, float pitchDeg) {
    m_fixedPose = std::array<float, 5>{eye.x, eye.y, eye.z, headingDeg, pitchDeg};
}

void CRFrame::releaseLandObjects() {
    renderer().forgetAll();
    m_mesh.ReleaseAllMeshes();
    m_land.releaseTextures();
}

bool CRFrame::openLand(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (IoResult io = readWholeFile(path, bytes); !io) {
        m_messages.error(io.message);
        return false;
    }
    releaseLandObjects();
    m_land.m_loaded = false;
    if (LndCheck check = m_land.adoptImage(std::move(bytes)); !check) {
        m_messages.error(check.message);
        return false;
    }
    m_land.m_seaParms = readSeaParms(m_settings);
    m_land.m_landPath = path;
    m_land.m_modified = false;
    m_land.m_loaded = true;
    m_land.m_hooks.buildGeometry();
    m_wireframe = false;
    m_camera.m_aspectRatio = static_cast<float>(readAspectRatioSetting(m_settings));
    m_mesh.m_forcedLod = readLodTestSetting(m_settings);
    if (deviceObjectsLive()) {
        loadLoResTextures();
        m_mesh.BuildAllMeshes();
    }
    m_mesh.m_lodDirty = true;
    m_homePending = true;
    return true;
}

void CRFrame::loadLoResTextures() {
    m_land.m_loResTextures.make(m_land.numLoResTextures());
    std::vector<std::uint8_t>& scratch = m_land.m_scratchImage;
    scratch.resize(kScratchImageSize);
    const auto records = m_land.loResTex();
    for (std::size_t t = 0; t < records.size(); ++t) {
        // The record stores the DDS header without its magic; the device takes a whole image.
        writeDdsHeaderDxt3(scratch.data(), 256, 256);
        std::memcpy(scratch.data() + kDdsFileHeaderBytes, records[t].Data, sizeof records[t].Data);
        std::unique_ptr<DeviceTexture> tex;
        if (!deviceFailed(createTextureFromMemory(scratch.data(), kDdsFileHeaderBytes + sizeof records[t].Data, tex))) {
            m_land.m_loResTextures.set(t, TextureHandle(std::move(tex)));
        }
    }
}

HostResult CRFrame::oneTimeSceneInit() { return kHostOk; }

HostResult CRFrame::initDeviceObjects() { return kHostOk; }

void CRFrame::makeMarkers() {
    // Made again with every set of device objects: the old ones go first.
    m_cursor.destroy();
    m_sphere.reset();
    m_sphereRadius = 0;
    const std::string model = m_settings.GetValue("cursorModel");
    if (!model.empty() && !hostFailed(m_cursor.create(model, m_settings.GetValue("mediaDir"))) &&
        !hostFailed(m_cursor.restoreDeviceObjects()) &&
        !hostFailed(m_cursor.setVertexFormat(VertexFormat::PositionNormalTex1))) {
        return;
    }
    m_cursor.destroy();
    if (!m_cursorMissingSaid) {
        m_cursorMissingSaid = true;
        m_messages.plain("The cursor model \"" + model + "\" could not be loaded; the view shows no cursor.");
    }
}

HostResult CRFrame::restoreDeviceObjects() {
    if (m_land.m_loaded) {
        releaseLandObjects();
        loadLoResTextures();
        m_mesh.BuildAllMeshes();
        m_mesh.m_lodDirty = true;
    }
    makeMarkers();
    DirectionalLight light;
    light.direction = vec3Normalize(glm::vec3(1.0f, 1.0f, 1.0f));
    light.diffuse = glm::vec3(0.5f, 0.5f, 1.0f);
    light.ambient = glm::vec3(float(0x20) / 255.0f);
    renderer().setLight(light);
    return kHostOk;
}

HostResult CRFrame::invalidateDeviceObjects() {
    renderer().forgetAll();
    return kHostOk;
}

HostResult CRFrame::deleteDeviceObjects() {
    m_cursor.destroy();
    m_sphere.reset();
    return kHostOk;
}

HostResult CRFrame::finalCleanup() {
    if (m_land.m_modified) {
        m_land.m_modified = false;
        m_land.m_closing = true;
        if (m_messages.question("Do you like to save the current file?")) {
            emit saveAsRequested();
        }
    }
    releaseLandObjects();
    return kHostOk;
}

bool CRFrame::inputBlocked() const {
    return QApplication::activePopupWidget() != nullptr || QApplication::activeModalWidget() != nullptr;
}

void CRFrame::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) m_keysDown.insert(event->key());
    QOpenGLWidget::keyPressEvent(event);
}

void CRFrame::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) m_keysDown.remove(event->key());
    QOpenGLWidget::keyReleaseEvent(event);
}

void CRFrame::focusOutEvent(QFocusEvent* event) {
    m_keysDown.clear();   // keys released elsewhere never reach us
    QOpenGLWidget::focusOutEvent(event);
}

void CRFrame::pollKeys() {
    if (inputBlocked()) {
        return;
    }
    auto down = [this](KeyAction a) {
        const auto& k = m_keys[std::size_t(a)];
        return k.has_value() && m_keysDown.contains(qtKeyFor(*k));
    };
    if (down(KeyAction::Backward)) m_input.forward += 1.0f;
    if (down(KeyAction::Forward)) m_input.forward -= 1.0f;
    if (down(KeyAction::Left)) m_input.strafe += 1.0f;
    if (down(KeyAction::Right)) m_input.strafe -= 1.0f;
    if (down(KeyAction::RotateRight)) m_input.rotation += 0.016666668f;
    if (down(KeyAction::RotateLeft)) m_input.rotation -= 0.016666668f;
    if (down(KeyAction::Up)) m_input.vertical += 1.0f;
    if (down(KeyAction::Down)) m_input.vertical -= 1.0f;
}

void CRFrame::pickTerrain() {
    m_hitPoint = glm::vec3(-1.0f);
    if (inputBlocked()) {
        m_land.m_cursorBlock = -1;
        return;
    }
    const QPoint p = mapFromGlobal(QCursor::pos());
    const qreal dpr = devicePixelRatio();
    m_camera.pickingRay(float(p.x() * dpr), float(p.y() * dpr), backBufferWidth(), backBufferHeight(), m_rayOrigin,
                        m_rayDir);
    for (int r = 0; r < kGridSize; ++r) {
        for (int c = 0; c < kGridSize; ++c) {
            if (m_mesh.m_lodMap[r][c] != LodFull) continue;
            const int n = int(m_mesh.m_visibleMap[r][c]) - 1;
            const DeviceMesh* full = m_mesh.mesh(n, MeshLevel::Full);
            RayHit hit;
            if (full == nullptr || deviceFailed(intersectMesh(*full, m_rayOrigin, m_rayDir, hit)) || !hit.hit) {
                continue;
            }
            const BlockTriangle& t = m_mesh.geometry(n).triangles[hit.face];
            const auto& pos = m_mesh.geometry(n).positions;
            const glm::vec3 v0 = pos[std::size_t(t.v[0])], v1 = pos[std::size_t(t.v[1])], v2 = pos[std::size_t(t.v[2])];
            m_hitPoint = (1.0f - hit.u - hit.v) * v0 + hit.u * v1 + hit.v * v2;
            glm::vec3 centre = v0;
            if (hit.v > 0.5f) centre = v2;
            if (hit.u > 0.5f) centre = v1;
            m_land.m_brushCentre = {centre.x, centre.y, centre.z};
            m_land.m_cursorBlock = n;
            return;
        }
    }
    m_land.m_cursorBlock = -1;
}

void CRFrame::drawTerrain() {
    DrawState state;
    state.colourOp = ColourOp::BlendTextureAlpha;
    state.sampler = SamplerKind::Terrain;
    state.wireframe = m_wireframe;
    const auto countries = m_land.countries();
    const auto materials = m_land.materials();
    const TLndNoiseMap* noise = m_land.noiseMap();
    const SeaAlphas sea{m_land.m_seaParms.alphaCoast, m_land.m_seaParms.alphaWater, m_land.m_seaParms.alphaFullWater};
    DeviceTexture* bound = nullptr;   // a block without texture draws with the previous one
    for (int r = 0; r < kGridSize; ++r) {
        for (int c = 0; c < kGridSize; ++c) {
            const int v = m_mesh.m_visibleMap[r][c];
            if (v == 0) continue;
            const int n = v - 1;
            const auto t = static_cast<std::uint32_t>(std::int32_t(m_land.blocks()[std::size_t(n)].LoResTexture));
            const std::uint8_t lod = m_mesh.m_lodMap[r][c];
            MeshLevel level;
            if (lod == LodFull) {
                level = MeshLevel::Full;
                m_land.m_textureError.clear();
                if (!m_land.m_blockTextures.exists()) {
                    m_land.m_blockTextures.make(std::size_t(m_land.numBlocks()));
                }
                if (!m_land.m_blockTextures.has(std::size_t(n)) && noise != nullptr) {
                    std::vector<std::uint8_t>& image = m_land.m_scratchImage;
                    image.resize(kScratchImageSize);
                    synthesizeBlockImage(m_synth, m_land.blocks()[std::size_t(n)], countries, materials, *noise, sea,
                                         image.data());
                    std::unique_ptr<DeviceTexture> tex;
                    if (deviceFailed(createTextureFromMemory(image.data(), kBlockImageSize, tex))) {
                        m_land.m_textureError = "the block texture could not be created";
                    } else {
                        m_land.m_blockTextures.set(std::size_t(n), TextureHandle(std::move(tex)));
                    }
                    if (!m_land.m_textureError.empty()) {
                        m_messages.error("ERROR IN LOADING TEXTURE, error =" + m_land.m_textureError);
                    }
                }
                if (m_land.m_blockTextures.has(std::size_t(n))) {
                    state.texCoordSet = 1;
                    bound = m_land.m_blockTextures.at(std::size_t(n)).get();
                } else if (t < m_land.numLoResTextures() && m_land.m_loResTextures.has(t)) {
                    state.texCoordSet = 0;
                    bound = m_land.m_loResTextures.at(t).get();
                }
            } else if (lod == LodMedium || lod == LodLow) {
                level = lod == LodMedium ? MeshLevel::Medium : MeshLevel::Low;
                if (t < m_land.numLoResTextures() && m_land.m_loResTextures.has(t)) {
                    state.texCoordSet = 0;
                    bound = m_land.m_loResTextures.at(t).get();
                }
            } else {
                continue;
            }
            if (const DeviceMesh* mesh = m_mesh.mesh(n, level)) {
                renderer().drawMesh(*mesh, bound, state);
            }
        }
    }
}

void CRFrame::drawMarkers() {
    if (m_hitPoint.x == -1.0f) {
        return;
    }
    const glm::vec3 at(m_hitPoint.x, m_hitPoint.y + 1.0f, m_hitPoint.z);
    if (m_cursor.loaded()) {
        const std::string scaleText = m_settings.GetValue("cursorScale");
        const float s = scaleText.empty() ? 6.0f : float(textToDouble(scaleText));
        renderer().setWorld(matrixMultiply(matrixScaling(s, s, s), matrixTranslation(at.x, at.y + s * 0.5f, at.z)));
        m_cursor.render(
            [this](const DeviceMesh& mesh, const MeshMaterial* material, const DeviceTexture* texture) {
                DrawState st;
                st.sampler = SamplerKind::Linear;
                st.cullClockwise = false;
                st.lighting = true;
                st.colourOp = texture != nullptr ? ColourOp::SelectTexture : ColourOp::Diffuse;
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
    if (m_editMode == 1 && m_showBrushSphere) {
        const int r = m_land.m_brushRadius;
        if (r != m_sphereRadius || m_sphere == nullptr) {
            if (m_sphere) renderer().forget(m_sphere.get());
            m_sphere.reset();
            const std::uint32_t n = std::max<std::uint32_t>(20u, std::uint32_t(std::max(r, 0) / 4));
            std::unique_ptr<DeviceMesh> raw;
            if (!deviceFailed(createSphere(float(r), n, n, raw)) &&
                !deviceFailed(cloneMesh(*raw, VertexFormat::PositionNormalTex1, m_sphere))) {
                auto* v = reinterpret_cast<PositionNormalTexVertex*>(m_sphere->mutableVertexBytes());
                for (std::uint32_t i = 0; i < m_sphere->vertexCount(); ++i) {
                    v[i].tex = {std::asin(std::clamp(v[i].normal.x, -1.0f, 1.0f)) * 0.31830987f + 0.5f,
                                std::asin(std::clamp(v[i].normal.y, -1.0f, 1.0f)) * 0.31830987f + 0.5f};
                }
                m_sphere->noteChanged();
            }
            m_sphereRadius = r;
        }
        if (m_sphere) {
            DrawState st;
            st.colourOp = ColourOp::Diffuse;
            st.wireframe = true;
            st.cullClockwise = false;
            renderer().setWorld(matrixTranslation(at.x, at.y, at.z));
            renderer().drawMesh(*m_sphere, nullptr, st);
            renderer().setWorld(matrixIdentity());
        }
    }
}

HostResult CRFrame::render() {
    pollKeys();
    renderer().beginFrame(backBufferWidth(), backBufferHeight(), kClearColour, 1.0f);
    if (m_land.m_loaded) {
        if (m_homePending) {
            m_homePending = false;
            m_camera.HomeView(m_land, m_input);
            if (m_fixedPose) {
                const auto& p = *m_fixedPose;
                m_camera.setPose({p[0], p[1], p[2]}, p[3] * 0.017453292f, p[4] * 0.017453292f);
            }
            m_mesh.m_lodDirty = true;
        }
        if (m_camera.UpdateCamera(m_land, m_input)) {
            m_mesh.m_lodDirty = true;
        }
        const Matrix view = m_camera.view();
        const Matrix projection = m_camera.projection();
        renderer().setTransforms(matrixIdentity(), view, projection);
        if (m_mesh.m_lodDirty) {
            m_frustum.UpdateFrustum(view, projection);
        }
        m_mesh.m_cameraSquare = {int(m_camera.m_eye.x * 0.00625f), int(m_camera.m_eye.z * 0.00625f)};
        m_mesh.UpdateVisibility(m_land.header()->BlockIndex, m_frustum);
        pickTerrain();
        drawTerrain();
        drawMarkers();
    }
    std::string status = m_land.m_debug ? frameStats() : std::string();
    if (m_hitPoint.x > 0.0f) {
        char buffer[160];
        std::snprintf(buffer, sizeof buffer, "%s  coords in script = \"%4.2f,%4.2f\" Altitude is %4.0f", status.c_str(),
                      double(m_hitPoint.x), double(m_hitPoint.z), double(m_hitPoint.y));
        status = buffer;
    }
    if (status != m_status) {
        m_status = status;
        emit statusTextChanged(QString::fromStdString(m_status));
    }
    return kHostOk;
}

}  // namespace lnd
