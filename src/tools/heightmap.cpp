#include "tools/heightmap.h"

#include "base/file_io.h"
#include "codec/png_writer.h"
#include "tools/altitude_brush.h"
#include "tools/cell_grid.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace lnd {

namespace {

// Samples the picture at global cell positions; `rowOrigin`/`colOrigin` is the global cell
// of picture pixel (0, 0) in the exact case, the occupied grid's first cell when fitting.
struct Sampler {
    const GreyImage& picture;
    bool fit = false;
    int rowOrigin = 0, colOrigin = 0;
    int rows = 0, columns = 0;   // fitted extent in cells

    // False for a cell outside an exactly placed picture.
    bool sample(int row, int col, double& value) const {
        const int r = row - rowOrigin, c = col - colOrigin;
        if (!fit) {
            if (r < 0 || c < 0 || r >= picture.height || c >= picture.width) return false;
            value = picture.at(c, r);
            return true;
        }
        // Corner to corner: the first and last cells take the first and last pixels.
        const double y = rows > 1 ? double(r) * double(picture.height - 1) / double(rows - 1) : 0.0;
        const double x = columns > 1 ? double(c) * double(picture.width - 1) / double(columns - 1) : 0.0;
        const int y0 = std::min(int(y), picture.height - 1), x0 = std::min(int(x), picture.width - 1);
        const int y1 = std::min(y0 + 1, picture.height - 1), x1 = std::min(x0 + 1, picture.width - 1);
        const double fy = y - y0, fx = x - x0;
        const double top = picture.at(x0, y0) * (1.0 - fx) + picture.at(x1, y0) * fx;
        const double bottom = picture.at(x0, y1) * (1.0 - fx) + picture.at(x1, y1) * fx;
        value = top * (1.0 - fy) + bottom * fy;
        return true;
    }
};

std::string sizeText(int columns, int rows) { return std::to_string(columns) + " x " + std::to_string(rows); }

HeightmapEdit applyCells(CLand& land, const GreyImage& picture, const HeightmapImportOptions& options) {
    HeightmapEdit edit;
    const auto refuse = [&](Status status, std::string why) {
        edit.result = Result::failure(status, std::move(why));
        return edit;
    };
    if (!land.hasImage()) return refuse(Status::NotPossible, "no land is held");
    if (picture.empty() || picture.values.size() != std::size_t(picture.width) * std::size_t(picture.height) ||
        (picture.bits != 8 && picture.bits != 16))
        return refuse(Status::BadInput, "the picture has no pixels");
    if (options.minAltitude < 0 || options.minAltitude > 255 || options.maxAltitude < 0 || options.maxAltitude > 255)
        return refuse(Status::BadInput, "altitudes must be 0 to 255");
    const OccupiedGrid grid = occupiedGrid(land);
    if (!grid.any) return refuse(Status::NotPossible, "the land has no block on its grid");

    Sampler sampler{picture};
    const bool sizeMatches = picture.height == grid.rows() && picture.width == grid.columns();
    const auto& side = options.placement;
    const bool sideFits = side && side->rows == picture.height && side->columns == picture.width && side->gridX >= 0 &&
                          side->gridZ >= 0 && side->gridX < kGridSize && side->gridZ < kGridSize;
    if (options.fit != HeightmapFit::Fit && sideFits) {
        sampler.rowOrigin = kSquaresPerSide * side->gridX;
        sampler.colOrigin = kSquaresPerSide * side->gridZ;
    } else if (options.fit != HeightmapFit::Fit && sizeMatches) {
        sampler.rowOrigin = kSquaresPerSide * grid.minX;
        sampler.colOrigin = kSquaresPerSide * grid.minZ;
    } else if (options.fit == HeightmapFit::Exact) {
        return refuse(Status::BadInput,
                      "the picture is " + sizeText(picture.width, picture.height) + " pixels but the land's cells are " +
                          sizeText(grid.columns(), grid.rows()) +
                          (side ? std::string(" and its side file describes ") + sizeText(side->columns, side->rows)
                                : "") +
                          "; resample it to fit instead");
    } else {
        sampler.fit = true;
        sampler.rowOrigin = kSquaresPerSide * grid.minX;
        sampler.colOrigin = kSquaresPerSide * grid.minZ;
        sampler.rows = grid.rows();
        sampler.columns = grid.columns();
    }
    edit.resampled = sampler.fit;

    // Altitudes of the whole picture area first, so that a shared edge cell gets one value
    // whichever block holds it.
    const std::uint32_t maxValue = picture.maxValue();
    std::vector<bool> seen(std::size_t(land.numBlocks()), false);
    const std::span<TLndBlock> blocks = land.blocks();
    for (int gx = grid.minX; gx <= grid.maxX; ++gx) {
        for (int gz = grid.minZ; gz <= grid.maxZ; ++gz) {
            const int b = land.blockRecordAt(gx, gz);
            if (b < 0 || seen[std::size_t(b)]) continue;
            seen[std::size_t(b)] = true;
            TLndBlock& block = blocks[std::size_t(b)];
            bool changed = false;
            for (int i = 0; i < kCellsPerSide; ++i) {
                for (int j = 0; j < kCellsPerSide; ++j) {
                    double value = 0.0;
                    if (!sampler.sample(kSquaresPerSide * gx + i, kSquaresPerSide * gz + j, value)) continue;
                    const std::uint8_t next = heightmapAltitude(value, maxValue, options.minAltitude, options.maxAltitude);
                    TLndCell& cell = block.Cells[i][j];
                    if (cell.Altitude == next) continue;
                    const std::uint8_t old = cell.Altitude;
                    const std::uint16_t flags = cell.CellFlags;
                    cell.Altitude = next;
                    cell.CellFlags = reclassifiedFlags(flags, next, land.m_seaParms);
                    edit.before.push_back({b, std::uint16_t(17 * i + j), old, next, flags, cell.CellFlags});
                    changed = true;
                }
            }
            if (changed) edit.changedBlocks.push_back(b);
        }
    }
    std::sort(edit.changedBlocks.begin(), edit.changedBlocks.end());
    return edit;
}

}  // namespace

