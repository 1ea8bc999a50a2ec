// The map's layout against the labyrinth it shows: every room in its place
// and colour, a wall on each side without a door and an opening where there
// is one, a marker on every room, link badges on their doors, the legend.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "map/map_layout.h"
#include "map/map_svg.h"
#include "readback_support.h"
#include "writer/decoder.h"
#include "writer/readback.h"
#include "writer/seed_code.h"

namespace labyrinth {
namespace {

using map::Marker;

DecodedStream decoded(std::uint64_t seed) {
    const auto w = testing::writtenImage(seed);
    auto s = decodeStream(w.image);
    EXPECT_TRUE(s) << s.error().message;
    return s.value();
}

bool same(double a, double b) { return std::abs(a - b) < 1e-9; }
bool same(map::Point a, map::Point b) { return same(a.x, b.x) && same(a.y, b.y); }

// The side of a cell's square that faces `side`, from one corner to the other.
map::Line edge(const map::Box& r, std::uint8_t side) {
    const double right = r.x + r.width;
    const double bottom = r.y + r.height;
    if (side == doorSouth) return {{r.x, bottom}, {right, bottom}};
    if (side == doorEast) return {{right, r.y}, {right, bottom}};
    if (side == doorWest) return {{r.x, r.y}, {r.x, bottom}};
    return {{r.x, r.y}, {right, r.y}};
}

// The fraction of the way along `along` at which `p` lies, or -1 when off it.
double position(const map::Line& along, map::Point p) {
    const double dx = along.to.x - along.from.x;
    const double dy = along.to.y - along.from.y;
    const double t = dx != 0 ? (p.x - along.from.x) / dx : (p.y - along.from.y) / dy;
    return same(p, {along.from.x + t * dx, along.from.y + t * dy}) ? t : -1;
}

TEST(MapLayout, RoomsWallsDoorsAndMarkersFollowTheStream) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        const DecodedStream s = decoded(seed);
        const map::MapLayout m = map::layOutMap(s, "a b c d", 20);
        const StreamSummary summary = summarize(s);
        const std::string where = "seed " + std::to_string(seed);
        ASSERT_EQ(m.rooms.size(), static_cast<std::size_t>(summary.rooms)) << where;
        ASSERT_EQ(m.markers.size(), m.rooms.size()) << where;

        std::size_t room = 0;
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& c = s.at(x, y);
                if (!c.isRoom()) continue;
                const map::Room& r = m.rooms[room];
                const Marker& marker = m.markers[room];
                ++room;
                const std::string cell = where + " cell " + std::to_string(x) + "," + std::to_string(y);
                ASSERT_EQ(std::make_pair(r.x, r.y), std::make_pair(x, y)) << cell;
                EXPECT_EQ(r.area, c.area) << cell;
                EXPECT_EQ(r.doors, c.doors) << cell;
                EXPECT_EQ(r.kind, c.kind) << cell;
                EXPECT_EQ(r.fill, map::areaColour(c.area)) << cell;
                EXPECT_TRUE(same(r.box.x, m.grid.x + x * 20) && same(r.box.y, m.grid.y + y * 20)) << cell;

                // Special rooms by their record; every other room shows its area.
                Marker::Kind expected = Marker::Kind::AreaNumber;
                if (c.kind == format::RecordKind::Start) expected = Marker::Kind::Start;
                if (c.kind == format::RecordKind::Item) expected = Marker::Kind::Item;
                if (c.kind == format::RecordKind::AreaMark) expected = Marker::Kind::NumberedRoom;
                EXPECT_EQ(marker.kind, expected) << cell;
                EXPECT_EQ(std::make_pair(marker.x, marker.y), std::make_pair(x, y)) << cell;
                EXPECT_EQ(marker.shape.has_value(), marker.special()) << cell;
                if (expected == Marker::Kind::AreaNumber) {
                    ASSERT_TRUE(marker.label) << cell;
                    EXPECT_EQ(marker.label->text, std::to_string(c.area)) << cell;
                }
                if (expected == Marker::Kind::NumberedRoom) { EXPECT_EQ(marker.label->text, std::to_string(c.areaMark)); }

