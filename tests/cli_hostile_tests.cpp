// labyrinth-cli tried as a hostile user would: outputs that name devices,
// FIFOs, links, inputs and existing files; inputs that are FIFOs; odd names
// and numbers; a full standard output. Every row checks the exit status, a
// one-line message that names the file, and that nothing in the folder
// changed but what the row expects.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "cli_support.h"
#include "writer/decoder.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;

const bool root = ::geteuid() == 0;

// What a folder holds: per name its type, mode, and for regular files the
// bytes (for a link, where it leads), so that any change shows.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const fs::path& folder) {
    Snapshot entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        std::string what = std::to_string(info.st_mode) + ":";
        if (S_ISREG(info.st_mode)) {
            const Bytes bytes = readFile(entry.path());
            what += std::string(bytes.begin(), bytes.end());
        } else if (S_ISLNK(info.st_mode)) {
            what += fs::read_symlink(entry.path()).string();
        } else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
            what += std::to_string(info.st_rdev);
        }
        entries[entry.path().filename().string()] = what;
    }
    return entries;
}

// The names whose entry differs between two snapshots (added, removed or changed).
std::set<std::string> changed(const Snapshot& before, const Snapshot& after) {
    std::set<std::string> names;
    for (const auto& [name, what] : before)
        if (!after.contains(name) || after.at(name) != what) names.insert(name);
    for (const auto& [name, what] : after)
        if (!before.contains(name)) names.insert(name);
    return names;
}

// A folder as a player keeps it: an image, the text file, another file,
// and an image that already holds a labyrinth.
struct Folder {
    Folder() {
        writeFile(dir / "game.nes", testing::syntheticImage());
        writeFile(dir / "tgltext.tgl", testing::syntheticText());
        writeFile(dir / "other.nes", Bytes(100, 7));
        writeFile(dir / "written.nes", testing::syntheticImage());
        run({"write", "written.nes", "--seed", "5"});
    }
    // Every command gets a time limit: a command that waits on a FIFO fails
    // the row instead of hanging the suite.
    CommandRun run(const std::vector<std::string>& args, const std::string& redirect = "") const {
        std::vector<std::string> prefix{"timeout", "20"};
        if (!redirect.empty()) prefix = {"sh", "-c", "timeout 20 \"$0\" \"$@\" " + redirect};
        return testing::cli(dir, args, prefix);
    }
    TempDir dir;
};

bool makeDevice(const fs::path& path) {
    // The "full" device: every write fails. Made here, never the system's own.
    return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
}

struct Row {
    Row(std::string what_, std::function<void(const fs::path&)> prepare_, std::vector<std::string> args_, int exit_,
        std::string says_, std::set<std::string> mayChange_ = {}, bool needsRoot_ = false, std::string redirect_ = {})
        : what(std::move(what_)), prepare(std::move(prepare_)), args(std::move(args_)), exit(exit_),
          says(std::move(says_)), mayChange(std::move(mayChange_)), needsRoot(needsRoot_),
          redirect(std::move(redirect_)) {}
    std::string what;
    std::function<void(const fs::path&)> prepare;  // what the folder holds besides the usual
    std::vector<std::string> args;
    int exit;
    std::string says;                  // part of the one-line message (or of standard output for exit 0)
    std::set<std::string> mayChange;   // entries the row is allowed to change or create
    bool needsRoot;                    // device nodes can only be made as root
    std::string redirect;              // a shell redirection of standard output, such as "> /dev/full"
};

