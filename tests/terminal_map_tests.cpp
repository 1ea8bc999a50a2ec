// The terminal map, the routes in words and the JSON description agree with
// the labyrinth that was written.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "layout/labyrinth_json.h"
#include "map/map_layout.h"
#include "map/route_text.h"
#include "map/terminal_map.h"
#include "readback_support.h"
#include "writer/decoder.h"
#include "writer/readback.h"
#include "writer/seed_code.h"

namespace labyrinth {
namespace {

struct Read {
    testing::WrittenImage written;
    DecodedStream stream;
    std::string code;
};

Read readBack(std::uint64_t seed) {
    Read r{testing::writtenImage(seed), {}, {}};
    auto s = decodeStream(r.written.image);
    EXPECT_TRUE(s) << s.error().message;
    r.stream = s.value();
    r.code = seedCode(r.written.click.stream);
    return r;
}

// Doors from (gx, gy) in the model itself, by breadth-first search: how many
// doors each room is from it; -1 where no door leads.
std::vector<int> doorsFrom(const Labyrinth& m, int gx, int gy) {
    std::vector<int> distance(static_cast<std::size_t>(mazeSize * mazeSize), -1);
    const auto at = [](int x, int y) { return static_cast<std::size_t>(y * mazeSize + x); };
    const int steps[4][4] = {{0, -1, doorNorth, doorSouth}, {1, 0, doorEast, doorWest},
                             {0, 1, doorSouth, doorNorth}, {-1, 0, doorWest, doorEast}};
    std::vector<std::pair<int, int>> queue{{gx, gy}};
    distance[at(gx, gy)] = 0;
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const auto [x, y] = queue[next];
        for (const auto& step : steps) {
            const int nx = x + step[0];
            const int ny = y + step[1];
            if (nx < 0 || ny < 0 || nx >= mazeSize || ny >= mazeSize || !m.isRoom(nx, ny)) continue;
            if ((m.mapDoors(x, y) & step[2]) == 0 || (m.mapDoors(nx, ny) & step[3]) == 0) continue;
            if (distance[at(nx, ny)] >= 0) continue;
            distance[at(nx, ny)] = distance[at(x, y)] + 1;
            queue.emplace_back(nx, ny);
        }
    }
    return distance;
}

// Checks an area's route against the model's doors: from the start to the
// numbered room, one open door of both rooms per step, as short as a
// breadth-first search finds, and at each step the first of north, east,
// south, west that stays that short.
void expectShortestRoute(const Labyrinth& m, const nlohmann::json& area, const std::string& where) {
    const auto& goal = area["numberedRoom"];
    const auto& route = area["route"];
    ASSERT_TRUE(route.is_array() && !route.empty()) << where << area.dump();
    const auto distance = doorsFrom(m, goal["x"], goal["y"]);
    const auto toGoal = [&](int x, int y) { return distance[static_cast<std::size_t>(y * mazeSize + x)]; };
    EXPECT_EQ(route.front(), nlohmann::json({{"x", startX}, {"y", startY}})) << where;
    EXPECT_EQ(route.back(), goal) << where;
    EXPECT_EQ(static_cast<int>(route.size()) - 1, toGoal(startX, startY)) << where << " is no shortest route";
    const int order[4][4] = {{0, -1, doorNorth, doorSouth}, {1, 0, doorEast, doorWest},
                             {0, 1, doorSouth, doorNorth}, {-1, 0, doorWest, doorEast}};
    for (std::size_t i = 1; i < route.size(); ++i) {
        const int x = route[i - 1]["x"];
        const int y = route[i - 1]["y"];
        const std::string step = where + " step " + std::to_string(i) + " from (" + std::to_string(x) + ", " +
                                 std::to_string(y) + ")";
        bool taken = false;
        for (const auto& side : order) {
            const int nx = x + side[0];
            const int ny = y + side[1];
            const bool open = nx >= 0 && ny >= 0 && nx < mazeSize && ny < mazeSize && m.isRoom(nx, ny) &&
                              (m.mapDoors(x, y) & side[2]) != 0 && (m.mapDoors(nx, ny) & side[3]) != 0;
            if (nx == route[i]["x"] && ny == route[i]["y"]) {
                EXPECT_TRUE(open) << step << ": no door of both rooms";
                taken = true;
                break;
            }
            EXPECT_FALSE(open && toGoal(nx, ny) == toGoal(x, y) - 1) << step << ": an earlier side was as short";
        }
        EXPECT_TRUE(taken) << step << ": the next room is no neighbour";
    }
}

std::vector<std::string> lines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(LabyrinthJson, AgreesWithTheModel) {
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        const Read r = readBack(seed);
        const Labyrinth& m = r.written.model;
        const auto json = nlohmann::json::parse(labyrinthJson(r.stream, r.code).dump());
        EXPECT_EQ(json["seedCode"], r.code);
        EXPECT_EQ(json["start"]["x"], startX);

        int rooms = 0;
        for (int x = 0; x < mazeSize; ++x)
            for (int y = 0; y < mazeSize; ++y) rooms += m.isRoom(x, y) ? 1 : 0;
        ASSERT_EQ(json["rooms"].size(), static_cast<std::size_t>(rooms)) << "seed " << seed;
        EXPECT_EQ(json["summary"]["rooms"], rooms);
        EXPECT_EQ(json["summary"]["emptyCells"], mazeSize * mazeSize - rooms);
        EXPECT_EQ(json["summary"]["items"], r.written.click.stats.items);
        EXPECT_EQ(json["summary"]["deadEnds"], r.written.click.stats.deadEnds);
        EXPECT_EQ(json["summary"]["streamBytes"], r.written.click.stats.streamBytes);

        for (const auto& room : json["rooms"]) {
            const int x = room["x"];
            const int y = room["y"];
            const std::string where = "seed " + std::to_string(seed) + " room " + room.dump();
            ASSERT_TRUE(m.isRoom(x, y)) << where;
            EXPECT_EQ(room["area"], m.mapArea(x, y)) << where;
            EXPECT_EQ(room["doors"], m.mapDoors(x, y)) << where;
            int mask = 0;
            for (const auto& exit : room["exits"])
                for (const Direction& side : doorSides)
                    if (exit == side.name) mask |= side.bit;
            EXPECT_EQ(mask, m.mapDoors(x, y)) << where;
            if (room["record"] == "link") { EXPECT_EQ(room["link"], m.mapLink(x, y)) << where; }
            if (room["record"] == "item") { EXPECT_EQ(m.mapMark(x, y), itemMark) << where; }
            if (room["record"] == "area-mark") { EXPECT_EQ(room["areaMark"], m.mapArea(x, y)) << where; }
            // Each record's values under the names the README gives, as the
            // record's bytes in the image hold them.
            const auto byte = [&](std::size_t i) { return r.written.image[room["offset"].get<std::size_t>() + i]; };
            if (room["record"] == "item") {
                EXPECT_EQ(room.at("itemCode"), byte(3)) << where;
                EXPECT_EQ(room.at("random"), byte(4)) << where;
            }
            if (room["record"] == "plain") { EXPECT_EQ(room.at("random"), byte(3)) << where; }
            if (room["record"] == "dead-end") { EXPECT_EQ(room.at("deadEnd"), byte(3)) << where; }
            if (room["record"] == "sequence") {
                EXPECT_EQ(room.at("sequenceS"), byte(2)) << where;
                EXPECT_EQ(room.at("sequence"), byte(3)) << where;
            }
        }

        ASSERT_EQ(json["links"].size(), 10U) << "seed " << seed;
        for (std::size_t i = 0; i < 10; ++i) {
            const auto& link = json["links"][i];
            EXPECT_EQ(link["number"], static_cast<int>(i + 1));
            EXPECT_EQ(m.mapLink(link["from"]["x"], link["from"]["y"]), static_cast<int>(i + 1));
            ASSERT_FALSE(link["to"].is_null());
            EXPECT_EQ(m.mapArea(link["to"]["x"], link["to"]["y"]), static_cast<int>(i + 1)) << link.dump();
        }
        ASSERT_EQ(json["areas"].size(), static_cast<std::size_t>(areaCount));
        for (int area = 0; area < areaCount; ++area) {
            const auto& a = json["areas"][static_cast<std::size_t>(area)];
            const auto& numbered = a["numberedRoom"];
            ASSERT_FALSE(numbered.is_null()) << a.dump();
            const int mark = m.mapMark(numbered["x"], numbered["y"]);
            EXPECT_TRUE(mark != noMark && mark != itemMark && mark != secondMark) << a.dump();
            if (area == 0) { EXPECT_EQ(mark, areaZeroMark); }
            EXPECT_EQ(m.mapArea(numbered["x"], numbered["y"]), area);
            EXPECT_EQ(a["entrance"].is_null(), area == 0) << a.dump();
            expectShortestRoute(m, a, "seed " + std::to_string(seed) + " area " + std::to_string(area));
        }
    }
}

