#include "land/brush_history.h"

#include <algorithm>

namespace lnd {

BrushStroke& BrushHistory::record(BrushStroke stroke) {
    m_undone.clear();
    m_strokes.push_front(std::move(stroke));
    return m_strokes.front();
}

bool BrushHistory::undoNewest(std::span<TLndBlock> records, std::vector<int>& touched) {
    if (m_strokes.empty()) return false;
    BrushStroke stroke = std::move(m_strokes.front());
    m_strokes.pop_front();
    revertStroke(stroke, records, touched);
    m_undone.push_front(std::move(stroke));
    return true;
}

bool BrushHistory::redoNewest(std::span<TLndBlock> records, std::vector<int>& touched) {
    if (m_undone.empty()) return false;
    BrushStroke stroke = std::move(m_undone.front());
    m_undone.pop_front();
    reapplyStroke(stroke, records, touched);
    m_strokes.push_front(std::move(stroke));
    return true;
}

namespace {

// Gives one cell `to` where it still holds `from`: the altitude only while it is from's, and of
// the flag bits the change set only those still as `from` left them, never the country.
// True when the cell's bytes changed.
bool moveCell(TLndCell& cell, std::uint8_t fromAltitude, std::uint16_t fromFlags, std::uint8_t toAltitude,
              std::uint16_t toFlags) {
    // A height changed since belongs to later work, and so do the flags it set.
    if (cell.Altitude != fromAltitude) return false;
    const std::uint16_t flags = cell.CellFlags;
    const auto mask = std::uint16_t((fromFlags ^ toFlags) & ~(flags ^ fromFlags) & ~kCountryMask);
    const auto moved = std::uint16_t((flags & ~mask) | (toFlags & mask));
    if (cell.Altitude == toAltitude && flags == moved) return false;
    cell.Altitude = toAltitude;
    cell.CellFlags = moved;
    return true;
}

template <typename Iterator, typename Move>
void moveCells(Iterator first, Iterator last, std::span<TLndBlock> records, std::vector<int>& touched, Move move) {
    for (auto it = first; it != last; ++it) {
        if (it->block < 0 || std::size_t(it->block) >= records.size() || it->cell >= 17 * 17) continue;
        TLndCell& cell = records[std::size_t(it->block)].Cells[it->cell / 17][it->cell % 17];
        if (!move(cell, *it)) continue;
        if (std::find(touched.begin(), touched.end(), it->block) == touched.end()) touched.push_back(it->block);
    }
}

// Gives one cell the country `to` where it still holds `from`; true when it changed.
bool moveCountry(TLndCell& cell, std::uint16_t fromFlags, std::uint16_t toFlags) {
    const auto from = std::uint16_t(fromFlags & kCountryMask), to = std::uint16_t(toFlags & kCountryMask);
    if ((cell.CellFlags & kCountryMask) != from || from == to) return false;
    cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) | to);
    return true;
}

}  // namespace

void revertCountryChanges(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                          std::vector<int>& touched) {
    moveCells(cells.rbegin(), cells.rend(), records, touched, [](TLndCell& cell, const BrushStroke::CellChange& c) {
        return moveCountry(cell, c.flagsAfter, c.flagsBefore);
    });
}

void reapplyCountryChanges(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                           std::vector<int>& touched) {
    moveCells(cells.begin(), cells.end(), records, touched, [](TLndCell& cell, const BrushStroke::CellChange& c) {
        return moveCountry(cell, c.flagsBefore, c.flagsAfter);
    });
}

void reapplyStroke(const BrushStroke& stroke, std::span<TLndBlock> records, std::vector<int>& touched) {
    if (stroke.countries) return reapplyCountryChanges(stroke.cells, records, touched);
    // In recording order, so a cell listed twice ends on its newest bytes.
    moveCells(stroke.cells.begin(), stroke.cells.end(), records, touched, [](TLndCell& cell, const BrushStroke::CellChange& c) {
        return moveCell(cell, c.altitudeBefore, c.flagsBefore, c.altitudeAfter, c.flagsAfter);
    });
}

void revertStroke(const BrushStroke& stroke, std::span<TLndBlock> records, std::vector<int>& touched) {
    if (stroke.countries) return revertCountryChanges(stroke.cells, records, touched);
    // Newest change last, so walking backwards ends on the oldest bytes should a cell appear
    // twice.
    moveCells(stroke.cells.rbegin(), stroke.cells.rend(), records, touched, [](TLndCell& cell, const BrushStroke::CellChange& c) {
        return moveCell(cell, c.altitudeAfter, c.flagsAfter, c.altitudeBefore, c.flagsBefore);
    });
}

}  // namespace lnd
