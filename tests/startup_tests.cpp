// Start-up of the window program: the prompt, the empty answer, opening the
// two files, and every bad start ending with a message and nothing touched.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "app/startup.h"
#include "window/form2.h"
#include "writer/record_format.h"
#include "writer/verify.h"
#include "qt_test_app.h"
#include "test_support.h"

namespace labyrinth::app {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Every entry of a folder with its bytes (anything but a regular file as its
// type, a file this process may not read as "<unreadable>"), to show that
// start-up created, removed and changed nothing.
std::map<std::string, std::vector<std::uint8_t>> snapshot(const fs::path& folder) {
    std::map<std::string, std::vector<std::uint8_t>> entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const auto type = entry.symlink_status().type();
        if (type != fs::file_type::regular) {
            // A folder, a link, a FIFO (which must never be opened to read here).
            const std::string marker = "<" + std::to_string(static_cast<int>(type)) + ">";
            entries[name] = {marker.begin(), marker.end()};
        } else {
            try {
                entries[name] = testing::readFile(entry.path());
            } catch (const std::runtime_error&) {
                const std::string marker = "<unreadable>";
                entries[name] = {marker.begin(), marker.end()};
            }
        }
    }
    return entries;
}

// A prompt that answers from a script and remembers what it was asked.
struct ScriptedPrompt {
    explicit ScriptedPrompt(QString typed = {}) : answer(std::move(typed)) {}
    QString answer;
    int calls = 0;
    QString label, title;
    Prompt prompt() {
        return [this](const QString& l, const QString& t) {
            ++calls;
            label = l;
            title = t;
            return answer;
        };
    }
};

struct Reports {
    QStringList titles, messages;
    Reporter reporter() {
        return [this](const QString& title, const QString& message) {
            titles << title;
            messages << message;
        };
    }
};

// --- The prompt ---------------------------------------------------------------

struct DialogRow {
    const char* what;
    bool accept;
    QString typed;
    QString answer;
};

TEST(StartupPrompt, AsksForTheImageNameInAModalDialog) {
    const DialogRow table[] = {
        {"cancelled", false, QStringLiteral("game"), QString()},
        {"confirmed empty", true, QString(), QString()},
        {"a name", true, QStringLiteral("game"), QStringLiteral("game")},
        {"a name with a leading blank, kept as typed", true, QStringLiteral(" Game"), QStringLiteral(" Game")},
    };
    for (const auto& row : table) {
        QString label, title, initial;
        bool modal = false;
        QTimer driver;
        // Answer the dialog from inside its own event loop, once it is up.
        QObject::connect(&driver, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            driver.stop();
            label = dialog->labelText();
            title = dialog->windowTitle();
            initial = dialog->textValue();
            modal = dialog->isModal();
            dialog->setTextValue(row.typed);
            if (row.accept)
                dialog->accept();
            else
                dialog->reject();
        });
        driver.start(5);
        const QString answer = askRomName(QString::fromUtf8(promptText), QStringLiteral("Vrelmak - Dunmere"));
        EXPECT_EQ(label, QStringLiteral("Enter the name of your Guardian Legend ROM")) << row.what;
        EXPECT_EQ(title, QStringLiteral("Vrelmak - Dunmere")) << row.what;
        EXPECT_TRUE(initial.isEmpty()) << row.what;
        EXPECT_TRUE(modal) << row.what;
        EXPECT_EQ(answer, row.answer) << row.what;
    }
}

