#include "labyrinth/generator.h"

#include <algorithm>
#include <array>
#include <bit>
#include <numeric>

namespace labyrinth {
namespace {

// Tried flags as bits 1..4, one per direction code.
constexpr unsigned allDirections = 0b11110;

constexpr int nextArea(int area) { return area == areaCount - 1 ? 0 : area + 1; }

// Cells on a layout with a border: slot (x + 1) * stride + y. A step in x
// moves `stride` slots, a step in y one, and every step off the labyrinth
// lands on a border slot (x of -1 or 24, or y of 24, where a y of -1 wraps
// to), so that neighbours are found without bounds checks.
namespace bordered {
constexpr std::size_t stride = gridSize;
constexpr std::size_t firstCell = stride;
constexpr std::size_t lastCell = mazeSize * stride + mazeSize - 1;
constexpr std::size_t slots = (mazeSize + 2) * stride;
constexpr std::size_t slot(int x, int y) { return static_cast<std::size_t>((x + 1) * static_cast<int>(stride) + y); }
// The step of direction code 1 +x, 2 -x, 3 +y or 4 -y, in slots.
constexpr std::array<std::size_t, 5> steps{0, stride, 0 - stride, 1, std::size_t{0} - 1};
constexpr std::size_t step(int doorDir) { return steps[static_cast<std::size_t>(doorDir)]; }
}  // namespace bordered

// Area numbers 0..13 as a set, a bit each: the areas 0..10, `noArea` for the
// empty cells, and `beyond` for the border, which no rule ever takes.
using AreaSet = unsigned;
constexpr int beyond = 13;
constexpr AreaSet areaBit(int area) { return 1U << static_cast<unsigned>(area); }

// Which cells are still free during growth, and, per area, how many free
// neighbours the cells its entries name have, so that growth can tell at
// once when an area is boxed in. Cells only ever fill up during growth, so a
// boxed-in area stays boxed in.
class Frontier {
public:
    void build(const Labyrinth& m) {
        free_.fill(0);
        for (int x = 0; x < mazeSize; ++x)
            for (int y = 0; y < mazeSize; ++y) free_[bordered::slot(x, y)] = m.mapEntry(x, y) < 0 ? 1 : 0;
        for (std::size_t i = bordered::firstCell; i <= bordered::lastCell; ++i)
            freeNeighbours_[i] = static_cast<std::uint8_t>(free_[i + bordered::stride] + free_[i - bordered::stride] +
                                                          free_[i + 1] + free_[i - 1]);
        namedBy_.fill(0);
        frontier_.fill(0);
        for (int n = 0; n < areaCount; ++n) name(bordered::slot(m.entryX[n], m.entryY[n]), n);
    }

    // The free neighbours of (x, y), as bits by direction code.
    unsigned freeSides(int x, int y) const {
        const std::size_t i = bordered::slot(x, y);
        unsigned sides = 0;
        for (int doorDir = 1; doorDir <= 4; ++doorDir)
            sides |= static_cast<unsigned>(free_[i + bordered::step(doorDir)]) << static_cast<unsigned>(doorDir);
        return sides;
    }

    // A free cell was claimed for `area`: its neighbours lose a free
    // neighbour, and so does every area that names one of them.
    void claim(int x, int y, int area) {
        const std::size_t i = bordered::slot(x, y);
        free_[i] = 0;
        const auto loseFreeNeighbour = [this](std::size_t neighbour) {
            --freeNeighbours_[neighbour];
            // One area or none names almost every cell, so the lowest one is
            // counted without a branch on the labyrinth (none counts against
            // the spare counter); more name a cell only where anchors fell
            // together.
            const unsigned bits = namedBy_[neighbour];
            --frontier_[static_cast<std::size_t>(std::countr_zero(bits | spareBit))];
            for (unsigned more = bits & (bits - 1); more != 0; more &= more - 1)
                --frontier_[static_cast<std::size_t>(std::countr_zero(more))];
        };
        // Called once per side, as a loop over the four was not unrolled.
        loseFreeNeighbour(i + bordered::stride);
        loseFreeNeighbour(i - bordered::stride);
        loseFreeNeighbour(i + 1);
        loseFreeNeighbour(i - 1);
        name(i, area);
    }

    bool boxedIn(int area) const { return frontier_[static_cast<std::size_t>(area)] == 0; }

private:
    void name(std::size_t i, int area) {
        namedBy_[i] = static_cast<std::uint16_t>(namedBy_[i] | (1U << static_cast<unsigned>(area)));
        frontier_[static_cast<std::size_t>(area)] += freeNeighbours_[i];
    }

