// labyrinth-writer: asks for the cartridge image's name, opens it and
// tgltext.tgl in the current folder, and shows the window whose button
// writes a new labyrinth into the image in place.

#include <unistd.h>

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "app/startup.h"
#include "labyrinth/random.h"
#include "window/form2.h"
#include "writer/standard_streams.h"

namespace {

// Qt cannot carry an exception through its event loop; anything an event
// handler throws ends here, with a message box instead of an abort.
class GuardedApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        return labyrinth::app::deliverGuarded([&] { return QApplication::notify(receiver, event); },
                                              QString::fromUtf8(labyrinth::window::windowCaption),
                                              labyrinth::app::showStartupError);
    }
};

// Qt ends the program with an abort when it cannot go on (no display to
// show the window on, most often); the user gets its reason and a failure
// status instead. Everything else Qt says goes where it always goes, once
// start-up has made sure that standard error is not the image or the text
// file (as `2>>game.nes` would make it); until then it is held back.
QtMessageHandler qtDefaultHandler = nullptr;
struct HeldMessage {
    QtMsgType type;
    QString text;
};
std::vector<HeldMessage> heldMessages;
bool holdingMessages = true;

void releaseHeldMessages() {
    holdingMessages = false;
    for (const HeldMessage& held : heldMessages)
        if (qtDefaultHandler != nullptr) qtDefaultHandler(held.type, QMessageLogContext(), held.text);
    heldMessages.clear();
}

void reportFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (holdingMessages) {
            heldMessages.push_back({type, message});
        } else if (qtDefaultHandler != nullptr) {
            qtDefaultHandler(type, context, message);
        }
        return;
    }
    std::fprintf(stderr, "labyrinth-writer: the window cannot be shown: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

int run(int argc, char** argv) {
    using namespace labyrinth;
    // The window prints a line per write; a reader that went away must not
    // end the program (the write fails quietly instead).
    std::signal(SIGPIPE, SIG_IGN);
    GuardedApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("labyrinth-writer"));
    const QString caption = QString::fromUtf8(window::windowCaption);

    std::error_code ec;
    const std::filesystem::path workingDir = std::filesystem::current_path(ec);
    if (ec) {
        app::showStartupError(caption, QStringLiteral("Cannot tell which folder this is: %1")
                                           .arg(QString::fromStdString(ec.message())));
        return 1;
    }

    app::LoadResult loaded = app::Form_Load(workingDir, app::askRomName, app::showStartupError);
    releaseHeldMessages();
    if (loaded.outcome != app::LoadOutcome::Opened) return loaded.exitCode();

    window::Form2 form(std::move(loaded.romFile), std::move(loaded.textFile),
                       std::make_unique<ClockSeedSource>());
    const app::CloseOnSignal closer(form);
    form.show();
    const int status = QApplication::exec();
    // Closed by a signal: the files are closed, and the program ends as that
    // signal asks, so that whoever sent it sees the usual status.
    if (const int sig = closer.caught(); sig != 0) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything opens a file or the display: neither the image nor the
    // window system's connection may become standard input, output or error,
    // where the seed line or a message would be written into it.
    const labyrinth::StandardStreams streams = labyrinth::openStandardStreams();
    if (!streams.ready) return 1;
    // The seed line goes to standard output; with that closed, it is told on
    // standard error instead, and messages the other way round.
    if (streams.outputClosed && !streams.errorClosed) ::dup2(STDERR_FILENO, STDOUT_FILENO);
    if (streams.errorClosed && !streams.outputClosed) ::dup2(STDOUT_FILENO, STDERR_FILENO);
    // --version and --help need no display, so they are answered first.
    if (const auto answer = labyrinth::app::answerCommandLine(argc, argv)) {
        std::fputs(answer->text.c_str(), answer->exitCode == 0 ? stdout : stderr);
        return std::fflush(stdout) == 0 ? answer->exitCode : 1;
    }
    qtDefaultHandler = qInstallMessageHandler(reportFatal);
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "labyrinth-writer: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "labyrinth-writer: unexpected failure\n");
    }
    return 1;
}
