#include "map/map_picture.h"

#include <algorithm>
#include <array>

#include <QBuffer>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "writer/readback.h"

namespace labyrinth::map {
namespace {

using format::RecordKind;

// Layout in cells: a margin for the coordinates above and to the left, the
// grid, a gap, the legend, and a bottom margin.
constexpr double marginCells = 1.0;
constexpr double gapCells = 0.5;
constexpr double legendCells = 9.0;

// Light colours that stay apart from each other, readable under black text,
// and clear of the dark background that empty cells keep.
constexpr std::array<QRgb, areaCount> areaPalette{
    0xFFE066,  // area 0: the start area, in yellow
    0xAEC7E8, 0xFFBB78, 0x98DF8A, 0xFF9896, 0xC5B0D5,
    0xC49C94, 0xF7B6D2, 0xDBDB8D, 0x9EDAE5, 0xC7C7C7,
};

const QColor background{0x2B, 0x2F, 0x36};
const QColor emptyCell{0x3A, 0x3F, 0x47};
const QColor wall{0x15, 0x17, 0x1A};
const QColor labelText{0xC8, 0xCC, 0xD2};
const QColor itemGold{0xE8, 0xA8, 0x00};
const QColor linkRed{0xC0, 0x1C, 0x28};
const QColor startDark{0x1F, 0x3A, 0x93};

class Painter {
public:
    Painter(QImage& image, const DecodedStream& stream, int scale)
        : p_(&image), s_(stream), scale_(scale), left_(marginCells * scale), top_(marginCells * scale) {
        p_.setRenderHint(QPainter::Antialiasing);
        p_.setRenderHint(QPainter::TextAntialiasing);
    }

    void paint(const std::string& seedCode) {
        p_.fillRect(QRectF(0, 0, p_.device()->width(), p_.device()->height()), background);
        p_.fillRect(QRectF(left_, top_, mazeSize * scale_, mazeSize * scale_), emptyCell);
        coordinates();
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) room(x, y);
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) walls(x, y);
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) marker(x, y);
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) linkDoor(x, y);
        legend(seedCode);
    }

