#pragma once
// The image-file layer: files as random-access byte stores. Every access is a
// positioned read or write that is checked; failures name the file and give
// the system's reason. Nothing here creates, truncates or extends a file.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "writer/result.h"

namespace labyrinth {

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
    /// Fails when the file is no longer the one that its name leads to (it
    /// was removed, or another file took its name), so that a write does
    /// not vanish into a file nobody can see any more.
    virtual Status checkStillThere() { return std::nullopt; }
};

/// A file on disk, opened once and kept open. Move-only.
class DiskFile final : public RandomAccessFile {
public:
    enum class Mode { ReadOnly, ReadWrite };

    /// Opens an existing regular file; never creates one.
    static Result<std::unique_ptr<DiskFile>> open(const std::string& path, Mode mode);
    ~DiskFile() override;
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    const std::string& name() const override { return path_; }
    Status readAt(std::int64_t offset, std::span<std::uint8_t> out) override;
    Status writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override;
    Result<std::int64_t> size() override;
    Status flush() override;
    Status checkStillThere() override;
    /// Closes the handle; closing twice is harmless.
    void close();
    bool isOpen() const { return fd_ >= 0; }

private:
    DiskFile(std::string path, int fd, std::uint64_t device, std::uint64_t inode)
        : path_(std::move(path)), fd_(fd), device_(device), inode_(inode) {}
    std::string path_;
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
    Status flush() override { return std::nullopt; }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::string name_;
    std::vector<std::uint8_t> bytes_;
};

/// Reads a whole file that is not kept open (a copy's source, a text file).
Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

/// Writes `bytes` as a new file at `path` through a temporary file in the same
/// folder that is renamed into place, so that `path` is either left as it was
/// or holds all of `bytes`. Fails when `path` exists and `replace` is false.
Status writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace);

/// "name: what: reason" from errno.
Error systemError(const std::string& name, const std::string& what, int errnoValue);

}  // namespace labyrinth
