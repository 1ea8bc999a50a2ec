// The SVG map: a well-formed document (read with an XML parser) that shows
// the very rooms, doors, special rooms and link doors of the layout that the
// PNG picture draws.

#include <gtest/gtest.h>

#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "map/map_layout.h"
#include "map/map_svg.h"
#include "readback_support.h"
#include "writer/decoder.h"

namespace labyrinth {
namespace {

DecodedStream decoded(std::uint64_t seed) {
    const auto w = testing::writtenImage(seed);
    auto s = decodeStream(w.image);
    EXPECT_TRUE(s) << s.error().message;
    return s.value();
}

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::string attribute(const std::string& key) const {
        const auto at = attributes.find(key);
        return at == attributes.end() ? std::string() : at->second;
    }
    bool hasClass(const std::string& c) const {
        std::istringstream classes(attribute("class"));
        for (std::string one; classes >> one;)
            if (one == c) return true;
        return false;
    }
};

// Every element of the document with its attributes and text, or the
// parser's complaint.
struct Parsed {
    std::vector<Element> elements;
    std::string error;
};

Parsed parse(const std::string& svg) {
    Parsed parsed;
    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    std::vector<std::size_t> open;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            Element e{xml.name().toString().toStdString(), {}, {}};
            for (const auto& a : xml.attributes())
                e.attributes[a.name().toString().toStdString()] = a.value().toString().toStdString();
            open.push_back(parsed.elements.size());
            parsed.elements.push_back(std::move(e));
        } else if (token == QXmlStreamReader::Characters && !open.empty()) {
            parsed.elements[open.back()].text += xml.text().toString().toStdString();
        } else if (token == QXmlStreamReader::EndElement) {
            open.pop_back();
        }
    }
    if (xml.hasError()) parsed.error = xml.errorString().toStdString() + " at line " + std::to_string(xml.lineNumber());
    return parsed;
}

