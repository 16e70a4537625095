#include "tools/country_map.h"

#include "base/file_io.h"
#include "codec/picture_file.h"
#include "land/land.h"
#include "textures/map_picture.h"
#include "textures/synthesis.h"
#include "tools/cell_grid.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace lnd {

namespace {

constexpr std::uint8_t kMiddleAltitude = 128;
// Palette colours differ by at least this much in one channel.
constexpr int kColourSeparation = 8;

std::string sizeText(int columns, int rows) { return std::to_string(columns) + " x " + std::to_string(rows); }

int usableCountries(const CLand& land) { return std::min(land.numCountries(), kCountryIndexLimit); }

// The highest country index any cell of a block on the grid names, -1 with no block.
int highestIndexUsed(const CLand& land) {
    int highest = -1;
    const std::span<const TLndBlock> blocks = land.blocks();
    for (int gx = 0; gx < kGridSize; ++gx)
        for (int gz = 0; gz < kGridSize; ++gz) {
            const int b = land.blockRecordAt(gx, gz);
            if (b < 0) continue;
            for (const auto& row : blocks[std::size_t(b)].Cells)
                for (const TLndCell& cell : row) highest = std::max(highest, cell.countryIndex());
        }
    return highest;
}

// The colour the synthesis gives a flat square of country `k`: every corner at the middle
// altitude, no noise and no sea flags, averaged over the whole block texture.
std::array<std::uint8_t, 3> typicalColour(BlockSynthesizer& synth, std::vector<std::uint8_t>& texels, int k,
                                          std::span<const TLndCountry> countries,
                                          std::span<const TLndMaterial> materials) {
    static const TLndNoiseMap kNoNoise{};
    TLndBlock block{};
    for (auto& row : block.Cells)
        for (TLndCell& cell : row) {
            cell.Altitude = kMiddleAltitude;
            cell.CellFlags = std::uint16_t(k);
        }
    synth.synthesize(block, countries, materials, kNoNoise, SeaAlphas{}, texels.data());
    std::uint64_t sum[3] = {};
    for (std::size_t t = 0; t < texels.size(); t += 4) {
        sum[0] += texels[t + 2];   // texels are blue, green, red, alpha
        sum[1] += texels[t + 1];
        sum[2] += texels[t];
    }
    const std::uint64_t n = texels.size() / 4;
    return {std::uint8_t((sum[0] + n / 2) / n), std::uint8_t((sum[1] + n / 2) / n), std::uint8_t((sum[2] + n / 2) / n)};
}

// Index of the palette entry nearest an opaque colour among the first `count` entries (the
// countries); the lowest index wins a tie.
std::uint8_t nearestCountry(const std::vector<std::uint32_t>& palette, int count, const std::uint8_t argb[4]) {
    int best = 0;
    long long bestDistance = -1;
    for (int k = 0; k < count; ++k) {
        std::uint8_t entry[4];
        unpackArgb(palette[std::size_t(k)], entry);
        long long d = 0;
        for (int c = 1; c < 4; ++c) {
            const long long delta = static_cast<long long>(argb[c]) - entry[c];
            d += delta * delta;
        }
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return std::uint8_t(best);
}

Result readSideFile(const std::string& picturePath, std::optional<HeightmapPlacement>& placement) {
    placement.reset();
    const std::string side = heightmapSidecarPath(picturePath);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(side, ec)) return Result::success();
    std::vector<std::uint8_t> bytes;
    if (Result r = readWholeFile(side, bytes, 1 << 16); !r) return r.within(side);
    HeightmapPlacement at;
    if (Result r = parseHeightmapSidecar(std::string(bytes.begin(), bytes.end()), at); !r) return r.within(side);
    placement = at;
    return Result::success();
}

std::string expectedSizeText(const OccupiedGrid& grid, const std::optional<HeightmapPlacement>& placement) {
    if (placement) return "its side file describes " + sizeText(placement->columns, placement->rows);
    return "the land's cells are " + sizeText(grid.columns(), grid.rows()) + " (a country map has one pixel per cell)";
}

}  // namespace

std::vector<std::uint32_t> countryMapPalette(const CLand& land) {
    const int entries = std::max(usableCountries(land), highestIndexUsed(land) + 1);
    std::vector<std::uint32_t> palette;
    BlockSynthesizer synth;
    std::vector<std::uint8_t> texels(kBlockTexelBytes);
    const LandTables tables = landTables(land);
    const std::span<const TLndCountry> countries = tables.countries;
    const std::span<const TLndMaterial> materials = tables.materials;
    for (int k = 0; k < entries; ++k) {
        std::array<std::uint8_t, 3> rgb = typicalColour(synth, texels, k, countries, materials);
        // Two countries of the same look still need two colours for a flattened map, far
        // enough apart that a few steps of drift in an image editor keep them apart.
        const auto tooClose = [&](const std::array<std::uint8_t, 3>& c) {
            for (std::uint32_t e : palette) {
                std::uint8_t argb[4];
                unpackArgb(e, argb);
                int apart = 0;
                for (int ch = 0; ch < 3; ++ch) apart = std::max(apart, std::abs(int(c[std::size_t(ch)]) - argb[ch + 1]));
                if (apart < kColourSeparation) return true;
            }
            return false;
        };
        // Each channel walks away from its own nearer end, turning at the other; the number
        // of entries (at most 17) leaves far more room than this walk needs.
        int direction[3];
        for (int ch = 0; ch < 3; ++ch) direction[ch] = rgb[std::size_t(ch)] < 128 ? 1 : -1;
        for (int step = 0; step < 3 * 64 && tooClose(rgb); ++step) {
            const int ch = step % 3;
            int v = rgb[std::size_t(ch)] + direction[ch] * kColourSeparation;
            if (v < 0 || v > 255) {
                direction[ch] = -direction[ch];
                v = rgb[std::size_t(ch)] + direction[ch] * kColourSeparation;
            }
            rgb[std::size_t(ch)] = std::uint8_t(v);
        }
        palette.push_back(packArgb(255, rgb[0], rgb[1], rgb[2]));
    }
    palette.push_back(packArgb(0, 0, 0, 0));
    return palette;
}

