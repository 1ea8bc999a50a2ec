#include "map/map_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <vector>

namespace labyrinth::map {
namespace {

// Every digit of DejaVu Sans advances 0.636 em, and so does every digit of
// Verdana, its stand-in where it is missing; bold digits advance 0.696 em.
constexpr double digitAdvance = 0.636;
constexpr double boldDigitAdvance = 0.696;

// A length in hundredths of a pixel, without a locale: "12.5", "-3", "0.25".
void appendNumber(std::string& out, double value) {
    const auto hundredths = static_cast<std::int64_t>(std::llround(value * 100));
    const std::uint64_t magnitude = hundredths < 0 ? static_cast<std::uint64_t>(-hundredths)
                                                   : static_cast<std::uint64_t>(hundredths);
    if (hundredths < 0) out += '-';
    out += std::to_string(magnitude / 100);
    const auto fraction = magnitude % 100;
    if (fraction != 0) {
        out += '.';
        out += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) out += static_cast<char>('0' + fraction % 10);
    }
}

std::string number(double value) { return svgNumber(value); }

std::string colour(Colour c) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out = "#";
    for (const std::uint8_t part : {c.red, c.green, c.blue}) {
        out += digits[part >> 4U];
        out += digits[part & 15U];
    }
    return out;
}

const char* markerClass(Marker::Kind kind) {
    switch (kind) {
        case Marker::Kind::Start: return "start";
        case Marker::Kind::Item: return "item";
        case Marker::Kind::NumberedRoom: return "numbered-room";
        case Marker::Kind::AreaNumber: return "area-number";
    }
    return "area-number";
}

std::string cellAttributes(int x, int y) {
    return " data-x=\"" + std::to_string(x) + "\" data-y=\"" + std::to_string(y) + "\"";
}

