#include "layout/labyrinth_json.h"

#include <algorithm>
#include <array>
#include <vector>

#include "labyrinth/generator.h"
#include "layout/shown_cells.h"
#include "room_keys.h"
#include "writer/readback.h"
#include "writer/route.h"

namespace labyrinth {
namespace {

using format::RecordKind;

nlohmann::ordered_json point(int x, int y) { return {{room_keys::x, x}, {room_keys::y, y}}; }

// The shortest route from the start to `goal`, room by room; null when
// there is no goal or no way there (a damaged image).
nlohmann::ordered_json routeJson(const DecodedStream& stream, const std::optional<CellPosition>& goal) {
    const auto route = goal ? shortestRoute(stream, *goal) : std::nullopt;
    if (!route) return nullptr;
    nlohmann::ordered_json rooms = nlohmann::ordered_json::array();
    for (const CellPosition& room : *route) rooms.push_back(point(room.x, room.y));
    return rooms;
}

// The widest line: a room of the spoiler fits it, with its indent.
constexpr std::size_t lineWidth = 160;

// A value on one line: members after ", ", keys after ": ".
void oneLine(std::string& out, const nlohmann::ordered_json& value) {
    if (value.is_object()) {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : value.items()) {
            out += first ? "" : ", ";
            first = false;
            out += nlohmann::ordered_json(key).dump() + ": ";
            oneLine(out, member);
        }
        out += '}';
    } else if (value.is_array()) {
        out += '[';
        for (std::size_t i = 0; i < value.size(); ++i) {
            out += i == 0 ? "" : ", ";
            oneLine(out, value[i]);
        }
        out += ']';
    } else {
        out += value.dump();
    }
}

// `value` at the indent `indent` (the line already holds `used` columns).
void nested(std::string& out, const nlohmann::ordered_json& value, std::size_t indent, std::size_t used) {
    std::string flat;
    oneLine(flat, value);
    if (!value.is_structured() || value.empty() || used + flat.size() <= lineWidth) {
        out += flat;
        return;
    }
    const std::string inner(indent + 2, ' ');
    out += value.is_object() ? "{\n" : "[\n";
    // A list of members that each fit a line (a route's rooms) fills its
    // lines with as many as fit; any other container has a line a member.
    std::vector<std::string> filled;
    bool fill = value.is_array();
    for (auto member = value.begin(); fill && member != value.end(); ++member) {
        oneLine(filled.emplace_back(), *member);
        fill = inner.size() + filled.back().size() + 1 <= lineWidth;
    }
    std::size_t i = 0;
    std::size_t column = 0;
    for (const auto& [key, member] : value.items()) {
        if (fill) {
            const std::string& text = filled[i];
            if (column > 0 && column + 1 + text.size() + 1 > lineWidth) {
                out += "\n";
                column = 0;
            }
            if (column == 0) {
                out += inner;
                column = inner.size();
            } else {
                out += ' ';
                ++column;
            }
            out += text;
            column += text.size();
            out += ++i < value.size() ? "," : "\n";
            ++column;
            continue;
        }
        out += inner;
        std::size_t start = inner.size();
        if (value.is_object()) {
            const std::string name = nlohmann::ordered_json(key).dump() + ": ";
            out += name;
            start += name.size();
        }
        nested(out, member, indent + 2, start + 1);
        out += ++i < value.size() ? ",\n" : "\n";
    }
    out += std::string(indent, ' ') + (value.is_object() ? "}" : "]");
}

}  // namespace

std::string documentText(const nlohmann::ordered_json& document) {
    std::string out;
    nested(out, document, 0, 0);
    return out + "\n";
}

nlohmann::ordered_json labyrinthJson(const DecodedStream& stream, const std::string& seedCode) {
    return labyrinthJson(stream, seedCode, AreaSelection().set());
}

nlohmann::ordered_json labyrinthJson(const DecodedStream& stream, const std::string& seedCode, const AreaSelection& areas) {
    using nlohmann::ordered_json;
    // Every room when every area is chosen, a damaged one's of no area too.
    const ShownCells shown = areas.all() ? allCells() : cellsOfAreas(stream, areas);
    const StreamSummary summary = summarizeShown(stream, shown);

    ordered_json rooms = ordered_json::array();
    ordered_json links = ordered_json::array();
    std::array<ordered_json, areaCount> entrance{};
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x) {
            const DecodedCell& c = stream.at(x, y);
            if (!c.isRoom()) continue;
            // An area's entry names its numbered room and the door into it,
            // wherever the room that the door leaves from is.
            const bool inDocument = shownRoom(stream, shown, x, y);
            ordered_json exits = ordered_json::array();
            for (const Direction& side : doorSides)
                if ((c.doors & side.bit) != 0) exits.push_back(side.name);
            ordered_json room{{room_keys::x, x},
                              {room_keys::y, y},
                              {room_keys::area, c.area},
                              {room_keys::doors, c.doors},
                              {"exits", exits},
                              {room_keys::record, recordKindName(c.kind)},
                              {"offset", c.offset}};
            for (const room_keys::RecordValue& value : room_keys::recordValues)
                if (value.kind == c.kind) room[value.key] = c.*value.member;
            if (c.kind == RecordKind::Link) {
                const auto target = linkTarget(stream, x, y);
                ordered_json to = target ? point(target->x, target->y) : ordered_json(nullptr);
                if (inDocument)
                    links.push_back({{"number", c.link}, {"from", point(x, y)}, {"fromArea", c.area}, {"to", to}});
                if (c.link >= 0 && c.link < areaCount)
                    entrance[static_cast<std::size_t>(c.link)] = {{"link", c.link}, {"from", point(x, y)}, {"to", to}};
            }
            if (inDocument) rooms.push_back(std::move(room));
        }
    std::sort(links.begin(), links.end(),
              [](const ordered_json& a, const ordered_json& b) { return a["number"] < b["number"]; });

    const auto numbered = numberedRooms(stream);
    ordered_json areaEntries = ordered_json::array();
    for (int area = 0; area < areaCount; ++area) {
        const auto i = static_cast<std::size_t>(area);
        if (!areas.test(i)) continue;
        areaEntries.push_back({{"area", area},
                         {"rooms", summary.roomsPerArea[i]},
                         {"numberedRoom", numbered[i] ? point(numbered[i]->x, numbered[i]->y) : ordered_json(nullptr)},
                         {"entrance", entrance[i]},
                         {"route", routeJson(stream, numbered[i])}});
    }
    return {{"revision", generatorRevision},
            {"seedCode", seedCode},
            {"start", point(startX, startY)},
            {"summary",
             {{"rooms", summary.rooms},
              {"emptyCells", summary.empty},
              {"links", summary.links},
              {"areaMarks", summary.areaMarks},
              {"items", summary.items},
              {"deadEnds", summary.deadEnds},
              {"sequences", summary.sequences},
              {"tags", summary.tags},
              {"plain", summary.plain},
              {"streamBytes", summary.streamBytes}}},
            {"areas", areaEntries},
            {"links", links},
            {"rooms", rooms}};
}

}  // namespace labyrinth
