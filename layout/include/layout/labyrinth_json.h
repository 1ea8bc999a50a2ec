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

/// A description as text, as every front end writes it (with a newline at
/// the end): nested and indented by two, but each object or list that fits
/// one line of 160 columns on one line ({"x": 11, "y": 12}, a room), and a
/// list of such members (a route) as many to a line as fit, so that a
/// spoiler reads as a line per room, in about half the size of a key per line.
std::string documentText(const nlohmann::ordered_json& document);

}  // namespace labyrinth
