#pragma once
// The image-file layer: files as random-access byte stores. Every access is a
// positioned read or write that is checked; failures name the file and give
// the system's reason. Nothing here creates, truncates or extends a file that
// the user gave as input (new files are output_file.h's business).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "writer/result.h"

namespace labyrinth {

/// An advisory lock on a whole file: many readers, or one writer. It binds
/// only programs that ask for it (every front end of this tool does); a
/// program that writes without asking is not held back.
enum class FileLock { None, Shared, Exclusive };

class RandomAccessFile {
public:
    virtual ~RandomAccessFile() = default;
    /// The name used in messages.
    virtual const std::string& name() const = 0;
    /// Reads exactly out.size() bytes at `offset`; a short file is an error.
    virtual Status readAt(std::int64_t offset, std::span<std::uint8_t> out) = 0;
    /// Writes all of `data` at `offset`; never beyond the current end.
    virtual Status writeAt(std::int64_t offset, std::span<const std::uint8_t> data) = 0;
    /// The current size in bytes, asked of the open file itself.
    virtual Result<std::int64_t> size() = 0;
    /// Pushes written bytes to the storage so that late failures show up.
    virtual Status flush() = 0;
    /// Where the next bytes that may be other than zero begin, at or after
    /// `offset` (the size when none follow): a sparse file's holes read as
    /// zeros and need not be read. Without that knowledge, `offset` itself.
    virtual std::int64_t nextData(std::int64_t offset) { return offset; }
    /// Fails when the file is no longer the one that its name leads to (it
    /// was removed, or another file took its name), so that a write does
    /// not vanish into a file nobody can see any more. `since` says when
    /// that happened in the message ("NAME: was removed after it was opened").
    virtual Status checkStillThere(std::string_view since = "after it was opened") {
        static_cast<void>(since);
        return {};
    }
    /// Fails, as opening the file for writing now would, when it may no
    /// longer be written (its permission bits changed since it was opened).
    virtual Status checkWritable() { return {}; }
    /// Takes, changes or (with `FileLock::None`) drops this file's advisory
    /// lock, without waiting: true when it is held, false when another
    /// program holds one that conflicts. A file system that keeps no locks
    /// counts as held: there is nothing to protect with.
    virtual Result<bool> lock(FileLock kind) {
        held_ = kind;
        return true;
    }
    /// The lock this file holds now.
    FileLock heldLock() const { return held_; }

protected:
    FileLock held_ = FileLock::None;
};

/// A file on disk, opened once and kept open. Move-only.
class DiskFile final : public RandomAccessFile {
public:
    enum class Mode { ReadOnly, ReadWrite };

    /// Opens an existing regular file. Never creates one, and never waits: a
    /// FIFO, socket or device is refused at once ("is not a regular file")
    /// before a byte is read. As root, a file whose owner may not write it
    /// is still refused for writing, so that an image marked read-only to
    /// protect it stays protected.
    static Result<std::unique_ptr<DiskFile>> open(const std::string& path, Mode mode);
    ~DiskFile() override;
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    const std::string& name() const override { return name_; }
    Status readAt(std::int64_t offset, std::span<std::uint8_t> out) override;
    /// Also fails when the file's size changed while the bytes were written
    /// (another program shrank or grew it), so that is never taken for success.
    Status writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override;
    Result<std::int64_t> size() override;
    Status flush() override;
    Status checkStillThere(std::string_view since = "after it was opened") override;
    Status checkWritable() override;
    /// An open file description lock (Linux), else flock(): both belong to
    /// this open file alone, so no other descriptor of the same file, opened
    /// and closed meanwhile, can drop it. Closing the file drops it.
    Result<bool> lock(FileLock kind) override;
    std::int64_t nextData(std::int64_t offset) override;
    /// Closes the handle; closing twice is harmless. Fails when the system
    /// reports an error that only shows at close (some network file systems).
    Status close();
    bool isOpen() const { return fd_ >= 0; }

private:
    friend class NewFile;  // a new file is a disk file under a temporary name
    DiskFile(std::string name, std::string path, int fd, std::uint64_t device, std::uint64_t inode)
        : name_(std::move(name)), path_(std::move(path)), fd_(fd), device_(device), inode_(inode) {}
    // How far a positioned read or write got: all its bytes, or fewer and
    // the system's reason (`error` 0: the file ended or took no more).
    struct Moved {
        std::size_t bytes = 0;
        int error = 0;
    };
    // The one loop of positioned reads and writes: `step(done)` moves the
    // bytes from `done` on (a pread or pwrite) and returns what it returns;
    // an interrupted step is tried again, a short one continued.
    static Moved moveAll(std::size_t size, const std::function<long(std::size_t done)>& step);
    // Writes all of `data` at `offset`, wherever the file ends.
    Status writeAll(std::int64_t offset, std::span<const std::uint8_t> data);
    std::string name_;  // for messages
    std::string path_;  // where the file is found again
    int fd_ = -1;
    std::uint64_t device_ = 0;  // identity of the file opened, to tell if the
    std::uint64_t inode_ = 0;   // name later leads somewhere else
};

/// A file held in memory, for runs without files and for tests. Like a disk
/// file it is never extended by a write.
class MemoryFile final : public RandomAccessFile {
public:
    MemoryFile(std::string name, std::vector<std::uint8_t> bytes)
        : name_(std::move(name)), bytes_(std::move(bytes)) {}

    const std::string& name() const override { return name_; }
    Status readAt(std::int64_t offset, std::span<std::uint8_t> out) override;
    Status writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override;
    Result<std::int64_t> size() override { return static_cast<std::int64_t>(bytes_.size()); }
    Status flush() override { return {}; }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::string name_;
    std::vector<std::uint8_t> bytes_;
};

/// What `lockWaiting` does while it waits.
struct LockWait {
    std::chrono::milliseconds limit{10'000};  ///< give up after this long
    std::chrono::milliseconds notice{1'000};  ///< call `waiting` once after this long
    std::function<void()> waiting;            ///< tells the user that it waits
};

/// Takes `kind` of lock on `file`, waiting while another program holds one
/// that conflicts, at most `wait.limit`. Fails with a message that names the
/// file when the time runs out or the system refuses.
Status lockWaiting(RandomAccessFile& file, FileLock kind, const LockWait& wait);

/// The first `limit` bytes of `file`, or all of it when it is shorter: what
/// the labyrinth's readers need, whatever the file's size.
Result<std::vector<std::uint8_t>> readPrefix(RandomAccessFile& file, std::int64_t limit);

/// Bytes per chunk when a whole file must be seen (a copy, a comparison), so
/// that memory stays bounded whatever the file's size.
inline constexpr std::int64_t chunkSize = std::int64_t{1} << 20;

/// Reads `file` from `begin` to `end` in chunks of at most `chunkSize` bytes
/// and hands each to `visit` with its offset; stops at the first failure.
Status forEachChunk(RandomAccessFile& file, std::int64_t begin, std::int64_t end,
                    const std::function<Status(std::int64_t offset, std::span<const std::uint8_t> bytes)>& visit);

/// How messages call a file of this type (`st_mode`): "a FIFO", "a folder"...
std::string fileTypeName(std::uint32_t mode);

/// "name: what: reason" for a system error. Take `errnoValue` from errno
/// before anything else runs, as building the text may change errno.
Error systemError(const std::string& name, const std::string& what, int errnoValue);

}  // namespace labyrinth
