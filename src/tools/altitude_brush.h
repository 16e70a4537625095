// The altitude brush: ring-shaped raise, lower and level steps around the brush centre over
// the block under the pointer and its eight neighbours, water and coast reclassification of
// the changed cells, and the undo history of raise and lower steps.
#pragma once

#include "base/messages.h"
#include "land/land.h"
#include "view/camera.h"
#include "view/terrain_mesh.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lnd {

inline constexpr int kBrushRaise = 1;
inline constexpr int kBrushLower = -1;
inline constexpr int kBrushLevel = 3;
inline constexpr int kBrushSmooth = 4;

// One brush step: where, how wide, how strong, to which level and with which brush (null is
// enough for a level step), on the block under the pointer. The window keeps one as its brush
// tool's state and hands a copy to each command.
struct BrushStep {
    int block = -1;                       // block record under the pointer
    std::array<float, 3> centre{};        // world position of the brush centre
    int radius = 80;
    int times = 1;
    int level = 0;                        // a level step's altitude (lowest byte)
    const CBrushDef* brush = nullptr;
    int mode = kBrushRaise;

    // The same step in another mode.
    BrushStep withMode(int m) const {
        BrushStep step = *this;
        step.mode = m;
        return step;
    }
};

// The ring of a vertex at distance d from the centre of a brush of radius r: 0 inside 0.2 r,
// then one ring per tenth of the radius, 9 only at d = r.
int brushRing(double d, int radius);

// The new altitude of a vertex at ring `ring` for a raise (+1) or lower (-1) step; factors
// that are infinite saturate at 0 or 255, a factor that is not a number leaves h.
std::uint8_t brushAltitude(std::uint8_t h, int mode, int times, float factor);

// The smoothing step's new altitude for a cell of altitude h whose 3 x 3 neighbourhood (the
// cell itself included) has the mean `mean`: it moves toward the mean by the weight
// min(1, times * factor / 10) and is rounded to the nearest step. The result lies between h
// and the mean (rounded), so it never leaves the neighbourhood's range and repeated steps
// settle instead of oscillating. A weight that is not positive or not a number leaves h.
std::uint8_t smoothedAltitude(std::uint8_t h, double mean, int times, float factor);

// Flags of a cell whose altitude became `altitude`: the country kept, the sea bands set
// again from the thresholds, everything else cleared.
std::uint16_t reclassifiedFlags(std::uint16_t flags, std::uint8_t altitude, const SeaParms& sea);

// One step at the step's centre with its radius, strength, level value and brush:
// changes cells, rebuilds the changed blocks' meshes and drops their block textures. Raise,
// lower and smooth steps go to the front of the history. A smooth step reads every mean from
// the altitudes before the step, across block edges, so shared edges stay welded. Returns one entry per visited block, in
// visiting order: its record, or -1 when it did not change. Does nothing without a land, a block under the pointer or (raise/lower) a brush.
std::vector<int> ApplyBrush(CLand& land, CTerrainMesh& mesh, const BrushStep& step);

// Reapplies the most recently undone step (cells edited since keep their bytes) and
// rebuilds those blocks, marking the land modified (the file no longer holds what is shown,
// even after a save). False when nothing is left to redo.
bool RedoStroke(CLand& land, CTerrainMesh& mesh, std::vector<int>* touched = nullptr);

// Takes the newest stroke off the history and reverts it where its cells still hold what it
// left (heights and the sea and split flags it changed; never countries), rebuilding the
// blocks that changed and marking the land modified. False when the history is empty.
bool UndoStroke(CLand& land, CTerrainMesh& mesh, std::vector<int>* touched = nullptr);

// Once per frame with the brush tool's state, the brush keys held and the brush selected in
// the brush list (null for none): stores the selection in `tool` and, with a block under the
// pointer, raises, lowers or smooths.
void brushKeysFrame(CLand& land, CTerrainMesh& mesh, BrushStep& tool, BrushKeys held, const CBrushDef* selected);

}  // namespace lnd