// Row y of the grid is line 2 + 2y; cell x's two characters start at column
// 4 + 3x, with the wall or door to its west at 3 + 3x. The wall line above
// row y is line 1 + 2y, with cell x's stretch at 4 + 3x. The odd seeds show
// two areas alone, the rest in fog: blank, and a gap in a shown room's wall
// where its door leads into it.
TEST(TerminalMap, WallsDoorsAreasAndMarkersMatchTheModel) {
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        const Read r = readBack(seed);
        const Labyrinth& m = r.written.model;
        const bool fog = seed % 2 == 1;
        AreaSelection areas;
        areas.set(seed % areaCount).set((seed + 5) % areaCount);
        const auto shown = [&](int x, int y) {
            return insideMaze(x, y) && m.isRoom(x, y) && (!fog || areas.test(static_cast<std::size_t>(m.mapArea(x, y))));
        };
        const auto text = lines(map::terminalMap(r.stream, r.code, false,
                                                 fog ? cellsOfAreas(r.stream, areas) : allCells()));
        ASSERT_GT(text.size(), static_cast<std::size_t>(2 * mazeSize + 2));
        EXPECT_EQ(std::find(text.begin(), text.end(), "Fog: only the rooms shown are drawn and counted.") != text.end(),
                  fog);
        auto symbol = [](int area) { return area == 10 ? 'A' : static_cast<char>('0' + area); };
        for (int y = 0; y < mazeSize; ++y) {
            const std::string& row = text[static_cast<std::size_t>(2 + 2 * y)];
            const std::string& above = text[static_cast<std::size_t>(1 + 2 * y)];
            for (int x = 0; x < mazeSize; ++x) {
                const std::string where = "seed " + std::to_string(seed) + " cell " + std::to_string(x) + "," +
                                          std::to_string(y);
                const auto col = static_cast<std::size_t>(4 + 3 * x);
                if (!shown(x, y)) {
                    EXPECT_EQ(row.substr(col, 2), "  ") << where;
                    // Seen from a shown neighbour: its wall, or the gap of its door.
                    if (shown(x - 1, y)) {
                        EXPECT_EQ(row[col - 1] == '|', (m.mapDoors(x - 1, y) & doorEast) == 0) << where << " west";
                    }
                    if (shown(x, y - 1)) {
                        EXPECT_EQ(above.substr(col, 2) == "--", (m.mapDoors(x, y - 1) & doorSouth) == 0)
                            << where << " north";
                    }
                    if (!shown(x - 1, y)) { EXPECT_EQ(row[col - 1], ' ') << where << " west of fog"; }
                    continue;
                }
                EXPECT_EQ(row[col], symbol(m.mapArea(x, y))) << where;
                if (x == startX && y == startY) {
                    EXPECT_EQ(row[col + 1], '@') << where;
                } else if (m.mapLink(x, y) != noLink) {
                    EXPECT_EQ(row[col + 1], symbol(m.mapLink(x, y))) << where;
                } else if (m.mapMark(x, y) == itemMark) {
                    EXPECT_EQ(row[col + 1], '$') << where;
                }
                const bool westDoor = (m.mapDoors(x, y) & doorWest) != 0;
                const char west = row[col - 1];
                EXPECT_EQ(west == '|', !westDoor) << where << " west '" << west << "'";
                const bool northDoor = (m.mapDoors(x, y) & doorNorth) != 0;
                EXPECT_EQ(above.substr(col, 2) == "--", !northDoor) << where << " north";
            }
        }
    }
}

