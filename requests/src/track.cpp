#include "requests/track.h"

#include <algorithm>
#include <cctype>

#include "map/map_layout.h"
#include "map/map_svg.h"
#include "writer/readback.h"
#include "writer/record_format.h"

namespace labyrinth::requests {

Result<WriteResult> labyrinthToTrack(const MemoryWrite& request) {
    // A blank image and a text block of zeros stand in for the player's
    // files: the labyrinth's records depend on neither.
    const MemoryWrite blank{{"(labyrinth to track)", format::blankImage()},
                            {format::textFileName, std::vector<std::uint8_t>(format::textSize, 0)},
                            request.seed,
                            request.layout,
                            request.daily};
    // Without a seed there is nothing to track: a random one would be a
    // labyrinth that no write of the player's holds.
    if (blank.seed.empty() && blank.daily.empty() && !blank.layout.given())
        return Error{"no seed was given: type the seed of the labyrinth to track"};
    return writeCopy(blank);
}

Result<TrackResult> trackRun(const TrackRequest& request) {
    auto read = readImage(request.image);
    if (!read) return read.error();
    const DecodedStream& stream = read.value().stream;

    // The start room is where every run begins, so it is always shown.
    ShownCells shown;
    shown.set(static_cast<std::size_t>(startY * mazeSize + startX));
    for (const std::string& text : request.revealed)
        if (const auto cell = cellOfKey(text)) shown.set(static_cast<std::size_t>(cell->y * mazeSize + cell->x));

    const map::MapLayout layout = map::layOutMap(stream, read.value().seedCode, trackerScale, shown);
    TrackResult result;
    result.seedCode = read.value().seedCode;
    result.mapSvg = map::mapSvg(layout, map::SvgForm::Growing);
    for (const map::Room& room : layout.rooms) {
        result.shown.push_back({room.x, room.y});
        if (room.kind == format::RecordKind::Item) result.items.push_back({room.x, room.y});
    }
    result.itemRooms = static_cast<int>(std::count_if(stream.cells.begin(), stream.cells.end(), [](const DecodedCell& cell) {
        return cell.kind == format::RecordKind::Item;
    }));
    const auto isShown = [&](const CellPosition& cell) {
        return std::find(result.shown.begin(), result.shown.end(), cell) != result.shown.end();
    };
    const auto here = cellOfKey(request.here);
    result.here = here && isShown(*here) ? *here : CellPosition{startX, startY};
    for (const map::Door& door : layout.doors) {
        const auto side = std::find_if(doorSides.begin(), doorSides.end(), [&](const Direction& d) { return d.bit == door.side; });
        const CellPosition from{door.x, door.y};
        const CellPosition to{door.x + side->dx, door.y + side->dy};
        // Doors into the fog, and the player's room's doors into shown rooms.
        if (!door.intoFog && !(from == result.here && isShown(to))) continue;
        const map::Point middle{(door.opening.from.x + door.opening.to.x) / 2, (door.opening.from.y + door.opening.to.y) / 2};
        std::string label = std::string(side->name) + " of " + positionText(from) + " to " + positionText(to);
        label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
        const bool link = std::any_of(layout.links.begin(), layout.links.end(), [&](const map::LinkBadge& badge) {
            return badge.to && ((badge.from == from && *badge.to == to) || (badge.from == to && *badge.to == from));
        });
        const RunDoor entry{from, to, side->name, std::move(label), link, door.intoFog, middle.x, middle.y};
        if (from == result.here) result.hereDoors.push_back(entry);
        if (door.intoFog) result.doors.push_back(entry);
    }
    return result;
}

Result<std::vector<CellPosition>> roomsOfAreas(const InputFile& image, const std::vector<int>& areas) {
    auto read = readImage(image);
    if (!read) return read.error();
    AreaSelection wanted;
    for (const int area : areas)
        if (area >= 0 && area < areaCount) wanted.set(static_cast<std::size_t>(area));
    const ShownCells cells = cellsOfAreas(read.value().stream, wanted);
    std::vector<CellPosition> rooms;
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x)
            if (cells.test(static_cast<std::size_t>(y * mazeSize + x))) rooms.push_back({x, y});
    return rooms;
}

}  // namespace labyrinth::requests
