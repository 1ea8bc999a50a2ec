#include "writer/verify.h"

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

std::string at(int x, int y) { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

using format::offsetText;

class StreamChecker {
public:
    explicit StreamChecker(const DecodedStream& stream) : s_(stream) {}

    std::vector<Problem> run() {
        checkEnd();
        checkStart();
        checkAreas();
        checkDoors();
        checkReachable();
        checkLinks();
        checkAreaMarks();
        checkScanOrderNumbers();
        return std::move(problems_);
    }

private:
    void fail(Check check, std::string message) { problems_.push_back({check, std::move(message)}); }

    // "room (x, y) at offset N": where to look in the file.
    std::string room(int x, int y) const { return "room " + at(x, y) + " at " + offsetText(s_.at(x, y).offset); }

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
            fail(Check::Start, "the start cell " + at(startX, startY) + " holds a " + recordKindName(cell.kind) +
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
                if (!cell.isRoom()) continue;
                ++total;
                if (cell.area < areaCount)
                    ++rooms[cell.area];
                else
                    fail(Check::Areas, room(x, y) + " has area " + std::to_string(cell.area) + "; areas run 0 to " +
                                           std::to_string(areaCount - 1));
            }
        for (std::size_t area = 0; area < rooms.size(); ++area)
            if (rooms[area] == 0) fail(Check::Areas, "area " + std::to_string(area) + " has no rooms");
        if (total > entryCount)
            fail(Check::Areas, std::to_string(total) + " rooms; a labyrinth has at most " + std::to_string(entryCount));
    }

    void checkDoors() {
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& cell = s_.at(x, y);
                if (!cell.isRoom()) continue;
                for (const Side& side : sides) {
                    if ((cell.doors & side.bit) == 0) continue;
                    const int nx = x + side.dx;
                    const int ny = y + side.dy;
                    const std::string door = room(x, y) + " has a door to the " + side.name;
                    if (!insideMaze(nx, ny))
                        fail(Check::Doors, door + ", out of the labyrinth");
                    else if (!s_.at(nx, ny).isRoom())
                        fail(Check::Doors, door + " into the empty cell " + at(nx, ny));
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
            for (const Side& side : sides) {
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
                    if (unreached < listed) some += (unreached == 0 ? "" : ", ") + at(x, y);
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
                if (cell.kind != RecordKind::Link) continue;
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
                else if (!linkTarget(s_, x, y))
                    fail(Check::Links, link + " has no door into area " + std::to_string(cell.link));
            }
        for (int n = firstLink; n <= lastLink; ++n)
            if (seen[static_cast<std::size_t>(n)] == 0) fail(Check::Links, "link " + std::to_string(n) + " is missing");
    }

    void checkAreaMarks() {
        std::array<int, areaCount> seen{};
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& cell = s_.at(x, y);
                if (cell.kind != RecordKind::AreaMark) continue;
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
        for (std::size_t area = 0; area < seen.size(); ++area)
            if (seen[area] == 0) fail(Check::AreaMarks, "area " + std::to_string(area) + " has no area mark");
    }

    // Dead-end numbers, item codes and sequence numbers are handed out in scan
    // order, so each one follows from how many came before it.
    void checkScanOrderNumbers() {
        constexpr int deadEndSpan = markCountLimit - markCountStart + 1;
        int deadEnds = 0;
        int items = 0;
        int sequences = 0;
        std::array<bool, 16> sequenceArea{};
        std::array<bool, 16> tagArea{};
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x) {
                const DecodedCell& cell = s_.at(x, y);
                const auto areaFlag = static_cast<std::size_t>(cell.area & 0x0FU);
                const bool oneDoor = doorCount(cell.doors) == 1;
                switch (cell.kind) {
                    case RecordKind::DeadEnd: {
                        const int expected = markCountStart + deadEnds % deadEndSpan;
                        ++deadEnds;
                        if (!oneDoor)
                            fail(Check::DeadEnds, "dead end " + room(x, y) + " has " +
                                                      std::to_string(doorCount(cell.doors)) + " doors instead of one");
                        if (cell.deadEnd != expected)
                            fail(Check::DeadEnds, "dead end " + room(x, y) + " is numbered " +
                                                      std::to_string(cell.deadEnd) + " instead of " +
                                                      std::to_string(expected));
                        break;
                    }
                    case RecordKind::Item: {
                        if (items >= maxItemRooms) {
                            fail(Check::Items, "item " + room(x, y) + " is item room " + std::to_string(items + 1) +
                                                   "; there are at most " + std::to_string(maxItemRooms));
                        } else {
                            const int expected = itemTable[static_cast<std::size_t>(format::itemIndexStart - items)];
                            if (cell.itemCode != expected)
                                fail(Check::Items, "item " + room(x, y) + " holds item code " +
                                                       std::to_string(cell.itemCode) + " instead of " +
                                                       std::to_string(expected));
                        }
                        ++items;
                        checkRandomByte(x, y);
                        if (cell.fixedA != format::itemTail1 || cell.fixedB != format::itemTail2)
                            fail(Check::RecordBytes, "item " + room(x, y) + " ends in " + std::to_string(cell.fixedA) +
                                                         ", " + std::to_string(cell.fixedB) + " instead of " +
                                                         std::to_string(format::itemTail1) + ", " +
                                                         std::to_string(format::itemTail2));
                        break;
                    }
                    case RecordKind::Sequence: {
                        const int expected = format::seqNoStart + sequences;
                        ++sequences;
                        const std::string what = "sequence record of " + room(x, y);
                        if (expected > format::seqNoLast) {
                            fail(Check::Sequences, what + " is number " + std::to_string(sequences) +
                                                       "; a stream holds at most " +
                                                       std::to_string(format::seqNoLast - format::seqNoStart + 1));
                        } else if (cell.sequence != expected) {
                            fail(Check::Sequences, what + " is numbered " + std::to_string(cell.sequence) +
                                                       " instead of " + std::to_string(expected));
                        }
                        const int s = cell.sequence < format::seqNoSwitch ? format::seqEarly : format::seqLate;
                        if (cell.sequenceS != s)
                            fail(Check::Sequences, what + " has S " + std::to_string(cell.sequenceS) + " instead of " +
                                                       std::to_string(s));
                        if (std::exchange(sequenceArea[areaFlag], true))
                            fail(Check::Sequences, what + " is the second in area " + std::to_string(cell.area));
                        if (oneDoor) lotteryOnOneDoor(x, y);
                        break;
                    }
                    case RecordKind::Tag:
                        if (std::exchange(tagArea[areaFlag], true))
                            fail(Check::Sequences, "tag record of " + room(x, y) + " is the second in area " +
                                                       std::to_string(cell.area));
                        if (oneDoor) lotteryOnOneDoor(x, y);
                        break;
                    case RecordKind::Plain:
                        checkRandomByte(x, y);
                        if (oneDoor) lotteryOnOneDoor(x, y);
                        break;
                    case RecordKind::Start:
                    case RecordKind::Empty:
                    case RecordKind::Link:
                    case RecordKind::AreaMark:
                        break;
                }
            }
    }

    void lotteryOnOneDoor(int x, int y) {
        fail(Check::DeadEnds, room(x, y) + " has one door but a " + recordKindName(s_.at(x, y).kind) +
                                  " record instead of a dead end");
    }

    void checkRandomByte(int x, int y) {
        const int r = s_.at(x, y).random;
        if (r < 0 || r >= format::randomByteRange)
            fail(Check::RecordBytes, "the random byte of " + room(x, y) + " is " + std::to_string(r) +
                                         "; it is below " + std::to_string(format::randomByteRange));
    }

    const DecodedStream& s_;
    std::vector<Problem> problems_;
};