    std::array<std::uint8_t, bordered::slots> free_{};
    std::array<std::uint8_t, bordered::slots> freeNeighbours_{};
    std::array<std::uint16_t, bordered::slots> namedBy_{};
    static constexpr unsigned spareBit = 1U << areaCount;
    std::array<int, areaCount + 1> frontier_{};  // and a spare counter that nobody reads
};

// The number each `mapArea` value takes: its order number for a reached
// area, itself for any other.
using AreaNumbers = std::array<std::uint8_t, 256>;

// Gives every room of a reached area its order number, in one pass over the
// cells. Until then a room's `mapArea` is the area its entry grew in, and
// only rooms whose entry grew in a reached area change, so each room changes
// at most once and the order in which areas were reached does not matter
// (a room already numbered b is not taken for a room of area b). A loop that
// only stores, in a function of its own, is the shape g++ 12 has dropped the
// call of before (see copyFinalAreas): the ordering tests call orderAreas on
// its own, so the release build's run catches it.
void renumber(Labyrinth& m_, const AreaNumbers& numbers) {
    for (int x = 0; x < gridSize; ++x)
        for (int y = 0; y < gridSize; ++y) m_.mapArea(x, y) = numbers[m_.mapArea(x, y)];
}

class Generator {
public:
    Generator(Labyrinth& m, Random& rng, SeedSource& seeds, GeneratorHost& host,
              const GeneratorOptions& options)
        : m_(m), rng_(rng), seeds_(seeds), host_(host), options_(options) {}

    GenerationResult run() {
        GenerationResult result;
        for (;;) {
            ++result.attempts;
            result.lastSeed = seeds_.nextSeed();
            resetAndAnchor(result.lastSeed);
            grow();
            m_.linkPass = 0;
            probePass(m_, rng_);
            if (orderAreas(m_, host_)) break;
        }
        startLinkPass();
        probePass(m_, rng_);
        copyFinalAreas(m_);
        return result;
    }

private:
    // The link pass starts from no recorded link and no link number given:
    // the survey's records are cleared, and `corridorUsed` over the slots of
    // the area tables (the rest holds 0 from the reset).
    void startLinkPass() {
        m_.linkPass = 1;
        for (auto& row : m_.areaLinks) row.fill(0);
        std::fill_n(m_.corridorUsed.begin(), areaTableSize, std::int16_t{0});
    }

    void resetAndAnchor(std::uint64_t seed) {
        m_.corridorUsed.fill(0);
        m_.markCount = markCountStart;
        std::copy(itemTable.begin(), itemTable.end(), m_.itemList.begin());
        m_.linkPass = 0;
        m_.orderCount = 0;
        m_.visitIndex = 0;
        m_.itemCount = 0;
        rng_.seed(seed);
        for (auto& row : m_.areaLinks) row.fill(0);
        m_.mapEntry.fill(-1);
        m_.mapDoors.fill(0);
        m_.mapArea.fill(noArea);
        m_.mapMark.fill(noMark);
        m_.mapLink.fill(noLink);

        placeAnchor(0, startX, startY);
        for (int n = 1; n < areaCount; ++n) {
            // Anchors fall on 0..22 and may land on an earlier anchor's cell:
            // the later one then owns it, and the earlier area grows from there.
            const int x = rng_.below(mazeSize - 1);
            const int y = rng_.below(mazeSize - 1);
            placeAnchor(n, x, y);
        }
        host_.repaint();
    }

    void placeAnchor(int n, int x, int y) {
        const auto i = static_cast<std::size_t>(n);
        m_.areaMarked[i] = noMark;
        m_.entryUsed[i] = 1;
        m_.entryArea[i] = static_cast<std::int16_t>(n);
        m_.entryX[i] = static_cast<std::uint8_t>(x);
        m_.entryY[i] = static_cast<std::uint8_t>(y);
        m_.mapEntry(x, y) = static_cast<std::int16_t>(n);
        m_.mapArea(x, y) = static_cast<std::uint8_t>(n);
        m_.areaX[i] = static_cast<std::uint8_t>(x);
        m_.areaY[i] = static_cast<std::uint8_t>(y);
    }

