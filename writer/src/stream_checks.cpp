#include "stream_checks.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <queue>
#include <utility>

#include "writer/readback.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

using format::RecordKind;

using format::offsetText;

// Checks a stream that may have been read only partly: the rules about
// single records, and about records before an unreadable one, still hold
// for the cells that were read; what needs the whole labyrinth (every area
// and link present, everything reachable) waits until it can be read.
class StreamChecker {
public:
    StreamChecker(const DecodedStream& stream, int records) : s_(stream), records_(records) {}

    std::vector<Problem> run() {
        if (complete()) checkEnd();
        if (known(startX, startY)) checkStart();
        checkAreas();
        checkDoors();
        if (complete()) checkReachable();
        checkLinks();
        checkAreaMarks();
        checkScanOrderNumbers();
        return std::move(problems_);
    }

private:
    void fail(Check check, std::string message) { problems_.push_back({check, std::move(message)}); }

    bool complete() const { return records_ == format::recordCount; }
    // Whether the record of (x, y) was read.
    bool known(int x, int y) const { return insideMaze(x, y) && y * mazeSize + x < records_; }

    // "room (x, y) at offset N": where to look in the file.
    std::string room(int x, int y) const { return "room " + positionText({x, y}) + " at " + offsetText(s_.at(x, y).offset); }

    void checkEnd() {
        if (s_.trailingByte != 0)
            fail(Check::Records, "the byte after the last record, at " + offsetText(s_.end) + ", is " +
                                     std::to_string(s_.trailingByte) + " instead of 0");
        if (s_.end >= format::textBase)
            fail(Check::Records, "the room records run to " + offsetText(s_.end) + ", into the text block at " +
                                     offsetText(format::textBase));
    }

    void checkStart() {
        const DecodedCell& cell = s_.at(startX, startY);
        if (cell.kind != RecordKind::Start) {
            fail(Check::Start, "the start cell " + positionText({startX, startY}) + " holds a " + recordKindName(cell.kind) +
                                   " record at " + offsetText(cell.offset) + " instead of the start record");
            return;
        }
        if (cell.fixedA != format::startThird || cell.fixedB != format::startFourth)
            fail(Check::Start, "the start record at " + offsetText(cell.offset) + " ends in " +
                                   std::to_string(cell.fixedA) + ", " + std::to_string(cell.fixedB) + " instead of " +
                                   std::to_string(format::startThird) + ", " + std::to_string(format::startFourth));
    }

