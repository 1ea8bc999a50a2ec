#pragma once
// A tracked run as one history: the labyrinth it tracks and the ordered
// steps the player took (reveal a room through a door, walk to a shown
// room, reveal an area or everything, tick or untick an item room, start,
// pause or reset the clock, show the start room alone again). Everything
// the tracker shows is derived from the steps in effect: the rooms shown,
// where the player is, the clock, the splits and the ticks. Undo takes back
// the last step of any kind and Redo gives it again until a new step is
// taken, so that no tap loses anything for good.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "layout/shown_cells.h"
#include "writer/decoder.h"
#include "writer/readback.h"
#include "writer/result.h"

namespace labyrinth::requests {

enum class StepKind : std::uint8_t {
    Reveal,      ///< a room in fog, through a door: it shows, and the player is in it
    Walk,        ///< to a shown room
    RevealArea,  ///< every room of an area shows; the player stays
    RevealAll,   ///< every room shows; the player stays
    Tick,        ///< an item room shown is ticked off
    Untick,      ///< and no longer
    ClockStart,  ///< the clock runs from the step's time
    ClockPause,  ///< the clock stops, keeping its time
    ClockReset,  ///< the clock at zero, stopped, and its splits gone
    ResetRooms,  ///< only the start room shows again; the player is there
    Kept,        ///< the clock of a run kept before runs were histories: its time and splits as kept
    Note,        ///< a shown room carries a short note from now on (an empty one: none any more)
    Pin,         ///< a shown room carries a pin
    Unpin,       ///< and no longer
    AreaDone,    ///< an area is marked done
    AreaUndone,  ///< and no longer
};

/// The longest note a room carries, in characters.
inline constexpr std::size_t longestNote = 40;

struct Step;
/// A step of `kind`, of `room` or `area` where it has one, taken at `at`.
Step stepOf(StepKind kind, CellPosition room = {}, int area = 0, std::int64_t at = 0);

/// A split: the time on the clock, in milliseconds, when the run first
/// entered an area other than the start room's.
struct Split {
    int area = 0;
    std::int64_t at = 0;
    bool operator==(const Split&) const = default;
};

/// One step. `at` is when it was taken, in milliseconds of the page's clock
/// (since 1970); the clock's steps time the run by it.
struct Step {
    StepKind kind = StepKind::Reveal;
    CellPosition room{};  ///< of Reveal, Walk, Tick and Untick
    int area = 0;         ///< of RevealArea, AreaDone and AreaUndone
    std::string note;     ///< of Note: at most `longestNote` characters of UTF-8, no control characters
    std::int64_t at = 0;
    // Of Kept: the clock's time, when it ran since, and the splits.
    std::int64_t elapsed = 0;
    std::optional<std::int64_t> runningSince;
    std::vector<Split> splits;
    bool operator==(const Step&) const = default;
};

/// What the steps in effect add up to.
struct RunState {
    ShownCells shown;                          ///< the start room, and the rooms revealed
    CellPosition here{startX, startY};         ///< the room the last step ended in
    std::int64_t elapsed = 0;                  ///< the clock's time when it last stopped
    std::optional<std::int64_t> runningSince;  ///< while it runs: since when
    bool timed = false;                        ///< the clock ran since its last reset: entries split
    std::vector<Split> splits;                 ///< in the order the run entered the areas
    std::vector<CellPosition> ticks;           ///< the item rooms ticked, in the order ticked
    std::vector<std::pair<CellPosition, std::string>> notes;  ///< the rooms' notes, in the order first noted
    std::vector<CellPosition> pins;            ///< the rooms pinned, in the order pinned
    AreaSelection done;                        ///< the areas marked done
    bool operator==(const RunState&) const = default;

    /// The time on the clock at `now`, in milliseconds.
    std::int64_t clockAt(std::int64_t now) const;
    bool isShown(CellPosition cell) const;
};

/// The state of a run that has taken no step: the start room alone.
RunState startOfRun();

/// Why `step` cannot be taken in `state` of the labyrinth `stream` (a room
/// that is none, shown already or not shown, an area that does not exist, a
/// clock that runs already...), or empty when it can.
std::string stepProblem(const DecodedStream& stream, const RunState& state, const Step& step);

/// `state` after `step`, which `stepProblem` lets through.
void applyStep(const DecodedStream& stream, RunState& state, const Step& step);

/// A run: the labyrinth's rooms and the history of its steps.
class RunHistory {
public:
    explicit RunHistory(DecodedStream stream);

    const DecodedStream& labyrinth() const { return stream_; }
    const RunState& state() const { return state_; }
    /// Every step taken, those undone after those in effect.
    std::span<const Step> steps() const { return steps_; }
    /// How many of `steps()` are in effect.
    std::size_t length() const { return length_; }
    bool canUndo() const { return length_ > 0; }
    bool canRedo() const { return length_ < steps_.size(); }

    /// Takes a step: refused (with why) when it cannot be taken; otherwise
    /// the steps undone are given up.
    Status take(const Step& step);
    /// Takes back the last step in effect; false when there is none.
    bool undo();
    /// Gives the step last undone again; false when there is none.
    bool redo();
    /// The state replayed from the start over the steps in effect: what
    /// `state()` must always equal.
    RunState replay() const;
    /// Steps from a kept or linked run: each that can be taken is, in order,
    /// and `length` of them stay in effect (the rest undone). How many could
    /// not be taken is returned.
    std::size_t restore(std::span<const Step> steps, std::size_t length);

private:
    DecodedStream stream_;
    std::vector<Step> steps_;
    std::size_t length_ = 0;
    RunState state_;
};

/// The steps as text for a link or for keeping: a few letters and digits
/// of the URL-safe base64 alphabet per step, times to the millisecond.
std::string encodeSteps(std::span<const Step> steps);
/// The steps of `encodeSteps`; fails on text that is not such a list.
Result<std::vector<Step>> decodeSteps(std::string_view text);

/// The longest time a kept clock may hold, in milliseconds: a year, far
/// beyond any run, even one whose timer was left running for months.
inline constexpr std::int64_t longestRunTime = std::int64_t{365} * 24 * 60 * 60 * 1000;

/// A run as the page keeps it in the browser: versioned JSON with the steps
/// and how many are in effect.
std::string keptRun(const RunHistory& run);
/// What a run kept earlier holds: its steps and how many are in effect.
struct KeptSteps {
    std::vector<Step> steps;
    std::size_t length = 0;
    bool clockForgotten = false;  ///< a clock kept in a damaged form was left out; the rest is there
};
/// Reads the versioned form, and the form kept before runs were histories
/// ({ steps: [["x,y", ...] | "reset"], here, clock: { elapsed, startedAt,
/// splits, ticks } }), whose rooms revealed together become the areas they
/// were (of the labyrinth `stream`) and whose clock becomes a Kept step,
/// checked against `now` (ms since 1970). Anything else is refused, with why.
Result<KeptSteps> readKeptRun(std::string_view text, const DecodedStream& stream, std::int64_t now);

}  // namespace labyrinth::requests
