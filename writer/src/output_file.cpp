#include "writer/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <vector>

#include "writer/interruption.h"

namespace labyrinth {
namespace {

namespace fs = std::filesystem;

// The folder a file's name leads into: "." for a bare name.
std::string folderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? "." : folder.string();
}

// A name for the temporary file beside `target`: hidden, recognisable, and
// never longer than the folder allows, so that a legal target name never
// fails because of it.
std::string temporaryName(const std::string& folder, const std::string& target, std::random_device& entropy) {
    std::uint64_t salt = (std::uint64_t{entropy()} << 32U) ^ entropy();
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = 255;
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix = ".";
    for (int i = 0; i < 8; ++i, salt /= 36) suffix += digits[salt % 36];
    suffix += ".tmp";
    const auto room = static_cast<std::size_t>(std::max<long>(nameMax - 1 - static_cast<long>(suffix.size()), 0));
    const std::string name = "." + fs::path(target).filename().string().substr(0, room) + suffix;
    return (fs::path(folder) / name).string();
}

bool allZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

Status checkOutputTarget(const std::string& path, bool replace) {
    if (path.empty()) return Error{"an output's file name is empty"};
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        const int err = errno;
        if (err != ENOENT) return systemError(path, "cannot create", err);
        // Absent: its folder must exist and take new files, so that a write
        // that would fail at the end is refused before anything happens.
        const std::string folder = folderOf(path);
        struct stat folderInfo {};
        if (::stat(folder.c_str(), &folderInfo) != 0) {
            const int folderErr = errno;
            return systemError(path, "cannot create", folderErr);
        }
        if (!S_ISDIR(folderInfo.st_mode)) return systemError(path, "cannot create", ENOTDIR);
        if (::access(folder.c_str(), W_OK | X_OK) != 0) {
            const int folderErr = errno;
            return systemError(path, "cannot create a file in " + folder, folderErr);
        }
        return {};
    }
    if (S_ISLNK(info.st_mode))
        return Error{path + ": is a symbolic link, which is never replaced; name the file it leads to instead"};
    if (S_ISDIR(info.st_mode)) return Error{path + ": is a folder, not a file"};
    if (!S_ISREG(info.st_mode))
        return Error{path + ": is " + fileTypeName(info.st_mode) + ", not a regular file; it is never replaced"};
    if (!replace) return Error{path + ": " + std::string(existsText)};
    return {};
}

Result<std::unique_ptr<NewFile>> NewFile::create(const std::string& path, bool replace, Placement placement) {
    if (auto target = checkOutputTarget(path, replace); !target) return target.error();
    // A replaced file keeps its mode; a new one gets the usual 0666 less the umask.
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    const std::string folder = folderOf(path);
    // Made, given its mode and known by its identity, or refused.
    const auto made = [&](int fd, std::string temporary) -> Result<std::unique_ptr<NewFile>> {
        struct stat info {};
        if (::fstat(fd, &info) != 0 || (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0)) {
            const int err = errno;
            ::close(fd);
            if (!temporary.empty()) {
                ::unlink(temporary.c_str());
                interruption::removeTemporary(temporary);
            }
            return systemError(path, "cannot create", err);
        }
        auto file = std::unique_ptr<DiskFile>(new DiskFile(path, temporary, fd, info.st_dev, info.st_ino));
        return std::unique_ptr<NewFile>(new NewFile(std::move(file), std::move(temporary), replace));
    };
#ifdef O_TMPFILE
    // A file with no name: nothing can be put in its place before it is
    // linked, and it vanishes by itself if the program dies first. A file
    // system without such files refuses, and a temporary name serves.
    if (placement == Placement::Unnamed) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0) return made(fd, {});
    }
#else
    static_cast<void>(placement);
