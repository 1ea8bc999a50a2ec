#pragma once
// The terminal map of a labyrinth read back out of an image: `show`'s view
// in a terminal.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "map/map_layout.h"
#include "writer/decoder.h"

namespace labyrinth::map {

/// The columns of a terminal: no line of the terminal map is wider.
inline constexpr std::size_t terminalWidth = 80;

/// The terminal map: the 24 x 24 grid with walls and doors, each room's area
/// and marker, link doors, then a legend and the link list, wrapped to
/// `terminalWidth`. With `colour`, ANSI colours mark the areas and markers.
/// Only the rooms of `shown` are drawn, the rest as fog: blank like an
/// empty cell, with a gap in a shown room's wall where a door leads into it;
/// the counts and links below are then of the shown rooms.
std::string terminalMap(const DecodedStream& stream, const std::string& seedCode, bool colour,
                        const ShownCells& shown = allCells());

}  // namespace labyrinth::map
