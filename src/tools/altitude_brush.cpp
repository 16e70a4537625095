#include "tools/altitude_brush.h"

#include "base/settings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace lnd {

namespace {

constexpr std::uint16_t kWaterMarks = kWater | 0x0400;
constexpr std::uint16_t kCoastMarks = kCoast | kEditMarks;

// Rebuilds the meshes of the listed blocks (-1 entries skipped) from their cells and drops
// their block textures, so the next full-detail drawing or full save synthesises them again.
void refreshBlocks(CLand& land, CTerrainMesh& mesh, const std::vector<int>& changed) {
    mesh.RebuildBlocks(changed, land.blocks());
    land.blocksEdited(changed);
}

int blockLimit(const CLand& land, const CTerrainMesh& mesh) { return std::min(land.numBlocks(), mesh.blockCount()); }

// Altitude of the cell di, dj steps from cell [i][j] of `block`: its own cells when inside,
// otherwise the neighbouring block on the grid that holds that cell (through any of the
// blocks sharing it). False when no block holds it (the land's edge or an empty square).
bool neighbourAltitude(const CLand& land, const TLndBlock& block, int i, int j, int di, int dj, std::uint8_t& out) {
    const int ni = i + di, nj = j + dj;
    if (ni >= 0 && nj >= 0 && ni < kCellsPerSide && nj < kCellsPerSide) {
        out = block.Cells[ni][nj].Altitude;
        return true;
    }
    const long gx = std::lround(double(float(block.MapX)) / 160.0), gz = std::lround(double(float(block.MapZ)) / 160.0);
    const long row = gx * kSquaresPerSide + ni, col = gz * kSquaresPerSide + nj;
    if (row < 0 || col < 0) return false;
    const int sx = int(row / kSquaresPerSide), sz = int(col / kSquaresPerSide);
    const int ci = int(row % kSquaresPerSide), cj = int(col % kSquaresPerSide);
    const std::span<const TLndBlock> records = std::as_const(land).blocks();
    // The square owning the cell first, then the squares whose last row or column it is.
    const struct {
        int dx, dz;
        bool usable;
    } tries[4] = {{0, 0, true}, {-1, 0, ci == 0}, {0, -1, cj == 0}, {-1, -1, ci == 0 && cj == 0}};
    for (const auto& t : tries) {
        if (!t.usable) continue;
        const int b = land.blockRecordAt(sx + t.dx, sz + t.dz);
        if (b < 0 || std::size_t(b) >= records.size()) continue;
        out = records[std::size_t(b)].Cells[ci - kSquaresPerSide * t.dx][cj - kSquaresPerSide * t.dz].Altitude;
        return true;
    }
    return false;
}

// Mean altitude of the 3 x 3 neighbourhood of cell [i][j], over the cells that exist.
double neighbourhoodMean(const CLand& land, const TLndBlock& block, int i, int j) {
    int sum = 0, count = 0;
    for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
            std::uint8_t h = 0;
            if (!neighbourAltitude(land, block, i, j, di, dj, h)) continue;
            sum += h;
            ++count;
        }
    }
    return count > 0 ? double(sum) / double(count) : double(block.Cells[i][j].Altitude);
}

}  // namespace

int brushRing(double d, int radius) {
    if (radius <= 0) return 0;
    const double ring = std::trunc(d * 10.0 / double(radius) - 1.0);
    return int(std::clamp(ring, 0.0, 9.0));
}

std::uint8_t brushAltitude(std::uint8_t h, int mode, int times, float factor) {
    const double value = double(h) + double(times) * double(factor) * double(mode);
    if (std::isnan(value)) return h;
    // Clamped while still floating point: settings may give huge or infinite factors.
    return static_cast<std::uint8_t>(std::trunc(std::clamp(value, 0.0, 255.0)));
}

