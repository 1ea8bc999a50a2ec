// A 3 GB image, sparse on disk: show, verify, verify --original and write -o
// read only what they need or stream in chunks, so resident memory stays
// bounded; the holes of a sparse image are neither read nor filled.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli_support.h"

namespace labyrinth {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// Resident memory of one run: the peak, from the kernel, in KiB.
long peakKiB(const fs::path& folder, const std::vector<std::string>& args, int& exit) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(LABYRINTH_CLI)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(LABYRINTH_CLI, argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return usage.ru_maxrss;
}

TEST(LargeImage, ThreeGigabytesAreReadInBoundedMemory) {
    TempDir f;
    writeFile(f / "tgltext.tgl", testing::syntheticText());
    // A sparse 3 GB image that holds a labyrinth where every image holds it.
    const fs::path big = f / "big.nes";
    writeFile(big, testing::syntheticImage());
    int exit = -1;
    peakKiB(f.path(), {"write", "big.nes", "--seed", "5"}, exit);
    ASSERT_EQ(exit, 0);
    fs::resize_file(big, 3'000'000'000ULL);
    // The image before the write, as large and as sparse.
    writeFile(f / "big-original.nes", testing::syntheticImage());
    fs::resize_file(f / "big-original.nes", 3'000'000'000ULL);
    const struct {
        const char* what;
        std::vector<std::string> args;
        int exit;
    } runs[] = {
        {"show", {"show", "big.nes"}, 0},
        {"verify", {"verify", "big.nes"}, 0},
        {"verify --original", {"verify", "big.nes", "--original", "big-original.nes"}, 0},
        {"write -o", {"write", "big.nes", "--seed", "4", "-o", "big-copy.nes"}, 0},
    };
    constexpr long limitKiB = 64 * 1024;
    for (const auto& r : runs) {
        const long peak = peakKiB(f.path(), r.args, exit);
        EXPECT_EQ(exit, r.exit) << r.what;
        EXPECT_LT(peak, limitKiB) << r.what << " peaked at " << peak << " KiB";
    }
    ASSERT_EQ(fs::file_size(f / "big-copy.nes"), 3'000'000'000ULL);
    struct stat info {};
    ::stat((f / "big-copy.nes").c_str(), &info);
    EXPECT_LT(info.st_blocks * 512, 64 * 1024 * 1024) << "the copy keeps the holes of a sparse image";
    peakKiB(f.path(), {"verify", "big-copy.nes", "--text", "tgltext.tgl"}, exit);
    EXPECT_EQ(exit, 0) << "the copy holds a complete labyrinth";
}

TEST(LargeImage, ADenseImageIsComparedChunkByChunk) {
    // 96 MiB of bytes that are not zeros, so nothing can be skipped, and a
    // change far beyond the first chunk: found, and with bounded memory.
    TempDir f;
    writeFile(f / "tgltext.tgl", testing::syntheticText());
    const std::size_t size = std::size_t{96} << 20;
    writeFile(f / "before.nes", testing::syntheticImage(size));
    writeFile(f / "after.nes", testing::syntheticImage(size));
    int exit = -1;
    peakKiB(f.path(), {"write", "after.nes", "--seed", "8"}, exit);
    ASSERT_EQ(exit, 0);
    auto bytes = readFile(f / "after.nes");
    bytes[std::size_t{90} << 20] ^= 0x55;
    writeFile(f / "after.nes", bytes);
    bytes.clear();
    bytes.shrink_to_fit();
    const long peak = peakKiB(f.path(), {"verify", "after.nes", "--original", "before.nes"}, exit);
    EXPECT_EQ(exit, 1) << "the changed byte is found";
    EXPECT_LT(peak, 64 * 1024) << "peaked at " << peak << " KiB";
    const auto report = testing::cli(f.path(), {"verify", "after.nes", "--original", "before.nes"});
    EXPECT_NE(report.out.find("1 byte changed after the text block, first at offset 94371840"), std::string::npos)
        << report.out;
}

}  // namespace
}  // namespace labyrinth
