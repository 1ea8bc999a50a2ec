#pragma once
// The map of a labyrinth read back out of an image, laid out once: where each
// room, wall, door, marker, link number, coordinate and legend line goes, in
// which colour and font, in pixels for a scale. The PNG picture (Qt) and the
// SVG only draw this layout, in its order, so both show the same map.
// Standard C++ only: the browser build uses it too.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "layout/shown_cells.h"
#include "writer/decoder.h"
#include "writer/readback.h"

namespace labyrinth::map {

/// Areas as a list of numbers and ranges: "0,3-5"; empty for none.
std::string areaListText(const AreaSelection& areas);

/// Pixels per cell: the default, and the range that stays legible and sane.
inline constexpr int defaultScale = 32;
inline constexpr int minScale = 16;
inline constexpr int maxScale = 128;

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Colour&) const = default;
};

/// A colour from 0xRRGGBB.
constexpr Colour rgb(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 16U), static_cast<std::uint8_t>(value >> 8U),
            static_cast<std::uint8_t>(value)};
}

/// Fill colour of the rooms of an area 0..10; a neutral grey for any other
/// number (only a damaged image has one).
Colour areaColour(int area);
/// The colour of the area number written on a room of that area: the fill,
/// much darker, so that it reads on the fill.
Colour areaLabelColour(int area);

struct Point {
    double x = 0;
    double y = 0;
};

/// A rectangle in pixels: left, top, width, height.
struct Box {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    Point centre() const { return {x + width / 2, y + height / 2}; }
};

/// An outline or a line: its colour and width in pixels, with square ends.
struct Stroke {
    Colour colour;
    double width = 1;
};

/// A font of the DejaVu Sans family, sized in pixels.
struct Font {
    int pixelSize = 0;
    bool bold = false;
};

/// Text on one line, centred vertically in its box and placed across it by `align`.
struct Text {
    enum class Align : std::uint8_t { Centre, Left, Right };
    Box box;
    std::string text;
    Font font;
    Colour colour;
    Align align = Align::Centre;
};

/// A filled shape, outlined or not, that fits in `box`.
struct Shape {
    enum class Kind : std::uint8_t { Rectangle, RoundedRectangle, Ellipse, Diamond };
    Kind kind = Kind::Rectangle;
    Box box;
    double cornerRadius = 0;  ///< for rounded rectangles
    Colour fill;
    std::optional<Stroke> outline;
};

struct Line {
    Point from;
    Point to;
};

/// A room: its cell, area, door mask and record, and the square it fills.
struct Room {
    int x = 0;
    int y = 0;
    int area = 0;
    std::uint8_t doors = 0;
    format::RecordKind kind = format::RecordKind::Plain;
    Box box;
    Colour fill;
};

/// A stretch of wall along one side of a room, drawn with `MapLayout::wallStroke`.
/// A side without a door is one wall; a side with a door is two short walls
/// with the opening between them.
struct Wall {
    int x = 0;
    int y = 0;
    std::uint8_t side = 0;  ///< door bit of the side (doorSouth, doorEast, ...)
    Line line;
};

/// A door: the opening in the middle half of a side of a room.
struct Door {
    int x = 0;
    int y = 0;
    std::uint8_t side = 0;
    Line opening;
    bool intoFog = false;  ///< it leads into a room that the map does not show
};

/// What is drawn on a room: the start, an item, the area's numbered room, or
/// (every other room) its area number alone.
struct Marker {
    enum class Kind : std::uint8_t { Start, Item, NumberedRoom, AreaNumber };
    int x = 0;
    int y = 0;
    Kind kind = Kind::AreaNumber;
    std::optional<Shape> shape;
    std::optional<Text> label;  ///< drawn over the shape
    bool special() const { return kind != Kind::AreaNumber; }
};

/// A link door's number on a badge that sits on the door, between the room
/// it leaves from and the room it leads into (on the room itself when the
/// image is damaged and no such door exists).
struct LinkBadge {
    int number = 0;
    CellPosition from;
    std::optional<CellPosition> to;
    Shape badge;
    Text label;
};

/// A symbol of the legend drawn as on the map: shapes with their text, or
/// the two walls of a door.
struct LegendLine {
    Line line;
    Stroke stroke;
};
using LegendItem = std::variant<Shape, Text, LegendLine>;

/// The whole map in paint order: background, grid, coordinates, rooms,
/// walls, markers, link badges, legend. Under fog only the shown rooms have
/// a square, walls, a marker and link badges; the legend then counts what
/// is shown, never what is hidden.
struct MapLayout {
    int scale = defaultScale;
    int width = 0;   ///< pixels
    int height = 0;  ///< pixels
    Colour background;
    Box grid;
    Colour emptyCell;
    std::vector<Text> coordinates;
    std::vector<Room> rooms;      ///< in scan order (row by row)
    Stroke wallStroke;
    std::vector<Wall> walls;      ///< room by room, sides south, east, west, north
    std::vector<Door> doors;      ///< what the gaps in the walls are; nothing of their own is drawn
    std::vector<Marker> markers;  ///< one per room, in scan order
    std::vector<LinkBadge> links; ///< in scan order
    std::vector<LegendItem> legend;
    std::string seedCode;
    StreamSummary summary;  ///< of the shown rooms (`summarizeShown`)
    bool fog = false;       ///< some room is not shown
};

/// The map's size in pixels for a scale: a margin with coordinates, the
/// 24 x 24 grid, and the legend to its right.
struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};
PixelSize mapSize(int scale);

/// Lays out the map of `stream` with `seedCode` in the legend, showing the
/// rooms of `shown` and the rest as fog. `scale` is clamped to
/// minScale..maxScale. Any stream is laid out, a damaged one too. With every
/// room shown the layout is the same as without fog.
MapLayout layOutMap(const DecodedStream& stream, const std::string& seedCode, int scale = defaultScale,
                    const ShownCells& shown = allCells());

}  // namespace labyrinth::map
