// The main window in the offscreen platform: layout, the button's click,
// room information, closing, and failures reported without "Done.".

// The screen-reader recorder below is a static Qt plugin of this program.
#define QT_STATICPLUGIN

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleBridgePlugin>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QtPlugin>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "qt_test_app.h"
#include "test_support.h"
#include "window/form2.h"
#include "window/room_cell.h"
#include "window/room_info.h"
#include "writer/decoder.h"
#include "writer/encoder.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"
#include "writer/verify.h"

#ifndef LABYRINTH_CLI
#error "LABYRINTH_CLI must name the labyrinth-cli executable"
#endif

namespace labyrinth::window {

// What a screen reader hears: Qt hands every accessibility event to the
// platform's bridges, offscreen too; this one keeps each notification shown.
QStringList announced;

class AnnouncementRecorder final : public QAccessibleBridge {
public:
    void setRootObject(QAccessibleInterface*) override {}
    void notifyAccessibilityUpdate(QAccessibleEvent* event) override {
        QAccessibleInterface* source = event->accessibleInterface();
        if (event->type() == QAccessible::ObjectShow && source != nullptr && source->role() == QAccessible::Notification)
            announced << source->text(QAccessible::Name);
    }
};

class AnnouncementRecorderPlugin final : public QAccessibleBridgePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QAccessibleBridgeFactoryInterface" FILE "window_tests_bridge.json")
public:
    QAccessibleBridge* create(const QString&) override { return new AnnouncementRecorder; }
};

}  // namespace labyrinth::window

Q_IMPORT_PLUGIN(AnnouncementRecorderPlugin)

namespace labyrinth::window {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;

constexpr std::size_t textFileSize = 600;  // longer than the block: only 446 bytes may be copied

// How many of this process's open descriptors refer to `path`.
int openDescriptors(const fs::path& path) {
    int count = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (fs::read_symlink(entry.path(), linkError) == path) ++count;
    }
    return count;
}

// A box of the 96-DPI layout on a screen of `dpi`, each edge to the nearest
// pixel: the very box at 96.
QRect atDpi(const QRect& box, int dpiX, int dpiY) {
    const auto scale = [](int pixels, int dpi) { return (pixels * dpi + 48) / 96; };
    const int left = scale(box.left(), dpiX), top = scale(box.top(), dpiY);
    return {left, top, scale(box.left() + box.width(), dpiX) - left, scale(box.top() + box.height(), dpiY) - top};
}

// A window over a synthetic image and text file in a temporary folder, with
// a fixed master seed and the failure messages collected instead of shown.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::writeFile(imagePath, testing::syntheticImage());
        testing::writeFile(textPath, testing::syntheticText(textFileSize));
        form = makeForm();
    }

    std::unique_ptr<Form2> makeForm() {
        auto rom = DiskFile::open(imagePath.string(), DiskFile::Mode::ReadWrite);
        auto text = DiskFile::open(textPath.string(), DiskFile::Mode::ReadOnly);
        if (!rom || !text) throw std::runtime_error("cannot open the fixture files");
        return std::make_unique<Form2>(std::move(rom.value()), std::move(text.value()),
                                       std::make_unique<DerivedSeedSource>(20240611),
                                       [this](QWidget*, const QString& message) { errors.push_back(message); });
    }

    // A window whose image goes through the test's own file layer, which
    // does `faults` (what another program does meanwhile, say), shown.
    void showFormWithFaults(testing::FaultyFile::Faults faults) {
        innerRom = std::move(DiskFile::open(imagePath.string(), DiskFile::Mode::ReadWrite).value());
        form = std::make_unique<Form2>(std::make_unique<testing::FaultyFile>(*innerRom, std::move(faults)),
                                       std::move(DiskFile::open(textPath.string(), DiskFile::Mode::ReadOnly).value()),
                                       std::make_unique<DerivedSeedSource>(5),
                                       [this](QWidget*, const QString& message) { errors.push_back(message); });
        showForm();
    }

    // Shown and drawn once, as it is when a user can click.
    void showForm() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // Big enough to uncover the list and the room cells, at the screen's DPI.
    void enlarge() { form->resize(atDpi(QRect(0, 0, 700, 1320), form->logicalDpiX(), form->logicalDpiY()).size()); }

    TempDir dir;
    fs::path imagePath = dir / "game.nes";
    fs::path textPath = dir / "tgltext.tgl";
    std::unique_ptr<DiskFile> innerRom;  // under a test's own file layer; outlives the window
    std::unique_ptr<Form2> form;
    QStringList errors;
};

// Every problem that the verifier finds in the image file, as text.
std::vector<std::string> imageProblems(const fs::path& image, const fs::path& text) {
    const auto imageBytes = readFile(image);
    const auto textBytes = readFile(text);
    std::vector<std::string> problems;
    for (const auto& problem : verifyImage({imageBytes, textBytes, std::nullopt})) problems.push_back(problem.message);
    return problems;
}

// --- Layout -----------------------------------------------------------------

struct ControlRow {
    const char* name;
    std::function<QWidget*(const Form2&)> control;
    QRect pixels;  // left, top, width, height at 96 DPI, 15 twips per pixel
    const char* text;
};


