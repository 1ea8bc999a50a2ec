#pragma once
// What every front end takes from the user and shows back. Numbers are
// parsed strictly: decimal digits only, no sign, no spaces, nothing clamped,
// and each error says the range that would have been taken. Names are made
// printable, so that no file name can break a message or a terminal.

#include <cstdint>
#include <string>
#include <string_view>

#include "labyrinth/generator.h"
#include "labyrinth/model.h"
#include "writer/result.h"

namespace labyrinth {

/// The largest count of clicks that `generate` takes.
inline constexpr std::int64_t maxCount = 2147483647;
/// `generate`'s count when none is given.
inline constexpr int defaultCount = 1;

/// A master seed: 0 to 18446744073709551615, alone or as REVISION:SEED, the
/// form that names the generator revision it belongs to ("1:42"). A seed of
/// another revision is refused with both revisions named; `writer` is how
/// the message calls the front end ("this program", "this page").
Result<std::uint64_t> parseSeed(std::string_view text, std::string_view writer = "this program");
/// A generator revision: 1 to 4294967295.
Result<std::uint64_t> parseRevision(std::string_view text);
/// Why a seed of generator revision `revision` cannot be taken, starting
/// with `what` ("the seed 2:42", "this link"): "... is for labyrinths of
/// generator revision 2; this page writes revision 1". Empty for this revision.
std::string revisionProblem(std::uint64_t revision, const std::string& what,
                            std::string_view writer = "this program");
/// A count of clicks: 1 to `maxCount`.
Result<int> parseCount(std::string_view text);
/// Pixels per cell of the map picture: `minScale` to `maxScale`.
Result<int> parseScale(std::string_view text, int minScale, int maxScale);

/// Seconds to wait for another program: 0 to `maxSeconds`.
Result<int> parseWaitSeconds(std::string_view text, int maxSeconds);
/// A seed code: four words of the seed-code list, in any case, separated by
/// blanks; given back as `seedCode` spells codes (lower case, one space).
Result<std::string> parseSeedCode(std::string_view text);

/// A date as YYYY-MM-DD (a day that exists, from 1970 to 9999).
Result<CalendarDate> parseDate(std::string_view text);
/// The date as YYYY-MM-DD.
std::string dateText(CalendarDate date);
/// Today's date by UTC, from the system clock.
CalendarDate todayUtc();

/// Which areas a partial map shows: numbers from 0 to 10 and ranges of them,
/// separated by commas ("0,3-5").
Result<AreaSelection> parseAreas(std::string_view text);

/// `text` with its control characters written as escapes (\n, \t, \r, \xHH)
/// and every byte that is not part of valid UTF-8 as \xHH, so that a file
/// name can never break a message into two lines or garble a terminal.
std::string printable(std::string_view text);

/// What `--version` prints for `program`: its version, the git revision it
/// was built from, and the generator revision, which names the labyrinth
/// that a seed gives ("labyrinth-cli 0.1.0 (git ...), generator revision 1").
std::string versionLine(std::string_view program);

/// How a message shows what the user gave: quoted and printable, or, when
/// it is long, only measured ("a seed of 5,000 characters"), so that a pasted
/// page does not become a page of error.
std::string shownInMessage(std::string_view text, std::string_view noun = "text");

/// A whole number with its digits grouped by threes: "16,777,217".
std::string groupedNumber(std::uint64_t value);

}  // namespace labyrinth
