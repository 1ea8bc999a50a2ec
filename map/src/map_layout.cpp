#include "map/map_layout.h"

#include <algorithm>

#include "writer/seed_code.h"

namespace labyrinth::map {
namespace {

using format::RecordKind;

// Layout in cells: a margin for the coordinates above and to the left, the
// grid, a gap, the legend, and a bottom margin.
constexpr double marginCells = 1.0;
constexpr double gapCells = 0.5;
constexpr double legendCells = 9.0;

// Light colours that stay apart from each other, readable under black text,
// and clear of the dark background that empty cells keep.
constexpr std::array<std::uint32_t, areaCount> areaPalette{
    0xFFE066,  // area 0: the start area, in yellow
    0xAEC7E8, 0xFFBB78, 0x98DF8A, 0xFF9896, 0xC5B0D5,
    0xC49C94, 0xF7B6D2, 0xDBDB8D, 0x9EDAE5, 0xC7C7C7,
};
// The same, darkened for the area numbers on the rooms (value / 2.3 in HSV).
constexpr std::array<std::uint32_t, areaCount> areaLabelPalette{
    0x6F612C, 0x4C5765, 0x6F5134, 0x42613C, 0x6F4241, 0x564D5D,
    0x554440, 0x6B4F5B, 0x5F5F3D, 0x455F64, 0x575757,
};
constexpr std::uint32_t unknownArea = 0x808080;
constexpr std::uint32_t unknownAreaLabel = 0x383838;

constexpr Colour background = rgb(0x2B2F36);
constexpr Colour emptyCell = rgb(0x3A3F47);
constexpr Colour wall = rgb(0x15171A);
constexpr Colour labelText = rgb(0xC8CCD2);
constexpr Colour itemGold = rgb(0xE8A800);
constexpr Colour linkRed = rgb(0xC01C28);
constexpr Colour startDark = rgb(0x1F3A93);
constexpr Colour white = rgb(0xFFFFFF);
constexpr Colour black = rgb(0x000000);

class Layout {
public:
    Layout(const DecodedStream& stream, int scale, const ShownCells& shown)
        : s_(stream), shown_(shown), scale_(scale), left_(marginCells * scale), top_(marginCells * scale) {}

    MapLayout build(const std::string& seedCode) {
        const PixelSize size = mapSize(scale_);
        m_.scale = scale_;
        m_.width = size.width;
        m_.height = size.height;
        m_.background = background;
        m_.grid = {left_, top_, double(mazeSize * scale_), double(mazeSize * scale_)};
        m_.emptyCell = emptyCell;
        m_.wallStroke = {wall, std::max(2.0, scale_ / 8.0)};
        m_.seedCode = seedCode;
        m_.summary = summarizeShown(s_, shown_);
        m_.fog = m_.summary.rooms < summarize(s_).rooms;
        coordinates();
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) room(x, y);
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) marker(x, y);
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) linkBadge(x, y);
        legend();
        return std::move(m_);
    }

