// The SVG map: a well-formed document (read with an XML parser) that shows
// the very rooms, doors, special rooms and link doors of the layout that the
// PNG picture draws.

#include <gtest/gtest.h>

#include <QXmlStreamReader>
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
        for (const Element& e : svg.elements) {
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

}  // namespace
}  // namespace labyrinth
