#pragma once
// File handling shared by the commands: opening an image to read its
// labyrinth (only the region that holds it, whatever the file's size), and
// writing a command's outputs by the one policy for files the tool writes.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "map/map_layout.h"
#include "requests/write.h"
#include "writer/decoder.h"
#include "writer/image_file.h"
#include "writer/output_file.h"
#include "writer/result.h"

namespace labyrinth::cli {

/// The text file that goes with an image by default: tgltext.tgl beside it.
std::string textBeside(const std::string& image);

/// How the commands wait for a lock on `name`: at most `seconds`, telling
/// the user on standard error once a second has gone by.
LockWait lockWait(const std::string& name, int seconds);

/// An image opened for reading and held with a shared lock (waiting at most
/// `waitSeconds` for a program that writes it), checked as the writer checks
/// it, and the bytes from its start to `format::readRegionEnd`.
struct ImageRegion {
    std::unique_ptr<DiskFile> file;
    std::vector<std::uint8_t> bytes;
};
Result<ImageRegion> readImageRegion(const std::string& path, int waitSeconds);

/// The description of a labyrinth in the file `path` (show --json's form),
/// read and checked by every rule of verify; only as much is read as any
/// description may hold, whatever the file's size. Fails when the file
/// cannot be read.
Result<requests::LayoutRead> readLayoutFile(const std::string& path);

/// The outputs of one command, already checked with `checkOutputs`, as it
/// writes them: "-" goes to standard output, any other name becomes a whole
/// new file (replacing a regular file only with `force`), which is kept
/// open with what it holds for the last check before the command's end.
class Outputs {
public:
    explicit Outputs(bool force) : force_(force) {}
    Status write(const std::string& path, std::span<const std::uint8_t> bytes);
    Status write(const std::string& path, const std::string& text);
    /// Fails, naming the file and what happened, when a file written is no
    /// longer under its name or no longer holds what was written.
    Status checkAll();

private:
    struct Written {
        std::unique_ptr<NewFile> file;
        std::vector<std::uint8_t> bytes;
    };
    bool force_;
    std::vector<Written> written_;
};

/// The picture of a decoded labyrinth as PNG bytes (needs no display), the
/// rooms outside `shown` in fog.
Result<std::vector<std::uint8_t>> mapPng(const DecodedStream& stream, const std::string& seedCode, int scale,
                                         const ShownCells& shown = allCells());

}  // namespace labyrinth::cli