Result exportCountryMap(const CLand& land, CImage8& out, HeightmapPlacement* placement) {
    const OccupiedGrid grid = occupiedGrid(land);
    if (!grid.any) return Result::failure(Status::NotPossible, "the land has no block on its grid");
    CImage8 picture;
    if (!picture.SetSize(grid.columns(), grid.rows()))
        return Result::failure(Status::OutOfMemory, "the picture cannot be made that large");
    picture.palette() = countryMapPalette(land);
    const auto empty = std::uint8_t(picture.palette().size() - 1);
    const int row0 = kSquaresPerSide * grid.minX, col0 = kSquaresPerSide * grid.minZ;
    for (int r = 0; r < grid.rows(); ++r)
        for (int c = 0; c < grid.columns(); ++c) {
            const TLndCell* cell = gridCellAt(land, row0 + r, col0 + c);
            picture.indices()[std::size_t(r) * std::size_t(grid.columns()) + std::size_t(c)] =
                cell != nullptr ? std::uint8_t(cell->countryIndex()) : empty;
        }
    if (placement != nullptr) *placement = {grid.minX, grid.minZ, grid.rows(), grid.columns()};
    out = std::move(picture);
    return Result::success();
}

Result writeCountryMapFiles(const CLand& land, const std::string& pngPath, HeightmapPlacement* placement) {
    CImage8 picture;
    HeightmapPlacement at;
    if (Result r = exportCountryMap(land, picture, &at); !r) return r;
    const std::vector<std::uint8_t> png = encodePngPaletted(picture);
    if (png.empty()) return Result::failure(Status::IoFailed, "the PNG file could not be encoded");
    if (Result r = writePlacedPicture(pngPath, png, at); !r) return r;
    if (placement != nullptr) *placement = at;
    return Result::success();
}

Result readCountryMapFiles(const CLand& land, const std::string& picturePath, bool readSideFile_,
                           std::unique_ptr<CImageBase>& picture, CountryMapImportOptions& options) {
    picture.reset();
    options.placement.reset();
    const OccupiedGrid grid = occupiedGrid(land);
    if (!grid.any) return Result::failure(Status::NotPossible, "the land has no block on its grid");
    if (readSideFile_)
        if (Result r = readSideFile(picturePath, options.placement); !r) return r;
    const int wantW = options.placement ? options.placement->columns : grid.columns();
    const int wantH = options.placement ? options.placement->rows : grid.rows();
    const auto check = [&](int w, int h) {
        if (w == wantW && h == wantH) return Result::success();
        return Result::failure(Status::BadInput,
                               "the picture is " + sizeText(w, h) + " pixels but " + expectedSizeText(grid, options.placement));
    };
    if (Result r = readPictureFile(picturePath, picture, check); !r) {
        options.placement.reset();
        return r.within(picturePath);
    }
    return Result::success();
}