                // Each side: one wall from corner to corner, or two quarter
                // walls from the corners and the door's opening between them.
                for (const Direction& side : doorSides) {
                    const map::Line full = edge(r.box, side.bit);
                    std::vector<map::Line> walls;
                    for (const map::Wall& w : m.walls)
                        if (w.x == x && w.y == y && w.side == side.bit) walls.push_back(w.line);
                    const auto doors = std::count_if(m.doors.begin(), m.doors.end(), [&](const map::Door& d) {
                        return d.x == x && d.y == y && d.side == side.bit &&
                               same(position(full, d.opening.from), 0.25) && same(position(full, d.opening.to), 0.75);
                    });
                    if ((c.doors & side.bit) == 0) {
                        ASSERT_EQ(walls.size(), 1U) << cell << " " << side.name;
                        EXPECT_TRUE(same(walls[0].from, full.from) && same(walls[0].to, full.to)) << cell;
                        EXPECT_EQ(doors, 0) << cell << " " << side.name;
                    } else {
                        ASSERT_EQ(walls.size(), 2U) << cell << " " << side.name;
                        EXPECT_TRUE(same(position(full, walls[0].from), 0) && same(position(full, walls[0].to), 0.25));
                        EXPECT_TRUE(same(position(full, walls[1].from), 1) && same(position(full, walls[1].to), 0.75));
                        EXPECT_EQ(doors, 1) << cell << " " << side.name;
                    }
                }
            }

        ASSERT_EQ(m.links.size(), 10U) << where;
        for (const map::LinkBadge& link : m.links) {
            const auto target = linkTarget(s, link.from.x, link.from.y);
            ASSERT_TRUE(target.has_value() && link.to.has_value()) << where;
            EXPECT_EQ(*link.to, *target);
            EXPECT_EQ(s.at(link.from.x, link.from.y).link, link.number);
            EXPECT_EQ(link.label.text, std::to_string(link.number));
            // On the door: halfway between the two rooms' centres.
            const map::Point centre = link.badge.box.centre();
            EXPECT_TRUE(same(centre.x, m.grid.x + (link.from.x + link.to->x + 1) * 10.0) &&
                        same(centre.y, m.grid.y + (link.from.y + link.to->y + 1) * 10.0))
                << where << " link " << link.number;
        }
    }
}

TEST(MapLayout, LegendHoldsTheSeedCodeAndTheCounts) {
    const DecodedStream s = decoded(7);
    const StreamSummary summary = summarize(s);
    const map::MapLayout m = map::layOutMap(s, "island bread peach cloud");
    std::vector<std::string> lines;
    for (const auto& item : m.legend)
        if (const auto* t = std::get_if<map::Text>(&item)) lines.push_back(t->text);
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("island bread peach cloud"));
    EXPECT_TRUE(has("Area 0 (" + std::to_string(summary.roomsPerArea[0]) + "), start"));
    EXPECT_TRUE(has("Item room (" + std::to_string(summary.items) + ")"));
    EXPECT_TRUE(has(std::to_string(summary.rooms) + " rooms, 10 links, " + std::to_string(summary.deadEnds) +
                    " dead ends"));
    // Everything stays inside the picture.
    for (const auto& item : m.legend)
        if (const auto* t = std::get_if<map::Text>(&item)) {
            EXPECT_LE(t->box.x + t->box.width, m.width + 1e-9) << t->text;
            EXPECT_LE(t->box.y + t->box.height, m.height + 1e-9) << t->text;
        }
}

TEST(MapLayout, ScaleIsClampedAndDamagedStreamsAreLaidOut) {
    EXPECT_EQ(map::mapSize(32), (map::PixelSize{1104, 816}));
    EXPECT_EQ(map::layOutMap(decoded(1), "", 1).scale, map::minScale);
    EXPECT_EQ(map::layOutMap(decoded(1), "", 100000).width, map::mapSize(map::maxScale).width);

    auto s = decoded(6);
    // A link room whose area number is out of range and whose door leads
    // into no room of its link's area: grey, and the badge on the room.
    auto& c = s.cells[0];
    c = {};
    c.kind = format::RecordKind::Link;
    c.area = 200;
    c.doors = doorNorth | doorWest;
    c.link = 99;
    const map::MapLayout m = map::layOutMap(s, "");
    ASSERT_FALSE(m.rooms.empty());
    EXPECT_EQ(m.rooms[0].fill, map::areaColour(-1));
    const auto badge = std::find_if(m.links.begin(), m.links.end(), [](const auto& l) { return l.number == 99; });
    ASSERT_NE(badge, m.links.end());
    EXPECT_FALSE(badge->to.has_value());
    EXPECT_TRUE(same(badge->badge.box.centre(), m.rooms[0].box.centre()));
}