TEST_F(WindowTest, EveryControlSitsAtItsFixedPlaceWithItsText) {
    const ControlRow table[] = {
        {"Conlist", [](const Form2& f) { return f.Conlist(); }, {560, 616, 113, 56}, ""},
        {"savebut", [](const Form2& f) { return f.savebut(); }, {128, 56, 129, 49}, "Write to TGL"},
        {"Room 575", [](const Form2& f) { return f.Room(575); }, {552, 1288, 25, 25}, ""},
        {"Room 574", [](const Form2& f) { return f.Room(574); }, {528, 1288, 25, 25}, ""},
        {"Room 573", [](const Form2& f) { return f.Room(573); }, {504, 1288, 25, 25}, ""},
        {"Room 572", [](const Form2& f) { return f.Room(572); }, {480, 1288, 25, 25}, ""},
        {"Label2", [](const Form2& f) { return f.Label2(); }, {280, 144, 121, 17}, creditText},
        {"Label1", [](const Form2& f) { return f.Label1(); },
         {8, 144, 369, 17}, "Click on the button above to create a new Labyrinth."},
    };
    showForm();
    const int dpiX = form->logicalDpiX(), dpiY = form->logicalDpiY();
    for (const auto& row : table) {
        QWidget* control = row.control(*form);
        ASSERT_NE(control, nullptr) << row.name;
        EXPECT_EQ(control->parentWidget(), form.get()) << row.name;
        EXPECT_EQ(control->geometry(), atDpi(row.pixels, dpiX, dpiY)) << row.name << " at " << dpiX << " DPI";
        EXPECT_TRUE(control->isVisible()) << row.name;
        EXPECT_TRUE(control->isEnabled()) << row.name;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
        EXPECT_EQ(text.toStdString(), row.text) << row.name;
    }
    EXPECT_EQ(form->Room(571), nullptr);
    EXPECT_EQ(form->Room(576), nullptr);
    EXPECT_EQ(form->findChildren<RoomCell*>().size(), 4);
    EXPECT_EQ(form->Conlist()->count(), 0);
    EXPECT_EQ(form->Conlist()->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(form->Conlist()->isSortingEnabled());
    EXPECT_FALSE(form->Label2()->text().isEmpty());
    EXPECT_FALSE(form->Label1()->wordWrap());
}

TEST_F(WindowTest, WindowHasItsCaptionSizeAndIsResizable) {
    showForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Vrelmak - Dunmere"));
    EXPECT_EQ(form->size(), QSize(400, 160));
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_NE(form->minimumSize(), form->maximumSize());
    form->resize(673, 672);
    EXPECT_EQ(form->size(), QSize(673, 672));
    // Nothing is laid out again when the window grows.
    EXPECT_EQ(form->Conlist()->geometry(), QRect(560, 616, 113, 56));
    EXPECT_EQ(form->savebut()->geometry(), QRect(128, 56, 129, 49));
}

TEST_F(WindowTest, ButtonIsBoldTahomaNotTheDefaultAndPressedByEnterWhenFocused) {
    const QFont font = form->savebut()->font();
    EXPECT_EQ(font.families().value(0), QStringLiteral("Tahoma"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.75);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
    // Where Tahoma is missing, some installed face stands in, still bold.
    const QFontInfo resolved(font);
    EXPECT_FALSE(resolved.family().isEmpty());
    EXPECT_TRUE(resolved.bold());

    EXPECT_FALSE(form->savebut()->isDefault());
    EXPECT_FALSE(form->savebut()->autoDefault());
    showForm();
    QSignalSpy pressed(form->savebut(), &QPushButton::clicked);
    form->Conlist()->setFocus();
    QTest::keyClick(form->Conlist(), Qt::Key_Return);
    QTest::keyClick(form.get(), Qt::Key_Enter);
    EXPECT_EQ(pressed.count(), 0) << "Enter must not press the button unless it has the focus";

    // On the focused button, Enter and Return press it as Space does; a held
    // key's repeats and Enter with a modifier do not.
    form->savebut()->setFocus();
    QTest::keyClick(form->savebut(), Qt::Key_Return);
    EXPECT_EQ(pressed.count(), 1);
    QTest::keyClick(form->savebut(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(pressed.count(), 2);
    QTest::keyClick(form->savebut(), Qt::Key_Space);
    EXPECT_EQ(pressed.count(), 3);
    QTest::keyPress(form->savebut(), Qt::Key_Return);  // held down: one press,
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(form->savebut(), &repeat);  // however long it repeats
    QTest::keyRelease(form->savebut(), Qt::Key_Return);
    QTest::keyClick(form->savebut(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(pressed.count(), 4);
    EXPECT_EQ(form->Label1()->text(), QStringLiteral("Done."));
    EXPECT_TRUE(errors.empty()) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(WindowTest, TabOrderRunsFromTheListToTheButtonToTheRoomCells) {
    showForm();
    std::vector<QWidget*> order;
    QWidget* widget = form->Conlist();
    for (int guard = 0; guard < 100 && order.size() < 6; ++guard, widget = widget->nextInFocusChain())
        if (widget->parentWidget() == form.get() && (widget->focusPolicy() & Qt::TabFocus) != 0)
            order.push_back(widget);
    const std::vector<QWidget*> expected{form->Conlist(), form->savebut(), form->Room(575),
                                         form->Room(574), form->Room(573), form->Room(572)};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(form->Label1()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(form->Label2()->focusPolicy(), Qt::NoFocus);
}

// Large text: at any logical DPI every text fits its box, and the status
// line's texts stay clear of the credit drawn over the same row.
TEST_F(WindowTest, EveryTextFitsItsBoxAtTheScreensDpi) {
    showForm();
    if (const int asked = qEnvironmentVariableIntValue("QT_FONT_DPI"); asked != 0) {
        ASSERT_EQ(form->logicalDpiY(), asked) << "the screen must take the DPI asked for";
    }
    EXPECT_EQ(form->size(), atDpi(QRect(0, 0, 400, 160), form->logicalDpiX(), form->logicalDpiY()).size());

    const QPushButton& button = *form->savebut();
    const QFontMetrics buttonText(button.font());
    EXPECT_LE(buttonText.horizontalAdvance(button.text()), button.width() - 4) << "caption clipped by the 2px border";
    EXPECT_LE(buttonText.height(), button.height() - 4);

    const QLabel& status = *form->Label1();
    const QLabel& credit = *form->Label2();
    const QFontMetrics statusText(status.font());
    const int creditRight = credit.geometry().right() - credit.contentsMargins().right();
    const int creditLeft = creditRight - QFontMetrics(credit.font()).horizontalAdvance(credit.text());
    EXPECT_LE(creditRight, form->width()) << "credit beyond the window";
    for (const char* text : {initialStatus, "Creating...", "Failed.", "Done.", " 23  23 15"})
        EXPECT_LT(status.x() + statusText.horizontalAdvance(QString::fromUtf8(text)), creditLeft) << text << " overlaps the credit";
    // The row's box reaches 15 twips below the window; its centred text must not.
    EXPECT_LE(status.y() + (status.height() + statusText.height()) / 2, form->height()) << "status line cut off below";
}

// A large-text setting doubles the logical DPI: the layout, the fit of every
// text and the picture, again in a window test program on such a screen.
TEST(WindowLargeText, AtTwiceTheDpiTheLayoutGrowsAndEveryTextStillFits) {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const auto run = testing::runCommand(
        self, fs::current_path(),
        {"--gtest_filter=WindowTest.EveryControlSitsAtItsFixedPlaceWithItsText:WindowTest.EveryTextFitsItsBoxAtTheScreensDpi:"
         "WindowTest.GrabShowsTheGreenButtonTheBackgroundAndOliveCellsBeyondTheEdge"},
        {"env", "QT_FONT_DPI=192", "QT_ENABLE_HIGHDPI_SCALING=0", "QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(run.exit, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("[  PASSED  ] 3 tests."), std::string::npos) << run.out;
}

// --- What the window looks like ---------------------------------------------

struct PixelRow {
    const char* what;
    QPoint at;
    std::function<QColor()> colour;
};

TEST_F(WindowTest, GrabShowsTheGreenButtonTheBackgroundAndOliveCellsBeyondTheEdge) {
    showForm();
    const fs::path png = dir / "form2.png";
    ASSERT_TRUE(form->grab().save(QString::fromStdString(png.string()), "PNG"));
    const QImage initial(QString::fromStdString(png.string()));
    const int dpiX = form->logicalDpiX(), dpiY = form->logicalDpiY();
    ASSERT_EQ(initial.size(), atDpi(QRect(0, 0, 400, 160), dpiX, dpiY).size());
    std::set<QRgb> colours;
    bool olive = false;
    for (int y = 0; y < initial.height(); ++y)
        for (int x = 0; x < initial.width(); ++x) {
            colours.insert(initial.pixel(x, y));
            olive = olive || initial.pixelColor(x, y) == QColor(128, 128, 0);
        }
    EXPECT_GT(colours.size(), 8U) << "the grab is blank";
    EXPECT_FALSE(olive) << "the room cells lie beyond the first client area";

    enlarge();
    const QImage whole = form->grab().toImage();
    const QColor background = QApplication::palette().color(QPalette::Inactive, QPalette::Window);
    const PixelRow table[] = {
        {"window background", {3, 3}, [&] { return background; }},
        {"window background below the labels", {300, 300}, [&] { return background; }},
        {"button face", {128 + 6, 56 + 6}, [] { return QColor(0, 255, 0); }},
        {"button face, lower right", {128 + 129 - 7, 56 + 49 - 7}, [] { return QColor(0, 255, 0); }},
        {"room 572", {480 + 12, 1288 + 12}, [] { return QColor(128, 128, 0); }},
        {"room 575", {552 + 12, 1288 + 12}, [] { return QColor(128, 128, 0); }},
    };
    for (const auto& row : table)
        EXPECT_EQ(whole.pixelColor(atDpi(QRect(row.at, QSize(1, 1)), dpiX, dpiY).topLeft()), row.colour()) << row.what;

    // Set LABYRINTH_GRAB_DIR to keep the pictures for a look by eye.
    if (const QByteArray keep = qgetenv("LABYRINTH_GRAB_DIR"); !keep.isEmpty()) {
        initial.save(QStringLiteral("%1/form2-%2dpi.png").arg(QString::fromUtf8(keep)).arg(dpiY));
        whole.save(QStringLiteral("%1/form2-enlarged-%2dpi.png").arg(QString::fromUtf8(keep)).arg(dpiY));
    }
}

// --- The button ---------------------------------------------------------------

// Records, at every paint of the status line, its text and the pointer.
class PaintProbe final : public QObject {
public:
    explicit PaintProbe(QLabel* label) : label_(label) { label->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            texts.insert(label_->text());
            pointers.insert(label_->cursor().shape());
            ++paints;
        }
        return false;
    }
    std::set<QString> texts;
    std::set<Qt::CursorShape> pointers;
    int paints = 0;

private:
    QLabel* label_;
};

// The first offset where `after` differs from `before` outside the regions
// [from, to) listed, or -1.
std::int64_t changeOutside(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                           std::initializer_list<std::pair<std::int64_t, std::int64_t>> regions) {
    if (before.size() != after.size()) return 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const auto offset = static_cast<std::int64_t>(i);
        bool inside = false;
        for (const auto& [from, to] : regions) inside = inside || (offset >= from && offset < to);
        if (!inside && before[i] != after[i]) return offset;
    }
    return -1;
}

std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& bytes, std::int64_t from, std::size_t count) {
    const auto begin = bytes.begin() + from;
    return {begin, begin + static_cast<std::ptrdiff_t>(count)};
}

TEST_F(WindowTest, ClickWritesACompleteLabyrinthAndSaysDone) {
    showForm();
    const auto before = readFile(imagePath);
    PaintProbe probe(form->Label1());

    QTest::mouseClick(form->savebut(), Qt::LeftButton);

    EXPECT_TRUE(errors.empty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(form->Label1()->text(), QStringLiteral("Done."));
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor) << "the pointer must be the default one again";
    EXPECT_EQ(form->Conlist()->count(), 121);
    EXPECT_FALSE(form->Conlist()->item(0)->text().isEmpty());

    // While the click ran, every repaint showed "Creating..." under the busy pointer.
    EXPECT_GT(probe.paints, 0);
    EXPECT_EQ(probe.texts, std::set<QString>{QStringLiteral("Creating...")});
    EXPECT_EQ(probe.pointers, std::set<Qt::CursorShape>{Qt::WaitCursor});
    EXPECT_GT(form->repaintsAsked(), 360);
    EXPECT_GE(form->repaintsDrawn(), 1);

    const ClickResult& click = form->lastClick();
    const auto& stream = click.stream;
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(stream.back(), 0) << "the stream ends with its trailing 0";
    const auto after = readFile(imagePath);
    EXPECT_EQ(slice(after, format::roomDataPos, stream.size()), stream);
    EXPECT_EQ(slice(after, format::textBase, format::textSize),
              slice(testing::syntheticText(textFileSize), 0, format::textSize));
    // Rejected attempts of the click may leave bytes of longer streams
    // behind the accepted one, never beyond the longest stream possible.
    EXPECT_EQ(changeOutside(before, after, {{format::roomDataPos, writerRegionEnd()}, {format::textBase, format::textEnd}}),
              -1);

    EXPECT_EQ(imageProblems(imagePath, textPath), std::vector<std::string>{});
    EXPECT_TRUE(streamComplete(form->session()->model(), form->session()->writer()));
}

TEST_F(WindowTest, SecondClickWritesANewLabyrinth) {
    showForm();
    const auto original = readFile(imagePath);
    form->savebut()->click();
    const auto firstStream = form->lastClick().stream;
    const auto firstRooms = form->session()->model().mapEntry;

    form->savebut()->click();
    EXPECT_TRUE(errors.empty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(form->Label1()->text(), QStringLiteral("Done."));
    EXPECT_EQ(form->Conlist()->count(), 121) << "the link list is rewritten, not extended";
    const auto& secondStream = form->lastClick().stream;
    EXPECT_NE(form->session()->model().mapEntry, firstRooms) << "the second click must make a new labyrinth";
    EXPECT_NE(secondStream, firstStream);

    const auto after = readFile(imagePath);
    EXPECT_EQ(slice(after, format::roomDataPos, secondStream.size()), secondStream);
    // Bytes of a longer first stream stay behind the second one's trailing 0
    // (when no rejected attempt of the second click wrote over them).
    if (firstStream.size() > secondStream.size() && form->lastClick().attempts == 1) {
        EXPECT_EQ(slice(after, format::roomDataPos + static_cast<std::int64_t>(secondStream.size()),
                        firstStream.size() - secondStream.size()),
                  slice(firstStream, static_cast<std::int64_t>(secondStream.size()),
                        firstStream.size() - secondStream.size()));
    }
    EXPECT_EQ(changeOutside(original, after, {{format::roomDataPos, writerRegionEnd()}, {format::textBase, format::textEnd}}),
              -1);
    EXPECT_EQ(imageProblems(imagePath, textPath), std::vector<std::string>{});
}

// "Seed: N  Code: w w w w" lines in `out` (N digits, four lower-case words):
// each write's seed and code.
std::vector<std::pair<std::string, std::string>> seedLines(const std::string& out) {
    std::vector<std::pair<std::string, std::string>> found;
    std::istringstream lines(out);
    for (std::string text; std::getline(lines, text);) {
        const std::string head = "Seed: ", middle = "  Code: ";
        const auto split = text.find(middle);
        if (text.rfind(head, 0) != 0 || split == std::string::npos) continue;
        const std::string seed = text.substr(head.size(), split - head.size());
        const std::string code = text.substr(split + middle.size());
        const bool digits = !seed.empty() && std::all_of(seed.begin(), seed.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
        const bool words = std::count(code.begin(), code.end(), ' ') == 3 && code.front() != ' ' &&
                           code.back() != ' ' && code.find("  ") == std::string::npos &&
                           std::all_of(code.begin(), code.end(), [](unsigned char c) { return c == ' ' || std::islower(c) != 0; });
        if (digits && words) found.emplace_back(seed, code);
    }
    return found;
}

TEST_F(WindowTest, EveryWriteTellsItsSeedWhichTheCommandLineRepeatsByteForByte) {
    showForm();
    fs::copy_file(imagePath, dir / "before.nes");
    std::vector<std::vector<std::uint8_t>> images;
    ::testing::internal::CaptureStdout();
    form->savebut()->click();
    images.push_back(readFile(imagePath));
    form->savebut()->setFocus();
    QTest::keyClick(form->savebut(), Qt::Key_Return);
    images.push_back(readFile(imagePath));
    const std::string out = ::testing::internal::GetCapturedStdout();

    const auto lines = seedLines(out);
    ASSERT_EQ(lines.size(), 2U) << "one line per write:\n" << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
    EXPECT_EQ(form->Label1()->text(), QStringLiteral("Done.")) << "the status text stays as it was";
    EXPECT_EQ(form->Label1()->toolTip().toStdString(),
              "Seed: " + lines[1].first + "  Code: " + lines[1].second);
    EXPECT_EQ(lines[1].first, std::to_string(form->lastClick().seed));
    EXPECT_NE(lines[0].first, lines[1].first);

    // Each write, repeated by the command line on the image as it was then.
    std::string source = "before.nes";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string copy = "cli-" + std::to_string(i) + ".nes";
        const auto run = testing::runCommand(LABYRINTH_CLI, dir.path(),
                                             {"write", source, "--text", "tgltext.tgl", "--seed", lines[i].first,
                                              "-o", copy});
        ASSERT_EQ(run.exit, 0) << run.err;
        EXPECT_NE(run.out.find("Seed: " + lines[i].first + "  Code: " + lines[i].second + "\n"), std::string::npos)
            << "the same line as the window: " << run.out;
        EXPECT_EQ(testing::firstDifference(readFile(dir / copy), images[i]), "identical") << "write " << i;
        source = copy;
    }
}

// The files of a window whose image can be made to refuse writes.
class BreakableFile final : public RandomAccessFile {
public:
    explicit BreakableFile(std::unique_ptr<RandomAccessFile> inner) : inner_(std::move(inner)) {}
    const std::string& name() const override { return inner_->name(); }
    Status readAt(std::int64_t offset, std::span<std::uint8_t> out) override { return inner_->readAt(offset, out); }
    Status writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override {
        if (broken) return systemError(name(), "cannot write", ENOSPC);
        return inner_->writeAt(offset, data);
    }
    Result<std::int64_t> size() override { return inner_->size(); }
    Status flush() override { return inner_->flush(); }
    bool broken = false;

private:
    std::unique_ptr<RandomAccessFile> inner_;
};

TEST_F(WindowTest, AFailedWriteTellsItsSeedWithoutACodeAndTakesTheLastOneBack) {
    auto rom = DiskFile::open(imagePath.string(), DiskFile::Mode::ReadWrite);
    auto text = DiskFile::open(textPath.string(), DiskFile::Mode::ReadOnly);
    ASSERT_TRUE(rom.ok() && text.ok());
    auto breakable = std::make_unique<BreakableFile>(std::move(rom.value()));
    BreakableFile& image = *breakable;
    form = std::make_unique<Form2>(std::move(breakable), std::move(text.value()),
                                   std::make_unique<DerivedSeedSource>(7),
                                   [this](QWidget*, const QString& message) { errors.push_back(message); });
    showForm();
    form->savebut()->click();
    ASSERT_FALSE(form->Label1()->toolTip().isEmpty());

    image.broken = true;
    announced.clear();
    ::testing::internal::CaptureStdout();
    form->savebut()->click();
    const std::string out = ::testing::internal::GetCapturedStdout();
    // The image may hold part of a labyrinth now: its seed is told, and no code.
    EXPECT_TRUE(out.starts_with("Seed: ") && out.ends_with("  (partly written)\n")) << out;
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(form->Label1()->text(), QStringLiteral("Failed."));
    EXPECT_EQ(announced, QStringList{QStringLiteral("Failed.")}) << "the message box reads out the error itself";
    EXPECT_TRUE(form->Label1()->toolTip().isEmpty()) << "the image no longer holds the labyrinth of that seed";
    // Nor is that seed described or copied any more.
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(form->Label1())->text(QAccessible::Description).isEmpty());
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    form->copySeed();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("kept"));
    EXPECT_EQ(announced.last(), QString::fromUtf8(nothingToCopy));
}

// Another program that holds the image's lock, as labyrinth-cli does while it writes.
std::unique_ptr<DiskFile> otherProgram;

// A file that changes behind the window's back makes the click fail with a
// message that names it; the status line never says "Done." then.
struct FailureRow {
    const char* what;
    const char* file;
    std::function<void(const fs::path&)> change;  // done to the file while the window is open
    const char* reason;
};

TEST_F(WindowTest, ClickOnAFileThatChangedReportsItAndWritesNothing) {
    const FailureRow table[] = {
        {"image cut short", "game.nes", [](const fs::path& f) { fs::resize_file(f, 1000); },
         "is not a complete cartridge image"},
        {"text file cut short", "tgltext.tgl", [](const fs::path& f) { fs::resize_file(f, 100); }, "holds 100 bytes"},
        {"image replaced", "game.nes",
         [](const fs::path& f) {
             testing::writeFile(f.string() + ".new", testing::syntheticImage());
             fs::rename(f.string() + ".new", f);
         },
         "was replaced by another file"},
        {"text file removed", "tgltext.tgl", [](const fs::path& f) { fs::remove(f); }, "was removed"},
        // The same words as labyrinth-cli gives when it opens such an image.
        {"image made read-only", "game.nes", [](const fs::path& f) { ::chmod(f.c_str(), 0444); },
         ::geteuid() == 0 ? "is marked read-only" : "cannot open: Permission denied"},
        {"image being written by another program", "game.nes",
         [](const fs::path& f) {
             otherProgram = std::move(DiskFile::open(f.string(), DiskFile::Mode::ReadOnly).value());
             ASSERT_TRUE(otherProgram->lock(FileLock::Shared).value());
         },
         "another program is using it right now"},
    };
    for (const auto& row : table) {
        SetUp();
        showForm();
        row.change(dir / row.file);
        const auto before = readFile(imagePath);
        form->savebut()->click();

        ASSERT_EQ(errors.size(), 1) << row.what;
        EXPECT_TRUE(errors[0].contains(QString::fromStdString((dir / row.file).string()))) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains(QString::fromUtf8(row.reason))) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains(QStringLiteral("Nothing was written"))) << errors[0].toStdString();
        EXPECT_EQ(form->Label1()->text(), QStringLiteral("Failed.")) << row.what;
        EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor) << row.what;
        EXPECT_EQ(readFile(imagePath), before) << row.what;
        errors.clear();
        otherProgram.reset();
        ::chmod(imagePath.c_str(), 0644);
    }
}

// One writer at a time: labyrinth-cli, started while the window's click
// holds the image, waits until the click is done; each then names the
// labyrinth that the file held when it finished.
TEST_F(WindowTest, TheCommandLineWaitsForTheClickAndEachReportNamesWhatTheFileHeld) {
    testing::CommandRun cli;
    std::thread other;
    std::vector<std::uint8_t> duringTheClick;
    testing::FaultyFile::Faults faults;
    faults.duringFlush = [&] {
        if (other.joinable()) return;
        other = std::thread([&] { cli = testing::runCommand(LABYRINTH_CLI, dir.path(), {"write", "game.nes"}); });
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // it says that it waits after a second
        duringTheClick = readFile(imagePath);
    };
    showFormWithFaults(faults);
    ::testing::internal::CaptureStdout();
    form->savebut()->click();
    const std::string windowLine = ::testing::internal::GetCapturedStdout();
    other.join();

    EXPECT_EQ(form->Label1()->text(), QStringLiteral("Done.")) << errors.join(' ').toStdString();
    const auto& stream = form->lastClick().stream;
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), duringTheClick.begin() + format::roomDataPos))
        << "the command line wrote while the window held the image";
    EXPECT_NE(windowLine.find("Code: " + seedCode(stream)), std::string::npos) << windowLine;

    EXPECT_EQ(cli.exit, 0) << cli.err;
    EXPECT_NE(cli.err.find("game.nes: waiting for another program that is using it"), std::string::npos) << cli.err;
    const auto now = readFile(imagePath);
    const auto held = decodeStream(now);
    ASSERT_TRUE(held.ok());
    EXPECT_NE(cli.out.find("  Code: " + seedCode(writtenStream(now, held.value())) + "\n"), std::string::npos)
        << cli.out;
    EXPECT_TRUE(imageProblems(imagePath, textPath).empty());
}

