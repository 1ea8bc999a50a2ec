// The stream decoder: round trips against the encoder, hand-made records,
// and any damaged or random bytes handled without a crash or a read out of
// bounds (these tests also run under the address and undefined-behaviour
// sanitizers).

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "readback_support.h"
#include "labyrinth/random.h"
#include "writer/decoder.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/verify.h"

namespace labyrinth {
namespace {

using format::RecordKind;
using testing::writtenImage;

std::string at(int x, int y) { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

// An image that holds `records` at the stream's offset, then a 0.
// Sized once and copied into, not grown by insert(): at -O2 and above g++ 12
// reports a vector's range insert as out of bounds when it is not (GCC bug
// 107852), which breaks the release build with warnings as errors.
std::vector<std::uint8_t> imageWith(const std::vector<std::uint8_t>& records) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(format::roomDataPos) + records.size() + 1, 0);
    std::copy(records.begin(), records.end(), image.begin() + format::roomDataPos);
    return image;
}

// 576 records: every cell empty except the start cell, then what `tail`
// says for the cells after the start cell.
std::vector<std::uint8_t> recordsWithStartThen(const std::vector<std::uint8_t>& tail) {
    std::vector<std::uint8_t> records;
    const int startIndex = startY * mazeSize + startX;
    for (int i = 0; i < startIndex; ++i) records.push_back(format::layoutOf(RecordKind::Empty).kindByte);
    records.insert(records.end(), {format::layoutOf(RecordKind::Start).kindByte, format::packedA(0, doorEast),
                                   format::startThird, format::startFourth});
    records.insert(records.end(), tail.begin(), tail.end());
    return records;
}

TEST(DecoderRoundTrip, EveryCellMatchesTheModelOverManySeeds) {
    constexpr int seeds = 1000;
    for (std::uint64_t seed = 1; seed <= seeds; ++seed) {
        const auto written = writtenImage(seed);
        ASSERT_TRUE(written.click.status.ok()) << "seed " << seed;
        const auto decoded = decodeStream(written.image);
        ASSERT_TRUE(decoded) << "seed " << seed << ": " << decoded.error().message;
        const DecodedStream& s = decoded.value();
        const Labyrinth& m = written.model;

        EXPECT_EQ(s.end + 1 - format::roomDataPos, static_cast<std::int64_t>(written.click.stream.size()))
            << "seed " << seed;
        EXPECT_EQ(s.trailingByte, 0) << "seed " << seed;
        int items = 0;
        int deadEnds = 0;
        std::int64_t offset = format::roomDataPos;
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& c = s.at(x, y);
                const std::string where = "seed " + std::to_string(seed) + " cell " + at(x, y);
                ASSERT_EQ(c.offset, offset) << where;
                offset += format::layoutOf(c.kind).length;
                if (x == startX && y == startY) {
                    EXPECT_EQ(c.kind, RecordKind::Start) << where;
                } else if (!m.isRoom(x, y)) {
                    EXPECT_EQ(c.kind, RecordKind::Empty) << where;
                    continue;
                }
                EXPECT_EQ(c.area, m.mapArea(x, y)) << where;
                EXPECT_EQ(c.doors, m.mapDoors(x, y)) << where;
                if (c.kind == RecordKind::Start) continue;

                const int mark = m.mapMark(x, y);
                const int doors = m.mapDoors(x, y);
                if (m.mapLink(x, y) != noLink) {
                    EXPECT_EQ(c.kind, RecordKind::Link) << where;
                    EXPECT_EQ(c.link, m.mapLink(x, y)) << where;
                } else if (mark != noMark && mark != itemMark && mark != secondMark) {
                    EXPECT_EQ(c.kind, RecordKind::AreaMark) << where;
                    EXPECT_EQ(c.areaMark, m.mapArea(x, y)) << where;
                } else if (mark == itemMark) {
                    EXPECT_EQ(c.kind, RecordKind::Item) << where;
                    EXPECT_EQ(c.itemCode, itemTable[static_cast<std::size_t>(format::itemIndexStart - items)])
                        << where;
                    EXPECT_EQ(c.random, written.writer.mapRandom(x, y)) << where;
                    ++items;
                } else if (doorCount(static_cast<std::uint8_t>(doors)) == 1) {
                    EXPECT_EQ(c.kind, RecordKind::DeadEnd) << where;
                    EXPECT_EQ(c.deadEnd, markCountStart + deadEnds % (markCountLimit - markCountStart + 1)) << where;
                    ++deadEnds;
                } else {
                    EXPECT_TRUE(c.kind == RecordKind::Plain || c.kind == RecordKind::Sequence ||
                                c.kind == RecordKind::Tag)
                        << where << " is " << recordKindName(c.kind);
                    if (c.kind == RecordKind::Plain) { EXPECT_EQ(c.random, written.writer.mapRandom(x, y)) << where; }
                }
            }
        const StreamSummary summary = summarize(s);
        EXPECT_EQ(static_cast<const RecordCounts&>(summary), written.click.stats) << "seed " << seed;
        EXPECT_EQ(summary.rooms + summary.empty, format::recordCount) << "seed " << seed;
    }
}

