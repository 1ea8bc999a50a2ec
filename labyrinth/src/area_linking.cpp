// The probe pass over every entry: the survey of which areas touch which,
// and the link pass that opens one door into each area from a
// smaller-numbered one.

#include <algorithm>
#include <array>
#include <bit>

#include "bordered_layout.h"
#include "labyrinth/generator.h"

namespace labyrinth {
namespace {

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

}  // namespace labyrinth
