// The land's cells on one grid of 513 x 513 global cells, as the heightmap and the country map
// lay them out: global cell (16·gx + i, 16·gz + j) is cell [i][j] of the block on square
// (gx, gz), rows along x. A cell on a shared block edge is one global cell held by two or four
// records; the layout reads it from one of them (gridCellAt).
#pragma once

#include "format/lnd_format.h"

#include "textures/map_picture.h"

#include <span>
#include <vector>

namespace lnd {

class CLand;

inline constexpr int kCellsAlongGrid = kGridSize * kSquaresPerSide + 1;   // 513 cells along a side

// The record cell that shows global cell (row, col): the block whose own square contains it,
// else a block to -x, -z or both whose last row or column is that cell. Null when no block
// holds it or the position lies outside the grid.
const TLndCell* gridCellAt(const CLand& land, int row, int col);

// A square that holds a block, with its record.
struct OccupiedSquare {
    int gx, gz, record;
};
// Every record on the grid once, through the first square (gx outer, gz inner) that names it.
std::vector<OccupiedSquare> occupiedSquares(const CLand& land, const OccupiedGrid& grid);

inline constexpr int kCellsPerBlock = kCellsPerSide * kCellsPerSide;

// The tables the synthesis reads, from a land held read-only (empty spans and a null noise
// map with no image).
struct LandTables {
    std::span<const TLndCountry> countries;
    std::span<const TLndMaterial> materials;
    const TLndNoiseMap* noise = nullptr;
};
LandTables landTables(const CLand& land);

}  // namespace lnd
