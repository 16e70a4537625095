// Clayvane's renderer: fixed-function OpenGL 1.1 with GLU. Every GL call of the program is
// in gl_renderer.cpp; the core decides what is drawn and hands over arrays and matrices.
#pragma once

#include "sculpt/render_target.h"

#include <cstdint>
#include <vector>

namespace clay {

class CGLRenderer final : public CRenderTarget {
public:
    // The rendering state the program starts with.
    void InitState();
    void Resize(int pixelWidth, int pixelHeight);
    // Deletes everything, menu textures and brush pictures included (end of the program).
    void DeleteAll();
    // Reads the back buffer (what the frame just drew) as RGBA rows, top row first.
    std::vector<std::uint8_t> ReadPixels(int width, int height) const;

    void CreateMenuTextures(const SMenuData& data) override;
    void CreateBrushPictures(int count, const std::vector<std::uint8_t>& pictures) override;
    void ResetBlockTextures(int count) override;
    void UploadBlockTexture(int slot, const std::uint8_t* rgba) override;
    void UploadSwatches(int count, const std::vector<std::uint8_t>& rgb) override;
    void CompileLandList(int slot, const std::vector<SListVertex>& vertices) override;
    void CompileOverlayList(int slot, const std::vector<SOverlayVertex>& vertices) override;
    void DeleteLandResources() override;

    void BeginFrame(const SMat4& projection, const SMat4& modelView, float pointSize) override;
    void DrawPoints(const std::vector<SColouredPoint>& points) override;
    void DrawCross(SVec3 centre) override;
    void DrawSpotlight(const SSpotlight& light, const CBlockMeshes& meshes) override;
    void DrawLandLists(int slots, const std::vector<std::uint8_t>& skip) override;
    void DrawOverlayLists(int slots) override;
    void DrawBoxes(const CBlockMeshes& meshes) override;
    void DrawStrengthBar(float strength) override;
    void DrawMenu(const SMenuPlan& plan) override;
    void DrawProgress(int columns) override;
    void HoldPicture() override;
    void DrawHeldPicture() override;

private:
    static void DeleteTextures(std::vector<unsigned>& names);
    static void DeleteLists(std::vector<unsigned>& lists);
    static unsigned& Slot(std::vector<unsigned>& table, int slot);

    std::vector<unsigned> m_menuTextures;
    std::vector<unsigned> m_brushPictures;
    std::vector<unsigned> m_blockTextures;
    std::vector<unsigned> m_swatchTextures;
    std::vector<unsigned> m_landLists;
    std::vector<unsigned> m_overlayLists;
    unsigned m_heldPicture = 0;   // a copy of the colour buffer, m_heldWidth x m_heldHeight
    int m_heldWidth = 0, m_heldHeight = 0;
    int m_viewWidth = 0, m_viewHeight = 0;
};

}  // namespace clay
