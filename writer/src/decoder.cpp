#include "writer/decoder.h"

#include <string>

namespace labyrinth {
namespace {

using format::RecordKind;

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
        auto at = [&](int i) { return byte(pos + i); };
        // A carries area and doors; D carries 8 and doors, the area follows.
        auto takeA = [&] {
            cell.area = format::lowNibble(at(1));
            cell.doors = format::highNibble(at(1));
        };
        auto takeD = [&]() -> Status {
            if (format::lowNibble(at(1)) != format::packedDLowNibble)
                return bad(pos + 1, "door byte " + std::to_string(at(1)) + " does not end in the nibble 8");
            cell.doors = format::highNibble(at(1));
            cell.area = at(2);
            return {};
        };
        switch (cell.kind) {
            case RecordKind::Empty:
                break;
            case RecordKind::Start:
                takeA();
                cell.fixedA = at(2);
                cell.fixedB = at(3);
                break;
            case RecordKind::Sequence:
                takeA();
                cell.sequenceS = at(2);
                cell.sequence = at(3);
                break;
            case RecordKind::Link:
                takeA();
                cell.link = at(2) - format::linkBase;
                break;
            case RecordKind::AreaMark:
                takeA();
                cell.areaMark = at(2) == format::areaZeroMarkByte ? 0 : at(2) - format::areaMarkBase;
                break;
            case RecordKind::Tag:
                takeA();
                break;
            case RecordKind::Item:
                if (auto taken = takeD(); !taken) return taken.error();
                cell.itemCode = at(3);
                cell.random = at(4);
                cell.fixedA = at(5);
                cell.fixedB = at(6);
                break;
            case RecordKind::DeadEnd:
                if (auto taken = takeD(); !taken) return taken.error();
                cell.deadEnd = at(3);
                break;
            case RecordKind::Plain:
                if (auto taken = takeD(); !taken) return taken.error();
                cell.random = at(3);
                break;
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

PartialStream decodeAsFarAsPossible(std::span<const std::uint8_t> image) { return Decoder(image).run(); }

Result<DecodedStream> decodeStream(std::span<const std::uint8_t> image) {
    PartialStream partial = decodeAsFarAsPossible(image);
    if (!partial.status) return partial.status.error();
    return std::move(partial.stream);
}

}  // namespace labyrinth