// Every labyrinth, whole or in fog, fits 80 columns with its colours and
// lists each of its shown links once. The seeds include link lists of every
// width, so a wrap one column too late shows.
TEST(TerminalMap, FitsEightyColumnsListsEveryLinkAndColoursOnlyWhenAsked) {
    const auto visible = [](const std::string& line) {
        std::string out;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\x1b') {
                while (i < line.size() && line[i] != 'm') ++i;
                continue;
            }
            out += line[i];
        }
        return out;
    };
    std::size_t widest = 0;
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        const Read r = readBack(seed);
        AreaSelection areas;
        areas.set(seed % areaCount).set((seed + 3) % areaCount).set((seed + 7) % areaCount);
        for (const bool fog : {false, true}) {
            const ShownCells shown = fog ? cellsOfAreas(r.stream, areas) : allCells();
            const std::string where = "seed " + std::to_string(seed) + (fog ? " in fog" : "");
            const std::string plain = map::terminalMap(r.stream, r.code, false, shown);
            EXPECT_EQ(plain.find('\x1b'), std::string::npos) << where;
            for (const auto& line : lines(plain)) {
                EXPECT_LE(line.size(), 80U) << where << ": " << line;
                widest = std::max(widest, line.size());
            }
            EXPECT_NE(plain.find("\nSeed code: " + r.code + "\n"), std::string::npos) << where;
            for (int y = 0; y < mazeSize; ++y)
                for (int x = 0; x < mazeSize; ++x) {
                    const DecodedCell& c = r.stream.at(x, y);
                    if (c.kind != format::RecordKind::Link) continue;
                    const std::string entry = "  " + std::to_string(c.link) + ": " + positionText({x, y}) + ">";
                    const auto first = plain.find(entry);
                    EXPECT_EQ(first != std::string::npos, shownRoom(r.stream, shown, x, y)) << where << entry;
                    if (first != std::string::npos) { EXPECT_EQ(plain.find(entry, first + 1), std::string::npos) << where << entry; }
                }

            const std::string coloured = map::terminalMap(r.stream, r.code, true, shown);
            EXPECT_NE(coloured.find("\x1b["), std::string::npos) << where;
            EXPECT_EQ(visible(coloured), plain) << where;
            for (const auto& line : lines(coloured)) { EXPECT_LE(visible(line).size(), 80U) << where << ": " << line; }
        }
    }
    EXPECT_EQ(widest, 80U) << "some link list fills the line to the last column";
}

