#include "labyrinth/generator.h"

#include <algorithm>
#include <array>
#include <bit>

namespace labyrinth {
namespace {

// Direction codes: 1 +x, 2 -x, 3 +y, 4 -y. A draw r below 4 gives code r + 1.
constexpr std::array<int, 5> stepX{0, +1, -1, 0, 0};
constexpr std::array<int, 5> stepY{0, 0, 0, +1, -1};
// The bit that faces back along a step with the given code.
constexpr std::array<std::uint8_t, 5> backDoor{0, doorWest, doorEast, doorNorth, doorSouth};
constexpr std::array<int, 5> opposite{0, 2, 1, 4, 3};

constexpr int nextArea(int area) { return area == areaCount - 1 ? 0 : area + 1; }

constexpr bool inMaze(int x, int y) { return x >= 0 && x < mazeSize && y >= 0 && y < mazeSize; }

// Pulls a coordinate that stepped one cell off the labyrinth back onto it.
// Returns true when it had to.
bool clamp(int& v) {
    if (v == mazeSize) { v = mazeSize - 1; return true; }
    if (v == -1) { v = 0; return true; }
    return false;
}

// Keeps count, per area, of the free neighbours of the cells its entries name,
// so that growth can tell at once when an area is boxed in. Cells only ever
// fill up during growth, so a boxed-in area stays boxed in.
class Frontier {
public:
    void build(const Labyrinth& m) {
        for (int x = 0; x < mazeSize; ++x)
            for (int y = 0; y < mazeSize; ++y) {
                int free = 0;
                forNeighbours(x, y, [&](int nx, int ny) { free += m.mapEntry(nx, ny) < 0 ? 1 : 0; });
                freeNeighbours_[index(x, y)] = static_cast<std::uint8_t>(free);
                namedBy_[index(x, y)] = 0;
            }
        frontier_.fill(0);
        for (int n = 0; n < areaCount; ++n) name(m.entryX[n], m.entryY[n], n);
    }

    // A free cell was claimed for `area`.
    void claim(int x, int y, int area) {
        forNeighbours(x, y, [&](int nx, int ny) {
            const auto i = index(nx, ny);
            --freeNeighbours_[i];
            for (unsigned bits = namedBy_[i]; bits != 0; bits &= bits - 1)
                --frontier_[static_cast<std::size_t>(std::countr_zero(bits))];
        });
        name(x, y, area);
    }

    bool boxedIn(int area) const { return frontier_[static_cast<std::size_t>(area)] == 0; }

private:
    static std::size_t index(int x, int y) { return static_cast<std::size_t>(x * mazeSize + y); }

    template <typename F>
    static void forNeighbours(int x, int y, F&& f) {
        if (x + 1 < mazeSize) f(x + 1, y);
        if (x > 0) f(x - 1, y);
        if (y + 1 < mazeSize) f(x, y + 1);
        if (y > 0) f(x, y - 1);
    }

    void name(int x, int y, int area) {
        const auto i = index(x, y);
        namedBy_[i] = static_cast<std::uint16_t>(namedBy_[i] | (1U << static_cast<unsigned>(area)));
        frontier_[static_cast<std::size_t>(area)] += freeNeighbours_[i];
    }

    std::array<std::uint8_t, cellCount> freeNeighbours_{};
    std::array<std::uint16_t, cellCount> namedBy_{};
    std::array<int, areaCount> frontier_{};
};

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
            probe();
            if (order()) break;
        }
        m_.linkPass = 1;
        for (auto& row : m_.areaLinks) row.fill(0);
        std::fill_n(m_.corridorUsed.begin(), 14, std::int16_t{0});
        probe();
        finalCopy();
        return result;
    }

