#pragma once
// The room-record stream read back out of an image: what every cell of the
// written labyrinth holds. Any bytes are handled; a stream that is cut short
// or holds a byte no record can hold gives an error naming the offset.

#include <array>
#include <cstdint>
#include <span>

#include "writer/record_format.h"
#include "writer/result.h"

namespace labyrinth {

/// One decoded record.
struct DecodedCell {
    format::RecordKind kind = format::RecordKind::Empty;
    std::int64_t offset = 0;      ///< where the record starts in the image
    std::uint8_t area = noArea;   ///< area number; `noArea` for an empty cell
    std::uint8_t doors = 0;       ///< door mask 0..15 (door bits of the model)
    int link = 0;                 ///< link number of a link record
    int areaMark = -1;            ///< area number that an area-mark record names
    int itemCode = -1;            ///< item code of an item record
    int deadEnd = 0;              ///< number of a dead-end record
    int sequence = 0;             ///< number of a sequence record
    int sequenceS = 0;            ///< its S byte (6 or 2)
    int random = -1;              ///< R of a plain or item record
    std::uint8_t fixedA = 0;      ///< start record's fixed bytes, item record's tail:
    std::uint8_t fixedB = 0;      ///<   kept so that checks can test them

    bool isRoom() const { return kind != format::RecordKind::Empty; }
};

/// A cell of `kind` with the fixed bytes that its record always carries, as
/// a reader of the stream finds them: where a description of a room starts.
DecodedCell cellOfKind(format::RecordKind kind);

struct DecodedStream {
    std::array<DecodedCell, format::recordCount> cells{};  ///< in rows: index 24y + x
    std::int64_t end = 0;          ///< offset just after the last record
    std::uint8_t trailingByte = 0; ///< the byte at `end`; the writer leaves 0

    const DecodedCell& at(int x, int y) const { return cells[static_cast<std::size_t>(y * mazeSize + x)]; }
};

/// Decodes the 576 records that start at `roomDataPos` of `image` (the
/// file's bytes from its start, at least up to `format::readRegionEnd` when
/// the file is that long). The error names the offset and what is wrong there.
Result<DecodedStream> decodeStream(std::span<const std::uint8_t> image);

/// A stream read as far as it goes: the records before the first one that
/// cannot be read (the cells after it keep their defaults), and why.
struct PartialStream {
    DecodedStream stream;
    int records = 0;  ///< cells decoded, in rows; all 576 when `status` is ok
    Status status;    ///< ok when every record and the trailing byte were read
};
PartialStream decodeAsFarAsPossible(std::span<const std::uint8_t> image);

}  // namespace labyrinth
