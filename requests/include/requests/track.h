#pragma once
// What the tracker needs besides the run itself (tracked_run.h): a
// labyrinth to track without the player's files, the scale of its map, and
// how a door of it is named.

#include <string>
#include <vector>

#include "requests/files.h"
#include "requests/memory_write.h"
#include "writer/decoder.h"
#include "writer/result.h"

namespace labyrinth::requests {

/// Cells of the tracker's map in the SVG's own units (door positions are
/// given in them). The page scales the picture to its box: to the width on a
/// phone, and zoomed in to the style sheet's --zoomed-cell (50 CSS pixels),
/// where the middles of two doors are at least 25 pixels apart, so that a
/// target of 24 pixels on each door keeps clear of the next one.
inline constexpr int trackerScale = 40;

/// A labyrinth to track without the player's files: the image that a write
/// of `seed` (or of `layout`, a spoiler file, when it is given) leaves in a
/// blank image in memory, by the same driver, so that its rooms and seed
/// code are those of the player's written image. `image` of the request is
/// not used.
Result<WriteResult> labyrinthToTrack(const MemoryWrite& request);

/// A door of a shown room into another room: into fog, where the player
/// can go next and the room that choosing it reveals; or into a shown room,
/// which the player can walk back to.
struct RunDoor {
    CellPosition from;
    CellPosition to;
    std::string side;  ///< "east", "west", "south" or "north", seen from `from`
    std::string name;  ///< how the door reads: "East of (11, 12) to (12, 12)"
    bool link = false; ///< the map's link number sits on this door: its control must leave it readable
    bool intoFog = false;
    double x = 0;      ///< the middle of the door on the map, in its pixels
    double y = 0;
};

}  // namespace labyrinth::requests
