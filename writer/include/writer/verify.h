#pragma once
// Checks that an image holds a complete, consistent labyrinth as the writer
// leaves it, and optionally that the text block and every byte the writer
// never touches are as they should be. Every problem found is reported, each
// as one line of text, so a damaged image gets all its reasons at once.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "writer/decoder.h"
#include "writer/image_file.h"
#include "writer/result.h"

namespace labyrinth {

/// Which rule a problem breaks, so that callers and tests can tell them apart.
enum class Check : std::uint8_t {
    Image,        ///< no NES magic, or too short for the labyrinth and text block
    Records,      ///< a record cannot be read, or the trailing 0 is missing
    RecordBytes,  ///< a fixed or random byte of a record is out of its range
    Start,        ///< the start record at (11, 12) and its fixed bytes
    Areas,        ///< area numbers 0..10, every area present, room count
    Doors,        ///< door bits symmetric, inside the grid, between rooms
    Reachable,    ///< every room reachable through doors from the start
    Links,        ///< link numbers 1..10 once each, from a smaller area into theirs
    AreaMarks,    ///< one area mark per area 0..10, with the area's value
    DeadEnds,     ///< dead ends on one-door rooms only, numbered 11..32, 11, ...
    Items,        ///< item codes from the item table in order
    Sequences,    ///< sequence numbers 58.. with their S byte; tags once per area
    TextBlock,    ///< the text block equals the text file's first 446 bytes
    Unchanged,    ///< nothing changed outside the labyrinth and the text block
    Seed,         ///< the labyrinth is exactly the one of the seed, or has the seed code, asked for
};

struct Problem {
    Check check;
    std::string message;  ///< one line naming the cell or offset and what is wrong
};

/// Checks a decoded stream against every rule the writer follows.
std::vector<Problem> verifyStream(const DecodedStream& stream);

/// The end (exclusive) of the bytes the writer may change from
/// `roomDataPos` on: a rejected attempt of a click can leave its longer
/// stream behind the accepted one's trailing 0, up to the longest stream a
/// generated labyrinth can give.
std::int64_t writerRegionEnd();

/// The image, and what to compare it with, held in memory.
struct VerifyInputs {
    std::span<const std::uint8_t> image;                     ///< the whole image file
    std::optional<std::span<const std::uint8_t>> text;       ///< the text file, when it is to be compared
    std::optional<std::span<const std::uint8_t>> original;   ///< the image before the write, when given
};

/// Checks the image: its header and size, the labyrinth (decoded and then
/// `verifyStream`), and, when given, the text block and the untouched bytes.
/// Empty when everything holds.
std::vector<Problem> verifyImage(const VerifyInputs& inputs);

/// The same checks on files of any size: only the labyrinth's region of
/// `image` is read, and the comparison with `original` runs in chunks, so
/// memory stays bounded. Fails only when a file cannot be read.
Result<std::vector<Problem>> verifyImageFile(RandomAccessFile& image, std::optional<std::span<const std::uint8_t>> text,
                                             RandomAccessFile* original);

/// Whether `image` (its bytes from the start, at least to the writer's
/// region's end) holds exactly what a click of master seed `seed` writes:
/// every byte of the records, the trailing 0 and what the click's rejected
/// attempts left behind them. The one check that catches a damaged byte that
/// no rule can see. Empty when it does.
std::vector<Problem> checkSeed(std::span<const std::uint8_t> image, std::uint64_t seed);

/// Whether the labyrinth in `image` has the seed code `code` (four words,
/// as `seedCode` spells them). Empty when it does.
std::vector<Problem> checkSeedCode(std::span<const std::uint8_t> image, std::string_view code);

}  // namespace labyrinth
