// One frame of the terrain view as data: the renderer polls input into a FrameInput, calls
// CTerrainView::frame and draws the FramePlan it gets back (render states, the terrain
// blocks with their mesh and texture, the markers, the status lines) without deciding
// anything itself.
#pragma once

#include "base/settings.h"
#include "d3dframework/device_math.h"
#include "land/land.h"
#include "view/camera.h"
#include "view/frustum.h"
#include "view/picking.h"
#include "view/terrain_mesh.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lnd {

enum class FillMode { Solid, Wireframe };
enum class SamplerFilter { Point, Linear, Anisotropic };
// BlendTextureAlpha: texture * texture alpha + current colour * (1 - texture alpha), where
// the current colour is the vertex colour (lighting is off). SelectTexture: the texture.
enum class StageColourOp { BlendTextureAlpha, SelectTexture };

struct TextureStage {
    SamplerFilter mipFilter = SamplerFilter::Point;
    SamplerFilter minFilter = SamplerFilter::Point;
    SamplerFilter magFilter = SamplerFilter::Point;
    StageColourOp colourOp = StageColourOp::SelectTexture;   // colour argument 1 is the texture
    bool alphaOp = false;                                   // the alpha operation is disabled
};

// Stage 0 while the terrain is drawn: the sea shows the vertex colour through the block
// textures' transparent cells; no frame-buffer blending.
inline constexpr TextureStage kTerrainStage{SamplerFilter::Point, SamplerFilter::Point,
                                            SamplerFilter::Anisotropic, StageColourOp::BlendTextureAlpha, false};
// Stage 0 while the cursor model is drawn.
inline constexpr TextureStage kCursorStage{SamplerFilter::Point, SamplerFilter::Linear, SamplerFilter::Linear,
                                           StageColourOp::SelectTexture, false};

// States set whenever the device objects are restored.
struct DeviceStates {
    bool cullClockwise = true;
    bool lighting = false;
    std::uint32_t ambient = 0x00202020u;
    glm::vec4 materialDiffuse{1, 1, 1, 1};
    glm::vec4 materialAmbient{1, 1, 1, 1};
    glm::vec4 materialSpecular{1, 0, 0, 0};
    float materialPower = 1.0f;
    // Light 0: directional, enabled.
    glm::vec3 lightDiffuse{0.5f, 0.5f, 1.0f};
    glm::vec3 lightSpecular{0.5f, 0.5f, 0.5f};
    glm::vec3 lightPosition{0.0f, 500.0f, 0.0f};   // above the land's centre
    glm::vec3 lightDirection{0.57735026f, 0.57735026f, 0.57735026f};
    float lightRange = 30000.0f;
};
DeviceStates deviceStatesFor(const LandBounds& bounds);

// Which texture a terrain block is drawn with.
enum class TerrainTexture {
    Block,       // the block's synthesised texture (the land's block textures), coordinate set 1
    LoRes,       // low-resolution texture loResIndex (the land's low-resolution textures), coordinate set 0
    Unchanged,   // whatever the previous block left bound
};

struct TerrainDrawItem {
    int block = -1;                  // record index
    std::uint8_t lod = 0;            // LodFull, LodMedium or LodLow
    const DeviceMesh* mesh = nullptr;
    TerrainTexture texture = TerrainTexture::Unchanged;
    int loResIndex = -1;
    int texCoordSet = -1;            // 1 for Block, 0 for LoRes, -1 unchanged
};

struct MarkerDraw {
    bool visible = false;
    Matrix world = matrixIdentity();
};

struct FramePlan {
    std::uint32_t clearColour = 0xFF0080F8u;
    float clearDepth = 1.0f;
    std::uint32_t clearStencil = 0;
    // Fill mode of the terrain and the sphere; the cursor model is always solid, and the fill
    // mode returns to this one after it.
    FillMode fill = FillMode::Solid;
    bool landShown = false;          // false: only the status text is drawn

    Matrix view = matrixIdentity();
    Matrix projection = matrixIdentity();
    Matrix world = matrixIdentity();

    TextureStage terrainStage = kTerrainStage;
    std::vector<TerrainDrawItem> terrain;   // in drawing order

    MarkerDraw cursorModel;                 // stage kCursorStage, texture coordinate set 0
    MarkerDraw brushSphere;                 // wireframe
    const DeviceMesh* brushSphereMesh = nullptr;

    std::vector<StatusLine> status;
    BrushKeys brushKeys;                    // held this frame, for the altitude brush
    // What the shell shows in plain boxes after this frame (a block texture that could not
    // be made, once per block).
    std::vector<std::string> notices;
};

struct FrameInput {
    KeyDownQuery keyDown;            // empty while a menu or dialog is open: no key polling
    bool pointerInView = false;      // false also while a menu or dialog is open: no picking
    bool holdPick = false;           // a menu or dialog is open: the picker keeps its pick
    float pointerX = 0.0f, pointerY = 0.0f;   // client coordinates
    int backBufferWidth = 0, backBufferHeight = 0;
    bool editorMode = false;         // land-editor mode (the brush sphere is drawn)
    int brushRadius = 80;            // the brush tool's radius: the sphere's size
    std::string frameStats;          // the framework's statistics text
};

