#include "land/brush_history.h"

#include <algorithm>

namespace lnd {

BrushStroke& BrushHistory::record(BrushStroke stroke) {
    m_strokes.push_front(std::move(stroke));
    return m_strokes.front();
}

bool BrushHistory::undoNewest(std::span<TLndBlock> records, std::vector<int>& touched) {
    if (m_strokes.empty()) return false;
    const BrushStroke stroke = std::move(m_strokes.front());
    m_strokes.pop_front();
    revertStroke(stroke, records, touched);
    return true;
}

void revertStroke(const BrushStroke& stroke, std::span<TLndBlock> records, std::vector<int>& touched) {
    // Newest change last, so walking backwards ends on the oldest bytes should a cell appear
    // twice.
    for (auto it = stroke.cells.rbegin(); it != stroke.cells.rend(); ++it) {
        if (it->block < 0 || std::size_t(it->block) >= records.size() || it->cell >= 17 * 17) continue;
        TLndCell& cell = records[std::size_t(it->block)].Cells[it->cell / 17][it->cell % 17];
        // A height changed since belongs to later work, and so do the flags it set.
        if (cell.Altitude != it->altitudeAfter) continue;
        const std::uint16_t flags = cell.CellFlags;
        // The bits the stroke changed that still hold what it left; never the country.
        const auto mask = std::uint16_t((it->flagsBefore ^ it->flagsAfter) & ~(flags ^ it->flagsAfter) &
                                        ~kCountryMask);
        const auto restored = std::uint16_t((flags & ~mask) | (it->flagsBefore & mask));
        if (cell.Altitude == it->altitudeBefore && flags == restored) continue;
        cell.Altitude = it->altitudeBefore;
        cell.CellFlags = restored;
        if (std::find(touched.begin(), touched.end(), it->block) == touched.end()) touched.push_back(it->block);
    }
}

}  // namespace lnd
