#include "window/form2.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QToolTip>
#include <cstdio>

#include "icon/labyrinth_icon.h"
#include "window/accessibility.h"
#include "window/room_cell.h"
#include "window/room_info.h"
#include "writer/seed_code.h"

namespace labyrinth::window {
namespace {

// The layout is given in twips, 1/1440 inch. A screen of logical DPI d has
// d / 1440 pixels to the twip: 15 twips to the pixel at the usual 96, half as
// many where a large-text setting doubles the DPI, so that the boxes grow
// with the fonts drawn in them.
inline constexpr int twipsPerInch = 1440;
inline constexpr int usualDpi = 96;

struct Twips {
    int left, top, width, height;
};

// The logical DPI across and down.
struct Dpi {
    int x, y;
};

// A distance from the client area's corner in pixels, to the nearest.
constexpr int toPixels(int twips, int dpi) { return (twips * dpi + twipsPerInch / 2) / twipsPerInch; }

// Each edge is placed on its own, so that boxes which meet or overlap by a
// twip or two in the layout still do on screen.
constexpr QRect pixels(Twips t, Dpi dpi) {
    const int left = toPixels(t.left, dpi.x);
    const int top = toPixels(t.top, dpi.y);
    return {left, top, toPixels(t.left + t.width, dpi.x) - left, toPixels(t.top + t.height, dpi.y) - top};
}

constexpr bool whole(Twips t) {
    constexpr int twipsPerPixel = twipsPerInch / usualDpi;
    return t.left % twipsPerPixel == 0 && t.top % twipsPerPixel == 0 && t.width % twipsPerPixel == 0 &&
           t.height % twipsPerPixel == 0;
}

constexpr Twips clientArea{0, 0, 6000, 2400};
constexpr Twips conlistBox{8400, 9240, 1695, 840};
constexpr Twips savebutBox{1920, 840, 1935, 735};
constexpr Twips label2Box{4200, 2160, 1815, 255};
constexpr int label2Margin = 45;  // between the credit and its box's right edge
constexpr Twips label1Box{120, 2160, 5535, 255};
// Room cells: element i sits at 360 * (i mod 24) twips across, in one row.
constexpr int roomPitch = 360;
constexpr int roomTop = 19320;
constexpr int roomSide = 375;
constexpr Twips roomBox(int index) { return {roomPitch * (index % 24), roomTop, roomSide, roomSide}; }

static_assert(whole(clientArea) && whole(conlistBox) && whole(savebutBox) && whole(label2Box) && whole(label1Box) &&
                  whole(roomBox(572)) && whole(roomBox(575)),
              "at the usual DPI every position must land on a whole pixel");

constexpr QColor roomOlive(128, 128, 0);

// Tahoma where it is installed; otherwise a sans-serif of similar build.
QFont buttonFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// A small picture of a labyrinth for the title bar and the task bar, the
// drawing that is installed as the program's icon, at every size installed.
QIcon labyrinthIcon() {
    QIcon picture;
    for (const int size : icon::installedSizes) picture.addPixmap(QPixmap::fromImage(icon::image(size)));
    return picture;
}

// A line of the link list in words, for screen readers: " 0 3 1" is read as
// "area 0 to area 3, link recorded".
QString linkInWords(const LinkLine& link) {
    return QStringLiteral("area %1 to area %2, %3")
        .arg(link.from())
        .arg(link.to())
        .arg(link.record() != 0 ? QStringLiteral("link recorded") : QStringLiteral("no link"));
}

// Enter and Return, from the main keys or the keypad, without a modifier.
bool isEnterKey(const QKeyEvent& key) {
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    return enter && (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

void showErrorBox(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QString::fromUtf8(windowCaption), message);
}

// The window as the driver sees it. Repaints are synchronous, as the status
// line must be readable while a click runs without an event loop; a repaint
// that would draw the very pixels of the last one is skipped, since the
// generator asks for one after every claimed room and only the status line
// and the link list ever change during a click.
class Form2::Host final : public DriverHost {
public:
    explicit Host(Form2& form) : form_(form) {}

    // Whatever the event loop drew since the last repaint of a click is not
    // known here, so the first repaint of a click always draws.
    void startClick() { drawnOnce_ = false; }

    void repaint() override {
        ++asked_;
        const QString status = form_.label1_->text();
        if (drawnOnce_ && !linesChanged_ && status == drawnStatus_) return;
        form_.repaint();
        drawnStatus_ = status;
        linesChanged_ = false;
        drawnOnce_ = true;
        ++drawn_;
    }

    void setLinkLine(int index, const LinkLine& link) override {
        QListWidget& list = *form_.conlist_;
        const QString line = QString::fromStdString(link.text());
        // Lines are set in order; should one ever be skipped, the gap is kept
        // blank so that line `index` still lands at `index`.
        while (list.count() < index) list.addItem(QString());
        QListWidgetItem* item = list.item(index);
        if (item != nullptr && item->text() == line) return;
        if (item == nullptr) {
            item = new QListWidgetItem;
            list.addItem(item);
        }
        item->setText(line);
        // Screen readers read the numbers in words; the line shows them bare.
        item->setData(Qt::AccessibleDescriptionRole, linkInWords(link));
        linesChanged_ = true;
    }

    void setStatus(std::string_view text) override {
        form_.label1_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }

    void setBusy(bool busy) override {
        if (busy)
            form_.setCursor(Qt::WaitCursor);
        else
            form_.unsetCursor();
    }

    int asked() const { return asked_; }
    int drawn() const { return drawn_; }

private:
    Form2& form_;
    QString drawnStatus_;
    bool drawnOnce_ = false;
    bool linesChanged_ = false;
    int asked_ = 0;
    int drawn_ = 0;
};

Form2::Form2(std::unique_ptr<RandomAccessFile> rom, std::unique_ptr<RandomAccessFile> text,
             std::unique_ptr<SeedSource> seeds, ErrorReporter report, QWidget* parent)
    : QWidget(parent),
      rom_(std::move(rom)),
      text_(std::move(text)),
      seeds_(std::move(seeds)),
      session_(std::make_unique<Session>(*rom_, *text_, *seeds_)),
      host_(std::make_unique<Host>(*this)),
      report_(std::move(report)) {
    installAccessibleInterfaces(staticMetaObject);
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8(windowCaption));
    setWindowIcon(labyrinthIcon());
    const Dpi dpi{logicalDpiX(), logicalDpiY()};
    resize(pixels(clientArea, dpi).size());

    // Qt has no role for the inactive window border; the inactive group's
    // window colour is what the platform gives an unfocused window's frame
    // and face (on Windows' classic schemes both are the 3D face colour), and
    // it is set for every group so the background stays put when focused.
    const QColor border = QApplication::palette().color(QPalette::Inactive, QPalette::Window);
    QPalette background = palette();
    background.setColor(QPalette::Window, border);
    setPalette(background);
    setAutoFillBackground(true);

    // Controls in creation order.
    conlist_ = new QListWidget(this);
    conlist_->setObjectName(QStringLiteral("Conlist"));
    conlist_->setGeometry(pixels(conlistBox, dpi));
    conlist_->setSelectionMode(QAbstractItemView::SingleSelection);
    conlist_->setSortingEnabled(false);
    // The list has the focus first, though it lies beyond the window's first
    // size; it says so, and where the button is.
    conlist_->setAccessibleName(QString::fromUtf8(conlistName));
    conlist_->setAccessibleDescription(QStringLiteral(
        "The area links of the last labyrinth, outside the window to the right. Tab leads to the button Write to TGL."));

    savebut_ = new QPushButton(QString::fromUtf8(saveCaption.data(), static_cast<qsizetype>(saveCaption.size())), this);
    savebut_->setObjectName(QStringLiteral("savebut"));
    savebut_->setGeometry(pixels(savebutBox, dpi));
    savebut_->setFont(buttonFont());
    // A style sheet is the one way every style honours a solid face colour.
    savebut_->setStyleSheet(QStringLiteral(
        "QPushButton#savebut { background-color: rgb(0, 255, 0); color: black;"
        " border: 2px outset rgb(0, 190, 0); }"
        "QPushButton#savebut:pressed { border-style: inset; }"
        "QPushButton#savebut:focus { outline: 1px dotted black; }"));
    savebut_->setAutoDefault(false);
    savebut_->setDefault(false);

    for (std::size_t i = 0; i < std::size(roomIndices); ++i) {
        auto* cell = new RoomCell(roomIndices[i], this);
        cell->setGeometry(pixels(roomBox(roomIndices[i]), dpi));
        cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        cell->setLineWidth(1);
        QPalette olive = cell->palette();
        olive.setColor(QPalette::Window, roomOlive);
        cell->setPalette(olive);
        cell->setAutoFillBackground(true);
        cell->setFocusPolicy(Qt::StrongFocus);
        connect(cell, &RoomCell::clicked, this, &Form2::Room_Click);
        rooms_[i] = cell;
    }

    // The two labels share a row and overlap from 280 to 377 pixels at 96
    // DPI. The status line keeps the toolkit's own colours on an opaque
    // background; the credit is drawn over it as text alone, at the right end
    // of its box, so it shows beside the status line without hiding any of it.
    label2_ = new QLabel(QString::fromUtf8(creditText), this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(pixels(label2Box, dpi));
    label2_->setTextFormat(Qt::PlainText);
    label2_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label2_->setContentsMargins(0, 0, toPixels(label2Margin, dpi.x), 0);
    label2_->setPalette(QApplication::palette());
    label2_->setAutoFillBackground(false);
    label2_->setAttribute(Qt::WA_TransparentForMouseEvents);

    label1_ = new QLabel(QString::fromUtf8(initialStatus), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(pixels(label1Box, dpi));
    label1_->setTextFormat(Qt::PlainText);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label1_->setWordWrap(false);
    label1_->setPalette(QApplication::palette());
    label1_->setAutoFillBackground(true);

    label2_->raise();

    announcer_ = new Announcer(this);

    // Copying the seed line: Ctrl+C anywhere in the window, or the context menu.
    copySeed_ = new QAction(QString::fromUtf8(copySeedCaption), this);
    copySeed_->setShortcut(QKeySequence::Copy);
    copySeed_->setShortcutContext(Qt::WindowShortcut);
    addAction(copySeed_);
    connect(copySeed_, &QAction::triggered, this, &Form2::copySeed);

    // Keyboard order: the list, the button, then the room cells 575 to 572.
    QWidget* previous = conlist_;
    setTabOrder(previous, savebut_);
    previous = savebut_;
    for (RoomCell* cell : rooms_) {
        setTabOrder(previous, cell);
        previous = cell;
    }

    connect(savebut_, &QPushButton::clicked, this, &Form2::savebut_Click);
    // Enter on the focused button presses it, as Space does; it stays no
    // default button, so Enter anywhere else does nothing.
    savebut_->installEventFilter(this);
}

Form2::~Form2() { Form_Unload(); }

RoomCell* Form2::Room(int index) const {
    for (RoomCell* cell : rooms_)
        if (cell->index() == index) return cell;
    return nullptr;
}

int Form2::repaintsAsked() const { return host_->asked(); }
int Form2::repaintsDrawn() const { return host_->drawn(); }

void Form2::savebut_Click() {
    if (!session_) return;
    host_->startClick();
    lastClick_ = savebutClick(*session_, *host_);
    if (lastClick_.status) {
        // One line per write on standard output, for players who share seeds;
        // a window without a terminal loses nothing when nobody reads it.
        const std::string line = seedLine(lastClick_.seed, seedCode(lastClick_.stream));
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
        std::clearerr(stdout);
        setSeedLine(QString::fromStdString(line));
        announcer_->announce(label1_->text());
        return;
    }
    // A click that wrote part of a labyrinth leaves the image holding none
    // that a seed names, which the seed line says; a refused one left the
    // last write in place.
    if (lastClick_.imageChanged) {
        const std::string line = unfinishedSeedLine(std::to_string(lastClick_.seed), true);
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
        std::clearerr(stdout);
    }
    if (!lastClick_.refused) setSeedLine(QString());
    // "Failed." first; the message that follows is read out as a dialog.
    announcer_->announce(label1_->text());
    if (report_) report_(this, QString::fromStdString(lastClick_.status.error().message));
}

void Form2::setSeedLine(const QString& line) {
    seedLine_ = line;
    label1_->setToolTip(line);
    label1_->setAccessibleDescription(line);
}

void Form2::copySeed() {
    if (seedLine_.isEmpty()) {
        tell(QString::fromUtf8(nothingToCopy));
        return;
    }
    QGuiApplication::clipboard()->setText(seedLine_);
    tell(QStringLiteral("Copied: ") + seedLine_);
}

void Form2::tell(const QString& message) {
    QToolTip::showText(label1_->mapToGlobal(QPoint(0, 0)), message, label1_);
    announcer_->announce(message);
}

void Form2::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(copySeed_);
    menu->popup(event->globalPos());
    event->accept();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == savebut_ && event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (isEnterKey(key)) {
            if (!key.isAutoRepeat()) savebut_->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::Room_Click(int kk) {
    if (!session_) return;
    label1_->setText(QString::fromStdString(roomInformation(session_->model(), kk)));
    announcer_->announce(QString::fromStdString(roomInformationInWords(session_->model(), kk)));
}

void Form2::Form_Unload() {
    // The session refers to the files, so it goes first.
    session_.reset();
    rom_.reset();
    text_.reset();
}

void Form2::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

}  // namespace labyrinth::window
