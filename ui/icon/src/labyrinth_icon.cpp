#include "icon/labyrinth_icon.h"

#include <QPainter>
#include <QPen>
#include <cstdio>

namespace labyrinth::icon {
namespace {

struct Colour {
    int r, g, b;
};
struct Box {
    int left, top, width, height;
    Colour fill;
};
struct Wall {
    int x1, y1, x2, y2;
};

// The colours of the window's button and room cells.
constexpr Colour black{0, 0, 0};
constexpr Colour olive{128, 128, 0};
constexpr Colour green{0, 255, 0};

constexpr Box boxes[] = {{0, 0, designSize, designSize, black}, {2, 2, 28, 28, olive}};
// Walls are two units wide with square ends, reaching a unit past each end.
constexpr int wallWidth = 2;
constexpr Wall walls[] = {{2, 10, 22, 10}, {10, 10, 10, 30}, {22, 20, 30, 20}, {16, 20, 16, 30}};

QColor qt(Colour c) { return {c.r, c.g, c.b}; }

std::string hex(Colour c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

}  // namespace

void paint(QPainter& painter, int pixels) {
    painter.save();
    // Whole multiples of the design are exact without smoothing; below the
    // design size a wall is a pixel or two wide, crisper snapped to pixels
    // than smoothed into a blur; sizes in between are smoothed.
    const bool smooth = pixels > designSize && pixels % designSize != 0;
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.scale(static_cast<double>(pixels) / designSize, static_cast<double>(pixels) / designSize);
    for (const Box& box : boxes) painter.fillRect(box.left, box.top, box.width, box.height, qt(box.fill));
    painter.setPen(QPen(qt(green), wallWidth, Qt::SolidLine, Qt::SquareCap));
    for (const Wall& wall : walls) painter.drawLine(wall.x1, wall.y1, wall.x2, wall.y2);
    painter.restore();
}

QImage image(int pixels) {
    QImage picture(pixels, pixels, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    paint(painter, pixels);
    return picture;
}

std::string svg() {
    const std::string size = std::to_string(designSize);
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + size + "\" height=\"" + size +
                       "\" viewBox=\"0 0 " + size + " " + size + "\">\n";
    for (const Box& box : boxes)
        text += "  <rect x=\"" + std::to_string(box.left) + "\" y=\"" + std::to_string(box.top) + "\" width=\"" +
                std::to_string(box.width) + "\" height=\"" + std::to_string(box.height) + "\" fill=\"" +
                hex(box.fill) + "\"/>\n";
    text += "  <path fill=\"none\" stroke=\"" + hex(green) + "\" stroke-width=\"" + std::to_string(wallWidth) +
            "\" stroke-linecap=\"square\" d=\"";
    for (const Wall& wall : walls)
        text += "M" + std::to_string(wall.x1) + " " + std::to_string(wall.y1) + "L" + std::to_string(wall.x2) + " " +
                std::to_string(wall.y2);
    text += "\"/>\n</svg>\n";
    return text;
}

}  // namespace labyrinth::icon
