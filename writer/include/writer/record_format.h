#pragma once
// Where the labyrinth lives in a cartridge image and how its room records are
// laid out. The encoder, the decoder and the tests all read this one header.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "labyrinth/model.h"

namespace labyrinth::format {

// Image layout (byte offsets from the start of the file).
inline constexpr std::int64_t roomDataPos = 84606;  // 0x14A7E: first room record
inline constexpr std::int64_t textBase = 87624;     // 0x15648: the text block
inline constexpr std::int64_t textSize = 446;       // bytes copied from tgltext.tgl
inline constexpr std::int64_t textEnd = textBase + textSize;
/// An image must reach past the text block; it is never extended.
inline constexpr std::int64_t minImageSize = textEnd;
/// Every image starts with these four bytes.
inline constexpr std::array<std::uint8_t, 4> imageMagic{'N', 'E', 'S', 0x1A};
/// Byte 6 of the iNES header holds flags; this one says that a 512-byte
/// trainer follows the header, which would move every offset above.
inline constexpr std::int64_t headerFlagsOffset = 6;
inline constexpr std::uint8_t trainerFlag = 0x04;
inline constexpr int trainerSize = 512;
/// The text file name looked for beside the image.
inline constexpr const char* textFileName = "tgltext.tgl";

/// One record per cell of the 24 x 24 labyrinth, in rows, then a 0 byte.
inline constexpr int recordCount = cellCount;

/// What a record says about its cell; `layoutOf` gives its bytes. Several
/// kinds share a kind byte: the start cell tells the start record from a
/// sequence record, the third byte the 130 records apart.
enum class RecordKind : std::uint8_t {
    Start,     // the start room (11, 12)
    Empty,     // no room
    Link,      // a room whose door leads into another area
    AreaMark,  // the numbered room of an area
    Item,      // an item room
    DeadEnd,   // a room with one door
    Sequence,  // a room of a numbered sequence
    Tag,       // a tagged room
    Plain,     // any other room
};

// Fixed bytes of the start record after A.
inline constexpr std::uint8_t startThird = 3;
inline constexpr std::uint8_t startFourth = 0;
// Third byte of a link record: linkBase + link number (0..10 give 128..138).
inline constexpr std::uint8_t linkBase = 128;
inline constexpr std::int16_t linkLimit = 11;  // link numbers below this are written
// Third byte of an area-mark record: 149 for area 0's room (mark 21),
// areaMarkBase + area for any other.
inline constexpr std::uint8_t areaMarkBase = 138;
inline constexpr std::uint8_t areaZeroMarkByte = 149;
// Third byte of a tag record.
inline constexpr std::uint8_t tagThird = 1;
// Last two bytes of an item record.
inline constexpr std::uint8_t itemTail1 = 174;
inline constexpr std::uint8_t itemTail2 = 148;

/// What one byte of a record after its kind byte carries.
enum class Field : std::uint8_t {
    AreaAndDoors,   // A: the area in the low nibble, the door mask in the high
    DoorsAndEight,  // D: 8 in the low nibble, the door mask in the high
    Area,           // the area, a byte of its own
    Link,           // linkBase + the link number
    AreaMark,       // areaZeroMarkByte for area 0's numbered room, areaMarkBase + area for another
    ItemCode,
    Random,         // R
    DeadEnd,        // the dead-end number
    Sequence,       // the sequence number
    SequenceS,      // S
    Fixed,          // always `RecordField::fixed`
};

struct RecordField {
    Field field;
    std::uint8_t fixed = 0;  ///< the byte of a `Field::Fixed`
};

/// The longest record: an item record, a kind byte and six more.
inline constexpr int maxRecordLength = 7;

/// The bytes of a record of one kind: its kind byte, then `fields`, one byte
/// each, `length` bytes in all. The encoder writes and the decoder reads a
/// record by this description alone.
struct RecordLayout {
    std::uint8_t kindByte = 0;
    std::uint8_t length = 0;
    std::array<RecordField, maxRecordLength - 1> fields{};

    constexpr RecordLayout(std::uint8_t kind, std::initializer_list<RecordField> rest)
        : kindByte(kind), length(static_cast<std::uint8_t>(1 + rest.size())) {
        std::copy(rest.begin(), rest.end(), fields.begin());
    }
    /// The fields in record order; asked of a layout that outlives the span
    /// (a temporary's fields would be gone before a loop over them ran).
    constexpr std::span<const RecordField> used() const& { return {fields.data(), static_cast<std::size_t>(length - 1)}; }
    std::span<const RecordField> used() const&& = delete;
};

constexpr RecordLayout layoutOf(RecordKind kind) {
    using enum Field;
    switch (kind) {
        case RecordKind::Start: return {163, {{AreaAndDoors}, {Fixed, startThird}, {Fixed, startFourth}}};
        case RecordKind::Empty: return {128, {}};
        case RecordKind::Link: return {130, {{AreaAndDoors}, {Link}}};
        case RecordKind::AreaMark: return {130, {{AreaAndDoors}, {AreaMark}}};
        case RecordKind::Item:
            return {54, {{DoorsAndEight}, {Area}, {ItemCode}, {Random}, {Fixed, itemTail1}, {Fixed, itemTail2}}};
        case RecordKind::DeadEnd: return {67, {{DoorsAndEight}, {Area}, {DeadEnd}}};
        case RecordKind::Sequence: return {163, {{AreaAndDoors}, {SequenceS}, {Sequence}}};
        case RecordKind::Tag: return {130, {{AreaAndDoors}, {Fixed, tagThird}}};
        case RecordKind::Plain: return {3, {{DoorsAndEight}, {Area}, {Random}}};
    }
    return {0, {}};
}

static_assert(layoutOf(RecordKind::Item).length == maxRecordLength);

/// Whether a record of `kind` carries its area in the low nibble of A (so
/// the area is 0..15), rather than in a byte of its own.
constexpr bool areaInNibble(RecordKind kind) {
    const RecordLayout layout = layoutOf(kind);
    return layout.length > 1 && layout.fields[0].field == Field::AreaAndDoors;
}

/// Area numbers that a packed byte can carry in its low nibble: 0..15.
inline constexpr std::size_t nibbleValues = 16;
constexpr std::uint8_t lowNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte & 0x0FU); }
constexpr std::uint8_t highNibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte >> 4U); }

