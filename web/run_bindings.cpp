// The tracked run's face to the page: one RunSession per labyrinth on show,
// which keeps the run's history and its laid-out map between calls, so that
// a step is answered with what it changed. Every answer is one plain object
// (a failure { ok: false, message }, never an exception):
//
//   const run = new RunSession()   (the page calls run.delete() when it is done with it)
//   run.open({ image, imageName, kept, now })
//     -> { ok, seedCode, map, keptProblem, doors: [door...], ...view }
//        (map: the whole picture, in the tracker's form; kept: what this
//        browser kept of the run, "" for none; now: the page's clock, ms;
//        instead of an image, { lab, code } of a sealed race's link)
//   run.step({ kind, room: "x,y", area, text, now }) -> { ok, changes, ...view }
//        (kind: reveal, walk, revealArea, revealAll, tick, untick, start,
//        pause, resetClock, resetRooms, note (text: at most 40 characters,
//        "" for none), pin, unpin, areaDone, areaUndone)
//        or, when the step changed many rooms at once, { ok, redrawn: true, map, doors, ...view }
//   run.undo(), run.redo() -> as step   (ok: false when there is nothing to take back or give again)
//   run.picture() -> the whole picture anew, after which changes start from it
//   run.legend() -> the legend's group of the picture as it is now
//   run.stepsText() -> the steps in effect, as a link carries them
//   run.liveSplits(category) -> the splits as a LiveSplit file (.lss), one segment "Area N" per area entered
//   run.openSteps({ image, imageName, steps, now }) -> as open, from a link's steps
//
// view: { here, hereName, hereDoors: [door...], items: [{ room, name }], itemRooms, splits: [{ area, at }],
//         ticks: ["x,y"], notes: [{ room, name, text }], pins: [{ room, name }], done: [area...],
//         clock: { elapsed, runningSince }, canUndo, canRedo, title, kept }
// door: { from, to, side, name, toName, link, intoFog, x, y }
// changes: { added: [{ room, square, walls, marker, areaNumber, links }], gone: ["x,y"],
//            doorsOpened: [door...], doorsClosed: ["x,y>x,y"] }

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <nlohmann/json.hpp>

#include "js_values.h"
#include "requests/labyrinth_text.h"
#include "requests/splits_file.h"
#include "requests/tracked_run.h"

namespace labyrinth::web {
namespace {

using emscripten::val;
using json = nlohmann::ordered_json;
using namespace labyrinth::requests;

const std::array<std::pair<const char*, StepKind>, 15> stepNames{{
    {"reveal", StepKind::Reveal},
    {"walk", StepKind::Walk},
    {"revealArea", StepKind::RevealArea},
    {"revealAll", StepKind::RevealAll},
    {"tick", StepKind::Tick},
    {"untick", StepKind::Untick},
    {"start", StepKind::ClockStart},
    {"pause", StepKind::ClockPause},
    {"resetClock", StepKind::ClockReset},
    {"resetRooms", StepKind::ResetRooms},
    {"note", StepKind::Note},
    {"pin", StepKind::Pin},
    {"unpin", StepKind::Unpin},
    {"areaDone", StepKind::AreaDone},
    {"areaUndone", StepKind::AreaUndone},
}};

json doorJson(const RunDoor& door) {
    return {{"from", cellKey(door.from)}, {"to", cellKey(door.to)}, {"side", door.side}, {"name", door.name},
            {"toName", positionText(door.to)}, {"link", door.link}, {"intoFog", door.intoFog}, {"x", door.x},
            {"y", door.y}};
}

json doorsJson(const std::vector<RunDoor>& doors) {
    json out = json::array();
    for (const RunDoor& door : doors) out.push_back(doorJson(door));
    return out;
}

// A JSON text as a JavaScript value, parsed in one step: made value by
// value, a run's doors and rooms cost a phone more than the rest of a tap.
val parsed(const json& value) { return val::global("JSON").call<val>("parse", value.dump()); }

std::int64_t nowOf(const val& request) {
    return isObject(request) && request["now"].isNumber() ? static_cast<std::int64_t>(request["now"].as<double>()) : 0;
}

// More rooms than this changed by one step are drawn as a whole picture.
constexpr std::size_t redrawAbove = 24;

class RunSession {
public:
    val open(const val& request) { return opened(request, stringOf(request, "kept")); }

    val openSteps(const val& request) {
        auto steps = decodeSteps(stringOf(request, "steps"));
        if (!steps) return failure(Error{"this link's run is damaged, so it shows no steps"});
        return opened(request, json{{"version", 2}, {"steps", encodeSteps(steps.value())}, {"length", steps.value().size()}}.dump());
    }

    val step(const val& request) {
        if (!run_) return failure(Error{"no run is open"});
        Step step;
        const std::string kind = stringOf(request, "kind");
        const auto named = std::find_if(stepNames.begin(), stepNames.end(), [&](const auto& n) { return kind == n.first; });
        if (named == stepNames.end()) return failure(Error{"there is no step \"" + kind + "\""});
        step.kind = named->second;
        // A step of a room names one; anything else in its place is no room at all.
        const bool ofRoom = step.kind == StepKind::Reveal || step.kind == StepKind::Walk || step.kind == StepKind::Tick ||
                            step.kind == StepKind::Untick || step.kind == StepKind::Note || step.kind == StepKind::Pin ||
                            step.kind == StepKind::Unpin;
        if (const auto room = cellOfKey(stringOf(request, "room"))) step.room = *room;
        else if (ofRoom) return failure(Error{"\"" + stringOf(request, "room") + "\" names no room"});
        if (request["area"].isNumber()) step.area = request["area"].as<int>();
        step.note = stringOf(request, "text");
        step.at = nowOf(request);
        if (auto taken = run_->history().take(step); !taken) return failure(taken.error());
        return changed();
    }