private:
    QRectF cell(int x, int y) const { return {left_ + x * scale_, top_ + y * scale_, double(scale_), double(scale_)}; }

    QFont font(double cells, bool bold = false) const {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(std::max(6, static_cast<int>(cells * scale_)));
        f.setBold(bold);
        return f;
    }

    void text(const QRectF& box, const QString& what, const QFont& f, const QColor& colour,
              int flags = Qt::AlignCenter) {
        p_.setFont(f);
        p_.setPen(colour);
        p_.drawText(box, flags, what);
    }

    void coordinates() {
        const QFont f = font(0.36);
        for (int i = 0; i < mazeSize; ++i) {
            text(QRectF(left_ + i * scale_, 0, scale_, top_), QString::number(i), f, labelText);
            text(QRectF(0, top_ + i * scale_, left_ - 0.15 * scale_, scale_), QString::number(i), f, labelText,
                 Qt::AlignRight | Qt::AlignVCenter);
        }
    }

    void room(int x, int y) {
        const DecodedCell& c = s_.at(x, y);
        if (!c.isRoom()) return;
        p_.fillRect(cell(x, y), areaColor(c.area));
    }

    // A wall on every side of a room without a door; a door is an opening
    // in the middle half of the side.
    void walls(int x, int y) {
        const DecodedCell& c = s_.at(x, y);
        if (!c.isRoom()) return;
        const QRectF r = cell(x, y);
        QPen pen(wall, std::max(2.0, scale_ / 8.0), Qt::SolidLine, Qt::SquareCap);
        p_.setPen(pen);
        const std::array<std::pair<QPointF, QPointF>, 4> edges{{
            {r.bottomLeft(), r.bottomRight()},  // south
            {r.topRight(), r.bottomRight()},    // east
            {r.topLeft(), r.bottomLeft()},      // west
            {r.topLeft(), r.topRight()},        // north
        }};
        for (std::size_t i = 0; i < doorSides.size(); ++i) {
            const auto [a, b] = edges[i];
            if ((c.doors & doorSides[i].bit) == 0) {
                p_.drawLine(a, b);
            } else {
                p_.drawLine(a, a + (b - a) * 0.25);
                p_.drawLine(b, b + (a - b) * 0.25);
            }
        }
    }

    void marker(int x, int y) {
        const DecodedCell& c = s_.at(x, y);
        if (!c.isRoom()) return;
        const QRectF r = cell(x, y);
        const QPointF centre = r.center();
        p_.setPen(Qt::NoPen);
        if (c.kind == RecordKind::Start) {
            p_.setBrush(startDark);
            p_.setPen(QPen(Qt::white, std::max(1.0, scale_ / 16.0)));
            p_.drawEllipse(centre, 0.36 * scale_, 0.36 * scale_);
            text(r, QStringLiteral("S"), font(0.46, true), Qt::white);
        } else if (c.kind == RecordKind::AreaMark) {
            const double half = 0.32 * scale_;
            p_.setBrush(Qt::white);
            p_.setPen(QPen(wall, std::max(1.0, scale_ / 16.0)));
            p_.drawRoundedRect(QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half), 0.12 * scale_,
                               0.12 * scale_);
            text(r, QString::number(c.areaMark), font(c.areaMark >= 10 ? 0.36 : 0.44, true), Qt::black);
        } else if (c.kind == RecordKind::Item) {
            const double half = 0.3 * scale_;
            QPolygonF diamond;
            diamond << centre + QPointF(0, -half) << centre + QPointF(half, 0) << centre + QPointF(0, half)
                    << centre + QPointF(-half, 0);
            p_.setBrush(itemGold);
            p_.setPen(QPen(wall, std::max(1.0, scale_ / 16.0)));
            p_.drawPolygon(diamond);
        } else {
            // Plain rooms carry their area number, small, so that areas can
            // be told apart without relying on colour alone.
            text(r, QString::number(c.area), font(0.34), areaColor(c.area).darker(230));
        }
    }

    // The number of a link sits on the door it names, between the room it
    // leaves from and the room it leads into.
    void linkDoor(int x, int y) {
        const DecodedCell& c = s_.at(x, y);
        if (c.kind != RecordKind::Link) return;
        QPointF at = cell(x, y).center();
        if (const auto target = linkTarget(s_, x, y))
            at = (cell(x, y).center() + cell(target->x, target->y).center()) / 2.0;
        const double w = 0.62 * scale_;
        const double h = 0.5 * scale_;
        const QRectF badge(at.x() - w / 2, at.y() - h / 2, w, h);
        p_.setBrush(linkRed);
        p_.setPen(QPen(Qt::white, std::max(1.0, scale_ / 20.0)));
        p_.drawRoundedRect(badge, 0.15 * scale_, 0.15 * scale_);
        text(badge, QString::number(c.link), font(0.36, true), Qt::white);
    }

    void legend(const std::string& seedCode) {
        const double x0 = left_ + (mazeSize + gapCells) * scale_;
        const double width = legendCells * scale_;
        const double line = 0.8 * scale_;
        double y = top_;
        auto row = [&](const QString& what, const QFont& f, const QColor& colour, double indent = 0) {
            text(QRectF(x0 + indent, y, width - indent, line), what, f, colour, Qt::AlignLeft | Qt::AlignVCenter);
            y += line;
        };
        row(QStringLiteral("Labyrinth map"), font(0.5, true), Qt::white);
        row(QStringLiteral("Seed code:"), font(0.36), labelText);
        row(QString::fromStdString(seedCode), font(0.36, true), Qt::white);
        y += line / 2;

        const StreamSummary summary = summarize(s_);
        row(QStringLiteral("Areas (rooms)"), font(0.4, true), Qt::white);
        const double swatch = 0.6 * scale_;
        for (int area = 0; area < areaCount; ++area) {
            p_.setPen(QPen(wall, 1));
            p_.setBrush(areaColor(area));
            p_.drawRect(QRectF(x0, y + (line - swatch) / 2, swatch, swatch));
            row(QStringLiteral("Area %1 (%2)%3")
                    .arg(area)
                    .arg(summary.roomsPerArea[static_cast<std::size_t>(area)])
                    .arg(area == 0 ? QStringLiteral(", start") : QString()),
                font(0.36), labelText, swatch * 1.5);
        }
        y += line / 2;

        // Each symbol drawn as on the map, then its meaning.
        const double symbolWidth = 1.0 * scale_;
        auto symbolRow = [&](auto draw, const QString& what) {
            const QPointF centre(x0 + symbolWidth / 2, y + line / 2);
            draw(centre);
            row(what, font(0.36), labelText, symbolWidth * 1.15);
        };
        const double small = 0.28 * scale_;
        symbolRow(
            [&](QPointF c) {
                p_.setBrush(startDark);
                p_.setPen(QPen(Qt::white, 1));
                p_.drawEllipse(c, small, small);
                text(QRectF(c.x() - small, c.y() - small, 2 * small, 2 * small), QStringLiteral("S"),
                     font(0.34, true), Qt::white);
            },
            QStringLiteral("Start (11, 12)"));
        symbolRow(
            [&](QPointF c) {
                QPolygonF d;
                d << c + QPointF(0, -small) << c + QPointF(small, 0) << c + QPointF(0, small) << c + QPointF(-small, 0);
                p_.setBrush(itemGold);
                p_.setPen(QPen(wall, 1));
                p_.drawPolygon(d);
            },
            QStringLiteral("Item room (%1)").arg(summary.items));
        symbolRow(
            [&](QPointF c) {
                p_.setBrush(Qt::white);
                p_.setPen(QPen(wall, 1));
                p_.drawRoundedRect(QRectF(c.x() - small, c.y() - small, 2 * small, 2 * small), 3, 3);
                text(QRectF(c.x() - small, c.y() - small, 2 * small, 2 * small), QStringLiteral("n"),
                     font(0.34, true), Qt::black);
            },
            QStringLiteral("Numbered room of area n"));
        symbolRow(
            [&](QPointF c) {
                const QRectF badge(c.x() - small * 1.1, c.y() - small * 0.9, small * 2.2, small * 1.8);
                p_.setBrush(linkRed);
                p_.setPen(QPen(Qt::white, 1));
                p_.drawRoundedRect(badge, 3, 3);
                text(badge, QStringLiteral("n"), font(0.32, true), Qt::white);
            },
            QStringLiteral("Link door into area n"));
        symbolRow(
            [&](QPointF c) {
                p_.setPen(QPen(wall, std::max(2.0, scale_ / 8.0)));
                p_.drawLine(c + QPointF(-small * 1.5, 0), c + QPointF(-small * 0.6, 0));
                p_.drawLine(c + QPointF(small * 0.6, 0), c + QPointF(small * 1.5, 0));
            },
            QStringLiteral("Door (gap in a wall)"));
        y += line / 2;
        row(QStringLiteral("%1 rooms, %2 links, %3 dead ends").arg(summary.rooms).arg(summary.links).arg(summary.deadEnds),
            font(0.34), labelText);
    }

    QPainter p_;
    const DecodedStream& s_;
    int scale_;
    double left_;
    double top_;
};

}  // namespace

QSize mapPictureSize(int scale) {
    scale = std::clamp(scale, minScale, maxScale);
    const double width = marginCells + mazeSize + gapCells + legendCells;
    const double height = marginCells + mazeSize + gapCells;
    return {static_cast<int>(width * scale), static_cast<int>(height * scale)};
}

QColor areaColor(int area) {
    if (area < 0 || area >= areaCount) return QColor(0x80, 0x80, 0x80);
    return QColor::fromRgb(areaPalette[static_cast<std::size_t>(area)]);
}

QImage drawMap(const DecodedStream& stream, const std::string& seedCode, int scale) {
    scale = std::clamp(scale, minScale, maxScale);
    QImage image(mapPictureSize(scale), QImage::Format_RGB32);
    Painter(image, stream, scale).paint(seedCode);
    return image;
}

std::vector<std::uint8_t> pngBytes(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) return {};
    return {bytes.begin(), bytes.end()};
}

}  // namespace labyrinth::map