std::string cell(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

// The wall path's pieces as (x1 y1 x2 y2), each a move and a line.
std::vector<std::array<double, 4>> wallPieces(const std::string& d) {
    std::vector<std::array<double, 4>> pieces;
    std::string spaced;
    for (const char c : d) spaced += (c == 'M' || c == 'L') ? std::string(" ") + c + " " : std::string(1, c);
    std::istringstream in(spaced);
    std::string m;
    std::string l;
    std::array<double, 4> p{};
    while (in >> m >> p[0] >> p[1] >> l >> p[2] >> p[3]) {
        EXPECT_EQ(m + l, "ML");
        pieces.push_back(p);
    }
    return pieces;
}

// The digits of a text element whose digits are placed one by one: each
// digit with its x and y, rounded to hundredths.
std::multiset<std::string> placedDigits(const Element& e) {
    std::istringstream xs(e.attribute("x"));
    std::istringstream ys(e.attribute("y"));
    std::multiset<std::string> out;
    for (const char digit : e.text) {
        double x = 0;
        double y = 0;
        xs >> x;
        ys >> y;
        out.insert(std::string(1, digit) + "@" + std::to_string(std::lround(x * 100)) + "," +
                   std::to_string(std::lround(y * 100)));
    }
    return out;
}

// Where a label's digits go: centred in the label's box, or against its
// right edge, at 0.636 em apiece.
void expectDigits(std::multiset<std::string>& out, const map::Text& t) {
    const double advance = 0.636 * t.font.pixelSize;
    const double width = advance * static_cast<double>(t.text.size());
    const double left = t.align == map::Text::Align::Right ? t.box.x + t.box.width - width : t.box.centre().x - width / 2;
    for (std::size_t i = 0; i < t.text.size(); ++i)
        out.insert(std::string(1, t.text[i]) + "@" +
                   std::to_string(std::lround((left + advance * (static_cast<double>(i) + 0.5)) * 100)) + "," +
                   std::to_string(std::lround(t.box.centre().y * 100)));
}

TEST(MapSvg, WellFormedWithTheLayoutsRoomsDoorsAndSpecialRooms) {
    for (std::uint64_t seed = 1; seed <= 8; ++seed) {
        const DecodedStream s = decoded(seed);
        const map::MapLayout layout = map::layOutMap(s, "a b c d");
        const Parsed svg = parse(map::mapSvg(layout));
        const std::string where = "seed " + std::to_string(seed);
        ASSERT_EQ(svg.error, "") << where;
        ASSERT_FALSE(svg.elements.empty());
        EXPECT_EQ(svg.elements[0].name, "svg");
        EXPECT_EQ(svg.elements[0].attribute("viewBox"), "0 0 1104 816");

        // One room shape per room, with the layout's cell, area, doors and colour.
        std::vector<const Element*> rooms;
        std::set<std::string> specials;
        std::set<std::string> links;
        const Element* walls = nullptr;
        std::multiset<std::string> areaNumbers;
        std::multiset<std::string> coordinates;
        for (const Element& e : svg.elements) {
            if (e.hasClass("area-number")) areaNumbers.merge(placedDigits(e));
            if (e.name == "text" && e.attribute("x").find(' ') != std::string::npos && !e.hasClass("area-number"))
                coordinates.merge(placedDigits(e));
            if (e.hasClass("room")) rooms.push_back(&e);
            if (e.hasClass("marker") && !e.hasClass("area-number"))
                specials.insert(e.attribute("class") + " " + cell(std::stoi(e.attribute("data-x")), std::stoi(e.attribute("data-y"))));
            if (e.hasClass("link"))
                links.insert(e.attribute("data-number") + " " + e.attribute("data-from") + ">" + e.attribute("data-to"));
            if (e.hasClass("walls")) walls = &e;
        }
        ASSERT_EQ(rooms.size(), layout.rooms.size()) << where;
        for (std::size_t i = 0; i < rooms.size(); ++i) {
            const map::Room& r = layout.rooms[i];
            const Element& e = *rooms[i];
            EXPECT_EQ(e.name, "rect");
            EXPECT_EQ(cell(std::stoi(e.attribute("data-x")), std::stoi(e.attribute("data-y"))), cell(r.x, r.y));
            EXPECT_EQ(e.attribute("data-room"), cell(r.x, r.y));
            EXPECT_EQ(e.attribute("data-area"), std::to_string(r.area));
            EXPECT_EQ(e.attribute("data-doors"), std::to_string(r.doors));
            EXPECT_EQ(e.attribute("data-record"), recordKindName(r.kind));
            EXPECT_EQ(std::stod(e.attribute("x")), r.box.x);
            EXPECT_EQ(std::stod(e.attribute("width")), r.box.width);
        }

        std::set<std::string> expectedSpecials;
        for (const map::Marker& m : layout.markers) {
            if (!m.special()) continue;
            const char* name = m.kind == map::Marker::Kind::Start ? "marker start"
                               : m.kind == map::Marker::Kind::Item ? "marker item"
                                                                   : "marker numbered-room";
            expectedSpecials.insert(std::string(name) + " " + cell(m.x, m.y));
        }
        EXPECT_EQ(specials, expectedSpecials) << where;
        // Every other room's area number, and the coordinates, digit by digit
        // where the layout centres them.
        std::multiset<std::string> expectedNumbers;
        for (const map::Marker& m : layout.markers)
            if (!m.special()) expectDigits(expectedNumbers, *m.label);
        EXPECT_EQ(areaNumbers, expectedNumbers) << where;
        std::multiset<std::string> expectedCoordinates;
        for (const map::Text& t : layout.coordinates) expectDigits(expectedCoordinates, t);
        EXPECT_EQ(coordinates, expectedCoordinates) << where;
        std::set<std::string> expectedLinks;
        for (const map::LinkBadge& l : layout.links)
            expectedLinks.insert(std::to_string(l.number) + " " + cell(l.from.x, l.from.y) + ">" + cell(l.to->x, l.to->y));
        EXPECT_EQ(links, expectedLinks) << where;

        // The walls drawn are the layout's, so every door is a gap in them.
        ASSERT_NE(walls, nullptr);
        const auto pieces = wallPieces(walls->attribute("d"));
        ASSERT_EQ(pieces.size(), layout.walls.size()) << where;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const map::Line& line = layout.walls[i].line;
            EXPECT_NEAR(pieces[i][0], line.from.x, 0.005);
            EXPECT_NEAR(pieces[i][1], line.from.y, 0.005);
            EXPECT_NEAR(pieces[i][2], line.to.x, 0.005);
            EXPECT_NEAR(pieces[i][3], line.to.y, 0.005);
        }
    }
}

TEST(MapSvg, TextIsEscapedAndTheLegendReadsAsOnThePicture) {
    const DecodedStream s = decoded(3);
    const Parsed svg = parse(map::mapSvg(s, "<b>&\"odd\""));
    ASSERT_EQ(svg.error, "");
    std::vector<std::string> texts;
    for (const Element& e : svg.elements)
        if (e.name == "text" || e.name == "title") texts.push_back(e.text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "<b>&\"odd\""), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Labyrinth map"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Labyrinth map, seed code <b>&\"odd\""), texts.end());
}

