#pragma once
// The rules every written stream follows, checked one by one: the part of
// verify that looks at the records themselves (their bytes, doors, areas,
// links and marks, and that every room is reachable), apart from the files.

#include <vector>

#include "writer/decoder.h"
#include "writer/verify.h"

namespace labyrinth {

/// Checks `stream`, of which the first `records` cells were read (fewer than
/// all of them when a record could not be decoded): the rules about single
/// records, and about records before an unreadable one, hold for the cells
/// read; what needs the whole labyrinth (every area and link present,
/// everything reachable) is checked once all of it is there.
std::vector<Problem> checkRecords(const DecodedStream& stream, int records);

}  // namespace labyrinth
