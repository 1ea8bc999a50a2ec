#include "requests/run.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

namespace labyrinth::requests {
namespace {

constexpr std::size_t cellIndex(CellPosition cell) { return static_cast<std::size_t>(cell.y * mazeSize + cell.x); }
constexpr CellPosition cellAt(std::size_t index) {
    return {static_cast<int>(index % mazeSize), static_cast<int>(index / mazeSize)};
}
constexpr CellPosition startRoom{startX, startY};

bool isRoom(const DecodedStream& stream, CellPosition cell) {
    return insideMaze(cell.x, cell.y) && stream.at(cell.x, cell.y).isRoom();
}

// Every room of the labyrinth, as cells.
ShownCells roomsOf(const DecodedStream& stream) {
    ShownCells rooms;
    for (std::size_t i = 0; i < cellCount; ++i)
        if (isRoom(stream, cellAt(i))) rooms.set(i);
    return rooms;
}

bool ticked(const RunState& state, CellPosition room) {
    return std::find(state.ticks.begin(), state.ticks.end(), room) != state.ticks.end();
}

// The player is in `room` now; its area, entered for the first time while
// the clock has run since its reset, gets its split.
void enter(const DecodedStream& stream, RunState& state, CellPosition room, std::int64_t at) {
    state.here = room;
    const int area = stream.at(room.x, room.y).area;
    if (!state.timed || area == stream.at(startX, startY).area) return;
    if (std::any_of(state.splits.begin(), state.splits.end(), [&](const Split& s) { return s.area == area; })) return;
    state.splits.push_back({area, state.clockAt(at)});
}

}  // namespace

Step stepOf(StepKind kind, CellPosition room, int area, std::int64_t at) {
    Step step;
    step.kind = kind;
    step.room = room;
    step.area = area;
    step.at = at;
    return step;
}

std::int64_t RunState::clockAt(std::int64_t now) const {
    return elapsed + (runningSince ? std::max<std::int64_t>(0, now - *runningSince) : 0);
}

bool RunState::isShown(CellPosition cell) const { return insideMaze(cell.x, cell.y) && shown.test(cellIndex(cell)); }

RunState startOfRun() {
    RunState state;
    state.shown.set(cellIndex(startRoom));
    return state;
}

std::string stepProblem(const DecodedStream& stream, const RunState& state, const Step& step) {
    const std::string room = positionText(step.room);
    switch (step.kind) {
        case StepKind::Reveal:
            if (!isRoom(stream, step.room)) return room + " holds no room";
            if (state.isShown(step.room)) return room + " shows already";
            return {};
        case StepKind::Walk:
            if (!isRoom(stream, step.room) || !state.isShown(step.room)) return room + " is no room shown";
            if (step.room == state.here) return "the player is in " + room + " already";
            return {};
        case StepKind::RevealArea: {
            if (step.area < 0 || step.area >= areaCount)
                return "there is no area " + std::to_string(step.area);
            AreaSelection area;
            area.set(static_cast<std::size_t>(step.area));
            if ((cellsOfAreas(stream, area) & ~state.shown).none())
                return "every room of area " + std::to_string(step.area) + " shows already";
            return {};
        }
        case StepKind::RevealAll:
            if ((roomsOf(stream) & ~state.shown).none()) return "every room shows already";
            return {};
        case StepKind::Tick:
            if (!isRoom(stream, step.room) || !state.isShown(step.room) ||
                stream.at(step.room.x, step.room.y).kind != format::RecordKind::Item)
                return room + " is no item room shown";
            if (ticked(state, step.room)) return room + " is ticked off already";
            return {};
        case StepKind::Untick:
            if (!ticked(state, step.room)) return room + " is not ticked off";
            return {};
        case StepKind::ClockStart: return state.runningSince ? "the clock runs already" : "";
        case StepKind::ClockPause: return state.runningSince ? "" : "the clock does not run";
        case StepKind::ClockReset:
            if (state.elapsed == 0 && !state.runningSince && !state.timed) return "the clock is at zero already";
            return {};
        case StepKind::ResetRooms:
            if (state.shown.count() == 1 && state.here == startRoom) return "only the start room shows already";
            return {};
        case StepKind::Kept:
            if (step.elapsed < 0) return "a kept clock's time is below zero";
            return {};
    }
    return "a step of no known kind";
}

void applyStep(const DecodedStream& stream, RunState& state, const Step& step) {
    switch (step.kind) {
        case StepKind::Reveal:
            state.shown.set(cellIndex(step.room));
            enter(stream, state, step.room, step.at);
            break;
        case StepKind::Walk: enter(stream, state, step.room, step.at); break;
        case StepKind::RevealArea: {
            AreaSelection area;
            area.set(static_cast<std::size_t>(step.area));
            state.shown |= cellsOfAreas(stream, area);
            break;
        }
        case StepKind::RevealAll: state.shown |= roomsOf(stream); break;
        case StepKind::Tick: state.ticks.push_back(step.room); break;
        case StepKind::Untick: std::erase(state.ticks, step.room); break;
        case StepKind::ClockStart:
            state.runningSince = step.at;
            state.timed = true;
            break;
        case StepKind::ClockPause:
            state.elapsed = state.clockAt(step.at);
            state.runningSince.reset();
            break;
        case StepKind::ClockReset:
            state.elapsed = 0;
            state.runningSince.reset();
            state.timed = false;
            state.splits.clear();
            break;
        case StepKind::ResetRooms:
            state.shown.reset();
            state.shown.set(cellIndex(startRoom));
            state.here = startRoom;
            break;
        case StepKind::Kept:
            state.elapsed = step.elapsed;
            state.runningSince = step.runningSince;
            state.splits = step.splits;
            state.timed = step.elapsed > 0 || step.runningSince || !step.splits.empty();
            break;
    }
}

RunHistory::RunHistory(DecodedStream stream) : stream_(std::move(stream)), state_(startOfRun()) {}

Status RunHistory::take(const Step& step) {
    if (std::string problem = stepProblem(stream_, state_, step); !problem.empty()) return Error{problem};
    steps_.resize(length_);
    steps_.push_back(step);
    ++length_;
    applyStep(stream_, state_, step);
    return {};
}

bool RunHistory::undo() {
    if (length_ == 0) return false;
    --length_;
    state_ = replay();
    return true;
}

bool RunHistory::redo() {
    if (length_ == steps_.size()) return false;
    applyStep(stream_, state_, steps_[length_]);
    ++length_;
    return true;
}

RunState RunHistory::replay() const {
    RunState state = startOfRun();
    for (std::size_t i = 0; i < length_; ++i) applyStep(stream_, state, steps_[i]);
    return state;
}

std::size_t RunHistory::restore(std::span<const Step> steps, std::size_t length) {
    steps_.clear();
    length_ = 0;
    state_ = startOfRun();
    std::size_t refused = 0;
    std::size_t inEffect = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (!take(steps[i])) {
            ++refused;
            continue;
        }
        if (i < length) inEffect = length_;
    }
    while (length_ > inEffect) undo();
    return refused;
}