// Lines along the grid as the stretches they cover: for each horizontal
// ("h y") or vertical ("v x") line, its covered intervals, joined where they
// touch or overlap.
using Cover = std::map<std::string, std::vector<std::pair<double, double>>>;
void cover(Cover& c, bool vertical, double at, double a, double b) {
    c[(vertical ? "v " : "h ") + std::to_string(std::lround(at * 100))].push_back({std::min(a, b), std::max(a, b)});
}
Cover joined(Cover c) {
    for (auto& [line, stretches] : c) {
        std::sort(stretches.begin(), stretches.end());
        std::vector<std::pair<double, double>> out;
        for (const auto& s : stretches)
            if (!out.empty() && s.first <= out.back().second + 0.005) out.back().second = std::max(out.back().second, s.second);
            else out.push_back(s);
        stretches = out;
    }
    return c;
}

// The page's map paints each colour's rooms as one path: the same squares
// as the layout's rooms, and no element per room; its walls cover the very
// stretches of the layout's walls, each run of them as one line.
TEST(MapSvg, CompactFormPaintsTheSameRoomsAndWalls) {
    const map::MapLayout layout = map::layOutMap(decoded(5), "a b c d");
    const Parsed svg = parse(map::mapSvg(layout, map::SvgForm::Compact));
    ASSERT_EQ(svg.error, "");
    Cover walls;
    Cover expectedWalls;
    for (const map::Wall& w : layout.walls) {
        const bool vertical = w.line.from.x == w.line.to.x;
        cover(expectedWalls, vertical, vertical ? w.line.from.x : w.line.from.y, vertical ? w.line.from.y : w.line.from.x,
              vertical ? w.line.to.y : w.line.to.x);
    }
    std::size_t runs = 0;
    std::multiset<std::string> squares;
    for (const Element& e : svg.elements) {
        if (e.hasClass("walls")) {
            std::string d = e.attribute("d");
            for (char& c : d) c = (c == 'M' || c == 'H' || c == 'V') ? ' ' : c;
            std::istringstream in(d);
            const std::string letters = [&] {
                std::string l;
                for (const char c : e.attribute("d")) if (c == 'H' || c == 'V') l += c;
                return l;
            }();
            for (double x, y, to; runs < letters.size() && in >> x >> y >> to; ++runs)
                cover(walls, letters[runs] == 'V', letters[runs] == 'V' ? x : y, letters[runs] == 'V' ? y : x, to);
        }
        EXPECT_FALSE(e.hasClass("room")) << e.attribute("data-room");
        if (!e.hasClass("rooms") || e.name != "path") continue;
        std::string d = e.attribute("d");
        for (char& c : d) c = std::isalpha(static_cast<unsigned char>(c)) ? ' ' : c;
        std::istringstream in(d);
        for (double x, y, w, h, back; in >> x >> y >> w >> h >> back;) {
            EXPECT_EQ(back, -w);
            squares.insert(e.attribute("fill") + " " + std::to_string(x) + " " + std::to_string(y) + " " +
                           std::to_string(w) + " " + std::to_string(h));
        }
    }
    std::multiset<std::string> expected;
    for (const map::Room& r : layout.rooms) {
        char fill[8];
        std::snprintf(fill, sizeof fill, "#%02x%02x%02x", r.fill.red, r.fill.green, r.fill.blue);
        expected.insert(std::string(fill) + " " + std::to_string(r.box.x) + " " + std::to_string(r.box.y) + " " +
                        std::to_string(r.box.width) + " " + std::to_string(r.box.height));
    }
    EXPECT_EQ(squares, expected);
    EXPECT_EQ(joined(walls), joined(expectedWalls));
    Cover asWritten = walls;
    for (auto& [line, stretches] : asWritten) std::sort(stretches.begin(), stretches.end());
    EXPECT_EQ(asWritten, joined(walls)) << "each run once, as one line";
    EXPECT_LT(runs, layout.walls.size() / 3);
}

// Under fog the SVG holds the shown rooms alone: no colour, number, marker
// or link of a hidden room, and the title says how much is shown.
TEST(MapSvg, FogHidesEverythingOfTheHiddenRooms) {
    const DecodedStream s = decoded(6);
    const AreaSelection areas("00001000010");  // areas 1 and 6
    const map::MapLayout layout = map::layOutMap(s, "a b c d", map::defaultScale, cellsOfAreas(s, areas));
    for (const auto shapes : {map::SvgForm::Detailed, map::SvgForm::Compact, map::SvgForm::Growing}) {
        const std::string text = map::mapSvg(layout, shapes);
        const Parsed svg = parse(text);
        ASSERT_EQ(svg.error, "");
        std::set<std::string> rooms;
        std::set<std::string> expected;
        for (const map::Room& r : layout.rooms) expected.insert(cell(r.x, r.y));
        for (const Element& e : svg.elements) {
            if (!e.attribute("data-room").empty()) rooms.insert(e.attribute("data-room"));
            std::string at = e.attribute("data-x").empty() ? e.attribute("data-from")
                                                            : e.attribute("data-x") + "," + e.attribute("data-y");
            if (at.empty()) at = e.attribute("data-walls");
            if (!at.empty()) { EXPECT_EQ(expected.count(at), 1U) << e.name << " " << e.attribute("class") << " " << at; }
        }
        if (shapes != map::SvgForm::Compact) { EXPECT_EQ(rooms, expected); }
        for (int area = 0; area < areaCount; ++area) {
            if (areas.test(static_cast<std::size_t>(area))) continue;
            for (const map::Colour c : {map::areaColour(area), map::areaLabelColour(area)}) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "#%02x%02x%02x", c.red, c.green, c.blue);
                EXPECT_EQ(text.find(hex), std::string::npos) << "area " << area << " " << hex;
            }
        }
        EXPECT_NE(text.find(", " + std::to_string(layout.rooms.size()) + " rooms shown</title>"), std::string::npos);
    }
}

