#include "writer/image_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

namespace labyrinth {
namespace {

std::string at(std::int64_t offset) { return " at offset " + std::to_string(offset); }

Status checkRange(const std::string& name, const char* verb, std::int64_t offset, std::size_t count,
                  std::int64_t fileSize) {
    if (offset < 0 || offset > fileSize || static_cast<std::uint64_t>(fileSize - offset) < count)
        return Error{name + ": cannot " + verb + " " + std::to_string(count) + " bytes" + at(offset) +
                     ": the file is only " + std::to_string(fileSize) + " bytes long"};
    return {};
}

// The refusal of a file whose owner marked it read-only: the system lets an
// administrator write any file, but the tool leaves such a file alone.
Status ownerMayWrite(const std::string& name, std::uint32_t mode) {
    if (::geteuid() == 0 && (mode & S_IWUSR) == 0)
        return Error{name + ": is marked read-only, and the tool leaves such a file alone even when run as "
                            "root; to write into it, make it writable first (chmod u+w)"};
    return {};
}

}  // namespace

Error systemError(const std::string& name, const std::string& what, int errnoValue) {
    return Error{name + ": " + what + ": " + std::strerror(errnoValue)};
}

std::string fileTypeName(std::uint32_t mode) {
    switch (mode & S_IFMT) {
        case S_IFREG: return "a regular file";
        case S_IFDIR: return "a folder";
        case S_IFIFO: return "a FIFO";
        case S_IFSOCK: return "a socket";
        case S_IFCHR: return "a character device";
        case S_IFBLK: return "a block device";
        case S_IFLNK: return "a symbolic link";
        default: return "a special file";
    }
}

Result<std::unique_ptr<DiskFile>> DiskFile::open(const std::string& path, Mode mode) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer forever; no
    // read happens before the file is known to be a regular one.
    const int access = mode == Mode::ReadWrite ? O_RDWR : O_RDONLY;
    const int fd = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        if (err == EISDIR) return Error{path + ": is a folder, not a file"};
        return systemError(path, "cannot open", err);
    }
    auto refuse = [fd](Error error) -> Result<std::unique_ptr<DiskFile>> {
        ::close(fd);
        return error;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int err = errno;
        return refuse(systemError(path, "cannot read its size", err));
    }
    if (S_ISDIR(info.st_mode)) return refuse(Error{path + ": is a folder, not a file"});
    if (!S_ISREG(info.st_mode))
        return refuse(Error{path + ": is not a regular file (it is " + fileTypeName(info.st_mode) + ")"});
    // Reads and writes of a regular file never wait, so blocking mode is
    // restored only to keep the descriptor ordinary.
    if (::fcntl(fd, F_SETFL, access) != 0) {
        const int err = errno;
        return refuse(systemError(path, "cannot open", err));
    }
    if (mode == Mode::ReadWrite)
        if (auto owner = ownerMayWrite(path, info.st_mode); !owner) return refuse(owner.error());
    return std::unique_ptr<DiskFile>(new DiskFile(path, path, fd, info.st_dev, info.st_ino));
}

DiskFile::~DiskFile() { static_cast<void>(close()); }

Status DiskFile::close() {
    if (fd_ < 0) return {};
    const int fd = std::exchange(fd_, -1);
    held_ = FileLock::None;  // the system drops the lock with the file
    // After close() fails the descriptor is gone all the same, so it is
    // never closed twice; EINTR leaves the data written, as on Linux.
    if (::close(fd) != 0) {
        const int err = errno;
        if (err != EINTR) return systemError(name_, "cannot close", err);
    }
    return {};
}