private:
    bool shown(int x, int y) const { return shownRoom(s_, shown_, x, y); }

    Box cell(int x, int y) const { return {left_ + x * scale_, top_ + y * scale_, double(scale_), double(scale_)}; }

    Font font(double cells, bool bold = false) const {
        return {std::max(6, static_cast<int>(cells * scale_)), bold};
    }

    // A square of side 2 * half around `centre`.
    static Box square(Point centre, double half) { return {centre.x - half, centre.y - half, 2 * half, 2 * half}; }

    void coordinates() {
        const Font f = font(0.36);
        for (int i = 0; i < mazeSize; ++i) {
            m_.coordinates.push_back({{left_ + i * scale_, 0, double(scale_), top_}, std::to_string(i), f, labelText});
            m_.coordinates.push_back({{0, top_ + i * scale_, left_ - 0.15 * scale_, double(scale_)}, std::to_string(i),
                                      f, labelText, Text::Align::Right});
        }
    }

    // The room's square, then its four sides: a wall where there is no door;
    // a door is an opening in the middle half of the side.
    void room(int x, int y) {
        if (!shown(x, y)) return;
        const DecodedCell& c = s_.at(x, y);
        const Box r = cell(x, y);
        m_.rooms.push_back({x, y, c.area, c.doors, c.kind, r, areaColour(c.area)});
        const Point topLeft{r.x, r.y};
        const Point topRight{r.x + r.width, r.y};
        const Point bottomLeft{r.x, r.y + r.height};
        const Point bottomRight{r.x + r.width, r.y + r.height};
        const std::array<Line, 4> edges{{
            {bottomLeft, bottomRight},  // south
            {topRight, bottomRight},    // east
            {topLeft, bottomLeft},      // west
            {topLeft, topRight},        // north
        }};
        for (std::size_t i = 0; i < doorSides.size(); ++i) {
            const auto [a, b] = edges[i];
            const std::uint8_t side = doorSides[i].bit;
            if ((c.doors & side) == 0) {
                m_.walls.push_back({x, y, side, {a, b}});
                continue;
            }
            const Point nearA{a.x + (b.x - a.x) * 0.25, a.y + (b.y - a.y) * 0.25};
            const Point nearB{b.x + (a.x - b.x) * 0.25, b.y + (a.y - b.y) * 0.25};
            m_.walls.push_back({x, y, side, {a, nearA}});
            m_.walls.push_back({x, y, side, {b, nearB}});
            // A door into a room in fog is where the player can go next.
            const int nx = x + doorSides[i].dx;
            const int ny = y + doorSides[i].dy;
            const bool intoFog = insideMaze(nx, ny) && s_.at(nx, ny).isRoom() && !shown(nx, ny);
            m_.doors.push_back({x, y, side, {nearA, nearB}, intoFog});
        }
    }

    void marker(int x, int y) {
        if (!shown(x, y)) return;
        const DecodedCell& c = s_.at(x, y);
        const Box r = cell(x, y);
        const Point centre = r.centre();
        const Stroke thin{wall, std::max(1.0, scale_ / 16.0)};
        Marker mark{x, y, Marker::Kind::AreaNumber, std::nullopt, std::nullopt};
        if (c.kind == RecordKind::Start) {
            mark.kind = Marker::Kind::Start;
            mark.shape = Shape{Shape::Kind::Ellipse, square(centre, 0.36 * scale_), 0, startDark,
                               Stroke{white, std::max(1.0, scale_ / 16.0)}};
            mark.label = Text{r, "S", font(0.46, true), white};
        } else if (c.kind == RecordKind::AreaMark) {
            mark.kind = Marker::Kind::NumberedRoom;
            mark.shape = Shape{Shape::Kind::RoundedRectangle, square(centre, 0.32 * scale_), 0.12 * scale_, white, thin};
            mark.label = Text{r, std::to_string(c.areaMark), font(c.areaMark >= 10 ? 0.36 : 0.44, true), black};
        } else if (c.kind == RecordKind::Item) {
            mark.kind = Marker::Kind::Item;
            mark.shape = Shape{Shape::Kind::Diamond, square(centre, 0.3 * scale_), 0, itemGold, thin};
        } else {
            // Plain rooms carry their area number, small, so that areas can
            // be told apart without relying on colour alone.
            mark.label = Text{r, std::to_string(c.area), font(0.34), areaLabelColour(c.area)};
        }
        m_.markers.push_back(std::move(mark));
    }

    // The number of a link sits on the door it names, between the room it
    // leaves from and the room it leads into. It belongs to the room it
    // leaves from, and shows with it.
    void linkBadge(int x, int y) {
        const DecodedCell& c = s_.at(x, y);
        if (c.kind != RecordKind::Link || !shown(x, y)) return;
        Point at = cell(x, y).centre();
        const auto target = linkTarget(s_, x, y);
        if (target) {
            const Point there = cell(target->x, target->y).centre();
            at = {(at.x + there.x) / 2.0, (at.y + there.y) / 2.0};
        }
        const double w = 0.62 * scale_;
        const double h = 0.5 * scale_;
        const Box badge{at.x - w / 2, at.y - h / 2, w, h};
        m_.links.push_back({c.link,
                            {x, y},
                            target,
                            {Shape::Kind::RoundedRectangle, badge, 0.15 * scale_, linkRed,
                             Stroke{white, std::max(1.0, scale_ / 20.0)}},
                            {badge, std::to_string(c.link), font(0.36, true), white}});
    }

    void legend() {
        const double x0 = left_ + (mazeSize + gapCells) * scale_;
        const double width = legendCells * scale_;
        const double line = 0.8 * scale_;
        double y = top_;
        auto& out = m_.legend;
        auto row = [&](const std::string& what, Font f, Colour colour, double indent = 0) {
            out.emplace_back(Text{{x0 + indent, y, width - indent, line}, what, f, colour, Text::Align::Left});
            y += line;
        };
        row("Labyrinth map", font(0.5, true), white);
        row(std::string(seedCodeLabel), font(0.36), labelText);
        row(m_.seedCode, font(0.36, true), white);
        y += line / 2;

        // Under fog the counts are of what is shown, and an area shows in the
        // legend once one of its rooms does, so that nothing is given away.
        const StreamSummary& summary = m_.summary;
        row(m_.fog ? "Areas (rooms shown)" : "Areas (rooms)", font(0.4, true), white);
        const double swatch = 0.6 * scale_;
        for (int area = 0; area < areaCount; ++area) {
            if (m_.fog && summary.roomsPerArea[static_cast<std::size_t>(area)] == 0) continue;
            out.emplace_back(Shape{Shape::Kind::Rectangle, {x0, y + (line - swatch) / 2, swatch, swatch}, 0,
                                   areaColour(area), Stroke{wall, 1}});
            row("Area " + std::to_string(area) + " (" +
                    std::to_string(summary.roomsPerArea[static_cast<std::size_t>(area)]) + ")" +
                    (area == 0 ? ", start" : ""),
                font(0.36), labelText, swatch * 1.5);
        }
        y += line / 2;

        // Each symbol drawn as on the map, then its meaning.
        const double symbolWidth = 1.0 * scale_;
        const double small = 0.28 * scale_;
        auto symbolRow = [&](auto draw, const std::string& what) {
            draw(Point{x0 + symbolWidth / 2, y + line / 2});
            row(what, font(0.36), labelText, symbolWidth * 1.15);
        };
        symbolRow(
            [&](Point c) {
                const Box box = square(c, small);
                out.emplace_back(Shape{Shape::Kind::Ellipse, box, 0, startDark, Stroke{white, 1}});
                out.emplace_back(Text{box, "S", font(0.34, true), white});
            },
            "Start (" + std::to_string(startX) + ", " + std::to_string(startY) + ")");
        symbolRow(
            [&](Point c) {
                out.emplace_back(Shape{Shape::Kind::Diamond, square(c, small), 0, itemGold, Stroke{wall, 1}});
            },
            "Item room (" + std::to_string(summary.items) + ")");
        symbolRow(
            [&](Point c) {
                const Box box = square(c, small);
                out.emplace_back(Shape{Shape::Kind::RoundedRectangle, box, 3, white, Stroke{wall, 1}});
                out.emplace_back(Text{box, "n", font(0.34, true), black});
            },
            "Numbered room of area n");
        symbolRow(
            [&](Point c) {
                const Box badge{c.x - small * 1.1, c.y - small * 0.9, small * 2.2, small * 1.8};
                out.emplace_back(Shape{Shape::Kind::RoundedRectangle, badge, 3, linkRed, Stroke{white, 1}});
                out.emplace_back(Text{badge, "n", font(0.32, true), white});
            },
            "Link door into area n");
        symbolRow(
            [&](Point c) {
                const Stroke stroke = m_.wallStroke;
                out.emplace_back(LegendLine{{{c.x - small * 1.5, c.y}, {c.x - small * 0.6, c.y}}, stroke});
                out.emplace_back(LegendLine{{{c.x + small * 0.6, c.y}, {c.x + small * 1.5, c.y}}, stroke});
            },
            "Door (gap in a wall)");
        y += line / 2;
        if (m_.fog)
            row(std::to_string(summary.rooms) + (summary.rooms == 1 ? " room" : " rooms") + " shown, the rest in fog",
                font(0.34), labelText);
        else
            row(std::to_string(summary.rooms) + " rooms, " + std::to_string(summary.links) + " links, " +
                    std::to_string(summary.deadEnds) + " dead ends",
                font(0.34), labelText);
    }

    const DecodedStream& s_;
    const ShownCells& shown_;
    int scale_;
    double left_;
    double top_;
    MapLayout m_;
};

}  // namespace