// Another program renames a file over the image while the click saves it: the
// labyrinth went into the file that was there before, which the player no
// longer has under that name, so the window never says "Done." nor tells a seed.
TEST_F(WindowTest, AnImageRenamedOverWhileItIsWrittenIsNeverDone) {
    testing::FaultyFile::Faults faults;
    faults.duringFlush = [&] {
        testing::writeFile(dir / "newcomer.nes", testing::syntheticImage());
        fs::rename(dir / "newcomer.nes", imagePath);
    };
    showFormWithFaults(faults);
    ::testing::internal::CaptureStdout();
    form->savebut()->click();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.starts_with("Seed: ") && out.ends_with("  (partly written)\n"))
        << "a seed line, but no code of a labyrinth the player does not have: " << out;
    EXPECT_EQ(form->Label1()->text(), QStringLiteral("Failed."));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral(
        "game.nes: was replaced by another file while it was written; the labyrinth went into the file that was "
        "there before")))
        << errors[0].toStdString();
    EXPECT_EQ(readFile(imagePath), testing::syntheticImage()) << "the newcomer is not written";
}

// --- Room information -----------------------------------------------------------

struct RoomRow {
    const char* what;
    int kk;
    std::uint8_t x, y, doors;
    const char* text;
};

TEST(RoomInformation, WritesColumnRowAndDoorMaskWithTheirBlanks) {
    const RoomRow table[] = {
        {"the example", 572, 3, 7, 10, " 3  7 10"},
        {"all zero", 575, 0, 0, 0, " 0  0 0"},
        {"two-digit column and row", 0, 23, 11, 15, " 23  11 15"},
        {"last entry of the lists", 580, 9, 0, 4, " 9  0 4"},
    };
    for (const auto& row : table) {
        Labyrinth model;
        model.entryX[static_cast<std::size_t>(row.kk)] = row.x;
        model.entryY[static_cast<std::size_t>(row.kk)] = row.y;
        model.mapDoors(row.x, row.y) = row.doors;
        model.mapDoors(row.y, row.x) = row.x == row.y ? row.doors : 1;  // a transposed lookup would show
        EXPECT_EQ(roomInformation(model, row.kk), row.text) << row.what;
    }
    EXPECT_EQ(roomInformation(Labyrinth{}, -1), "");
    EXPECT_EQ(roomInformation(Labyrinth{}, entryListSize), "");
}