void checkTextBlock(std::span<const std::uint8_t> image, std::span<const std::uint8_t> text,
                    std::vector<Problem>& problems) {
    if (static_cast<std::int64_t>(text.size()) < format::textSize) {
        problems.push_back({Check::TextBlock, "the text file holds " + std::to_string(text.size()) +
                                                  " bytes; the text block needs " + std::to_string(format::textSize)});
        return;
    }
    int differing = 0;
    std::int64_t first = -1;
    for (std::int64_t i = 0; i < format::textSize; ++i) {
        const auto offset = static_cast<std::size_t>(format::textBase + i);
        if (image[offset] == text[static_cast<std::size_t>(i)]) continue;
        if (differing++ == 0) first = i;
    }
    if (differing > 0)
        problems.push_back({Check::TextBlock, "the text block differs from the text file in " +
                                                  std::to_string(differing) + " of " +
                                                  std::to_string(format::textSize) + " bytes, first at " +
                                                  offsetText(format::textBase + first)});
}

// One line per stretch of the file (before the labyrinth, between it and the
// text block, after the text block) that holds changed bytes.
void checkUnchanged(std::span<const std::uint8_t> image, std::span<const std::uint8_t> original,
                    std::vector<Problem>& problems) {
    if (image.size() != original.size()) {
        problems.push_back({Check::Unchanged, "the image is " + std::to_string(image.size()) +
                                                  " bytes long and the original " + std::to_string(original.size()) +
                                                  "; the writer never changes the size"});
        return;
    }
    struct Stretch {
        std::int64_t begin, end;
        const char* name;
    };
    const auto size = static_cast<std::int64_t>(image.size());
    const std::array<Stretch, 3> stretches{{
        {0, format::roomDataPos, "before the room records"},
        {writerRegionEnd(), format::textBase, "between the room records and the text block"},
        {format::textEnd, size, "after the text block"},
    }};
    for (const Stretch& stretch : stretches) {
        int changed = 0;
        std::int64_t first = -1;
        for (std::int64_t i = stretch.begin; i < stretch.end; ++i) {
            const auto offset = static_cast<std::size_t>(i);
            if (image[offset] == original[offset]) continue;
            if (changed++ == 0) first = i;
        }
        if (changed > 0) {
            const auto firstAt = static_cast<std::size_t>(first);
            problems.push_back({Check::Unchanged, std::to_string(changed) + (changed == 1 ? " byte" : " bytes") +
                                                      " changed " + stretch.name + ", first at " + offsetText(first) +
                                                      " (" + std::to_string(original[firstAt]) + " in the original, " +
                                                      std::to_string(image[firstAt]) + " now)"});
        }
    }
}

}  // namespace