    val undo() { return run_ && run_->history().undo() ? changed() : failure(Error{"there is no step to take back"}); }
    val redo() { return run_ && run_->history().redo() ? changed() : failure(Error{"there is no step to give again"}); }
    val picture() { return textOf(run_ ? run_->picture() : std::string()); }
    std::string legend() const { return run_ ? run_->legend() : std::string(); }
    std::string liveSplits(const std::string& category) const {
        return run_ ? liveSplitsFile(run_->state(), category) : std::string();
    }
    std::string stepsText() const {
        if (!run_) return {};
        const auto steps = run_->history().steps();
        return encodeSteps(steps.first(run_->history().length()));
    }

private:
    // The run of the labyrinth of an image, or of one a sealed race's link
    // carries (`lab`, with its seed `code`).
    val opened(const val& request, const std::string& kept) {
        if (const std::string rooms = stringOf(request, "lab"); !rooms.empty()) {
            auto labyrinth = labyrinthOfText(rooms);
            if (!labyrinth) return failure(labyrinth.error());
            run_ = TrackedRun::open(std::move(labyrinth.value()), stringOf(request, "code"), kept, nowOf(request));
        } else {
            auto made = TrackedRun::open(fileOf(request, "image", "imageName"), kept, nowOf(request));
            if (!made) return failure(made.error());
            run_ = std::move(made.value());
        }
        json out = view();
        out["seedCode"] = run_->seedCode();
        out["keptProblem"] = run_->keptProblem();
        out["doors"] = doorsJson(run_->doorsIntoFog());
        val result = parsed(out);
        result.set("map", textOf(run_->picture()));
        return result;
    }

    json view() const {
        const RunState& state = run_->state();
        json items = json::array();
        for (const CellPosition& room : run_->itemsShown())
            items.push_back({{"room", cellKey(room)}, {"name", positionText(room)}});
        json splits = json::array();
        for (const Split& split : state.splits) splits.push_back({{"area", split.area}, {"at", split.at}});
        json ticks = json::array();
        for (const CellPosition& room : state.ticks) ticks.push_back(cellKey(room));
        json notes = json::array();
        for (const auto& [room, text] : state.notes)
            notes.push_back({{"room", cellKey(room)}, {"name", positionText(room)}, {"text", text}});
        json pins = json::array();
        for (const CellPosition& room : state.pins) pins.push_back({{"room", cellKey(room)}, {"name", positionText(room)}});
        json done = json::array();
        for (int area = 0; area < areaCount; ++area)
            if (state.done.test(static_cast<std::size_t>(area))) done.push_back(area);
        return {{"ok", true},
                {"here", cellKey(state.here)},
                {"hereName", positionText(state.here)},
                {"hereDoors", doorsJson(run_->hereDoors())},
                {"items", std::move(items)},
                {"itemRooms", run_->itemRooms()},
                {"splits", std::move(splits)},
                {"ticks", std::move(ticks)},
                {"notes", std::move(notes)},
                {"pins", std::move(pins)},
                {"done", std::move(done)},
                {"clock", {{"elapsed", state.elapsed}, {"runningSince", state.runningSince ? json(*state.runningSince) : json()}}},
                {"canUndo", run_->history().canUndo()},
                {"canRedo", run_->history().canRedo()},
                {"title", run_->title()},
                {"kept", keptRun(run_->history())}};
    }

    // What a step changed; when it changed many rooms at once (Reveal all,
    // or its Undo), the whole picture anew instead, which the page takes in
    // faster than as many pieces.
    val changed() {
        const RunChanges changes = run_->changes();
        if (changes.added.size() + changes.gone.size() > redrawAbove) {
            json out = view();
            out["redrawn"] = true;
            out["doors"] = doorsJson(run_->doorsIntoFog());
            val result = parsed(out);
            result.set("map", textOf(run_->picture()));
            return result;
        }
        json added = json::array();
        for (const map::RoomPieces* room : changes.added)
            added.push_back({{"room", cellKey(room->room)}, {"square", room->square}, {"walls", room->walls},
                             {"marker", room->marker}, {"areaNumber", room->areaNumber}, {"links", room->links}});
        json gone = json::array();
        for (const CellPosition& room : changes.gone) gone.push_back(cellKey(room));
        json out = view();
        out["changes"] = {{"added", std::move(added)}, {"gone", std::move(gone)},
                          {"doorsOpened", doorsJson(changes.doorsOpened)}, {"doorsClosed", changes.doorsClosed}};
        return parsed(out);
    }

    std::unique_ptr<TrackedRun> run_;
};

}  // namespace
}  // namespace labyrinth::web

EMSCRIPTEN_BINDINGS(labyrinth_run) {
    emscripten::class_<labyrinth::web::RunSession>("RunSession")
        .constructor<>()
        .function("open", &labyrinth::web::RunSession::open)
        .function("openSteps", &labyrinth::web::RunSession::openSteps)
        .function("step", &labyrinth::web::RunSession::step)
        .function("undo", &labyrinth::web::RunSession::undo)
        .function("redo", &labyrinth::web::RunSession::redo)
        .function("picture", &labyrinth::web::RunSession::picture)
        .function("legend", &labyrinth::web::RunSession::legend)
        .function("stepsText", &labyrinth::web::RunSession::stepsText)
        .function("liveSplits", &labyrinth::web::RunSession::liveSplits);
}