bool digitsOnly(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class Writer {
public:
    explicit Writer(SvgForm form) : form_(form) {}

    std::string write(const MapLayout& m) {
        out_.reserve(form_ == SvgForm::Compact ? 96 * 1024 : 160 * 1024);
        const std::string w = std::to_string(m.width);
        const std::string h = std::to_string(m.height);
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
                " " + h + "\" role=\"img\" font-family=\"'DejaVu Sans', Verdana, sans-serif\"" +
                " stroke-linecap=\"square\" stroke-linejoin=\"bevel\">\n";
        out_ += "<title>Labyrinth map, seed code " + xmlEscaped(m.seedCode);
        if (m.fog) out_ += ", " + std::to_string(m.summary.rooms) + (m.summary.rooms == 1 ? " room" : " rooms") + " shown";
        out_ += "</title>\n";
        out_ += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"" + colour(m.background) + "\"/>\n";
        out_ += "<rect class=\"grid\"" + box(m.grid) + " fill=\"" + colour(m.emptyCell) + "\"/>\n";

        out_ += "<g class=\"coordinates\" text-anchor=\"middle\" dominant-baseline=\"central\">\n";
        std::vector<const Text*> coordinates;
        for (const Text& t : m.coordinates) coordinates.push_back(&t);
        digitLabels(coordinates, "");
        out_ += "</g>\n";

        if (form_ == SvgForm::Growing) {
            growingRooms(m);
        } else {
            if (form_ == SvgForm::Compact) roomPaths(m);
            else roomElements(m);
            // All walls as one path: every piece is a move and a line; or, in
            // the page's map, each run of walls along a line of the grid as one line.
            out_ += "<path class=\"walls\" fill=\"none\"" + stroke(m.wallStroke) + " d=\"";
            if (form_ == SvgForm::Compact) wallRuns(m.walls);
            else
                for (const Wall& wall : m.walls) wallPiece(wall);
            out_ += "\"/>\n";
            markersAndLinks(m);
        }
        out_ += "<g class=\"legend\">\n";
        for (const LegendItem& item : m.legend) {
            if (const auto* s = std::get_if<Shape>(&item)) shape(*s, "");
            if (const auto* t = std::get_if<Text>(&item)) text(*t, "");
            if (const auto* l = std::get_if<LegendLine>(&item))
                out_ += "<line x1=\"" + number(l->line.from.x) + "\" y1=\"" + number(l->line.from.y) + "\" x2=\"" +
                        number(l->line.to.x) + "\" y2=\"" + number(l->line.to.y) + "\"" + stroke(l->stroke) + "/>\n";
        }
        out_ += "</g>\n</svg>\n";
        return std::move(out_);
    }

private:
    void wallPiece(const Wall& wall) {
        out_ += 'M';
        point(wall.line.from);
        out_ += 'L';
        point(wall.line.to);
    }

    void point(Point p) {
        appendNumber(out_, p.x);
        out_ += ' ';
        appendNumber(out_, p.y);
    }

    static std::string box(const Box& b) {
        return " x=\"" + number(b.x) + "\" y=\"" + number(b.y) + "\" width=\"" + number(b.width) + "\" height=\"" +
               number(b.height) + "\"";
    }

    static std::string stroke(const Stroke& s) {
        return " stroke=\"" + colour(s.colour) + "\" stroke-width=\"" + number(s.width) + "\"";
    }

    // Walls that lie on one line and touch or overlap, as one line: the side
    // two rooms share is drawn once, and a row of walls in one stroke. One
    // path's strokes cover the same pixels whether they overlap or not, so
    // the picture stays the same, in about a fifth of the text. Every wall
    // runs along the grid; one that does not is written as it is.
    void wallRuns(const std::vector<Wall>& walls) {
        struct Run {
            bool vertical;
            double at;     // the line: y of a horizontal run, x of a vertical one
            double begin;  // along it
            double end;
            bool operator<(const Run& o) const {
                return std::tie(vertical, at, begin, end) < std::tie(o.vertical, o.at, o.begin, o.end);
            }
        };
        std::vector<Run> runs;
        for (const Wall& wall : walls) {
            const Line& l = wall.line;
            if (l.from.y == l.to.y) runs.push_back({false, l.from.y, std::min(l.from.x, l.to.x), std::max(l.from.x, l.to.x)});
            else if (l.from.x == l.to.x) runs.push_back({true, l.from.x, std::min(l.from.y, l.to.y), std::max(l.from.y, l.to.y)});
            else {
                out_ += 'M';
                point(l.from);
                out_ += 'L';
                point(l.to);
            }
        }
        std::sort(runs.begin(), runs.end());
        constexpr double touching = 1e-6;
        for (std::size_t i = 0; i < runs.size();) {
            Run run = runs[i++];
            while (i < runs.size() && runs[i].vertical == run.vertical && runs[i].at == run.at &&
                   runs[i].begin <= run.end + touching)
                run.end = std::max(run.end, runs[i++].end);
            out_ += 'M';
            point(run.vertical ? Point{run.at, run.begin} : Point{run.begin, run.at});
            out_ += run.vertical ? 'V' : 'H';
            appendNumber(out_, run.end);
        }
    }

    // Special rooms: the shape carries the room's cell, its letter or number
    // follows it. The area numbers of all other rooms, a few elements of
    // many digits. Then the link badges.
    void markersAndLinks(const MapLayout& m) {
        out_ += "<g class=\"markers\">\n";
        std::vector<const Text*> areaNumbers;
        for (const Marker& marker : m.markers) {
            if (!marker.shape) {
                if (marker.label) areaNumbers.push_back(&*marker.label);
                continue;
            }
            specialMarker(marker, "");
        }
        out_ += "<g class=\"area-numbers\" text-anchor=\"middle\" dominant-baseline=\"central\">\n";
        digitLabels(areaNumbers, " class=\"area-number\"");
        out_ += "</g>\n</g>\n<g class=\"links\">\n";
        for (const LinkBadge& link : m.links) badge(link, "");
        out_ += "</g>\n";
    }

    void specialMarker(const Marker& marker, const std::string& owner) {
        shape(*marker.shape, std::string(" class=\"marker ") + markerClass(marker.kind) + "\"" +
                                 cellAttributes(marker.x, marker.y) + owner);
        out_ += '\n';
        if (marker.label) text(*marker.label, owner);
    }

    void badge(const LinkBadge& link, const std::string& owner) {
        out_ += "<g class=\"link\"" + owner + " data-number=\"" + std::to_string(link.number) + "\" data-from=\"" +
                cellKey(link.from) + "\"";
        if (link.to) out_ += " data-to=\"" + cellKey(*link.to) + "\"";
        out_ += ">";
        shape(link.badge, "");
        text(link.label, "");
        out_ += "</g>\n";
    }

public:
    // What `write` would write of room `r` in the Growing form, by group.
    RoomPieces piecesOf(const MapLayout& m, const Room& r) {
        RoomPieces pieces;
        pieces.room = {r.x, r.y};
        const std::string owner = " data-room=\"" + cellKey(pieces.room) + "\"";
        const auto into = [this](std::string& target, auto&& draw) {
            out_.clear();
            draw();
            target = std::move(out_);
        };
        into(pieces.square, [&] { roomElement(r); });
        into(pieces.walls, [&] {
            out_ += "<path data-walls=\"" + cellKey(pieces.room) + "\"" + owner + " d=\"";
            for (const Wall& wall : m.walls)
                if (wall.x == r.x && wall.y == r.y) wallPiece(wall);
            out_ += "\"/>\n";
        });
        for (const Marker& marker : m.markers) {
            if (marker.x != r.x || marker.y != r.y) continue;
            if (marker.shape) into(pieces.marker, [&] { specialMarker(marker, owner); });
            else if (marker.label) into(pieces.areaNumber, [&] { text(*marker.label, " class=\"area-number\"" + owner); });
        }
        into(pieces.links, [&] {
            for (const LinkBadge& link : m.links)
                if (link.from == pieces.room) badge(link, owner);
        });
        return pieces;
    }

private:
    // The tracker's picture: each room's pieces in the group they belong in.
    void growingRooms(const MapLayout& m) {
        std::vector<RoomPieces> pieces;
        for (const Room& r : m.rooms) pieces.push_back(Writer(form_).piecesOf(m, r));
        const auto group = [&](const std::string& head, std::string RoomPieces::*part, const char* tail) {
            out_ += head;
            for (const RoomPieces& p : pieces) out_ += p.*part;
            out_ += tail;
        };
        group("<g class=\"rooms\">\n", &RoomPieces::square, "</g>\n");
        group("<g class=\"walls\" fill=\"none\"" + stroke(m.wallStroke) + ">\n", &RoomPieces::walls, "</g>\n");
        group("<g class=\"markers\">\n", &RoomPieces::marker, "");
        group("<g class=\"area-numbers\" text-anchor=\"middle\" dominant-baseline=\"central\">\n",
              &RoomPieces::areaNumber, "</g>\n</g>\n");
        group("<g class=\"links\">\n", &RoomPieces::links, "</g>\n");
    }

    void roomElement(const Room& r) {
        out_ += "<rect class=\"room\" data-room=\"" + cellKey({r.x, r.y}) + "\"" + cellAttributes(r.x, r.y) +
                " data-area=\"" + std::to_string(r.area) + "\" data-doors=\"" + std::to_string(r.doors) +
                "\" data-record=\"" + recordKindName(r.kind) + "\"" + box(r.box) + " fill=\"" + colour(r.fill) + "\"/>\n";
    }

    void roomElements(const MapLayout& m) {
        out_ += "<g class=\"rooms\">\n";
        for (const Room& r : m.rooms) roomElement(r);
        out_ += "</g>\n";
    }

    // The squares of one colour as the subpaths of one path, colours in the
    // order in which rooms first show them.
    void roomPaths(const MapLayout& m) {
        std::vector<Colour> fills;
        for (const Room& r : m.rooms)
            if (std::find(fills.begin(), fills.end(), r.fill) == fills.end()) fills.push_back(r.fill);
        out_ += "<g class=\"rooms\">\n";
        for (const Colour fill : fills) {
            out_ += "<path class=\"rooms\" fill=\"" + colour(fill) + "\" d=\"";
            for (const Room& r : m.rooms) {
                if (!(r.fill == fill)) continue;
                out_ += 'M';
                point({r.box.x, r.box.y});
                out_ += 'h';
                appendNumber(out_, r.box.width);
                out_ += 'v';
                appendNumber(out_, r.box.height);
                out_ += 'h';
                appendNumber(out_, -r.box.width);
                out_ += 'z';
            }
            out_ += "\"/>\n";
        }
        out_ += "</g>\n";
    }

    void shape(const Shape& s, const std::string& attributes) {
        const std::string paint =
            " fill=\"" + colour(s.fill) + "\"" + (s.outline ? stroke(*s.outline) : std::string(" stroke=\"none\""));
        const Point c = s.box.centre();
        switch (s.kind) {
            case Shape::Kind::Rectangle: out_ += "<rect" + attributes + box(s.box) + paint + "/>"; break;
            case Shape::Kind::RoundedRectangle:
                out_ += "<rect" + attributes + box(s.box) + " rx=\"" + number(s.cornerRadius) + "\"" + paint + "/>";
                break;
            case Shape::Kind::Ellipse:
                out_ += "<ellipse" + attributes + " cx=\"" + number(c.x) + "\" cy=\"" + number(c.y) + "\" rx=\"" +
                        number(s.box.width / 2) + "\" ry=\"" + number(s.box.height / 2) + "\"" + paint + "/>";
                break;
            case Shape::Kind::Diamond: {
                const double half = s.box.width / 2;
                out_ += "<polygon" + attributes + " points=\"";
                point({c.x, c.y - half});
                out_ += ' ';
                point({c.x + half, c.y});
                out_ += ' ';
                point({c.x, c.y + half});
                out_ += ' ';
                point({c.x - half, c.y});
                out_ += "\"" + paint + "/>";
                break;
            }
        }
    }

    static std::string fontAttributes(const Font& f) {
        return " font-size=\"" + std::to_string(f.pixelSize) + "\"" + (f.bold ? " font-weight=\"bold\"" : "");
    }

    void text(const Text& t, const std::string& attributes) {
        double x = t.box.centre().x;
        const char* anchor = "middle";
        if (t.align == Text::Align::Left) {
            x = t.box.x;
            anchor = "start";
        } else if (t.align == Text::Align::Right) {
            x = t.box.x + t.box.width;
            anchor = "end";
        }
        out_ += "<text" + attributes + " x=\"" + number(x) + "\" y=\"" + number(t.box.centre().y) +
                "\" text-anchor=\"" + anchor + "\" dominant-baseline=\"central\"" + fontAttributes(t.font) +
                " fill=\"" + colour(t.colour) + "\">" + xmlEscaped(t.text) + "</text>\n";
    }

    // Labels of digits alone (coordinates, area numbers) that share a font
    // and a colour, as one text element with every digit placed on its own,
    // centred where it falls in its label: a browser takes in one element of
    // many digits far faster than as many elements. Inside a group that
    // centres text on its line. Any other label is written on its own.
    void digitLabels(const std::vector<const Text*>& labels, const std::string& attributes) {
        std::vector<std::vector<const Text*>> runs;
        for (const Text* t : labels) {
            if (!digitsOnly(t->text)) {
                text(*t, attributes);
                continue;
            }
            auto run = std::find_if(runs.begin(), runs.end(), [&](const auto& r) {
                return r.front()->font.pixelSize == t->font.pixelSize && r.front()->font.bold == t->font.bold &&
                       r.front()->colour == t->colour;
            });
            if (run == runs.end()) runs.push_back({t});
            else run->push_back(t);
        }
        for (const auto& run : runs) {
            const Text& first = *run.front();
            const double advance = (first.font.bold ? boldDigitAdvance : digitAdvance) * first.font.pixelSize;
            std::string xs;
            std::string ys;
            std::string digits;
            for (const Text* t : run) {
                const double width = advance * static_cast<double>(t->text.size());
                double left = t->box.centre().x - width / 2;
                if (t->align == Text::Align::Left) left = t->box.x;
                if (t->align == Text::Align::Right) left = t->box.x + t->box.width - width;
                for (std::size_t i = 0; i < t->text.size(); ++i) {
                    if (!xs.empty()) {
                        xs += ' ';
                        ys += ' ';
                    }
                    appendNumber(xs, left + advance * (static_cast<double>(i) + 0.5));
                    appendNumber(ys, t->box.centre().y);
                }
                digits += t->text;
            }
            out_ += "<text" + attributes + fontAttributes(first.font) + " fill=\"" + colour(first.colour) + "\" x=\"" +
                    xs + "\" y=\"" + ys + "\">" + digits + "</text>\n";
        }
    }

    SvgForm form_;
    std::string out_;
};

}  // namespace

std::string svgNumber(double value) {
    std::string out;
    appendNumber(out, value);
    return out;
}

std::string mapSvg(const MapLayout& layout, SvgForm form) { return Writer(form).write(layout); }

std::vector<RoomPieces> roomPieces(const MapLayout& layout) {
    std::vector<RoomPieces> pieces;
    Writer writer(SvgForm::Growing);
    for (const Room& r : layout.rooms) pieces.push_back(writer.piecesOf(layout, r));
    return pieces;
}

std::string mapSvg(const DecodedStream& stream, const std::string& seedCode, SvgForm form) {
    return mapSvg(layOutMap(stream, seedCode, defaultScale), form);
}

std::string xmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace labyrinth::map