std::string heightmapSidecarPath(const std::string& picturePath) { return picturePath + ".txt"; }

std::string heightmapSidecarText(const HeightmapPlacement& p) {
    std::ostringstream s;
    s << "# Heightmap placement: grid square of the top-left pixel (rows run along x) and size\n"
      << "grid-x " << p.gridX << "\ngrid-z " << p.gridZ << "\nrows " << p.rows << "\ncolumns " << p.columns << "\n";
    return s.str();
}

Result parseHeightmapSidecar(const std::string& text, HeightmapPlacement& placement) {
    struct Field {
        const char* key;
        int* target;
        int lo, hi;
        bool found;
    };
    HeightmapPlacement p;
    Field fields[] = {{"grid-x", &p.gridX, 0, kGridSize - 1, false},
                      {"grid-z", &p.gridZ, 0, kGridSize - 1, false},
                      {"rows", &p.rows, 1, kCellsAlongGrid, false},
                      {"columns", &p.columns, 1, kCellsAlongGrid, false}};
    std::istringstream in(text);
    std::string line;
    std::uint64_t lineStart = 0, nextLine = 0;
    while (std::getline(in, line)) {
        lineStart = nextLine;
        nextLine += line.size() + 1;
        if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string key, value, extra;
        if (!(words >> key)) continue;
        words >> value >> extra;
        for (Field& f : fields) {
            if (key != f.key) continue;
            errno = 0;
            char* end = nullptr;
            const long v = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || errno != 0 || *end != '\0' || !extra.empty() || v < f.lo || v > f.hi) {
                return Result::badInputAt(lineStart, "side file: " + key + " must be a whole number from " +
                                                         std::to_string(f.lo) + " to " + std::to_string(f.hi));
            }
            *f.target = int(v);
            f.found = true;
        }
    }
    for (const Field& f : fields)
        if (!f.found) return Result::failure(Status::BadInput, std::string("side file: no ") + f.key + " line");
    placement = p;
    return Result::success();
}

