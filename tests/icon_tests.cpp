// The program's icon: the window shows the drawing that is installed, the
// installed PNGs are that drawing at every size, and the SVG draws the same.

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "icon/labyrinth_icon.h"
#include "qt_test_app.h"
#include "test_support.h"
#include "window/form2.h"

#ifndef LABYRINTH_ICON_DIR
#error "LABYRINTH_ICON_DIR must name the folder of the rendered icons"
#endif
#ifndef LABYRINTH_RSVG_CONVERT
#error "LABYRINTH_RSVG_CONVERT must name rsvg-convert"
#endif

namespace labyrinth {
namespace {

namespace fs = std::filesystem;

// Pixels of two images that differ by more than `tolerance` in a channel.
int differingPixels(const QImage& a, const QImage& b, int tolerance = 0) {
    if (a.size() != b.size()) return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) > tolerance || std::abs(p.green() - q.green()) > tolerance ||
                std::abs(p.blue() - q.blue()) > tolerance)
                ++count;
        }
    return count;
}

struct Spot {
    const char* what;
    double x, y;  // in design units
    QColor colour;
};

// What the icon shows, in design units: a black frame, an olive field and
// green walls two units wide.
const Spot spots[] = {
    {"frame", 0.5, 0.5, QColor(0, 0, 0)},
    {"frame, lower right", 31.5, 31.5, QColor(0, 0, 0)},
    {"field", 5.5, 5.5, QColor(128, 128, 0)},
    {"field between walls", 14.5, 25.5, QColor(128, 128, 0)},
    {"top wall", 5.5, 9.5, QColor(0, 255, 0)},
    {"left wall", 9.5, 25.5, QColor(0, 255, 0)},
    {"right wall", 27.5, 19.5, QColor(0, 255, 0)},
    {"middle wall", 15.5, 27.5, QColor(0, 255, 0)},
};

TEST(Icon, TheWindowShowsTheInstalledDrawing) {
    auto rom = std::make_unique<MemoryFile>("game.nes", testing::syntheticImage());
    auto text = std::make_unique<MemoryFile>("tgltext.tgl", testing::syntheticText());
    window::Form2 form(std::move(rom), std::move(text), std::make_unique<FixedSeedSource>(1));
    const QImage shown = form.windowIcon().pixmap(icon::designSize).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(differingPixels(shown, icon::image(icon::designSize)), 0);
    // The window offers the desktop the drawing at every installed size.
    std::vector<int> offered;
    for (const QSize size : form.windowIcon().availableSizes())
        offered.push_back(size.width() == size.height() ? size.width() : -1);
    std::vector<int> installed(icon::installedSizes.begin(), icon::installedSizes.end());
    std::sort(offered.begin(), offered.end());
    std::sort(installed.begin(), installed.end());
    EXPECT_EQ(offered, installed);
    for (const int size : {32, 256})
        for (const Spot& spot : spots) {
            const double scale = size / double(icon::designSize);
            EXPECT_EQ(icon::image(size).pixelColor(int(spot.x * scale), int(spot.y * scale)), spot.colour)
                << spot.what << " at " << size << " pixels";
        }
}

TEST(Icon, EveryInstalledPngIsTheDrawingAtItsSize) {
    for (const int size : icon::installedSizes) {
        const auto path = fs::path(LABYRINTH_ICON_DIR) / ("labyrinth-writer-" + std::to_string(size) + ".png");
        const QImage installed(QString::fromStdString(path.string()));
        ASSERT_FALSE(installed.isNull()) << path;
        EXPECT_EQ(installed.size(), QSize(size, size)) << path;
        EXPECT_EQ(differingPixels(installed.convertToFormat(QImage::Format_RGB32), icon::image(size)), 0) << path;
    }
}

TEST(Icon, TheSvgDrawsTheSamePicture) {
    testing::TempDir dir;
    const auto svg = fs::path(LABYRINTH_ICON_DIR) / "labyrinth-writer.svg";
    const auto png = dir / "from-svg.png";
    for (const int size : {32, 256}) {
        const auto run = testing::runCommand(LABYRINTH_RSVG_CONVERT, dir.path(),
                                             {"-w", std::to_string(size), "-h", std::to_string(size), "-o",
                                              png.string(), svg.string()});
        ASSERT_EQ(run.exit, 0) << run.err;
        const QImage drawn = QImage(QString::fromStdString(png.string())).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(differingPixels(drawn, icon::image(size), 8), 0) << size << " pixels";
    }
}

}  // namespace
}  // namespace labyrinth
