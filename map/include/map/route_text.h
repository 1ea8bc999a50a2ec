#pragma once
// The routes of a labyrinth in the terminal, for `show --route`.

#include <string>

#include "map/map_layout.h"
#include "writer/decoder.h"

namespace labyrinth::map {

/// For each area of `areas`, the shortest route from the start room to its
/// numbered room as the doors to go through, counted by compass direction
/// ("3 north, 2 east, ..."), in lines of at most 80 columns. An area whose
/// numbered room is missing or cannot be reached (a damaged image) says so.
std::string routesText(const DecodedStream& stream, const AreaSelection& areas);

}  // namespace labyrinth::map
