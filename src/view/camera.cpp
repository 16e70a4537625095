#include "view/camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lnd {

float AltitudeAt(const TLndHeader* header, std::span<const TLndBlock> blocks, float x, float z) {
    if (header == nullptr) return 0.0f;
    // Negative and non-finite positions lie outside the grid; the range test also keeps the
    // conversions below defined.
    if (!(x >= 0.0f && z >= 0.0f)) return 0.0f;
    const float fx = x * 0.00625f, fz = z * 0.00625f;
    if (!(fx < float(kGridSize) && fz < float(kGridSize))) return 0.0f;
    const int row = static_cast<int>(fx);
    const int column = static_cast<int>(fz);
    const int number = header->BlockIndex[row][column];
    if (number == 0 || std::size_t(number) > blocks.size()) return 0.0f;
    const int i = std::clamp(static_cast<int>(x - 160.0f * float(row)) / 10, 0, kCellsPerSide - 1);
    const int j = std::clamp(static_cast<int>(z - 160.0f * float(column)) / 10, 0, kCellsPerSide - 1);
    return float(blocks[std::size_t(number - 1)].Cells[i][j].Altitude);
}

float AltitudeAt(const CLand& land, float x, float z) {
    if (!land.loaded()) return 0.0f;
    return AltitudeAt(land.header(), land.blocks(), x, z);
}

// ---- Mouse navigation ---------------------------------------------------------------------

void CViewNavigator::setClientRect(int left, int top, int right, int bottom) {
    m_left = left;
    m_top = top;
    m_right = right;
    m_bottom = bottom;
}

int CViewNavigator::zoneAt(int x, int y) const {
    if (x < kBorder) return 3;
    if (x > m_right - 2 * kBorder) return 4;
    if (y < kBorder) return 1;
    if (y > m_bottom - kBorder) return 2;
    return 0;
}

bool CViewNavigator::inside(int x, int y) const {
    return x >= m_left && x < m_right && y >= m_top && y < m_bottom;
}

void CViewNavigator::clampToRect(int& x, int& y) const {
    x = std::max(m_left, std::min(x, m_right - 1));
    y = std::max(m_top, std::min(y, m_bottom - 1));
}

void CViewNavigator::onLeftButtonDown(int x, int y) {
    if (!inside(x, y)) {
        onLeftButtonUp(x, y);
        return;
    }
    clampToRect(x, y);
    m_lastX = x;
    m_lastY = y;
    // The drag keeps the zone it starts in.
    m_zone = zoneAt(x, y);
    m_dragging = true;
    m_captured = true;
}

void CViewNavigator::onLeftButtonUp(int x, int y) {
    clampToRect(x, y);
    m_lastX = x;
    m_lastY = y;
    m_captured = false;
    m_dragging = false;
}

void CViewNavigator::onMouseMove(int x, int y) {
    if (!inside(x, y)) {
        onLeftButtonUp(x, y);
        return;
    }
    if (!m_dragging) {
        m_zone = zoneAt(x, y);
        return;
    }
    const int dx = x - m_lastX, dy = y - m_lastY;
    if (dx == 0 && dy == 0) return;
    switch (m_zone) {
    case 0:
        m_strafe += kMoveFactor * float(dx);
        m_forward -= kMoveFactor * float(dy);
        break;
    case 1:
    case 2: m_vertical += float(dy); break;
    default: m_rotation += kRotateFactor * float(dx + dy); break;
    }
    clampToRect(x, y);
    m_lastX = x;
    m_lastY = y;
}

// ---- Keys ------------------------------------------------------------------------------

