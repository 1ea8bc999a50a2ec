#include "writer/encoder.h"

#include <bit>
#include <cassert>

#include "writer/readback.h"
#include "writer/record_format.h"

namespace labyrinth {

using format::RecordKind;

void WriterState::startPass(Labyrinth& model) {
    seqNo = format::seqNoStart;
    model.corridorUsed.fill(0);
    seqGiven.fill(0);
    tagGiven.fill(0);
    model.markCount = markCountStart;
    lotteryBudget = format::lotteryBudgetStart;
    model.itemCount = format::itemIndexStart;
    areaMarkWritten.fill(0);
}

namespace {

// Writes the record of `cell` at `out` as its kind's layout says; returns
// its length.
std::size_t putRecord(const DecodedCell& cell, std::uint8_t* out) {
    const format::RecordLayout layout = format::layoutOf(cell.kind);
    const auto byteOf = [](int value) { return static_cast<std::uint8_t>(value); };
    std::size_t length = 0;
    out[length++] = layout.kindByte;
    for (const format::RecordField& f : layout.used()) {
        switch (f.field) {
            case format::Field::AreaAndDoors: out[length++] = format::packedA(cell.area, cell.doors); break;
            case format::Field::DoorsAndEight: out[length++] = format::packedD(cell.doors); break;
            case format::Field::Area: out[length++] = cell.area; break;
            case format::Field::Link: out[length++] = byteOf(format::linkBase + cell.link); break;
            case format::Field::AreaMark:
                out[length++] = cell.areaMark == 0 ? format::areaZeroMarkByte : byteOf(format::areaMarkBase + cell.areaMark);
                break;
            case format::Field::ItemCode: out[length++] = byteOf(cell.itemCode); break;
            case format::Field::Random: out[length++] = byteOf(cell.random); break;
            case format::Field::DeadEnd: out[length++] = byteOf(cell.deadEnd); break;
            case format::Field::Sequence: out[length++] = byteOf(cell.sequence); break;
            case format::Field::SequenceS: out[length++] = byteOf(cell.sequenceS); break;
            case format::Field::Fixed: out[length++] = f.fixed; break;
        }
    }
    return length;
}

class Encoder {
public:
    Encoder(Labyrinth& m, WriterState& w, Random& rng, std::vector<std::uint8_t>& out)
        : m_(m), w_(w), rng_(rng), out_(out) {}

    RecordCounts run() {
        // Composed in a buffer long enough for any model and cut to length at
        // the end: no growing record by record, and a buffer that is used
        // again is not allocated again.
        out_.resize(static_cast<std::size_t>(format::maxStreamSize));
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) encodeCell(x, y);
        out_[length_++] = 0;  // the trailing 0 after the last record
        out_.resize(length_);
        stats_.streamBytes = static_cast<int>(length_);
        return stats_;
    }

private:
    void encodeCell(int x, int y) {
        w_.cellDoors = m_.mapDoors(x, y);
        const std::uint8_t mark = m_.mapMark(x, y);
        const std::int16_t link = m_.mapLink(x, y);
        DecodedCell c;
        c.area = m_.mapArea(x, y);
        c.doors = w_.cellDoors;
        const auto areaIndex = static_cast<std::size_t>(c.area);

        if (x == startX && y == startY) {
            c.kind = RecordKind::Start;
        } else if (c.area == noArea) {
            c.kind = RecordKind::Empty;
        } else if (link < format::linkLimit) {
            assert(link >= 0);
            c.kind = RecordKind::Link;
            c.link = link;
            m_.corridorUsed[static_cast<std::size_t>(link)] = 1;
        } else if (mark != noMark && mark != 0 && mark != itemMark && mark != secondMark) {
            c.kind = RecordKind::AreaMark;
            c.areaMark = mark == areaZeroMark ? 0 : c.area;
            w_.areaMarkWritten[areaIndex] = 1;
        } else if (mark == itemMark) {
            assert(m_.itemCount >= 0);
            c.kind = RecordKind::Item;
            c.itemCode = m_.itemList[static_cast<std::size_t>(m_.itemCount)];
            c.random = drawRandomByte(x, y);
            --m_.itemCount;
        } else if (doorCount(w_.cellDoors) == 1) {  // a dead end: one door
            if (m_.markCount > markCountLimit) m_.markCount = markCountStart;
            c.kind = RecordKind::DeadEnd;
            c.deadEnd = m_.markCount;
            ++m_.markCount;
        } else {
            switch (lottery(areaIndex)) {
                case 1:
                    c.kind = RecordKind::Sequence;
                    c.sequenceS = w_.seqNo < format::seqNoSwitch ? format::seqEarly : format::seqLate;
                    c.sequence = w_.seqNo;
                    ++w_.seqNo;
                    w_.seqGiven[areaIndex] = 1;
                    break;
                case 2:
                    c.kind = RecordKind::Tag;
                    w_.tagGiven[areaIndex] = 1;
                    break;
                default:
                    c.kind = RecordKind::Plain;
                    c.random = drawRandomByte(x, y);
                    break;
            }
        }
        stats_.add(c.kind);
        assert(length_ + format::layoutOf(c.kind).length < out_.size());  // the trailing 0 still fits
        length_ += putRecord(c, out_.data() + length_);
    }

