#include "writer/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace labyrinth {
namespace {

std::string at(std::int64_t offset) { return " at offset " + std::to_string(offset); }

Status checkRange(const std::string& name, const char* verb, std::int64_t offset, std::size_t count,
                  std::int64_t fileSize) {
    if (offset < 0 || offset > fileSize || static_cast<std::uint64_t>(fileSize - offset) < count)
        return Error{name + ": cannot " + verb + " " + std::to_string(count) + " bytes" + at(offset) +
                     ": the file is only " + std::to_string(fileSize) + " bytes long"};
    return std::nullopt;
}

}  // namespace

Error systemError(const std::string& name, const std::string& what, int errnoValue) {
    return Error{name + ": " + what + ": " + std::strerror(errnoValue)};
}

Result<std::unique_ptr<DiskFile>> DiskFile::open(const std::string& path, Mode mode) {
    const int flags = (mode == Mode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno == EISDIR) return Error{path + ": is a folder, not a file"};
    if (fd < 0) return systemError(path, "cannot open", errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int err = errno;
        ::close(fd);
        return systemError(path, "cannot read its size", err);
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return Error{path + ": is a folder, not a file"};
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Error{path + ": is not a regular file"};
    }
    // The system lets an administrator read and write any file; the tool
    // still respects the owner's permission bits, so a file made read-only
    // to protect it stays protected.
    if (::geteuid() == 0) {
        const bool readable = (info.st_mode & S_IRUSR) != 0;
        const bool writable = (info.st_mode & S_IWUSR) != 0;
        if (!readable || (mode == Mode::ReadWrite && !writable)) {
            ::close(fd);
            return systemError(path, "cannot open", EACCES);
        }
    }
    return std::unique_ptr<DiskFile>(new DiskFile(path, fd, info.st_dev, info.st_ino));
}

DiskFile::~DiskFile() { close(); }

void DiskFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Status DiskFile::readAt(std::int64_t offset, std::span<std::uint8_t> out) {
    if (fd_ < 0) return Error{path_ + ": the file is closed"};
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return systemError(path_, "cannot read" + at(offset + static_cast<std::int64_t>(done)), errno);
        if (n == 0)
            return Error{path_ + ": cannot read " + std::to_string(out.size()) + " bytes" + at(offset) +
                         ": the file ends after " + std::to_string(offset + static_cast<std::int64_t>(done)) +
                         " bytes"};
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

Status DiskFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> data) {
    if (fd_ < 0) return Error{path_ + ": the file is closed"};
    // Never extend the file: the image's size is checked before every click,
    // but a file may shrink behind our back.
    auto fileSize = size();
    if (!fileSize) return fileSize.error();
    if (auto range = checkRange(path_, "write", offset, data.size(), fileSize.value())) return range;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                   static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            return systemError(path_, "cannot write" + at(offset + static_cast<std::int64_t>(done)), errno);
        if (n == 0) return Error{path_ + ": cannot write" + at(offset) + ": no bytes were accepted"};
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

Result<std::int64_t> DiskFile::size() {
    if (fd_ < 0) return Error{path_ + ": the file is closed"};
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return systemError(path_, "cannot read its size", errno);
    return static_cast<std::int64_t>(info.st_size);
}

Status DiskFile::flush() {
    if (fd_ < 0) return Error{path_ + ": the file is closed"};
    if (::fdatasync(fd_) != 0 && errno != EINVAL) return systemError(path_, "cannot save the changes", errno);
    return std::nullopt;
}

Status DiskFile::checkStillThere() {
    if (fd_ < 0) return Error{path_ + ": the file is closed"};
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        if (errno == ENOENT) return Error{path_ + ": was removed after it was opened"};
        return systemError(path_, "cannot be found again", errno);
    }
    if (info.st_dev != device_ || info.st_ino != inode_)
        return Error{path_ + ": was replaced by another file after it was opened"};
    return std::nullopt;
}

Status MemoryFile::readAt(std::int64_t offset, std::span<std::uint8_t> out) {
    if (auto range = checkRange(name_, "read", offset, out.size(), static_cast<std::int64_t>(bytes_.size())))
        return range;
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return std::nullopt;
}

Status MemoryFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> data) {
    if (auto range = checkRange(name_, "write", offset, data.size(), static_cast<std::int64_t>(bytes_.size())))
        return range;
    std::memcpy(bytes_.data() + offset, data.data(), data.size());
    return std::nullopt;
}

Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
    auto file = DiskFile::open(path, DiskFile::Mode::ReadOnly);
    if (!file) return file.error();
    auto size = file.value()->size();
    if (!size) return size.error();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.value()));
    if (auto failed = file.value()->readAt(0, bytes)) return *failed;
    return bytes;
}

Status writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(path);
    if (fs::is_directory(target, ec)) return Error{path + ": is a folder, not a file"};
    if (!replace && fs::exists(fs::symlink_status(target, ec)))
        return Error{path + ": already exists (use --force to replace it)"};

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::random_device entropy;
    const fs::path temporary = folder / ("." + target.filename().string() + ".tmp" + std::to_string(entropy()));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return systemError(path, "cannot create a file in " + folder.string(), errno);

    auto fail = [&](const std::string& what, int err) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return systemError(path, what, err);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("cannot write", n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail("cannot save", errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        return systemError(path, "cannot save", err);
    }
    // link() refuses an existing target, so a file that appeared meanwhile is
    // not replaced without --force.
    const int moved = replace ? ::rename(temporary.c_str(), target.c_str())
                              : ::link(temporary.c_str(), target.c_str());
    const int err = errno;
    if (!replace) ::unlink(temporary.c_str());
    if (moved != 0) {
        if (replace) ::unlink(temporary.c_str());
        if (err == EEXIST) return Error{path + ": already exists (use --force to replace it)"};
        return systemError(path, "cannot create", err);
    }
    return std::nullopt;
}

}  // namespace labyrinth
