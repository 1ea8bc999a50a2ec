#pragma once
// The program's icon: a small labyrinth, green walls on an olive field in a
// black frame. Drawn once, from one list of shapes, by QtGui for the window
// and the installed PNGs, and as SVG text for the scalable icon.

#include <QImage>
#include <array>
#include <string>

class QPainter;

namespace labyrinth::icon {

/// The shapes are laid out on a square of this many units; the window's own
/// icon is drawn at one pixel a unit.
inline constexpr int designSize = 32;

/// The pixel sizes installed as PNG beside the SVG.
inline constexpr std::array<int, 7> installedSizes{16, 24, 32, 48, 64, 128, 256};

/// Paints the icon over a square of `pixels` pixels from (0, 0): exact at
/// whole multiples of the design size, snapped to pixels below it, smoothed
/// at other sizes above it.
void paint(QPainter& painter, int pixels);

/// The icon as an opaque image of `pixels` x `pixels`.
QImage image(int pixels);

/// The icon as a standalone SVG document over the design square.
std::string svg();

}  // namespace labyrinth::icon
