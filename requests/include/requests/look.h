#pragma once
// Look at an image that holds a labyrinth, as `show` and `verify` do: its
// seed code, map and description, whether it is complete and consistent
// (and, given a seed, exactly that seed's labyrinth), and an area's route
// on its map. The image is held in memory (files.h).

#include <string>
#include <vector>

#include "requests/files.h"
#include "writer/decoder.h"
#include "writer/result.h"

namespace labyrinth::requests {

struct LookResult {
    std::string seedCode;
    std::string mapSvg;
    bool complete = false;              ///< `verify` found nothing wrong
    std::string verdict;                ///< `verify`'s last line: complete and consistent, or how many problems
    std::vector<std::string> problems;  ///< one line per problem, as `verify` prints them
    std::vector<Download> downloads;    ///< the spoiler: the document of `show --json`, NAME-spoiler.json
};

struct MapResult {
    std::string seedCode;
    std::string mapSvg;  ///< the map of `show --svg`, each area's rooms painted as one shape
};

/// The map and seed code of an image that holds a labyrinth, and nothing
/// more: what the page shows after a write, read back out of the written
/// image, when the player asks for it. Fails as `lookAtImage` does.
Result<MapResult> mapOfImage(const InputFile& image);

/// An area's route on the map of an image: the rooms from the start room to
/// the area's numbered room, door by door (the "route" of the area's entry
/// in the spoiler), and the line through their middles in the pixels of the
/// map that `mapOfImage` draws.
struct RouteResult {
    std::vector<CellPosition> rooms;
    std::string path;     ///< SVG path data, "M x y L x y ..."
    std::string through;  ///< the links it crosses, "through links 1 and 3"; empty for none
};

/// The route to area `area` (0 to 10) of an image that holds a labyrinth.
/// Fails as `lookAtImage` does, for an area that does not exist, and for
/// a damaged image that has no way to that area's numbered room.
Result<RouteResult> routeOnMap(const InputFile& image, int area);

/// The spoiler of an image that holds a labyrinth: the document of
/// `show --json`, NAME-spoiler.json. Fails as `lookAtImage` does.
Result<Download> spoilerOfImage(const InputFile& image);

/// What `show`, `show --json` and `verify` say of an image: its map, seed
/// code and description, and whether the labyrinth in it is complete and
/// consistent; with a `seed` (decimal, or empty for none), also whether it is
/// exactly that seed's labyrinth, as `verify --seed` checks. An image whose
/// records cannot be read is an error, as for `show`; so is a bad seed.
Result<LookResult> lookAtImage(const InputFile& image, const std::string& seed = {});

}  // namespace labyrinth::requests
