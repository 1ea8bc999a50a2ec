// The generator: door carving, reset, growth, linking, ordering, and the
// invariants of finished labyrinths over many seeds.

#include <gtest/gtest.h>

#include "labyrinth/generator.h"
#include "test_support.h"

namespace labyrinth {
namespace {

using testing::invariantProblems;
using testing::RecordingHost;

struct Carve {
    int x, y, dir;
    std::uint8_t firstBits, secondBits;
    int secondX, secondY;
};

TEST(Roomcheck, OpensMatchingDoorsOnBothSides) {
    const Carve table[] = {
        {5, 5, 1, 4, 2, 4, 5},  // reached by +x: door west, neighbour gets east
        {5, 5, 2, 2, 4, 6, 5},  // reached by -x
        {5, 5, 3, 8, 1, 5, 4},  // reached by +y
        {5, 5, 4, 1, 8, 5, 6},  // reached by -y
    };
    for (const auto& row : table) {
        Labyrinth m;
        m.mapDoors(row.secondX, row.secondY) = 0x10;  // a marker bit that must survive the OR
        roomcheck(m, row.x, row.y, row.dir);
        EXPECT_EQ(m.mapDoors(row.x, row.y), row.firstBits) << "code " << row.dir;
        EXPECT_EQ(m.mapDoors(row.secondX, row.secondY), 0x10 | row.secondBits) << "code " << row.dir;
    }
}

TEST(Roomcheck, AddsToExistingMasksAndIsIdempotent) {
    Labyrinth m;
    m.mapDoors(7, 7) = 6;
    roomcheck(m, 7, 7, 3);
    EXPECT_EQ(m.mapDoors(7, 7), 14);
    m.mapDoors(7, 7) = 6;
    roomcheck(m, 7, 7, 4);
    EXPECT_EQ(m.mapDoors(7, 7), 7);

    Labyrinth twice;
    roomcheck(twice, 3, 3, 1);
    const Labyrinth once = twice;
    roomcheck(twice, 3, 3, 1);
    EXPECT_EQ(twice.mapDoors, once.mapDoors);

    // The first cell already has the door; the second still gains its bit.
    Labyrinth half;
    half.mapDoors(3, 3) = 4;
    roomcheck(half, 3, 3, 1);
    EXPECT_EQ(half.mapDoors(2, 3), 2);
}

TEST(Roomcheck, DoorAtTheEdgeOpensOnTheFirstCellOnly) {
    const Carve table[] = {{0, 9, 1, 4, 0, 0, 0}, {23, 9, 2, 2, 0, 0, 0}, {9, 0, 3, 8, 0, 0, 0}, {9, 23, 4, 1, 0, 0, 0}};
    for (const auto& row : table) {
        Labyrinth m;
        roomcheck(m, row.x, row.y, row.dir);
        int changed = 0;
        for (int x = 0; x < gridSize; ++x)
            for (int y = 0; y < gridSize; ++y) changed += m.mapDoors(x, y) != 0 ? 1 : 0;
        EXPECT_EQ(m.mapDoors(row.x, row.y), row.firstBits) << row.x << "," << row.y;
        EXPECT_EQ(changed, 1) << row.x << "," << row.y;
    }
}

TEST(LinkLine, NumbersEachFollowOneBlank) {
    EXPECT_EQ(LinkLine(0, 3, 1).text(), " 0 3 1");
    EXPECT_EQ(LinkLine(10, 2, 0).text(), " 10 2 0");
}

// A model whose area g has one room at (g, 0), as growth would leave it,
// with the ordering counters as a reset leaves them.
Labyrinth surveyModel() {
    Labyrinth m;
    m.mapEntry.fill(-1);
    m.mapArea.fill(noArea);
    m.mapLink.fill(noLink);
    for (int g = 0; g < areaCount; ++g) {
        m.mapEntry(g, 0) = static_cast<std::int16_t>(g);
        m.mapArea(g, 0) = static_cast<std::uint8_t>(g);
        m.entryArea[static_cast<std::size_t>(g)] = static_cast<std::int16_t>(g);
    }
    return m;
}

void record(Labyrinth& m, int from, int to) {
    m.areaLinks[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)] = 1;
}

TEST(Ordering, ReachesAreasBreadthFirstInIncreasingGrowthNumber) {
    Labyrinth m = surveyModel();
    // Area 0 touches 4 and 2; 2 leads to 9 and 1; 4 leads to 3; then a chain.
    record(m, 0, 4);
    record(m, 0, 2);
    record(m, 2, 9);
    record(m, 2, 1);
    record(m, 4, 3);
    record(m, 9, 5);
    record(m, 5, 6);
    record(m, 6, 7);
    record(m, 7, 8);
    record(m, 8, 10);
    RecordingHost host;
    ASSERT_TRUE(orderAreas(m, host));
    // Order: 2, 4 from area 0; 1, 9 from 2; 3 from 4; then 5, 6, 7, 8, 10.
    const int expectedOrder[] = {0, 3, 1, 5, 2, 6, 7, 8, 9, 4, 10};
    for (int g = 0; g < areaCount; ++g) EXPECT_EQ(m.mapArea(g, 0), expectedOrder[g]) << "area grown as " << g;
    EXPECT_EQ(m.orderCount, 10);
    EXPECT_EQ(m.visitIndex, 11);
    EXPECT_EQ(m.reachedCount, 10);

    ASSERT_EQ(host.linkLines.size(), 121U);
    EXPECT_EQ(host.linkLines[2], " 0 2 1");
    EXPECT_EQ(host.linkLines[0], " 0 0 0");
    EXPECT_EQ(host.linkLines[11], " 2 0 0") << "the second visited area is 2";
    EXPECT_EQ(host.linkLines[20], " 2 9 1");
    EXPECT_EQ(host.linkLines[120], " 10 10 0");
}

TEST(Ordering, RenumbersOnlyRoomsThatGrewInTheReachedArea) {
    Labyrinth m = surveyModel();
    // Area 5 is reached first and becomes 1; area 1 is reached second and
    // becomes 2. The room of area 5, now numbered 1, must keep its 1.
    record(m, 0, 5);
    record(m, 5, 1);
    for (int g = 2; g < areaCount; ++g)
        if (g != 5) record(m, 1, g);
    RecordingHost host;
    ASSERT_TRUE(orderAreas(m, host));
    EXPECT_EQ(m.mapArea(5, 0), 1);
    EXPECT_EQ(m.mapArea(1, 0), 2);
}

TEST(Ordering, FailsWhenSomeAreaIsNotReached) {
    struct Row {
        const char* what;
        std::vector<std::pair<int, int>> records;
        int visitIndex;
    };
    const Row rows[] = {
        {"area 0 recorded nothing", {{1, 0}, {2, 0}}, 1},
        {"records are directional", {{0, 1}, {2, 1}}, 2},
        {"a record to an empty cell reaches nothing", {{0, 1}, {1, 12}}, 2},
        {"one area missing", {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 9}}, 10},
    };
    for (const auto& row : rows) {
        Labyrinth m = surveyModel();
        for (const auto& [from, to] : row.records) record(m, from, to);
        RecordingHost host;
        EXPECT_FALSE(orderAreas(m, host)) << row.what;
        EXPECT_EQ(m.visitIndex, row.visitIndex) << row.what;
        EXPECT_EQ(host.linkLines.size(), static_cast<std::size_t>(11 * row.visitIndex)) << row.what;
    }
}