// The tracker's picture grows by lines: one more room shown adds that
// room's lines (its square, walls, marker or area number, link badge) and
// changes the title, and no other line, so the page takes in that alone.
TEST(MapSvg, GrowingFormChangesByTheNewRoomsLinesAlone) {
    const DecodedStream s = decoded(6);
    // Every other room of two areas: the rooms tried are of areas shown and not.
    const ShownCells areas = cellsOfAreas(s, AreaSelection("00001000010"));
    ShownCells before;
    for (std::size_t at = 0, kept = 0; at < areas.size(); ++at)
        if (areas.test(at) && kept++ % 2 == 0) before.set(at);
    const auto lines = [&](const ShownCells& shown) {
        std::multiset<std::string> out;
        const map::MapLayout layout = map::layOutMap(s, "a b c d", map::defaultScale, shown);
        std::istringstream text(map::mapSvg(layout, map::SvgForm::Growing));
        // The legend aside: it counts what is shown, and the tracker draws it only on request.
        for (std::string line; std::getline(text, line) && line != "<g class=\"legend\">";) out.insert(line);
        return out;
    };
    const auto minus = [](const std::multiset<std::string>& a, const std::multiset<std::string>& b) {
        std::vector<std::string> out;
        std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
        return out;
    };
    const std::multiset<std::string> old = lines(before);
    int tried = 0;
    for (int y = 0; y < mazeSize && tried < 40; ++y)
        for (int x = 0; x < mazeSize && tried < 40; ++x) {
            const auto at = static_cast<std::size_t>(y * mazeSize + x);
            if (!s.at(x, y).isRoom() || before.test(at) || (tried % 2 == 0 && !areas.test(at))) continue;
            ++tried;
            ShownCells after = before;
            after.set(at);
            const std::multiset<std::string> grown = lines(after);
            const std::string key = "\"" + cell(x, y) + "\"";
            const map::MapLayout grownLayout = map::layOutMap(s, "a b c d", map::defaultScale, after);
            const map::Box box = std::find_if(grownLayout.rooms.begin(), grownLayout.rooms.end(), [&](const map::Room& r) {
                                     return r.x == x && r.y == y;
                                 })->box;
            // A label of the room: its middle inside the room's square.
            const auto inside = [&](const std::string& line) {
                const Parsed text = parse("<svg xmlns=\"http://www.w3.org/2000/svg\">" + line + "</svg>");
                if (text.elements.size() < 2) return false;
                const double lx = std::stod(text.elements[1].attribute("x"));
                const double ly = std::stod(text.elements[1].attribute("y"));
                return lx > box.x && lx < box.x + box.width && ly > box.y && ly < box.y + box.height;
            };
            for (const std::string& line : minus(old, grown))
                EXPECT_TRUE(line.rfind("<title>", 0) == 0 || line.rfind("<g class=\"link\"", 0) == 0) << line;
            int added = 0;
            for (const std::string& line : minus(grown, old)) {
                ++added;
                if (line.rfind("<title>", 0) == 0 || line.rfind("<g class=\"link\"", 0) == 0 || line == "</g>") continue;
                const std::string marked = "data-x=\"" + std::to_string(x) + "\" data-y=\"" + std::to_string(y) + "\"";
                const bool own = line.find("data-room=" + key) != std::string::npos ||
                                 line.find("data-walls=" + key) != std::string::npos || line.find(marked) != std::string::npos;
                EXPECT_TRUE(own || (line.rfind("<text", 0) == 0 && inside(line))) << cell(x, y) << ": " << line;
            }
            EXPECT_GE(added, 3) << cell(x, y);  // the title, the square, the walls at least
        }
    EXPECT_EQ(tried, 40);
}

}  // namespace
}  // namespace labyrinth