    // Grows the eleven areas in turn until entries 11..370 are claimed.
    void grow() {
        frontier_.build(m_);
        unsigned tried = 0;  // bit per direction code; cleared only by a claim
        int curArea = 0;
        int stepCount = areaCount;
        while (stepCount <= lastEntry) {
            const bool claimed = takeTurn(curArea, stepCount, tried);
            curArea = nextArea(curArea);
            if (claimed) ++stepCount;
        }
    }

    // One turn of `curArea`: walks from the area's head until it claims a
    // free cell as entry `stepCount` (true) or passes the turn (false).
    bool takeTurn(int curArea, int stepCount, unsigned& tried) {
        const auto area = static_cast<std::size_t>(curArea);
        int curX = m_.areaX[area];
        int curY = m_.areaY[area];
        m_.entryArea[static_cast<std::size_t>(stepCount)] = static_cast<std::int16_t>(curArea);
        m_.entryUsed[static_cast<std::size_t>(stepCount)] = 1;
        for (;;) {
            // The cursor's free neighbours, as bits by direction code: only a
            // claim fills a cell, and a claim ends the turn. A step off the
            // labyrinth is pulled back onto the cursor's own cell and a step
            // onto a taken cell is undone, so the cursor moves only when it
            // claims, or when a pick moves it.
            const unsigned freeSides = frontier_.freeSides(curX, curY);
            for (;;) {
                const int doorDir = rng_.below(4) + 1;
                tried |= 1U << doorDir;
                if ((freeSides & (1U << doorDir)) != 0) {
                    const Direction& step = directions[static_cast<std::size_t>(doorDir)];
                    claim(curX + step.dx, curY + step.dy, curArea, stepCount, doorDir);
                    tried = 0;
                    return true;
                }
                if (tried == allDirections) break;
            }

            // Every direction has been drawn since the last claim: pick
            // another room of the area to grow from, or pass the turn. An
            // area with no free neighbour would only miss its way to a pass.
            if (options_.passBoxedInAreas && frontier_.boxedIn(curArea)) return false;
            const Pick pick = pickRoom(m_, curArea, stepCount, rng_);
            if (!pick.keepsTurn) return false;
            curX = pick.x;
            curY = pick.y;
        }
    }

    void claim(int x, int y, int curArea, int stepCount, int doorDir) {
        const auto e = static_cast<std::size_t>(stepCount);
        const auto area = static_cast<std::size_t>(curArea);
        m_.mapEntry(x, y) = static_cast<std::int16_t>(stepCount);
        m_.entryX[e] = static_cast<std::uint8_t>(x);
        m_.entryY[e] = static_cast<std::uint8_t>(y);
        host_.repaint();
        m_.areaX[area] = static_cast<std::uint8_t>(x);
        m_.areaY[area] = static_cast<std::uint8_t>(y);
        roomcheck(m_, x, y, doorDir);
        m_.mapArea(x, y) = static_cast<std::uint8_t>(m_.entryArea[e]);
        frontier_.claim(x, y, curArea);

        // Marks: at most one applies, tested in this order. The draw decides
        // between the first two, so they are worked out without branches.
        const int draw = rng_.below(10);
        auto& mark = m_.mapMark(x, y);
        const bool unmarked = mark == noMark;
        const bool item = unmarked & (draw == 5) & (m_.itemCount < maxItemRooms);
        const bool second = unmarked & (draw == 4) & (m_.markCount < markCountLimit);
        m_.itemCount = static_cast<std::int16_t>(m_.itemCount + item);
        m_.markCount = static_cast<std::uint8_t>(m_.markCount + second);
        mark = item ? itemMark : second ? secondMark : mark;
        if (mark == noMark && m_.areaMarked[area] == noMark) {
            m_.areaMarked[area] = 1;
            mark = curArea == 0 ? areaZeroMark : static_cast<std::uint8_t>(curArea + numberedMarkBase);
        }
    }

    Labyrinth& m_;
    Random& rng_;
    SeedSource& seeds_;
    GeneratorHost& host_;
    GeneratorOptions options_;
    Frontier frontier_;
};

// The draws of `entries` probed entries in a row that take nothing: each
// draws until every direction has come up, which is how most entries end.
// One loop counts the entries off without a branch on when each ends, as
// that is as unpredictable as the draws.
void drawIdleEntries(Random& rng, int entries) {
    unsigned tried = 0;  // bit per direction code
    for (int ended = 0; ended < entries;) {
        tried |= 1U << (rng.below(4) + 1);
        const unsigned all = tried == allDirections ? 1U : 0U;
        ended += static_cast<int>(all);
        tried &= all - 1U;  // cleared once all have come up: a mask, as g++ makes a select a branch again
    }
}

// The probe pass's view of the model: the areas of the cells on the
// bordered layout (links carve doors only, so they stay as they are for the
// whole pass), and the sets of areas that each rule no longer takes, kept
// beside `areaLinks` and `corridorUsed`, which stay the record.
class Probe {
public:
    explicit Probe(Labyrinth& m) : m_(m), survey_(m.linkPass == 0) { buildSets(); }