TEST(LinkPass, OpensOneDoorIntoEachLargerAreaFromAPlainRoom) {
    // Three rooms in a row: area 0, a marked room of area 1, area 2.
    Labyrinth m = surveyModel();
    m.mapMark.fill(noMark);
    m.mapMark(1, 0) = itemMark;
    for (int g = 3; g < areaCount; ++g) m.mapArea(g, 0) = noArea;  // leave only three rooms
    for (std::size_t e = 0; e < entryCount; ++e) {
        m.entryX[e] = static_cast<std::uint8_t>(e % 3);
        m.entryY[e] = 0;
    }
    m.linkPass = 1;
    Random rng(4);
    probePass(m, rng);
    EXPECT_EQ(m.mapLink(0, 0), 1) << "area 0 links into area 1";
    EXPECT_EQ(m.mapLink(1, 0), noLink) << "a marked room makes no link";
    EXPECT_EQ(m.mapLink(2, 0), noLink) << "no link into a smaller area";
    EXPECT_EQ(m.mapDoors(0, 0), doorEast);
    EXPECT_EQ(m.mapDoors(1, 0), doorWest);
    EXPECT_EQ(m.corridorUsed[1], 1);
    EXPECT_EQ(m.corridorUsed[2], 0);
}

// Each stage is called on its own here, so that a build whose optimiser
// dropped a stage's call (g++ 12 has deleted store-only loops before) fails.
TEST(FinalCopy, EveryEntryOwningItsCellTakesTheCellsAreaAndNoOtherChanges) {
    Labyrinth m = surveyModel();
    for (int g = 0; g < areaCount; ++g) m.entryX[static_cast<std::size_t>(g)] = static_cast<std::uint8_t>(g);
    // Entry 3's cell was taken by entry 7, a later anchor on the same cell.
    m.entryX[3] = 7;
    m.entryArea[3] = 3;
    for (int g = 0; g < areaCount; ++g) m.mapArea(g, 0) = static_cast<std::uint8_t>(10 - g);  // order numbers
    m.entryX[static_cast<std::size_t>(entryCount)] = 5;  // an entry no generation claims
    m.entryArea[static_cast<std::size_t>(entryCount)] = 9;
    copyFinalAreas(m);
    for (int g = 0; g < areaCount; ++g) {
        if (g == 3) continue;
        EXPECT_EQ(m.entryArea[static_cast<std::size_t>(g)], 10 - g) << "entry " << g;
    }
    EXPECT_EQ(m.entryArea[3], 3) << "an entry that lost its cell keeps its growth number";
    EXPECT_EQ(m.entryArea[static_cast<std::size_t>(entryCount)], 9) << "entries past 370 are left alone";
}

