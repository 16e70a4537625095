// Clayvane's orbit camera: a view from above the land, turned and zoomed with Ctrl and the
// mouse buttons, panned by the walk tool.
#pragma once

#include "sculpt/sculpt_math.h"

#include <algorithm>

namespace clay {

class COrbitCamera {
public:
    SMat4 ModelView() const {
        SMat4 mv;
        mv.Translate(0, 0, m_distance);
        mv.Rotate(45, 1, 0, 0);
        mv.Translate(0, 0, -100);
        mv.Rotate(m_pitch, 1, 0, 0);
        mv.Rotate(m_yaw, 0, 1, 0);
        mv.Translate(m_panX, 0, m_panZ);
        return mv;
    }

    // Ctrl held: the middle button turns (pixels as degrees, pitch kept to -38..45), left and
    // right together zoom (at most 300); the preview points grow with the distance.
    void Steer(float dx, float dy, bool middle, bool leftAndRight) {
        if (middle) {
            m_pitch = std::clamp(m_pitch + dy, -38.0f, 45.0f);
            m_yaw += dx;
        }
        if (leftAndRight) m_distance = std::min(m_distance - 3.0f * dy, 300.0f);
        if (m_distance < 100.0f) m_pointSize = 5.0f;
        else if (m_distance > 100.0f) m_pointSize = m_distance / 20.0f;
    }

    float m_distance = -2000.0f;
    float m_pitch = 0.0f;
    float m_yaw = 0.0f;
    float m_panX = 4600.0f;
    float m_panZ = 4400.0f;
    float m_pointSize = 5.0f;
    SVec3 m_walkRef;   // where the walk tool last aimed
};

}  // namespace clay
