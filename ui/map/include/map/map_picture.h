#pragma once
// The map picture of a labyrinth read back out of an image: rooms coloured by
// area, walls with openings for doors, the start, item rooms, each area's
// numbered room, link doors with their numbers, and a legend. Painting text
// needs a QGuiApplication (see offscreen_gui.h).

#include <cstdint>
#include <string>
#include <vector>

#include <QColor>
#include <QImage>
#include <QSize>

#include "writer/decoder.h"

namespace labyrinth::map {

/// Pixels per cell: the default, and the range that stays legible and sane.
inline constexpr int defaultScale = 32;
inline constexpr int minScale = 16;
inline constexpr int maxScale = 128;

/// The picture's size for a scale: a margin with coordinates, the 24 x 24
/// grid, and the legend to its right.
QSize mapPictureSize(int scale);

/// Fill colour of the rooms of an area 0..10; a neutral grey for any other
/// number (only a damaged image has one).
QColor areaColor(int area);

/// Draws the labyrinth. `seedCode` is shown in the legend; `scale` is
/// clamped to minScale..maxScale.
QImage drawMap(const DecodedStream& stream, const std::string& seedCode, int scale = defaultScale);

/// The picture as PNG file bytes; empty if Qt cannot encode it.
std::vector<std::uint8_t> pngBytes(const QImage& picture);

}  // namespace labyrinth::map
