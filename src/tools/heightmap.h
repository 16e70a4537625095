// Heightmaps: the land's altitudes as a grey picture of one pixel per cell, and such a picture
// (or any other grey or colour picture) applied back onto the land's blocks.
//
// Layout: picture row 16·gx + i and column 16·gz + j hold cell [i][j] of the block on square
// (gx, gz), counted from the smallest occupied square, so rows run along x as in the big-map
// dump. A cell on a shared block edge appears once.
#pragma once

#include "base/result.h"
#include "codec/grey_image.h"
#include "land/land.h"
#include "textures/map_picture.h"
#include "view/terrain_mesh.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lnd {

// Where a heightmap sits on the grid: the square of its top-left pixel and its sides. Written
// beside an exported picture so that an import puts it back on the same cells.
struct HeightmapPlacement {
    int gridX = 0;     // square of picture row 0
    int gridZ = 0;     // square of picture column 0
    int rows = 0;      // picture height
    int columns = 0;   // picture width
};

// The side file of a picture: the picture's path with ".txt" appended.
std::string heightmapSidecarPath(const std::string& picturePath);
std::string heightmapSidecarText(const HeightmapPlacement& placement);
// A picture and its side file saved as a pair (both or neither replaced).
Result writePlacedPicture(const std::string& pngPath, std::span<const std::uint8_t> png,
                          const HeightmapPlacement& placement);
// Reads "key value" lines (grid-x, grid-z, rows, columns; '#' starts a comment). BadInput
// (with the offset of the offending line) when a key is missing or a value is not a whole
// number in range; `placement` is then left as it was.
Result parseHeightmapSidecar(const std::string& text, HeightmapPlacement& placement);

// The land's altitudes over its occupied grid, 8 bits (the altitude) or 16 bits (the altitude
// × 257); empty squares 0. Empty picture when the land holds no block on its grid or `bits`
// is neither 8 nor 16. `placement` (may be null) receives where the picture sits.
GreyImage exportHeightmap(const CLand& land, int bits, HeightmapPlacement* placement = nullptr);

// The export as the user asks for it: the picture written as a grey PNG and its side file
// beside it, both atomically. On failure nothing is half-written and the Result says why:
// NotPossible when the land holds no block on its grid, BadInput for a bit depth other than
// 8 or 16, the file helpers' failure (with the system's reason) when a file cannot be written.
Result writeHeightmapFiles(const CLand& land, const std::string& pngPath, int bits,
                           HeightmapPlacement* placement = nullptr);

enum class HeightmapFit {
    Auto,    // one pixel per cell when the side file or the picture's size allows, else Fit
    Exact,   // one pixel per cell or refuse
    Fit,     // always resampled bilinearly onto the occupied cells
};

struct HeightmapImportOptions {
    HeightmapFit fit = HeightmapFit::Auto;
    std::optional<HeightmapPlacement> placement;   // from the picture's side file, if any
    int minAltitude = 0;     // altitude of the picture's lowest value
    int maxAltitude = 255;   // altitude of its highest value (may be below minAltitude)
};

// What an import changed: the block records whose cells changed (each once, in record
// order) and every changed cell's bytes before and after, so the caller can undo it as one
// step by the brush history's rule.
struct HeightmapEdit {
    Result result;                  // on failure, why nothing was changed
    bool resampled = false;         // the picture was fitted rather than laid pixel for pixel
    std::vector<int> changedBlocks;
    std::vector<BrushStroke::CellChange> before;
};

// Reads a picture for import (PNG, BMP or TGA) and, unless `readSideFile` is false, the side
// file beside it when there is one. A failure (unreadable picture, malformed side file) leaves
// `picture` empty and `placement` unset.
Result readHeightmapFiles(const std::string& picturePath, bool readSideFile, GreyImage& picture,
                          std::optional<HeightmapPlacement>& placement);

// The altitude a picture value gives: linear from 0..maxValue onto min..max, rounded to
// nearest and limited to 0..255.
std::uint8_t heightmapAltitude(double value, std::uint32_t maxValue, int minAltitude, int maxAltitude);

// Applies the picture to the cells of every block on the grid (records no square names are
// left alone). Both copies of a shared edge cell get the same altitude; a changed cell is
// reclassified as water or coast with the land's sea parameters as the altitude brush does.
// Sets m_modified and drops the changed blocks' textures. On failure the land is untouched.
HeightmapEdit ApplyHeightmap(CLand& land, const GreyImage& picture, const HeightmapImportOptions& options);
// The same for a land held with its terrain mesh: the changed blocks' meshes are rebuilt too.
HeightmapEdit ApplyHeightmap(CLand& land, CTerrainMesh& mesh, const GreyImage& picture,
                             const HeightmapImportOptions& options);

}  // namespace lnd