// Draws that a test writes down in advance.
struct ScriptedDraws {
    std::vector<int> values;
    std::size_t next = 0;
    int below(int n) {
        EXPECT_LT(next, values.size()) << "more draws than scripted";
        const int value = next < values.size() ? values[next] : 0;
        EXPECT_LT(value, n) << "a scripted draw out of range";
        ++next;
        return value;
    }
};

TEST(GrowthPick, TheHundredAndFirstMissPassesTheTurnAfterTheHit) {
    // Area 3 names entries 3 and 40 of 100; every other entry is another area's.
    Labyrinth m;
    for (int e = 0; e < 100; ++e) m.entryArea[static_cast<std::size_t>(e)] = static_cast<std::int16_t>(e % 11 == 3 ? 4 : 5);
    m.entryArea[3] = 3;
    m.entryArea[40] = 3;
    m.entryX[40] = 17;
    m.entryY[40] = 9;
    const struct {
        int misses;
        bool keepsTurn;
    } rows[] = {{0, true}, {1, true}, {maxPickMisses, true}, {maxPickMisses + 1, false}, {250, false}};
    for (const auto& row : rows) {
        ScriptedDraws draws;
        for (int i = 0; i < row.misses; ++i) draws.values.push_back(i % 2 == 0 ? 7 : 99);  // entries of area 5
        draws.values.push_back(40);
        const Pick pick = pickRoom(m, 3, 100, draws);
        EXPECT_EQ(pick.misses, row.misses);
        EXPECT_EQ(pick.keepsTurn, row.keepsTurn) << row.misses << " misses";
        EXPECT_EQ(draws.next, draws.values.size()) << "the pick draws until it hits, and no further";
        EXPECT_EQ(std::pair(pick.x, pick.y), std::pair(17, 9)) << "the room it hit";
    }
}

// Generates with the seeds 0, 1, 2, ... derived from `master`.
struct Generated {
    Labyrinth model;
    RecordingHost host;
    GenerationResult result;
};

Generated generate(std::uint64_t master, GeneratorOptions options = {}) {
    Generated g;
    Random rng;
    DerivedSeedSource seeds(master);
    g.result = maPupdate(g.model, rng, seeds, g.host, options);
    return g;
}