Status DiskFile::readAt(std::int64_t offset, std::span<std::uint8_t> out) {
    if (fd_ < 0) return Error{name_ + ": the file is closed"};
    const Moved moved = moveAll(out.size(), [&](std::size_t done) {
        return ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    });
    const std::int64_t where = offset + static_cast<std::int64_t>(moved.bytes);
    if (moved.error != 0) return systemError(name_, "cannot read" + at(where), moved.error);
    if (moved.bytes < out.size())
        return Error{name_ + ": cannot read " + std::to_string(out.size()) + " bytes" + at(offset) +
                     ": the file ends after " + std::to_string(where) + " bytes"};
    return {};
}

Status DiskFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> data) {
    if (fd_ < 0) return Error{name_ + ": the file is closed"};
    // Never extend the file: the image's size is checked before every click,
    // but another program may change it behind our back.
    auto before = size();
    if (!before) return before.error();
    if (auto range = checkRange(name_, "write", offset, data.size(), before.value()); !range) return range;
    if (auto written = writeAll(offset, data); !written) return written;
    // The size is asked again, so that a file that shrank between the check
    // and the write (and was extended by it) is reported, not taken for done.
    auto after = size();
    if (!after) return after.error();
    if (after.value() != before.value())
        return Error{name_ + ": changed size while it was written (" + std::to_string(before.value()) +
                     " bytes before, " + std::to_string(after.value()) + " after): another program is changing it"};
    return {};
}

DiskFile::Moved DiskFile::moveAll(std::size_t size, const std::function<long(std::size_t done)>& step) {
    Moved moved;
    while (moved.bytes < size) {
        const long n = step(moved.bytes);
        if (n < 0) {
            const int err = errno;
            if (err == EINTR) continue;
            moved.error = err;
            break;
        }
        if (n == 0) break;
        moved.bytes += static_cast<std::size_t>(n);
    }
    return moved;
}

Status DiskFile::writeAll(std::int64_t offset, std::span<const std::uint8_t> data) {
    const Moved moved = moveAll(data.size(), [&](std::size_t done) {
        return ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    });
    const std::int64_t where = offset + static_cast<std::int64_t>(moved.bytes);
    if (moved.error != 0) return systemError(name_, "cannot write" + at(where), moved.error);
    if (moved.bytes < data.size()) return Error{name_ + ": cannot write" + at(where) + ": no bytes were accepted"};
    return {};
}

Result<std::int64_t> DiskFile::size() {
    if (fd_ < 0) return Error{name_ + ": the file is closed"};
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        const int err = errno;
        return systemError(name_, "cannot read its size", err);
    }
    return static_cast<std::int64_t>(info.st_size);
}

Status DiskFile::flush() {
    if (fd_ < 0) return Error{name_ + ": the file is closed"};
    if (::fdatasync(fd_) != 0) {
        const int err = errno;
        // A file system that cannot sync (EINVAL) has nothing more to push.
        if (err != EINVAL) return systemError(name_, "cannot save the changes", err);
    }
    return {};
}

std::int64_t DiskFile::nextData(std::int64_t offset) {
#ifndef SEEK_DATA
    return offset;  // a system that cannot tell where data lies: every byte is read
#else
    if (fd_ < 0) return offset;
    const off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
    if (data >= 0) return std::max<std::int64_t>(data, offset);
    // Nothing but a hole up to the end; any other failure (a file system
    // that cannot tell) leaves every byte to be read.
    if (errno == ENXIO) {
        auto end = size();
        if (end) return std::max(end.value(), offset);
    }
    return offset;
#endif
}

Status DiskFile::checkStillThere(std::string_view since) {
    if (fd_ < 0) return Error{name_ + ": the file is closed"};
    const std::string when(since);
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        const int err = errno;
        if (err == ENOENT) return Error{name_ + ": was removed " + when};
        return systemError(name_, "cannot be found again", err);
    }
    if (info.st_dev != device_ || info.st_ino != inode_)
        return Error{name_ + ": was replaced by another file " + when};
    return {};
}