    // The directions, as bits by direction code, in which the rule holds
    // for entry `stepCount`: for the survey, into any other area (or the
    // empty cells) not yet recorded; for links, into a larger area neither
    // recorded nor linked into yet. A marked room takes none, nor does a step
    // off the labyrinth (it is pulled back onto the entry's own cell).
    // Nothing changes them until a rule acts, which ends the entry's
    // probing; most entries find none and only draw.
    unsigned holdingDirections(int stepCount) const {
        const int curX = m_.entryX[static_cast<std::size_t>(stepCount)];
        const int curY = m_.entryY[static_cast<std::size_t>(stepCount)];
        const std::size_t cell = bordered::slot(curX, curY);
        const int curArea = areas_[cell];
        const auto area = static_cast<std::size_t>(curArea);
        AreaSet around = 0;
        for (int doorDir = 1; doorDir <= 4; ++doorDir) around |= areaBit(areas_[cell + bordered::step(doorDir)]);
        AreaSet open = survey_ ? around & ~areaBit(curArea) & ~taken_[area]
                               : around & ~((areaBit(curArea) << 1U) - 1) & ~areaBit(noArea) & ~taken_[area] & ~linked_;
        open &= ~areaBit(beyond);
        open &= 0U - static_cast<AreaSet>(m_.mapMark(curX, curY) == noMark);
        // The same as bits by direction code, which is what a draw gives.
        unsigned holds = 0;
        for (int doorDir = 1; open != 0 && doorDir <= 4; ++doorDir)
            holds |= ((open >> areas_[cell + bordered::step(doorDir)]) & 1U) << static_cast<unsigned>(doorDir);
        return holds;
    }

    // The rule acts for entry `stepCount` in direction `doorDir`: the link
    // is recorded and, in the link pass, made.
    void take(int stepCount, int doorDir) {
        const int curX = m_.entryX[static_cast<std::size_t>(stepCount)];
        const int curY = m_.entryY[static_cast<std::size_t>(stepCount)];
        const std::size_t cell = bordered::slot(curX, curY);
        const auto area = static_cast<std::size_t>(areas_[cell]);
        const int b = areas_[cell + bordered::step(doorDir)];
        m_.areaLinks[area][static_cast<std::size_t>(b)] = 1;
        taken_[area] |= areaBit(b);
        if (survey_) return;
        const Direction& step = directions[static_cast<std::size_t>(doorDir)];
        m_.mapLink(curX, curY) = static_cast<std::int16_t>(b);
        m_.corridorUsed[static_cast<std::size_t>(b)] = 1;
        linked_ |= areaBit(b);
        roomcheck(m_, curX + step.dx, curY + step.dy, doorDir);
    }

private:
    void buildSets() {
        areas_.fill(beyond);
        for (int x = 0; x < mazeSize; ++x)
            for (int y = 0; y < mazeSize; ++y) areas_[bordered::slot(x, y)] = m_.mapArea(x, y);
        // Per area, the areas recorded at all (survey) or recorded as 1
        // (links), and the areas already linked into.
        for (std::size_t a = 0; a < taken_.size(); ++a)
            for (std::size_t b = 0; b < taken_.size(); ++b) {
                const auto record = m_.areaLinks[a][b];
                if (survey_ ? record != 0 : record == 1) taken_[a] |= areaBit(static_cast<int>(b));
            }
        for (std::size_t b = 0; b < taken_.size(); ++b)
            if (m_.corridorUsed[b] != 0) linked_ |= areaBit(static_cast<int>(b));
    }

