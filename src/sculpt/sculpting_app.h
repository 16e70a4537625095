// CSculptingApp: Clayvane's land, brushes, meshes, tools, camera and menu, driven one pass
// of the main loop at a time. It knows nothing of the window system: input arrives in its
// key and button table, drawing leaves through a CRenderTarget and dialogs and message
// boxes through a CShell.
#pragma once

#include "sculpt/block_meshes.h"
#include "sculpt/brush_file.h"
#include "sculpt/lndprocess.h"
#include "sculpt/menu_data.h"
#include "sculpt/render_target.h"
#include "sculpt/synthesis.h"

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

class CSculptingApp : public CLandFile, public CBrushList {
public:
    CSculptingApp();
    ~CSculptingApp() override;

    // Start-up: the data files of the start directory, then the first land. Problems with
    // the data files are shown and the built-in ones used; returns false (after a message)
    // when the land cannot be loaded.
    bool OpenFirstLand(const std::string& path, CShell& shell);
    // Reads Brushes.txt and Clayvane.dat of the start directory (built-in ones stand in for
    // missing or broken files) and makes the brush pictures. Returns the problems met, for
    // one message; empty when all went well.
    std::string ReadDataFiles(const std::string& startDirectory);
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
    SMat4 ModelView() const;
    SMat4 Projection() const { return m_projection; }
    void PickVertex();
    int BrushCentre(int& vertex) const;   // slot of the centre, vertex within it
    void SynthesiseAll(CRenderTarget& rt);   // starts the texture pass shown by the progress bar
    void FinishSynthesis(CRenderTarget& rt);   // runs what is left of it at once
    bool Synthesising() const { return m_synthColumn >= 0; }
    void SynthesiseBlock(int s, CRenderTarget& rt);
    void MakeSwatches(CRenderTarget& rt);
    void BuildLandLists(CRenderTarget& rt);
    void BuildLandList(int s, CRenderTarget& rt);
    void BuildOverlayLists(int country, CRenderTarget& rt);
    void BuildOverlayList(int s, int country, CRenderTarget& rt);
    bool MenuShown() const { return m_menuOpen; }
    const std::vector<std::uint8_t>& BrushPictures() const { return m_brushPictureBytes; }

    // Land.
    CBlockMeshes m_mesh;
    int m_trianglesPerBlock = kTrianglesPerBlock;
    int m_verticesPerBlock = kVerticesPerBlock;
    SPick m_pick;
    std::vector<std::uint8_t> m_changed;   // per slot, during a stroke

    // Tools.
    float m_brushRadius = 53.0f;
    float m_brushStrength = 2.0f;
    std::array<float, kRings> m_profile{};
    std::array<std::array<float, 3>, kRings> m_ringColours{};
    std::uint8_t m_currentCountry = 2;

    // Textures and lists.
    STables m_tables;
    std::vector<std::uint8_t> m_swatchAltitude;
    bool m_smoothShading = true;
    bool m_liveTexture = false;

    // Input.
    std::array<bool, 256> m_keys{};
    bool m_ctrlDown = false;
    bool m_leftDown = false, m_rightDown = false, m_middleDown = false;
    bool m_active = true;
    float m_mouse[2] = {0, 0};
    float m_lastMouse[2] = {0, 0};

    // Camera.
    float m_distance = -2000.0f;
    float m_pitch = 0.0f;
    float m_yaw = 0.0f;
    float m_panX = 4600.0f;
    float m_panZ = 4400.0f;
    float m_pointSize = 5.0f;
    SVec3 m_walkRef;

    // Toggles.
    bool m_spotlight = false;
    bool m_showBoxes = false;
    bool m_paintMode = false;

    // Menu.
    bool m_menuOpen = false, m_toolMenuOpen = false;
    bool m_selecting = false, m_selectingBrush = false, m_selectingCountry = false;
    bool m_wantLoad = false, m_wantSave = false, m_wantQuit = false;
    float m_spin = 0.0f, m_spinSpeed = 0.0f;
    int m_cursor = 0;
    float m_flipAngle = 0.0f;
    int m_flipDirection = 0;
    bool m_flipOut = false, m_flipIn = false;
    float m_turn = 0.0f;

    int m_width = 640, m_height = 480;

private:
    void MenuStep();
    void Menu(CRenderTarget& rt);
    void CloseMenus();
    int WrapCursor(int count) const;
    void SynthesiseColumn(int column, CRenderTarget& rt);
    void KeyActions(CShell& shell, CRenderTarget& rt);
    bool Once(int key);

    SMat4 m_projection;
    int m_synthColumn = -1;   // next grid column of the texture pass, -1 when none runs
    std::vector<std::uint8_t> m_brushPictureBytes;
    SMenuData m_menuData;
    std::vector<std::uint8_t> m_texelScratch;
    std::vector<SListVertex> m_listScratch;
    std::vector<SOverlayVertex> m_overlayScratch;
    std::vector<SColouredPoint> m_points;
    SSpotlight m_light;
    bool m_spotlightDrew = false;
    std::vector<std::uint8_t> m_skip;
};

}  // namespace clay