void checkRow(const Row& row) {
    SCOPED_TRACE(row.what);
    Folder f;
    if (row.needsRoot && !root) {
        std::cout << "[ SKIPPED  ] " << row.what << ": making a device node needs root\n";
        return;
    }
    if (row.prepare) row.prepare(f.dir.path());
    const Snapshot before = snapshot(f.dir.path());
    const CommandRun run = f.run(row.args, row.redirect);
    EXPECT_NE(run.exit, 124) << "the command hung";
    EXPECT_EQ(run.exit, row.exit) << run.out << run.err;
    if (row.exit == 0) {
        EXPECT_NE((run.out + run.err).find(row.says), std::string::npos) << run.out << run.err;
    } else {
        // One line, naming what is wrong; parse errors of the options add
        // the parser's hint on a second line. With standard error refused,
        // the line goes where standard output goes.
        const std::string& told = row.redirect.starts_with("2>") ? run.out : run.err;
        EXPECT_NE(told.find(row.says), std::string::npos) << told;
        const auto lines = std::count(told.begin(), told.end(), '\n');
        const bool parserHint = told.find("Run with --help") != std::string::npos;
        EXPECT_EQ(lines, parserHint ? 2 : 1) << told;
        EXPECT_EQ(run.out.find("Done."), std::string::npos) << run.out;
    }
    const auto differ = changed(before, snapshot(f.dir.path()));
    for (const std::string& name : differ)
        EXPECT_TRUE(row.mayChange.contains(name)) << name << " changed";
}

void fifo(const fs::path& dir, const char* name) { ASSERT_EQ(::mkfifo((dir / name).c_str(), 0666), 0); }