TEST_F(WindowTest, RoomCellClickShowsItsEntryBeforeAndAfterAGeneration) {
    showForm();
    enlarge();
    for (int index : roomIndices) {
        QTest::mouseClick(form->Room(index), Qt::LeftButton, {}, QPoint(12, 12));
        EXPECT_EQ(form->Label1()->text(), QStringLiteral(" 0  0 0")) << "room " << index;
    }

    form->savebut()->click();
    const Labyrinth& model = form->session()->model();
    // A generation claims entries 0 to 370 only: the cells describe (0, 0).
    const QString expected = QStringLiteral(" 0  0 %1").arg(model.mapDoors(0, 0));
    for (int index : roomIndices) {
        QSignalSpy clicks(form->Room(index), &RoomCell::clicked);
        QTest::mouseClick(form->Room(index), Qt::LeftButton, {}, QPoint(12, 12));
        ASSERT_EQ(clicks.count(), 1);
        EXPECT_EQ(clicks.at(0).at(0).toInt(), index);
        EXPECT_EQ(form->Label1()->text(), expected) << "room " << index;
        QTest::mouseClick(form->Room(index), Qt::LeftButton, {}, QPoint(12, 12));
        EXPECT_EQ(form->Label1()->text(), expected) << "room " << index << ", clicked again";
    }
    form->Room_Click(0);  // entry 0 is area 0's anchor at the start cell
    EXPECT_EQ(form->Label1()->text(), QStringLiteral(" 11  12 %1").arg(model.mapDoors(11, 12)));
}