inline constexpr const char* kTextureErrorText = "ERROR IN LOADING TEXTURE, error =";
// The render view's window title, and the font of the status lines.
inline constexpr const char* kViewWindowTitle = "Base: D3D Basic Example";
inline constexpr const char* kStatusFontName = "Arial";
inline constexpr int kStatusFontSize = 12;

class CTerrainView {
public:
    // Reads the key table; done once when the view is created.
    void readKeyTable(CSettings& settings);

    // Once, when the view is set up: takes the land's edit count as seen and sets
    // m_synthesize to SynthesizeBlockTexture unless one was given. The view learns of edits by
    // comparing the land's edit counts each frame: the plan is made again and blocks edited
    // since their synthesis failed get another try.
    void attach(CLand& land);

    // After a successful open (the load has built the geometry through the hooks; this
    // builds nothing and leaves the cells alone): the aspect ratio and detail forcing read,
    // the home view scheduled, the pick and texture failures forgotten, m_wireframe off.
    // `settings` gives the aspect ratio, the detail forcing and the cursor scale (defaults
    // without).
    void onLandOpened(CLand& land, CSettings* settings);

    // The view's part of a device restore: the low-resolution textures are the land's
    // business; this builds every block's meshes (land loaded) and, the first time, the
    // brush sphere with the brush radius of the last frame.
    void restoreDeviceObjects(CLand& land);

    // The view's part of the program's end: every texture and mesh of the land is released
    // and their tables dropped. The shell asked about unsaved edits before; the land's flags
    // are left as they are.
    void finalCleanup(CLand& land);

    // One frame, in the view's frame order. `synthesize` makes block b's texture (filling the
    // land's m_textureError on failure); texture failures are reported once per block
    // through the land's messages and not retried until forgotten.
    FramePlan frame(CLand& land, const FrameInput& input);
    // The same into `plan`, reusing its lists' storage: a renderer that keeps one plan makes
    // no allocation per frame in steady state.
    void frame(CLand& land, const FrameInput& input, FramePlan& plan);

    // The wireframe toggle; the detail maps are recomputed on the next frame.
    void setWireframe(bool on);

    // Allows another synthesis attempt for block b (after an edit released its texture).
    void forgetTextureFailure(int b);

    // The draw list alone, as frame() makes it.
    std::vector<TerrainDrawItem> buildDrawList(CLand& land);
    // The notices buildDrawList gathered since they were last taken (frame() hands them on in
    // its plan).
    std::vector<std::string> takeNotices() { return std::exchange(m_notices, {}); }
    void buildDrawList(CLand& land, std::vector<TerrainDrawItem>& items);

    // The parts of the view; each has its own interface.
    CTerrainMesh& mesh() { return m_mesh; }
    const CTerrainMesh& mesh() const { return m_mesh; }
    CCamera& camera() { return m_camera; }
    const CCamera& camera() const { return m_camera; }
    CViewNavigator& navigator() { return m_navigator; }
    // A line the status shows once, at the next frame (a file that could not be read).
    void setStatusError(std::string text) { m_errorText = std::move(text); }

    CTerrainPicker& picker() { return m_picker; }
    const CTerrainPicker& picker() const { return m_picker; }
    const CBrushSphere& sphere() const { return m_sphere; }
    const Frustum& frustum() const { return m_frustum; }
    KeyTable& keys() { return m_keys; }
    const KeyTable& keys() const { return m_keys; }

    static constexpr float kDefaultCursorScale = 6.0f;
    // Read from the settings at every land opened, not per frame.
    float cursorScale() const { return m_cursorScale; }
    bool wireframe() const { return m_wireframe; }
    // Whether the editor mode draws the brush sphere (on by default).
    bool showBrushSphere() const { return m_showBrushSphere; }
    void setShowBrushSphere(bool on) { m_showBrushSphere = on; }
    // What makes block b's texture; attach() installs SynthesizeBlockTexture unless one was
    // set before.
    using Synthesizer = std::function<int(CLand& land, int block)>;
    const Synthesizer& synthesizer() const { return m_synthesize; }
    void setSynthesizer(Synthesizer synthesize) { m_synthesize = std::move(synthesize); }

private:
    CTerrainMesh m_mesh;
    CCamera m_camera;
    float m_cursorScale = kDefaultCursorScale;
    int m_brushRadius = 80;
    CViewNavigator m_navigator;
    Frustum m_frustum;
    CTerrainPicker m_picker;
    std::string m_errorText;
    CBrushSphere m_sphere;
    KeyTable m_keys;
    bool m_wireframe = false;
    bool m_showBrushSphere = true;
    Synthesizer m_synthesize;
    std::vector<bool> m_textureFailed;
    std::vector<std::uint32_t> m_failedAtEdit;   // the block's edit count when it failed
    std::uint64_t m_seenEdits = 0;
    std::vector<std::string> m_notices;
    void noticeEdits(const CLand& land);
    bool m_sphereMade = false;
};

}  // namespace lnd