#endif
    std::random_device entropy;
    for (int tries = 0; tries < 16; ++tries) {
        std::string temporary = temporaryName(folder, path, entropy);
        // Known to the signal handlers from the moment it exists, so that
        // an interrupted command leaves no temporary file behind.
        const interruption::Deferred held;
        const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            const int err = errno;
            if (err == EEXIST) continue;
            return systemError(path, "cannot create a file in " + folder, err);
        }
        interruption::addTemporary(temporary);
        return made(fd, std::move(temporary));
    }
    return systemError(path, "cannot create a file in " + folder, EEXIST);
}

NewFile::~NewFile() {
    if (committed_ || temporary_.empty()) return;
    static_cast<void>(file_->close());
    const interruption::Deferred held;
    ::unlink(temporary_.c_str());
    interruption::removeTemporary(temporary_);
}

Status NewFile::appendZeros(std::int64_t count) {
    if (committed_) return Error{name() + ": the file is closed"};
    auto size = file_->size();
    if (!size) return size.error();
    if (::ftruncate(file_->fd_, static_cast<off_t>(size.value() + count)) != 0) {
        const int err = errno;
        return systemError(name(), "cannot write", err);
    }
    return {};
}

Status NewFile::append(std::span<const std::uint8_t> bytes) {
    if (committed_) return Error{name() + ": the file is closed"};
    if (allZero(bytes)) return appendZeros(static_cast<std::int64_t>(bytes.size()));
    auto size = file_->size();
    if (!size) return size.error();
    return file_->writeAll(size.value(), bytes);
}

