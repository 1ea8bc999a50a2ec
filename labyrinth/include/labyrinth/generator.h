#pragma once
// `maPupdate`: one complete generation of the labyrinth model, restarts
// included, and `roomcheck`, the door carving that it uses.

#include <cstdint>
#include <string>

#include "labyrinth/model.h"
#include "labyrinth/random.h"

namespace labyrinth {

/// The generator's revision: it names the labyrinth that a seed gives. It is
/// raised only when some seed's stream changes (and then together with the
/// digests that pin the streams), so that a seed shared today is refused
/// loudly by a later revision instead of silently giving another labyrinth.
inline constexpr int generatorRevision = 1;

/// A day of the calendar, as UTC counts it.
struct CalendarDate {
    int year = 1970;
    int month = 1;  ///< 1..12
    int day = 1;    ///< 1..31
    bool operator==(const CalendarDate&) const = default;
};

/// The master seed of the daily labyrinth of `date`: the same for everyone
/// on that day, under this generator revision. It is deriveSeed(revision,
/// YYYYMMDD), the date's digits read as one decimal number (20261208).
constexpr std::uint64_t dailySeed(CalendarDate date, int revision = generatorRevision) {
    const auto digits = static_cast<std::uint64_t>(date.year) * 10000 + static_cast<std::uint64_t>(date.month) * 100 +
                        static_cast<std::uint64_t>(date.day);
    return deriveSeed(static_cast<std::uint64_t>(revision), digits);
}

/// A line of the link list: areas (a, b) and their survey record. It is
/// handed over as numbers and spelt only when asked, so that a host that
/// shows no list pays nothing for the 121 lines of every attempt.
class LinkLine {
public:
    LinkLine(int a, int b, int record) : a_(a), b_(b), record_(record) {}
    /// The line as the list shows it, such as " 0 3 1": each number in
    /// decimal after one blank.
    std::string text() const;
    /// The line's three numbers: from-area, to-area and survey record (1 when
    /// a link from a to b was recorded).
    int from() const { return a_; }
    int to() const { return b_; }
    int record() const { return record_; }

private:
    int a_, b_, record_;
};

/// What the generator asks of the window: an immediate repaint (after the
/// anchors and after every claimed room) and line i of the link list.
class GeneratorHost {
public:
    virtual ~GeneratorHost() = default;
    virtual void repaint() = 0;
    /// Replaces line `index` of the link list, or appends it when the list
    /// holds exactly `index` lines.
    virtual void setLinkLine(int index, const LinkLine& line) = 0;
};

/// A host that shows nothing: for the command line, tests and benchmarks.
class SilentHost final : public GeneratorHost {
public:
    void repaint() override {}
    void setLinkLine(int, const LinkLine&) override {}
};

struct GeneratorOptions {
    /// An area whose rooms have no free neighbour passes its turn at once at
    /// the pick step instead of after 101 missed draws. Both give the same
    /// labyrinths in distribution; off, a boxed-in area can draw for seconds.
    bool passBoxedInAreas = true;
};

struct GenerationResult {
    int attempts = 0;            ///< generation attempts, restarts included
    std::uint64_t lastSeed = 0;  ///< seed of the accepted attempt
};

/// A pick of growth that misses the area more often than this, before it
/// hits, passes the turn to the next area.
inline constexpr int maxPickMisses = 100;

/// How a pick of growth ended: the room it found to grow from, how many
/// draws missed the area first, and whether the area keeps its turn.
struct Pick {
    int x = 0, y = 0;
    int misses = 0;
    bool keepsTurn = false;  ///< false after more than `maxPickMisses` misses
};

/// The pick of growth, once every direction has been drawn since the last
/// claim: draws entries below `stepCount` until one belongs to `area`. It
/// draws until it hits, however often it misses; only then are the misses
/// counted against the limit. `draws` is the random source (any type with
/// `int below(int n)`, so that tests can script the draws).
template <typename Draws>
Pick pickRoom(const Labyrinth& model, int area, int stepCount, Draws& draws) {
    int misses = 0;
    std::size_t e = 0;
    for (;;) {
        e = static_cast<std::size_t>(draws.below(stepCount));
        if (model.entryArea[e] == area) break;
        ++misses;
    }
    return {model.entryX[e], model.entryY[e], misses, misses <= maxPickMisses};
}

/// Opens a door between (nbrX, nbrY) and the cell it was reached from by the
/// step with direction code `doorDir` (1 +x, 2 -x, 3 +y, 4 -y): the bit facing
/// back along the step in the first cell, the opposite bit in the second.
/// A second cell outside 0..23 is left alone.
void roomcheck(Labyrinth& model, int nbrX, int nbrY, int doorDir);

// The stages after growth, one by one; `maPupdate` runs them in order.

/// The probe pass over entries 0..370: with `linkPass` 0 it records in
/// `areaLinks` which areas touch which; with 1 it opens one door into each
/// area from a smaller-numbered one and marks the room it leaves from.
void probePass(Labyrinth& model, Random& rng);

/// The ordering traversal: breadth-first from area 0 over the survey records,
/// numbering the areas 1..10 in the order reached, renumbering their rooms and
/// writing the 11 link-list lines of every visited area. False when some area
/// was not reached. `orderCount` and `visitIndex` must be 0 (as after a reset).
bool orderAreas(Labyrinth& model, GeneratorHost& host);

/// Copies the final area number of every room back to the entry owning it.
void copyFinalAreas(Labyrinth& model);

/// Generates a new labyrinth into `model`: reset and anchors, growth, survey,
/// ordering (restarting with a fresh seed from `seeds` while some area is
/// unreachable), link pass and final copy. The random draws continue in `rng`
/// afterwards, so the writer's lottery follows from the same seed.
GenerationResult maPupdate(Labyrinth& model, Random& rng, SeedSource& seeds,
                           GeneratorHost& host, const GeneratorOptions& options = {});

}  // namespace labyrinth