// `show --route` tells each area's route of the JSON as doors by compass
// direction, straight runs counted together, within 80 columns, a line for
// each link it crosses, named by the link whose door it goes through; an
// area whose numbered room no door leads to (a damaged image) says so, and
// its JSON route is null.
TEST(RouteText, WalksTheRouteOfTheJsonWithinEightyColumns) {
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        Read r = readBack(seed);
        const std::string where = "seed " + std::to_string(seed);
        const auto json = nlohmann::json::parse(labyrinthJson(r.stream, r.code).dump());
        const auto text = lines(map::routesText(r.stream, AreaSelection().set()));
        for (const auto& line : text) EXPECT_LE(line.size(), 80U) << where << ": " << line;
        std::size_t at = 1;
        for (const auto& area : json["areas"]) {
            const auto& route = area["route"];
            const std::string head = "Area " + area["area"].dump() + ": numbered room (" +
                                     area["numberedRoom"]["x"].dump() + ", " + area["numberedRoom"]["y"].dump() +
                                     "), " + std::to_string(route.size() - 1) + (route.size() == 2 ? " door" : " doors");
            ASSERT_LT(at, text.size()) << where;
            EXPECT_EQ(text[at].substr(0, head.size()), head) << where;
            const std::string crossed = text[at++].substr(head.size());
            // Walk the counted runs from the start; each room must be the JSON's
            // next, and each line of a link begin at that link's door.
            nlohmann::json walked = nlohmann::json::array({{{"x", startX}, {"y", startY}}});
            std::string links;
            for (; at < text.size() && text[at].rfind("  ", 0) == 0; ++at) {
                std::string line = text[at];
                const int x = walked.back()["x"], y = walked.back()["y"];
                if (const auto through = line.find("through link "); through != std::string::npos) {
                    const int link = std::stoi(line.substr(through + 13));
                    const bool atDoor = std::any_of(doorSides.begin(), doorSides.end(), [&](const Direction& side) {
                        for (const auto& [fx, fy, tx, ty] : {std::array{x, y, x + side.dx, y + side.dy},
                                                             std::array{x + side.dx, y + side.dy, x, y}})
                            if (insideMaze(fx, fy) && r.stream.at(fx, fy).kind == format::RecordKind::Link &&
                                r.stream.at(fx, fy).link == link && linkTarget(r.stream, fx, fy) == CellPosition{tx, ty})
                                return true;
                        return false;
                    });
                    EXPECT_TRUE(atDoor) << where << ": " << line;
                    links += (links.empty() ? "" : " ") + std::to_string(link);
                } else if (const auto into = line.find("into area "); into != std::string::npos) {
                    EXPECT_NE(std::stoi(line.substr(into + 10)), r.stream.at(x, y).area) << where << ": " << line;
                }
                if (line.find(':') != std::string::npos) line = line.substr(line.find(':') + 1);
                std::istringstream legs(line);
                int count = 0;
                std::string name;
                while (legs >> count >> name) {
                    if (name.back() == ',') name.pop_back();
                    const auto side = std::find_if(doorSides.begin(), doorSides.end(),
                                                   [&](const Direction& d) { return name == d.name; });
                    ASSERT_NE(side, doorSides.end()) << where << ": " << text[at];
                    for (int i = 0; i < count; ++i)
                        walked.push_back({{"x", walked.back()["x"].get<int>() + side->dx},
                                          {"y", walked.back()["y"].get<int>() + side->dy}});
                }
            }
            EXPECT_EQ(walked, route) << where << " area " << area["area"];
            // The head names the same links, in the same order.
            std::string named;
            for (char c : crossed) named += std::isdigit(static_cast<unsigned char>(c)) || c == ' ' ? c : ' ';
            std::istringstream numbers(named);
            std::string listed;
            for (int n = 0; numbers >> n;) listed += (listed.empty() ? "" : " ") + std::to_string(n);
            EXPECT_EQ(listed, links) << where << ": " << crossed;
        }
        EXPECT_EQ(at, text.size()) << where;

        // Area 5's numbered room with its own doors open but its neighbours'
        // doors into it closed: a door that only one room holds leads nowhere.
        const auto& numbered = json["areas"][5]["numberedRoom"];
        for (const Direction& side : doorSides) {
            const int nx = numbered["x"].get<int>() + side.dx;
            const int ny = numbered["y"].get<int>() + side.dy;
            if (insideMaze(nx, ny)) r.stream.cells[static_cast<std::size_t>(ny * mazeSize + nx)].doors &= ~side.back;
        }
        EXPECT_TRUE(nlohmann::json::parse(labyrinthJson(r.stream, r.code).dump())["areas"][5]["route"].is_null())
            << where;
        AreaSelection five;
        const std::string damaged = map::routesText(r.stream, five.set(5));
        EXPECT_NE(damaged.find("Area 5: no door leads from the start to its numbered room (" +
                               numbered["x"].dump() + ", " + numbered["y"].dump() + ")\n"),
                  std::string::npos)
            << where << ": " << damaged;
        EXPECT_EQ(damaged.find("Area 4"), std::string::npos) << "only the areas asked for";
    }
}

}  // namespace
}  // namespace labyrinth
