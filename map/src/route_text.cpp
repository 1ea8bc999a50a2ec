#include "map/route_text.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/route.h"

namespace labyrinth::map {
namespace {

constexpr std::size_t columns = 80;
constexpr const char* indent = "  ";

std::string at(const CellPosition& room) { return "(" + std::to_string(room.x) + ", " + std::to_string(room.y) + ")"; }

// The compass name of the step from one room to its neighbour.
const char* stepName(const CellPosition& from, const CellPosition& to) {
    for (const Direction& side : doorSides)
        if (from.x + side.dx == to.x && from.y + side.dy == to.y) return side.name;
    return "?";
}

// The doors of a stretch of a route, straight runs counted together: "3 north", "1 east".
std::vector<std::string> counted(const std::vector<CellPosition>& route, std::size_t begin, std::size_t end) {
    std::vector<std::string> out;
    for (std::size_t i = begin + 1; i <= end;) {
        const std::string name = stepName(route[i - 1], route[i]);
        std::size_t run = 1;
        while (i + run <= end && stepName(route[i + run - 1], route[i + run]) == name) ++run;
        out.push_back(std::to_string(run) + " " + name);
        i += run;
    }
    return out;
}

// `parts` joined by ", " after `head`, broken into indented lines that fit the terminal.
void wrap(std::ostream& out, const std::string& head, const std::vector<std::string>& parts) {
    std::string line = indent + head;
    const std::size_t bare = line.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string part = parts[i] + (i + 1 < parts.size() ? "," : "");
        if (line.size() > bare && line.size() + 1 + part.size() > columns) {
            out << line << '\n';
            line = indent;
        }
        line += (line.size() > std::string(indent).size() && line.back() != ' ' ? " " : "") + part;
    }
    out << line << '\n';
}

// The link whose door joins two neighbouring rooms, whichever way it is
// crossed: its number, or -1 when no link's door is there.
int linkBetween(const DecodedStream& stream, CellPosition a, CellPosition b) {
    for (const auto& [from, to] : {std::pair{a, b}, std::pair{b, a}}) {
        const DecodedCell& cell = stream.at(from.x, from.y);
        if (cell.kind == format::RecordKind::Link && linkTarget(stream, from.x, from.y) == to) return cell.link;
    }
    return -1;
}

}  // namespace

std::vector<RouteLeg> routeLegs(const DecodedStream& stream, const std::vector<CellPosition>& route) {
    std::vector<RouteLeg> legs;
    if (route.empty()) return legs;
    std::size_t begin = 0;
    RouteLeg leg{0, stream.at(route[0].x, route[0].y).area, {}};
    for (std::size_t i = 1; i <= route.size(); ++i) {
        const bool crossing = i < route.size() && stream.at(route[i].x, route[i].y).area != leg.area;
        if (i < route.size() && !crossing) continue;
        leg.doors = counted(route, begin, i - 1);
        legs.push_back(std::move(leg));
        if (i == route.size()) break;
        // The door between areas begins the next leg.
        begin = i - 1;
        leg = RouteLeg{linkBetween(stream, route[i - 1], route[i]), stream.at(route[i].x, route[i].y).area, {}};
    }
    return legs;
}

std::string linksCrossed(const std::vector<RouteLeg>& legs) {
    std::vector<int> links;
    for (const RouteLeg& leg : legs)
        if (leg.link > 0) links.push_back(leg.link);
    if (links.empty()) return {};
    std::string out = links.size() == 1 ? "through link " : "through links ";
    for (std::size_t l = 0; l < links.size(); ++l)
        out += (l == 0 ? "" : l + 1 == links.size() ? " and " : ", ") + std::to_string(links[l]);
    return out;
}

std::string legName(const RouteLeg& leg) {
    return leg.link > 0 ? "through link " + std::to_string(leg.link) : "into area " + std::to_string(leg.area);
}

std::string routesText(const DecodedStream& stream, const AreaSelection& areas) {
    std::ostringstream out;
    out << "Shortest routes from the start room " << at({startX, startY}) << ", door by door (north is up):\n";
    const auto numbered = numberedRooms(stream);
    for (int area = 0; area < areaCount; ++area) {
        const auto i = static_cast<std::size_t>(area);
        if (!areas.test(i)) continue;
        out << "Area " << area << ": ";
        if (!numbered[i]) {
            out << "has no numbered room\n";
            continue;
        }
        const auto route = shortestRoute(stream, *numbered[i]);
        if (!route) {
            out << "no door leads from the start to its numbered room " << at(*numbered[i]) << '\n';
            continue;
        }
        const std::size_t doors = route->size() - 1;
        const std::vector<RouteLeg> legs = routeLegs(stream, *route);
        out << "numbered room " << at(*numbered[i]) << ", " << doors << (doors == 1 ? " door" : " doors");
        if (const std::string links = linksCrossed(legs); !links.empty()) out << ", " << links;
        out << '\n';
        for (const RouteLeg& leg : legs)
            if (!leg.doors.empty()) wrap(out, leg.link == 0 ? "" : legName(leg) + ": ", leg.doors);
    }
    return out.str();
}

}  // namespace labyrinth::map
