#pragma once
// Files the tool writes (a copy of the image, a picture, a description, a
// patch): one policy for all of them, checked before anything is written.
//   - An existing file is replaced only when the caller says so (--force).
//   - A folder, device, FIFO, socket or symbolic link is never replaced, not
//     even then: writing there would destroy something that is not a file
//     of the user's, or silently turn a link into a plain file.
//   - No output names a file that the same command reads, or another output.
//   - A new file appears whole or not at all: its bytes go to a temporary
//     file in the same folder, which is renamed into place at the end; a
//     replaced file keeps its mode bits.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "writer/image_file.h"
#include "writer/result.h"

namespace labyrinth {

/// The reason given for an output that exists and may not be replaced
/// ("map.png: exists"); a front end adds how to replace it.
inline constexpr std::string_view existsText = "exists";

/// The name that stands for standard output, for the outputs that take it.
inline constexpr std::string_view standardOutputName = "-";

/// Checks that `path` may become a new file: absent (in an existing
/// folder), or a regular file and `replace` is set.
Status checkOutputTarget(const std::string& path, bool replace);

/// One file a command is going to write, and the option that named it.
struct PlannedOutput {
    std::string option;  ///< such as "--png", for messages
    std::string path;    ///< empty when the option was not given
    bool standardOutputAllowed = false;  ///< "-" means standard output
};

/// Every rule at once for the outputs of one command, before it writes
/// anything: each target as `checkOutputTarget`; no output names one of
/// `inputs` (compared as files, so links and other spellings count) or
/// another output; "-" only where allowed.
Status checkOutputs(std::span<const PlannedOutput> outputs, std::span<const std::string> inputs, bool replace);

/// True when both names lead to the same file, or would once created.
bool sameFile(const std::string& a, const std::string& b);

/// A file being written: a temporary file beside `path` that `commit`
/// renames into place. Until then `path` is untouched; an uncommitted file
/// is removed when the object goes. Reads and positioned writes work as on
/// any disk file; `append` adds bytes at the end.
class NewFile final : public RandomAccessFile {
public:
    /// Checks `path` as `checkOutputTarget` does, then creates the
    /// temporary file. Its name stays within the file system's limit.
    static Result<std::unique_ptr<NewFile>> create(const std::string& path, bool replace);
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
    Status checkStillThere(std::string_view since = "after it was opened") override {
        return file_->checkStillThere(since);
    }

    /// Adds `bytes` at the end. A run of zeros becomes a hole, so that a
    /// sparse image stays sparse.
    Status append(std::span<const std::uint8_t> bytes);
    /// Adds `count` zeros at the end, as a hole.
    Status appendZeros(std::int64_t count);
    /// Saves the file and moves it to its name; afterwards it is closed.
    Status commit();

private:
    NewFile(std::unique_ptr<DiskFile> file, std::string temporary, bool replace)
        : file_(std::move(file)), temporary_(std::move(temporary)), replace_(replace) {}
    std::unique_ptr<DiskFile> file_;
    std::string temporary_;
    bool replace_ = false;
    bool committed_ = false;
};

/// Writes `bytes` as a whole new file at `path` (create, append, commit).
Status writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace);

}  // namespace labyrinth
