// labyrinth-writer: asks for the cartridge image's name, opens it and
// tgltext.tgl in the current folder, and shows the window whose button
// writes a new labyrinth into the image in place.

#include <QApplication>
#include <csignal>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/startup.h"
#include "labyrinth/random.h"
#include "window/form2.h"

int main(int argc, char** argv) {
    using namespace labyrinth;
    // The window prints a line per write; a reader that went away must not
    // end the program (the write fails quietly instead).
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
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
    if (loaded.outcome != app::LoadOutcome::Opened) return loaded.exitCode();

    window::Form2 form(std::move(loaded.romFile), std::move(loaded.textFile),
                       std::make_unique<ClockSeedSource>());
    form.show();
    return QApplication::exec();
}
