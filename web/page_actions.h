#pragma once
// What the browser page asks of the core, in plain C++: write a labyrinth
// into a copy of the given image (what `labyrinth-cli write -o` does), and
// look at an image that holds one (what `show` and `verify` do); after a
// write, the page reads the image it just wrote back for its map and spoiler.
// It also says which slot a file belongs in, from its first bytes.
// The files are held in memory (the page never uploads them) and reach the
// driver through the file layer's in-memory files, so the driver runs on
// them exactly as on files on disk. Failures come back as values with the
// message the command line gives.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "writer/record_format.h"
#include "writer/result.h"

namespace labyrinth::web {

/// The largest image the page reads; a cartridge image is far smaller. Of a
/// text file the page reads only the first `textBytesRead` bytes, whatever
/// its size, as the command line does.
inline constexpr std::int64_t maxFileSize = std::int64_t{16} << 20;
/// The bytes of a text file that a write can use: the text block, and fewer
/// only when the file is shorter (which the write then refuses).
inline constexpr std::int64_t textBytesRead = format::textSize;

/// A file the user gave: its name (for messages and download names) and bytes.
struct InputFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

/// Refuses an image larger than `maxFileSize` before it is read: the message,
/// with the size in grouped digits, or empty when the size is fine.
std::string refuseLargeFile(const std::string& name, double size);

/// What is wrong with a seed as typed, in the command line's words, or empty
/// when it is fine; an empty seed is fine (the write draws a random one).
std::string seedProblem(const std::string& seed);

/// Which slot a file goes to, said by its content first: an image starts
/// with the NES magic; a text file is any other file whose name ends in
/// ".tgl" (in any case). Anything else is `Unknown`: a drop leaves it unused.
enum class FileKind { Image, Text, Unknown };

/// How many first bytes `kindOfFile` needs.
inline constexpr std::size_t fileKindBytes = format::imageMagic.size();

/// The kind of a file from its name and its first bytes (at least
/// `fileKindBytes` of them, fewer only when the file is shorter).
FileKind kindOfFile(const std::string& name, std::span<const std::uint8_t> head);

/// A file the page offers for download.
struct Download {
    std::string kind;  ///< "image", "patch", "spoiler"; the page shows each kind at its own place
    std::string name;  ///< suggested file name, such as "game-42.nes"
    std::string type;  ///< MIME type
    std::vector<std::uint8_t> bytes;
};

struct WriteRequest {
    InputFile image;
    InputFile text;
    std::string seed;  ///< decimal master seed; empty for a random one
};

struct WriteResult {
    std::uint64_t seed = 0;  ///< the master seed used: `labyrinth-cli write --seed` repeats it
    std::string seedCode;
    int attempts = 0;
    int generations = 0;
    std::vector<Download> downloads;  ///< the written image, named NAME-SEED.nes after the given one
};

/// The button's whole job on a copy of the image: the same checks, the same
/// driver and the same bytes as `labyrinth-cli write IMAGE --seed N -o OUT`.
Result<WriteResult> writeLabyrinth(const WriteRequest& request);

struct PatchRequest {
    InputFile original;  ///< the image as the user gave it
    InputFile written;   ///< the image that `writeLabyrinth` offered
    std::string seed;    ///< the master seed of that write, in decimal
    std::string seedCode;  ///< and its seed code, for the patch's metadata
};

/// The BPS patch from the given image to the written one, NAME-SEED.bps:
/// the bytes of `labyrinth-cli write IMAGE --seed N -o OUT --patch P.bps`.
/// Made after "Done.", as the map is, so that the click itself does no more
/// than the command line's write.
Result<Download> patchOfWrite(const PatchRequest& request);

struct LookResult {
    std::string seedCode;
    std::string mapSvg;
    bool complete = false;              ///< `verify` found nothing wrong
    std::string verdict;                ///< `verify`'s last line: complete and consistent, or how many problems
    std::vector<std::string> problems;  ///< one line per problem, as `verify` prints them
    std::vector<Download> downloads;    ///< the spoiler: the document of `show --json`, NAME-spoiler.json
};

struct MapResult {
    std::string seedCode;
    std::string mapSvg;  ///< the document of `show --svg`
};

/// The map and seed code of an image that holds a labyrinth, and nothing
/// more: what the page shows at once after a write, read back out of the
/// written image. Fails as `lookAtImage` does.
Result<MapResult> mapOfImage(const InputFile& image);

/// The spoiler of an image that holds a labyrinth: the document of
/// `show --json`, NAME-spoiler.json. Fails as `lookAtImage` does.
Result<Download> spoilerOfImage(const InputFile& image);

/// What `show`, `show --json` and `verify` say of an image: its map, seed
/// code and description, and whether the labyrinth in it is complete and
/// consistent; with a `seed` (decimal, or empty for none), also whether it is
/// exactly that seed's labyrinth, as `verify --seed` checks. An image whose
/// records cannot be read is an error, as for `show`; so is a bad seed.
Result<LookResult> lookAtImage(const InputFile& image, const std::string& seed = {});

}  // namespace labyrinth::web