GreyImage exportHeightmap(const CLand& land, int bits, HeightmapPlacement* placement) {
    GreyImage picture;
    const OccupiedGrid grid = occupiedGrid(land);
    if (!grid.any || (bits != 8 && bits != 16)) return picture;
    picture.width = grid.columns();
    picture.height = grid.rows();
    picture.bits = bits;
    picture.values.assign(std::size_t(picture.width) * std::size_t(picture.height), 0);
    const int row0 = kSquaresPerSide * grid.minX, col0 = kSquaresPerSide * grid.minZ;
    const std::uint16_t scale = bits == 16 ? 257 : 1;
    for (int r = 0; r < picture.height; ++r)
        for (int c = 0; c < picture.width; ++c)
            if (const TLndCell* cell = gridCellAt(land, row0 + r, col0 + c))
                picture.values[std::size_t(r) * std::size_t(picture.width) + std::size_t(c)] =
                    std::uint16_t(cell->Altitude * scale);
    if (placement != nullptr) *placement = {grid.minX, grid.minZ, picture.height, picture.width};
    return picture;
}

Result writePlacedPicture(const std::string& pngPath, std::span<const std::uint8_t> png,
                          const HeightmapPlacement& placement) {
    const std::string text = heightmapSidecarText(placement);
    const FileToWrite files[] = {
        {pngPath, png},
        {heightmapSidecarPath(pngPath), {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}}};
    return writeFilesAtomic(files);
}

Result writeHeightmapFiles(const CLand& land, const std::string& pngPath, int bits, HeightmapPlacement* placement) {
    if (bits != 8 && bits != 16) return Result::failure(Status::BadInput, "a heightmap has 8 or 16 bits");
    HeightmapPlacement at;
    const GreyImage picture = exportHeightmap(land, bits, &at);
    if (picture.empty()) return Result::failure(Status::NotPossible, "the land has no block on its grid");
    const std::vector<std::uint8_t> png = encodePngGrey(picture);
    if (png.empty()) return Result::failure(Status::OutOfMemory, "the PNG file could not be encoded");
    if (Result r = writePlacedPicture(pngPath, png, at); !r) return r;
    if (placement != nullptr) *placement = at;
    return Result::success();
}

Result readHeightmapFiles(const std::string& picturePath, bool readSideFile, GreyImage& picture,
                          std::optional<HeightmapPlacement>& placement) {
    placement.reset();
    if (Result r = readGreyImageFile(picturePath, picture); !r) return r;
    const std::string side = heightmapSidecarPath(picturePath);
    std::error_code ec;
    if (!readSideFile || !std::filesystem::is_regular_file(side, ec)) return Result::success();
    std::vector<std::uint8_t> bytes;
    HeightmapPlacement at;
    Result r = readWholeFile(side, bytes, 1 << 16);
    if (r) r = parseHeightmapSidecar(std::string(bytes.begin(), bytes.end()), at).within(side);  // names the file
    if (!r) {
        picture = GreyImage{};
        return r;
    }
    placement = at;
    return Result::success();
}

std::uint8_t heightmapAltitude(double value, std::uint32_t maxValue, int minAltitude, int maxAltitude) {
    const double a = double(minAltitude) + value * double(maxAltitude - minAltitude) / double(maxValue);
    return std::uint8_t(std::clamp(std::floor(a + 0.5), 0.0, 255.0));
}

HeightmapEdit ApplyHeightmap(CLand& land, const GreyImage& picture, const HeightmapImportOptions& options) {
    HeightmapEdit edit = applyCells(land, picture, options);
    if (edit.result && !edit.changedBlocks.empty()) {
        land.markModified();
        land.blocksEdited(edit.changedBlocks);
    }
    return edit;
}

HeightmapEdit ApplyHeightmap(CLand& land, CTerrainMesh& mesh, const GreyImage& picture,
                             const HeightmapImportOptions& options) {
    HeightmapEdit edit = applyCells(land, picture, options);
    if (edit.result && !edit.changedBlocks.empty()) {
        land.markModified();
        // Only blocks the mesh knows: a mesh built before the land grew has fewer.
        std::vector<int> known;
        for (int b : edit.changedBlocks)
            if (b < mesh.blockCount()) known.push_back(b);
        mesh.RebuildBlocks(known, land.blocks());
        land.blocksEdited(edit.changedBlocks);
    }
    return edit;
}

}  // namespace lnd