TEST(CliHostile, OutputsNeverClobberAndInputsNeverBlock) {
    const std::string longName(300, 'n');
    const std::string legalLongName = std::string(250, 'l') + ".nes";
    const std::vector<Row> rows = {
        // Outputs onto things that are not regular files.
        {"--output onto a device", [](const fs::path& d) { makeDevice(d / "full"); },
         {"write", "game.nes", "-o", "full", "--force"}, 2, "full: is a character device", {}, true},
        {"--png onto a device", [](const fs::path& d) { makeDevice(d / "N"); },
         {"show", "written.nes", "--png", "N", "--force"}, 2, "N: is a character device", {}, true},
        {"--spoiler onto a device", [](const fs::path& d) { makeDevice(d / "N"); },
         {"write", "game.nes", "--spoiler", "N"}, 2, "N: is a character device", {}, true},
        {"--output onto a FIFO", [](const fs::path& d) { fifo(d, "pipe"); },
         {"write", "game.nes", "-o", "pipe", "--force"}, 2, "pipe: is a FIFO", {}},
        {"--png onto a FIFO", [](const fs::path& d) { fifo(d, "pipe"); },
         {"write", "game.nes", "--png", "pipe", "--force"}, 2, "pipe: is a FIFO", {}},
        {"--spoiler onto a folder", [](const fs::path& d) { fs::create_directory(d / "spoilers"); },
         {"write", "game.nes", "--spoiler", "spoilers", "--force"}, 2, "spoilers: is a folder", {}},
        {"--png onto a link to standard output",
         [](const fs::path& d) { fs::create_symlink("/proc/self/fd/1", d / "lnk"); },
         {"show", "written.nes", "--png", "lnk", "--force"}, 2, "lnk: is a symbolic link", {}},
        {"--output onto a link to a regular file",
         [](const fs::path& d) { fs::create_symlink("other.nes", d / "lnk"); },
         {"write", "game.nes", "-o", "lnk", "--force"}, 2, "lnk: is a symbolic link", {}},
        // Existing files: only with --force.
        {"--png onto an existing file", {}, {"show", "written.nes", "--png", "other.nes"}, 2,
         "other.nes: exists (use --force to replace it)", {}},
        {"--png onto an existing file with --force", {}, {"show", "written.nes", "--png", "other.nes", "--force"}, 0,
         "Picture: other.nes", {"other.nes"}},
        {"--spoiler onto an existing file", {}, {"write", "game.nes", "--spoiler", "other.nes"}, 2,
         "other.nes: exists (use --force to replace it)", {}},
        {"--output onto an existing file", {}, {"write", "game.nes", "-o", "other.nes"}, 2,
         "other.nes: exists (use --force to replace it)", {}},
        {"--output onto an existing file with --force", {}, {"write", "game.nes", "-o", "other.nes", "--force"}, 0,
         "Wrote: other.nes", {"other.nes"}},
        // Outputs that name an input of the same command, or each other.
        {"--output onto the text file", {}, {"write", "game.nes", "-o", "tgltext.tgl", "--force"}, 2,
         "tgltext.tgl: this command reads that file", {}},
        {"--png onto the image", {}, {"show", "written.nes", "--png", "./written.nes", "--force"}, 2,
         "./written.nes: is the same file as written.nes", {}},
        {"--spoiler onto the image", {}, {"write", "game.nes", "--spoiler", "game.nes", "--force"}, 2,
         "game.nes: this command reads that file", {}},
        {"--png and --spoiler on one file", {}, {"write", "game.nes", "--png", "x", "--spoiler", "x"}, 2,
         "x: is named for both --png and --spoiler", {}},
        {"--png to standard output", {}, {"show", "written.nes", "--png", "-"}, 2, "--png: \"-\" (standard output)", {}},
        // Two names of one file are one output, however they are spelled,
        // and are refused up front, with --force or without.
        {"the copy and the spoiler spelled two ways", {},
         {"write", "game.nes", "-o", "other.nes", "--spoiler", "./other.nes", "--force"}, 2,
         "./other.nes: is the same file as other.nes, named for --output; choose another file for --spoiler", {}},
        {"a new copy and its patch spelled two ways", {}, {"write", "game.nes", "-o", "new.nes", "--patch", "./new.nes"},
         2, "./new.nes: is the same file as new.nes, named for --output", {}},
        {"a name through a folder and back", [](const fs::path& d) { fs::create_directory(d / "d2"); },
         {"write", "game.nes", "-o", "new.nes", "--patch", "d2/../new.nes"}, 2,
         "d2/../new.nes: is the same file as new.nes", {}},
        {"a name through a link to the folder", [](const fs::path& d) { fs::create_directory_symlink(".", d / "here"); },
         {"write", "game.nes", "-o", "new.nes", "--spoiler", "here/new.nes", "--force"}, 2,
         "here/new.nes: is the same file as new.nes", {}},
        {"another hard link of the copy", [](const fs::path& d) { fs::create_hard_link(d / "other.nes", d / "twin.nes"); },
         {"write", "game.nes", "-o", "other.nes", "--patch", "twin.nes", "--force"}, 2,
         "twin.nes: is the same file as other.nes, named for --output", {}},
        {"the picture and the SVG spelled two ways", {}, {"show", "written.nes", "--png", "p.x", "--svg", "./p.x"}, 2,
         "./p.x: is the same file as p.x, named for --png", {}},
        {"a sealed spoiler and the patch spelled two ways", {},
         {"write", "game.nes", "--sealed", "--spoiler", "race.bps", "--patch", "./race.bps", "--force"}, 2,
         "./race.bps: is the same file as race.bps, named for --spoiler", {}},
        // A standard stream that is the image, the text file or an output.
        {"standard output opened on the image", {}, {"write", "game.nes", "--seed", "42"}, 2,
         "standard output is the same file as game.nes, which this command reads", {}, false, "1<>game.nes"},
        {"standard output appending to the image", {}, {"write", "game.nes", "--seed", "42"}, 2,
         "standard output is the same file as game.nes", {}, false, ">>game.nes"},
        {"the spoiler on standard output, which is the image a copy leaves alone", {},
         {"write", "game.nes", "--seed", "42", "-o", "new.nes", "--spoiler", "-"}, 2,
         "standard output is the same file as game.nes", {}, false, "1<>game.nes"},
        {"standard output on a replaced copy", {}, {"write", "game.nes", "-o", "other.nes", "--force"}, 2,
         "standard output is the same file as other.nes, named for --output", {}, false, ">>other.nes"},
        {"standard error on the text file, told on standard output", {}, {"write", "game.nes", "--seed", "42"}, 2,
         "standard error is the same file as tgltext.tgl, which this command reads", {}, false, "2>>tgltext.tgl"},
        {"show into the image it reads", {}, {"show", "written.nes"}, 2, "standard output is the same file as written.nes",
         {}, false, "1<>written.nes"},
        {"verify into the text file beside the image", {}, {"verify", "written.nes"}, 2,
         "standard output is the same file as tgltext.tgl", {}, false, ">>tgltext.tgl"},
        {"an empty output name", {}, {"write", "game.nes", "--png", ""}, 2, "the file name is empty", {}},
        // Inputs that are not regular files are refused at once.
        {"show a FIFO", [](const fs::path& d) { fifo(d, "pipe"); }, {"show", "pipe"}, 2,
         "pipe: is not a regular file (it is a FIFO)", {}},
        {"verify a FIFO", [](const fs::path& d) { fifo(d, "pipe"); }, {"verify", "pipe"}, 2,
         "pipe: is not a regular file", {}},
        {"verify --text a FIFO", [](const fs::path& d) { fifo(d, "pipe"); }, {"verify", "written.nes", "--text", "pipe"},
         2, "pipe: is not a regular file", {}},
        {"verify --original a FIFO", [](const fs::path& d) { fifo(d, "pipe"); },
         {"verify", "written.nes", "--original", "pipe"}, 2, "pipe: is not a regular file", {}},
        {"write --text a FIFO", [](const fs::path& d) { fifo(d, "pipe"); }, {"write", "game.nes", "--text", "pipe"}, 2,
         "pipe: is not a regular file", {}},
        {"tgltext.tgl a FIFO beside the image",
         [](const fs::path& d) {
             fs::remove(d / "tgltext.tgl");
             fifo(d, "tgltext.tgl");
         },
         {"write", "game.nes"}, 2, "tgltext.tgl: is not a regular file", {}},
        {"an image that is a device", [](const fs::path& d) { makeDevice(d / "dev.nes"); }, {"write", "dev.nes"}, 2,
         "dev.nes: is not a regular file (it is a character device)", {}, true},
        // Names.
        {"--output longer than a file name may be", {}, {"write", "game.nes", "-o", longName}, 2,
         "File name too long", {}},
        {"--output of 254 bytes, which is legal", {}, {"write", "game.nes", "-o", legalLongName}, 0, "Done.",
         {legalLongName}},
        {"a newline in a name", {}, {"show", "no\nsuch.nes"}, 2, "no\\nsuch.nes: cannot open", {}},
        {"invalid UTF-8 in a name", {}, {"show", "bad\xFF\xC3(.nes"}, 2, "bad\\xFF\\xC3(.nes: cannot open", {}},
        {"a C1 control character in a name", {}, {"show", "csi\xC2\x9B.nes"}, 2, "csi\\xC2\\x9B.nes: cannot open", {}},
        {"valid UTF-8 in a name is kept", {}, {"show", "r\xC3\xA9sum\xC3\xA9.nes"}, 2,
         "r\xC3\xA9sum\xC3\xA9.nes: cannot open", {}},
        // Numbers.
        {"a negative seed", {}, {"write", "game.nes", "--seed", "-5"}, 2, "from 0 to 18446744073709551615", {}},
        {"a seed past 64 bits", {}, {"write", "game.nes", "--seed", "99999999999999999999999"}, 2,
         "from 0 to 18446744073709551615", {}},
        {"an empty seed", {}, {"write", "game.nes", "--seed", ""}, 2, "from 0 to 18446744073709551615", {}},
        {"a hexadecimal seed", {}, {"write", "game.nes", "--seed", "0x10"}, 2, "from 0 to 18446744073709551615", {}},
        {"a seed of 5,000 digits is measured, not echoed", {}, {"write", "game.nes", "--seed", std::string(5000, '7')},
         2, "18446744073709551615, not a seed of 5,000 characters\n", {}},
        {"the image as its own text file", {}, {"write", "game.nes", "--text", "./game.nes"}, 2,
         "./game.nes: is a cartridge image, not the game's text file tgltext.tgl", {}},
        {"an unexpected argument with a newline", {}, {"write", "game.nes", "x\ny"}, 2,
         "labyrinth-cli: The following argument was not expected: x\\ny", {}},
        {"a count of 0", {}, {"generate", "--count", "0"}, 2, "must be a whole number from 1 to 2147483647", {}},
        {"a count that is no number", {}, {"generate", "--count", "abc"}, 2,
         "must be a whole number from 1 to 2147483647", {}},
        {"--version", {}, {"--version"}, 0, ", generator revision 1\n", {}},
        {"a daily labyrinth of a day that does not exist", {}, {"write", "game.nes", "--daily", "2027-02-29"}, 2,
         "the date must be a day from 1970-01-01 to 9999-12-31 written YYYY-MM-DD, not \"2027-02-29\"", {}},
        {"an empty date for the daily labyrinth", {}, {"write", "game.nes", "--daily", ""}, 2,
         "written YYYY-MM-DD, not \"\"", {}},
        {"the daily labyrinth and a seed", {}, {"write", "game.nes", "--daily", "--seed", "4"}, 2, "excludes", {}},
        // A sealed labyrinth keeps its seed in a file, and only there.
        {"a sealed labyrinth without a spoiler", {}, {"write", "game.nes", "--sealed"}, 2, "--sealed requires --spoiler",
         {}},
        {"a sealed labyrinth with a seed", {}, {"write", "game.nes", "--sealed", "--spoiler", "s.json", "--seed", "4"},
         2, "excludes", {}},
        {"a sealed daily labyrinth", {}, {"write", "game.nes", "--sealed", "--spoiler", "s.json", "--daily"}, 2,
         "excludes", {}},
        {"a sealed layout", {}, {"write", "game.nes", "--sealed", "--spoiler", "s.json", "--layout", "other.nes"}, 2,
         "excludes", {}},
        {"a sealed spoiler on standard output", {}, {"write", "game.nes", "--sealed", "--spoiler", "-"}, 2,
         "--sealed keeps the seed in a file and prints it nowhere", {}},
        {"a seed of another generator revision", {}, {"write", "game.nes", "--seed", "2:42"}, 2,
         "the seed 2:42 is for labyrinths of generator revision 2; this program writes revision 1", {}},
        {"a revision with no seed after it", {}, {"write", "game.nes", "--seed", "1:"}, 2,
         "a seed with a revision is written REVISION:SEED, such as 1:42; not \"1:\"", {}},
        // Standard output that cannot be written.
        {"generate into a full disk", {}, {"generate", "-n", "10"}, 1,
         "standard output: cannot write: No space left on device", {}, false, "> /dev/full"},
        // An image whose header announces a trainer.
        {"an image with a trainer",
         [](const fs::path& d) {
             Bytes image = testing::syntheticImage();
             image[static_cast<std::size_t>(format::headerFlagsOffset)] |= format::trainerFlag;
             writeFile(d / "game.nes", image);
         },
         {"write", "game.nes"}, 2, "game.nes: carries a 512-byte trainer", {}},
    };
    for (const Row& row : rows) checkRow(row);
}

