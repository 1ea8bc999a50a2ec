// The file layer: opening never creates, reads and writes are exact and
// checked, nothing is extended, a new file appears whole or not at all.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"
#include "writer/image_file.h"
#include "writer/output_file.h"

namespace labyrinth {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

TEST(DiskFile, OpeningRefusesWhatIsNotAnExistingRegularFile) {
    TempDir dir;
    fs::create_directory(dir / "folder.nes");
    writeFile(dir / "locked.nes", Bytes(10, 1));
    ::chmod((dir / "locked.nes").c_str(), 0444);
    const struct {
        std::string name;
        DiskFile::Mode mode;
        const char* says;
    } rows[] = {
        {"missing.nes", DiskFile::Mode::ReadWrite, "No such file or directory"},
        {"folder.nes", DiskFile::Mode::ReadWrite, "is a folder"},
        {"folder.nes", DiskFile::Mode::ReadOnly, "is a folder"},
        // Root may write anything, but the tool keeps its hands off a file
        // that its owner marked read-only.
        {"locked.nes", DiskFile::Mode::ReadWrite, ::geteuid() == 0 ? "is marked read-only" : "Permission denied"},
    };
    for (const auto& row : rows) {
        const std::string path = (dir / row.name).string();
        auto file = DiskFile::open(path, row.mode);
        ASSERT_FALSE(file.ok()) << row.name;
        EXPECT_NE(file.error().message.find(path), std::string::npos) << file.error().message;
        EXPECT_NE(file.error().message.find(row.says), std::string::npos) << file.error().message;
    }
    EXPECT_FALSE(fs::exists(dir / "missing.nes")) << "opening never creates";
    EXPECT_TRUE(DiskFile::open((dir / "locked.nes").string(), DiskFile::Mode::ReadOnly).ok());
}

TEST(DiskFile, ReadsAndWritesAtOffsetsWithoutExtending) {
    TempDir dir;
    writeFile(dir / "f.bin", Bytes{0, 1, 2, 3, 4, 5, 6, 7});
    auto opened = DiskFile::open((dir / "f.bin").string(), DiskFile::Mode::ReadWrite);
    ASSERT_TRUE(opened.ok());
    DiskFile& file = *opened.value();

    const Bytes patch{9, 9};
    EXPECT_TRUE(file.writeAt(6, patch).ok());
    Bytes two(2);
    EXPECT_TRUE(file.readAt(5, two).ok());
    EXPECT_EQ(two, (Bytes{5, 9}));

    auto beyond = file.writeAt(7, patch);
    ASSERT_FALSE(beyond.ok());
    EXPECT_NE(beyond.error().message.find("only 8 bytes long"), std::string::npos) << beyond.error().message;
    auto shortRead = file.readAt(7, two);
    ASSERT_FALSE(shortRead.ok());
    EXPECT_NE(shortRead.error().message.find("ends after 8 bytes"), std::string::npos) << shortRead.error().message;
    EXPECT_EQ(file.size().value(), 8);
    EXPECT_TRUE(file.flush().ok());

    EXPECT_TRUE(file.close().ok());
    EXPECT_TRUE(file.close().ok()) << "closing twice is harmless";
    EXPECT_FALSE(file.readAt(0, two).ok());
    EXPECT_EQ(readFile(dir / "f.bin"), (Bytes{0, 1, 2, 3, 4, 5, 9, 9}));
}

TEST(DiskFile, SeesAFileShrinkBehindItsBack) {
    TempDir dir;
    writeFile(dir / "f.bin", Bytes(100, 7));
    auto file = DiskFile::open((dir / "f.bin").string(), DiskFile::Mode::ReadWrite);
    ASSERT_TRUE(file.ok());
    fs::resize_file(dir / "f.bin", 10);
    EXPECT_EQ(file.value()->size().value(), 10);
    EXPECT_FALSE(file.value()->writeAt(50, Bytes{1}).ok());
    EXPECT_EQ(fs::file_size(dir / "f.bin"), 10U);
}

TEST(MemoryFile, ChecksBoundsLikeADiskFile) {
    MemoryFile file("mem", Bytes(4, 0));
    Bytes one(1);
    EXPECT_TRUE(file.writeAt(3, Bytes{5}).ok());
    EXPECT_FALSE(file.writeAt(4, Bytes{5}).ok());
    EXPECT_FALSE(file.readAt(-1, one).ok());
    EXPECT_FALSE(file.readAt(4, one).ok());
    EXPECT_EQ(file.bytes(), (Bytes{0, 0, 0, 5}));
}

TEST(WriteNewFile, CreatesWholeFilesAndReplacesOnlyWhenAsked) {
    TempDir dir;
    const std::string path = (dir / "copy.nes").string();
    EXPECT_TRUE(writeNewFile(path, Bytes{1, 2, 3}, false).ok());
    EXPECT_EQ(readFile(path), (Bytes{1, 2, 3}));

    auto refused = writeNewFile(path, Bytes{4}, false);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().message.ends_with(": exists")) << refused.error().message;
    EXPECT_EQ(readFile(path), (Bytes{1, 2, 3}));

    EXPECT_TRUE(writeNewFile(path, Bytes{4}, true).ok());
    EXPECT_EQ(readFile(path), (Bytes{4}));

    auto noFolder = writeNewFile((dir / "no" / "such" / "copy.nes").string(), Bytes{1}, false);
    ASSERT_FALSE(noFolder.ok());
    EXPECT_NE(noFolder.error().message.find("No such file or directory"), std::string::npos)
        << noFolder.error().message;
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// What appears under the name is the file written: an unnamed file leaves
// nothing to swap, and a file waiting under a temporary name that another
// program replaced is refused at its commit, not passed off as written.
TEST(WriteNewFile, PutsInPlaceTheVeryFileItWrote) {
    const auto entries = [](const fs::path& dir) {
        return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    };
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replacing" : "new");
        TempDir dir;
        const std::string path = (dir / "out.bin").string();
        if (replace) writeFile(path, Bytes{9});
        auto unnamed = NewFile::create(path, replace);
        ASSERT_TRUE(unnamed.ok()) << unnamed.error().message;
        EXPECT_EQ(entries(dir.path()), replace ? 1 : 0) << "an unnamed file shows nowhere before its commit";
        ASSERT_TRUE(unnamed.value()->append(Bytes{1, 2}).ok());
        ASSERT_TRUE(unnamed.value()->commit().ok());
        EXPECT_EQ(readFile(path), (Bytes{1, 2}));
        EXPECT_TRUE(unnamed.value()->checkHolds(Bytes{1, 2}).ok());
        writeFile(path, Bytes{1, 3});  // another program writes into it after the commit
        EXPECT_FALSE(unnamed.value()->checkHolds(Bytes{1, 2}).ok());

        fs::remove(path);
        auto named = NewFile::create(path, false, NewFile::Placement::Named);
        ASSERT_TRUE(named.ok()) << named.error().message;
        ASSERT_TRUE(named.value()->append(Bytes{1, 2}).ok());
        ASSERT_EQ(entries(dir.path()), 1);
        const fs::path temporary = fs::directory_iterator(dir.path())->path();
        writeFile(dir / "swap", Bytes{6, 6});
        fs::rename(dir / "swap", temporary);
        auto committed = named.value()->commit();
        ASSERT_FALSE(committed.ok());
        EXPECT_NE(committed.error().message.find("out.bin: another file took its place"), std::string::npos)
            << committed.error().message;
    }
}

}  // namespace
}  // namespace labyrinth
