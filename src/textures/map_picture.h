// The whole land seen from above: every block's synthesised texture laid on the grid, the sea
// colour shown through transparent texels and on empty squares, scaled to a chosen size.
#pragma once

#include "base/result.h"
#include "codec/image.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace lnd {

class CLand;

// The smallest rectangle of grid squares holding every square that names a block record.
// Its cells, shared edges counted once, are rows() x columns(); rows run along x.
struct OccupiedGrid {
    bool any = false;
    int minX = 0, maxX = -1, minZ = 0, maxZ = -1;

    int squaresX() const { return any ? maxX - minX + 1 : 0; }
    int squaresZ() const { return any ? maxZ - minZ + 1 : 0; }
    int rows() const { return any ? 16 * squaresX() + 1 : 0; }
    int columns() const { return any ? 16 * squaresZ() + 1 : 0; }
};
OccupiedGrid occupiedGrid(const CLand& land);

inline constexpr int kDefaultMapSide = 4096;   // the default longer side's limit
// The largest longer side asked for: one pixel per texel of a full 32 x 32 grid.
inline constexpr int kMaxMapSide = 8192;

struct MapPictureOptions {
    int longerSide = 0;   // pixels of the longer side; 0: one per texel, at most kDefaultMapSide
    std::array<std::uint8_t, 3> sea{34, 78, 122};   // red, green, blue of the open sea
    int threads = 0;      // 0: one per processor, at most 8
};

// Renders the map picture of the held land: rows along x and columns along z, as the
// heightmap and the big-map dump lay them out, one 256 x 256 tile per occupied square at full
// size. Box-filtered when scaled down, nearest texel when scaled up. `progress` (may be
// empty) hears (blocks done, blocks in all) after every row of squares. NotPossible when the
// land holds no block on the grid, BadInput when the size is not 1..kMaxMapSide, OutOfMemory
// when the picture cannot be allocated.
Result renderMapPicture(CLand& land, const MapPictureOptions& options, CImage32& out,
                        const std::function<void(int done, int total)>& progress = {});

// The sides the picture will have for `options` (0 x 0 when the land holds no block).
void mapPictureSize(const OccupiedGrid& grid, int longerSide, int& width, int& height);

}  // namespace lnd
