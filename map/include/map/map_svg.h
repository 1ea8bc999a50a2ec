#pragma once
// The map as an SVG document: the map's layout (map_layout.h) written as
// plain text, with the same shapes, colours and text as the PNG picture.
// Standard C++ only, for `show --svg`, `write --svg` and the browser page.

#include <cstdint>
#include <string>

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

/// The SVG document (UTF-8) of a laid-out map, `layout.width` by
/// `layout.height` user units, scalable. Special rooms and link badges carry
/// their cell and link number as data- attributes; the rooms theirs as
/// `form` says. Numbers are written the same in every locale.
std::string mapSvg(const MapLayout& layout, SvgForm form = SvgForm::Detailed);

/// Lays out the labyrinth at the default scale and writes it as SVG.
std::string mapSvg(const DecodedStream& stream, const std::string& seedCode, SvgForm form = SvgForm::Detailed);

}  // namespace labyrinth::map
