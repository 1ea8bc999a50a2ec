#pragma once
// `Form2`, the main window: the "Write to TGL" button, the status line, the
// credit line, the link list and the four room cells, at fixed positions
// given in twips. It owns the session (model, writer state, random source)
// and the two open files; its handlers call into the core and show the
// outcome, which a screen reader also hears.

#include <QWidget>
#include <functional>
#include <memory>

#include "writer/driver.h"
#include "writer/image_file.h"

class QAction;
class QLabel;
class QListWidget;
class QPushButton;

namespace labyrinth::window {

class Announcer;
class RoomCell;

/// The caption of the main window, also the title of the start-up prompt.
inline constexpr const char* windowCaption = "Vrelmak - Dunmere";
/// The status line before the first click.
inline constexpr const char* initialStatus = "Click on the button above to create a new Labyrinth.";
/// The credit line.
inline constexpr const char* creditText = "by Vrelmak";
/// Indices of the `Room` control array, in creation (and tab) order.
inline constexpr int roomIndices[] = {575, 574, 573, 572};
/// The accessible name of `Conlist`.
inline constexpr const char* conlistName = "Area links";
/// The caption of the action that copies the seed line (Ctrl+C, context menu).
inline constexpr const char* copySeedCaption = "Copy Seed and Code";
/// What copying says before any write, or after one that failed.
inline constexpr const char* nothingToCopy = "No seed to copy yet: write a labyrinth first.";

/// Shows a failure to the user; `parent` is the window it concerns. The
/// default shows a message box; tests hand in a recorder.
using ErrorReporter = std::function<void(QWidget* parent, const QString& message)>;
void showErrorBox(QWidget* parent, const QString& message);

class Form2 final : public QWidget {
    Q_OBJECT
public:
    /// Takes over the two open files (already checked by the start-up step)
    /// and the source of attempt seeds, none of them null; all three live
    /// until the window is closed or destroyed.
    Form2(std::unique_ptr<RandomAccessFile> rom, std::unique_ptr<RandomAccessFile> text,
          std::unique_ptr<SeedSource> seeds, ErrorReporter report = showErrorBox, QWidget* parent = nullptr);
    /// `Form_Terminate`: closes whatever is still open.
    ~Form2() override;

    /// The button's job: generate and write until accepted, then the text
    /// block and "Done."; a failure goes to the reporter and leaves the status
    /// line on "Failed.". After a write, prints "Seed: N  Code: w w w w" (the
    /// click's master seed and the seed code of what was written) as one
    /// line on standard output and shows it as the status line's tooltip and
    /// accessible description. The outcome ("Done." or "Failed.") is
    /// announced to screen readers. Does nothing once the files are closed.
    void savebut_Click();
    /// Shows the room information of entry `kk` in the status line, and
    /// announces it in words.
    void Room_Click(int kk);
    /// Ctrl+C and the context menu: copies the seed line of the last write to
    /// the clipboard and says so; before any write (or after a failed one)
    /// copies nothing and says that instead.
    void copySeed();
    /// Closes both files; the window then does nothing more with them.
    void Form_Unload();

    bool filesOpen() const { return session_ != nullptr; }
    /// The session of the open files; null once they are closed.
    const Session* session() const { return session_.get(); }
    /// What the last click produced (attempts, seed, the accepted stream).
    const ClickResult& lastClick() const { return lastClick_; }

    QPushButton* savebut() const { return savebut_; }
    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QListWidget* Conlist() const { return conlist_; }
    /// The `Room` element with this index, or null when there is none.
    RoomCell* Room(int index) const;

    /// How many repaints the driver asked for, and how many of them drew.
    int repaintsAsked() const;
    int repaintsDrawn() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    /// Enter on the focused `savebut` presses it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// A menu with the copy action, anywhere in the window.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class Host;

    // Shows `line` as the status line's tooltip and description, and keeps
    // it for copying; an empty line takes them back.
    void setSeedLine(const QString& line);
    // Says `message` beside the status line and to screen readers.
    void tell(const QString& message);

    std::unique_ptr<RandomAccessFile> rom_;
    std::unique_ptr<RandomAccessFile> text_;
    std::unique_ptr<SeedSource> seeds_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<Host> host_;
    ErrorReporter report_;
    ClickResult lastClick_;
    QString seedLine_;

    QListWidget* conlist_ = nullptr;
    QPushButton* savebut_ = nullptr;
    RoomCell* rooms_[4] = {};
    QLabel* label2_ = nullptr;
    QLabel* label1_ = nullptr;
    QAction* copySeed_ = nullptr;
    Announcer* announcer_ = nullptr;
};

}  // namespace labyrinth::window
