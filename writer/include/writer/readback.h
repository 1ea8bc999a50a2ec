#pragma once
// A labyrinth read back out of an image, as every front end reads it (show,
// verify, the window's read-back, the page's "Look at an image"): the region
// that holds it, the decoded records, their counts and seed code; and what
// the views need of it: the written stream's bytes, where each link door
// leads.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "writer/decoder.h"
#include "writer/image_file.h"

namespace labyrinth {

/// The bytes the writer put down: the records and the trailing byte, from
/// `roomDataPos` to `stream.end` inclusive. `image` must be the image that
/// `stream` was decoded from.
std::span<const std::uint8_t> writtenStream(std::span<const std::uint8_t> image, const DecodedStream& stream);

/// A record kind's name in messages and JSON: "start", "empty", "link",
/// "area-mark", "item", "dead-end", "sequence", "tag", "plain".
const char* recordKindName(format::RecordKind kind);

struct CellPosition {
    int x = 0;
    int y = 0;
    bool operator==(const CellPosition&) const = default;
};

/// A cell as messages and reports name it: "(x, y)".
std::string positionText(CellPosition cell);
/// A cell as the map's data- attributes and the page name it: "x,y".
std::string cellKey(CellPosition cell);
/// The cell that `cellKey` named; nothing for any other text or a cell
/// outside the grid.
std::optional<CellPosition> cellOfKey(std::string_view key);

/// The room that the link record at (x, y) leads into: the neighbour behind
/// one of its doors whose area is the link number. Empty when the cell holds
/// no link record or no such door exists (a damaged image).
std::optional<CellPosition> linkTarget(const DecodedStream& stream, int x, int y);

/// Records of each kind in a stream, rooms, and rooms per area 0..10 (rooms
/// with any other area number, possible only in a damaged image, count in
/// `rooms` alone).
struct StreamSummary : RecordCounts {
    int rooms = 0;
    std::array<int, areaCount> roomsPerArea{};
};

StreamSummary summarize(const DecodedStream& stream);

/// The bytes of an image that the readers of its labyrinth need, from its
/// start to `format::readRegionEnd` (or its end), once the image has passed
/// the writer's own check; whatever the file's size.
Result<std::vector<std::uint8_t>> readRegion(RandomAccessFile& image);

/// A labyrinth read back out of an image.
struct ReadBack {
    std::vector<std::uint8_t> region;  ///< as `readRegion` gives it
    DecodedStream stream;
    StreamSummary summary;
    std::string seedCode;
    /// The records and their trailing byte, as written.
    std::span<const std::uint8_t> written() const { return writtenStream(region, stream); }
};

/// Decodes the labyrinth in `region`, the bytes of the image `name`; fails
/// with "NAME: holds no readable labyrinth: " and where and why.
Result<ReadBack> decodeLabyrinth(const std::string& name, std::vector<std::uint8_t> region);
/// `readRegion`, then `decodeLabyrinth`.
Result<ReadBack> readLabyrinth(RandomAccessFile& image);

/// The last line of a check of the image `name` that found `problems`:
/// "NAME: the labyrinth is complete and consistent", or "NAME: 2 problems".
std::string verdictLine(std::string_view name, std::size_t problems);

}  // namespace labyrinth
