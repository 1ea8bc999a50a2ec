#pragma once
// The links that name a labyrinth: the part of the page's address after "#"
// (`r=1&seed=42`, `r=1&daily=2026-12-08`, each with `&track` for the
// tracker), made and read in one place, strictly: a link is followed only
// when every part of it is read.

#include <cstdint>
#include <string>
#include <string_view>

#include "writer/decoder.h"

namespace labyrinth::requests {

/// How a refusal of another revision calls the page.
inline constexpr std::string_view pageName = "this page";

/// Why a link of generator revision `revision` (its r=, as text) cannot be
/// followed, or empty: "this link is for labyrinths of generator revision 2;
/// this page writes revision 1".
std::string linkProblem(const std::string& revision);

/// The part of the page's address after "#" that names the labyrinth of
/// `seed` with this generator revision ("r=1&seed=42"); with `track`, the
/// link opens the tracker on it rather than the write.
std::string linkFragment(std::uint64_t seed, bool track = false);

/// The link of the daily labyrinth of `date` (YYYY-MM-DD) with this
/// generator revision ("r=1&daily=2026-12-08", and "&track"); empty for a
/// date that is no day.
std::string dailyLinkFragment(const std::string& date, bool track = false);

/// The link of the labyrinth whose seed code is `code` (four words), for a
/// sealed race, whose seed is told nowhere: "r=1&code=w-w-w-w" (and
/// "&track"). The page asks for the image that holds it.
std::string codeLinkFragment(std::string_view code, bool track = false);

/// The tracker's link of a labyrinth whose seed is told nowhere (a sealed
/// race), carrying the labyrinth's rooms and its seed code, so that racers
/// track it without the image: "r=1&code=w-w-w-w&lab=...&track".
std::string sealedLinkFragment(const DecodedStream& stream, std::string_view code);

/// The broadcast view's size, each side in CSS pixels: by default, and the range a link may choose.
inline constexpr int broadcastSide = 480;
inline constexpr int minBroadcastSide = 120;
inline constexpr int maxBroadcastSide = 4096;

/// What a link says, read from the part of the address after "#".
struct LinkRead {
    bool names = false;   ///< there is a link at all (anything after "#"); nothing else is set when not
    std::string seed;     ///< what goes into the seed field: the seed (a daily's, in decimal), or REVISION:SEED for another revision
    std::string daily;    ///< the date of a daily link (`daily=`), as given
    std::string code;     ///< the seed code of a `code=` link, in words
    std::string run;      ///< the steps of a tracked run (`run=`, as `encodeSteps` writes them), with `track`
    std::string labyrinth;  ///< the rooms of a sealed race's labyrinth (`lab=`, as `labyrinthText` writes them), with `code=`
    bool track = false;   ///< it asks for the tracker
    bool broadcast = false;           ///< `view=broadcast`: the tracker's map alone, for a stream
    int width = broadcastSide;        ///< of the broadcast view (`size=N` or `size=WxH`)
    int height = broadcastSide;
    std::string background;           ///< `bg=`: a chroma-key colour, "#00ff00"; empty for transparent
    std::string problem;  ///< why it cannot be followed (its revision, a part the page does not read, a
                          ///< repeated key, no seed or date, a bad seed or date), or empty
};
/// Reads a link in full: `r=`, one of `seed=`, `daily=` and `code=` (with
/// `lab=`, the rooms), `track` (which takes no value) and with it `run=`, each at most once,
/// spelt so and joined by "&", with a seed, date or code that is one and
/// steps that can be read. Anything else, and a link that names no
/// labyrinth, is refused with a `problem`.
LinkRead readLink(std::string_view fragment);

}  // namespace labyrinth::requests
