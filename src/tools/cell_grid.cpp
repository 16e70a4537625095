#include "tools/cell_grid.h"

#include "land/land.h"

namespace lnd {

const TLndCell* gridCellAt(const CLand& land, int row, int col) {
    if (row < 0 || col < 0 || row >= kCellsAlongGrid || col >= kCellsAlongGrid) return nullptr;
    const int gx = row / kSquaresPerSide, gz = col / kSquaresPerSide;
    const int i = row % kSquaresPerSide, j = col % kSquaresPerSide;
    const std::span<const TLndBlock> blocks = land.blocks();
    const struct {
        int dx, dz;
        bool usable;
    } tries[4] = {{0, 0, true}, {-1, 0, i == 0}, {0, -1, j == 0}, {-1, -1, i == 0 && j == 0}};
    for (const auto& t : tries) {
        if (!t.usable) continue;
        const int b = land.blockRecordAt(gx + t.dx, gz + t.dz);
        if (b < 0) continue;
        return &blocks[std::size_t(b)].Cells[i - 16 * t.dx][j - 16 * t.dz];
    }
    return nullptr;
}

LandTables landTables(const CLand& land) {
    LandTables t;
    if (!land.hasImage()) return t;
    const std::uint8_t* image = land.fileImage().data();
    const LndLayout& l = land.layout();
    t.countries = {reinterpret_cast<const TLndCountry*>(image + l.countriesOffset), std::size_t(l.numCountries)};
    t.materials = {reinterpret_cast<const TLndMaterial*>(image + l.materialsOffset), std::size_t(l.numMaterials)};
    t.noise = reinterpret_cast<const TLndNoiseMap*>(image + l.noiseOffset);
    return t;
}

std::vector<OccupiedSquare> occupiedSquares(const CLand& land, const OccupiedGrid& grid) {
    std::vector<OccupiedSquare> squares;
    std::vector<bool> seen(std::size_t(land.numBlocks()), false);
    for (int gx = grid.minX; gx <= grid.maxX; ++gx)
        for (int gz = grid.minZ; gz <= grid.maxZ; ++gz) {
            const int b = land.blockRecordAt(gx, gz);
            if (b < 0 || seen[std::size_t(b)]) continue;
            seen[std::size_t(b)] = true;
            squares.push_back({gx, gz, b});
        }
    return squares;
}

}  // namespace lnd
