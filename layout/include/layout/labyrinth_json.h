#pragma once
// The JSON description of a labyrinth read back out of an image: every room,
// area and link, each area's route from the start, and the summary counts.
// `show --json`, `write --spoiler` and the browser page's spoiler download
// all print this one document.

#include <string>

#include <nlohmann/json.hpp>

#include "writer/decoder.h"
#include "writer/readback.h"

namespace labyrinth {

/// The description (its format is in the README, "JSON"); keys keep their order.
nlohmann::ordered_json labyrinthJson(const DecodedStream& stream, const std::string& seedCode);

/// A partial description: the rooms of `areas` alone, the links that leave
/// them, and those areas' entries; `summary` counts those rooms, every other
/// cell as empty (the rest is fog).
nlohmann::ordered_json labyrinthJson(const DecodedStream& stream, const std::string& seedCode, const AreaSelection& areas);

}  // namespace labyrinth
