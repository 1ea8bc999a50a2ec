#pragma once
// Which rooms of a labyrinth a view shows: all of them, or those of some
// areas with the rest in fog (show --areas, the page's tracker). The maps,
// the terminal map and the JSON description all ask here.

#include <bitset>

#include "writer/decoder.h"
#include "writer/readback.h"

namespace labyrinth {

/// The cells a view shows, by index 24 y + x (the order of the stream's
/// cells). A room outside them is fog: drawn as an empty cell, with nothing
/// of its own, so that the map gives away neither it nor its shape.
using ShownCells = std::bitset<cellCount>;
/// Every cell: the whole map, no fog.
inline ShownCells allCells() { return ShownCells().set(); }
/// The cells of the rooms whose area is in `areas`.
ShownCells cellsOfAreas(const DecodedStream& stream, const AreaSelection& areas);
/// Whether the room at (x, y) is shown: a room, and one of `shown`.
bool shownRoom(const DecodedStream& stream, const ShownCells& shown, int x, int y);
/// The counts of `summarize` over the shown rooms alone: the rooms in fog
/// count as empty cells, as they look. `streamBytes` is the whole stream's.
StreamSummary summarizeShown(const DecodedStream& stream, const ShownCells& shown);

}  // namespace labyrinth
