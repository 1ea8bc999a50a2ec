#pragma once
// The generate-and-write driver: the whole job of the "Write to TGL" button,
// shared by the window and the command line.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "labyrinth/generator.h"
#include "labyrinth/model.h"
#include "labyrinth/random.h"
#include "writer/decoder.h"
#include "writer/encoder.h"
#include "writer/image_check.h"
#include "writer/image_file.h"
#include "writer/readback.h"
#include "writer/result.h"

namespace labyrinth {

/// The caption of the button whose whole job the driver is, as every front
/// end names it.
inline constexpr std::string_view saveCaption = "Write to TGL";

/// Status texts of the window's status line.
inline constexpr std::string_view statusCreating = "Creating...";
inline constexpr std::string_view statusFailed = "Failed.";
inline constexpr std::string_view statusDone = "Done.";

/// What the driver asks of its front end besides the generator's repaint and
/// link list: the status line and the busy pointer.
class DriverHost : public GeneratorHost {
public:
    virtual void setStatus(std::string_view text) = 0;
    virtual void setBusy(bool busy) = 0;
};

/// A host that shows nothing.
class SilentDriverHost final : public DriverHost {
public:
    void repaint() override {}
    void setLinkLine(int, const LinkLine&) override {}
    void setStatus(std::string_view) override {}
    void setBusy(bool) override {}
};

/// The outcome of one click.
struct ClickResult {
    Status status;             ///< ok after "Done."; otherwise why the click failed
    bool refused = false;      ///< failed before anything was written: the files were unfit, unreadable or
                               ///< in another program's hands
    bool imageChanged = false; ///< bytes of the image may have changed: its seed must be told, whatever the outcome
    int attempts = 0;          ///< encoding passes
    int generations = 0;       ///< generation attempts, restarts included
    std::uint64_t seed = 0;    ///< master seed of the click; `write --seed` with it repeats the click
    RecordCounts stats;        ///< records of the accepted stream
    std::vector<std::uint8_t> stream;  ///< the accepted stream, trailing 0 included
    std::int64_t longestStream = 0;    ///< bytes from `roomDataPos` that the click's attempts wrote, at most
};

/// Everything one window (or one command-line run) keeps: the model, the
/// writer state, the random source, the two open files, where the master
/// seed of each click comes from (the clock for the window, the user's
/// seed for the command line), and the outcome of the last click.
class Session {
public:
    Session(RandomAccessFile& rom, RandomAccessFile& text, SeedSource& masterSeeds)
        : rom_(rom), text_(text), masterSeeds_(masterSeeds) {}

    Labyrinth& model() { return model_; }
    const Labyrinth& model() const { return model_; }
    const WriterState& writer() const { return writer_; }
    /// The random source of every click, as the last click left it.
    const Random& random() const { return rng_; }
    /// The outcome of the last click (empty before the first).
    const ClickResult& lastClick() const { return lastClick_; }
    RandomAccessFile& rom() { return rom_; }
    RandomAccessFile& text() { return text_; }

    GeneratorOptions options;

private:
    friend const ClickResult& savebutClick(Session& session, DriverHost& host);
    Labyrinth model_;
    WriterState writer_;
    Random rng_;
    RandomAccessFile& rom_;
    RandomAccessFile& text_;
    SeedSource& masterSeeds_;
    ClickResult lastClick_;
    std::vector<std::uint8_t> readBack_;  // what the file holds after a write, kept from click to click
};

/// `savebut_Click`: busy pointer, "Creating...", generate and write until the
/// stream carries every link number and area mark ("Failed." between tries),
/// then the text block, the default pointer and "Done.". One master seed per
/// click; attempt k of the click is seeded with deriveSeed(master, k). Checks
/// both files first (and that the image may still be written), and reads the
/// text block before anything is written, so bad input leaves the image
/// untouched. The click holds the image's exclusive lock from its checks to
/// the end; one held by another program refuses the click at once (a front
/// end that waits takes the lock first, and keeps it). After the sync, the
/// records and the text block are read back: "Done." only when the file
/// holds what was written. On a failure the status line is left on
/// "Failed." and the message says what the image holds.
///
/// Gives the session's `lastClick()`, which the session's next click
/// overwrites: copy it to keep it. The session keeps the stream's buffer
/// from click to click, so a click allocates nothing after the first
/// (unless it fails, for the message).
const ClickResult& savebutClick(Session& session, DriverHost& host);

/// Writes a labyrinth made elsewhere (a layout) as a click writes its
/// accepted one: the same lock and checks, its records (see `encodeCells`)
/// in one write, the text block, the sync and the read-back. It has no seed.
ClickResult writeLayout(RandomAccessFile& rom, RandomAccessFile& text, const DecodedStream& cells, DriverHost& host);

/// What a click with master seed `seed` leaves in any image from
/// `roomDataPos` on, byte for byte: the streams of its attempts laid over
/// each other, up to the longest (`longestStream` bytes), the accepted one
/// and its trailing 0 in front. No other byte of the region depends on the
/// seed. What `verify --seed` compares an image with.
std::vector<std::uint8_t> writtenBySeed(std::uint64_t seed);

/// Fails, saying where the labyrinth went, when the name of `image` no
/// longer leads to the file that was written (another file was renamed over
/// it, or it was removed). A write checks it before "Done."; a front end
/// that goes on with the file afterwards checks it again before its end.
Status checkStillNamed(RandomAccessFile& image);

/// The last check before a front end says "Done." of a write it went on
/// with: the name of `image` still leads to the file written, the file is
/// `size` bytes long as it was, and its first bytes still equal `region`
/// (the labyrinth's region as read back after the write). Fails, naming the
/// file and what another program did, otherwise.
Status checkStillHolds(RandomAccessFile& image, std::int64_t size, std::span<const std::uint8_t> region);

/// The labyrinth that a click with master seed `seed` writes into any image,
/// read back as every reader reads it: made on a blank image in memory, for
/// a description of it before (or without) an image.
Result<ReadBack> labyrinthOfSeed(std::uint64_t seed);

}  // namespace labyrinth