// Started with standard input, output or error closed (as cron and service
// managers may start it), the program never lets the image take their place:
// the header and every byte outside the labyrinth stay as they were, a
// write holds the whole new labyrinth, its seed is told on a stream that is
// open, and a closed stream that had to be written fails the command.
TEST(CliHostile, ClosedStandardStreamsNeverLandInTheImage) {
    const struct {
        const char* what;
        std::vector<std::string> args;
        const char* file;  // the file that holds the labyrinth afterwards
        bool writes;
    } commands[] = {
        {"write in place", {"write", "game.nes", "--seed", "77"}, "game.nes", true},
        {"write a copy", {"write", "game.nes", "--seed", "77", "-o", "copy.nes"}, "copy.nes", true},
        {"write with a patch", {"write", "game.nes", "--seed", "77", "--patch", "p.bps"}, "game.nes", true},
        {"show", {"show", "written.nes"}, "written.nes", false},
        {"verify", {"verify", "written.nes"}, "written.nes", false},
    };
    const auto outside = [](Bytes image) {
        std::fill(image.begin() + format::roomDataPos, image.begin() + format::textEnd, std::uint8_t{0});
        return image;
    };
    for (int closed = 1; closed < 8; ++closed) {
        const bool in = (closed & 1) != 0, out = (closed & 2) != 0, err = (closed & 4) != 0;
        const std::string redirect = std::string(in ? " <&-" : "") + (out ? " >&-" : "") + (err ? " 2>&-" : "");
        for (const auto& command : commands) {
            SCOPED_TRACE(std::string(command.what) + redirect);
            Folder f;
            const Bytes before = readFile(f.dir / (command.writes ? "game.nes" : command.file));
            const CommandRun run = f.run(command.args, redirect);
            const Bytes after = readFile(f.dir / command.file);
            EXPECT_EQ(outside(after), outside(before)) << "only the labyrinth's region may change";
            if (command.writes) {
                EXPECT_EQ(f.run({"verify", command.file, "--seed", "77"}).exit, 0) << "the whole new labyrinth";
                if (!out) {
                    EXPECT_NE(run.out.find("Seed: 77  Code: "), std::string::npos) << run.out;
                } else if (!err) {
                    EXPECT_NE(run.err.find("Seed: 77  Code: "), std::string::npos) << run.err;
                }
            } else {
                EXPECT_EQ(after, before);
            }
            // Every command prints on standard output; only that stream's loss fails it.
            EXPECT_EQ(run.exit, out ? 1 : 0) << run.out << run.err;
            if (out && !err) {
                EXPECT_NE(run.err.find("standard output: cannot write: it was closed when the program started"),
                          std::string::npos) << run.err;
            }
        }
    }
}

