#include "view/terrain_view.h"

#include "view/view_settings.h"
#include "textures/synthesis.h"
#include "view/terrain_land.h"

namespace lnd {

DeviceStates deviceStatesFor(const LandBounds& bounds) {
    DeviceStates s;
    s.lightPosition = glm::vec3(bounds.minX + (bounds.maxX - bounds.minX) * 0.5f, 500.0f,
                                bounds.minZ + (bounds.maxZ - bounds.minZ) * 0.5f);
    return s;
}

void CTerrainView::readKeyTable(CSettings& settings) { m_keys = keyTableFromBindings(readKeyBindings(settings)); }

void CTerrainView::attach(CLand& land) {
    m_seenEdits = land.editGeneration();
    if (!m_synthesize) m_synthesize = [](CLand& l, int b) { return SynthesizeBlockTexture(l, b); };
}

void CTerrainView::noticeEdits(const CLand& land) {
    if (land.editGeneration() == m_seenEdits) return;
    m_seenEdits = land.editGeneration();
    m_mesh.markLodDirty();
    // A block edited since its synthesis failed gets another try.
    for (std::size_t b = 0; b < m_textureFailed.size() && b < m_failedAtEdit.size(); ++b)
        if (m_textureFailed[b] && land.blockEdits(int(b)) != m_failedAtEdit[b]) m_textureFailed[b] = false;
}

void CTerrainView::onLandOpened(CLand& land, CSettings* settings) {
    if (settings != nullptr) {
        m_camera.m_aspectRatio = float(readAspectRatioSetting(*settings));
        m_mesh.setForcedLod(readLodTestSetting(*settings));
        m_cursorScale = float(readCursorScaleSetting(*settings));
    } else {
        m_camera.m_aspectRatio = CCamera::kDefaultAspect;
        m_mesh.setForcedLod(0);
        m_cursorScale = kDefaultCursorScale;
    }
    m_camera.m_homePending = true;
    m_mesh.markLodDirty();
    m_wireframe = false;
    m_picker.m_hitPoint = kNoHit;
    m_picker.m_cursorBlock = -1;
    m_textureFailed.assign(std::size_t(std::max(land.numBlocks(), 0)), false);
}

void CTerrainView::restoreDeviceObjects(CLand& land) {
    if (land.loaded()) m_mesh.BuildAllMeshes();
    if (!m_sphereMade) {
        m_sphereMade = true;
        m_sphere.setRadius(m_brushRadius);
    }
    m_mesh.markLodDirty();
}

void CTerrainView::finalCleanup(CLand& land) {
    land.releaseTextures();
    m_mesh.ReleaseAllMeshes();
}

void CTerrainView::setWireframe(bool on) {
    m_wireframe = on;
    m_mesh.markLodDirty();
}

void CTerrainView::forgetTextureFailure(int b) {
    if (b >= 0 && std::size_t(b) < m_textureFailed.size()) m_textureFailed[std::size_t(b)] = false;
}

std::vector<TerrainDrawItem> CTerrainView::buildDrawList(CLand& land) {
    std::vector<TerrainDrawItem> items;
    buildDrawList(land, items);
    return items;
}

void CTerrainView::buildDrawList(CLand& land, std::vector<TerrainDrawItem>& items) {
    items.clear();
    const int blocks = std::min(land.numBlocks(), m_mesh.blockCount());
    if (m_textureFailed.size() != std::size_t(std::max(blocks, 0))) m_textureFailed.assign(std::size_t(std::max(blocks, 0)), false);
    m_failedAtEdit.resize(m_textureFailed.size(), 0);
    noticeEdits(land);
    const std::span<const TLndBlock> records = land.blocks();
    const std::uint32_t loResCount = land.numLoResTextures();

    for (int r = 0; r < kGridSize; ++r) {
        for (int c = 0; c < kGridSize; ++c) {
            const int v = m_mesh.visibleMap()[r][c];
            if (v == 0 || v > blocks) continue;
            const int n = v - 1;
            const std::uint8_t lod = m_mesh.lodMap()[r][c];
            if (lod != LodFull && lod != LodMedium && lod != LodLow) continue;
            const MeshLevel level = lod == LodFull ? MeshLevel::Full : lod == LodMedium ? MeshLevel::Medium : MeshLevel::Low;
            TerrainDrawItem item;
            item.block = n;
            item.lod = lod;
            item.mesh = m_mesh.mesh(n, level);
            // An empty mesh entry draws nothing: no texture is made or bound for it.
            if (item.mesh == nullptr) continue;
            const std::int32_t t = records[std::size_t(n)].LoResTexture;
            const bool loResValid = t >= 0 && std::uint32_t(t) < loResCount;

            if (lod == LodFull) {
                land.setTextureError({});
                const bool missing = !land.textures().blocks().exists() || !land.textures().blocks().has(std::size_t(n));
                if (missing && !m_textureFailed[std::size_t(n)] && m_synthesize) {
                    m_synthesize(land, n);
                    if (!land.textureError().empty()) {
                        // Reported once; the block keeps its low-resolution texture until an
                        // edit gives the synthesis a reason to succeed.
                        m_textureFailed[std::size_t(n)] = true;
                        m_failedAtEdit[std::size_t(n)] = land.blockEdits(n);
                        m_notices.push_back(kTextureErrorText + land.textureError());
                    }
                }
                if (land.textures().blocks().has(std::size_t(n))) {
                    item.texture = TerrainTexture::Block;
                    item.texCoordSet = 1;
                }
            }
            if (item.texture != TerrainTexture::Block && loResValid) {
                item.texture = TerrainTexture::LoRes;
                item.loResIndex = t;
                item.texCoordSet = 0;
            }
            items.push_back(item);
        }
    }
}

FramePlan CTerrainView::frame(CLand& land, const FrameInput& input) {
    FramePlan plan;
    frame(land, input, plan);
    return plan;
}

void CTerrainView::frame(CLand& land, const FrameInput& input, FramePlan& plan) {
    // Everything is reset but the two lists, whose storage carries over to the next frame.
    std::vector<TerrainDrawItem> terrain = std::move(plan.terrain);
    std::vector<StatusLine> status = std::move(plan.status);
    plan = FramePlan{};
    plan.terrain = std::move(terrain);
    plan.terrain.clear();
    plan.status = std::move(status);
    if (input.keyDown) plan.brushKeys = pollKeys(m_keys, input.keyDown, m_navigator);
    noticeEdits(land);
    plan.fill = m_wireframe ? FillMode::Wireframe : FillMode::Solid;

    const AltitudeLookup altitude = [&land](float x, float z) { return AltitudeAt(land, x, z); };
    if (m_camera.m_homePending && land.loaded()) {
        m_camera.HomeView(land.m_bounds, altitude, m_navigator);
        m_mesh.markLodDirty();
    }

    glm::vec3 shownHit = m_picker.m_hitPoint;   // what the frame shows under the pointer
    int shownBlock = m_picker.m_cursorBlock;
    if (land.loaded()) {
        plan.landShown = true;
        if (m_camera.UpdateCamera(m_navigator, altitude)) m_mesh.markLodDirty();
        plan.view = m_camera.m_view;
        plan.projection = m_camera.m_projection;
        if (!input.holdPick)
            m_picker.m_ray = input.pointerInView
                                 ? computePickRay(m_camera.m_view, m_camera.m_projection, input.pointerX, input.pointerY,
                                                  float(input.backBufferWidth), float(input.backBufferHeight))
                                 : PickRay{};
        if (m_mesh.lodDirty()) m_frustum.UpdateFrustum(m_camera.m_view, m_camera.m_projection);
        CameraSquare square;
        m_camera.cameraSquare(square.row, square.column);
        m_mesh.setCameraSquare(square);

        if (const TLndHeader* header = land.header()) m_mesh.UpdateVisibility(header->BlockIndex, m_frustum);

        // A held pick stays in the picker for the command a box confirms; the frame itself
        // shows nothing under the pointer, as with the pointer outside the view.
        if (!input.holdPick) m_picker.PickTerrain(m_mesh);
        shownHit = input.holdPick ? kNoHit : m_picker.m_hitPoint;
        shownBlock = input.holdPick ? -1 : m_picker.m_cursorBlock;

        buildDrawList(land, plan.terrain);

        plan.cursorModel.visible = cursorModelWorld(shownHit, m_cursorScale, plan.cursorModel.world);

        m_brushRadius = input.brushRadius;
        m_sphere.setRadius(m_brushRadius);
        if (input.editorMode && m_showBrushSphere && m_sphere.mesh() != nullptr) {
            plan.brushSphere.visible = m_sphere.world(shownHit, plan.brushSphere.world);
            plan.brushSphereMesh = m_sphere.mesh();
        }
    }

    plan.notices = takeNotices();
    static const std::string kNoStats;
    statusLines(land.debug() ? input.frameStats : kNoStats, shownHit, land.debug(), m_camera, shownBlock, m_errorText,
                plan.status);
}

}  // namespace lnd
