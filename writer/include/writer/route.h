#pragma once
// The way through a labyrinth read back out of an image: the shortest walk,
// door by door, from the start room to a room. The spoiler gives it for each
// area's numbered room, so that a racer can study the route after the race.

#include <array>
#include <optional>
#include <vector>

#include "writer/decoder.h"
#include "writer/readback.h"

namespace labyrinth {

/// The order in which a route prefers its steps when several shortest
/// routes exist: north, east, south, west.
inline constexpr std::array<Direction, 4> routeStepOrder{directions[4], directions[1], directions[3], directions[2]};

/// The shortest route from the start room (`startX`, `startY`) to the room
/// at `goal`: every room on it, the start first and the goal last (the start
/// alone when it is the goal). Each step crosses a door that both rooms hold
/// open. Of several shortest routes it takes, from the start on, at each
/// step the first side in `routeStepOrder` that still leads there in the
/// fewest doors, so the same labyrinth always gives the same route. Empty
/// when the start or the goal is no room or no door leads there (possible
/// only in a damaged image).
std::optional<std::vector<CellPosition>> shortestRoute(const DecodedStream& stream, CellPosition goal);

/// Each area's numbered room (the room of its area-mark record), by area;
/// empty for an area that has none (a damaged image).
std::array<std::optional<CellPosition>, areaCount> numberedRooms(const DecodedStream& stream);

}  // namespace labyrinth
