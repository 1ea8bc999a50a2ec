#include "window/room_info.h"

#include <optional>

namespace labyrinth::window {
namespace {

// A number as the window writes it: one blank, then the decimal digits.
std::string number(int value) { return ' ' + std::to_string(value); }

// The column, row and door mask of entry `kk`, or nothing outside the lists.
struct Room {
    int x, y, doors;
};

std::optional<Room> room(const Labyrinth& model, int kk) {
    if (kk < 0 || kk >= entryListSize) return std::nullopt;
    const int x = model.entryX[static_cast<std::size_t>(kk)];
    const int y = model.entryY[static_cast<std::size_t>(kk)];
    // Entries always name cells inside the grid; a value beyond it would be a
    // broken model, which must not take the window down with it.
    const int doors = x < gridSize && y < gridSize ? model.mapDoors(x, y) : 0;
    return Room{x, y, doors};
}

}  // namespace

std::string roomInformation(const Labyrinth& model, int kk) {
    const auto r = room(model, kk);
    if (!r) return {};
    return number(r->x) + ' ' + number(r->y) + number(r->doors);
}

std::string roomInformationInWords(const Labyrinth& model, int kk) {
    const auto r = room(model, kk);
    if (!r) return {};
    return "room " + std::to_string(kk) + ": column " + std::to_string(r->x) + ", row " + std::to_string(r->y) +
           ", door mask " + std::to_string(r->doors);
}

}  // namespace labyrinth::window
