#pragma once
// The map picture of a labyrinth read back out of an image: the map's layout
// (map_layout.h) painted with QPainter. Painting text needs a
// QGuiApplication (see offscreen_gui.h).

#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

#include "map/map_layout.h"
#include "writer/decoder.h"

namespace labyrinth::map {

/// Draws a laid-out map, at the layout's size.
QImage drawMap(const MapLayout& layout);
/// Lays out and draws the labyrinth. `seedCode` is shown in the legend;
/// `scale` is clamped to minScale..maxScale.
QImage drawMap(const DecodedStream& stream, const std::string& seedCode, int scale = defaultScale);

/// The picture as PNG file bytes; empty if Qt cannot encode it.
std::vector<std::uint8_t> pngBytes(const QImage& picture);

}  // namespace labyrinth::map