// The format's own examples, placed right after the start cell.
TEST(DecoderRecords, HandMadeRecordsGiveTheirFields) {
    auto records = recordsWithStartThen({
        3, 88, 3, 20,                    // plain: D = 8 + 16 * 5, area 3, R 20
        130, 83, 135,                    // link: A = 3 + 16 * 5, link 7
        130, 0x20, 149,                  // area mark of area 0: A = 0 + 16 * 2, M 149
        54, 0x18, 2, 48, 46, 174, 148,   // item: doors 1, area 2, code 48, R 46
        67, 0x88, 9, 32,                 // dead end: doors 8, area 9, number 32
        163, 0x2A, 6, 58,                // sequence: A = 10 + 16 * 2, S 6, number 58
        130, 0x31, 1,                    // tag: area 1, doors 3
    });
    // Every later cell empty.
    const int used = startY * mazeSize + startX + 1 + 7;
    records.insert(records.end(), static_cast<std::size_t>(format::recordCount - used), 128);
    const auto full = imageWith(records);

    const auto decoded = decodeStream(full);
    ASSERT_TRUE(decoded) << decoded.error().message;
    const DecodedStream& s = decoded.value();
    const int first = startY * mazeSize + startX + 1;
    auto cell = [&](int i) { return s.cells[static_cast<std::size_t>(first + i)]; };

    EXPECT_EQ(s.at(startX, startY).kind, RecordKind::Start);
    EXPECT_EQ(s.at(startX, startY).doors, doorEast);
    EXPECT_EQ(s.at(startX, startY).fixedA, 3);
    EXPECT_EQ(cell(0).kind, RecordKind::Plain);
    EXPECT_EQ(cell(0).area, 3);
    EXPECT_EQ(cell(0).doors, 5);
    EXPECT_EQ(cell(0).random, 20);
    EXPECT_EQ(cell(1).kind, RecordKind::Link);
    EXPECT_EQ(cell(1).area, 3);
    EXPECT_EQ(cell(1).link, 7);
    EXPECT_EQ(cell(2).kind, RecordKind::AreaMark);
    EXPECT_EQ(cell(2).areaMark, 0);  // 149 names area 0 whatever the nibble says
    EXPECT_EQ(cell(3).kind, RecordKind::Item);
    EXPECT_EQ(cell(3).doors, 1);
    EXPECT_EQ(cell(3).area, 2);
    EXPECT_EQ(cell(3).itemCode, 48);
    EXPECT_EQ(cell(3).random, 46);
    EXPECT_EQ(cell(4).kind, RecordKind::DeadEnd);
    EXPECT_EQ(cell(4).doors, 8);
    EXPECT_EQ(cell(4).deadEnd, 32);
    EXPECT_EQ(cell(5).kind, RecordKind::Sequence);
    EXPECT_EQ(cell(5).area, 10);
    EXPECT_EQ(cell(5).sequenceS, 6);
    EXPECT_EQ(cell(5).sequence, 58);
    EXPECT_EQ(cell(6).kind, RecordKind::Tag);
    EXPECT_EQ(cell(6).area, 1);
    EXPECT_EQ(cell(6).doors, 3);
    EXPECT_EQ(s.trailingByte, 0);
}