Status DiskFile::checkWritable() {
    if (fd_ < 0) return Error{name_ + ": the file is closed"};
    // Opening it again for writing asks the system exactly what it would
    // answer a program starting now (permission bits, a file system mounted
    // read-only since); the open file keeps any lock, which belongs to it.
    const int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        return systemError(name_, "cannot open", err);
    }
    struct stat info {};
    const int statted = ::fstat(fd, &info);
    const int err = errno;
    ::close(fd);
    if (statted != 0) return systemError(name_, "cannot read its size", err);
    return ownerMayWrite(name_, info.st_mode);
}

Result<bool> DiskFile::lock(FileLock kind) {
    if (fd_ < 0) return Error{name_ + ": the file is closed"};
    int result = 0;
#ifdef F_OFD_SETLK
    struct flock request {};
    request.l_type = kind == FileLock::Exclusive ? F_WRLCK : kind == FileLock::Shared ? F_RDLCK : F_UNLCK;
    request.l_whence = SEEK_SET;  // from the start to the end, however the file grows
    while ((result = ::fcntl(fd_, F_OFD_SETLK, &request)) != 0 && errno == EINTR) {}
    const bool busy = result != 0 && (errno == EAGAIN || errno == EACCES);
#else
    const int operation = kind == FileLock::Exclusive ? LOCK_EX : kind == FileLock::Shared ? LOCK_SH : LOCK_UN;
    while ((result = ::flock(fd_, operation | LOCK_NB)) != 0 && errno == EINTR) {}
    const bool busy = result != 0 && errno == EWOULDBLOCK;
#endif
    if (busy) return false;
    if (result != 0) {
        const int err = errno;
        // A file system that keeps no locks (some network ones) has nothing
        // to hold the lock with; the write goes on as it would without one.
        if (err != ENOLCK && err != EINVAL && err != EOPNOTSUPP) return systemError(name_, "cannot lock", err);
    }
    held_ = kind;
    return true;
}

Status lockWaiting(RandomAccessFile& file, FileLock kind, const LockWait& wait) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    bool told = false;
    for (;;) {
        auto taken = file.lock(kind);
        if (!taken) return taken.error();
        if (taken.value()) return {};
        const auto waited = Clock::now() - start;
        if (waited >= wait.limit) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait.limit).count();
            return Error{file.name() + ": another program is " + (kind == FileLock::Exclusive ? "using" : "writing") +
                         " it" + (seconds > 0 ? ", still after " + std::to_string(seconds) + " s of waiting" : "")};
        }
        if (!told && waited >= wait.notice && wait.waiting) {
            wait.waiting();
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

Status MemoryFile::readAt(std::int64_t offset, std::span<std::uint8_t> out) {
    const auto size = static_cast<std::int64_t>(bytes_.size());
    if (auto range = checkRange(name_, "read", offset, out.size(), size); !range) return range;
    // In range, so the offset fits the vector's index type on every target.
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return {};
}

Status MemoryFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> data) {
    const auto size = static_cast<std::int64_t>(bytes_.size());
    if (auto range = checkRange(name_, "write", offset, data.size(), size); !range) return range;
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return {};
}

Result<std::vector<std::uint8_t>> readPrefix(RandomAccessFile& file, std::int64_t limit) {
    auto size = file.size();
    if (!size) return size.error();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::clamp<std::int64_t>(size.value(), 0, limit)));
    if (auto read = file.readAt(0, bytes); !read) return read.error();
    return bytes;
}

Status forEachChunk(RandomAccessFile& file, std::int64_t begin, std::int64_t end,
                    const std::function<Status(std::int64_t, std::span<const std::uint8_t>)>& visit) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::clamp<std::int64_t>(end - begin, 0, chunkSize)));
    for (std::int64_t offset = begin; offset < end;) {
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(end - offset, chunkSize));
        const std::span<std::uint8_t> chunk(buffer.data(), count);
        if (auto read = file.readAt(offset, chunk); !read) return read;
        if (auto visited = visit(offset, chunk); !visited) return visited;
        offset += static_cast<std::int64_t>(count);
    }
    return {};
}

}  // namespace labyrinth
