#pragma once
// The map as an SVG document: the map's layout (map_layout.h) written as
// plain text, with the same shapes, colours and text as the PNG picture.
// Standard C++ only, for `show --svg`, `write --svg` and the browser page.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "map/map_layout.h"
#include "writer/decoder.h"

namespace labyrinth::map {

/// Two forms of the same picture.
enum class SvgForm : std::uint8_t {
    /// One element per room (`rect.room`) that carries its cell (`data-room`
    /// "x,y", and `data-x`, `data-y`), area, door mask and record as data-
    /// attributes, and the walls piece by piece as the layout has them, so
    /// that scripts and tests can read the labyrinth out of the map:
    /// `show --svg`.
    Detailed,
    /// The squares of each colour as one path (`path.rooms`), and each run of
    /// walls along a line of the grid as one line: some 760 elements fewer
    /// and half the text, which a browser takes in several times faster: the
    /// page's map after a write.
    Compact,
    /// As Detailed, but every room's walls (a `path` with `data-walls` "x,y"
    /// in `g.walls`) and area number are elements of their own, so that a
    /// picture with one more room shown differs from the last by that room's
    /// lines and the title alone: the tracker's map, which grows by a room at
    /// a tap and takes in only what is new.
    Growing,
};

/// Text as XML character data or an attribute value: & < > and " escaped.
std::string xmlEscaped(std::string_view text);

/// A length as the SVG writes it, to the hundredth of a pixel and without a
/// locale: "12.5", "-3", "0.25".
std::string svgNumber(double value);

/// The elements of one room in the tracker's map (the Growing form), each
/// carrying the room's `data-room`, by the group of the picture it belongs
/// in: what the room adds to the picture when it is shown, and takes away
/// when it is hidden again. They do not depend on which other rooms show.
struct RoomPieces {
    CellPosition room;
    std::string square;      ///< in `g.rooms`
    std::string walls;       ///< in `g.walls`
    std::string marker;      ///< in `g.markers`: the shape of a special room and its label, if any
    std::string areaNumber;  ///< in `g.area-numbers`: the area number of any other room
    std::string links;       ///< in `g.links`: the badges of the links that leave the room
};
/// The pieces of every room of `layout`, in its order.
std::vector<RoomPieces> roomPieces(const MapLayout& layout);

/// The SVG document (UTF-8) of a laid-out map, `layout.width` by
/// `layout.height` user units, scalable. Special rooms and link badges carry
/// their cell and link number as data- attributes; the rooms theirs as
/// `form` says. Numbers are written the same in every locale.
std::string mapSvg(const MapLayout& layout, SvgForm form = SvgForm::Detailed);

/// Lays out the labyrinth at the default scale and writes it as SVG.
std::string mapSvg(const DecodedStream& stream, const std::string& seedCode, SvgForm form = SvgForm::Detailed);

}  // namespace labyrinth::map
