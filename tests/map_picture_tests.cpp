// The map picture: its size for a scale, rooms in their areas' colours,
// markers drawn over them, and a PNG that reads back as the same picture.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <set>

#include "picture/map_picture.h"
#include "picture/offscreen_gui.h"
#include "readback_support.h"
#include "writer/decoder.h"
#include "writer/readback.h"

namespace labyrinth {
namespace {

// Text needs a QGuiApplication; one for the whole program.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { gui_ = std::make_unique<map::OffscreenGui>(); }
    void TearDown() override { gui_.reset(); }

private:
    std::unique_ptr<map::OffscreenGui> gui_;
};
const auto* const gui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

DecodedStream decoded(std::uint64_t seed) {
    const auto w = testing::writtenImage(seed);
    auto s = decodeStream(w.image);
    EXPECT_TRUE(s) << s.error().message;
    return s.value();
}

// The picture's size and colours are the layout's, which every drawing shares.
QSize pictureSize(int scale) {
    const map::PixelSize size = map::mapSize(scale);
    return {size.width, size.height};
}
QColor areaColor(int area) {
    const map::Colour c = map::areaColour(area);
    return {c.red, c.green, c.blue};
}

TEST(MapPicture, SizeFollowsTheScaleAndIsClamped) {
    // A margin of one cell, 24 cells, half a cell, nine cells of legend;
    // one cell, 24 cells and half a cell down.
    EXPECT_EQ(pictureSize(32), QSize(1104, 816));
    EXPECT_EQ(pictureSize(20), QSize(690, 510));
    EXPECT_EQ(pictureSize(1), pictureSize(map::minScale));
    EXPECT_EQ(pictureSize(100000), pictureSize(map::maxScale));
    const auto s = decoded(1);
    for (const int scale : {map::minScale, 20, 33, map::defaultScale, 64})
        EXPECT_EQ(map::drawMap(s, "a b c d", scale).size(), pictureSize(scale)) << scale;
}

TEST(MapPicture, AreaColoursAreDistinct) {
    std::set<QRgb> colours;
    for (int area = 0; area < areaCount; ++area) colours.insert(areaColor(area).rgb());
    EXPECT_EQ(colours.size(), static_cast<std::size_t>(areaCount));
    EXPECT_EQ(colours.count(areaColor(12).rgb()), 0U);
}

// Near a room's top-left corner nothing but the room's fill is drawn: walls
// are thinner, markers and link numbers stay off the corners. Antialiased
// edges nearby may tint it by a shade.
bool near(QRgb a, QRgb b) {
    constexpr int shade = 6;
    return std::abs(qRed(a) - qRed(b)) <= shade && std::abs(qGreen(a) - qGreen(b)) <= shade &&
           std::abs(qBlue(a) - qBlue(b)) <= shade;
}

// Under fog (the last case shows areas 4 and 7 alone) a hidden room looks
// like an empty cell, the start room too.
TEST(MapPicture, EveryRoomInItsAreaColourAndEmptyCellsInNone) {
    constexpr int scale = 40;
    const std::pair<std::uint64_t, AreaSelection> cases[] = {
        {1, AreaSelection().set()}, {2, AreaSelection().set()}, {3, AreaSelection().set()}, {3, AreaSelection("00010010000")}};
    for (const auto& [seed, areas] : cases) {
        const auto s = decoded(seed);
        const QImage picture = map::drawMap(map::layOutMap(s, "a b c d", scale, cellsOfAreas(s, areas)));
        std::set<QRgb> areaColours;
        for (int area = 0; area < areaCount; ++area) areaColours.insert(areaColor(area).rgb());
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const QPoint corner(scale + x * scale + scale * 15 / 100, scale + y * scale + scale * 15 / 100);
                const QRgb pixel = picture.pixel(corner);
                const DecodedCell& c = s.at(x, y);
                if (c.isRoom() && areas.test(c.area)) {
                    EXPECT_TRUE(near(pixel, areaColor(c.area).rgb()))
                        << "seed " << seed << " room " << x << "," << y << ": " << std::hex << pixel;
                } else {
                    for (const QRgb colour : areaColours)
                        EXPECT_FALSE(near(pixel, colour)) << "seed " << seed << " empty " << x << "," << y;
                }
            }
        // The start marker covers the centre of the start cell.
        const QPoint start(scale + startX * scale + scale / 2, scale + startY * scale + scale / 2);
        EXPECT_NE(picture.pixel(start), areaColor(s.at(startX, startY).area).rgb());
        const map::Colour empty = map::layOutMap(s, "").emptyCell;
        EXPECT_EQ(near(picture.pixel(start), qRgb(empty.red, empty.green, empty.blue)), !areas.test(0))
            << "seed " << seed << ": the start room shows exactly when area 0 does";
    }
}

