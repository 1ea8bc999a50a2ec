#include "map/map_svg.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace labyrinth::map {
namespace {

// A length in hundredths of a pixel, without a locale: "12.5", "-3", "0.25".
std::string number(double value) {
    const auto hundredths = static_cast<std::int64_t>(std::llround(value * 100));
    const std::uint64_t magnitude = hundredths < 0 ? static_cast<std::uint64_t>(-hundredths)
                                                   : static_cast<std::uint64_t>(hundredths);
    std::string out = hundredths < 0 ? "-" : "";
    out += std::to_string(magnitude / 100);
    const auto fraction = magnitude % 100;
    if (fraction != 0) {
        out += '.';
        out += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) out += static_cast<char>('0' + fraction % 10);
    }
    return out;
}

std::string colour(Colour c) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out = "#";
    for (const std::uint8_t part : {c.red, c.green, c.blue}) {
        out += digits[part >> 4U];
        out += digits[part & 15U];
    }
    return out;
}

// Text as XML character data or attribute value.
std::string escaped(std::string_view text) {
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

class Writer {
public:
    std::string write(const MapLayout& m) {
        const std::string w = std::to_string(m.width);
        const std::string h = std::to_string(m.height);
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
                " " + h + "\" role=\"img\" font-family=\"'DejaVu Sans', Verdana, sans-serif\"" +
                " stroke-linecap=\"square\" stroke-linejoin=\"bevel\">\n";
        out_ += "<title>Labyrinth map, seed code " + escaped(m.seedCode) + "</title>\n";
        out_ += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"" + colour(m.background) + "\"/>\n";
        out_ += "<rect class=\"grid\"" + box(m.grid) + " fill=\"" + colour(m.emptyCell) + "\"/>\n";

        out_ += "<g class=\"coordinates\">\n";
        for (const Text& t : m.coordinates) text(t, "");
        out_ += "</g>\n<g class=\"rooms\">\n";
        for (const Room& r : m.rooms)
            out_ += "<rect class=\"room\"" + cellAttributes(r.x, r.y) + " data-area=\"" + std::to_string(r.area) +
                    "\" data-doors=\"" + std::to_string(r.doors) + "\" data-record=\"" + recordKindName(r.kind) +
                    "\"" + box(r.box) + " fill=\"" + colour(r.fill) + "\"/>\n";
        out_ += "</g>\n";

        // All walls as one path: every piece is a move and a line.
        out_ += "<path class=\"walls\" fill=\"none\"" + stroke(m.wallStroke) + " d=\"";
        for (const Wall& wall : m.walls) out_ += "M" + point(wall.line.from) + "L" + point(wall.line.to);
        out_ += "\"/>\n";

        out_ += "<g class=\"markers\">\n";
        for (const Marker& marker : m.markers) {
            const std::string attributes =
                std::string(" class=\"marker ") + markerClass(marker.kind) + "\"" + cellAttributes(marker.x, marker.y);
            if (!marker.shape) {
                if (marker.label) text(*marker.label, attributes);
                continue;
            }
            out_ += "<g" + attributes + ">";
            shape(*marker.shape, "");
            if (marker.label) text(*marker.label, "");
            out_ += "</g>\n";
        }
        out_ += "</g>\n<g class=\"links\">\n";
        for (const LinkBadge& link : m.links) {
            out_ += "<g class=\"link\" data-number=\"" + std::to_string(link.number) + "\" data-from=\"" +
                    std::to_string(link.from.x) + "," + std::to_string(link.from.y) + "\"";
            if (link.to) out_ += " data-to=\"" + std::to_string(link.to->x) + "," + std::to_string(link.to->y) + "\"";
            out_ += ">";
            shape(link.badge, "");
            text(link.label, "");
            out_ += "</g>\n";
        }
        out_ += "</g>\n<g class=\"legend\">\n";
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
    static std::string point(Point p) { return number(p.x) + " " + number(p.y); }

    static std::string box(const Box& b) {
        return " x=\"" + number(b.x) + "\" y=\"" + number(b.y) + "\" width=\"" + number(b.width) + "\" height=\"" +
               number(b.height) + "\"";
    }

    static std::string stroke(const Stroke& s) {
        return " stroke=\"" + colour(s.colour) + "\" stroke-width=\"" + number(s.width) + "\"";
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
                out_ += "<polygon" + attributes + " points=\"" + point({c.x, c.y - half}) + " " +
                        point({c.x + half, c.y}) + " " + point({c.x, c.y + half}) + " " + point({c.x - half, c.y}) +
                        "\"" + paint + "/>";
                break;
            }
        }
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
                "\" text-anchor=\"" + anchor + "\" dominant-baseline=\"central\" font-size=\"" +
                std::to_string(t.font.pixelSize) + "\"" + (t.font.bold ? " font-weight=\"bold\"" : "") + " fill=\"" +
                colour(t.colour) + "\">" + escaped(t.text) + "</text>\n";
    }

    std::string out_;
};

}  // namespace

std::string mapSvg(const MapLayout& layout) { return Writer().write(layout); }

std::string mapSvg(const DecodedStream& stream, const std::string& seedCode) {
    return mapSvg(layOutMap(stream, seedCode, defaultScale));
}

}  // namespace labyrinth::map
