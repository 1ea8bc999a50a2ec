#pragma once
// The numbers that labyrinth-cli takes on its command line, parsed strictly:
// decimal digits only, no sign, no spaces, nothing clamped. Each error says
// the range that would have been taken.

#include <cstdint>
#include <string>
#include <string_view>

#include "writer/result.h"

namespace labyrinth::cli {

/// The largest count of clicks that `generate` takes.
inline constexpr std::int64_t maxCount = 2147483647;
/// `generate`'s count when none is given.
inline constexpr int defaultCount = 1;

/// A master seed: 0 to 18446744073709551615.
Result<std::uint64_t> parseSeed(std::string_view text);
/// A count of clicks: 1 to `maxCount`.
Result<int> parseCount(std::string_view text);
/// Pixels per cell of the map picture: `minScale` to `maxScale`.
Result<int> parseScale(std::string_view text, int minScale, int maxScale);

/// `text` with its control characters written as escapes (\n, \t, \r, \xHH),
/// so that a file name can never break a message into two lines.
std::string printable(std::string_view text);

}  // namespace labyrinth::cli