TEST(StartupLoad, EmptyAnswerEndsQuietlyWithNothingCreated) {
    TempDir dir;
    ScriptedPrompt prompt;  // answers with the empty text, as a cancel does
    Reports reports;
    const LoadResult result = Form_Load(dir.path(), prompt.prompt(), reports.reporter());
    EXPECT_EQ(prompt.calls, 1);
    EXPECT_EQ(prompt.label, QStringLiteral("Enter the name of your Guardian Legend ROM"));
    EXPECT_EQ(prompt.title, QStringLiteral("Vrelmak - Dunmere"));
    EXPECT_EQ(result.outcome, LoadOutcome::Cancelled);
    EXPECT_EQ(result.exitCode(), 0);
    EXPECT_FALSE(result.romFile || result.textFile);
    EXPECT_TRUE(reports.messages.isEmpty());
    EXPECT_TRUE(fs::is_empty(dir.path())) << "nothing may be created";
}

// --- Opening ------------------------------------------------------------------

TEST(StartupLoad, OpensTheTypedImageAndTheTextFileBesideIt) {
    // 251 letters and ".nes": 255 bytes, the usual limit of a file name.
    const std::string longName(251, 'n');
    const std::string names[] = {"game", " game", "Guardian Legend (U)", "game.v2", "Légende ガーディアン", longName};
    for (const std::string& name : names) {
        TempDir dir;
        testing::writeFile(dir / (std::string(name) + ".nes"), testing::syntheticImage());
        testing::writeFile(dir / "tgltext.tgl", testing::syntheticText());
        const auto before = snapshot(dir.path());
        ScriptedPrompt prompt(QString::fromStdString(name));
        Reports reports;

        LoadResult result = Form_Load(dir.path(), prompt.prompt(), reports.reporter());

        ASSERT_EQ(result.outcome, LoadOutcome::Opened) << name << ": " << result.error;
        EXPECT_TRUE(reports.messages.isEmpty()) << name;
        EXPECT_EQ(result.romPath, dir.path().string() + "/" + name + ".nes");
        ASSERT_TRUE(result.romFile && result.textFile) << name;
        EXPECT_EQ(result.romFile->name(), result.romPath);
        EXPECT_EQ(result.textFile->name(), dir.path().string() + "/tgltext.tgl");
        EXPECT_TRUE(result.romFile->isOpen() && result.textFile->isOpen()) << name;
        EXPECT_EQ(snapshot(dir.path()), before) << name << ": start-up must not change any file";
    }
}

// --- Bad start-ups ------------------------------------------------------------

struct BadStart {
    const char* what;
    std::function<void(const TempDir&)> lay;  // what the folder holds
    const char* typed;
    std::vector<std::string> says;  // parts of the message, paths relative to the folder
    bool unprivileged = false;      // permission bits do not stop root: tried as nobody
    const char* streamOn = nullptr; // "1 game.nes": standard output opened on that file, as `1<>game.nes` does
};

void image(const TempDir& dir) { testing::writeFile(dir / "game.nes", testing::syntheticImage()); }
void text(const TempDir& dir) { testing::writeFile(dir / "tgltext.tgl", testing::syntheticText()); }

