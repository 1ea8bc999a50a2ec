#pragma once
// The subcommands of labyrinth-cli: the options each takes and the function
// that runs it. Only main.cpp knows the command-line parser, so that its large
// header-only library is compiled once.

#include <cstdint>
#include <optional>
#include <string>

#include "arguments/arguments.h"
#include "map/map_layout.h"

namespace labyrinth::cli {

/// Exit status of labyrinth-cli.
enum class ExitCode : int {
    Ok = 0,      ///< success
    Failed = 1,  ///< a failed check or operation
    Usage = 2,   ///< bad usage or unreadable input
};

/// How long a command waits for another program that holds the image, by default.
inline constexpr int defaultWaitSeconds = 10;
/// The longest wait that --wait takes.
inline constexpr int maxWaitSeconds = 3600;

struct WriteOptions {
    std::string image;
    std::string text;
    std::optional<std::uint64_t> seed;
    std::optional<CalendarDate> daily;  ///< the daily labyrinth of this date (UTC)
    std::string layout;                 ///< a labyrinth described as show --json describes one
    bool sealed = false;                ///< a seed from the system, kept only in the spoiler file
    std::string output;
    bool force = false;
    std::string png;
    std::string svg;
    std::string spoiler;
    std::string patch;
    int waitSeconds = defaultWaitSeconds;
    bool json = false;  ///< one JSON object for race bots in place of the report lines
    std::string page;   ///< the page's address, for the tracker's link in that object
};

struct GenerateOptions {
    int count = defaultCount;
    std::optional<std::uint64_t> seed;
    bool json = false;
};

struct ShowOptions {
    std::string image;
    std::string png;
    std::string svg;
    bool json = false;
    bool route = false;  ///< each area's shortest route from the start, as text
    int scale = map::defaultScale;
    bool force = false;
    int waitSeconds = defaultWaitSeconds;
    std::optional<AreaSelection> areas;  ///< only these areas, the rest in fog; all when empty
};

struct VerifyOptions {
    std::string image;
    std::string text;
    std::string original;
    std::optional<std::uint64_t> seed;  ///< the image must hold exactly this seed's labyrinth
    std::string code;                   ///< or a labyrinth of this seed code
    int waitSeconds = defaultWaitSeconds;
};

/// `write`: the button's whole job on an image, in place or on a copy.
ExitCode runWrite(const WriteOptions& options);
/// `generate`: clicks on a blank image in memory, one line of figures each.
ExitCode runGenerate(const GenerateOptions& options);
/// `show`: the labyrinth read back out of an image, as a map, picture or JSON.
ExitCode runShow(const ShowOptions& options);
/// `verify`: whether the labyrinth in an image is complete and consistent.
ExitCode runVerify(const VerifyOptions& options);

/// Prints "labyrinth-cli: message" as one line to standard error (control
/// characters escaped) and returns `code`.
ExitCode reportError(ExitCode code, const std::string& message);

}  // namespace labyrinth::cli
