#pragma once
// What the generator's stages share besides the model: the cells on a
// layout with a border, where neighbours are found without bounds checks,
// and sets of areas as bits.

#include <array>
#include <cstddef>

#include "labyrinth/model.h"

namespace labyrinth {

// Tried flags as bits 1..4, one per direction code.
constexpr unsigned allDirections = 0b11110;

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

}  // namespace labyrinth
