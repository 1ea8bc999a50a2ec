#pragma once
// A run's splits as a LiveSplit splits file (.lss, version 1.7.0), for the
// racers' timers and race sites: one segment per area in the order the run
// entered them, each named "Area N", so that every racer's segments carry
// the same names whatever order the labyrinth made them go in, with the
// time on the run's clock when it entered the area as the split time.

#include <string>
#include <string_view>

#include "requests/run.h"

namespace labyrinth::requests {

/// The name every racer's timer shows for the game.
inline constexpr std::string_view splitsGameName = "The Guardian Legend";

/// The splits file of `state`, under the category `category` (which names
/// the labyrinth: "Labyrinth seed 42", "Daily labyrinth 2026-12-08").
std::string liveSplitsFile(const RunState& state, std::string_view category);

/// A time in milliseconds as LiveSplit writes it: "00:04:09.1230000".
std::string liveSplitTime(std::int64_t ms);

}  // namespace labyrinth::requests
