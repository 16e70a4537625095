// Clayvane's block textures, country swatches and the vertex arrays its display lists are
// compiled from. Pure computation: the renderer uploads and compiles the results.
#pragma once

#include "sculpt/block_meshes.h"
#include "sculpt/lndprocess.h"

#include "format/material_weights.h"

#include <array>
#include <cstdint>
#include <vector>

namespace clay {

inline constexpr int kTextureSide = 256;
inline constexpr int kFadeSteps = 250;

struct STables {
    float m_fadeUp[kFadeSteps];
    float m_fadeDown[kFadeSteps];
    STables();
};

// One corner's colour: the blend of the country's entry for `height` at material texel T.
// Country and material indices outside the tables fall back to the last entry (black when
// the table is empty); a blend weight outside 0..255 is clamped.
void BlendAt(const CLandFile& land, int country, int height, int texel, std::uint8_t rgb[3]);

// The 256 x 256 RGBA texture of slot s. Its corner weights are the format library's table,
// the one Vostrel's kernel uses.
void SynthesiseBlock(const CLandFile& land, const CBlockMesh& mesh, std::uint8_t* rgba);

// The 256 x 256 RGB swatch of country c over the swatch altitude map.
void MakeSwatch(const CLandFile& land, int country, const std::vector<std::uint8_t>& swatchAltitude, std::uint8_t* rgb);

struct SListVertex {
    float n[3];
    float uv[2];
    float p[3];
};
struct SOverlayVertex {
    float rgba[4];
    float p[3];
};

// The land list's 1536 vertices: vertex normals when smooth, else each triangle's face normal.
void LandListVertices(const CBlockMesh& mesh, bool smooth, std::vector<SListVertex>& out);
// The overlay list's 1536 vertices: green at 0.2 where the cell's country is `country`.
void OverlayVertices(const CLandFile& land, const CBlockMesh& mesh, int country, std::vector<SOverlayVertex>& out);

}  // namespace clay