Colour areaColour(int area) {
    if (area < 0 || area >= areaCount) return rgb(unknownArea);
    return rgb(areaPalette[static_cast<std::size_t>(area)]);
}

Colour areaLabelColour(int area) {
    if (area < 0 || area >= areaCount) return rgb(unknownAreaLabel);
    return rgb(areaLabelPalette[static_cast<std::size_t>(area)]);
}

std::string areaListText(const AreaSelection& areas) {
    std::string out;
    for (int area = 0; area < areaCount; ++area) {
        if (!areas.test(static_cast<std::size_t>(area))) continue;
        int last = area;
        while (last + 1 < areaCount && areas.test(static_cast<std::size_t>(last + 1))) ++last;
        out += (out.empty() ? "" : ",") + std::to_string(area);
        if (last > area) out += "-" + std::to_string(last);
        area = last;
    }
    return out;
}

PixelSize mapSize(int scale) {
    scale = std::clamp(scale, minScale, maxScale);
    const double width = marginCells + mazeSize + gapCells + legendCells;
    const double height = marginCells + mazeSize + gapCells;
    return {static_cast<int>(width * scale), static_cast<int>(height * scale)};
}

MapLayout layOutMap(const DecodedStream& stream, const std::string& seedCode, int scale, const ShownCells& shown) {
    return Layout(stream, std::clamp(scale, minScale, maxScale), shown).build(seedCode);
}

}  // namespace labyrinth::map
