// The encoding pass on hand-made models, read back through the decoder.

#include <gtest/gtest.h>

#include "test_support.h"
#include "writer/decoder.h"
#include "writer/encoder.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

using format::RecordKind;
using Bytes = std::vector<std::uint8_t>;

// A model with no rooms and the item table, as after a reset.
Labyrinth blankModel() {
    Labyrinth m;
    m.mapEntry.fill(-1);
    m.mapArea.fill(noArea);
    m.mapMark.fill(noMark);
    m.mapLink.fill(noLink);
    std::copy(itemTable.begin(), itemTable.end(), m.itemList.begin());
    return m;
}

void addRoom(Labyrinth& m, int x, int y, int area, int doors, int mark = noMark, int link = noLink) {
    m.mapEntry(x, y) = 0;
    m.mapArea(x, y) = static_cast<std::uint8_t>(area);
    m.mapDoors(x, y) = static_cast<std::uint8_t>(doors);
    m.mapMark(x, y) = static_cast<std::uint8_t>(mark);
    m.mapLink(x, y) = static_cast<std::int16_t>(link);
}

struct Pass {
    Bytes stream;
    WriterState writer;
    RecordCounts stats;
};

// One pass; with `lottery` false every lottery room gets a plain record.
Pass encode(Labyrinth& m, bool lottery = true, std::uint64_t seed = 1) {
    Pass p;
    Random rng(seed);
    p.writer.startPass(m);
    if (!lottery) p.writer.lotteryBudget = 0;
    p.stats = encodeRooms(m, p.writer, rng, p.stream);
    return p;
}

// The bytes of the record of cell (x, y), found by walking the stream.
Bytes recordOf(const Bytes& stream, int x, int y) {
    Bytes image(static_cast<std::size_t>(format::roomDataPos), 0);
    image.insert(image.end(), stream.begin(), stream.end());
    auto decoded = decodeStream(image);
    EXPECT_TRUE(decoded.ok()) << (decoded.ok() ? "" : decoded.error().message);
    if (!decoded.ok()) return {};
    const auto& cell = decoded.value().at(x, y);
    const auto begin = stream.begin() + (cell.offset - format::roomDataPos);
    return {begin, begin + format::layoutOf(cell.kind).length};
}

TEST(Encoder, RecordRulesOnSingleRooms) {
    struct Row {
        const char* what;
        int area, doors, mark, link;
        Bytes expected;  // R (random) bytes are checked separately as 0xFF
    };
    const Row rows[] = {
        {"link wins over the numbered mark", 3, 5, 13, 7, {130, 83, 135}},
        {"numbered room of area 3", 3, 5, 14, noLink, {130, 83, 141}},
        {"numbered room of area 0", 0, 2, 21, noLink, {130, 32, 149}},
        {"item room with one door", 2, 1, 66, noLink, {54, 24, 2, 48, 0xFF, 174, 148}},
        {"44 room with one door is a dead end", 4, 8, 44, noLink, {67, 136, 4, 11}},
        {"plain room with one door", 4, 4, noMark, noLink, {67, 72, 4, 11}},
        {"44 room with two doors goes to the lottery", 4, 6, 44, noLink, {3, 104, 4, 0xFF}},
        {"room without doors goes to the lottery", 5, 0, noMark, noLink, {3, 8, 5, 0xFF}},
    };
    for (const auto& row : rows) {
        Labyrinth m = blankModel();
        addRoom(m, 2, 0, row.area, row.doors, row.mark, row.link);
        Pass p = encode(m, false);
        Bytes got = recordOf(p.stream, 2, 0);
        ASSERT_EQ(got.size(), row.expected.size()) << row.what;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (row.expected[i] == 0xFF) {
                EXPECT_LT(got[i], format::randomByteRange) << row.what;
                EXPECT_EQ(got[i], p.writer.mapRandom(2, 0)) << row.what;
            } else {
                EXPECT_EQ(got[i], row.expected[i]) << row.what << ", byte " << i;
            }
        }
    }
}

TEST(Encoder, SideEffectsOfLinkAndAreaMarkRecords) {
    Labyrinth m = blankModel();
    addRoom(m, 0, 0, 3, 5, 13, 7);        // numbered room with a link: counts as link only
    addRoom(m, 1, 0, 4, 5, 14, noLink);   // numbered room of area 4
    addRoom(m, 2, 0, 6, 5, 66, 9);        // item room with a link uses no item code
    addRoom(m, 3, 0, 6, 2, 66, noLink);   // so this one gets itemList(28)
    Pass p = encode(m, false);
    EXPECT_EQ(m.corridorUsed[7], 1);
    EXPECT_EQ(m.corridorUsed[9], 1);
    EXPECT_EQ(p.writer.areaMarkWritten[3], 0);
    EXPECT_EQ(p.writer.areaMarkWritten[4], 1);
    EXPECT_EQ(recordOf(p.stream, 3, 0)[3], itemTable[28]);
}

TEST(Encoder, StartCellAlwaysGetsTheStartRecord) {
    Labyrinth m = blankModel();
    addRoom(m, startX, startY, 0, 15, 21, 4);
    Pass p = encode(m);
    EXPECT_EQ(recordOf(p.stream, startX, startY), (Bytes{163, 240, 3, 0}));
    EXPECT_EQ(m.corridorUsed[4], 0) << "a link at the start cell is not entered";
    EXPECT_EQ(p.writer.areaMarkWritten[0], 0);
}

