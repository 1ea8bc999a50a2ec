#include "requests/tracked_run.h"

#include <algorithm>
#include <cctype>

#include "writer/record_format.h"

namespace labyrinth::requests {
namespace {

std::size_t indexOf(CellPosition cell) { return static_cast<std::size_t>(cell.y * mazeSize + cell.x); }

// Every door of the laid-out rooms that leads into a room, named as the
// pad and the map's targets read it out, with its middle on the map; with
// it the room whose link badge sits on it, if any (the badge shows with
// that room).
std::vector<std::pair<RunDoor, std::optional<CellPosition>>> doorsOf(const DecodedStream& stream,
                                                                    const map::MapLayout& layout) {
    std::vector<std::pair<RunDoor, std::optional<CellPosition>>> doors;
    for (const map::Door& door : layout.doors) {
        const auto side =
            std::find_if(doorSides.begin(), doorSides.end(), [&](const Direction& d) { return d.bit == door.side; });
        const CellPosition from{door.x, door.y};
        const CellPosition to{door.x + side->dx, door.y + side->dy};
        if (!insideMaze(to.x, to.y) || !stream.at(to.x, to.y).isRoom()) continue;
        std::string name = std::string(side->name) + " of " + positionText(from) + " to " + positionText(to);
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        const auto badge = std::find_if(layout.links.begin(), layout.links.end(), [&](const map::LinkBadge& b) {
            return b.to && ((b.from == from && *b.to == to) || (b.from == to && *b.to == from));
        });
        const map::Point middle{(door.opening.from.x + door.opening.to.x) / 2,
                                (door.opening.from.y + door.opening.to.y) / 2};
        doors.push_back({{from, to, side->name, std::move(name), false, false, middle.x, middle.y},
                         badge == layout.links.end() ? std::nullopt : std::optional(badge->from)});
    }
    return doors;
}

}  // namespace

std::string doorKey(const RunDoor& door) { return cellKey(door.from) + ">" + cellKey(door.to); }

TrackedRun::TrackedRun(std::string seedCode, RunHistory history)
    : seedCode_(std::move(seedCode)),
      history_(std::move(history)),
      whole_(map::layOutMap(history_.labyrinth(), seedCode_, trackerScale)),
      pieces_(map::roomPieces(whole_)),
      pieceOf_(cellCount, -1),
      doors_(doorsOf(history_.labyrinth(), whole_)) {
    for (std::size_t i = 0; i < pieces_.size(); ++i) pieceOf_[indexOf(pieces_[i].room)] = static_cast<int>(i);
}

Result<std::unique_ptr<TrackedRun>> TrackedRun::open(const InputFile& image, std::string_view kept, std::int64_t now) {
    auto read = readImage(image);
    if (!read) return read.error();
    return open(std::move(read.value().stream), std::move(read.value().seedCode), kept, now);
}

std::unique_ptr<TrackedRun> TrackedRun::open(DecodedStream labyrinth, std::string seedCode, std::string_view kept,
                                             std::int64_t now) {
    RunHistory history(std::move(labyrinth));
    std::string problem;
    if (!kept.empty()) {
        auto steps = readKeptRun(kept, history.labyrinth(), now);
        if (!steps) {
            problem = steps.error().message;
        } else {
            const std::size_t refused = history.restore(steps.value().steps, steps.value().length);
            if (steps.value().clockForgotten)
                problem = "the timer, splits and ticked item rooms kept for this run were damaged, so they were forgotten";
            else if (refused > 0)
                problem = std::to_string(refused) + (refused == 1 ? " step" : " steps") +
                          " of the kept run did not fit this labyrinth and were left out";
        }
    }
    std::unique_ptr<TrackedRun> run(new TrackedRun(std::move(seedCode), std::move(history)));
    run->keptProblem_ = std::move(problem);
    return run;
}

std::string TrackedRun::picture() {
    drawn_ = state().shown;
    drawnDoors_.clear();
    for (const RunDoor& door : doorsIntoFog()) drawnDoors_.push_back(doorKey(door));
    std::sort(drawnDoors_.begin(), drawnDoors_.end());
    return map::mapSvg(map::layOutMap(history_.labyrinth(), seedCode_, trackerScale, drawn_), map::SvgForm::Growing);
}

RunChanges TrackedRun::changes() {
    RunChanges changes;
    const ShownCells& now = state().shown;
    for (std::size_t i = 0; i < cellCount; ++i) {
        if (now.test(i) == drawn_.test(i) || pieceOf_[i] < 0) continue;
        if (now.test(i)) changes.added.push_back(&pieces_[static_cast<std::size_t>(pieceOf_[i])]);
        else changes.gone.push_back({static_cast<int>(i % mazeSize), static_cast<int>(i / mazeSize)});
    }
    drawn_ = now;
    std::vector<std::string> open;
    for (RunDoor& door : doorsIntoFog()) {
        std::string key = doorKey(door);
        if (!std::binary_search(drawnDoors_.begin(), drawnDoors_.end(), key)) changes.doorsOpened.push_back(door);
        open.push_back(std::move(key));
    }
    std::sort(open.begin(), open.end());
    std::set_difference(drawnDoors_.begin(), drawnDoors_.end(), open.begin(), open.end(),
                        std::back_inserter(changes.doorsClosed));
    drawnDoors_ = std::move(open);
    return changes;
}

std::string TrackedRun::title() const {
    const std::size_t rooms = summarizeShown(history_.labyrinth(), state().shown).rooms;
    return "Labyrinth map, seed code " + seedCode_ + ", " + std::to_string(rooms) + (rooms == 1 ? " room" : " rooms") +
           " shown";
}

std::string TrackedRun::legend() const {
    const std::string svg =
        map::mapSvg(map::layOutMap(history_.labyrinth(), seedCode_, trackerScale, state().shown), map::SvgForm::Growing);
    const auto start = svg.find("<g class=\"legend\">");
    const auto end = svg.rfind("</g>");
    return start == std::string::npos || end < start ? std::string() : svg.substr(start, end + 4 - start);
}

std::vector<RunDoor> TrackedRun::doorsIntoFog() const {
    std::vector<RunDoor> doors;
    for (const auto& [door, badge] : doors_)
        if (state().isShown(door.from) && !state().isShown(door.to)) {
            doors.push_back(door);
            doors.back().intoFog = true;
            doors.back().link = badge && state().isShown(*badge);
        }
    return doors;
}

std::vector<RunDoor> TrackedRun::hereDoors() const {
    std::vector<RunDoor> doors;
    for (const auto& [door, badge] : doors_)
        if (door.from == state().here) {
            doors.push_back(door);
            doors.back().intoFog = !state().isShown(door.to);
            doors.back().link = badge && state().isShown(*badge);
        }
    return doors;
}

std::vector<CellPosition> TrackedRun::itemsShown() const {
    std::vector<CellPosition> items;
    for (const map::Room& room : whole_.rooms)
        if (room.kind == format::RecordKind::Item && state().isShown({room.x, room.y})) items.push_back({room.x, room.y});
    return items;
}

int TrackedRun::itemRooms() const {
    return static_cast<int>(std::count_if(whole_.rooms.begin(), whole_.rooms.end(),
                                          [](const map::Room& room) { return room.kind == format::RecordKind::Item; }));
}

}  // namespace labyrinth::requests
