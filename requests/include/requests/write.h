#pragma once
// The write, as every front end asks for it: which labyrinth (a seed given,
// the day's, a described one, a sealed or a fresh seed), the button's whole
// job on the two files, and how the outcome is named. The command line
// writes files on disk (in place or into a copy); the page a copy in memory
// (memory_write.h); both come here for what the write itself is.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "labyrinth/generator.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/image_file.h"

namespace labyrinth::requests {

/// A labyrinth described in a file, checked by every rule of verify before
/// anything is written: the cells, or why not, with every problem.
struct LayoutRead {
    std::optional<DecodedStream> cells;
    std::vector<std::string> problems;  ///< one line each, as verify prints them
    std::string refusal;                ///< naming the file: a size, the reader's reason, or how many problems
};
/// Reads the description `bytes` of the file `name`; one larger than any
/// front end reads is refused unread (`size` is the file's, which may be
/// more than the bytes read).
LayoutRead readLayout(const std::string& name, std::span<const std::uint8_t> bytes, std::uint64_t size);
/// The refusal on one line, every problem after it: how the page tells it.
std::string refusalLine(const LayoutRead& layout);

/// Which labyrinth a write writes: at most one of a seed, a date and a
/// layout; none of them means a fresh seed.
struct LabyrinthChoice {
    std::optional<std::uint64_t> seed;    ///< given, or drawn for a sealed write
    std::optional<CalendarDate> daily;    ///< the daily labyrinth of that date (UTC)
    std::optional<DecodedStream> layout;  ///< a described labyrinth (`readLayout`), which has no seed
    std::string layoutName;               ///< the file that described it
    std::string sealedIn;                 ///< for a sealed write, the file that alone keeps its seed
};

/// Reads a choice as the page types it: a seed (decimal or REVISION:SEED,
/// empty for a fresh one), a date (YYYY-MM-DD, empty for none), a layout
/// file (not given for none). Refusals in the command line's words, with
/// `program` naming the one that refuses another revision ("this page").
Result<LabyrinthChoice> choiceFromText(const std::string& seed, const std::string& daily, const std::string& layoutName,
                                       std::span<const std::uint8_t> layoutBytes, std::string_view program);

/// The click's master seed: the seed given, the day's, or `fresh` (a
/// seed from the clock or the system's random source) when none is given.
/// A layout has none: 0.
std::uint64_t masterSeed(const LabyrinthChoice& choice, std::uint64_t fresh);

/// Both files fit for a write, as the driver checks them: the image, then
/// the text file.
Status checkFiles(RandomAccessFile& image, RandomAccessFile& text);

/// The button's whole job on `image` with `text`: the click with master
/// seed `seed`, or for a layout its write, by the very driver every front
/// end runs.
ClickResult writeChoice(RandomAccessFile& image, RandomAccessFile& text, const LabyrinthChoice& choice, std::uint64_t seed,
                        DriverHost& host);

/// What a written file's name carries after its source's: the seed, the
/// day ("daily-2026-12-08") or the layout's name without ".json".
std::string writeLabel(const LabyrinthChoice& choice, std::uint64_t seed);

/// How a write names what it wrote, on the report's first line: "Seed: 42
/// Code: w w w w", "Layout: mine.json  Code: ...", "Seed: sealed in
/// race.json  Code: ...". A failed write names no code, as no whole
/// labyrinth of it is in the image: "Seed: 42  (partly written)", or
/// "(nothing was written)" when `partlyWritten` is false.
std::string writeIdentity(const LabyrinthChoice& choice, const ClickResult& click, bool partlyWritten);

}  // namespace labyrinth::requests