// Links the unnamed file to `name` from its descriptor: through /proc, which
// needs no privilege, or else by the descriptor itself. 0, or the reason.
int NewFile::linkFromDescriptor(const std::string& name) const {
    const std::string self = "/proc/self/fd/" + std::to_string(file_->fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    int err = errno;
#ifdef AT_EMPTY_PATH
    if (err == ENOENT && ::access("/proc/self/fd", F_OK) != 0) {
        if (::linkat(file_->fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        err = errno;
    }
#endif
    return err;
}

Status NewFile::placeUnnamed(const std::string& target) {
    if (!replace_) {
        // linkat() refuses an existing name, so a file that appeared since
        // the check is not replaced without --force.
        const int err = linkFromDescriptor(target);
        if (err == 0) return {};
        if (err == EEXIST) return Error{target + ": " + std::string(existsText)};
        return systemError(target, "cannot create", err);
    }
    // Replacing takes a rename, which moves a name: the file gets a
    // temporary one first, for as short a time as it can.
    std::random_device entropy;
    for (int tries = 0; tries < 16; ++tries) {
        const std::string temporary = temporaryName(folderOf(target), target, entropy);
        const int err = linkFromDescriptor(temporary);
        if (err == EEXIST) continue;
        if (err != 0) return systemError(target, "cannot create", err);
        interruption::addTemporary(temporary);
        const int moved = ::rename(temporary.c_str(), target.c_str());
        const int moveErr = errno;
        if (moved != 0) ::unlink(temporary.c_str());
        interruption::removeTemporary(temporary);
        if (moved != 0) return systemError(target, "cannot create", moveErr);
        return {};
    }
    return systemError(target, "cannot create", EEXIST);
}

Status NewFile::placeNamed(const std::string& target) {
    interruption::removeTemporary(temporary_);
    int moved = 0;
    int err = 0;
    if (replace_) {
        moved = ::rename(temporary_.c_str(), target.c_str());
        err = errno;
    } else {
        // link() refuses an existing name, so a file that appeared since the
        // check is not replaced without --force.
        moved = ::link(temporary_.c_str(), target.c_str());
        err = errno;
        if (moved != 0 && (err == EPERM || err == ENOTSUP || err == ENOSYS)) {
            // No hard links on this file system: the check just before the
            // rename is the best that can be done.
            struct stat info {};
            if (::lstat(target.c_str(), &info) == 0) {
                err = EEXIST;
            } else {
                moved = ::rename(temporary_.c_str(), target.c_str());
                err = errno;
            }
        }
        if (moved == 0) ::unlink(temporary_.c_str());
    }
    if (moved != 0) {
        ::unlink(temporary_.c_str());
        if (err == EEXIST) return Error{target + ": " + std::string(existsText)};
        return systemError(target, "cannot create", err);
    }
    return {};
}

Status NewFile::commit(const std::function<void()>& whenPlaced) {
    if (committed_) return placed_ ? Status{} : Status(Error{name() + ": was not made"});
    if (::fsync(file_->fd_) != 0) {
        const int err = errno;
        if (err != EINVAL) return systemError(name(), "cannot save", err);
    }
    const std::string& target = name();
    // The move into place and the end of the temporary name happen as one
    // step for the signal handlers.
    const interruption::Deferred held;
    committed_ = true;
    if (auto placed = temporary_.empty() ? placeUnnamed(target) : placeNamed(target); !placed) return placed;
    // What the name leads to now must be the file written: a file of
    // another program's, put under the temporary name meanwhile, would
    // otherwise pass for it.
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || info.st_dev != file_->device_ || info.st_ino != file_->inode_)
        return Error{target + ": another file took its place while it was written (a program put it under the "
                              "temporary name); it is not the file this command wrote"};
    placed_ = true;
    file_->path_ = target;
    if (whenPlaced) whenPlaced();
    // The new name is saved with its folder.
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

bool NewFile::withdraw() {
    if (!placed_) return true;
    const interruption::Deferred held;
    struct stat info {};
    const std::string& target = name();
    if (::lstat(target.c_str(), &info) != 0) return errno == ENOENT;
    if (info.st_dev != file_->device_ || info.st_ino != file_->inode_) return false;
    if (::unlink(target.c_str()) != 0) return false;
    placed_ = false;
    return true;
}

Status NewFile::checkHolds(std::span<const std::uint8_t> bytes) {
    if (!placed_) return Error{name() + ": was not made"};
    if (auto there = file_->checkStillThere("after it was written"); !there) return there;
    auto size = file_->size();
    if (!size) return size.error();
    if (size.value() != static_cast<std::int64_t>(bytes.size()))
        return Error{name() + ": changed after it was written: it is " + std::to_string(size.value()) +
                     " bytes long, not " + std::to_string(bytes.size())};
    std::vector<std::uint8_t> held(bytes.size());
    if (auto read = file_->readAt(0, held); !read) return read;
    if (!std::equal(held.begin(), held.end(), bytes.begin()))
        return Error{name() + ": changed after it was written: another program wrote into it"};
    return {};
}

Result<std::unique_ptr<NewFile>> copyToNewFile(RandomAccessFile& source, const std::string& path, bool replace) {
    auto copy = NewFile::create(path, replace);
    if (!copy) return copy.error();
    auto size = source.size();
    if (!size) return size.error();
    NewFile& file = *copy.value();
    for (std::int64_t offset = 0; offset < size.value();) {
        const std::int64_t data = std::min(source.nextData(offset), size.value());
        if (data > offset) {
            if (auto hole = file.appendZeros(data - offset); !hole) return hole.error();
            offset = data;
            continue;
        }
        const std::int64_t end = std::min(offset + chunkSize, size.value());
        auto copied = forEachChunk(source, offset, end, [&](std::int64_t, std::span<const std::uint8_t> bytes) {
            return file.append(bytes);
        });
        if (!copied) return copied.error();
        offset = end;
    }
    return std::move(copy.value());
}

Result<std::unique_ptr<NewFile>> writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes,
                                              bool replace) {
    auto file = NewFile::create(path, replace);
    if (!file) return file.error();
    if (auto appended = file.value()->append(bytes); !appended) return appended.error();
    if (auto committed = file.value()->commit(); !committed) return committed.error();
    return std::move(file.value());
}

}  // namespace labyrinth