int virtualKeyForChar(char c) {
    constexpr int kShift = 0x100;
    if (c >= 'a' && c <= 'z') return 0x41 + (c - 'a');
    if (c >= 'A' && c <= 'Z') return kShift | (0x41 + (c - 'A'));
    if (c >= '0' && c <= '9') return 0x30 + (c - '0');
    static constexpr struct { char c; int code; } kOthers[] = {
        {' ', 0x20},          {';', 0xBA},          {'=', 0xBB},          {',', 0xBC},
        {'-', 0xBD},          {'.', 0xBE},          {'/', 0xBF},          {'`', 0xC0},
        {'[', 0xDB},          {'\\', 0xDC},         {']', 0xDD},          {'\'', 0xDE},
        {':', kShift | 0xBA}, {'+', kShift | 0xBB}, {'<', kShift | 0xBC}, {'_', kShift | 0xBD},
        {'>', kShift | 0xBE}, {'?', kShift | 0xBF}, {'~', kShift | 0xC0}, {'{', kShift | 0xDB},
        {'|', kShift | 0xDC}, {'}', kShift | 0xDD}, {'"', kShift | 0xDE}, {')', kShift | 0x30},
        {'!', kShift | 0x31}, {'@', kShift | 0x32}, {'#', kShift | 0x33}, {'$', kShift | 0x34},
        {'%', kShift | 0x35}, {'^', kShift | 0x36}, {'&', kShift | 0x37}, {'*', kShift | 0x38},
        {'(', kShift | 0x39},
    };
    for (const auto& o : kOthers)
        if (o.c == c) return o.code;
    return 0;
}

KeyTable keyTableFromBindings(const std::array<std::optional<char>, kKeyActionCount>& bindings) {
    KeyTable t;
    for (std::size_t k = 0; k < bindings.size(); ++k)
        t.codes[k] = bindings[k] ? virtualKeyForChar(*bindings[k]) : 0;
    return t;
}

BrushKeys pollKeys(const KeyTable& table, const KeyDownQuery& isDown, CViewNavigator& nav) {
    BrushKeys brush;
    for (int k = 0; k < kKeyActionCount; ++k) {
        const int code = table.codes[std::size_t(k)];
        // A code with the shift byte set names no key the platform reports as down.
        if (code <= 0 || code > 0xFF || !isDown(code)) continue;
        switch (static_cast<KeyAction>(k)) {
        case KeyAction::Backward: nav.m_forward += 1.0f; break;
        case KeyAction::Forward: nav.m_forward -= 1.0f; break;
        case KeyAction::Left: nav.m_strafe += 1.0f; break;
        case KeyAction::Right: nav.m_strafe -= 1.0f; break;
        case KeyAction::RotateRight: nav.m_rotation += 0.016666668f; break;
        case KeyAction::RotateLeft: nav.m_rotation -= 0.016666668f; break;
        case KeyAction::Up: nav.m_vertical += 1.0f; break;
        case KeyAction::Down: nav.m_vertical -= 1.0f; break;
        case KeyAction::BrushAdd: brush.add = true; break;
        case KeyAction::BrushSub: brush.sub = true; break;
        case KeyAction::BrushSmooth: brush.smooth = true; break;
        }
    }
    return brush;
}

// ---- Camera ------------------------------------------------------------------------------

bool CCamera::HomeView(const LandBounds& bounds, const AltitudeLookup& altitudeAt, CViewNavigator& nav) {
    m_eye.x = bounds.minX + (bounds.maxX - bounds.minX) * 0.5f;
    m_eye.z = bounds.minZ + (bounds.maxZ - bounds.minZ) * 0.5f;
    m_eye.y = 2.0f * altitudeAt(m_eye.x, m_eye.z);
    if (m_eye.y < 150.0f) m_eye.y = 150.0f;
    m_targetDistance = static_cast<std::int32_t>(m_eye.y * 3.0f);
    m_heading = 1.5707964f;
    m_sinHeading = std::sin(m_heading);
    m_cosHeading = std::cos(m_heading);
    m_target.x = float(m_targetDistance) * m_sinHeading + m_eye.x;
    m_target.z = float(m_targetDistance) * m_cosHeading + m_eye.z;
    m_target.y = altitudeAt(m_target.x, m_target.z);
    buildMatrices();
    nav.clearAccumulators();
    m_homePending = false;
    return true;
}

