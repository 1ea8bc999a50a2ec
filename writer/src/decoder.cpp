#include "writer/decoder.h"

#include <string>
#include <utility>

namespace labyrinth {
namespace {

using format::RecordKind;

// A record's fixed bytes go to `fixedA`, then `fixedB`.
void keepFixed(DecodedCell& cell, std::uint8_t b, bool& first) {
    (std::exchange(first, false) ? cell.fixedA : cell.fixedB) = b;
}

class Decoder {
public:
    explicit Decoder(std::span<const std::uint8_t> image) : image_(image) {}

    PartialStream run() {
        PartialStream partial;
        DecodedStream& stream = partial.stream;
        std::int64_t pos = format::roomDataPos;
        for (int index = 0; index < format::recordCount; ++index) {
            const int x = index % mazeSize;
            const int y = index / mazeSize;
            auto cell = decodeRecord(pos, x == startX && y == startY);
            if (!cell) {
                partial.status = cell.error();
                return partial;
            }
            pos += format::layoutOf(cell.value().kind).length;
            stream.cells[static_cast<std::size_t>(index)] = cell.value();
            partial.records = index + 1;
        }
        if (!has(pos, 1)) {
            partial.status = cutShort(pos, "the trailing byte after the last record");
            return partial;
        }
        stream.end = pos;
        stream.trailingByte = byte(pos);
        return partial;
    }

private:
    bool has(std::int64_t pos, int count) const {
        return pos >= 0 && pos + count <= static_cast<std::int64_t>(image_.size());
    }
    std::uint8_t byte(std::int64_t pos) const { return image_[static_cast<std::size_t>(pos)]; }

    static Error cutShort(std::int64_t pos, const std::string& what) {
        return Error{"the room records are cut short at " + format::offsetText(pos) +
                     ": the image ends before " + what};
    }
    static Error bad(std::int64_t pos, const std::string& what) {
        return Error{format::offsetText(pos) + ": " + what};
    }

    Result<DecodedCell> decodeRecord(std::int64_t pos, bool startCell) {
        if (!has(pos, 1)) return cutShort(pos, "the record of a cell");
        auto kind = kindOf(pos, startCell);
        if (!kind) return kind.error();
        const int length = format::layoutOf(kind.value()).length;
        if (!has(pos, length)) return cutShort(pos, "the end of a " + std::to_string(length) + "-byte record");

        DecodedCell cell;
        cell.kind = kind.value();
        cell.offset = pos;
        bool firstFixed = true;
        std::int64_t at = pos;
        const format::RecordLayout layout = format::layoutOf(cell.kind);
        for (const format::RecordField& f : layout.used()) {
            const std::uint8_t b = byte(++at);
            switch (f.field) {
                case format::Field::AreaAndDoors:
                    cell.area = format::lowNibble(b);
                    cell.doors = format::highNibble(b);
                    break;
                case format::Field::DoorsAndEight:
                    if (format::lowNibble(b) != format::packedDLowNibble)
                        return bad(at, "door byte " + std::to_string(b) + " does not end in the nibble 8");
                    cell.doors = format::highNibble(b);
                    break;
                case format::Field::Area: cell.area = b; break;
                case format::Field::Link: cell.link = b - format::linkBase; break;
                case format::Field::AreaMark:
                    cell.areaMark = b == format::areaZeroMarkByte ? 0 : b - format::areaMarkBase;
                    break;
                case format::Field::ItemCode: cell.itemCode = b; break;
                case format::Field::Random: cell.random = b; break;
                case format::Field::DeadEnd: cell.deadEnd = b; break;
                case format::Field::Sequence: cell.sequence = b; break;
                case format::Field::SequenceS: cell.sequenceS = b; break;
                // Kept as read, so that checks can compare them with what they must be.
                case format::Field::Fixed: keepFixed(cell, b, firstFixed); break;
            }
        }
        return cell;
    }

    // Several kinds share a kind byte: 163 is the start record at the start
    // cell and a sequence record elsewhere; 130 is told apart by its third
    // byte, which is read only once it is known to be there.
    Result<RecordKind> kindOf(std::int64_t pos, bool startCell) const {
        const std::uint8_t kindByte = byte(pos);
        for (const RecordKind kind : {RecordKind::Empty, RecordKind::Item, RecordKind::DeadEnd, RecordKind::Plain})
            if (kindByte == format::layoutOf(kind).kindByte) return kind;
        if (kindByte == format::layoutOf(RecordKind::Start).kindByte)
            return startCell ? RecordKind::Start : RecordKind::Sequence;
        if (kindByte == format::layoutOf(RecordKind::Link).kindByte) {
            if (!has(pos, 3)) return cutShort(pos, "the end of a 3-byte record");
            const std::uint8_t third = byte(pos + 2);
            if (third == format::tagThird) return RecordKind::Tag;
            if (third >= format::linkBase && third < format::linkBase + format::linkLimit) return RecordKind::Link;
            if (third > format::areaMarkBase && third <= format::areaZeroMarkByte) return RecordKind::AreaMark;
            return bad(pos + 2, "byte " + std::to_string(third) + " is no link number, area mark or tag");
        }
        return bad(pos, "byte " + std::to_string(kindByte) + " is not the start of any room record");
    }

    std::span<const std::uint8_t> image_;
};

}  // namespace

DecodedCell cellOfKind(format::RecordKind kind) {
    DecodedCell cell;
    cell.kind = kind;
    bool first = true;
    const format::RecordLayout layout = format::layoutOf(kind);
    for (const format::RecordField& f : layout.used())
        if (f.field == format::Field::Fixed) keepFixed(cell, f.fixed, first);
    return cell;
}

PartialStream decodeAsFarAsPossible(std::span<const std::uint8_t> image) { return Decoder(image).run(); }

Result<DecodedStream> decodeStream(std::span<const std::uint8_t> image) {
    PartialStream partial = decodeAsFarAsPossible(image);
    if (!partial.status) return partial.status.error();
    return std::move(partial.stream);
}

}  // namespace labyrinth
