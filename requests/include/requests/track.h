#pragma once
// The tracked run, as the page asks for it: a labyrinth to track without the
// player's files, its map as far as the player has revealed it, with the
// doors that lead on and the room the player is in, and the rooms of areas.

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

/// A run being tracked: an image that holds a labyrinth, and the rooms that
/// the player has revealed so far ("x,y"; a cell that holds no room, or is
/// no cell, is left out).
struct TrackRequest {
    InputFile image;
    std::vector<std::string> revealed;
    std::string here;  ///< the room the player is in, "x,y"; the start room when it is not shown
};

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

struct TrackResult {
    std::string seedCode;
    std::string mapSvg;               ///< the map under fog, one element per shown room
    std::vector<CellPosition> shown;  ///< the rooms shown, in scan order: the start and those revealed
    std::vector<RunDoor> doors;       ///< into fog, in scan order of their rooms, sides south, east, west, north
    CellPosition here;                ///< the room the player is in
    std::vector<RunDoor> hereDoors;   ///< its doors into rooms, shown or in fog, sides as above
    std::vector<CellPosition> items;  ///< the item rooms shown, in scan order, for the player to tick off
    int itemRooms = 0;                ///< the item rooms of the whole labyrinth
};

/// The map of a run as far as the player has revealed it: the start room
/// always, and the revealed rooms; every other room is fog. Fails as
/// `lookAtImage` does.
Result<TrackResult> trackRun(const TrackRequest& request);

/// The rooms of the areas `areas` (numbers 0 to 10; others name no room),
/// in scan order: what revealing those areas reveals.
Result<std::vector<CellPosition>> roomsOfAreas(const InputFile& image, const std::vector<int>& areas);

}  // namespace labyrinth::requests
