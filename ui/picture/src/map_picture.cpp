#include "picture/map_picture.h"

#include <QBuffer>
#include <QFont>
#include <QPainter>
#include <QPolygonF>

namespace labyrinth::map {
namespace {

QColor qt(Colour c) { return QColor(c.red, c.green, c.blue); }
QRectF qt(const Box& b) { return {b.x, b.y, b.width, b.height}; }
QPointF qt(Point p) { return {p.x, p.y}; }

// Paints the layout's parts in its order; every part sets the pen and brush
// it needs.
class Painter {
public:
    explicit Painter(QImage& image) : p_(&image) {
        p_.setRenderHint(QPainter::Antialiasing);
        p_.setRenderHint(QPainter::TextAntialiasing);
    }

    void paint(const MapLayout& m) {
        p_.fillRect(QRectF(0, 0, m.width, m.height), qt(m.background));
        p_.fillRect(qt(m.grid), qt(m.emptyCell));
        for (const Text& t : m.coordinates) text(t);
        for (const Room& room : m.rooms) p_.fillRect(qt(room.box), qt(room.fill));
        p_.setPen(pen(m.wallStroke));
        for (const Wall& wall : m.walls) p_.drawLine(qt(wall.line.from), qt(wall.line.to));
        for (const Marker& marker : m.markers) {
            if (marker.shape) shape(*marker.shape);
            if (marker.label) text(*marker.label);
        }
        for (const LinkBadge& link : m.links) {
            shape(link.badge);
            text(link.label);
        }
        for (const LegendItem& item : m.legend) std::visit([this](const auto& part) { draw(part); }, item);
    }

private:
    static QPen pen(const Stroke& s) { return QPen(qt(s.colour), s.width, Qt::SolidLine, Qt::SquareCap); }

    void draw(const Shape& s) { shape(s); }
    void draw(const Text& t) { text(t); }
    void draw(const LegendLine& l) {
        p_.setPen(pen(l.stroke));
        p_.drawLine(qt(l.line.from), qt(l.line.to));
    }

    void shape(const Shape& s) {
        p_.setBrush(qt(s.fill));
        if (s.outline)
            p_.setPen(pen(*s.outline));
        else
            p_.setPen(Qt::NoPen);
        const QRectF box = qt(s.box);
        switch (s.kind) {
            case Shape::Kind::Rectangle: p_.drawRect(box); break;
            case Shape::Kind::RoundedRectangle: p_.drawRoundedRect(box, s.cornerRadius, s.cornerRadius); break;
            case Shape::Kind::Ellipse: p_.drawEllipse(box); break;
            case Shape::Kind::Diamond: {
                const QPointF c = box.center();
                const double half = box.width() / 2;
                QPolygonF diamond;
                diamond << c + QPointF(0, -half) << c + QPointF(half, 0) << c + QPointF(0, half)
                        << c + QPointF(-half, 0);
                p_.drawPolygon(diamond);
                break;
            }
        }
    }

    void text(const Text& t) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(t.font.pixelSize);
        f.setBold(t.font.bold);
        p_.setFont(f);
        p_.setPen(qt(t.colour));
        int flags = Qt::AlignCenter;
        if (t.align == Text::Align::Left) flags = Qt::AlignLeft | Qt::AlignVCenter;
        if (t.align == Text::Align::Right) flags = Qt::AlignRight | Qt::AlignVCenter;
        p_.drawText(qt(t.box), flags, QString::fromStdString(t.text));
    }

    QPainter p_;
};

}  // namespace

QImage drawMap(const MapLayout& layout) {
    QImage image(layout.width, layout.height, QImage::Format_RGB32);
    Painter(image).paint(layout);
    return image;
}

QImage drawMap(const DecodedStream& stream, const std::string& seedCode, int scale) {
    return drawMap(layOutMap(stream, seedCode, scale));
}

std::vector<std::uint8_t> pngBytes(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) return {};
    return {bytes.begin(), bytes.end()};
}

}  // namespace labyrinth::map
