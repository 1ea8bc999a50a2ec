// Whatever happens to the files, the tool reports it with the file's name and
// the reason, says what the image now holds, and never says "Done.".

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "cli_support.h"
#include "patch_appliers.h"
#include "writer/driver.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

using testing::CommandRun;
using testing::readFile;
using testing::RecordingHost;
using testing::syntheticImage;
using testing::syntheticText;
using testing::TempDir;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

struct OpenFiles {
    OpenFiles(const fs::path& image, const fs::path& text) {
        auto r = DiskFile::open(image.string(), DiskFile::Mode::ReadWrite);
        auto t = DiskFile::open(text.string(), DiskFile::Mode::ReadOnly);
        EXPECT_TRUE(r.ok() && t.ok());
        if (r.ok()) rom = std::move(r.value());
        if (t.ok()) textFile = std::move(t.value());
    }
    ClickResult click(std::uint64_t seed = 1) {
        FixedSeedSource seeds(seed);
        Session session(*rom, *textFile, seeds);
        return savebutClick(session, host);
    }
    std::unique_ptr<DiskFile> rom, textFile;
    RecordingHost host;
};

void expectFailedNotDone(const ClickResult& click, const RecordingHost& host, const std::string& says) {
    ASSERT_FALSE(click.status.ok()) << "expected: " << says;
    EXPECT_NE(click.status.error().message.find(says), std::string::npos) << click.status.error().message;
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), std::string(statusDone)), 0);
    EXPECT_EQ(host.statuses.back(), statusFailed);
    EXPECT_FALSE(host.busy);
}

TEST(Hardening, ImageRemovedOrReplacedWhileOpen) {
    TempDir dir;
    writeFile(dir / "game.nes", syntheticImage());
    writeFile(dir / "tgltext.tgl", syntheticText());
    {
        OpenFiles files(dir / "game.nes", dir / "tgltext.tgl");
        fs::remove(dir / "game.nes");
        expectFailedNotDone(files.click(), files.host, "game.nes: was removed after it was opened");
        EXPECT_FALSE(fs::exists(dir / "game.nes"));
    }
    {
        writeFile(dir / "game.nes", syntheticImage());
        OpenFiles files(dir / "game.nes", dir / "tgltext.tgl");
        writeFile(dir / "other.nes", syntheticImage());
        fs::rename(dir / "other.nes", dir / "game.nes");
        expectFailedNotDone(files.click(), files.host, "game.nes: was replaced by another file");
        EXPECT_EQ(readFile(dir / "game.nes"), syntheticImage()) << "the newcomer is not written either";
    }
    {
        writeFile(dir / "game.nes", syntheticImage());
        OpenFiles files(dir / "game.nes", dir / "tgltext.tgl");
        fs::remove(dir / "tgltext.tgl");
        expectFailedNotDone(files.click(), files.host, "tgltext.tgl: was removed");
        EXPECT_EQ(readFile(dir / "game.nes"), syntheticImage());
    }
}

TEST(Hardening, ReadErrorOnTheTextFileWritesNothing) {
    MemoryFile rom("game.nes", syntheticImage());
    MemoryFile memoryText("tgltext.tgl", syntheticText());
    testing::FaultyFile text(memoryText, {.failingRead = 1});
    FixedSeedSource seeds(1);
    Session session(rom, text, seeds);
    RecordingHost host;
    const ClickResult click = savebutClick(session, host);
    expectFailedNotDone(click, host, "tgltext.tgl: cannot read at offset 0: Input/output error");
    EXPECT_NE(click.status.error().message.find("Nothing was written to game.nes"), std::string::npos);
    EXPECT_EQ(rom.bytes(), syntheticImage());
}