std::vector<Problem> verifyStream(const DecodedStream& stream) { return StreamChecker(stream).run(); }

std::int64_t writerRegionEnd() { return format::roomDataPos + format::maxGeneratedStream; }

std::vector<Problem> verifyImage(const VerifyInputs& inputs) {
    std::vector<Problem> problems;
    const auto size = static_cast<std::int64_t>(inputs.image.size());
    const bool magic = inputs.image.size() >= format::imageMagic.size() &&
                       std::equal(format::imageMagic.begin(), format::imageMagic.end(), inputs.image.begin());
    if (!magic) problems.push_back({Check::Image, "the image does not start with \"NES\" and 0x1A"});
    if (size < format::minImageSize) {
        problems.push_back({Check::Image, "the image is " + std::to_string(size) + " bytes long; it needs at least " +
                                              std::to_string(format::minImageSize)});
        return problems;
    }

    auto decoded = decodeStream(inputs.image);
    if (!decoded) {
        problems.push_back({Check::Records, decoded.error().message});
    } else {
        auto found = verifyStream(decoded.value());
        problems.insert(problems.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    }
    if (inputs.text) checkTextBlock(inputs.image, *inputs.text, problems);
    if (inputs.original) checkUnchanged(inputs.image, *inputs.original, problems);
    return problems;
}

}  // namespace labyrinth