TEST(DecoderErrors, BadBytesAreNamedByOffset) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> tail;  // after the start record
        std::int64_t badOffsetAfterStart;
    };
    const Case cases[] = {
        {"unknown kind byte", {0}, 0},
        {"130 with a third byte that is nothing", {130, 0x10, 2}, 2},
        {"D byte without the nibble 8", {3, 0x17, 3, 0}, 1},
    };
    const std::int64_t startEnd = format::roomDataPos + startY * mazeSize + startX + 4;
    for (const Case& c : cases) {
        const auto image = imageWith(recordsWithStartThen(c.tail));
        const auto decoded = decodeStream(image);
        ASSERT_FALSE(decoded) << c.what;
        EXPECT_NE(decoded.error().message.find("offset " + std::to_string(startEnd + c.badOffsetAfterStart)),
                  std::string::npos)
            << c.what << ": " << decoded.error().message;
    }
}

// Decoding must survive anything: it either succeeds or names an offset.
// With `check`, the checks and summaries also run over whatever decodes.
void decodeAnything(std::span<const std::uint8_t> image, const std::string& context, bool check = true) {
    const auto decoded = decodeStream(image);
    if (!decoded) {
        EXPECT_NE(decoded.error().message.find("offset"), std::string::npos) << context;
        return;
    }
    const DecodedStream& s = decoded.value();
    EXPECT_LT(s.end, static_cast<std::int64_t>(image.size())) << context;
    if (!check) return;
    (void)verifyStream(s);
    (void)summarize(s);
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x) (void)linkTarget(s, x, y);
}

// Every byte of a written stream, trailing 0 included, changed to each value
// that can alter how it decodes: each single-bit flip, and the values the
// format gives a meaning (kind bytes, the edges of the link, area-mark and
// tag ranges, D's low nibble). Every one of the 256 values is tried at every
// byte of the records around the start cell and of the first and last
// records. (All 256 values at every byte take minutes in a debug build.)
TEST(DecoderRobustness, SingleByteChangesOfAValidStream) {
    const auto written = writtenImage(2024);
    ASSERT_TRUE(written.click.status.ok());
    const auto decoded = decodeStream(written.image);
    ASSERT_TRUE(decoded);
    auto image = written.image;
    const auto first = static_cast<std::size_t>(format::roomDataPos);
    const std::size_t last = first + written.click.stream.size();  // trailing 0 included

    const std::uint8_t meaningful[] = {0, 1, 2, 3, 8, 54, 67, 127, 128, 129, 130, 137, 138,
                                       139, 148, 149, 150, 163, 174, 255};
    auto everyValueAt = [&](std::size_t pos) {
        const auto recordAt = [&](int index) { return static_cast<std::size_t>(decoded.value().cells[static_cast<std::size_t>(index)].offset); };
        const int startIndex = startY * mazeSize + startX;
        return pos < recordAt(4) || (pos >= recordAt(startIndex - 2) && pos < recordAt(startIndex + 2)) ||
               pos >= recordAt(format::recordCount - 4);
    };
    int changes = 0;
    for (std::size_t pos = first; pos < last; ++pos) {
        const std::uint8_t kept = image[pos];
        std::vector<std::uint8_t> values;
        if (everyValueAt(pos)) {
            for (int v = 0; v < 256; ++v) values.push_back(static_cast<std::uint8_t>(v));
        } else {
            for (unsigned bit = 0; bit < 8; ++bit) values.push_back(static_cast<std::uint8_t>(kept ^ (1U << bit)));
            values.insert(values.end(), std::begin(meaningful), std::end(meaningful));
            values.push_back(static_cast<std::uint8_t>((kept & 0xF0U) | 0x08U));
        }
        for (const std::uint8_t value : values) {
            if (value == kept) continue;
            image[pos] = value;
            // The checks, slower than the decoder, run over every sixteenth change.
            decodeAnything(image, "offset " + std::to_string(pos) + " = " + std::to_string(value), ++changes % 16 == 0);
        }
        image[pos] = kept;
    }
    EXPECT_GT(changes, 40000) << changes;
}

