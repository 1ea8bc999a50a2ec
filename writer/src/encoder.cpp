#include "writer/encoder.h"

#include <bit>
#include <cassert>
#include <initializer_list>

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
        const std::uint8_t area = m_.mapArea(x, y);
        const std::uint8_t mark = m_.mapMark(x, y);
        const std::int16_t link = m_.mapLink(x, y);
        const std::uint8_t a = format::packedA(area, w_.cellDoors);
        const std::uint8_t d = format::packedD(w_.cellDoors);
        const auto areaIndex = static_cast<std::size_t>(area);

        if (x == startX && y == startY) {
            emit(RecordKind::Start, {a, format::startThird, format::startFourth});
        } else if (area == noArea) {
            emit(RecordKind::Empty, {});
        } else if (link < format::linkLimit) {
            assert(link >= 0);
            emit(RecordKind::Link, {a, static_cast<std::uint8_t>(format::linkBase + link)});
            m_.corridorUsed[static_cast<std::size_t>(link)] = 1;
        } else if (mark != noMark && mark != 0 && mark != itemMark && mark != secondMark) {
            const auto m = mark == areaZeroMark ? format::areaZeroMarkByte
                                                : static_cast<std::uint8_t>(format::areaMarkBase + area);
            emit(RecordKind::AreaMark, {a, m});
            w_.areaMarkWritten[areaIndex] = 1;
        } else if (mark == itemMark) {
            assert(m_.itemCount >= 0);
            const std::uint8_t code = m_.itemList[static_cast<std::size_t>(m_.itemCount)];
            const auto r = drawRandomByte(x, y);
            --m_.itemCount;
            emit(RecordKind::Item, {d, area, code, r, format::itemTail1, format::itemTail2});
        } else if (doorCount(w_.cellDoors) == 1) {  // a dead end: one door
            if (m_.markCount > markCountLimit) m_.markCount = markCountStart;
            emit(RecordKind::DeadEnd, {d, area, m_.markCount});
            ++m_.markCount;
        } else {
            switch (lottery(areaIndex)) {
                case 1: {
                    const auto s = w_.seqNo < format::seqNoSwitch ? format::seqEarly : format::seqLate;
                    emit(RecordKind::Sequence, {a, s, w_.seqNo});
                    ++w_.seqNo;
                    w_.seqGiven[areaIndex] = 1;
                    break;
                }
                case 2:
                    emit(RecordKind::Tag, {a, format::tagThird});
                    w_.tagGiven[areaIndex] = 1;
                    break;
                default: {
                    const auto r = drawRandomByte(x, y);
                    emit(RecordKind::Plain, {d, area, r});
                    break;
                }
            }
        }
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

    // The kind byte, then the rest of the record.
    void emit(RecordKind kind, std::initializer_list<std::uint8_t> rest) {
        stats_.add(kind);
        const auto layout = format::layoutOf(kind);
        assert(rest.size() + 1 == layout.length);
        assert(length_ + layout.length < out_.size());  // the trailing 0 still fits
        out_[length_++] = layout.kindByte;
        for (const std::uint8_t byte : rest) out_[length_++] = byte;
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
    std::vector<std::uint8_t> stream;
    stream.reserve(static_cast<std::size_t>(format::maxStreamSize));
    const auto byteOf = [](int value) { return static_cast<std::uint8_t>(value); };
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x) {
            const DecodedCell& c = cells.at(x, y);
            const std::uint8_t a = format::packedA(c.area, c.doors);
            const std::uint8_t d = format::packedD(c.doors);
            const std::uint8_t kind = format::layoutOf(c.kind).kindByte;
            switch (c.kind) {
                case RecordKind::Empty: stream.insert(stream.end(), {kind}); break;
                case RecordKind::Start: stream.insert(stream.end(), {kind, a, format::startThird, format::startFourth}); break;
                case RecordKind::Sequence: stream.insert(stream.end(), {kind, a, byteOf(c.sequenceS), byteOf(c.sequence)}); break;
                case RecordKind::Link: stream.insert(stream.end(), {kind, a, byteOf(format::linkBase + c.link)}); break;
                case RecordKind::AreaMark: {
                    const int m = c.areaMark == 0 ? format::areaZeroMarkByte : format::areaMarkBase + c.areaMark;
                    stream.insert(stream.end(), {kind, a, byteOf(m)});
                    break;
                }
                case RecordKind::Tag: stream.insert(stream.end(), {kind, a, format::tagThird}); break;
                case RecordKind::Item:
                    stream.insert(stream.end(), {kind, d, c.area, byteOf(c.itemCode), byteOf(c.random), format::itemTail1,
                                                 format::itemTail2});
                    break;
                case RecordKind::DeadEnd: stream.insert(stream.end(), {kind, d, c.area, byteOf(c.deadEnd)}); break;
                case RecordKind::Plain: stream.insert(stream.end(), {kind, d, c.area, byteOf(c.random)}); break;
            }
        }
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