std::uint8_t smoothedAltitude(std::uint8_t h, double mean, int times, float factor) {
    const double weight = double(times) * double(factor) / 10.0;
    if (!(weight > 0.0) || !std::isfinite(mean)) return h;
    const double value = double(h) + (std::clamp(mean, 0.0, 255.0) - double(h)) * std::min(1.0, weight);
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

std::uint16_t reclassifiedFlags(std::uint16_t flags, std::uint8_t altitude, const SeaParms& sea) {
    std::uint16_t f = std::uint16_t(flags & kCountryMask);
    if (altitude < sea.altitudeWater) f = std::uint16_t(f | kWaterMarks);
    else if (altitude < sea.altitudeCoast) f = std::uint16_t(f | kCoastMarks);
    return f;
}

std::vector<int> ApplyBrush(CLand& land, CTerrainMesh& mesh, const BrushStep& step) {
    std::vector<int> changed;
    const int mode = step.mode;
    if (mode != kBrushRaise && mode != kBrushLower && mode != kBrushLevel && mode != kBrushSmooth) return changed;
    if (!land.hasImage()) return changed;
    const int count = blockLimit(land, mesh);
    const int cursor = step.block;
    if (cursor < 0 || cursor >= count) return changed;
    if (mode != kBrushLevel && step.brush == nullptr) return changed;

    land.markModified();
    BrushStroke* stroke = nullptr;
    if (mode != kBrushLevel && !land.history().replaying()) {
        BrushStroke s;
        s.mode = mode;
        s.centreX = step.centre[0];
        s.centreY = step.centre[1];
        s.centreZ = step.centre[2];
        s.radius = step.radius;
        s.times = step.times;
        s.block = cursor;
        s.brush = step.brush;
        stroke = &land.history().record(std::move(s));
    }

    // The block under the pointer, then its neighbours in slot order. A record reached twice
    // (a damaged grid) is edited once.
    std::vector<int> visit{cursor};
    const BlockLinks& links = mesh.geometry(cursor).links;
    for (int slot = 1; slot <= 8; ++slot) {
        const int n = links.neighbour(slot);
        if (n >= 0 && n < count && std::find(visit.begin(), visit.end(), n) == visit.end()) visit.push_back(n);
    }

    const double cx = step.centre[0], cz = step.centre[2];
    const int radius = step.radius;
    const auto level = static_cast<std::uint8_t>(step.level & 0xFF);
    const std::span<TLndBlock> records = land.blocks();
    // Smoothing reads its means before any cell changes, so the visiting order does not
    // matter and both copies of a shared edge cell see the same neighbourhood.
    std::vector<std::array<double, kCellsPerSide * kCellsPerSide>> means;
    if (mode == kBrushSmooth) {
        means.resize(visit.size());
        for (std::size_t v = 0; v < visit.size(); ++v) {
            const TLndBlock& block = records[std::size_t(visit[v])];
            for (int i = 0; i < kCellsPerSide; ++i)
                for (int j = 0; j < kCellsPerSide; ++j) means[v][std::size_t(17 * i + j)] = neighbourhoodMean(land, block, i, j);
        }
    }
    for (std::size_t v = 0; v < visit.size(); ++v) {
        const int b = visit[v];
        TLndBlock& block = records[std::size_t(b)];
        const double mapX = float(block.MapX), mapZ = float(block.MapZ);
        bool blockChanged = false;
        for (int i = 0; i < kCellsPerSide; ++i) {
            for (int j = 0; j < kCellsPerSide; ++j) {
                // The same world position in both blocks of a shared border, so both copies
                // of a border vertex get the same height.
                const double dx = cx - (mapX + 10.0 * i), dz = cz - (mapZ + 10.0 * j);
                const double d = std::sqrt(dx * dx + dz * dz);
                if (!(d <= double(radius))) continue;
                TLndCell& cell = block.Cells[i][j];
                const std::uint8_t h = cell.Altitude;
                std::uint8_t next = level;
                if (mode == kBrushSmooth) {
                    next = smoothedAltitude(h, means[v][std::size_t(17 * i + j)], step.times,
                                            step.brush->params[std::size_t(brushRing(d, radius))]);
                } else if (mode != kBrushLevel) {
                    next = brushAltitude(h, mode, step.times, step.brush->params[std::size_t(brushRing(d, radius))]);
                }
                if (next == h) continue;
                const std::uint16_t flags = cell.CellFlags;
                cell.Altitude = next;
                cell.CellFlags = reclassifiedFlags(flags, next, land.m_seaParms);
                if (stroke != nullptr)
                    stroke->cells.push_back({b, std::uint16_t(17 * i + j), h, next, flags, cell.CellFlags});
                blockChanged = true;
            }
        }
        changed.push_back(blockChanged ? b : -1);
    }
    refreshBlocks(land, mesh, changed);
    return changed;
}

bool UndoStroke(CLand& land, CTerrainMesh& mesh, std::vector<int>* touchedOut) {
    std::vector<int> touched;
    if (!land.history().undoNewest(land.blocks(), touched)) return false;
    // The history moved: what is shown may differ from the file even where no cell did.
    land.markModified();
    if (!touched.empty()) refreshBlocks(land, mesh, touched);
    if (touchedOut != nullptr) *touchedOut = std::move(touched);
    return true;
}

bool RedoStroke(CLand& land, CTerrainMesh& mesh, std::vector<int>* touchedOut) {
    std::vector<int> touched;
    if (!land.history().redoNewest(land.blocks(), touched)) return false;
    // The history moved: what is shown may differ from the file even where no cell did.
    land.markModified();
    if (!touched.empty()) refreshBlocks(land, mesh, touched);
    if (touchedOut != nullptr) *touchedOut = std::move(touched);
    return true;
}

void brushKeysFrame(CLand& land, CTerrainMesh& mesh, BrushStep& tool, BrushKeys held, const CBrushDef* selected) {
    for (const auto& [down, mode] : {std::pair{held.add, kBrushRaise}, std::pair{held.sub, kBrushLower},
                                    std::pair{held.smooth, kBrushSmooth}}) {
        if (!down) continue;
        tool.brush = selected;
        if (selected != nullptr && tool.block != -1) ApplyBrush(land, mesh, tool.withMode(mode));
    }
}

}  // namespace lnd