/// Packed bytes: A carries the area in the low nibble, D the value 8; both
/// carry the door mask in the high nibble.
constexpr std::uint8_t packedA(std::uint8_t area, std::uint8_t doors) {
    return static_cast<std::uint8_t>(area + 16 * doors);
}
constexpr std::uint8_t packedD(std::uint8_t doors) { return static_cast<std::uint8_t>(8 + 16 * doors); }
inline constexpr std::uint8_t packedDLowNibble = 8;

// Sequence records: numbered from 58; none after 66; S is 6 below 63, then 2.
inline constexpr std::uint8_t seqNoStart = 58;
inline constexpr std::uint8_t seqNoLast = 66;
inline constexpr std::uint8_t seqNoSwitch = 63;
inline constexpr std::uint8_t seqEarly = 6;
inline constexpr std::uint8_t seqLate = 2;

/// Lottery wins allowed in one pass.
inline constexpr std::int16_t lotteryBudgetStart = 160;
/// R, the random byte of plain and item records, is below this.
inline constexpr int randomByteRange = 47;
/// The writer takes item codes from `itemList`, starting at this index.
inline constexpr std::int16_t itemIndexStart = 28;

/// The longest stream a generated labyrinth can give: every possible item
/// room as a 7-byte record, every other room 4 bytes, every empty cell 1, and
/// the trailing 0. It must end before the text block.
inline constexpr std::int64_t maxGeneratedStream =
    maxItemRooms * layoutOf(RecordKind::Item).length + (entryCount - maxItemRooms) * layoutOf(RecordKind::Plain).length +
    (recordCount - entryCount) * layoutOf(RecordKind::Empty).length + 1;
static_assert(layoutOf(RecordKind::Plain).length == layoutOf(RecordKind::Start).length &&
                  layoutOf(RecordKind::Plain).length >= layoutOf(RecordKind::Link).length &&
                  layoutOf(RecordKind::Plain).length == layoutOf(RecordKind::DeadEnd).length,
              "a room that is no item room takes at most a plain record's length");
static_assert(roomDataPos + maxGeneratedStream <= textBase, "stream would reach the text block");
/// The longest stream any model can give, for buffers.
inline constexpr std::int64_t maxStreamSize = recordCount * maxRecordLength + 1;
/// Readers of a labyrinth need the image only up to here (the longest
/// stream any bytes can give, and the text block), whatever its size.
inline constexpr std::int64_t readRegionEnd = std::max(textEnd, roomDataPos + maxStreamSize);

/// A blank image of the smallest size that takes a labyrinth: the magic, then
/// zeros. For runs in memory and benchmarks; never a real cartridge.
inline std::vector<std::uint8_t> blankImage() {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(minImageSize), 0);
    std::copy(imageMagic.begin(), imageMagic.end(), bytes.begin());
    return bytes;
}

/// "offset N (0xN)": how messages point into an image.
std::string offsetText(std::int64_t offset);

}  // namespace labyrinth::format

namespace labyrinth {

/// How many records of each kind a stream holds, and its length: what the
/// encoder counts as it writes, and a reader counts in what it decoded.
struct RecordCounts {
    int empty = 0, links = 0, areaMarks = 0, items = 0, deadEnds = 0;
    int sequences = 0, tags = 0, plain = 0;
    int streamBytes = 0;  ///< records and the trailing 0

    /// Counts one record (the start record is of no kind that is counted).
    constexpr void add(format::RecordKind kind) {
        using format::RecordKind;
        switch (kind) {
            case RecordKind::Empty: ++empty; break;
            case RecordKind::Link: ++links; break;
            case RecordKind::AreaMark: ++areaMarks; break;
            case RecordKind::Item: ++items; break;
            case RecordKind::DeadEnd: ++deadEnds; break;
            case RecordKind::Sequence: ++sequences; break;
            case RecordKind::Tag: ++tags; break;
            case RecordKind::Plain: ++plain; break;
            case RecordKind::Start: break;
        }
    }
    bool operator==(const RecordCounts&) const = default;
};

}  // namespace labyrinth