// --- The steps as text -------------------------------------------------------

namespace {

constexpr std::string_view digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// A step's code: what it is and which cell or area, in two digits (64 x 64).
constexpr int revealBase = 0;
constexpr int walkBase = revealBase + static_cast<int>(cellCount);
constexpr int tickBase = walkBase + static_cast<int>(cellCount);
constexpr int untickBase = tickBase + static_cast<int>(cellCount);
constexpr int areaBase = untickBase + static_cast<int>(cellCount);
constexpr int revealAllCode = areaBase + areaCount;
constexpr int clockStartCode = revealAllCode + 1;
constexpr int clockPauseCode = clockStartCode + 1;
constexpr int clockResetCode = clockPauseCode + 1;
constexpr int resetRoomsCode = clockResetCode + 1;
constexpr int keptCode = resetRoomsCode + 1;
static_assert(keptCode < 64 * 64, "every step's code fits two digits");

int codeOf(const Step& step) {
    const int cell = static_cast<int>(cellIndex(step.room));
    switch (step.kind) {
        case StepKind::Reveal: return revealBase + cell;
        case StepKind::Walk: return walkBase + cell;
        case StepKind::Tick: return tickBase + cell;
        case StepKind::Untick: return untickBase + cell;
        case StepKind::RevealArea: return areaBase + step.area;
        case StepKind::RevealAll: return revealAllCode;
        case StepKind::ClockStart: return clockStartCode;
        case StepKind::ClockPause: return clockPauseCode;
        case StepKind::ClockReset: return clockResetCode;
        case StepKind::ResetRooms: return resetRoomsCode;
        case StepKind::Kept: return keptCode;
    }
    return keptCode;
}

std::optional<Step> stepOfCode(int code) {
    Step step;
    const auto inCells = [&](int base, StepKind kind) {
        if (code < base || code >= base + static_cast<int>(cellCount)) return false;
        step.kind = kind;
        step.room = cellAt(static_cast<std::size_t>(code - base));
        return true;
    };
    if (inCells(revealBase, StepKind::Reveal) || inCells(walkBase, StepKind::Walk) || inCells(tickBase, StepKind::Tick) ||
        inCells(untickBase, StepKind::Untick))
        return step;
    if (code >= areaBase && code < areaBase + areaCount) {
        step.kind = StepKind::RevealArea;
        step.area = code - areaBase;
        return step;
    }
    static constexpr std::array<std::pair<int, StepKind>, 6> plain{{{revealAllCode, StepKind::RevealAll},
                                                                    {clockStartCode, StepKind::ClockStart},
                                                                    {clockPauseCode, StepKind::ClockPause},
                                                                    {clockResetCode, StepKind::ClockReset},
                                                                    {resetRoomsCode, StepKind::ResetRooms},
                                                                    {keptCode, StepKind::Kept}}};
    for (const auto& [known, kind] : plain)
        if (code == known) {
            step.kind = kind;
            return step;
        }
    return std::nullopt;
}

// Whole numbers of any sign as groups of five bits, lowest first, each a
// digit with its sixth bit set while more follow.
void putNumber(std::string& out, std::int64_t value) {
    auto bits = (static_cast<std::uint64_t>(value) << 1U) ^ static_cast<std::uint64_t>(value >> 63);  // zigzag
    do {
        const auto group = static_cast<std::size_t>(bits & 31U);
        bits >>= 5U;
        out += digits[group | (bits != 0 ? 32U : 0U)];
    } while (bits != 0);
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}
    bool done() const { return at_ == text_.size(); }
    std::optional<int> digit() {
        if (done()) return std::nullopt;
        const auto found = digits.find(text_[at_++]);
        if (found == std::string_view::npos) return std::nullopt;
        return static_cast<int>(found);
    }
    std::optional<std::int64_t> number() {
        std::uint64_t bits = 0;
        for (unsigned shift = 0; shift < 64; shift += 5) {
            const auto d = digit();
            if (!d) return std::nullopt;
            bits |= static_cast<std::uint64_t>(*d & 31) << shift;
            if ((*d & 32) == 0)
                return static_cast<std::int64_t>((bits >> 1U) ^ (~(bits & 1U) + 1U));  // zigzag back
        }
        return std::nullopt;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::string encodeSteps(std::span<const Step> steps) {
    std::string out;
    std::int64_t last = 0;
    for (const Step& step : steps) {
        const int code = codeOf(step);
        out += digits[static_cast<std::size_t>(code / 64)];
        out += digits[static_cast<std::size_t>(code % 64)];
        putNumber(out, step.at - last);
        last = step.at;
        if (step.kind != StepKind::Kept) continue;
        putNumber(out, step.elapsed);
        putNumber(out, step.runningSince ? *step.runningSince - step.at + 1 : 0);
        putNumber(out, static_cast<std::int64_t>(step.splits.size()));
        for (const Split& split : step.splits) {
            putNumber(out, split.area);
            putNumber(out, split.at);
        }
    }
    return out;
}

Result<std::vector<Step>> decodeSteps(std::string_view text) {
    std::vector<Step> steps;
    Reader in(text);
    std::int64_t last = 0;
    const Error damaged{"the run's steps are damaged"};
    while (!in.done()) {
        const auto high = in.digit();
        const auto low = in.digit();
        if (!high || !low) return damaged;
        auto step = stepOfCode(*high * 64 + *low);
        const auto delta = in.number();
        if (!step || !delta) return damaged;
        step->at = last + *delta;
        last = step->at;
        if (step->kind == StepKind::Kept) {
            const auto elapsed = in.number();
            const auto since = in.number();
            const auto count = in.number();
            if (!elapsed || !since || !count || *count < 0 || *count > areaCount) return damaged;
            step->elapsed = *elapsed;
            if (*since != 0) step->runningSince = step->at + *since - 1;
            for (std::int64_t i = 0; i < *count; ++i) {
                const auto area = in.number();
                const auto at = in.number();
                if (!area || !at) return damaged;
                step->splits.push_back({static_cast<int>(*area), *at});
            }
        }
        steps.push_back(std::move(*step));
    }
    return steps;
}

}  // namespace labyrinth::requests
