#include "app/vostrel/view_camera.h"

#include "land/land.h"

#include <cmath>

namespace lnd {

namespace {
constexpr float kFullTurn = 6.2831855f;
constexpr float kSeventh = 0.14285715f;
}  // namespace

float AltitudeAt(const CLand& land, float x, float z) {
    if (!land.m_loaded) {
        return 0.0f;
    }
    const int row = static_cast<int>(x * 0.00625f);
    const int column = static_cast<int>(z * 0.00625f);
    if (row < 0 || row > 31 || column < 0 || column > 31 || x < 0.0f || z < 0.0f) {
        return 0.0f;
    }
    const int b = land.blockRecordAt(row, column);
    if (b < 0) {
        return 0.0f;
    }
    const int i = static_cast<int>(x - 160.0f * row) / 10;
    const int j = static_cast<int>(z - 160.0f * column) / 10;
    if (i < 0 || i > 16 || j < 0 || j > 16) {
        return 0.0f;
    }
    return static_cast<float>(land.blocks()[std::size_t(b)].Cells[i][j].Altitude);
}

void ViewCamera::HomeView(const CLand& land, NavigatorInput& input) {
    const LandBounds& b = land.m_bounds;
    m_eye.x = b.minX + (b.maxX - b.minX) * 0.5f;
    m_eye.z = b.minZ + (b.maxZ - b.minZ) * 0.5f;
    m_eye.y = 2.0f * AltitudeAt(land, m_eye.x, m_eye.z);
    if (m_eye.y < 150.0f) {
        m_eye.y = 150.0f;
    }
    m_targetDistance = static_cast<int>(m_eye.y * 3.0f);
    m_heading = 1.5707964f;
    m_target.x = m_targetDistance * std::sin(m_heading) + m_eye.x;
    m_target.z = m_targetDistance * std::cos(m_heading) + m_eye.z;
    m_target.y = AltitudeAt(land, m_target.x, m_target.z);
    input.clear();
}

bool ViewCamera::UpdateCamera(const CLand& land, NavigatorInput& input) {
    const float s = -input.strafe;
    const float u = input.vertical;
    const float f = -input.forward;
    input.strafe = input.vertical = input.forward = 0.0f;
    bool moved = false;
    if (input.rotation != 0.0f) {
        m_heading += input.rotation;
        input.rotation = 0.0f;
        if (m_heading > kFullTurn) m_heading = 0.0f;
        if (m_heading < 0.0f) m_heading = kFullTurn;
        m_target.x = m_targetDistance * std::sin(m_heading) + m_eye.x;
        m_target.z = m_targetDistance * std::cos(m_heading) + m_eye.z;
        m_target.y = (m_target.y * 6.0f + AltitudeAt(land, m_target.x, m_target.z)) * kSeventh;
        moved = true;
    }
    if (s != 0.0f || u != 0.0f || f != 0.0f) {
        const float sn = std::sin(m_heading), cs = std::cos(m_heading);
        const float dx = f * sn + s * cs;
        const float dz = f * cs - s * sn;
        m_eye.x += dx;
        m_eye.z += dz;
        m_eye.y += u;
        const float floor = AltitudeAt(land, m_eye.x, m_eye.z) + 40.0f;
        if (m_eye.y < floor) m_eye.y = floor;
        m_target.x += dx;
        m_target.z += dz;
        m_target.y = (m_target.y * 6.0f + AltitudeAt(land, m_target.x, m_target.z)) * kSeventh;
        moved = true;
    }
    return moved;
}

void ViewCamera::setPose(const glm::vec3& eye, float heading, float pitch) {
    m_eye = eye;
    m_heading = heading;
    const float d = static_cast<float>(m_targetDistance);
    m_target = eye + glm::vec3(d * std::sin(heading) * std::cos(pitch), d * std::sin(pitch),
                               d * std::cos(heading) * std::cos(pitch));
}

Matrix ViewCamera::view() const { return matrixLookAtLH(m_eye, m_target, glm::vec3(0.0f, 1.0f, 0.0f)); }

Matrix ViewCamera::projection() const { return matrixPerspectiveFovLH(0.7853982f, m_aspectRatio, 15.0f, 6000.0f); }

void ViewCamera::pickingRay(float px, float py, int width, int height, glm::vec3& origin, glm::vec3& dir) const {
    const Matrix p = projection();
    const glm::vec3 v((2.0f * px / float(width) - 1.0f) / matrixAt(p, 1, 1),
                      -((2.0f * py / float(height) - 1.0f) / matrixAt(p, 2, 2)), 1.0f);
    Matrix m;
    if (!matrixInverse(view(), m)) {
        origin = m_eye;
        dir = glm::vec3(0.0f, 0.0f, 1.0f);
        return;
    }
    dir = vec3Normalize(v.x * glm::vec3(matrixAt(m, 1, 1), matrixAt(m, 1, 2), matrixAt(m, 1, 3)) +
                        v.y * glm::vec3(matrixAt(m, 2, 1), matrixAt(m, 2, 2), matrixAt(m, 2, 3)) +
                        v.z * glm::vec3(matrixAt(m, 3, 1), matrixAt(m, 3, 2), matrixAt(m, 3, 3)));
    origin = glm::vec3(matrixAt(m, 4, 1), matrixAt(m, 4, 2), matrixAt(m, 4, 3)) + dir;
}

}  // namespace lnd
