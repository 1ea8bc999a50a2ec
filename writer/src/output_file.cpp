#include "writer/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>

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
std::string temporaryName(const std::string& folder, const std::string& target, std::uint64_t salt) {
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

bool sameFile(const std::string& a, const std::string& b) {
    struct stat infoA {};
    struct stat infoB {};
    if (::stat(a.c_str(), &infoA) == 0 && ::stat(b.c_str(), &infoB) == 0)
        return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    // Either is missing: the same name, however spelled, is the same file.
    std::error_code ecA;
    std::error_code ecB;
    const fs::path pathA = fs::weakly_canonical(fs::path(a), ecA);
    const fs::path pathB = fs::weakly_canonical(fs::path(b), ecB);
    if (ecA || ecB) return a == b;
    return pathA == pathB;
}

Status checkOutputs(std::span<const PlannedOutput> outputs, std::span<const std::string> inputs, bool replace) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const PlannedOutput& out = outputs[i];
        if (out.path.empty()) continue;
        const bool toStandardOutput = out.path == standardOutputName;
        if (toStandardOutput && !out.standardOutputAllowed)
            return Error{out.option + ": \"-\" (standard output) is taken only by --spoiler and --svg; name a file"};
        if (!toStandardOutput)
            for (const std::string& input : inputs)
                if (!input.empty() && sameFile(out.path, input))
                    return Error{out.path + (out.path == input ? ": this command reads that file"
                                                               : ": is the same file as " + input + ", which this command reads") +
                                 "; choose another file for " + out.option};
        for (std::size_t j = 0; j < i; ++j) {
            const PlannedOutput& earlier = outputs[j];
            if (earlier.path.empty()) continue;
            const bool bothStdout = out.path == standardOutputName && earlier.path == standardOutputName;
            const bool oneStdout = out.path == standardOutputName || earlier.path == standardOutputName;
            if (bothStdout || (!oneStdout && sameFile(out.path, earlier.path)))
                return Error{out.path + ": is named for both " + earlier.option + " and " + out.option};
        }
        if (!toStandardOutput)
            if (auto target = checkOutputTarget(out.path, replace); !target) return target;
    }
    return {};
}

Result<std::unique_ptr<NewFile>> NewFile::create(const std::string& path, bool replace) {
    if (auto target = checkOutputTarget(path, replace); !target) return target.error();
    // A replaced file keeps its mode; a new one gets the usual 0666 less the umask.
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;

    const std::string folder = folderOf(path);
    std::random_device entropy;
    for (int tries = 0; tries < 16; ++tries) {
        const std::uint64_t salt = (std::uint64_t{entropy()} << 32U) ^ entropy();
        std::string temporary = temporaryName(folder, path, salt);
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
        struct stat info {};
        if (::fstat(fd, &info) != 0 || (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0)) {
            const int err = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            interruption::removeTemporary(temporary);
            return systemError(path, "cannot create", err);
        }
        auto file = std::unique_ptr<DiskFile>(new DiskFile(path, temporary, fd, info.st_dev, info.st_ino));
        return std::unique_ptr<NewFile>(new NewFile(std::move(file), std::move(temporary), replace));
    }
    return systemError(path, "cannot create a file in " + folder, EEXIST);
}

NewFile::~NewFile() {
    if (committed_) return;
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

Status NewFile::commit() {
    if (committed_) return {};
    if (::fsync(file_->fd_) != 0) {
        const int err = errno;
        if (err != EINVAL) return systemError(name(), "cannot save", err);
    }
    if (auto closed = file_->close(); !closed) return closed;
    const std::string& target = name();
    // The move into place and the end of the temporary name happen as one
    // step for the signal handlers.
    const interruption::Deferred held;
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
        committed_ = true;
        if (err == EEXIST) return Error{target + ": " + std::string(existsText)};
        return systemError(target, "cannot create", err);
    }
    committed_ = true;
    // The new name is saved with its folder.
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

Status writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace) {
    auto file = NewFile::create(path, replace);
    if (!file) return file.error();
    if (auto appended = file.value()->append(bytes); !appended) return appended;
    return file.value()->commit();
}

}  // namespace labyrinth
