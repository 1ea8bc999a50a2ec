#include "requests/run.h"

#include <algorithm>

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

bool pinned(const RunState& state, CellPosition room) {
    return std::find(state.pins.begin(), state.pins.end(), room) != state.pins.end();
}

// Why `text` is no note, or empty: too long, or a control character in it
// (a note is one short line). Characters are counted as UTF-8 reads them.
std::string noteProblem(std::string_view text) {
    std::size_t characters = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return "a note is one line, without control characters";
        if ((byte & 0xC0U) != 0x80U) ++characters;
    }
    if (characters > longestNote) return "a note holds at most " + std::to_string(longestNote) + " characters";
    return {};
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
        case StepKind::Note:
            if (!isRoom(stream, step.room) || !state.isShown(step.room)) return room + " is no room shown";
            return noteProblem(step.note);
        case StepKind::Pin:
            if (!isRoom(stream, step.room) || !state.isShown(step.room)) return room + " is no room shown";
            if (pinned(state, step.room)) return room + " is pinned already";
            return {};
        case StepKind::Unpin: return pinned(state, step.room) ? "" : room + " is not pinned";
        case StepKind::AreaDone:
        case StepKind::AreaUndone:
            if (step.area < 0 || step.area >= areaCount) return "there is no area " + std::to_string(step.area);
            if (state.done.test(static_cast<std::size_t>(step.area)) == (step.kind == StepKind::AreaDone))
                return "area " + std::to_string(step.area) + (step.kind == StepKind::AreaDone ? " is done already" : " is not done");
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
        case StepKind::Note: {
            const auto noted = std::find_if(state.notes.begin(), state.notes.end(),
                                            [&](const auto& note) { return note.first == step.room; });
            if (step.note.empty()) {
                if (noted != state.notes.end()) state.notes.erase(noted);
            } else if (noted != state.notes.end()) {
                noted->second = step.note;
            } else {
                state.notes.emplace_back(step.room, step.note);
            }
            break;
        }
        case StepKind::Pin: state.pins.push_back(step.room); break;
        case StepKind::Unpin: std::erase(state.pins, step.room); break;
        case StepKind::AreaDone: state.done.set(static_cast<std::size_t>(step.area)); break;
        case StepKind::AreaUndone: state.done.reset(static_cast<std::size_t>(step.area)); break;
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

}  // namespace labyrinth::requests
