// Summaries and consistency checks of a checked land image, for the command-line tool and
// for anything else that wants to describe a land without loading it into the editor.
#pragma once

#include "format/lnd_file.h"

#include <string>
#include <vector>

namespace lnd {

struct LandSummary {
    int blockRecords = 0;
    int occupiedSquares = 0;       // BlockIndex entries that are not 0
    bool hasBlocks = false;        // whether the bounds below mean anything
    int minGridX = 0, maxGridX = 0, minGridZ = 0, maxGridZ = 0;  // over occupied squares
    unsigned loResTextures = 0;
    int countries = 0;
    int materials = 0;
};

LandSummary summarize(const LndView& view);

// Problems an editor tolerates but a careful tool reports: the origin rule (at most one block
// with MapX = MapZ = 0), blocks whose MapX/MapZ or GridX/GridZ disagree with the square that
// names them, squares sharing a record, records no square names, country indices beyond the
// country table, blend entries naming missing materials, extra bytes after the bump map.
std::vector<std::string> consistencyWarnings(const LndView& view);

// The 512 x 512 big map of one kind of cell data: every block record in file order, later
// blocks overwriting earlier ones, unreached pixels zero.
std::vector<std::uint8_t> dumpBigMap(const LndView& view, DumpChoice choice);

}  // namespace lnd