private:
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
        if (options_.passBoxedInAreas) frontier_.build(m_);
        std::array<bool, 5> tried{};  // by direction code; cleared only by a claim
        int curArea = 0;
        int stepCount = areaCount;
        while (stepCount <= lastEntry) {
            // Turn start: from the area's head.
            int curX = m_.areaX[static_cast<std::size_t>(curArea)];
            int curY = m_.areaY[static_cast<std::size_t>(curArea)];
            m_.entryArea[static_cast<std::size_t>(stepCount)] = static_cast<std::int16_t>(curArea);
            m_.entryUsed[static_cast<std::size_t>(stepCount)] = 1;
            for (;;) {
                const int doorDir = rng_.below(4) + 1;
                tried[static_cast<std::size_t>(doorDir)] = true;
                curX += stepX[static_cast<std::size_t>(doorDir)];
                curY += stepY[static_cast<std::size_t>(doorDir)];
                const bool clampX = clamp(curX);
                const bool clampHit = clamp(curY) || clampX;
                if (m_.mapEntry(curX, curY) < 0) {
                    claim(curX, curY, curArea, stepCount, doorDir);
                    tried.fill(false);
                    break;
                }
                if (!clampHit) {
                    curX -= stepX[static_cast<std::size_t>(doorDir)];
                    curY -= stepY[static_cast<std::size_t>(doorDir)];
                }
                if (!(tried[1] && tried[2] && tried[3] && tried[4])) continue;

                // Pick another room of the area to grow from, or pass the turn.
                if (options_.passBoxedInAreas && frontier_.boxedIn(curArea)) {
                    curArea = nextArea(curArea);
                    goto nextTurn;
                }
                int pickMisses = 0;
                for (;;) {
                    const auto e = static_cast<std::size_t>(rng_.below(stepCount));
                    curX = m_.entryX[e];
                    curY = m_.entryY[e];
                    if (m_.entryArea[e] == curArea) break;
                    ++pickMisses;
                }
                if (pickMisses > 100) {
                    curArea = nextArea(curArea);
                    goto nextTurn;
                }
            }
            curArea = nextArea(curArea);
            ++stepCount;
        nextTurn:;
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
        if (options_.passBoxedInAreas) frontier_.claim(x, y, curArea);

        // Marks: at most one applies, tested in this order.
        const int draw = rng_.below(10);
        auto& mark = m_.mapMark(x, y);
        if (mark == noMark && draw == 5 && m_.itemCount < maxItemRooms) {
            mark = itemMark;
            ++m_.itemCount;
        }
        if (mark == noMark && draw == 4 && m_.markCount < markCountLimit) {
            mark = secondMark;
            ++m_.markCount;
        }
        if (mark == noMark && m_.areaMarked[area] == noMark) {
            m_.areaMarked[area] = 1;
            mark = curArea == 0 ? areaZeroMark : static_cast<std::uint8_t>(curArea + numberedMarkBase);
        }
    }

    // The probe pass over entries 0..370: the survey rule records which areas
    // touch which (linkPass 0); the link rule opens one door into each area
    // from a smaller-numbered one (linkPass 1).
    void probe() {
        for (int stepCount = 0; stepCount <= lastEntry; ++stepCount) {
            const int curX = m_.entryX[static_cast<std::size_t>(stepCount)];
            const int curY = m_.entryY[static_cast<std::size_t>(stepCount)];
            std::array<bool, 5> tried{};
            for (;;) {
                const int doorDir = rng_.below(4) + 1;
                tried[static_cast<std::size_t>(doorDir)] = true;
                int nbrX = curX + stepX[static_cast<std::size_t>(doorDir)];
                int nbrY = curY + stepY[static_cast<std::size_t>(doorDir)];
                clamp(nbrX);
                clamp(nbrY);
                const int b = m_.mapArea(nbrX, nbrY);
                const int curArea = m_.mapArea(curX, curY);
                auto& record = m_.areaLinks[static_cast<std::size_t>(curArea)][static_cast<std::size_t>(b)];
                const bool plain = m_.mapMark(curX, curY) == noMark;
                if (m_.linkPass == 0 && record == 0 && b != curArea && plain) {
                    record = 1;
                    break;
                }
                if (m_.linkPass == 1 && record != 1 && b != curArea && curArea < b && plain &&
                    b != noArea && m_.corridorUsed[static_cast<std::size_t>(b)] == 0) {
                    record = 1;
                    m_.mapLink(curX, curY) = static_cast<std::int16_t>(b);
                    m_.corridorUsed[static_cast<std::size_t>(b)] = 1;
                    roomcheck(m_, nbrX, nbrY, doorDir);
                    break;
                }
                if (tried[1] && tried[2] && tried[3] && tried[4]) break;
            }
        }
    }

    // Breadth-first from area 0 over the survey records: numbers the areas in
    // the order reached, renumbers their rooms and writes the link list.
    // Returns false when some area was not reached.
    bool order() {
        int stepCount = 0;
        m_.areaOrder.fill(noArea);
        m_.reachedCount = 0;
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
                    renumber(b, m_.orderCount);
                }
                host_.setLinkLine(stepCount, linkListText(curArea, b, m_.areaLinks[from][to]));
                ++stepCount;
            }
            ++m_.visitIndex;
            if (m_.visitIndex > m_.reachedCount) break;
            curArea = m_.visitList[m_.visitIndex];
        }
        return m_.visitIndex == areaCount;
    }

    // Only rooms whose entry grew in area b change, so rooms that already
    // carry an order number equal to b keep it.
    void renumber(int b, std::uint8_t number) {
        for (int x = 0; x < gridSize; ++x)
            for (int y = 0; y < gridSize; ++y)
                if (m_.mapArea(x, y) == b &&
                    m_.entryArea[static_cast<std::size_t>(m_.mapEntry(x, y))] == b)
                    m_.mapArea(x, y) = number;
    }

    void finalCopy() {
        for (int x = 0; x < gridSize; ++x)
            for (int y = 0; y < gridSize; ++y)
                if (m_.mapArea(x, y) != noArea)
                    m_.entryArea[static_cast<std::size_t>(m_.mapEntry(x, y))] = m_.mapArea(x, y);
    }

    Labyrinth& m_;
    Random& rng_;
    SeedSource& seeds_;
    GeneratorHost& host_;
    GeneratorOptions options_;
    Frontier frontier_;
};

}  // namespace

void roomcheck(Labyrinth& model, int nbrX, int nbrY, int doorDir) {
    // Two passes: the first cell, then the cell beyond its new door.
    for (int pass = 0; pass < 2; ++pass) {
        model.mapDoors(nbrX, nbrY) |= backDoor[static_cast<std::size_t>(doorDir)];
        const int beyondX = nbrX - stepX[static_cast<std::size_t>(doorDir)];
        const int beyondY = nbrY - stepY[static_cast<std::size_t>(doorDir)];
        if (!inMaze(beyondX, beyondY)) return;
        nbrX = beyondX;
        nbrY = beyondY;
        doorDir = opposite[static_cast<std::size_t>(doorDir)];
    }
}

std::string linkListText(int a, int b, int record) {
    return ' ' + std::to_string(a) + ' ' + std::to_string(b) + ' ' + std::to_string(record);
}

GenerationResult maPupdate(Labyrinth& model, Random& rng, SeedSource& seeds, GeneratorHost& host,
                           const GeneratorOptions& options) {
    return Generator(model, rng, seeds, host, options).run();
}

}  // namespace labyrinth
