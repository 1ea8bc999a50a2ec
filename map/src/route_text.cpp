#include "map/route_text.h"

#include <sstream>
#include <vector>

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

// The doors of a route, straight runs counted together: "3 north", "1 east".
std::vector<std::string> legs(const std::vector<CellPosition>& route) {
    std::vector<std::string> out;
    for (std::size_t i = 1; i < route.size();) {
        const std::string name = stepName(route[i - 1], route[i]);
        std::size_t run = 1;
        while (i + run < route.size() && stepName(route[i + run - 1], route[i + run]) == name) ++run;
        out.push_back(std::to_string(run) + " " + name);
        i += run;
    }
    return out;
}

// `parts` joined by ", ", broken into indented lines that fit the terminal.
void wrap(std::ostream& out, const std::vector<std::string>& parts) {
    std::string line = indent;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string part = parts[i] + (i + 1 < parts.size() ? "," : "");
        if (line.size() > std::string(indent).size() && line.size() + 1 + part.size() > columns) {
            out << line << '\n';
            line = indent;
        }
        line += (line.size() > std::string(indent).size() ? " " : "") + part;
    }
    out << line << '\n';
}

}  // namespace

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
        out << "numbered room " << at(*numbered[i]) << ", " << doors << (doors == 1 ? " door\n" : " doors\n");
        if (doors > 0) wrap(out, legs(*route));
    }
    return out.str();
}

}  // namespace labyrinth::map