// --- Screen readers and the keyboard ----------------------------------------------

// What a screen reader is told of a control: role, name, part of the description.
struct AccessibleRow {
    const char* what;
    std::function<QObject*(Form2&)> control;
    QAccessible::Role role;
    const char* name;
    const char* description;
};

TEST_F(WindowTest, EveryControlTellsScreenReadersWhatItIs) {
    const AccessibleRow table[] = {
        {"the window", [](Form2& f) { return &f; }, QAccessible::Window, windowCaption, ""},
        {"Conlist", [](Form2& f) { return f.Conlist(); }, QAccessible::List, "Area links",
         "outside the window to the right. Tab leads to the button Write to TGL"},
        {"savebut", [](Form2& f) { return f.savebut(); }, QAccessible::Button, std::string(saveCaption).c_str(), ""},
        {"Room 575", [](Form2& f) { return f.Room(575); }, QAccessible::Button, "Room 575", "of room 575"},
        {"Room 572", [](Form2& f) { return f.Room(572); }, QAccessible::Button, "Room 572", "of room 572"},
        {"Label1", [](Form2& f) { return f.Label1(); }, QAccessible::StaticText, initialStatus, ""},
    };
    showForm();
    for (const auto& row : table) {
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(row.control(*form));
        ASSERT_NE(control, nullptr) << row.what;
        EXPECT_EQ(control->role(), row.role) << row.what;
        EXPECT_EQ(control->text(QAccessible::Name).toStdString(), row.name) << row.what;
        EXPECT_TRUE(control->text(QAccessible::Description).contains(QString::fromUtf8(row.description))) << row.what;
    }
    // After each write the status line describes itself with the seed line,
    // and every line of the list says its three numbers in words.
    for (int write = 0; write < 2; ++write) {
        form->savebut()->click();
        const QString seed = QAccessible::queryAccessibleInterface(form->Label1())->text(QAccessible::Description);
        EXPECT_TRUE(seed.startsWith(QStringLiteral("Seed: ")) && seed == form->Label1()->toolTip()) << seed.toStdString();
        QAccessibleTableInterface* list = QAccessible::queryAccessibleInterface(form->Conlist())->tableInterface();
        ASSERT_EQ(list->rowCount(), 121);
        for (int line = 0; line < 121; ++line) {
            const QStringList n = form->Conlist()->item(line)->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const QString words = QStringLiteral("area %1 to area %2, %3")
                                      .arg(n.value(0), n.value(1), n.value(2) == QStringLiteral("1") ? "link recorded" : "no link");
            EXPECT_EQ(list->cellAt(line, 0)->text(QAccessible::Description), words) << write << ", line " << line;
        }
    }
}

