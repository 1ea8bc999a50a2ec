#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

#include "requests/run.h"

namespace labyrinth::requests {
namespace {

using json = nlohmann::ordered_json;

// The version of the form `keptRun` writes; a page that knows an older one
// refuses a newer run rather than misread it.
constexpr int keptVersion = 2;

bool fineTime(const json& value) {
    return value.is_number() && value.get<double>() >= 0 && value.get<double>() <= static_cast<double>(longestRunTime);
}

// The clock of a run kept before runs were histories, as a Kept step, or
// nothing for a clock kept in a damaged form.
std::optional<Step> keptClock(const json& clock, std::int64_t now) {
    if (!clock.is_object() || !fineTime(clock.value("elapsed", json())) || !clock.contains("startedAt")) return {};
    Step step;
    step.kind = StepKind::Kept;
    step.at = now;
    step.elapsed = clock["elapsed"].get<std::int64_t>();
    if (const json& started = clock["startedAt"]; !started.is_null()) {
        if (!started.is_number() || std::abs(started.get<double>() - static_cast<double>(now)) > static_cast<double>(longestRunTime))
            return {};
        step.runningSince = started.get<std::int64_t>();
    }
    const json splits = clock.value("splits", json());
    if (!splits.is_array()) return {};
    std::set<int> areas;
    for (const json& split : splits) {
        if (!split.is_object() || !split.value("area", json()).is_number_integer() || !fineTime(split.value("at", json())))
            return {};
        const int area = split["area"].get<int>();
        if (area < 0 || area >= areaCount || !areas.insert(area).second) return {};
        step.splits.push_back({area, split["at"].get<std::int64_t>()});
    }
    return step;
}

// A run kept before runs were histories: its lists of rooms revealed
// together, the room the player was in, its clock and its ticks.
KeptSteps earlierRun(const json& kept, const DecodedStream& stream, std::int64_t now) {
    KeptSteps out;
    const auto room = [](const json& key) { return key.is_string() ? cellOfKey(key.get<std::string>()) : std::nullopt; };
    for (const json& step : kept.value("steps", json::array())) {
        if (step == "reset") {
            out.steps.push_back(stepOf(StepKind::ResetRooms));
            continue;
        }
        if (!step.is_array()) continue;
        if (step.size() == 1) {
            if (const auto cell = room(step[0])) out.steps.push_back(stepOf(StepKind::Reveal, *cell));
            continue;
        }
        // Rooms revealed together were an area's, or every room: as areas,
        // they reveal the same rooms.
        AreaSelection areas;
        for (const json& key : step)
            if (const auto cell = room(key); cell && insideMaze(cell->x, cell->y) && stream.at(cell->x, cell->y).area < areaCount)
                areas.set(static_cast<std::size_t>(stream.at(cell->x, cell->y).area));
        for (int area = 0; area < areaCount; ++area)
            if (areas.test(static_cast<std::size_t>(area))) out.steps.push_back(stepOf(StepKind::RevealArea, {}, area));
    }
    if (const auto here = room(kept.value("here", json()))) out.steps.push_back(stepOf(StepKind::Walk, *here));
    if (kept.contains("clock")) {
        const auto clock = keptClock(kept["clock"], now);
        out.clockForgotten = !clock;
        if (clock) {
            out.steps.push_back(*clock);
            for (const json& tick : kept["clock"].value("ticks", json::array()))
                if (const auto cell = room(tick)) out.steps.push_back(stepOf(StepKind::Tick, *cell));
        }
    }
    for (Step& step : out.steps)
        if (step.kind != StepKind::Kept) step.at = now;
    out.length = out.steps.size();
    return out;
}

}  // namespace

std::string keptRun(const RunHistory& run) {
    return json{{"version", keptVersion}, {"steps", encodeSteps(run.steps())}, {"length", run.length()}}.dump();
}

Result<KeptSteps> readKeptRun(std::string_view text, const DecodedStream& stream, std::int64_t now) {
    const json kept = json::parse(text, nullptr, false);
    if (!kept.is_object()) return Error{"what this browser kept of the run is not a run"};
    if (!kept.contains("version")) return earlierRun(kept, stream, now);
    if (kept["version"] != keptVersion)
        return Error{"the run was kept by another version of this page (its form " + kept["version"].dump() + ")"};
    if (!kept.value("steps", json()).is_string() || !kept.value("length", json()).is_number_unsigned())
        return Error{"what this browser kept of the run is not a run"};
    auto steps = decodeSteps(kept["steps"].get<std::string>());
    if (!steps) return steps.error();
    KeptSteps out;
    out.length = std::min(kept["length"].get<std::size_t>(), steps.value().size());
    out.steps = std::move(steps.value());
    return out;
}

}  // namespace labyrinth::requests
