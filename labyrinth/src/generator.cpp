#include "labyrinth/generator.h"

#include <algorithm>
#include <array>
#include <bit>

#include "bordered_layout.h"

namespace labyrinth {
namespace {

constexpr int nextArea(int area) { return area == areaCount - 1 ? 0 : area + 1; }

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

}  // namespace

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
