#pragma once
// The write as the page asks for it: the button's whole job on a copy of an
// image held in memory, with the same checks, the same driver and the same
// bytes as `labyrinth-cli write IMAGE --seed N -o OUT` (or `--daily`,
// `--layout`); its patch, made afterwards from the image given and the one
// written; and what the page checks as the player types.

#include <cstdint>
#include <string>
#include <vector>

#include "requests/files.h"
#include "writer/result.h"

namespace labyrinth::requests {

/// A write of a copy held in memory: the two files, and which labyrinth as
/// the page types it (see `choiceFromText`): a seed (empty for a fresh one),
/// a date, or a layout file (written instead of a seed's).
struct MemoryWrite {
    InputFile image;
    InputFile text;
    std::string seed;   ///< decimal master seed, or REVISION:SEED; empty for a random one
    InputFile layout;   ///< a labyrinth described as `show --json` describes one
    std::string daily;  ///< YYYY-MM-DD: the daily labyrinth of that date; the image is NAME-daily-DATE.nes
};

struct WriteResult {
    std::uint64_t seed = 0;  ///< the master seed used: `labyrinth-cli write --seed` repeats it
    std::string seedCode;
    int attempts = 0;
    int generations = 0;
    std::vector<Download> downloads;  ///< the written image, named NAME-SEED.nes after the given one
    std::string layoutName;           ///< the description written, when the labyrinth came from one
};

/// The write of a copy: a fresh seed, when none is given, comes from the
/// system's random source (the browser's crypto.getRandomValues), so that
/// two clicks in the same millisecond, or two players, never share one.
Result<WriteResult> writeCopy(const MemoryWrite& request);

/// What is wrong with a seed as typed, in the command line's words, or empty
/// when it is fine; an empty seed is fine (the write draws a random one).
std::string seedProblem(const std::string& seed);

/// The seed of the daily labyrinth of `date` (YYYY-MM-DD), as
/// `labyrinth-cli write --daily DATE` takes it.
Result<std::uint64_t> dailySeedOf(const std::string& date);

struct PatchRequest {
    InputFile original;      ///< the image as the user gave it
    InputFile written;       ///< the image that `writeCopy` offered
    std::string seed;        ///< the master seed of that write, in decimal
    std::string seedCode;    ///< and its seed code, for the patch's metadata
    std::string layoutName;  ///< instead of the seed: the description that the write came from
    std::string daily;       ///< YYYY-MM-DD when the write was that day's labyrinth: the patch is NAME-daily-DATE.bps
};

/// The BPS patch from the given image to the written one, NAME-SEED.bps
/// (NAME-daily-DATE.bps for a daily): the bytes of `labyrinth-cli write
/// IMAGE --seed N -o OUT --patch P.bps`. Made after "Done.", as the map is,
/// so that the click itself does no more than the command line's write.
Result<Download> patchOfWrite(const PatchRequest& request);

}  // namespace labyrinth::requests
