#pragma once
// A labyrinth read from its description, in the form that `show --json` and
// the spoilers write: a player's own layout, to be checked and written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "writer/decoder.h"
#include "writer/result.h"

namespace labyrinth {

/// What the description of any labyrinth that show --json prints (a
/// spoiler) stays under, in bytes, with room to spare: its size varies with
/// the routes, and of the labyrinths of seeds 1 to 10,000 the largest
/// description (seed 6566) is 73,099 bytes, or 147,115 with a key to a line
/// as spoilers were written before, which are read still.
inline constexpr std::int64_t largestSpoilerSize = 200'000;

/// The largest description of a labyrinth that any front end reads, in
/// bytes: far above `largestSpoilerSize`, and small enough that reading one
/// never costs much.
inline constexpr std::int64_t maxLayoutSize = std::int64_t{4} << 20;
static_assert(largestSpoilerSize < maxLayoutSize);

/// Refuses a description of `size` bytes when it is larger than
/// `maxLayoutSize`, before it is read: the message, naming `name`, or empty.
std::string refuseLargeLayout(const std::string& name, std::uint64_t size);

/// The cells that the JSON document `text` describes. Only what writing
/// needs is read: each room's cell, area, doors, record kind and the values
/// of its record; counts, areas, links and offsets follow from the rooms and
/// are not read. Cells without a room are empty. Fails, naming `name` and
/// the place in the document, on what is not such a description (a text
/// over `maxLayoutSize`, a key written twice in one object, what is not
/// JSON: with its line and column, quoted); whether
/// the labyrinth it describes is complete and consistent is `verifyStream`'s
/// to say.
Result<DecodedStream> readLayout(std::string_view text, const std::string& name);

/// A layout fit to write, or why not: `readLayout`, then every rule of
/// `verifyStream`, as every front end checks one before writing it.
struct CheckedLayout {
    std::optional<DecodedStream> cells;  ///< the labyrinth, when it passes every check
    std::vector<std::string> problems;   ///< each problem verify finds in it, one line each
    std::string refusal;                 ///< otherwise why not, naming the file: the reader's reason, or
                                         ///< "NAME: 2 problems in the labyrinth it describes"
};
CheckedLayout checkLayout(std::string_view text, const std::string& name);

}  // namespace labyrinth