// One step of a keyboard-only player, in order: what a screen reader then
// hears, and whether the clipboard then holds the seed line.
struct KeyboardRow {
    const char* what;
    std::function<void(Form2&)> act;
    std::function<QStringList(const Form2&)> said;
    bool copied;
};

TEST_F(WindowTest, AKeyboardAloneReachesEverythingAndEveryOutcomeIsAnnounced) {
    const auto says = [](const char* text) { return [text](const Form2&) { return QStringList{QString::fromUtf8(text)}; }; };
    const auto copied = [](const Form2& f) { return QStringList{QStringLiteral("Copied: ") + f.Label1()->toolTip()}; };
    const auto room = [](int index) {
        return [index](const Form2& f) {
            return QStringList{
                QStringLiteral("room %1: column 0, row 0, door mask %2").arg(index).arg(f.session()->model().mapDoors(0, 0))};
        };
    };
    const auto press = [](int index, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        return [=](Form2& f) { QTest::keyClick(f.Room(index), key, modifiers); };
    };
    const KeyboardRow table[] = {
        {"Ctrl+C before any write", [](Form2& f) { QTest::keyClick(f.Conlist(), Qt::Key_C, Qt::ControlModifier); },
         says(nothingToCopy), false},
        {"Tab, then Space on the button",
         [](Form2& f) {
             QTest::keyClick(f.Conlist(), Qt::Key_Tab);
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
         },
         says("Done."), false},
        {"Return on the button: a second Done.", [](Form2& f) { QTest::keyClick(f.savebut(), Qt::Key_Return); },
         says("Done."), false},
        {"Return on room 574", press(574, Qt::Key_Return), room(574), false},
        {"Ctrl+Space on room 573", press(573, Qt::Key_Space, Qt::ControlModifier), [](const Form2&) { return QStringList{}; },
         false},
        {"Space held on room 572",
         [](Form2& f) {
             QTest::keyPress(f.Room(572), Qt::Key_Space);
             QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
             QApplication::sendEvent(f.Room(572), &repeat);
             QTest::keyRelease(f.Room(572), Qt::Key_Space);
         },
         room(572), false},
        {"a screen reader's press of room 575",
         [](Form2& f) {
             QAccessible::queryAccessibleInterface(f.Room(575))->actionInterface()->doAction(
                 QAccessibleActionInterface::pressAction());
         },
         room(575), false},
        {"Ctrl+C on a room cell", press(573, Qt::Key_C, Qt::ControlModifier), copied, true},
        {"Copy Seed and Code in the status line's context menu",
         [](Form2& f) {
             QApplication::clipboard()->clear();
             QContextMenuEvent event(QContextMenuEvent::Keyboard, {5, 5}, f.Label1()->mapToGlobal(QPoint(5, 5)));
             QApplication::sendEvent(f.Label1(), &event);
             auto* menu = f.findChild<QMenu*>();
             ASSERT_TRUE(menu != nullptr && menu->isVisible() && menu->actions().size() == 1);
             EXPECT_EQ(menu->actions()[0]->text().toStdString(), copySeedCaption);
             menu->actions()[0]->trigger();
             menu->close();
         },
         copied, true},
    };
    showForm();
    const QString before = QStringLiteral("what the player copied before");
    QApplication::clipboard()->setText(before);
    for (const auto& row : table) {
        announced.clear();
        row.act(*form);
        EXPECT_EQ(announced.join('|').toStdString(), row.said(*form).join('|').toStdString()) << row.what;
        EXPECT_EQ(QApplication::clipboard()->text(), row.copied ? form->Label1()->toolTip() : before) << row.what;
    }
    EXPECT_TRUE(errors.empty()) << errors.join(QLatin1Char('\n')).toStdString();
}

