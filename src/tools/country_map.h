// Country maps: which country covers each cell, as an 8-bit paletted picture of one pixel per
// cell, for painting in an image editor and bringing back.
//
// Layout and placement are the heightmap's (tools/cell_grid.h, tools/heightmap.h): picture row
// 16·gx + i and column 16·gz + j hold cell [i][j] of the block on square (gx, gz), counted from
// the smallest occupied square, and the side file "NAME.png.txt" records where the picture
// sits. Palette index k is country k, coloured as the country looks on the land; cells of
// empty squares carry the transparent index just beyond the countries.
//
// An import changes country bits only (never altitudes or other flags) and is refused whole,
// before anything changes, when a pixel over one of the land's cells names no country.
#pragma once

#include "base/result.h"
#include "codec/image.h"
#include "land/brush_history.h"
#include "tools/heightmap.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lnd {

class CLand;

// Indexes a cell can name: CountryIndex has four bits.
inline constexpr int kCountryIndexLimit = 16;

// The picture's palette for the land: one opaque colour per country (the mean colour the
// synthesis gives the country on flat land at altitude 128 with no noise, so the map looks
// like the land), then the transparent entry of empty squares. Colours are kept at least 8
// steps apart in one channel, so a map whose palette an image editor flattened (and drifted
// by a step or two) still names every country.
// Indexes cells use beyond the countries (a damaged land) get entries of their own before the
// transparent one. Entries are packed as CImage8 palettes are (packArgb).
std::vector<std::uint32_t> countryMapPalette(const CLand& land);

// The country map of the held land over its occupied grid. Fails (NotPossible) when the land
// holds no block on its grid. `placement` (may be null) receives where the picture sits.
Result exportCountryMap(const CLand& land, CImage8& out, HeightmapPlacement* placement = nullptr);

// The export as the user asks for it: the paletted PNG and its side file written as a pair
// (atomically; on failure neither is left half-written and existing ones keep their bytes).
Result writeCountryMapFiles(const CLand& land, const std::string& pngPath, HeightmapPlacement* placement = nullptr);

struct CountryMapImportOptions {
    std::optional<HeightmapPlacement> placement;   // from the picture's side file, if any
};

// What an import changes: the block records whose cells change (each once, in record order)
// and every changed cell's bytes before and after (altitudes equal, flags differing in the
// country bits only), in record then cell order.
struct CountryMapEdit {
    std::vector<int> changedBlocks;
    std::vector<BrushStroke::CellChange> cells;
};

// Reads a country map for import: the side file beside it when there is one (unless
// `readSideFile` is false), then the picture, whose sides are checked against the size the
// side file or the land's cells ask for before any pixel memory is allocated. PNG, BMP or
// TGA; a paletted file keeps its indices.
Result readCountryMapFiles(const CLand& land, const std::string& picturePath, bool readSideFile,
                           std::unique_ptr<CImageBase>& picture, CountryMapImportOptions& options);

// Works out what applying `picture` would change, without changing the land. A paletted
// picture is read by index, any other by the nearest opaque colour of countryMapPalette
// (pixels with alpha below 128 give the transparent index). The side file's placement, or a
// picture of exactly the occupied grid's cell size, places it; anything else is refused with
// the expected size named. Pixels over cells of empty squares are ignored; a pixel over a
// land cell whose index is at or above the land's country count refuses the whole import,
// naming the first such pixel (row by row). A pixel equal to the country the export shows
// for its cell changes none of that cell's copies; any other value is given to every copy.
Result planCountryMapImport(const CLand& land, const CImageBase& picture, const CountryMapImportOptions& options,
                            CountryMapEdit& edit);

// Writes the edit's 'after' country bits into the cells, sets m_modified and drops the
// changed blocks' textures (CLand::blocksEdited). Nothing happens for an empty edit.
void applyCountryMapEdit(CLand& land, const CountryMapEdit& edit);

// Undo and redo of an applied edit, one step each: a cell's country goes back to 'before'
// (forward to 'after') only while it still holds the other side's, so later painting is never
// overwritten; altitudes and other flags are never touched. Block records whose cells
// changed are appended to `touched` once each; the caller drops their textures.
void revertCountryCells(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                        std::vector<int>& touched);
void reapplyCountryCells(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                         std::vector<int>& touched);

}  // namespace lnd