TEST(DecoderRobustness, TruncationAtEveryLength) {
    const auto written = writtenImage(77);
    ASSERT_TRUE(written.click.status.ok());
    const std::size_t full = static_cast<std::size_t>(format::roomDataPos) + written.click.stream.size();
    for (std::size_t length = 0; length <= full; ++length) {
        // An exact copy, so that the sanitizer sees any read past its end.
        const std::vector<std::uint8_t> cut(written.image.begin(),
                                            written.image.begin() + static_cast<std::ptrdiff_t>(length));
        const auto decoded = decodeStream(cut);
        if (length == full) {
            EXPECT_TRUE(decoded) << "the whole stream";
        } else {
            ASSERT_FALSE(decoded) << "length " << length;
            EXPECT_NE(decoded.error().message.find("offset"), std::string::npos) << decoded.error().message;
        }
    }
}

TEST(DecoderRobustness, NeverLooksPastTheEndOfTheImage) {
    // A stream that ends two bytes into a 130 record, whose third byte tells
    // its kind. Beyond the image's end lies a byte that would make the record
    // unreadable in another way, so a decoder that peeked at it would say so
    // instead of saying that the image ends there.
    std::vector<std::uint8_t> records = recordsWithStartThen({});
    records.resize(records.size() + 2);
    records[records.size() - 2] = format::layoutOf(RecordKind::Link).kindByte;
    records[records.size() - 1] = format::packedA(1, 0);
    std::vector<std::uint8_t> buffer = imageWith(records);
    buffer.back() = 0xEE;  // the byte just past the image: no link number, mark or tag
    const std::span<const std::uint8_t> image(buffer.data(), buffer.size() - 1);
    const auto decoded = decodeStream(image);
    ASSERT_FALSE(decoded);
    EXPECT_NE(decoded.error().message.find("cut short"), std::string::npos) << decoded.error().message;
    EXPECT_NE(decoded.error().message.find("3-byte record"), std::string::npos) << decoded.error().message;
}

TEST(DecoderRobustness, RandomBytes) {
    Random rng(99);
    std::vector<std::uint8_t> image(static_cast<std::size_t>(format::roomDataPos + format::maxStreamSize));
    // Uniform bytes stop at the first record almost always; streams drawn
    // from the kind bytes and small values get much further.
    const std::uint8_t kinds[] = {128, 130, 54, 67, 163, 3, 1, 0x18, 0x28, 140};
    for (int round = 0; round < 3000; ++round) {
        const bool biased = round % 2 == 1;
        for (std::size_t i = static_cast<std::size_t>(format::roomDataPos); i < image.size(); ++i)
            image[i] = biased ? kinds[rng.below(10)] : static_cast<std::uint8_t>(rng.below(256));
        const auto length = static_cast<std::size_t>(format::roomDataPos) +
                            static_cast<std::size_t>(rng.next() % static_cast<std::uint64_t>(format::maxStreamSize + 1));
        const std::vector<std::uint8_t> cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
        decodeAnything(cut, "round " + std::to_string(round));
    }
}

}  // namespace
}  // namespace labyrinth
