// What Clayvane's headless core asks of its renderer: resources made from the core's arrays
// and the drawing steps of a frame. The GL renderer implements it with fixed-function calls;
// CNullTarget draws nothing, for tests, benchmarks and runs without a window.
#pragma once

#include "sculpt/block_meshes.h"
#include "sculpt/carousel_menu.h"
#include "sculpt/menu_data.h"
#include "sculpt/sculpt_math.h"
#include "sculpt/stroke_tool.h"
#include "sculpt/synthesis.h"

#include <array>
#include <cstdint>
#include <vector>

namespace clay {

// The spotlight of one frame: for each of its slots the opacity of every triangle, and the
// opacity of its outline (negative: no outline, the triangle is 250 units or more away).
struct SSpotlight {
    struct SSlot {
        int slot = -1;
        std::array<float, kTrianglesPerBlock> fill{};
        std::array<float, kTrianglesPerBlock> outline{};
    };
    std::vector<SSlot> slots;
    bool smooth = true;
};

class CRenderTarget {
public:
    virtual ~CRenderTarget() = default;

    // Resources.
    virtual void CreateMenuTextures(const SMenuData& data) = 0;
    virtual void CreateBrushPictures(int count, const std::vector<std::uint8_t>& pictures) = 0;   // 64 * 64 each
    virtual void ResetBlockTextures(int count) = 0;
    virtual void UploadBlockTexture(int slot, const std::uint8_t* rgba) = 0;
    virtual void UploadSwatches(int count, const std::vector<std::uint8_t>& rgb) = 0;   // 256 * 256 * 3 each
    virtual void CompileLandList(int slot, const std::vector<SListVertex>& vertices) = 0;
    virtual void CompileOverlayList(int slot, const std::vector<SOverlayVertex>& vertices) = 0;
    virtual void DeleteLandResources() = 0;   // block textures, swatches and both lists

    // A frame, in the order the core calls them.
    virtual void BeginFrame(const SMat4& projection, const SMat4& modelView, float pointSize) = 0;
    virtual void DrawPoints(const std::vector<SColouredPoint>& points) = 0;
    virtual void DrawCross(SVec3 centre) = 0;
    virtual void DrawSpotlight(const SSpotlight& light, const CBlockMeshes& meshes) = 0;
    virtual void DrawLandLists(int slots, const std::vector<std::uint8_t>& skip) = 0;
    virtual void DrawOverlayLists(int slots) = 0;
    virtual void DrawBoxes(const CBlockMeshes& meshes) = 0;
    virtual void DrawStrengthBar(float strength) = 0;
    virtual void DrawMenu(const SMenuPlan& plan) = 0;
    virtual void DrawProgress(int columns) = 0;

    // The picture shown while block textures are made again: HoldPicture keeps what the
    // frame has drawn so far, DrawHeldPicture puts it back (nothing before the first hold).
    virtual void HoldPicture() = 0;
    virtual void DrawHeldPicture() = 0;
};

class CNullTarget final : public CRenderTarget {
public:
    void CreateMenuTextures(const SMenuData&) override {}
    void CreateBrushPictures(int, const std::vector<std::uint8_t>&) override {}
    void ResetBlockTextures(int) override {}
    void UploadBlockTexture(int, const std::uint8_t*) override {}
    void UploadSwatches(int, const std::vector<std::uint8_t>&) override {}
    void CompileLandList(int, const std::vector<SListVertex>&) override {}
    void CompileOverlayList(int, const std::vector<SOverlayVertex>&) override {}
    void DeleteLandResources() override {}
    void BeginFrame(const SMat4&, const SMat4&, float) override {}
    void DrawPoints(const std::vector<SColouredPoint>&) override {}
    void DrawCross(SVec3) override {}
    void DrawSpotlight(const SSpotlight&, const CBlockMeshes&) override {}
    void DrawLandLists(int, const std::vector<std::uint8_t>&) override {}
    void DrawOverlayLists(int) override {}
    void DrawBoxes(const CBlockMeshes&) override {}
    void DrawStrengthBar(float) override {}
    void DrawMenu(const SMenuPlan&) override {}
    void DrawProgress(int) override {}
    void HoldPicture() override {}
    void DrawHeldPicture() override {}
};

}  // namespace clay