// A tiny file system of its own, mounted for the test where the machine
// allows it (as root, with mount permission).
class SmallFileSystem {
public:
    SmallFileSystem() {
        if (::geteuid() != 0) return;
        mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=128k") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    fs::path operator/(const std::string& name) const { return dir_ / name; }

    // Fills the rest of the file system.
    void fill() const {
        std::ofstream filler(dir_ / "filler", std::ios::binary);
        const std::string page(4096, 'x');
        while (filler.write(page.data(), static_cast<std::streamsize>(page.size())) && filler.flush()) {
        }
    }

private:
    TempDir dir_;
    bool mounted_ = false;
};

// An image whose stream and text block lie in holes of a sparse file, so
// that writing them needs space that a full file system no longer has.
void writeSparseImage(const fs::path& path) {
    const Bytes image = syntheticImage();
    writeFile(path, Bytes(image.begin(), image.begin() + 4096));
    fs::resize_file(path, image.size());
}

TEST(Hardening, FullFileSystemIsReportedWithWhatTheImageHolds) {
    SmallFileSystem small;
    if (!small.mounted()) GTEST_SKIP() << "this machine does not let the test mount a file system; "
                                          "the injected failing file layer covers the same path";
    writeSparseImage(small / "game.nes");
    writeFile(small / "tgltext.tgl", syntheticText());
    const Bytes before = readFile(small / "game.nes");
    OpenFiles files(small / "game.nes", small / "tgltext.tgl");
    small.fill();
    const ClickResult click = files.click();
    expectFailedNotDone(click, files.host, "No space left on device");
    EXPECT_NE(click.status.error().message.find("partly written"), std::string::npos) << click.status.error().message;
    EXPECT_EQ(fs::file_size(small / "game.nes"), before.size()) << "never extended or cut";

    // The command line says the same, with exit status 1.
    files.rom.reset();
    files.textFile.reset();
    const CommandRun run = testing::cli(small / "", {"write", "game.nes"});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_NE(run.err.find("game.nes: cannot write"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Done."), std::string::npos);
}

TEST(Hardening, APictureThatFailsAfterTheWriteLeavesTheSeedToRepeatIt) {
    SmallFileSystem small;
    if (!small.mounted()) GTEST_SKIP() << "this machine does not let the test mount a file system";
    TempDir dir;
    writeFile(dir / "game.nes", syntheticImage());
    writeFile(dir / "tgltext.tgl", syntheticText());
    small.fill();
    // The picture does not fit; the spoiler after it, on another disk, does.
    const CommandRun run = testing::cli(
        dir.path(), {"write", "game.nes", "--png", (small / "map.png").string(), "--spoiler", "s.json"});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_TRUE(fs::exists(dir / "s.json")) << "one failed output does not stop the others";
    EXPECT_EQ(run.out.find("Done."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Spoiler: s.json"), std::string::npos) << run.out;
    EXPECT_TRUE(run.err.ends_with("labyrinth-cli: not written: --png " + (small / "map.png").string() + "\n"))
        << run.err;
    EXPECT_NE(run.err.find("map.png"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the labyrinth itself was written to game.nes"), std::string::npos) << run.err;
    // The labyrinth is in the image, and its seed was printed: it can be written again.
    const auto seedAt = run.out.find("Seed: ");
    ASSERT_NE(seedAt, std::string::npos) << run.out;
    const std::string seed = run.out.substr(seedAt + 6, run.out.find(' ', seedAt + 6) - seedAt - 6);
    writeFile(dir / "again.nes", syntheticImage());
    ASSERT_EQ(testing::cli(dir.path(), {"write", "again.nes", "--seed", seed}).exit, 0);
    EXPECT_EQ(readFile(dir / "again.nes"), readFile(dir / "game.nes"));
    EXPECT_FALSE(fs::exists(small / "map.png"));
}

TEST(Hardening, AwkwardNamesWorkWhenTheFileExistsAndFailCleanlyWhenNot) {
    const std::string longName(251, 'n');  // 255 bytes with ".nes": the usual limit
    const std::string names[] = {"my game.nes", " leading.nes", "Légende ガーディアン.nes", longName + ".nes"};
    for (const auto& name : names) {
        TempDir dir;
        fs::create_directory(dir / "roms");
        writeFile(dir / "roms" / name, syntheticImage());
        writeFile(dir / "roms" / "tgltext.tgl", syntheticText());
        const CommandRun ok = testing::cli(dir.path(), {"write", "roms/" + name, "--seed", "3"});
        EXPECT_EQ(ok.exit, 0) << name << ": " << ok.err;
        EXPECT_NE(readFile(dir / "roms" / name), syntheticImage()) << name;

        fs::remove(dir / "roms" / name);
        const CommandRun missing = testing::cli(dir.path(), {"write", "roms/" + name});
        EXPECT_EQ(missing.exit, 2) << name;
        EXPECT_NE(missing.err.find("roms/" + name + ": cannot open"), std::string::npos) << missing.err;
        EXPECT_FALSE(fs::exists(dir / "roms" / name));
    }
    TempDir dir;
    const CommandRun tooLong = testing::cli(dir.path(), {"write", longName + "xx.nes"});
    EXPECT_EQ(tooLong.exit, 2);
    EXPECT_NE(tooLong.err.find("File name too long"), std::string::npos) << tooLong.err;
}

// --- One writer at a time, and every output delivered ---------------------------

// A shell script that runs labyrinth-cli ("$0" "$@") under strace, which
// stretches or breaks one system call (`inject`, such as
// "fdatasync:delay_exit=2000000:when=3"), and, when `signal` is given,
// sends it to labyrinth-cli once that call is under way. The status of
// labyrinth-cli lands in the file "status" of the folder (128 + n for a
// signal).
std::vector<std::string> underStrace(const std::string& inject, const std::string& signal = {}) {
    const std::string call = inject.substr(0, inject.find(':'));
    const auto when = inject.find(":when=");
    const std::string nth = when == std::string::npos ? "1" : inject.substr(when + 6);
    // LeakSanitizer stops the world with ptrace, which a traced program
    // cannot: under the sanitizers its leak check is left to the other tests.
    std::string script = "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\"; "
                         "strace -qq -o trace -e trace=" + call + " -e inject=" + inject + " \"$0\" \"$@\" & s=$!; ";
    if (!signal.empty())
        script += "i=0; while n=$(grep -c '^" + call + "(' trace 2>/dev/null); [ \"${n:-0}\" -lt " + nth +
                  " ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done; "
                  "for p in /proc/[0-9]*; do "
                  "[ \"$(cut -d' ' -f4 $p/stat 2>/dev/null)\" = \"$s\" ] && kill -" + signal + " ${p#/proc/}; done; ";
    script += "wait $s; echo $? > status; rm -f trace";
    return {"sh", "-c", script};
}

int statusOf(const fs::path& folder) {
    const Bytes text = readFile(folder / "status");
    return std::stoi(std::string(text.begin(), text.end()));
}

// The "Seed: N" of a report.
std::string seedOf(const std::string& report) {
    const auto at = report.find("Seed: ");
    if (at == std::string::npos) return {};
    return report.substr(at + 6, report.find_first_of(" \n", at + 6) - at - 6);
}

// The image that `write --seed` gives from `image`.
Bytes writtenWithSeed(const fs::path& folder, const std::string& image, const std::string& seed) {
    fs::remove(folder / "expected.nes");
    const CommandRun run = testing::cli(folder,
                                               {"write", image, "--text", "tgltext.tgl", "--seed", seed, "-o", "expected.nes"});
    EXPECT_EQ(run.exit, 0) << run.err;
    return readFile(folder / "expected.nes");
}

bool straceWorks() { return testing::runCommand("strace", "/", {"-qq", "-o", "/dev/null", "true"}).exit == 0; }

TEST(OneWriter, TwoCommandLinesOnOneImageTakeTurnsAndEachPatchCarriesWhatItsReportNames) {
    ASSERT_TRUE(straceWorks()) << "strace is needed to hold one writer back (scripts/install-deps --test)";
    TempDir dir;
    writeFile(dir / "game.nes", syntheticImage());
    writeFile(dir / "tgltext.tgl", syntheticText());
    const Bytes original = syntheticImage();
    // The first writer is held back 1.5 s in its sync, with the image locked.
    CommandRun first;
    std::thread held([&] {
        first = testing::cli(dir.path(), {"write", "game.nes", "--seed", "1", "--patch", "a.ips"},
                                    underStrace("fdatasync:delay_exit=1500000"));
    });
    // The second starts once the first is in its sync.
    for (int i = 0; i < 400; ++i) {
        std::ifstream trace(dir / "trace");
        const std::string calls((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
        if (calls.find("fdatasync(") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    const CommandRun second =
        testing::cli(dir.path(), {"write", "game.nes", "--seed", "2", "--patch", "b.ips"});
    held.join();

    EXPECT_EQ(statusOf(dir.path()), 0) << first.err;
    EXPECT_EQ(second.exit, 0) << second.err;
    EXPECT_NE(second.err.find("game.nes: waiting for another program that is using it (up to 10 s)"),
              std::string::npos) << second.err;
    // The first patch makes seed 1's labyrinth of the original; the second,
    // seed 2's of what the first left: neither saw the other's bytes.
    const auto afterFirst = testing::applyIps(readFile(dir / "a.ips"), original);
    ASSERT_TRUE(afterFirst.has_value());
    writeFile(dir / "original.nes", original);
    EXPECT_EQ(testing::firstDifference(*afterFirst, writtenWithSeed(dir.path(), "original.nes", "1")), "identical");
    writeFile(dir / "after-first.nes", *afterFirst);
    const Bytes afterSecond = writtenWithSeed(dir.path(), "after-first.nes", "2");
    EXPECT_EQ(testing::applyIps(readFile(dir / "b.ips"), *afterFirst), afterSecond);
    EXPECT_EQ(testing::firstDifference(readFile(dir / "game.nes"), afterSecond), "identical");

    // A writer that gives up waiting writes nothing, and readers wait for writers too.
    auto other = DiskFile::open((dir / "game.nes").string(), DiskFile::Mode::ReadWrite);
    ASSERT_TRUE(other.ok() && other.value()->lock(FileLock::Exclusive).value());
    const Bytes before = readFile(dir / "game.nes");
    const CommandRun gaveUp = testing::cli(dir.path(), {"write", "game.nes", "--wait", "2"});
    EXPECT_EQ(gaveUp.exit, 2);
    EXPECT_NE(gaveUp.err.find("waiting for another program"), std::string::npos) << gaveUp.err;
    EXPECT_NE(gaveUp.err.find("game.nes: another program is using it, still after 2 s of waiting; nothing was written"),
              std::string::npos) << gaveUp.err;
    EXPECT_EQ(readFile(dir / "game.nes"), before);
    for (const char* command : {"show", "verify"}) {
        const CommandRun reader = testing::cli(dir.path(), {command, "game.nes", "--wait", "0"});
        EXPECT_EQ(reader.exit, 2) << command;
        EXPECT_NE(reader.err.find("game.nes: another program is writing it"), std::string::npos) << reader.err;
    }
    ASSERT_TRUE(other.value()->lock(FileLock::Shared).value());
    EXPECT_EQ(testing::cli(dir.path(), {"verify", "game.nes", "--wait", "0"}).exit, 0)
        << "readers share the image";
}

TEST(EveryOutput, AClosedPipeStillGetsEveryFileWrittenAndTheSeedTold) {
    testing::GameFolder f;
    // The reader is gone before labyrinth-cli prints its first line.
    const std::vector<std::string> closedPipe{"sh", "-c", "(sleep 0.3; \"$0\" \"$@\"; echo $? > status) | true"};
    const CommandRun run = testing::cli(
        f.dir.path(), {"write", "game.nes", "--seed", "5", "--patch", "p.bps", "--spoiler", "s.json",
                                      "--svg", "m.svg"},
        closedPipe);
    EXPECT_EQ(statusOf(f.dir.path()), 1) << run.err;
    EXPECT_NE(run.err.find("game.nes: Seed: 5  Code: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("standard output: cannot write: Broken pipe"), std::string::npos) << run.err;
    for (const char* name : {"p.bps", "s.json", "m.svg"}) EXPECT_TRUE(fs::exists(f.dir / name)) << name;
    EXPECT_EQ(testing::cli(f.dir.path(), {"verify", "game.nes", "--seed", "5"}).exit, 0);

    // The spoiler goes to the pipe: it is named as missing, and "Done." is never said.
    fs::remove(f.dir / "p.bps");
    const CommandRun toPipe = testing::cli(
        f.dir.path(), {"write", "game.nes", "--seed", "8", "--spoiler", "-", "--patch", "p.bps"}, closedPipe);
    EXPECT_EQ(statusOf(f.dir.path()), 1) << toPipe.err;
    EXPECT_EQ(toPipe.err.find("Done."), std::string::npos) << toPipe.err;
    EXPECT_NE(toPipe.err.find("--spoiler -: standard output: cannot write: Broken pipe"), std::string::npos)
        << toPipe.err;
    EXPECT_TRUE(toPipe.err.ends_with("labyrinth-cli: not written: --spoiler -\n")) << toPipe.err;
    EXPECT_TRUE(fs::exists(f.dir / "p.bps"));

    const CommandRun many = testing::cli(f.dir.path(), {"generate", "-n", "100000"}, closedPipe);
    EXPECT_EQ(statusOf(f.dir.path()), 1);
    EXPECT_EQ(many.err, "labyrinth-cli: standard output: cannot write: Broken pipe\n");
}

TEST(EveryOutput, SignalsLetAnInPlaceWriteFinishAndLeaveNoTemporaryFile) {
    ASSERT_TRUE(straceWorks()) << "strace is needed to hold the writer at one step (scripts/install-deps --test)";
    struct Row {
        const char* what;
        std::vector<std::string> args;
        std::string inject, signal;
        int status;
        const char* written;  // the file that holds seed 7's labyrinth afterwards, and whose seed is told; or none
        const char* says = "";  // part of what the program says on its way out
    };
    const std::vector<std::string> toCopy{"write", "game.nes", "--seed", "7", "-o", "copy.nes", "--patch", "p.bps"};
    const Row rows[] = {
        // In place: the write finishes, its seed is told, the signal ends the program.
        {"SIGTERM in the sync of an in-place write", {"write", "game.nes", "--seed", "7"},
         "fdatasync:delay_exit=3000000", "TERM", 128 + SIGTERM, "game.nes"},
        {"SIGHUP in the sync of an in-place write", {"write", "game.nes", "--seed", "7"},
         "fdatasync:delay_exit=3000000", "HUP", 128 + SIGHUP, "game.nes"},
        // A copy appears whole or not at all, and no temporary file stays.
        {"SIGINT while the copy is saved", toCopy, "fsync:delay_exit=3000000", "INT", 128 + SIGINT, nullptr,
         "copy.nes: stopped by a signal before the copy was made; it was not written, and nothing was written to "
         "game.nes"},
        {"SIGTERM while the patch is saved, after the copy", toCopy, "fsync:delay_exit=3000000:when=3", "TERM",
         128 + SIGTERM, "copy.nes"},
        // A sealed spoiler is written first; it goes with a copy never made.
        {"SIGTERM while the copy of a sealed labyrinth is saved",
         {"write", "game.nes", "--sealed", "--spoiler", "race.json", "-o", "copy.nes"},
         "fsync:delay_exit=3000000:when=3", "TERM", 128 + SIGTERM, nullptr, "copy.nes: stopped by a signal"},
        // A sync that fails after the records were written: the seed first.
        {"the sync fails", {"write", "game.nes", "--seed", "7"}, "fdatasync:error=EIO", "", 1, "game.nes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testing::GameFolder f;
        const CommandRun run =
            testing::cli(f.dir.path(), row.args, underStrace(row.inject, row.signal));
        EXPECT_EQ(statusOf(f.dir.path()), row.status) << run.out << run.err;
        EXPECT_EQ(run.out.find("Done."), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        for (const auto& entry : fs::directory_iterator(f.dir.path()))
            EXPECT_NE(entry.path().filename().string().front(), '.') << "left behind: " << entry.path();
        EXPECT_FALSE(fs::exists(f.dir / "p.bps"));
        if (row.written == nullptr) {
            EXPECT_FALSE(fs::exists(f.dir / "copy.nes"));
            EXPECT_FALSE(fs::exists(f.dir / "race.json")) << "no spoiler of a labyrinth never written";
        } else {
            EXPECT_EQ(seedOf(run.out + run.err), "7") << run.out << run.err;
            if (!row.signal.empty()) {
                const CommandRun verified =
                    testing::cli(f.dir.path(), {"verify", row.written, "--seed", "7"});
                EXPECT_EQ(verified.exit, 0) << "the labyrinth is whole: " << verified.out;
            }
        }
        if (std::string(row.written ? row.written : "") != "game.nes") {
            EXPECT_EQ(readFile(f.dir / "game.nes"), syntheticImage()) << "the image is untouched";
        }
    }
}

// Another program changes a file while one step of the write is held back:
// renames a file over the image, removes it or cuts it during the first
// write of the labyrinth; cuts it or writes into it while the report is
// printed; swaps the temporary name of an output. The write is never
// "Done." with a file that does not hold what it wrote: it says what
// happened, its seed line names a code only for a labyrinth that is whole
// in the file, and a sealed spoiler never outlives a labyrinth never written.
TEST(EveryOutput, AFileChangedWhileTheWriteWaitsIsNeverDone) {
    ASSERT_TRUE(straceWorks()) << "strace is needed to hold the writer at one step (scripts/install-deps --test)";
    const std::vector<std::string> withPatch{"write", "game.nes", "--seed", "9", "--patch", "p.bps"};
    const std::vector<std::string> plain{"write", "game.nes", "--seed", "9"};
    const char* firstWrite = "pwrite64:delay_enter=1000000:when=1";
    const char* reportLines = "write:delay_enter=1000000:when=2";  // after the seed line
    const char* swapTemporary =
        "for t in .out.nes.*.tmp; do [ -e \"$t\" ] && cp tgltext.tgl x && mv x \"$t\"; done; true";
    const struct {
        const char* what;
        std::vector<std::string> args;
        const char* inject;     // the step held back, or failed
        const char* meanwhile;  // a shell command run once that step began
        int status;
        const char* says;       // part of standard error, or for status 0 of standard output
        const char* tells;      // the seed line's end
        const char* holds = nullptr;  // a file that must hold seed 9's labyrinth afterwards
        const char* gone = "p.bps";   // a file that must not be there afterwards
    } rows[] = {
        {"renamed over", withPatch, firstWrite, "mv other.nes game.nes", 1,
         "game.nes: was replaced by another file while it was written; the labyrinth went into the file that was "
         "there before",
         "  (partly written)"},
        {"removed", withPatch, firstWrite, "rm game.nes", 1,
         "game.nes: was removed while it was written; the labyrinth went into the file that was there before",
         "  (partly written)"},
        {"cut short", withPatch, firstWrite, "truncate -s 100 game.nes", 1,
         "bytes, not 88070: the labyrinth may be partly written, and what the other program cut off is lost",
         "  (partly written)"},
        // The last check comes after the report, immediately before "Done.".
        {"cut while the report is printed", plain, reportLines, "truncate -s 88000 game.nes", 1,
         "game.nes: another program changed its size after the labyrinth was written (88000 bytes, not 88070)",
         "  Code: "},
        {"written into while the report is printed", plain, reportLines,
         "printf XXXXXXXX | dd of=game.nes bs=1 seek=87700 conv=notrunc 2>/dev/null", 1,
         "game.nes: another program wrote into it after the labyrinth was written", "  Code: "},
        // What appears under an output's name is the file written, whatever
        // was put under a temporary name meanwhile.
        {"a temporary name swapped while the copy is saved", {"write", "game.nes", "--seed", "9", "-o", "out.nes"},
         "fsync:delay_enter=1000000:when=1", swapTemporary, 0, "Done.", "  Code: ", "out.nes"},
        {"a temporary name swapped before a replaced copy moves in",
         {"write", "game.nes", "--seed", "9", "-o", "other.nes", "--force"}, "rename:delay_enter=1000000:when=1",
         "for t in .other.nes.*.tmp; do cp tgltext.tgl x && mv x \"$t\"; done", 1,
         "other.nes: another file took its place while it was written", "  Code: "},
        // A write that fails part way names no code; one that wrote nothing
        // takes its sealed spoiler with it.
        {"no room for the second attempt's records", plain, "pwrite64:error=ENOSPC:when=2", "true", 1,
         "No space left on device", "Seed: 9  (partly written)"},
        {"a sealed write whose records cannot be written", {"write", "game.nes", "--sealed", "--spoiler", "race.json"},
         "pwrite64:error=EIO:when=2", "true", 1, "race.json: removed, as no labyrinth of its seed was written",
         "Seed: sealed in race.json  (nothing was written)", nullptr, "race.json"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testing::GameFolder f;
        writeFile(f.dir / "other.nes", syntheticImage());
        const std::string inject = row.inject;
        const std::string call = inject.substr(0, inject.find(':'));
        const auto when = inject.find(":when=");
        const std::string nth = when == std::string::npos ? "1" : inject.substr(when + 6);
        // The report's writes are counted on standard output alone (-P): the
        // sanitizers' runtime writes to a pipe of its own meanwhile. The
        // change comes once the step held back has begun.
        const std::string onlyReport = call == "write" ? " -P report" : "";
        // As in underStrace: a traced program cannot run LeakSanitizer's check.
        const std::string script =
            "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\"; "
            "strace -qq -o trace" + onlyReport + " -e trace=" + call + " -e inject=" + inject +
            " \"$0\" \"$@\" > report & s=$!; i=0; "
            "while n=$(grep -c '^" + call + "(' trace 2>/dev/null); [ \"${n:-0}\" -lt " + nth +
            " ] && [ $i -lt 1500 ]; do sleep 0.02; i=$((i+1)); done; " + std::string(row.meanwhile) +
            "; wait $s; echo $? > status; cat report; rm -f trace report";
        const CommandRun run = testing::cli(f.dir.path(), row.args, {"sh", "-c", script});
        EXPECT_EQ(statusOf(f.dir.path()), row.status) << run.out << run.err;
        const std::string seedLine = run.out.substr(0, run.out.find('\n'));
        EXPECT_NE(seedLine.find(row.tells), std::string::npos) << "the seed is told first: " << run.out;
        if (row.status == 0) {
            EXPECT_NE(run.out.find(row.says), std::string::npos) << run.out;
        } else {
            EXPECT_EQ(run.out.find("Done."), std::string::npos) << run.out;
            EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        }
        if (row.holds != nullptr) {
            EXPECT_EQ(testing::cli(f.dir.path(), {"verify", row.holds, "--seed", "9"}).exit, 0) << row.holds;
        }
        EXPECT_FALSE(fs::exists(f.dir / row.gone)) << row.gone;
    }
}

// Once "Done." is said, the write is finished: a signal that comes while
// that very line is written changes neither the files nor the status.
TEST(EveryOutput, ASignalAfterDoneLeavesAFinishedWrite) {
    ASSERT_TRUE(straceWorks()) << "strace is needed to hold the writer at one step (scripts/install-deps --test)";
    testing::GameFolder f;
    const std::string script =
        "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\"; "
        "strace -qq -s 256 -o trace -P report -e trace=write -e inject=write:delay_enter=400000 \"$0\" \"$@\" "
        "> report & s=$!; i=0; while ! grep -q 'Done\\.' trace 2>/dev/null && [ $i -lt 1500 ]; do sleep 0.02; "
        "i=$((i+1)); done; for p in /proc/[0-9]*; do [ \"$(cut -d' ' -f4 $p/stat 2>/dev/null)\" = \"$s\" ] && "
        "kill -TERM ${p#/proc/}; done; wait $s; echo $? > status; cat report; rm -f trace report";
    const CommandRun run = testing::cli(f.dir.path(), {"write", "game.nes", "--seed", "4"}, {"sh", "-c", script});
    EXPECT_EQ(statusOf(f.dir.path()), 0) << run.out << run.err;
    EXPECT_TRUE(run.out.ends_with("Done.\n")) << run.out;
    EXPECT_EQ(testing::cli(f.dir.path(), {"verify", "game.nes", "--seed", "4"}).exit, 0);
}

}  // namespace
}  // namespace labyrinth
