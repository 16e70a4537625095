// The terrain view's camera: an eye flying over the land and a target at a fixed horizontal
// distance in the heading direction that follows the ground. Keys and mouse drags feed four
// accumulators in CViewNavigator; the camera update consumes them once per frame.
#pragma once

#include "d3dframework/device_math.h"
#include "view/view_settings.h"
#include "land/land.h"

#include <glm/vec3.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lnd {

// Ground height under world position (x, z): the altitude of the cell the position falls in,
// 0 for sea squares, positions outside the 32 x 32 grid, or a missing land. Negative
// coordinates are outside (truncation toward zero would otherwise give square 0 and a
// negative cell index), and cell indices are kept to 0..16.
float AltitudeAt(const TLndHeader* header, std::span<const TLndBlock> blocks, float x, float z);
// The same for the land model; 0 while no land is loaded.
float AltitudeAt(const CLand& land, float x, float z);

using AltitudeLookup = std::function<float(float x, float z)>;

class CViewNavigator {
public:
    static constexpr int kBorder = 30;
    static constexpr float kMoveFactor = 1.0f;
    static constexpr float kRotateFactor = 0.003f;
    // Cursor resources of zones 1..4 (top, bottom, left, right); zone 0 shows the system
    // cross cursor.
    static constexpr std::array<int, 5> kZoneCursors{0, 134, 135, 132, 133};

    // Takes the view's client rectangle (on creation and every size change).
    void setClientRect(int left, int top, int right, int bottom);

    // 3 left, 4 right (a band twice the border width), 1 top, 2 bottom, 0 centre.
    int zoneAt(int x, int y) const;
    bool inside(int x, int y) const;

    void onLeftButtonDown(int x, int y);
    void onLeftButtonUp(int x, int y);
    void onMouseMove(int x, int y);

    void clearAccumulators() { m_strafe = m_vertical = m_forward = m_rotation = 0.0f; }

    float m_strafe = 0.0f;
    float m_vertical = 0.0f;
    float m_forward = 0.0f;
    float m_rotation = 0.0f;

    int m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
    int width() const { return m_right - m_left; }
    int height() const { return m_bottom - m_top; }

    bool m_dragging = false;
    int m_zone = 0;            // zone of the drag, or under the pointer while not dragging
    int m_lastX = 0, m_lastY = 0;
    bool m_captured = false;   // the view should hold the mouse capture
    // The cursor the view should show: kZoneCursors[m_zone].
    int cursorResource() const { return kZoneCursors[std::size_t(m_zone)]; }

private:
    void clampToRect(int& x, int& y) const;
};

// Key table: one virtual-key code per action in KeyAction order, 0 for an action without a
// key. Codes carry the shift state in their high byte, as the platform reports a key that
// types a character; such a code is never polled as down.
struct KeyTable {
    std::array<int, kKeyActionCount> codes{};
};

// The virtual-key code (0x100 added when Shift is needed) of the key that types `c` on the
// standard US layout: 'a'..'z' give 0x41..0x5A, 'A'..'Z' 0x141..0x15A, digits 0x30..0x39.
// 0 for a character no key types.
int virtualKeyForChar(char c);

KeyTable keyTableFromBindings(const std::array<std::optional<char>, kKeyActionCount>& bindings);

// Whether a key (virtual-key code 1..255) is held down now.
using KeyDownQuery = std::function<bool(int virtualKey)>;

struct BrushKeys {
    bool add = false;
    bool sub = false;
    bool smooth = false;
};

// Adds this frame's key movements to the accumulators; returns the brush keys held.
BrushKeys pollKeys(const KeyTable& table, const KeyDownQuery& isDown, CViewNavigator& nav);

class CCamera {
public:
    static constexpr float kFullTurn = 6.2831855f;
    static constexpr float kFieldOfView = 0.7853982f;
    static constexpr float kNearPlane = 15.0f;
    static constexpr float kFarPlane = 6000.0f;
    static constexpr float kClearance = 40.0f;
    static constexpr float kDefaultAspect = 1.35f;

    // Eye above the land's centre (at least 150 high), looking along +x at a target three
    // times the eye height away. Clears the accumulators; returns true (the detail maps are
    // stale).
    bool HomeView(const LandBounds& bounds, const AltitudeLookup& altitudeAt, CViewNavigator& nav);

    // Consumes the accumulators: turns, moves with ground clearance, lets the target's height
    // follow the ground by a seventh per frame, and rebuilds the view and projection.
    // Returns true when the camera moved or turned.
    bool UpdateCamera(CViewNavigator& nav, const AltitudeLookup& altitudeAt);

    // The grid square of the eye: truncated eye x / 160 (row) and z / 160 (column).
    void cameraSquare(int& row, int& column) const;

    glm::vec3 m_eye{0.0f};
    glm::vec3 m_target{0.0f};
    float m_heading = 0.0f;
    std::int32_t m_targetDistance = 0;
    float m_sinHeading = 0.0f;
    float m_cosHeading = 1.0f;
    float m_aspectRatio = kDefaultAspect;   // "aspectRatio", read at every open
    bool m_homePending = true;

    Matrix m_view = matrixIdentity();
    Matrix m_projection = matrixIdentity();

private:
    void buildMatrices();
};

// Text lines drawn over the view, each at its position and in its colour.
struct StatusLine {
    int x = 0;
    int y = 0;
    std::uint32_t colour = 0;
    std::string text;
};

inline constexpr std::uint32_t kStatusColour = 0xFFFFFF00u;
inline constexpr std::uint32_t kErrorColour = 0xFFFF0000u;

// The status lines of one frame. `stats` is the frame statistics text (the caller passes it
// only in debug mode); the picked point is reported when its x is above 0. `errorText` is
// shown once in debug mode and emptied.
std::vector<StatusLine> statusLines(const std::string& stats, const glm::vec3& hitPoint, bool debug,
                                    const CCamera& camera, int cursorBlock, std::string& errorText);
// The same into `lines`, reusing its entries and their text storage from the previous frame.
void statusLines(const std::string& stats, const glm::vec3& hitPoint, bool debug, const CCamera& camera,
                 int cursorBlock, std::string& errorText, std::vector<StatusLine>& lines);

}  // namespace lnd
