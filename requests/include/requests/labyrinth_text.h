#pragma once
// A labyrinth's rooms as a few hundred URL-safe characters, for a link that
// lets racers track a sealed labyrinth without its image and without its
// seed: each cell's room or none, and of a room its area, its doors to the
// south and east (those to the north and west are its neighbours'), its
// record's kind and, of a link and the area's numbered room, its number.
// What only the image's bytes hold (the records' other values) stays out: the link gives the rooms to track and the seed
// code the racers compare with their image's.

#include <string>
#include <string_view>

#include "writer/decoder.h"
#include "writer/result.h"

namespace labyrinth::requests {

/// The rooms of `stream` as text.
std::string labyrinthText(const DecodedStream& stream);

/// The rooms that `labyrinthText` wrote, as a stream whose cells carry them
/// (its other values at their defaults); fails on text that is not such.
Result<DecodedStream> labyrinthOfText(std::string_view text);

}  // namespace labyrinth::requests
