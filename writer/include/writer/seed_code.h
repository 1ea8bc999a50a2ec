#pragma once
// The seed code: four words that name a written labyrinth, so that two
// players can compare them aloud and know they hold the same one.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace labyrinth {

/// The fixed word list: 256 short, distinct, lower-case words, one per byte
/// value. Changing it changes every code; never reorder it.
extern const std::array<std::string_view, 256> seedCodeWords;

/// Number of words in a code.
inline constexpr int seedCodeLength = 4;

/// A 64-bit hash of the written stream (records and trailing 0): FNV-1a over
/// the bytes, then a splitmix64 finaliser so that every bit of the result
/// depends on every byte. The same bytes give the same hash on every platform.
std::uint64_t streamHash(std::span<const std::uint8_t> stream);

/// The code of a written stream: four words from `seedCodeWords`, separated
/// by single spaces, taken from the top 32 bits of `streamHash`. Two
/// different streams share a code with a chance of about one in four billion.
std::string seedCode(std::span<const std::uint8_t> stream);

/// How every front end tells a write: "Seed: 42  Code: island bread peach
/// cloud", the click's master seed (which `write --seed` repeats) and the
/// seed code of what it wrote.
std::string seedLine(std::uint64_t seed, std::string_view code);

/// How a write that failed after it began names what its image holds in
/// place of a code (no whole labyrinth of the seed is there), and how every
/// refusal says that it wrote nothing.
inline constexpr std::string_view partlyWrittenText = "partly written";
inline constexpr std::string_view nothingWrittenText = "nothing was written";
/// "Seed: 42  (partly written)": the seed line of such a write. `seed` is
/// what names it ("42", or "sealed in race.json").
std::string unfinishedSeedLine(std::string_view seed, bool partly);

/// What the seed code is called where it stands alone: the map's legend, and
/// the reports of `show` and `verify`, which know no seed.
inline constexpr std::string_view seedCodeLabel = "Seed code:";
/// "Seed code: island bread peach cloud": the line that `show` and `verify` print.
std::string seedCodeLine(std::string_view code);

}  // namespace labyrinth
