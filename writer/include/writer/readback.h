#pragma once
// What the front ends need to show a labyrinth read back out of an image:
// the doors of a cell, the written stream's bytes, where each link door
// leads, and how many records of each kind the stream holds.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "writer/decoder.h"

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

}  // namespace labyrinth