TEST(CliHostile, StandardOutputTakesTheSpoilerAndTheReportMovesAside) {
    Folder f;
    const CommandRun run = f.run({"write", "game.nes", "--seed", "9", "--spoiler", "-"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);  // standard output holds the JSON alone
    EXPECT_TRUE(json.contains("rooms"));
    EXPECT_NE(run.err.find("Seed: 9"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Done."), std::string::npos) << run.err;
}

// The image has changed by the time the seed line is printed: when standard
// output refuses it, the seed must still reach the player.
TEST(CliHostile, AWriteIntoAFullDiskStillTellsItsSeed) {
    Folder f;
    const CommandRun run = f.run({"write", "game.nes", "--seed", "3"}, "> /dev/full");
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_NE(run.err.find("game.nes: Seed: 3  Code: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("standard output: cannot write: No space left on device"), std::string::npos) << run.err;
}

TEST(CliHostile, AReplacedOutputKeepsItsModeAndNoTemporaryFileStays) {
    Folder f;
    ::chmod((f.dir / "other.nes").c_str(), 0640);
    ASSERT_EQ(f.run({"write", "game.nes", "--seed", "2", "-o", "other.nes", "--force"}).exit, 0);
    struct stat info {};
    ::stat((f.dir / "other.nes").c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
    for (const auto& entry : fs::directory_iterator(f.dir.path()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "left behind: " << entry.path();
}

TEST(CliHostile, VerifyReportsEveryProblemItCanEstablish) {
    Folder f;
    Bytes image = readFile(f.dir / "written.nes");
    const auto decoded = decodeStream(image);
    ASSERT_TRUE(decoded.ok());
    // Two plain rooms get a random byte out of range, then a later record
    // becomes undecodable: all three are reported.
    std::vector<std::size_t> plainRandom;
    for (const auto& cell : decoded.value().cells)
        if (cell.kind == format::RecordKind::Plain) plainRandom.push_back(static_cast<std::size_t>(cell.offset + 3));
    ASSERT_GE(plainRandom.size(), 3U);
    image[plainRandom[0]] = 126;
    image[plainRandom[1]] = 200;
    image[plainRandom.back() - 3] = 0xEE;
    writeFile(f.dir / "damaged.nes", image);
    const CommandRun run = f.run({"verify", "damaged.nes"});
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.out.find("is 126; it must be below 47"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("is 200; it must be below 47"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("byte 238 is not the start of any room record"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace labyrinth
