#pragma once
// The map as an SVG document: the map's layout (map_layout.h) written as
// plain text, with the same shapes, colours and text as the PNG picture.
// Standard C++ only, for `show --svg`, `write --svg` and the browser page.

#include <cstdint>
#include <string>

#include "map/map_layout.h"
#include "writer/decoder.h"

namespace labyrinth::map {

/// How an SVG map writes the squares of its rooms.
enum class RoomShapes : std::uint8_t {
    /// One element per room (`rect.room`) that carries its cell (`data-room`
    /// "x,y", and `data-x`, `data-y`), area, door mask and record as data-
    /// attributes, so that scripts and tests can read the labyrinth out of
    /// the map: `show --svg`, the page's tracker.
    PerRoom,
    /// The squares of each colour as one path (`path.rooms`): the same
    /// picture in a few hundred elements fewer, which a browser takes in
    /// several times faster: the page's map after a write.
    PerArea,
};

/// The SVG document (UTF-8) of a laid-out map, `layout.width` by
/// `layout.height` user units, scalable. Special rooms and link badges carry
/// their cell and link number as data- attributes; the rooms theirs as
/// `rooms` says. Numbers are written the same in every locale.
std::string mapSvg(const MapLayout& layout, RoomShapes rooms = RoomShapes::PerRoom);

/// Lays out the labyrinth at the default scale and writes it as SVG.
std::string mapSvg(const DecodedStream& stream, const std::string& seedCode, RoomShapes rooms = RoomShapes::PerRoom);

}  // namespace labyrinth::map