// --- Closing ----------------------------------------------------------------------

TEST_F(WindowTest, ClosingOrDestroyingTheWindowClosesBothFiles) {
    const std::function<void(std::unique_ptr<Form2>&)> ways[] = {
        [](std::unique_ptr<Form2>& f) { f->close(); },
        [](std::unique_ptr<Form2>& f) { f.reset(); },
    };
    for (const auto& end : ways) {
        form = makeForm();
        showForm();
        ASSERT_EQ(openDescriptors(imagePath), 1);
        ASSERT_EQ(openDescriptors(textPath), 1);
        end(form);
        EXPECT_EQ(openDescriptors(imagePath), 0);
        EXPECT_EQ(openDescriptors(textPath), 0);
    }
    EXPECT_EQ(readFile(imagePath), testing::syntheticImage()) << "no generation, so the image is unchanged";

    form = makeForm();
    showForm();
    form->close();
    EXPECT_FALSE(form->filesOpen());
    form->savebut_Click();  // nothing left to write to: nothing happens
    form->Room_Click(572);
    EXPECT_EQ(form->Label1()->text().toStdString(), initialStatus);
    EXPECT_EQ(readFile(imagePath), testing::syntheticImage());
}

}  // namespace
}  // namespace labyrinth::window

#include "window_tests.moc"