// The picture is the layout's: each room's fill, and each special room's and
// link badge's shape where the layout puts it.
TEST(MapPicture, PaintsTheLayout) {
    const map::MapLayout layout = map::layOutMap(decoded(9), "a b c d", 40);
    const QImage picture = map::drawMap(layout);
    EXPECT_EQ(picture.size(), QSize(layout.width, layout.height));
    auto at = [&](double x, double y) { return picture.pixel(static_cast<int>(x), static_cast<int>(y)); };
    auto rgb = [](map::Colour c) { return qRgb(c.red, c.green, c.blue); };
    for (const map::Room& room : layout.rooms)
        EXPECT_TRUE(near(at(room.box.x + 6, room.box.y + 6), rgb(room.fill))) << room.x << "," << room.y;
    int specials = 0;
    for (const map::Marker& marker : layout.markers) {
        if (!marker.shape) continue;
        ++specials;
        // The centre, or below it, clear of the marker's letter or number.
        const map::Point c = marker.shape->box.centre();
        const double below = marker.label ? marker.shape->box.height * 0.38 : 0;
        EXPECT_TRUE(near(at(c.x, c.y + below), rgb(marker.shape->fill)))
            << marker.x << "," << marker.y;
    }
    EXPECT_GT(specials, 12);
    for (const map::LinkBadge& link : layout.links) {
        const map::Point c = link.badge.box.centre();
        EXPECT_TRUE(near(at(c.x - link.badge.box.width * 0.38, c.y), rgb(link.badge.fill))) << link.number;
    }
}

TEST(MapPicture, AreaNumbersAreTheirFillMuchDarker) {
    for (int area = -1; area <= areaCount; ++area) {
        const map::Colour label = map::areaLabelColour(area);
        EXPECT_EQ(qRgb(label.red, label.green, label.blue), areaColor(area).darker(230).rgb()) << area;
    }
}

TEST(MapPicture, NotBlankAndTheLegendHoldsText) {
    const QImage picture = map::drawMap(decoded(4), "a b c d", map::defaultScale);
    std::set<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 2)
        for (int x = 0; x < picture.width(); x += 2) colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 40U);
    // The legend column right of the grid holds white text on the background.
    int white = 0;
    const int legendLeft = map::defaultScale * 25 + map::defaultScale / 2;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = legendLeft; x < picture.width(); ++x) white += picture.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
    EXPECT_GT(white, 500);
}

TEST(MapPicture, PngReadsBackAsTheSamePicture) {
    const QImage picture = map::drawMap(decoded(5), "a b c d", 24);
    const auto bytes = map::pngBytes(picture);
    ASSERT_GT(bytes.size(), 8U);
    EXPECT_EQ(bytes[1], 'P');
    const QImage back = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "PNG");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), picture);
}

TEST(MapPicture, DamagedStreamsAreDrawnWithoutTrouble) {
    // Area numbers beyond 10 and doors out of the grid can come out of a
    // damaged image; the picture still draws.
    auto s = decoded(6);
    s.cells[0].area = 200;
    s.cells[0].doors = 15;
    s.cells[0].kind = format::RecordKind::Link;
    s.cells[0].link = 99;
    const QImage picture = map::drawMap(s, "", map::minScale);
    EXPECT_EQ(picture.size(), pictureSize(map::minScale));
}

}  // namespace
}  // namespace labyrinth