bool CCamera::UpdateCamera(CViewNavigator& nav, const AltitudeLookup& altitudeAt) {
    const float s = -nav.m_strafe, u = nav.m_vertical, f = -nav.m_forward;
    nav.m_strafe = nav.m_vertical = nav.m_forward = 0.0f;
    bool changed = false;
    const float dist = float(m_targetDistance);

    if (nav.m_rotation != 0.0f) {
        m_heading += nav.m_rotation;
        nav.m_rotation = 0.0f;
        if (m_heading > kFullTurn) m_heading = 0.0f;
        if (m_heading < 0.0f) m_heading = kFullTurn;
        m_sinHeading = std::sin(m_heading);
        m_cosHeading = std::cos(m_heading);
        m_target.x = dist * m_sinHeading + m_eye.x;
        m_target.z = dist * m_cosHeading + m_eye.z;
        const float g = altitudeAt(m_target.x, m_target.z);
        m_target.y = (m_target.y * 6.0f + g) * 0.14285715f;
        changed = true;
    }

    if (s != 0.0f || u != 0.0f || f != 0.0f) {
        const float dx = f * m_sinHeading + s * m_cosHeading;
        const float dz = f * m_cosHeading - s * m_sinHeading;
        m_eye.x += dx;
        m_eye.z += dz;
        m_eye.y += u;
        const float floor = altitudeAt(m_eye.x, m_eye.z) + kClearance;
        if (m_eye.y < floor) m_eye.y = floor;
        m_target.x += dx;
        m_target.z += dz;
        const float g = altitudeAt(m_target.x, m_target.z);
        m_target.y = (m_target.y * 6.0f + g) * 0.14285715f;
        changed = true;
    }

    buildMatrices();
    return changed;
}

void CCamera::buildMatrices() {
    m_view = matrixLookAtLH(m_eye, m_target, glm::vec3(0.0f, 1.0f, 0.0f));
    m_projection = matrixPerspectiveFovLH(kFieldOfView, m_aspectRatio, kNearPlane, kFarPlane);
}

void CCamera::cameraSquare(int& row, int& column) const {
    // Truncation toward zero, kept defined for any eye position.
    auto square = [](float v) {
        const float q = v * 0.00625f;
        if (!(q == q)) return 0;
        return static_cast<int>(std::clamp(q, -1.0e6f, 1.0e6f));
    };
    row = square(m_eye.x);
    column = square(m_eye.z);
}

// ---- Status text ---------------------------------------------------------------------------

namespace {

template <typename... Args>
void formatInto(std::string& out, const char* fmt, Args... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, args...);
    out.assign(buf);   // reuses the line's storage from the previous frame
}

}  // namespace

void statusLines(const std::string& stats, const glm::vec3& hitPoint, bool debug, const CCamera& camera,
                 int cursorBlock, std::string& errorText, std::vector<StatusLine>& lines) {
    std::size_t used = 0;
    auto next = [&lines, &used](int x, int y, std::uint32_t colour) -> std::string& {
        if (used == lines.size()) lines.emplace_back();
        StatusLine& line = lines[used++];
        line.x = x;
        line.y = y;
        line.colour = colour;
        return line.text;
    };
    if (hitPoint.x > 0.0f)
        formatInto(next(2, 0, kStatusColour), "%s  coords in script = \"%4.2f,%4.2f\" Altitude is %4.0f", stats.c_str(),
                   double(hitPoint.x), double(hitPoint.z), double(hitPoint.y));
    else
        next(2, 0, kStatusColour).assign(stats);
    if (debug) {
        const float degrees = camera.m_heading * 0.15915494f * 360.0f;
        formatInto(next(2, 22, kStatusColour), "A=%.2f,FX=%.2f,FY=%.2f,FZ=%.2f,AX=%.2f,AY=%.2f,AZ=%.2f,CB=%d",
                   double(degrees), double(camera.m_eye.x), double(camera.m_eye.y), double(camera.m_eye.z),
                   double(camera.m_target.x), double(camera.m_target.y), double(camera.m_target.z), cursorBlock);
        if (!errorText.empty()) {
            next(2, 42, kErrorColour).assign(errorText);
            errorText.clear();
        }
    }
    lines.resize(used);
}

std::vector<StatusLine> statusLines(const std::string& stats, const glm::vec3& hitPoint, bool debug,
                                    const CCamera& camera, int cursorBlock, std::string& errorText) {
    std::vector<StatusLine> lines;
    statusLines(stats, hitPoint, debug, camera, cursorBlock, errorText, lines);
    return lines;
}

}  // namespace lnd
