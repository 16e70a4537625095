// The altitude brush's edit history: raise, lower and smooth steps and heightmap imports,
// newest first, each with the cells it changed as they were before and after it, and the
// steps undone since the last new one, ready to be redone.
//
// Undo gives a cell back its 'before' only while it still holds the stroke's 'after', so work
// done since (a level step, another stroke that was not undone, country painting) is never
// reverted; country bits are never touched. Redo applies the same rule the other way: a cell
// gets its 'after' back only while it still holds the 'before'. A new step empties the redo
// list.
//
// A country-map import is a step of the same history (so undo takes back the newest step of
// either kind): it moves the country bits only, by the same rule, and nothing else.
#pragma once

#include "format/lnd_format.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace lnd {

struct CBrushDef;

// One recorded raise or lower step of the altitude brush.
struct BrushStroke {
    std::int32_t mode = 0;        // +1 raise, -1 lower, 4 smooth, 0 a heightmap import
    float centreX = 0.0f, centreY = 0.0f, centreZ = 0.0f;
    std::int32_t radius = 0;
    std::int32_t times = 0;
    std::int32_t block = -1;      // block record under the pointer
    const CBrushDef* brush = nullptr;
    // A country-map import: its cells differ in the country bits only, and only those move.
    bool countries = false;

    // One cell the step changed: its bytes before and after it.
    struct CellChange {
        std::int32_t block = 0;
        std::uint16_t cell = 0;   // 17 * i + j
        std::uint8_t altitudeBefore = 0;
        std::uint8_t altitudeAfter = 0;
        std::uint16_t flagsBefore = 0;
        std::uint16_t flagsAfter = 0;
    };
    std::vector<CellChange> cells;
};

class BrushHistory {
public:
    bool empty() const { return m_strokes.empty(); }
    std::size_t size() const { return m_strokes.size(); }
    // The newest stroke; the history must not be empty.
    const BrushStroke& newest() const { return m_strokes.front(); }

    // Steps that can be redone, the next one first.
    bool canRedo() const { return !m_undone.empty(); }
    std::size_t redoSize() const { return m_undone.size(); }

    // Forgets every stroke, undone ones too (a load or a map initialisation makes them
    // meaningless).
    void clear() {
        m_strokes.clear();
        m_undone.clear();
        m_replaying = false;
    }

    // While replaying, steps are not recorded.
    bool replaying() const { return m_replaying; }
    void setReplaying(bool on) { m_replaying = on; }

    // Starts a new newest stroke and empties the redo list; its cells are added through the
    // returned reference, which stays valid until the history changes again.
    BrushStroke& record(BrushStroke stroke);

    // Takes the newest stroke off, reverts it on `records` by the rule above and keeps it for
    // redo. Appends each block record whose cells changed to `touched` (once each). False
    // when empty.
    bool undoNewest(std::span<TLndBlock> records, std::vector<int>& touched);
    // Reapplies the most recently undone stroke by the rule above and makes it the newest
    // stroke again. False when nothing is left to redo.
    bool redoNewest(std::span<TLndBlock> records, std::vector<int>& touched);

private:
    std::deque<BrushStroke> m_strokes;   // newest at the front
    std::deque<BrushStroke> m_undone;    // most recently undone at the front
    bool m_replaying = false;
};

// Reverts one stroke's changes on `records` (see the rule above); the cells whose bytes
// changed are reported through `touched`, each block once.
void revertStroke(const BrushStroke& stroke, std::span<TLndBlock> records, std::vector<int>& touched);
// Reapplies one stroke's changes on `records`, the mirror of revertStroke.
void reapplyStroke(const BrushStroke& stroke, std::span<TLndBlock> records, std::vector<int>& touched);

// The country-only moves of a country-map step: a cell's country goes back to 'before'
// (forward to 'after') only while it still holds the other side's; altitudes and other flags
// are never touched.
void revertCountryChanges(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                          std::vector<int>& touched);
void reapplyCountryChanges(std::span<const BrushStroke::CellChange> cells, std::span<TLndBlock> records,
                           std::vector<int>& touched);

}  // namespace lnd