Result planCountryMapImport(const CLand& land, const CImageBase& picture, const CountryMapImportOptions& options,
                            CountryMapEdit& edit) {
    edit = CountryMapEdit{};
    if (!land.hasImage()) return Result::failure(Status::NotPossible, "no land is held");
    const OccupiedGrid grid = occupiedGrid(land);
    if (!grid.any) return Result::failure(Status::NotPossible, "the land has no block on its grid");
    const int width = picture.width(), height = picture.height();
    if (width <= 0 || height <= 0) return Result::failure(Status::BadInput, "the picture has no pixels");

    int rowOrigin = kSquaresPerSide * grid.minX, colOrigin = kSquaresPerSide * grid.minZ;
    const auto& side = options.placement;
    if (side) {
        if (side->rows != height || side->columns != width)
            return Result::failure(Status::BadInput,
                                   "the picture is " + sizeText(width, height) + " pixels but " + expectedSizeText(grid, side));
        rowOrigin = kSquaresPerSide * side->gridX;
        colOrigin = kSquaresPerSide * side->gridZ;
        if (side->gridX < 0 || side->gridZ < 0 || rowOrigin + height > kCellsAlongGrid ||
            colOrigin + width > kCellsAlongGrid)
            return Result::failure(Status::BadInput, "the side file places the picture beyond the land's grid (grid-x " +
                                                         std::to_string(side->gridX) + ", grid-z " +
                                                         std::to_string(side->gridZ) + ", " + sizeText(width, height) +
                                                         " cells; the grid has " + std::to_string(kCellsAlongGrid) +
                                                         " cells a side)");
    } else if (height != grid.rows() || width != grid.columns()) {
        return Result::failure(Status::BadInput,
                               "the picture is " + sizeText(width, height) + " pixels but " + expectedSizeText(grid, side));
    }

    // Every pixel's index first, so that a bad one refuses the import before anything is
    // worked out.
    const int countries = usableCountries(land);
    std::vector<std::uint8_t> indices(std::size_t(width) * std::size_t(height));
    if (picture.kind() == CImage8::kKind) {
        const auto& paletted = static_cast<const CImage8&>(picture);
        std::copy(paletted.indices(), paletted.indices() + indices.size(), indices.begin());
    } else {
        const auto& colour = static_cast<const CImage32&>(picture);
        const std::vector<std::uint32_t> palette = countryMapPalette(land);
        const auto empty = std::uint8_t(palette.size() - 1);
        std::uint32_t lastColour = 0;
        std::uint8_t lastIndex = 0;
        bool haveLast = false;
        for (std::size_t k = 0; k < indices.size(); ++k) {
            const std::uint8_t* p = colour.pixels() + 4 * k;
            if (p[0] < 128) {
                indices[k] = empty;
                continue;
            }
            const std::uint32_t key = packArgb(255, p[1], p[2], p[3]);
            if (!haveLast || key != lastColour) {   // painted maps come in runs of one colour
                lastIndex = nearestCountry(palette, countries, p);
                lastColour = key;
                haveLast = true;
            }
            indices[k] = lastIndex;
        }
    }
    bool anyCell = false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (gridCellAt(land, rowOrigin + y, colOrigin + x) == nullptr) continue;
            anyCell = true;
            const int index = indices[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            if (index >= countries)
                return Result::failure(Status::BadInput, "the pixel at column " + std::to_string(x) + ", row " +
                                                             std::to_string(y) + " has country index " +
                                                             std::to_string(index) + " but the land has " +
                                                             std::to_string(countries) +
                                                             (countries == 1 ? " country" : " countries"));
        }
    if (!anyCell)
        return Result::failure(Status::BadInput, "the side file names squares the land does not have (grid-x " +
                                                     std::to_string(rowOrigin / kSquaresPerSide) + ", grid-z " +
                                                     std::to_string(colOrigin / kSquaresPerSide) + ", " +
                                                     sizeText(width, height) + " cells hold none of its blocks)");

    // Each record once, through the first square that names it, in record order.
    std::vector<OccupiedSquare> records = occupiedSquares(land, grid);
    std::sort(records.begin(), records.end(),
              [](const OccupiedSquare& x, const OccupiedSquare& y) { return x.record < y.record; });
    const std::span<const TLndBlock> blocks = land.blocks();
    for (const auto& [gx, gz, b] : records) {
        const TLndBlock& block = blocks[std::size_t(b)];
        bool changed = false;
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                const int row = kSquaresPerSide * gx + i, col = kSquaresPerSide * gz + j;
                const int y = row - rowOrigin, x = col - colOrigin;
                if (y < 0 || x < 0 || y >= height || x >= width) continue;
                const int index = indices[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                // The map shows one copy of a shared cell; where it still shows that copy's
                // country the other copies keep theirs, so a map brought back unchanged
                // changes nothing.
                const TLndCell* shown = gridCellAt(land, row, col);
                if (shown == nullptr || shown->countryIndex() == index) continue;
                const TLndCell& cell = block.Cells[i][j];
                if (cell.countryIndex() == index) continue;
                const auto after = std::uint16_t((cell.CellFlags & ~kCountryMask) | index);
                edit.cells.push_back(
                    {b, std::uint16_t(kCellsPerSide * i + j), cell.Altitude, cell.Altitude, cell.CellFlags, after});
                changed = true;
            }
        if (changed) edit.changedBlocks.push_back(b);
    }
    return Result::success();
}

void applyCountryMapEdit(CLand& land, const CountryMapEdit& edit) {
    if (edit.cells.empty()) return;
    const std::span<TLndBlock> blocks = land.blocks();
    for (const BrushStroke::CellChange& c : edit.cells) {
        if (c.block < 0 || std::size_t(c.block) >= blocks.size() || c.cell >= kCellsPerBlock) continue;
        TLndCell& cell = blocks[std::size_t(c.block)].Cells[c.cell / kCellsPerSide][c.cell % kCellsPerSide];
        cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) | (c.flagsAfter & kCountryMask));
    }
    land.markModified();
    land.blocksEdited(edit.changedBlocks);
}

void revertCountryCells(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                        std::vector<int>& touched) {
    revertCountryChanges(cells, records, touched);
}

void reapplyCountryCells(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                         std::vector<int>& touched) {
    reapplyCountryChanges(cells, records, touched);
}

}  // namespace lnd