    // 0 plain, 1 sequence, 2 tag.
    int lottery(std::size_t area) {
        for (;;) {
            if (rng_.below(2) == 0) return 0;
            if (w_.lotteryBudget < 1) continue;
            --w_.lotteryBudget;
            w_.lotteryDraw = static_cast<std::int16_t>(rng_.below(3));
            if (w_.lotteryDraw == 1 && w_.seqNo <= format::seqNoLast && w_.seqGiven[area] != 1) return 1;
            if (w_.lotteryDraw == 2 && w_.tagGiven[area] != 1) return 2;
            return 0;
        }
    }

    std::uint8_t drawRandomByte(int x, int y) {
        const auto r = static_cast<std::uint8_t>(rng_.below(format::randomByteRange));
        w_.mapRandom(x, y) = r;
        return r;
    }

    Labyrinth& m_;
    WriterState& w_;
    Random& rng_;
    std::vector<std::uint8_t>& out_;
    std::size_t length_ = 0;  // of the stream so far
    RecordCounts stats_;
};

}  // namespace

RecordCounts encodeRooms(Labyrinth& model, WriterState& writer, Random& rng, std::vector<std::uint8_t>& stream) {
    return Encoder(model, writer, rng, stream).run();
}

bool streamComplete(const Labyrinth& model, const WriterState& writer) {
    // Flags 0..10 of both lists: link numbers 1..10 (0 is never given) and
    // area marks 0..10, 21 flags in all.
    constexpr int allPresent = (areaCount - 1) + areaCount;
    int sum = 0;
    for (std::size_t i = 0; i < areaCount; ++i) sum += model.corridorUsed[i] + writer.areaMarkWritten[i];
    return sum >= allPresent;
}

Result<std::vector<std::uint8_t>> encodeCells(const DecodedStream& cells) {
    std::vector<std::uint8_t> stream(static_cast<std::size_t>(format::maxStreamSize));
    std::size_t length = 0;
    for (const DecodedCell& c : cells.cells) length += putRecord(c, stream.data() + length);
    stream.resize(length);
    stream.push_back(0);

    // Whatever does not fit its record would read back as another value:
    // the bytes must give the very cells again.
    std::vector<std::uint8_t> image(static_cast<std::size_t>(format::roomDataPos), 0);
    image.insert(image.end(), stream.begin(), stream.end());
    const PartialStream back = decodeAsFarAsPossible(image);
    for (int i = 0; i < format::recordCount; ++i) {
        const DecodedCell& want = cells.cells[static_cast<std::size_t>(i)];
        const DecodedCell& got = back.stream.cells[static_cast<std::size_t>(i)];
        const bool same = i < back.records && got.kind == want.kind && got.area == want.area &&
                          got.doors == want.doors && (want.kind != RecordKind::Link || got.link == want.link) &&
                          (want.kind != RecordKind::AreaMark || got.areaMark == want.areaMark) &&
                          got.itemCode == want.itemCode && got.random == want.random && got.deadEnd == want.deadEnd &&
                          got.sequence == want.sequence && got.sequenceS == want.sequenceS;
        if (!same)
            return Error{"room (" + std::to_string(i % mazeSize) + ", " + std::to_string(i / mazeSize) +
                         ") holds a value that its " + recordKindName(want.kind) + " record cannot carry"};
    }
    return stream;
}

}  // namespace labyrinth