TEST(Generator, ResetLeavesRowAndColumn24AndTheItemTable) {
    Generated g = generate(11);
    for (int i = 0; i < gridSize; ++i)
        for (const auto& [x, y] : {std::pair{i, mazeSize}, std::pair{mazeSize, i}}) {
            EXPECT_EQ(g.model.mapEntry(x, y), -1);
            EXPECT_EQ(g.model.mapDoors(x, y), 0);
            EXPECT_EQ(g.model.mapArea(x, y), noArea);
            EXPECT_EQ(g.model.mapMark(x, y), noMark);
            EXPECT_EQ(g.model.mapLink(x, y), noLink);
        }
    EXPECT_EQ(g.model.itemList[0], 8);
    EXPECT_EQ(g.model.itemList[12], 2);
    EXPECT_EQ(g.model.itemList[19], 2);
    EXPECT_EQ(g.model.itemList[28], 48);
    EXPECT_EQ(g.model.itemList[29] + g.model.itemList[30] + g.model.itemList[31], 0);
}

TEST(Generator, ARestartResetsTheModelAfterAnyEarlierState) {
    // A model full of leftovers generates exactly what a fresh one does.
    Labyrinth dirty;
    dirty.mapDoors.fill(15);
    dirty.mapMark.fill(66);
    dirty.mapLink.fill(3);
    dirty.corridorUsed.fill(1);
    dirty.itemCount = 28;
    dirty.markCount = 40;
    for (auto& row : dirty.areaLinks) row.fill(1);
    Random rng;
    DerivedSeedSource seeds(5);
    RecordingHost host;
    maPupdate(dirty, rng, seeds, host);
    const Generated clean = generate(5);
    EXPECT_EQ(dirty.mapDoors, clean.model.mapDoors);
    EXPECT_EQ(dirty.mapMark, clean.model.mapMark);
    EXPECT_EQ(dirty.mapLink, clean.model.mapLink);
    EXPECT_EQ(dirty.markCount, clean.model.markCount);
}

TEST(Generator, AnchorsFallOnZeroTo22AndAreaZeroStartsAtTheStartCell) {
    for (std::uint64_t seed = 0; seed < 300; ++seed) {
        const Generated g = generate(seed);
        EXPECT_EQ(g.model.entryX[0], startX);
        EXPECT_EQ(g.model.entryY[0], startY);
        for (std::size_t n = 1; n < areaCount; ++n) {
            EXPECT_LT(g.model.entryX[n], 23) << "seed " << seed;
            EXPECT_LT(g.model.entryY[n], 23) << "seed " << seed;
            EXPECT_EQ(g.model.mapMark(g.model.entryX[n], g.model.entryY[n]), noMark) << "anchors carry no mark";
        }
    }
}

TEST(Generator, SameSeedSameLabyrinth) {
    const Generated a = generate(77);
    const Generated b = generate(77);
    EXPECT_EQ(a.model.mapDoors, b.model.mapDoors);
    EXPECT_EQ(a.model.mapArea, b.model.mapArea);
    EXPECT_EQ(a.host.linkLines, b.host.linkLines);
    const Generated c = generate(78);
    EXPECT_NE(a.model.mapDoors, c.model.mapDoors);
}

TEST(Generator, InvariantsHoldOverManySeeds) {
    int collisions = 0;
    int restarts = 0;
    for (std::uint64_t seed = 0; seed < 1500; ++seed) {
        const Generated g = generate(seed);
        const auto problems = invariantProblems(g.model);
        ASSERT_TRUE(problems.empty()) << "seed " << seed << ": " << problems.front();

        // The link list: 121 lines, 11 per visited area, each ending in the
        // survey record it describes; a line for an area and itself ends in 0.
        ASSERT_EQ(g.host.linkLines.size(), 121U) << "seed " << seed;
        for (std::size_t i = 0; i < 121; ++i) {
            const int b = static_cast<int>(i % 11);
            const auto& line = g.host.linkLines[i];
            EXPECT_EQ(line.substr(line.rfind(' ', line.size() - 3)), " " + std::to_string(b) + line.substr(line.size() - 2));
        }
        EXPECT_EQ(g.host.repaints, g.result.attempts * (1 + 360)) << "after the anchors and every claim";

        int rooms = 0;
        for (int x = 0; x < mazeSize; ++x)
            for (int y = 0; y < mazeSize; ++y) rooms += g.model.isRoom(x, y) ? 1 : 0;
        collisions += rooms < entryCount ? 1 : 0;
        restarts += g.result.attempts - 1;
    }
    // Anchor collisions happen in roughly one attempt in ten.
    EXPECT_GT(collisions, 50);
    EXPECT_LT(collisions, 300);
    EXPECT_GT(restarts, 0);
}

}  // namespace
}  // namespace labyrinth
