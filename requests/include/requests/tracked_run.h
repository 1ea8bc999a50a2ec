#pragma once
// A run as the tracker shows it: its history (run.h) over the labyrinth of
// an image, with the map laid out once, every room's picture made once, and
// every door's place known, so that a step is answered with what changed
// (the rooms to add or take away, the doors into the fog that open or
// close, where the player is) and a tap costs only its change.

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "map/map_layout.h"
#include "map/map_svg.h"
#include "requests/files.h"
#include "requests/run.h"
#include "requests/track.h"

namespace labyrinth::requests {

/// What changed in the picture since it was last drawn.
struct RunChanges {
    std::vector<const map::RoomPieces*> added;  ///< rooms that show now, in scan order
    std::vector<CellPosition> gone;             ///< rooms that no longer show
    std::vector<RunDoor> doorsOpened;           ///< doors into the fog that are new
    std::vector<std::string> doorsClosed;       ///< and those no longer, by `doorKey`
};

/// "11,12>12,12": a door by the rooms it joins, from the shown one.
std::string doorKey(const RunDoor& door);

class TrackedRun {
public:
    /// The run of the labyrinth in `image` (held in memory), going on from
    /// what this browser kept of it (`kept`, empty for a new run) at `now`,
    /// in milliseconds since 1970. A kept run that cannot be read gives way
    /// to a new one, and `keptProblem` says why.
    static Result<std::unique_ptr<TrackedRun>> open(const InputFile& image, std::string_view kept, std::int64_t now);
    /// The same for a labyrinth given by its rooms and seed code (a sealed
    /// race's link), with no image.
    static std::unique_ptr<TrackedRun> open(DecodedStream labyrinth, std::string seedCode, std::string_view kept,
                                            std::int64_t now);

    const std::string& seedCode() const { return seedCode_; }
    RunHistory& history() { return history_; }
    const RunHistory& history() const { return history_; }
    const RunState& state() const { return history_.state(); }
    /// Why what was kept could not go on (all or some of its steps), or empty.
    const std::string& keptProblem() const { return keptProblem_; }

    /// The whole picture of the run as it stands, in the Growing form of the
    /// map: what the page draws first, and afresh whenever it likes. What
    /// it shows counts as drawn.
    std::string picture();
    /// What changed since the picture was last drawn or changed; what it
    /// says counts as drawn afterwards.
    RunChanges changes();
    /// The picture's title as it is now ("..., 35 rooms shown").
    std::string title() const;
    /// The picture's legend as it is now: the group of the map, laid out
    /// anew (only the legend counts what is shown), for a fold that is open.
    std::string legend() const;

    /// Every door into the fog, by rooms in scan order.
    std::vector<RunDoor> doorsIntoFog() const;
    /// The doors of the player's room into rooms, shown or in fog.
    std::vector<RunDoor> hereDoors() const;
    /// The item rooms shown, and how many the labyrinth has.
    std::vector<CellPosition> itemsShown() const;
    int itemRooms() const;

private:
    TrackedRun(std::string seedCode, RunHistory history);
    std::string seedCode_;
    RunHistory history_;
    map::MapLayout whole_;                        // every room shown, at the tracker's scale
    std::vector<map::RoomPieces> pieces_;         // each room's picture, in the order of `whole_.rooms`
    std::vector<int> pieceOf_;                    // by cell: its index in `pieces_`, or -1
    // Every door of every room into a room, and the room whose link badge sits on it, if any.
    std::vector<std::pair<RunDoor, std::optional<CellPosition>>> doors_;
    ShownCells drawn_;                            // the rooms in the picture as last drawn
    std::vector<std::string> drawnDoors_;         // and the doors into the fog, by key, sorted
    std::string keptProblem_;
};

}  // namespace labyrinth::requests
