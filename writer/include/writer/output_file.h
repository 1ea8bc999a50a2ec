#pragma once
// Files the tool writes (a copy of the image, a picture, a description, a
// patch): one policy for all of them, checked before anything is written.
//   - An existing file is replaced only when the caller says so (--force).
//   - A folder, device, FIFO, socket or symbolic link is never replaced, not
//     even then: writing there would destroy something that is not a file
//     of the user's, or silently turn a link into a plain file.
//   - No output names a file that the same command reads, or another output.
//   - A new file appears whole or not at all, and what appears under its
//     name is the very file that was written: its bytes go to a file with
//     no name yet (or, where the file system has no such files, a
//     temporary name in the same folder), which is linked into place from
//     its descriptor at the end and checked there; a replaced file keeps
//     its mode bits.
// Which files a command may name at all is file_plan.h's business.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "writer/file_plan.h"
#include "writer/image_file.h"
#include "writer/result.h"

namespace labyrinth {

/// The reason given for an output that exists and may not be replaced
/// ("map.png: exists"); a front end adds how to replace it.
inline constexpr std::string_view existsText = "exists";

/// Checks that `path` may become a new file: absent (in an existing
/// folder), or a regular file and `replace` is set.
Status checkOutputTarget(const std::string& path, bool replace);

/// A file being written: made without a name (or under a temporary one)
/// beside `path`, and put in place by `commit`. Until then `path` is
/// untouched; an uncommitted file vanishes when the object goes. Reads and
/// positioned writes work as on any disk file; `append` adds bytes at the
/// end. After `commit` the file stays open, so that a last check can ask
/// whether the name still leads to it and it still holds what was written.
class NewFile final : public RandomAccessFile {
public:
    /// How the file waits for its name: unnamed where the file system can
    /// (nothing else can then take its place), or under a temporary name.
    enum class Placement { Unnamed, Named };

    /// Checks `path` as `checkOutputTarget` does, then creates the file. A
    /// temporary name stays within the file system's limit.
    static Result<std::unique_ptr<NewFile>> create(const std::string& path, bool replace,
                                                   Placement placement = Placement::Unnamed);
    ~NewFile() override;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    const std::string& name() const override { return file_->name(); }
    Status readAt(std::int64_t offset, std::span<std::uint8_t> out) override { return file_->readAt(offset, out); }
    Status writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override {
        return file_->writeAt(offset, data);
    }
    Result<std::int64_t> size() override { return file_->size(); }
    Status flush() override { return file_->flush(); }
    /// Before `commit` there is no name to check; afterwards, whether the
    /// name still leads to this file.
    Status checkStillThere(std::string_view since = "after it was written") override {
        if (!committed_) return {};
        return file_->checkStillThere(since);
    }

    /// Adds `bytes` at the end. A run of zeros becomes a hole, so that a
    /// sparse image stays sparse.
    Status append(std::span<const std::uint8_t> bytes);
    /// Adds `count` zeros at the end, as a hole.
    Status appendZeros(std::int64_t count);
    /// Saves the file and puts it under its name, then checks that the name
    /// leads to this very file: another program that slipped a file of its
    /// own in meanwhile makes the commit fail. The file stays open.
    /// `whenPlaced` runs as the same step for the signal handlers, once the
    /// file is in place: what must change together with it.
    Status commit(const std::function<void()>& whenPlaced = {});
    /// Whether the file was put under its name.
    bool committed() const { return placed_; }
    /// Takes a committed file's name away again, if the name still leads to
    /// it: for a file that must not outlive what it belongs to. True when
    /// the name is gone.
    bool withdraw();
    /// Fails unless the file is still under its name, `bytes.size()` long,
    /// and holds exactly `bytes`: the last check before a command's "Done.".
    Status checkHolds(std::span<const std::uint8_t> bytes);

private:
    NewFile(std::unique_ptr<DiskFile> file, std::string temporary, bool replace)
        : file_(std::move(file)), temporary_(std::move(temporary)), replace_(replace) {}
    int linkFromDescriptor(const std::string& name) const;
    Status placeUnnamed(const std::string& target);
    Status placeNamed(const std::string& target);
    std::unique_ptr<DiskFile> file_;
    std::string temporary_;  // the name it waits under; empty for an unnamed file
    bool replace_ = false;
    bool committed_ = false;  // commit ran (whatever its outcome): nothing more is written
    bool placed_ = false;     // and the file is under its name
};

/// A copy of `source`, chunk by chunk, as a new file for `path` that is not
/// committed yet (it appears under its name only at `commit`). The holes of
/// a sparse file are skipped, not read, and stay holes.
Result<std::unique_ptr<NewFile>> copyToNewFile(RandomAccessFile& source, const std::string& path, bool replace);

/// Writes `bytes` as a whole new file at `path` (create, append, commit),
/// and gives the file, still open, for a last check.
Result<std::unique_ptr<NewFile>> writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes,
                                              bool replace);

}  // namespace labyrinth