TEST(StartupLoad, BadStartsAreReportedAndTouchNothing) {
    const BadStart table[] = {
        {"image missing",
         [](const TempDir& d) { text(d); },
         "game",
         {"/game.nes", "No such file", "folder the program was started in"}},
        {"typed with its extension",
         [](const TempDir& d) { image(d), text(d); },
         "game.nes",
         {"/game.nes.nes", "No such file", "without its extension", "type game."}},
        {"wrong magic",
         [](const TempDir& d) {
             auto bytes = testing::syntheticImage();
             bytes[3] = 0x1B;  // "NES" then 0x1B instead of 0x1A
             testing::writeFile(d / "game.nes", bytes);
             text(d);
         },
         "game",
         {"/game.nes", "not an NES cartridge image"}},
        {"image too short",
         [](const TempDir& d) {
             testing::writeFile(d / "game.nes", testing::syntheticImage(88069));  // one byte short of the text block's end
             text(d);
         },
         "game",
         {"/game.nes", "88069 bytes", "88070"}},
        {"empty image",
         [](const TempDir& d) {
             testing::writeFile(d / "game.nes", {});
             text(d);
         },
         "game",
         {"/game.nes", "0 bytes"}},
        {"image is a folder",
         [](const TempDir& d) {
             fs::create_directory(d / "game.nes");
             text(d);
         },
         "game",
         {"/game.nes", "is a folder"}},
        {"image without write permission",
         [](const TempDir& d) {
             image(d), text(d);
             fs::permissions(d / "game.nes", fs::perms::owner_read | fs::perms::group_read);
         },
         "game",
         {"/game.nes", ::geteuid() == 0 ? "is marked read-only" : "Permission denied"}},
        {"image without write permission, unprivileged",
         [](const TempDir& d) {
             image(d), text(d);
             testing::openToEveryone(d.path());
             fs::permissions(d / "game.nes", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         },
         "game",
         {"/game.nes", "Permission denied"},
         true},
        {"image without read permission",
         [](const TempDir& d) {
             image(d), text(d);
             testing::openToEveryone(d.path());
             fs::permissions(d / "game.nes", fs::perms::owner_write | fs::perms::others_write);
         },
         "game",
         {"/game.nes", "Permission denied"},
         true},
        {"name longer than the file system allows",
         [](const TempDir& d) { text(d); },
         "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
         "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
         "nnnnnnnnnnnnnnnnnnnnnnnnnn",
         {"File name too long"}},
        {"text file missing", [](const TempDir& d) { image(d); }, "game", {"/tgltext.tgl", "No such file", "beside"}},
        {"text file empty",
         [](const TempDir& d) {
             image(d);
             testing::writeFile(d / "tgltext.tgl", {});
         },
         "game",
         {"/tgltext.tgl", "holds 0 bytes"}},
        {"text file too short",
         [](const TempDir& d) {
             image(d);
             testing::writeFile(d / "tgltext.tgl", testing::syntheticText(445));
         },
         "game",
         {"/tgltext.tgl", "445 bytes", "446"}},
        {"text file is a folder",
         [](const TempDir& d) {
             image(d);
             fs::create_directory(d / "tgltext.tgl");
         },
         "game",
         {"/tgltext.tgl", "is a folder"}},
        {"text file unreadable",
         [](const TempDir& d) {
             image(d), text(d);
             testing::openToEveryone(d.path());
             fs::permissions(d / "tgltext.tgl", fs::perms::none);
         },
         "game",
         {"/tgltext.tgl", "Permission denied"},
         true},
        {"image is a FIFO",
         [](const TempDir& d) {
             ASSERT_EQ(::mkfifo((d / "game.nes").c_str(), 0666), 0);
             text(d);
         },
         "game",
         {"/game.nes", "is not a regular file (it is a FIFO)"}},
        {"text file is a FIFO",
         [](const TempDir& d) {
             image(d);
             ASSERT_EQ(::mkfifo((d / "tgltext.tgl").c_str(), 0666), 0);
         },
         "game",
         {"/tgltext.tgl", "is not a regular file (it is a FIFO)"}},
        {"image is a link to a FIFO",
         [](const TempDir& d) {
             ASSERT_EQ(::mkfifo((d / "pipe").c_str(), 0666), 0);
             fs::create_symlink("pipe", d / "game.nes");
             text(d);
         },
         "game",
         {"/game.nes", "is not a regular file"}},
        {"image carries a trainer",
         [](const TempDir& d) {
             auto bytes = testing::syntheticImage();
             bytes[static_cast<std::size_t>(format::headerFlagsOffset)] |= format::trainerFlag;
             testing::writeFile(d / "game.nes", bytes);
             text(d);
         },
         "game",
         {"/game.nes", "carries a 512-byte trainer"}},
        {"text file is a link to the image",
         [](const TempDir& d) {
             image(d);
             fs::create_symlink("game.nes", d / "tgltext.tgl");
         },
         "game",
         {"/tgltext.tgl", "is a cartridge image, not the game's text file"}},
        {"name reaching into another folder",
         [](const TempDir& d) {
             fs::create_directory(d / "sub");
             testing::writeFile(d / "sub" / "game.nes", testing::syntheticImage());
             text(d);
         },
         "sub/game",
         {"sub/game", "without a folder"}},
        // The seed line and messages must never land in either file.
        {"standard output is the image", [](const TempDir& d) { image(d), text(d); }, "game",
         {"standard output is the same file as ", "/game.nes, which this command reads"}, false, "1 game.nes"},
        {"standard error is the text file", [](const TempDir& d) { image(d), text(d); }, "game",
         {"standard error is the same file as ", "/tgltext.tgl"}, false, "2 tgltext.tgl"},
    };
    for (const auto& row : table) {
        TempDir dir;
        row.lay(dir);
        const auto before = snapshot(dir.path());

        // What start-up reported, checked in this process or, for the rows
        // that need an unprivileged user, in a child that became one.
        auto load = [&]() -> std::string {
            ScriptedPrompt prompt(QString::fromUtf8(row.typed));
            Reports reports;
            LoadResult result = Form_Load(dir.path(), prompt.prompt(), reports.reporter());
            if (result.outcome != LoadOutcome::Failed || result.exitCode() == 0) return "not failed";
            if (result.romFile || result.textFile) return "a file stayed open";
            if (reports.messages.size() != 1) return "reported " + std::to_string(reports.messages.size()) + " times";
            if (reports.titles[0] != QStringLiteral("Vrelmak - Dunmere")) return "wrong title";
            const std::string message = reports.messages[0].toStdString();
            if (message != result.error) return "the report differs from the error";
            return "reported: " + message;
        };
        std::string outcome;
        if (row.streamOn != nullptr) {
            // The stream is put back afterwards, wherever start-up moved it.
            const int fd = row.streamOn[0] - '0';
            const int saved = ::dup(fd);
            const int file = ::open((dir / (row.streamOn + 2)).c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
            ASSERT_TRUE(saved >= 0 && file >= 0 && ::dup2(file, fd) == fd) << row.what;
            ::close(file);
            outcome = load();
            ::dup2(saved, fd);
            ::close(saved);
        } else if (row.unprivileged) {
            const auto child = testing::inUnprivilegedChild(load);
            ASSERT_TRUE(child) << row.what << ": the test could not run as an unprivileged user";
            outcome = *child;
        } else {
            outcome = load();
        }
        ASSERT_EQ(outcome.rfind("reported: ", 0), 0U) << row.what << ": " << outcome;
        const std::string message = outcome.substr(std::string("reported: ").size());
        for (const std::string& part : row.says) {
            const std::string expected = part.front() == '/' ? dir.path().string() + part : part;
            EXPECT_NE(message.find(expected), std::string::npos) << row.what << ": \"" << message << "\" lacks \""
                                                                 << expected << '"';
        }
        EXPECT_EQ(snapshot(dir.path()), before) << row.what << ": nothing may be created or changed";
    }
}

TEST(StartupGuard, AnythingAnEventHandlerThrowsBecomesAMessageNotAnAbort) {
    Reports reports;
    EXPECT_TRUE(deliverGuarded([] { return true; }, QStringLiteral("t"), reports.reporter()));
    EXPECT_TRUE(reports.messages.empty());

    const struct {
        const char* what;
        std::function<bool()> deliver;
        const char* says;
    } rows[] = {
        {"an exception", [] () -> bool { throw std::runtime_error("the disk went away"); }, "the disk went away"},
        {"no memory", [] () -> bool { throw std::bad_alloc(); }, "out of memory"},
        {"anything else", [] () -> bool { throw 42; }, "unknown failure"},
    };
    for (const auto& row : rows) {
        Reports seen;
        EXPECT_FALSE(deliverGuarded(row.deliver, QStringLiteral("Vrelmak - Dunmere"), seen.reporter())) << row.what;
        ASSERT_EQ(seen.messages.size(), 1) << row.what;
        EXPECT_EQ(seen.titles[0], QStringLiteral("Vrelmak - Dunmere"));
        EXPECT_TRUE(seen.messages[0].contains(QString::fromUtf8(row.says))) << seen.messages[0].toStdString();
    }
}

// SIGINT, SIGTERM and SIGHUP close the window as the user would: a click in
// progress completes first, and the image holds its whole labyrinth.
TEST(StartupSignals, ASignalDuringAClickLetsItFinishThenClosesTheWindow) {
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        testing::GameFolder folder;
        auto image = DiskFile::open((folder.dir / "game.nes").string(), DiskFile::Mode::ReadWrite);
        auto text = DiskFile::open((folder.dir / "tgltext.tgl").string(), DiskFile::Mode::ReadOnly);
        ASSERT_TRUE(image.ok() && text.ok());
        testing::FaultyFile::Faults faults;
        faults.duringFlush = [sig] { ::raise(sig); };
        window::Form2 form(std::make_unique<testing::FaultyFile>(*image.value(), faults), std::move(text.value()),
                           std::make_unique<FixedSeedSource>(4), [](QWidget*, const QString&) {});
        const CloseOnSignal closer(form);
        form.show();
        ::testing::internal::CaptureStdout();
        form.savebut()->click();
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(form.Label1()->text(), QStringLiteral("Done.")) << sig;
        EXPECT_TRUE(form.filesOpen()) << "nothing is closed during the click";
        for (int i = 0; i < 100 && form.filesOpen(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_FALSE(form.filesOpen()) << sig;
        EXPECT_FALSE(form.isVisible()) << sig;
        EXPECT_EQ(closer.caught(), sig);
        const auto written = testing::readFile(folder.dir / "game.nes");
        EXPECT_TRUE(verifyImage({written, testing::syntheticText(), std::nullopt}).empty()) << sig;
    }
}

TEST(StartupCommandLine, VersionAndHelpAreAnsweredAndToolkitOptionsLeftAlone) {
    const char* version[] = {"labyrinth-writer", "--version"};
    const auto v = answerCommandLine(2, version);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->exitCode, 0);
    EXPECT_EQ(v->text.rfind("labyrinth-writer ", 0), 0U) << v->text;
    EXPECT_TRUE(v->text.ends_with(", generator revision 1\n")) << v->text;
    EXPECT_EQ(v->text.back(), '\n');
    const char* help[] = {"labyrinth-writer", "--help"};
    const auto h = answerCommandLine(2, help);
    ASSERT_TRUE(h);
    EXPECT_NE(h->text.find("tgltext.tgl"), std::string::npos);
    const char* none[] = {"labyrinth-writer"};
    EXPECT_FALSE(answerCommandLine(1, none));
    const char* platform[] = {"labyrinth-writer", "-platform", "offscreen"};
    EXPECT_FALSE(answerCommandLine(3, platform));
}

TEST(StartupProgram, EndsWithAMessageAndAStatusNeverAnAbort) {
    TempDir dir;
    const struct {
        const char* what;
        std::vector<std::string> prefix;  // the environment the program sees
        std::vector<std::string> args;
        int exit;
        const char* says;
    } rows[] = {
        {"--version", {}, {"--version"}, 0, "labyrinth-writer 0."},
        {"--help", {}, {"--help"}, 0, "tgltext.tgl"},
        {"no display to show the window on",
         {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb"}, {}, 1,
         "labyrinth-writer: the window cannot be shown"},
    };
    for (const auto& row : rows) {
        const auto run = testing::runCommand(LABYRINTH_WRITER, dir.path(), row.args, row.prefix);
        EXPECT_EQ(run.exit, row.exit) << row.what << ": " << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(row.says), std::string::npos) << row.what << ": " << run.out << run.err;
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << "nothing is created";
}

}  // namespace
}  // namespace labyrinth::app
