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
#include <optional>
#include <span>
#include <string_view>
#include <string>
#include <vector>

#include "writer/readback.h"
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
/// Refuses a spoiler file larger than every front end reads (the layout
/// reader's limit), in the command line's words, or empty.
std::string refuseLargeLayout(const std::string& name, double size);

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
/// Why a file of kind `Unknown` fits no slot, starting with its name.
std::string unusedFileMessage(const std::string& name);

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
    std::string seed;  ///< decimal master seed, or REVISION:SEED; empty for a random one
    InputFile layout;  ///< a labyrinth described as `show --json` describes one, written instead of a seed's
    std::string daily; ///< YYYY-MM-DD: the daily labyrinth of that date, written instead of `seed`'s; the image is NAME-daily-DATE.nes
};

struct WriteResult {
    std::uint64_t seed = 0;  ///< the master seed used: `labyrinth-cli write --seed` repeats it
    std::string seedCode;
    int attempts = 0;
    int generations = 0;
    std::vector<Download> downloads;  ///< the written image, named NAME-SEED.nes after the given one
    std::string layoutName;           ///< the description written, when the labyrinth came from one
};

/// The button's whole job on a copy of the image: the same checks, the same
/// driver and the same bytes as `labyrinth-cli write IMAGE --seed N -o OUT`,
/// or with a layout those of `write IMAGE --layout FILE -o OUT` (checked by
/// every rule of verify first, every problem named). The image is then
/// named NAME-LAYOUT.nes.
Result<WriteResult> writeLabyrinth(const WriteRequest& request);

/// The seed of the daily labyrinth of `date` (YYYY-MM-DD), as
/// `labyrinth-cli write --daily DATE` takes it.
Result<std::uint64_t> dailySeedOf(const std::string& date);

/// Why a link of generator revision `revision` (its r=, as text) cannot be
/// followed, or empty: "this link is for labyrinths of generator revision 2;
/// this page writes revision 1".
std::string linkProblem(const std::string& revision);

/// The part of the page's address after "#" that names the labyrinth of
/// `seed` with this generator revision ("r=1&seed=42"); with `track`, the
/// link opens the tracker on it rather than the write.
std::string linkFragment(std::uint64_t seed, bool track = false);

/// The link of the daily labyrinth of `date` (YYYY-MM-DD) with this
/// generator revision ("r=1&daily=2026-12-08", and "&track"); empty for a
/// date that is no day.
std::string dailyLinkFragment(const std::string& date, bool track = false);

/// What a link says, read from the part of the address after "#".
struct LinkRead {
    bool names = false;   ///< there is a link at all (anything after "#"); nothing else is set when not
    std::string seed;     ///< what goes into the seed field: the seed (a daily's, in decimal), or REVISION:SEED for another revision
    std::string daily;    ///< the date of a daily link (`daily=`), as given
    bool track = false;   ///< it asks for the tracker
    std::string problem;  ///< why it cannot be followed (its revision, a part the page does not read, a
                          ///< repeated key, no seed or date, a bad seed or date), or empty
};
/// Reads a link in full: `r=`, `seed=` or `daily=`, and `track` (which
/// takes no value), each at most once, spelt so and joined by "&", with a
/// seed or a date that the write would take. Anything else, and a link
/// that names no labyrinth, is refused with a `problem`.
LinkRead readLink(std::string_view fragment);

struct PatchRequest {
    InputFile original;  ///< the image as the user gave it
    InputFile written;   ///< the image that `writeLabyrinth` offered
    std::string seed;    ///< the master seed of that write, in decimal
    std::string seedCode;  ///< and its seed code, for the patch's metadata
    std::string layoutName;  ///< instead of the seed: the description that the write came from
    std::string daily;       ///< YYYY-MM-DD when the write was that day's labyrinth: the patch is NAME-daily-DATE.bps
};

/// The BPS patch from the given image to the written one, NAME-SEED.bps (NAME-daily-DATE.bps for a daily):
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
    std::string mapSvg;  ///< the map of `show --svg`, each area's rooms painted as one shape
};

