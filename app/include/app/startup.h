#pragma once
// Start-up of the window program: ask for the image's name, open the image
// and tgltext.tgl in the working folder, and check both before the window
// shows. Nothing here creates, truncates or writes a file.

#include <QObject>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "writer/image_file.h"

namespace labyrinth::app {

/// The start-up prompt's text.
inline constexpr const char* promptText = "Enter the name of your Guardian Legend ROM";
/// The extension appended to the typed name.
inline constexpr const char* imageExtension = ".nes";

/// Asks for the image's name with `label` and `title`; an empty text means
/// the user entered nothing or cancelled.
using Prompt = std::function<QString(const QString& label, const QString& title)>;
/// Tells the user why start-up failed; `title` is the window's caption.
using Reporter = std::function<void(const QString& title, const QString& message)>;

/// The modal input dialog, with an empty default answer.
QString askRomName(const QString& label, const QString& title);
/// A modal message box.
void showStartupError(const QString& title, const QString& message);

enum class LoadOutcome {
    Opened,     ///< both files are open and fit for a labyrinth
    Cancelled,  ///< empty answer: end quietly, nothing touched
    Failed,     ///< reported; end with a failure status, nothing touched
};

struct LoadResult {
    LoadOutcome outcome = LoadOutcome::Cancelled;
    std::string romPath;                ///< appDir + the typed name + ".nes"
    std::unique_ptr<DiskFile> romFile;  ///< open for reading and writing
    std::unique_ptr<DiskFile> textFile; ///< open for reading; it is never written
    std::string error;                  ///< the reported message, when Failed

    /// The program's exit status when it ends here: 0 after a cancel.
    int exitCode() const { return outcome == LoadOutcome::Failed ? 1 : 0; }
};

/// Runs the delivery of one event. Whatever it throws is reported through
/// `report` (with `title`) and ends the event loop with status 1, so that no
/// failure ends the program without a message.
bool deliverGuarded(const std::function<bool()>& deliver, const QString& title, const Reporter& report);

/// What the program says to `--version` and `--help` before any window
/// exists (so that they work without a display): the text and the exit
/// status, or nothing for an ordinary start (other arguments are the
/// toolkit's, such as -platform).
struct CommandLineAnswer {
    std::string text;
    int exitCode = 0;
};
std::optional<CommandLineAnswer> answerCommandLine(int argc, const char* const* argv);

/// SIGINT, SIGTERM and SIGHUP close `window` as the user would: the click in
/// progress completes first, as the handler only tells the event loop, which
/// reads it once the click has returned. One per program; the handlers stay
/// until it goes, and are then restored.
class CloseOnSignal final : public QObject {
public:
    explicit CloseOnSignal(QWidget& window);
    ~CloseOnSignal() override;
    CloseOnSignal(const CloseOnSignal&) = delete;
    CloseOnSignal& operator=(const CloseOnSignal&) = delete;

    /// The signal that closed the window, 0 while none came. The program
    /// ends with that signal's usual status once the window is closed.
    int caught() const { return caught_; }

private:
    QWidget& window_;
    int caught_ = 0;
};

/// `Form_Load`: prompts, then opens `appDir` + name + ".nes" and
/// `appDir` + "tgltext.tgl", where `appDir` is `workingDir` and a separator.
/// A missing or unfit file, a folder in place of a file or a refused open is
/// reported through `report` naming the file and the problem; so is a name
/// that would leave the working folder.
LoadResult Form_Load(const std::filesystem::path& workingDir, const Prompt& prompt, const Reporter& report);

}  // namespace labyrinth::app
