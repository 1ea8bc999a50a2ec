#pragma once
// The room-information text that a click on a room cell shows.

#include <string>

#include "labyrinth/model.h"

namespace labyrinth::window {

/// The column, row and door mask of the cell of entry `kk` (an entry number,
/// not a cell number), each written as a blank and its digits, with one more
/// blank after the column: x = 3, y = 7, mask 10 give " 3  7 10". An index
/// outside the entry lists gives an empty text.
std::string roomInformation(const Labyrinth& model, int kk);

/// The same three numbers in words, for screen readers: "room 572: column 3,
/// row 7, door mask 10". Empty where `roomInformation` is.
std::string roomInformationInWords(const Labyrinth& model, int kk);

}  // namespace labyrinth::window
