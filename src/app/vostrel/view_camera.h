// The terrain view's camera: home view over the land's centre, key and drag flight with the
// ground clearance, the projection and the picking ray.
#pragma once

#include "d3dframework/device_math.h"

#include <glm/vec3.hpp>

namespace lnd {

class CLand;

// Height of the ground at (x, z): the altitude of the cell there, 0 off the land.
float AltitudeAt(const CLand& land, float x, float z);

struct NavigatorInput {
    float strafe = 0.0f;
    float vertical = 0.0f;
    float forward = 0.0f;
    float rotation = 0.0f;
    void clear() { *this = NavigatorInput{}; }
};

class ViewCamera {
public:
    void HomeView(const CLand& land, NavigatorInput& input);
    // Consumes the accumulators; returns true when the camera moved or turned.
    bool UpdateCamera(const CLand& land, NavigatorInput& input);
    // An explicit pose (screenshots, tests): heading and pitch in radians, the target at the
    // home distance along them.
    void setPose(const glm::vec3& eye, float heading, float pitch);

    // The ray from one unit in front of the eye through client point (px, py).
    void pickingRay(float px, float py, int width, int height, glm::vec3& origin, glm::vec3& dir) const;

    Matrix view() const;
    Matrix projection() const;

    glm::vec3 m_eye{0.0f};
    glm::vec3 m_target{0.0f, 0.0f, 1.0f};
    float m_heading = 0.0f;
    int m_targetDistance = 450;
    float m_aspectRatio = 1.35f;
};

}  // namespace lnd
