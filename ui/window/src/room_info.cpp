#include "window/room_info.h"

namespace labyrinth::window {
namespace {

// A number as the window writes it: one blank, then the decimal digits.
std::string number(int value) { return ' ' + std::to_string(value); }

}  // namespace

std::string roomInformation(const Labyrinth& model, int kk) {
    if (kk < 0 || kk >= entryListSize) return {};
    const int x = model.entryX[static_cast<std::size_t>(kk)];
    const int y = model.entryY[static_cast<std::size_t>(kk)];
    // Entries always name cells inside the grid; a value beyond it would be a
    // broken model, which must not take the window down with it.
    const int doors = x < gridSize && y < gridSize ? model.mapDoors(x, y) : 0;
    return number(x) + ' ' + number(y) + number(doors);
}

}  // namespace labyrinth::window