// Under fog the map holds the shown rooms and nothing of the others: no
// square, wall, marker or link badge, no area in the legend and no count of
// what is hidden; a door of a shown room into a hidden one is an opening,
// marked as leading into the fog. With every room shown there is no fog.
TEST(MapLayout, FogShowsTheChosenRoomsAndNothingOfTheRest) {
    struct Case {
        std::uint64_t seed;
        AreaSelection areas;
    };
    const Case cases[] = {{2, AreaSelection("00000001001")}, {5, AreaSelection("10000100000")}, {11, AreaSelection()}};
    for (const Case& c : cases) {
        const DecodedStream s = decoded(c.seed);
        const ShownCells shown = cellsOfAreas(s, c.areas);
        const map::MapLayout m = map::layOutMap(s, "a b c d", 20, shown);
        const std::string where = "seed " + std::to_string(c.seed) + " areas " + c.areas.to_string();
        auto isShown = [&](int x, int y) {
            return insideMaze(x, y) && s.at(x, y).isRoom() && s.at(x, y).area < areaCount && c.areas.test(s.at(x, y).area);
        };
        auto hidden = [&](int x, int y) { return insideMaze(x, y) && s.at(x, y).isRoom() && !isShown(x, y); };
        EXPECT_TRUE(m.fog) << where;

        std::size_t rooms = 0;
        std::size_t doorsIntoFog = 0;
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                if (!isShown(x, y)) continue;
                ++rooms;
                for (const Direction& side : doorSides)
                    if ((s.at(x, y).doors & side.bit) != 0 && hidden(x + side.dx, y + side.dy)) ++doorsIntoFog;
            }
        ASSERT_EQ(m.rooms.size(), rooms) << where;
        EXPECT_EQ(m.summary.rooms, static_cast<int>(rooms)) << where;
        for (const map::Room& r : m.rooms) EXPECT_TRUE(isShown(r.x, r.y)) << where << " room " << r.x << "," << r.y;
        for (const map::Marker& k : m.markers) EXPECT_TRUE(isShown(k.x, k.y)) << where << " marker " << k.x << "," << k.y;
        for (const map::Wall& w : m.walls) EXPECT_TRUE(isShown(w.x, w.y)) << where << " wall " << w.x << "," << w.y;
        for (const map::LinkBadge& l : m.links) EXPECT_TRUE(isShown(l.from.x, l.from.y)) << where << " link " << l.number;
        std::size_t marked = 0;
        for (const map::Door& d : m.doors) {
            const Direction& side = *std::find_if(doorSides.begin(), doorSides.end(), [&](auto& e) { return e.bit == d.side; });
            EXPECT_EQ(d.intoFog, hidden(d.x + side.dx, d.y + side.dy)) << where << " door " << d.x << "," << d.y;
            marked += d.intoFog ? 1 : 0;
        }
        EXPECT_EQ(marked, doorsIntoFog) << where;

        std::vector<std::string> lines;
        for (const auto& item : m.legend) {
            if (const auto* t = std::get_if<map::Text>(&item)) lines.push_back(t->text);
            const auto* swatch = std::get_if<map::Shape>(&item);
            for (int area = 0; swatch && area < areaCount; ++area) {
                EXPECT_FALSE(!c.areas.test(static_cast<std::size_t>(area)) && swatch->fill == map::areaColour(area))
                    << where << " swatch of hidden area " << area;
            }
        }
        for (const std::string& line : lines) {
            for (int area = 0; area < areaCount; ++area) {
                if (c.areas.test(static_cast<std::size_t>(area))) continue;
                EXPECT_NE(line.rfind("Area " + std::to_string(area) + " ", 0), 0U) << where << ": " << line;
            }
            EXPECT_EQ(line.find(" links, "), std::string::npos) << where << ": " << line;
        }
        EXPECT_NE(std::find(lines.begin(), lines.end(), std::to_string(rooms) + (rooms == 1 ? " room" : " rooms") +
                                                             " shown, the rest in fog"),
                  lines.end())
            << where;
    }

    // Every room shown, by cells or by all the areas: the map without fog.
    const DecodedStream s = decoded(4);
    const std::string whole = map::mapSvg(map::layOutMap(s, "a b c d"));
    for (const ShownCells& all : {allCells(), cellsOfAreas(s, AreaSelection().set())}) {
        const map::MapLayout m = map::layOutMap(s, "a b c d", map::defaultScale, all);
        EXPECT_FALSE(m.fog);
        EXPECT_EQ(map::mapSvg(m), whole);
        EXPECT_TRUE(std::none_of(m.doors.begin(), m.doors.end(), [](const map::Door& d) { return d.intoFog; }));
    }
    EXPECT_EQ(map::areaListText(AreaSelection("11110110101")), "0,2,4-5,7-10");
    EXPECT_EQ(map::areaListText(AreaSelection()), "");
}

}  // namespace
}  // namespace labyrinth
