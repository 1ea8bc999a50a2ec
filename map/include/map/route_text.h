#pragma once
// The routes of a labyrinth in the terminal, for `show --route`.

#include <string>
#include <vector>

#include "map/map_layout.h"
#include "writer/decoder.h"

namespace labyrinth::map {

/// A stretch of a route within one area: the link it came through into
/// that area (0 for the first, which starts in the start room's area; -1
/// for a door between areas that is no link: the start room may lie in
/// another area than the rooms around it), the area, and its doors counted
/// by compass direction, straight runs together ("3 north", "2 east").
struct RouteLeg {
    int link = 0;
    int area = 0;
    std::vector<std::string> doors;
};
/// The legs of `route` (rooms from the start, door by door): a new one each
/// time the route crosses into another area.
std::vector<RouteLeg> routeLegs(const DecodedStream& stream, const std::vector<CellPosition>& route);
/// The links a route goes through: "through link 3", "through links 1, 2
/// and 4"; empty for a route within one area.
std::string linksCrossed(const std::vector<RouteLeg>& legs);
/// How a leg after the first begins: "through link 3", or "into area 4".
std::string legName(const RouteLeg& leg);

/// For each area of `areas`, the shortest route from the start room to its
/// numbered room as the doors to go through, a line for each area it
/// crosses into ("through link 3: 3 north, 2 east, ...", "into area 0:
/// ..."), in lines of at most 80 columns; its first line names the links. An area whose numbered room is missing or cannot be reached (a
/// damaged image) says so.
std::string routesText(const DecodedStream& stream, const AreaSelection& areas);

}  // namespace labyrinth::map
