#pragma once
// The map as an SVG document: the map's layout (map_layout.h) written as
// plain text, with the same shapes, colours and text as the PNG picture.
// Standard C++ only, for `show --svg`, `write --svg` and the browser page.

#include <string>

#include "map/map_layout.h"
#include "writer/decoder.h"

namespace labyrinth::map {

/// The SVG document (UTF-8) of a laid-out map, `layout.width` by
/// `layout.height` user units, scalable. Rooms, markers and link badges
/// carry their cell, area, doors, record and link number as data-
/// attributes, so that scripts and tests can read the labyrinth out of it.
/// Numbers are written the same in every locale.
std::string mapSvg(const MapLayout& layout);

/// Lays out the labyrinth at the default scale and writes it as SVG.
std::string mapSvg(const DecodedStream& stream, const std::string& seedCode);

}  // namespace labyrinth::map