/// The map and seed code of an image that holds a labyrinth, and nothing
/// more: what the page shows after a write, read back out of the written
/// image, when the player asks for it. Fails as `lookAtImage` does.
Result<MapResult> mapOfImage(const InputFile& image);

/// An area's route on the map of an image: the rooms from the start room to
/// the area's numbered room, door by door (the "route" of the area's entry
/// in the spoiler), and the line through their middles in the pixels of the
/// map that `mapOfImage` draws.
struct RouteResult {
    std::vector<CellPosition> rooms;
    std::string path;  ///< SVG path data, "M x y L x y ..."
};

/// The route to area `area` (0 to 10) of an image that holds a labyrinth.
/// Fails as `lookAtImage` does, for an area that does not exist, and for
/// a damaged image that has no way to that area's numbered room.
Result<RouteResult> routeOnMap(const InputFile& image, int area);

/// The spoiler of an image that holds a labyrinth: the document of
/// `show --json`, NAME-spoiler.json. Fails as `lookAtImage` does.
Result<Download> spoilerOfImage(const InputFile& image);

/// What `show`, `show --json` and `verify` say of an image: its map, seed
/// code and description, and whether the labyrinth in it is complete and
/// consistent; with a `seed` (decimal, or empty for none), also whether it is
/// exactly that seed's labyrinth, as `verify --seed` checks. An image whose
/// records cannot be read is an error, as for `show`; so is a bad seed.
Result<LookResult> lookAtImage(const InputFile& image, const std::string& seed = {});

/// Pixels per cell of the tracker's map, drawn at its own size: the middles
/// of two doors are then at least 28 pixels apart, so that a control of 24
/// pixels on each door keeps clear of the next one, for a finger too.
inline constexpr int trackerScale = 40;


/// A labyrinth to track without the player's files: the image that a write
/// of `seed` (or of `layout`, a spoiler file, when it is given) leaves in a
/// blank image in memory, by the same driver, so that its rooms and seed
/// code are those of the player's written image. `image` of the request is
/// not used.
Result<WriteResult> labyrinthToTrack(const WriteRequest& request);

/// A run being tracked: an image that holds a labyrinth, and the rooms that
/// the player has revealed so far ("x,y"; a cell that holds no room, or is
/// no cell, is left out).
struct TrackRequest {
    InputFile image;
    std::vector<std::string> revealed;
    std::string here;  ///< the room the player is in, "x,y"; the start room when it is not shown
};

/// A door of a shown room into another room: into fog, where the player
/// can go next and the room that choosing it reveals; or into a shown room,
/// which the player can walk back to.
struct RunDoor {
    CellPosition from;
    CellPosition to;
    std::string side;  ///< "east", "west", "south" or "north", seen from `from`
    std::string name;  ///< how the door reads: "East of (11, 12) to (12, 12)"
    bool link = false; ///< the map's link number sits on this door: its control must leave it readable
    bool intoFog = false;
    double x = 0;      ///< the middle of the door on the map, in its pixels
    double y = 0;
};

struct TrackResult {
    std::string seedCode;
    std::string mapSvg;               ///< the map under fog, one element per shown room
    std::vector<CellPosition> shown;  ///< the rooms shown, in scan order: the start and those revealed
    std::vector<RunDoor> doors;       ///< into fog, in scan order of their rooms, sides south, east, west, north
    CellPosition here;                ///< the room the player is in
    std::vector<RunDoor> hereDoors;   ///< its doors into rooms, shown or in fog, sides as above
    std::vector<CellPosition> items;  ///< the item rooms shown, in scan order, for the player to tick off
    int itemRooms = 0;                ///< the item rooms of the whole labyrinth
};

/// The map of a run as far as the player has revealed it: the start room
/// always, and the revealed rooms; every other room is fog. Fails as
/// `lookAtImage` does.
Result<TrackResult> trackRun(const TrackRequest& request);

/// The rooms of the areas `areas` (numbers 0 to 10; others name no room),
/// in scan order: what revealing those areas reveals.
Result<std::vector<CellPosition>> roomsOfAreas(const InputFile& image, const std::vector<int>& areas);

}  // namespace labyrinth::web
