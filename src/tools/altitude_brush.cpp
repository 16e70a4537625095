#include "tools/altitude_brush.h"

#include "base/settings.h"

#include <algorithm>
#include <cmath>

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

std::uint16_t reclassifiedFlags(std::uint16_t flags, std::uint8_t altitude, const SeaParms& sea) {
    std::uint16_t f = std::uint16_t(flags & kCountryMask);
    if (altitude < sea.altitudeWater) f = std::uint16_t(f | kWaterMarks);
    else if (altitude < sea.altitudeCoast) f = std::uint16_t(f | kCoastMarks);
    return f;
}

std::vector<int> ApplyBrush(CLand& land, CTerrainMesh& mesh, int mode) {
    std::vector<int> changed;
    if (mode != kBrushRaise && mode != kBrushLower && mode != kBrushLevel) return changed;
    if (!land.hasImage()) return changed;
    const int count = blockLimit(land, mesh);
    const int cursor = land.m_cursorBlock;
    if (cursor < 0 || cursor >= count) return changed;
    if (mode != kBrushLevel && land.m_brush == nullptr) return changed;

    land.m_modified = true;
    BrushStroke* stroke = nullptr;
    if (mode != kBrushLevel && !land.history().replaying()) {
        BrushStroke s;
        s.mode = mode;
        s.centreX = land.m_brushCentre[0];
        s.centreY = land.m_brushCentre[1];
        s.centreZ = land.m_brushCentre[2];
        s.radius = land.m_brushRadius;
        s.times = land.m_brushTimes;
        s.block = cursor;
        s.brush = land.m_brush;
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

    const double cx = land.m_brushCentre[0], cz = land.m_brushCentre[2];
    const int radius = land.m_brushRadius;
    const auto level = static_cast<std::uint8_t>(land.m_levelValue & 0xFF);
    const std::span<TLndBlock> records = land.blocks();
    for (int b : visit) {
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
                const std::uint8_t next =
                    mode == kBrushLevel
                        ? level
                        : brushAltitude(h, mode, land.m_brushTimes, land.m_brush->params[std::size_t(brushRing(d, radius))]);
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

bool UndoStroke(CLand& land, CTerrainMesh& mesh) {
    std::vector<int> touched;
    if (!land.history().undoNewest(land.blocks(), touched)) return false;
    if (!touched.empty()) {
        land.m_modified = true;
        refreshBlocks(land, mesh, touched);
    }
    return true;
}

void brushKeysFrame(CLand& land, CTerrainMesh& mesh, BrushKeys held, const CBrushDef* selected) {
    if (held.add) {
        land.m_brush = selected;
        if (selected != nullptr && land.m_cursorBlock != -1) ApplyBrush(land, mesh, kBrushRaise);
    }
    if (held.sub) {
        land.m_brush = selected;
        if (selected != nullptr && land.m_cursorBlock != -1) ApplyBrush(land, mesh, kBrushLower);
    }
}

bool levelCommand(CLand& land, CTerrainMesh& mesh, UserMessages& messages) {
    if (land.m_cursorBlock < 0) return false;
    if (!messages.question(kLevelQuestion, {}, QuestionButtons::OkCancel)) return false;
    ApplyBrush(land, mesh, kBrushLevel);
    return true;
}

}  // namespace lnd
