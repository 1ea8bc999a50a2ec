#pragma once
// Files as a front end without a file system hands them over (the page):
// a name and the bytes, held in memory, and the files it offers in return.
// Which slot a file belongs in, said by its first bytes, and the one way
// every request reads the labyrinth out of such an image.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/result.h"

namespace labyrinth::requests {

/// The largest image read from memory; a cartridge image is far smaller.
inline constexpr std::int64_t maxFileSize = std::int64_t{16} << 20;
/// Of a text file only the text block's bytes are read, whatever its size,
/// as the command line does; fewer only when the file is shorter.
inline constexpr std::int64_t textBytesRead = format::textSize;

/// A file the user gave: its name (for messages and download names) and bytes.
struct InputFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
    /// Whether a file was given at all (an empty one with a name counts).
    bool given() const { return !name.empty() || !bytes.empty(); }
};

/// A file offered for download.
struct Download {
    std::string kind;  ///< "image", "patch", "spoiler": where the page shows it
    std::string name;  ///< suggested file name, such as "game-42.nes"
    std::string type;  ///< MIME type
    std::vector<std::uint8_t> bytes;
};

/// The name messages call a file by: its own, or `fallback` when it has none.
std::string nameOf(const InputFile& file, std::string_view fallback);
/// The name messages call an image by: its own, or "image.nes".
std::string imageName(const InputFile& image);
/// "game" for "game.nes" (the extension in any case) or "path/game.nes";
/// another extension may be dropped instead (".json" of a layout).
std::string downloadStem(const std::string& fileName, std::string_view dropped = ".nes");

/// Refuses an image larger than `maxFileSize` before it is read: the
/// message, with the size in grouped digits, or empty when it is fine.
std::string refuseLargeFile(const std::string& name, double size);
/// Refuses a spoiler file larger than every front end reads, in the
/// command line's words, or empty.
std::string refuseLargeLayout(const std::string& name, double size);

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

/// The labyrinth in an image held in memory, read as `show` reads it; an
/// image not given, too large or holding no readable labyrinth is refused.
Result<ReadBack> readImage(const InputFile& image);

}  // namespace labyrinth::requests
