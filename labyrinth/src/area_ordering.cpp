// The areas in the order the probe pass's records reach them from area 0,
// with their rooms renumbered and the link list written, and the final copy
// of the order numbers into the entries.

#include <array>
#include <numeric>

#include "labyrinth/generator.h"

namespace labyrinth {
namespace {

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

}  // namespace

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

}  // namespace labyrinth
