// CSculptingApp: Clayvane's editor, composed of its parts: the land, the brush set, the block
// meshes, the stroke tool, the orbit camera and the carousel menu, driven one pass of the main
// loop at a time. It knows nothing of the window system: input arrives in its SInput, drawing
// leaves through a CRenderTarget and dialogs and message boxes through a CShell.
#pragma once

#include "sculpt/block_meshes.h"
#include "sculpt/brush_file.h"
#include "sculpt/carousel_menu.h"
#include "sculpt/lndprocess.h"
#include "sculpt/menu_data.h"
#include "sculpt/orbit_camera.h"
#include "sculpt/render_target.h"
#include "sculpt/stroke_tool.h"
#include "sculpt/synthesis.h"

#include "base/result.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace clay {

inline constexpr char kAppTitle[] = "Clayvane 1.0b";

// Virtual-key codes of the key table.
enum EKey : int {
    kKeyEnter = 13,
    kKeyCtrl = 17,
    kKeyEscape = 27,
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
    kKeyF1 = 112,
    kKeyF2 = 113,
};

class CShell {
public:
    virtual ~CShell() = default;
    virtual std::string OpenDialog(const std::string& title) = 0;   // empty: cancelled
    virtual std::string SaveDialog(const std::string& title) = 0;
    virtual bool Ask(const std::string& text, const std::string& caption) = 0;
    virtual void Error(const std::string& text, const std::string& caption) = 0;
    virtual void Quit() = 0;
};

// What the window records for the loop: keys (set on press, cleared on release), buttons and
// the pointer in client pixels, this frame and the previous one.
struct SInput {
    std::array<bool, 256> keys{};
    bool ctrl = false;
    bool left = false, right = false, middle = false;
    bool active = true;   // the window is not minimised
    float mouse[2] = {0, 0};
    float lastMouse[2] = {0, 0};
};

// The switches of the view and the tools.
struct SToggles {
    bool smoothShading = true;   // vertex normals, else face normals
    bool liveTexture = false;    // strokes synthesise the hit block again
    bool spotlight = false;
    bool showBoxes = false;
    bool paintMode = false;      // the stroke paints countries instead of sculpting
};

class CSculptingApp {
public:
    CSculptingApp();

    // Start-up: the first land. Returns false (after a message) when it cannot be loaded.
    bool OpenFirstLand(const std::string& path, CShell& shell);
    // Reads Brushes.txt and Clayvane.dat of the start directory (built-in ones stand in for
    // missing or broken files) and makes the brush pictures. Returns the problems met, for
    // one message; empty when all went well.
    std::string ReadDataFiles(const std::string& startDirectory);
    // The built-in brushes and menu data, as if the files held them.
    void UseBuiltInData();
    // Hands the menu pictures and brush pictures to the renderer.
    void UploadDataFiles(CRenderTarget& rt);
    // Meshes, normals, edge flags, swatches, textures and lists of the land just loaded.
    void LandStartUp(CRenderTarget& rt);
    // Loads another land; on failure the current one stays.
    lnd::Result LoadLand(const std::string& path, CRenderTarget& rt);
    lnd::Result Save(const std::string& path);
    // The same for the shell: a failure is shown in Clayvane's words.
    bool LoadLand(const std::string& path, CShell& shell, CRenderTarget& rt);
    bool Save(const std::string& path, CShell& shell);

    void Resize(int width, int height);
    // One pass of the main loop: the menu step on Escape (false: that pass acts on nothing
    // else), else a frame (true: the requests and keys follow once it is shown).
    bool Pass(CRenderTarget& rt);
    // After the frame is shown: the menu's requests, then the keys.
    void AfterFrame(CShell& shell, CRenderTarget& rt);
    // Drops every key and button (the window lost the focus).
    void ClearInput();
    void SetKey(int code, bool down);

    // Pieces the loop is made of, public for tests and benchmarks.
    void SelectBrush(int b);
    void Frame(CRenderTarget& rt);
    void SculptStroke(CRenderTarget& rt);
    void PaintStroke(CRenderTarget& rt);
    void WalkTool(CRenderTarget& rt);
    SMat4 Projection() const { return m_projection; }
    void PickVertex();
    void SynthesiseAll(CRenderTarget& rt);     // starts the texture pass shown by the progress bar
    void FinishSynthesis(CRenderTarget& rt);   // runs what is left of it at once
    bool Synthesising() const { return m_synthColumn >= 0; }
    // The last frame showed the held picture under the progress bar.
    bool TexturingShown() const { return m_texturingShown; }
    void SynthesiseBlock(int s, CRenderTarget& rt);
    void MakeSwatches(CRenderTarget& rt);
    void BuildLandLists(CRenderTarget& rt);
    void BuildLandList(int s, CRenderTarget& rt);
    void BuildOverlayLists(int country, CRenderTarget& rt);
    void BuildOverlayList(int s, int country, CRenderTarget& rt);
    const std::vector<std::uint8_t>& BrushPictures() const { return m_brushPictureBytes; }
    const STables& Tables() const { return m_tables; }

    CLandFile m_land;
    CBrushList m_brushes;
    CBlockMeshes m_mesh;
    SPick m_pick;
    CStrokeTool m_stroke;
    COrbitCamera m_camera;
    CCarouselMenu m_menu;
    SInput m_input;
    SToggles m_toggles;

private:
    void KeyActions(CShell& shell, CRenderTarget& rt);
    // The main menu's chosen item; true when the user chose to quit.
    bool ServeChoice(CShell& shell, CRenderTarget& rt);
    void SynthesiseColumn(int column, CRenderTarget& rt);
    void Spotlight(const int slots[9], int n, CRenderTarget& rt);
    void Menu(CRenderTarget& rt);
    bool Once(int key);

    STables m_tables;
    SMenuData m_menuData;
    std::vector<std::uint8_t> m_brushPictureBytes;
    int m_width = 640, m_height = 480;
    SMat4 m_projection;
    int m_synthColumn = -1;   // next grid column of the texture pass, -1 when none runs
    std::vector<std::uint8_t> m_changed;   // per slot, during a stroke
    std::vector<std::uint8_t> m_texelScratch;
    std::vector<SListVertex> m_listScratch;
    std::vector<SOverlayVertex> m_overlayScratch;
    std::vector<SColouredPoint> m_points;
    SSpotlight m_light;
    bool m_spotlightDrew = false;
    bool m_texturingShown = false;
    std::vector<std::uint8_t> m_skip;
};

}  // namespace clay
