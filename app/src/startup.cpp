#include "app/startup.h"

#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <system_error>

#include "window/form2.h"
#include "writer/driver.h"
#include "writer/file_plan.h"
#include "writer/record_format.h"
#include "arguments/arguments.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <new>

namespace labyrinth::app {
namespace {

namespace fs = std::filesystem;

bool missing(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() == fs::file_type::not_found;
}

// Why a typed name cannot be used, or empty when it can. The image must lie
// in the working folder, so a name that walks into another folder is refused
// rather than followed.
QString nameProblem(const QString& romName) {
    if (romName.contains(QLatin1Char('/')) || romName.contains(QChar(u'\0')))
        return QStringLiteral("\"%1\" is not the name of a file in this folder: type the image's name alone, "
                              "without a folder.")
            .arg(romName);
    return {};
}

// The pipe from the signal handler to the event loop: the handler may only
// write a byte, and the loop does the rest.
int signalPipe[2] = {-1, -1};
constexpr std::array<int, 3> closingSignals{SIGINT, SIGTERM, SIGHUP};

extern "C" void tellEventLoop(int sig) {
    const auto byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

CloseOnSignal::CloseOnSignal(QWidget& window) : window_(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1)
            if (caught_ == 0) caught_ = byte;
        if (caught_ != 0) window_.close();
    });
    struct sigaction action {};
    action.sa_handler = tellEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : closingSignals) ::sigaction(sig, &action, nullptr);
}

CloseOnSignal::~CloseOnSignal() {
    for (const int sig : closingSignals) std::signal(sig, SIG_DFL);
    for (int& fd : signalPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

QString askRomName(const QString& label, const QString& title) {
    bool accepted = false;
    const QString answer = QInputDialog::getText(nullptr, title, label, QLineEdit::Normal, QString(), &accepted);
    return accepted ? answer : QString();
}

void showStartupError(const QString& title, const QString& message) {
    QMessageBox::critical(nullptr, title, message);
}

bool deliverGuarded(const std::function<bool()>& deliver, const QString& title, const Reporter& report) {
    QString what;
    try {
        return deliver();
    } catch (const std::bad_alloc&) {
        what = QStringLiteral("out of memory");
    } catch (const std::exception& e) {
        what = QString::fromLocal8Bit(e.what());
    } catch (...) {
        what = QStringLiteral("an unknown failure");
    }
    report(title, QStringLiteral("The program has to stop: %1. Your image keeps what the last \"Done.\" wrote.")
                      .arg(what));
    QCoreApplication::exit(1);
    return false;
}

std::optional<CommandLineAnswer> answerCommandLine(int argc, const char* const* argv) {
    if (argc <= 1) return std::nullopt;
    const std::string argument = argv[1];
    if (argument == "--version") return CommandLineAnswer{versionLine("labyrinth-writer") + "\n", 0};
    const std::string usage =
        "Usage: labyrinth-writer\n"
        "Start it in the folder that holds your cartridge image (.nes) and tgltext.tgl. It asks for the\n"
        "image's name (without .nes) and shows a window whose green button \"Write to TGL\" writes a new\n"
        "labyrinth into the image in place. For seeds, copies, maps and batch runs, see labyrinth-cli.\n"
        "  --help     show this text\n"
        "  --version  show the version\n";
    if (argument == "--help" || argument == "-h") return CommandLineAnswer{usage, 0};
    return std::nullopt;  // the toolkit's own options, such as -platform, go to the toolkit
}

LoadResult Form_Load(const fs::path& workingDir, const Prompt& prompt, const Reporter& report) {
    LoadResult result;
    const QString caption = QString::fromUtf8(window::windowCaption);
    auto fail = [&](std::string message) {
        result.romFile.reset();
        result.textFile.reset();
        result.outcome = LoadOutcome::Failed;
        result.error = std::move(message);
        report(caption, QString::fromStdString(result.error));
        return std::move(result);
    };

    // The separator goes on unconditionally; in the root folder the doubled
    // one still names the same file.
    const std::string appDir = workingDir.string() + '/';
    const QString romName = prompt(QString::fromUtf8(promptText), caption);
    if (romName.isEmpty()) {
        result.outcome = LoadOutcome::Cancelled;
        return result;
    }
    if (const QString problem = nameProblem(romName); !problem.isEmpty()) return fail(problem.toStdString());

    result.romPath = appDir + QFile::encodeName(romName).toStdString() + imageExtension;
    auto rom = DiskFile::open(result.romPath, DiskFile::Mode::ReadWrite);
    if (!rom) {
        std::string message = rom.error().message;
        if (missing(result.romPath)) {
            if (romName.endsWith(QLatin1String(imageExtension), Qt::CaseInsensitive))
                message += ".\nType the name without its extension: the program adds \".nes\" itself, so for " +
                           romName.toStdString() + " type " + romName.chopped(4).toStdString() + ".";
            else
                message += ".\nThe image must lie in the folder the program was started in, " +
                           workingDir.string() + ".";
        }
        return fail(message);
    }
    result.romFile = std::move(rom.value());
    if (const Status fit = checkImage(*result.romFile); !fit) return fail(fit.error().message);

    // The text file is only ever read, so it is opened read-only.
    const std::string textPath = appDir + format::textFileName;
    auto text = DiskFile::open(textPath, DiskFile::Mode::ReadOnly);
    if (!text) {
        std::string message = text.error().message;
        if (missing(textPath)) message += ".\nIt must lie beside the image, in " + workingDir.string() + ".";
        return fail(message);
    }
    result.textFile = std::move(text.value());
    if (const Status fit = checkTextFile(*result.textFile); !fit) return fail(fit.error().message);
    // The seed line and messages go to standard output and error: neither
    // may be one of the two files, as `1<>game.nes` would make it.
    const std::array<std::string, 2> files{result.romPath, textPath};
    if (const Status streams = checkOutputs({}, files, false); !streams) return fail(streams.error().message);

    result.outcome = LoadOutcome::Opened;
    return result;
}

}  // namespace labyrinth::app
