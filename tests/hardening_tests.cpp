// Whatever happens to the files, the tool reports it with the file's name and
// the reason, says what the image now holds, and never says "Done.".

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "test_support.h"
#include "writer/driver.h"
#include "writer/record_format.h"

#ifndef LABYRINTH_CLI
#error "LABYRINTH_CLI must name the labyrinth-cli executable"
#endif

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
    const CommandRun run = testing::runCommand(LABYRINTH_CLI, small / "", {"write", "game.nes"});
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
    const CommandRun run =
        testing::runCommand(LABYRINTH_CLI, dir.path(), {"write", "game.nes", "--png", (small / "map.png").string()});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_NE(run.err.find("map.png"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the labyrinth itself was written to game.nes"), std::string::npos) << run.err;
    // The labyrinth is in the image, and its seed was printed: it can be written again.
    const auto seedAt = run.out.find("Seed: ");
    ASSERT_NE(seedAt, std::string::npos) << run.out;
    const std::string seed = run.out.substr(seedAt + 6, run.out.find('\n', seedAt) - seedAt - 6);
    writeFile(dir / "again.nes", syntheticImage());
    ASSERT_EQ(testing::runCommand(LABYRINTH_CLI, dir.path(), {"write", "again.nes", "--seed", seed}).exit, 0);
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
        const CommandRun ok = testing::runCommand(LABYRINTH_CLI, dir.path(), {"write", "roms/" + name, "--seed", "3"});
        EXPECT_EQ(ok.exit, 0) << name << ": " << ok.err;
        EXPECT_NE(readFile(dir / "roms" / name), syntheticImage()) << name;

        fs::remove(dir / "roms" / name);
        const CommandRun missing = testing::runCommand(LABYRINTH_CLI, dir.path(), {"write", "roms/" + name});
        EXPECT_EQ(missing.exit, 2) << name;
        EXPECT_NE(missing.err.find("roms/" + name + ": cannot open"), std::string::npos) << missing.err;
        EXPECT_FALSE(fs::exists(dir / "roms" / name));
    }
    TempDir dir;
    const CommandRun tooLong = testing::runCommand(LABYRINTH_CLI, dir.path(), {"write", longName + "xx.nes"});
    EXPECT_EQ(tooLong.exit, 2);
    EXPECT_NE(tooLong.err.find("File name too long"), std::string::npos) << tooLong.err;
}

}  // namespace
}  // namespace labyrinth
