#pragma once
// Helpers shared by the tests: synthetic files, a temporary folder, a host
// that records what the driver shows, and the labyrinth's invariants.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "labyrinth/model.h"
#include "writer/driver.h"
#include "writer/record_format.h"

namespace labyrinth::testing {

/// A synthetic image (never a real cartridge): the NES magic, then a byte
/// pattern, so that any changed byte outside the written regions shows.
std::vector<std::uint8_t> syntheticImage(std::size_t size = static_cast<std::size_t>(format::minImageSize));
/// A text file of `size` bytes whose byte i is (i * 7 + 1) mod 256.
std::vector<std::uint8_t> syntheticText(std::size_t size = static_cast<std::size_t>(format::textSize));

/// A fresh folder under the system's temporary folder, removed with its
/// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

/// A fresh folder with a synthetic game.nes and tgltext.tgl side by side.
struct GameFolder {
    GameFolder();
    TempDir dir;
};

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

/// A driver host that records everything it is shown.
class RecordingHost final : public DriverHost {
public:
    void repaint() override { ++repaints; }
    void setLinkLine(int index, const LinkLine& line) override;
    void setStatus(std::string_view text) override { statuses.emplace_back(text); }
    void setBusy(bool value) override { busy = value; }

    int repaints = 0;
    bool busy = false;
    std::vector<std::string> statuses;
    std::vector<std::string> linkLines;
};

/// Every broken invariant of a finished generation, one text each; empty
/// when the model holds a complete, consistent labyrinth. After a write the
/// writer has reused the model's counters, so only the counts that survive
/// the encoding pass are compared then.
enum class ModelStage { Generated, Written };
std::vector<std::string> invariantProblems(const Labyrinth& model, ModelStage stage = ModelStage::Generated);

/// A file layer that fails on purpose: the n-th write as a full disk
/// would, the n-th read as a failing disk would, the n-th flush as a disk
/// that loses the data late (counted from 1; 0 never). `duringFlush` runs
/// inside every flush, while a click holds the file: what another program
/// or a signal might do just then. Locks go to the inner file.
class FaultyFile final : public RandomAccessFile {
public:
    struct Faults {
        int failingWrite = 0;
        int failingRead = 0;
        int failingFlush = 0;
        std::function<void()> duringFlush = nullptr;
    };
    FaultyFile(RandomAccessFile& inner, Faults faults) : inner_(inner), faults_(faults) {}
    const std::string& name() const override { return inner_.name(); }
    Status readAt(std::int64_t offset, std::span<std::uint8_t> out) override;
    Status writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override;
    Result<std::int64_t> size() override { return inner_.size(); }
    Status flush() override;
    Status checkWritable() override { return inner_.checkWritable(); }
    Status checkStillThere(std::string_view since = "after it was opened") override {
        return inner_.checkStillThere(since);
    }
    Result<bool> lock(FileLock kind) override;
    int writes() const { return writes_; }
    int flushes() const { return flushes_; }

private:
    RandomAccessFile& inner_;
    Faults faults_;
    int writes_ = 0;
    int reads_ = 0;
    int flushes_ = 0;
};

/// What a program printed and how it ended.
struct CommandRun {
    int exit = -1;  ///< exit status, -1 when it did not exit normally
    std::string out, err;
};

/// Runs `program` with `args` in `folder`, with no standard input; `prefix`
/// goes before the program (such as `unprivilegedPrefix()`).
CommandRun runCommand(const std::string& program, const std::filesystem::path& folder,
                      const std::vector<std::string>& args, const std::vector<std::string>& prefix = {});

/// How to run a command as a user without privileges, for tests of
/// permissions (root reads and writes any file): nothing when the tests do
/// not run as root; setpriv as nobody when they do. `available` is false,
/// with the reason, when neither works.
struct Unprivileged {
    bool available = false;
    std::vector<std::string> prefix;
    std::string reason;
};
Unprivileged unprivilegedPrefix();

/// Runs `body` in a child process that has dropped root's privileges (as
/// nobody) and returns what it returned; the parent's state is untouched.
/// Not root: runs in a child all the same. Empty when the child could not
/// drop its privileges.
std::optional<std::string> inUnprivilegedChild(const std::function<std::string()>& body);

/// Lets an unprivileged user into `folder` and its files (read and write).
void openToEveryone(const std::filesystem::path& folder);

/// The first differing offset of two byte strings, as "0x..." text, or
/// "identical".
std::string firstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

}  // namespace labyrinth::testing