    void checkAreas() {
        std::array<int, areaCount> rooms{};
        int total = 0;
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& cell = s_.at(x, y);
                if (!known(x, y) || !cell.isRoom()) continue;
                ++total;
                if (cell.area < areaCount)
                    ++rooms[cell.area];
                else
                    fail(Check::Areas, room(x, y) + " has area " + std::to_string(cell.area) + "; areas run 0 to " +
                                           std::to_string(areaCount - 1));
            }
        if (complete())
            for (std::size_t area = 0; area < rooms.size(); ++area)
                if (rooms[area] == 0) fail(Check::Areas, "area " + std::to_string(area) + " has no rooms");
        if (total > entryCount)
            fail(Check::Areas, std::to_string(total) + " rooms; a labyrinth has at most " + std::to_string(entryCount));
    }

    void checkDoors() {
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& cell = s_.at(x, y);
                if (!known(x, y) || !cell.isRoom()) continue;
                for (const Direction& side : doorSides) {
                    if ((cell.doors & side.bit) == 0) continue;
                    const int nx = x + side.dx;
                    const int ny = y + side.dy;
                    const std::string door = room(x, y) + " has a door to the " + side.name;
                    if (insideMaze(nx, ny) && !known(nx, ny)) continue;
                    if (!insideMaze(nx, ny))
                        fail(Check::Doors, door + ", out of the labyrinth");
                    else if (!s_.at(nx, ny).isRoom())
                        fail(Check::Doors, door + " into the empty cell " + positionText({nx, ny}));
                    else if ((s_.at(nx, ny).doors & side.back) == 0)
                        fail(Check::Doors, door + ", but " + room(nx, ny) + " has no door back");
                }
            }
    }

    // Breadth-first over doors that both rooms agree on.
    void checkReachable() {
        std::array<bool, format::recordCount> seen{};
        std::queue<CellPosition> queue;
        auto index = [](int x, int y) { return static_cast<std::size_t>(y * mazeSize + x); };
        if (!s_.at(startX, startY).isRoom()) return;  // reported by checkStart
        seen[index(startX, startY)] = true;
        queue.push({startX, startY});
        while (!queue.empty()) {
            const CellPosition here = queue.front();
            queue.pop();
            const DecodedCell& cell = s_.at(here.x, here.y);
            for (const Direction& side : doorSides) {
                const int nx = here.x + side.dx;
                const int ny = here.y + side.dy;
                if ((cell.doors & side.bit) == 0 || !insideMaze(nx, ny) || seen[index(nx, ny)]) continue;
                const DecodedCell& next = s_.at(nx, ny);
                if (!next.isRoom() || (next.doors & side.back) == 0) continue;
                seen[index(nx, ny)] = true;
                queue.push({nx, ny});
            }
        }
        int unreached = 0;
        std::string some;
        constexpr int listed = 5;
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x)
                if (s_.at(x, y).isRoom() && !seen[index(x, y)]) {
                    if (unreached < listed) some += (unreached == 0 ? "" : ", ") + positionText({x, y});
                    ++unreached;
                }
        if (unreached > 0)
            fail(Check::Reachable, std::to_string(unreached) + (unreached == 1 ? " room cannot" : " rooms cannot") +
                                       " be reached through doors from the start: " + some +
                                       (unreached > listed ? ", ..." : ""));
    }

    void checkLinks() {
        constexpr int firstLink = 1;
        constexpr int lastLink = areaCount - 1;
        std::array<int, areaCount> seen{};
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& cell = s_.at(x, y);
                if (!known(x, y) || cell.kind != RecordKind::Link) continue;
                const std::string link = "link " + std::to_string(cell.link) + " of " + room(x, y);
                if (cell.link < firstLink || cell.link > lastLink) {
                    fail(Check::Links, link + ": link numbers run 1 to 10");
                    continue;
                }
                if (++seen[static_cast<std::size_t>(cell.link)] == 2)
                    fail(Check::Links, link + ": link " + std::to_string(cell.link) + " appears more than once");
                if (cell.area >= cell.link)
                    fail(Check::Links, link + " leaves from area " + std::to_string(cell.area) +
                                           ", which is not smaller than the area it leads into");
                else if (!linkTarget(s_, x, y) && allNeighboursKnown(x, y))
                    fail(Check::Links, link + " has no door into area " + std::to_string(cell.link));
            }
        if (complete())
            for (int n = firstLink; n <= lastLink; ++n)
            if (seen[static_cast<std::size_t>(n)] == 0) fail(Check::Links, "link " + std::to_string(n) + " is missing");
    }

    void checkAreaMarks() {
        std::array<int, areaCount> seen{};
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& cell = s_.at(x, y);
                if (!known(x, y) || cell.kind != RecordKind::AreaMark) continue;
                if (cell.areaMark != cell.area) {
                    fail(Check::AreaMarks, "the area mark of " + room(x, y) + " names area " +
                                               std::to_string(cell.areaMark) + ", but the room is in area " +
                                               std::to_string(cell.area));
                    continue;
                }
                if (cell.area < areaCount && ++seen[cell.area] == 2)
                    fail(Check::AreaMarks, "area " + std::to_string(cell.area) + " has a second area mark at " +
                                               room(x, y));
            }
        if (complete())
            for (std::size_t area = 0; area < seen.size(); ++area)
                if (seen[area] == 0) fail(Check::AreaMarks, "area " + std::to_string(area) + " has no area mark");
    }

    // Dead-end numbers, item codes and sequence numbers are handed out in scan
    // order, so each one follows from how many came before it.
    struct ScanOrder {
        int deadEnds = 0;
        int items = 0;
        int sequences = 0;
        std::array<bool, format::nibbleValues> sequenceArea{};  // areas come from a nibble
        std::array<bool, format::nibbleValues> tagArea{};
    };

    void checkScanOrderNumbers() {
        ScanOrder order;
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize && known(x, y); ++x) {
                switch (s_.at(x, y).kind) {
                    case RecordKind::DeadEnd: checkDeadEnd(x, y, order); break;
                    case RecordKind::Item: checkItem(x, y, order); break;
                    case RecordKind::Sequence: checkSequence(x, y, order); break;
                    case RecordKind::Tag: checkTag(x, y, order); break;
                    case RecordKind::Plain:
                        checkRandomByte(x, y);
                        checkLotteryRoom(x, y);
                        break;
                    case RecordKind::Start:
                    case RecordKind::Empty:
                    case RecordKind::Link:
                    case RecordKind::AreaMark:
                        break;
                }
            }
    }

    void checkDeadEnd(int x, int y, ScanOrder& order) {
        constexpr int deadEndSpan = markCountLimit - markCountStart + 1;
        const DecodedCell& cell = s_.at(x, y);
        const int expected = markCountStart + order.deadEnds % deadEndSpan;
        ++order.deadEnds;
        if (doorCount(cell.doors) != 1)
            fail(Check::DeadEnds, "dead end " + room(x, y) + " has " + std::to_string(doorCount(cell.doors)) +
                                      " doors instead of one");
        if (cell.deadEnd != expected)
            fail(Check::DeadEnds, "dead end " + room(x, y) + " is numbered " + std::to_string(cell.deadEnd) +
                                      " instead of " + std::to_string(expected));
    }

    void checkItem(int x, int y, ScanOrder& order) {
        const DecodedCell& cell = s_.at(x, y);
        if (order.items >= maxItemRooms) {
            fail(Check::Items, "item " + room(x, y) + " is item room " + std::to_string(order.items + 1) +
                                   "; there are at most " + std::to_string(maxItemRooms));
        } else {
            const int expected = itemTable[static_cast<std::size_t>(format::itemIndexStart - order.items)];
            if (cell.itemCode != expected)
                fail(Check::Items, "item " + room(x, y) + " holds item code " + std::to_string(cell.itemCode) +
                                       " instead of " + std::to_string(expected));
        }
        ++order.items;
        checkRandomByte(x, y);
        if (cell.fixedA != format::itemTail1 || cell.fixedB != format::itemTail2)
            fail(Check::RecordBytes, "item " + room(x, y) + " ends in " + std::to_string(cell.fixedA) + ", " +
                                         std::to_string(cell.fixedB) + " instead of " +
                                         std::to_string(format::itemTail1) + ", " + std::to_string(format::itemTail2));
    }

    void checkSequence(int x, int y, ScanOrder& order) {
        const DecodedCell& cell = s_.at(x, y);
        const int expected = format::seqNoStart + order.sequences;
        ++order.sequences;
        const std::string what = "sequence record of " + room(x, y);
        if (expected > format::seqNoLast) {
            fail(Check::Sequences, what + " is number " + std::to_string(order.sequences) +
                                       "; a stream holds at most " +
                                       std::to_string(format::seqNoLast - format::seqNoStart + 1));
        } else if (cell.sequence != expected) {
            fail(Check::Sequences, what + " is numbered " + std::to_string(cell.sequence) + " instead of " +
                                       std::to_string(expected));
        }
        const int s = cell.sequence < format::seqNoSwitch ? format::seqEarly : format::seqLate;
        if (cell.sequenceS != s)
            fail(Check::Sequences, what + " has S " + std::to_string(cell.sequenceS) + " instead of " +
                                       std::to_string(s));
        if (std::exchange(order.sequenceArea[format::lowNibble(cell.area)], true))
            fail(Check::Sequences, what + " is the second in area " + std::to_string(cell.area));
        checkLotteryRoom(x, y);
    }

    void checkTag(int x, int y, ScanOrder& order) {
        const DecodedCell& cell = s_.at(x, y);
        if (std::exchange(order.tagArea[format::lowNibble(cell.area)], true))
            fail(Check::Sequences, "tag record of " + room(x, y) + " is the second in area " +
                                       std::to_string(cell.area));
        checkLotteryRoom(x, y);
    }

    // A room that the lottery gave its record can have no single door: the
    // dead-end record comes first.
    void checkLotteryRoom(int x, int y) {
        if (doorCount(s_.at(x, y).doors) == 1)
            fail(Check::DeadEnds, room(x, y) + " has one door but a " + recordKindName(s_.at(x, y).kind) +
                                      " record instead of a dead end");
    }

    void checkRandomByte(int x, int y) {
        const int r = s_.at(x, y).random;
        if (r < 0 || r >= format::randomByteRange)
            fail(Check::RecordBytes, "the random byte of " + room(x, y) + " is " + std::to_string(r) +
                                         "; it must be below " + std::to_string(format::randomByteRange));
    }

    bool allNeighboursKnown(int x, int y) const {
        return std::all_of(doorSides.begin(), doorSides.end(), [&](const Direction& side) {
            return !insideMaze(x + side.dx, y + side.dy) || known(x + side.dx, y + side.dy);
        });
    }

    const DecodedStream& s_;
    int records_;
    std::vector<Problem> problems_;
};

}  // namespace

std::vector<Problem> checkRecords(const DecodedStream& stream, int records) {
    return StreamChecker(stream, records).run();
}

}  // namespace labyrinth