TEST(Encoder, EmptyLabyrinthIsOneByteACellAndTheTrailingZero) {
    Labyrinth m = blankModel();
    Pass p = encode(m);
    // 575 empty cells, the 4-byte start record, the trailing 0.
    ASSERT_EQ(p.stream.size(), 575U + 4U + 1U);
    EXPECT_EQ(p.stream.back(), 0);
    EXPECT_EQ(p.stats.streamBytes, 580);
}

TEST(Encoder, DeadEndsAreNumbered11To32ThenAgain11) {
    Labyrinth m = blankModel();
    for (int x = 0; x < 23; ++x) addRoom(m, x, 0, 1, doorSouth);
    Pass p = encode(m);
    for (int x = 0; x < 22; ++x) EXPECT_EQ(recordOf(p.stream, x, 0)[3], 11 + x) << x;
    EXPECT_EQ(recordOf(p.stream, 22, 0)[3], 11) << "the 23rd dead end";
    EXPECT_EQ(p.stats.deadEnds, 23);
}

TEST(Encoder, ItemCodesComeFromIndex28Down) {
    Labyrinth m = blankModel();
    for (int x = 0; x < 28; ++x) addRoom(m, x % 24, x / 24, 2, 6, itemMark);
    Pass p = encode(m);
    for (int i = 0; i < 28; ++i) EXPECT_EQ(recordOf(p.stream, i % 24, i / 24)[3], itemTable[static_cast<std::size_t>(28 - i)]);
    EXPECT_EQ(m.itemCount, 0);
}

// Many two-door rooms spread over all areas: every one goes to the lottery.
Labyrinth lotteryModel() {
    Labyrinth m = blankModel();
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x)
            if (!(x == startX && y == startY)) addRoom(m, x, y, (x + y) % 11, doorEast | doorWest);
    return m;
}

TEST(Encoder, SequenceRecordsAreNumberedFrom58AndSwitchSAt63) {
    for (std::uint64_t seed = 0; seed < 50; ++seed) {
        Labyrinth m = lotteryModel();
        Pass p = encode(m, true, seed);
        Bytes image(static_cast<std::size_t>(format::roomDataPos), 0);
        image.insert(image.end(), p.stream.begin(), p.stream.end());
        const auto decoded = decodeStream(image).value();
        int expected = format::seqNoStart;
        std::array<int, 14> perArea{}, tagsPerArea{};
        for (const auto& cell : decoded.cells) {
            if (cell.kind == RecordKind::Tag) ++tagsPerArea[cell.area];
            if (cell.kind != RecordKind::Sequence) continue;
            EXPECT_EQ(cell.sequence, expected);
            EXPECT_EQ(cell.sequenceS, expected < 63 ? 6 : 2) << "sequence " << expected;
            ++perArea[cell.area];
            ++expected;
        }
        EXPECT_EQ(expected, 67) << "nine sequence records with this many chances, seed " << seed;
        for (int area = 0; area < 14; ++area) {
            EXPECT_LE(perArea[static_cast<std::size_t>(area)], 1);
            EXPECT_LE(tagsPerArea[static_cast<std::size_t>(area)], 1);
        }
    }
}

TEST(Encoder, LotteryBudgetStopsWinsAt160) {
    Labyrinth m = lotteryModel();
    Pass p = encode(m);
    EXPECT_EQ(p.writer.lotteryBudget, 0) << "575 lottery rooms spend all 160 wins";
    EXPECT_EQ(p.stats.sequences, 9);
    EXPECT_EQ(p.stats.tags, 11);
    EXPECT_EQ(p.stats.plain, 575 - 9 - 11);
}

TEST(Acceptance, PassesWithAll21FlagsAndFailsWith20) {
    Labyrinth m;
    WriterState w;
    for (int i = 1; i <= 10; ++i) m.corridorUsed[static_cast<std::size_t>(i)] = 1;
    for (int i = 0; i <= 10; ++i) w.areaMarkWritten[static_cast<std::size_t>(i)] = 1;
    EXPECT_TRUE(streamComplete(m, w));
    w.areaMarkWritten[0] = 0;
    EXPECT_FALSE(streamComplete(m, w));
    w.areaMarkWritten[0] = 1;
    m.corridorUsed[10] = 0;
    m.corridorUsed[0] = 1;  // flag 0 (never set by a written link) stands in for link 10's
    EXPECT_TRUE(streamComplete(m, w)) << "the sum counts flags 0..10 of both lists";
    m.corridorUsed[0] = 0;
    EXPECT_FALSE(streamComplete(m, w));
}

TEST(Acceptance, StartOfAPassResetsEverythingAPassCounts) {
    // Whatever an earlier pass left, so that a flag that is not cleared shows.
    Labyrinth m;
    WriterState w;
    w.seqNo = 66;
    w.lotteryBudget = 3;
    w.areaMarkWritten.fill(1);
    w.seqGiven.fill(1);
    w.tagGiven.fill(1);
    m.corridorUsed.fill(1);
    m.itemCount = 2;
    m.markCount = 30;
    w.startPass(m);
    for (const auto flag : w.areaMarkWritten) EXPECT_EQ(flag, 0) << "the test judges only the stream just written";
    for (const auto flag : w.seqGiven) EXPECT_EQ(flag, 0);
    for (const auto flag : w.tagGiven) EXPECT_EQ(flag, 0);
    for (const auto flag : m.corridorUsed) EXPECT_EQ(flag, 0);
    EXPECT_EQ(w.seqNo, format::seqNoStart);
    EXPECT_EQ(w.lotteryBudget, format::lotteryBudgetStart);
    EXPECT_EQ(m.itemCount, format::itemIndexStart);
    EXPECT_EQ(m.markCount, markCountStart);
}

}  // namespace
}  // namespace labyrinth
