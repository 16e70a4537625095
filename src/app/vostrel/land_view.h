// The three-dimensional land view: the host's owner. It keeps the terrain meshes, camera,
// picking and markers, and draws one frame per host frame: keys, camera, visibility, pick,
// terrain, cursor model, brush sphere, status text.
#pragma once

#include "app/vostrel/view_camera.h"
#include "d3dframework/host/file_mesh.h"
#include "d3dframework/host/gl_host_widget.h"
#include "textures/synthesis.h"
#include "view/frustum.h"
#include "view/terrain_mesh.h"

#include <QSet>

#include <array>
#include <memory>
#include <optional>

namespace lnd {

class CLand;
class CSettings;
class UserMessages;

// BuildGeometry, LinkNeighbours and SyncEdgeFlags; the extent of every vertex in min and max.
void buildTerrainGeometry(CTerrainMesh& mesh, std::span<TLndBlock> blocks, glm::vec3& min, glm::vec3& max);

class CRFrame : public CD3DHostWidget {
    Q_OBJECT
public:
    CRFrame(CLand& land, CSettings& settings, UserMessages& messages, QWidget* parent = nullptr);
    ~CRFrame() override;

    // Reads the file into the land and rebuilds everything derived from it; false (after a
    // message) when the file cannot be used, and the previous land is then gone too.
    bool openLand(const std::string& path);

    // A fixed pose instead of the home view (screenshots): eye, heading and pitch in degrees.
    void setFixedCamera(const glm::vec3& eye, float headingDeg, float pitchDeg);

    const std::string& statusText() const { return m_status; }
    const glm::vec3& hitPoint() const { return m_hitPoint; }
    bool m_wireframe = false;
    bool m_showBrushSphere = true;
    int m_editMode = 0;   // 0 viewer, 1 land editor

signals:
    void statusTextChanged(const QString& text);
    // The land is modified and the user wants it saved before the end.
    void saveAsRequested();

protected:
    HostResult oneTimeSceneInit() override;
    HostResult initDeviceObjects() override;
    HostResult restoreDeviceObjects() override;
    HostResult render() override;
    HostResult invalidateDeviceObjects() override;
    HostResult deleteDeviceObjects() override;
    HostResult finalCleanup() override;

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void loadLoResTextures();
    void releaseLandObjects();
    void pollKeys();
    void pickTerrain();
    void drawTerrain();
    void drawMarkers();
    void makeMarkers();
    bool inputBlocked() const;

    CLand& m_land;
    CSettings& m_settings;
    UserMessages& m_messages;
    CTerrainMesh m_mesh;
    Frustum m_frustum;
    ViewCamera m_camera;
    NavigatorInput m_input;
    BlockSynthesizer m_synth;
    CD3DFile_Mesh m_cursor{"CD3DFile_Mesh"};
    std::unique_ptr<DeviceMesh> m_sphere;
    int m_sphereRadius = 0;
    bool m_cursorMissingSaid = false;
    bool m_homePending = false;
    std::optional<std::array<float, 5>> m_fixedPose;
    std::array<std::optional<char>, 10> m_keys{};
    QSet<int> m_keysDown;
    glm::vec3 m_rayOrigin{0.0f}, m_rayDir{0.0f, 0.0f, 1.0f};
    glm::vec3 m_hitPoint{-1.0f};
    std::string m_status;
};

}  // namespace lnd