    Labyrinth& m_;
    const bool survey_;
    std::array<std::uint8_t, bordered::slots> areas_;
    std::array<AreaSet, areaTableSize> taken_{};
    AreaSet linked_ = 0;
};
static_assert(beyond < areaTableSize, "the border has a bit of its own in an area set");

// A direction that holds ends the probing when it comes up, so it comes up
// before all four have: the entry draws until it does.
int drawHolding(Random& rng, unsigned holds) {
    int doorDir = 0;
    do doorDir = rng.below(4) + 1;
    while ((holds & (1U << doorDir)) == 0);
    return doorDir;
}

}  // namespace

// The probe pass over entries 0..370: the survey rule records which areas
// touch which (linkPass 0); the link rule opens one door into each area
// from a smaller-numbered one (linkPass 1).
void probePass(Labyrinth& m_, Random& rng_) {
    Probe probe(m_);
    // Entries passed over that take nothing, and whose draws are still to
    // be made: nothing they draw changes what the next entries find.
    int idle = 0;
    for (int stepCount = 0; stepCount <= lastEntry; ++stepCount) {
        const unsigned holds = probe.holdingDirections(stepCount);
        if (holds == 0) {
            ++idle;
            continue;
        }
        drawIdleEntries(rng_, idle);
        idle = 0;
        probe.take(stepCount, drawHolding(rng_, holds));
    }
    drawIdleEntries(rng_, idle);
}

// Breadth-first from area 0 over the survey records: numbers the areas in
// the order reached, renumbers their rooms and writes the link list.
// Returns false when some area was not reached.
bool orderAreas(Labyrinth& m_, GeneratorHost& host_) {
    int stepCount = 0;
    m_.areaOrder.fill(noArea);
    m_.reachedCount = 0;
    AreaNumbers numbers{};
    std::iota(numbers.begin(), numbers.end(), std::uint8_t{0});
    int curArea = 0;
    for (;;) {
        const auto from = static_cast<std::size_t>(curArea);
        for (int b = 0; b < areaCount; ++b) {
            const auto to = static_cast<std::size_t>(b);
            if (m_.areaLinks[from][to] == 1 && m_.areaOrder[to] == noArea) {
                ++m_.orderCount;
                m_.areaOrder[to] = m_.orderCount;
                m_.areaOrder[from] = static_cast<std::uint8_t>(curArea);
                ++m_.reachedCount;
                m_.visitList[static_cast<std::size_t>(m_.reachedCount)] = static_cast<std::uint8_t>(b);
                numbers[to] = m_.orderCount;
            }
            host_.setLinkLine(stepCount, LinkLine(curArea, b, m_.areaLinks[from][to]));
            ++stepCount;
        }
        ++m_.visitIndex;
        if (m_.visitIndex > m_.reachedCount) break;
        curArea = m_.visitList[m_.visitIndex];
    }
    renumber(m_, numbers);
    return m_.visitIndex == areaCount;
}

void copyFinalAreas(Labyrinth& model) {
    // Every entry that still owns its cell takes the cell's area; an entry
    // whose anchor cell a later anchor took keeps its growth number.
    // Written entry by entry, not cell by cell: g++ 12 at -O1 and above once
    // dropped the call of the cell-by-cell loop, which only stores through
    // addresses it derives from the model, when it stood in a function of
    // its own. Any reshaping must be checked on an optimised build.
    for (std::size_t e = 0; e < entryCount; ++e) {
        const int x = model.entryX[e];
        const int y = model.entryY[e];
        if (model.mapEntry(x, y) == static_cast<std::int16_t>(e)) model.entryArea[e] = model.mapArea(x, y);
    }
}

void roomcheck(Labyrinth& model, int nbrX, int nbrY, int doorDir) {
    // Two passes: the first cell, then the cell beyond its new door.
    // The step led into (nbrX, nbrY), so its door faces back along it.
    for (int pass = 0; pass < 2; ++pass) {
        const Direction& step = directions[static_cast<std::size_t>(doorDir)];
        model.mapDoors(nbrX, nbrY) |= step.back;
        const int beyondX = nbrX - step.dx;
        const int beyondY = nbrY - step.dy;
        if (!insideMaze(beyondX, beyondY)) return;
        nbrX = beyondX;
        nbrY = beyondY;
        doorDir = step.opposite;
    }
}

std::string LinkLine::text() const {
    std::string line;
    for (const int value : {a_, b_, record_}) line += ' ' + std::to_string(value);
    return line;
}

GenerationResult maPupdate(Labyrinth& model, Random& rng, SeedSource& seeds, GeneratorHost& host,
                           const GeneratorOptions& options) {
    return Generator(model, rng, seeds, host, options).run();
}

}  // namespace labyrinth
