// The tracked run as one history: whatever steps are taken, undone and
// redone, what the run shows equals a replay of the steps in effect from
// the start; splits, the player's room and the clock follow Undo; the kept
// and linked forms give the same run back; a run kept before runs were
// histories goes on; and a step is answered with what changed alone.

#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include <random>

#include "requests/memory_write.h"
#include "requests/run.h"
#include "requests/splits_file.h"
#include "requests/track.h"
#include "requests/tracked_run.h"
#include "writer/driver.h"

namespace labyrinth::requests {
namespace {

DecodedStream labyrinthOf(std::uint64_t seed) { return labyrinthOfSeed(seed).value().stream; }

InputFile imageOf(std::uint64_t seed) {
    return {"(tracked)", labyrinthToTrack({{}, {}, std::to_string(seed), {}, {}}).value().downloads[0].bytes};
}

// A step a player could take now, drawn at random (the clock's among them).
Step anyStep(const DecodedStream& s, const RunState& state, std::mt19937& random, std::int64_t at) {
    std::vector<Step> can;
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x)
            for (const StepKind kind : {StepKind::Reveal, StepKind::Walk, StepKind::Tick, StepKind::Untick, StepKind::Pin,
                                        StepKind::Unpin, StepKind::Note}) {
                Step step = stepOf(kind, {x, y}, 0, at);
                // Notes of every length up to the longest, in more than one script, and none.
                if (kind == StepKind::Note) step.note = std::string("Ä—key ").substr(0, random() % 12) + std::string(random() % 30, 'x');
                if (stepProblem(s, state, step).empty()) can.push_back(step);
            }
    for (int area = 0; area < areaCount; ++area)
        for (const StepKind kind : {StepKind::RevealArea, StepKind::AreaDone, StepKind::AreaUndone})
            if (Step step = stepOf(kind, {}, area, at); stepProblem(s, state, step).empty()) can.push_back(step);
    for (const StepKind kind : {StepKind::RevealAll, StepKind::ClockStart, StepKind::ClockPause, StepKind::ClockReset,
                                StepKind::ResetRooms})
        if (Step step = stepOf(kind, {}, 0, at); stepProblem(s, state, step).empty()) can.push_back(step);
    // Reveals and walks are what runs are made of; the rest now and then.
    std::uniform_int_distribution<std::size_t> pick(0, can.size() - 1);
    return can[pick(random)];
}

TEST(RunHistory, WhatItShowsIsAlwaysTheReplayOfItsSteps) {
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(seed);
        const DecodedStream s = labyrinthOf(seed);
        RunHistory run(s);
        std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
        std::int64_t at = 1'700'000'000'000;
        for (int i = 0; i < 60; ++i) {
            at += static_cast<std::int64_t>(random() % 20'000);
            const auto roll = random() % 10;
            if (roll == 0) run.undo();
            else if (roll == 1) run.redo();
            else ASSERT_TRUE(run.take(anyStep(s, run.state(), random, at)).ok());
            ASSERT_EQ(run.state(), run.replay()) << "after step " << i;
        }
        // The kept form gives the same steps, in effect and undone, and the same run.
        RunHistory again(s);
        const auto kept = readKeptRun(keptRun(run), s, at);
        ASSERT_TRUE(kept.ok()) << kept.error().message;
        EXPECT_EQ(again.restore(kept.value().steps, kept.value().length), 0U);
        EXPECT_TRUE(std::equal(run.steps().begin(), run.steps().end(), again.steps().begin(), again.steps().end()));
        EXPECT_EQ(again.length(), run.length());
        EXPECT_EQ(again.state(), run.state());
    }
}

TEST(RunHistory, SplitsPositionAndClockFollowUndo) {
    const DecodedStream s = labyrinthOf(12345);
    RunHistory run(s);
    const auto take = [&](Step step) { ASSERT_TRUE(run.take(step).ok()) << stepProblem(s, run.state(), step); };
    const CellPosition start{startX, startY};
    // A way out of the start room, and on into the next room.
    const auto doorOut = [&](CellPosition from) {
        for (const Direction& side : doorSides)
            if ((s.at(from.x, from.y).doors & side.bit) != 0 && !run.state().isShown({from.x + side.dx, from.y + side.dy}))
                return CellPosition{from.x + side.dx, from.y + side.dy};
        return from;
    };
    take(stepOf(StepKind::ClockStart, {}, 0, 1000));
    const CellPosition first = doorOut(start);
    take(stepOf(StepKind::Reveal, first, 0, 4000));
    EXPECT_EQ(run.state().here, first);
    take(stepOf(StepKind::RevealAll, {}, 0, 9000));
    EXPECT_EQ(run.state().here, first) << "revealing everything moves nobody";
    EXPECT_TRUE(run.undo());
    EXPECT_EQ(run.state().shown.count(), 2U);
    take(stepOf(StepKind::Walk, start, 0, 10'000));
    EXPECT_TRUE(run.undo());
    EXPECT_EQ(run.state().here, first) << "Undo puts the player back in the room the step was taken from";

    // Walk into every area: a split each, at the clock's time then, which
    // a reset of the clock takes away and its Undo gives back.
    take(stepOf(StepKind::RevealAll, {}, 0, 11'000));
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x)
            if (s.at(x, y).isRoom() && !(CellPosition{x, y} == run.state().here))
                take(stepOf(StepKind::Walk, {x, y}, 0, 20'000));
    ASSERT_EQ(run.state().splits.size(), static_cast<std::size_t>(areaCount - 1));
    for (const Split& split : run.state().splits)
        EXPECT_TRUE(split.at == 3000 || split.at == 19'000) << "clock time at entry, not the page's clock";
    const std::vector<Split> splits = run.state().splits;
    take(stepOf(StepKind::ClockReset, {}, 0, 30'000));
    EXPECT_TRUE(run.state().splits.empty());
    EXPECT_EQ(run.state().clockAt(40'000), 0);
    EXPECT_TRUE(run.undo());
    EXPECT_EQ(run.state().splits, splits);
    EXPECT_EQ(run.state().clockAt(40'000), 39'000) << "the clock runs on as if never reset";
    EXPECT_TRUE(run.redo());
    EXPECT_TRUE(run.state().splits.empty());
    // Before the clock ever ran, entering an area splits nothing.
    RunHistory untimed(s);
    ASSERT_TRUE(untimed.take(stepOf(StepKind::RevealAll)).ok());
    ASSERT_TRUE(untimed.take(stepOf(StepKind::Walk, first)).ok());
    EXPECT_TRUE(untimed.state().splits.empty());
}

TEST(RunHistory, StepsThatCannotBeTakenAreRefused) {
    const DecodedStream s = labyrinthOf(7);
    const RunState start = startOfRun();
    const struct {
        Step step;
        const char* says;
    } rows[] = {
        {stepOf(StepKind::Reveal, {startX, startY}), "shows already"},
        {stepOf(StepKind::Reveal, {30, 2}), "holds no room"},
        {stepOf(StepKind::Walk, {startX, startY}), "the player is in (11, 12) already"},
        {stepOf(StepKind::RevealArea, {}, 11), "there is no area 11"},
        {stepOf(StepKind::Tick, {startX, startY}), "is no item room shown"},
        {stepOf(StepKind::Untick, {0, 0}), "is not ticked off"},
        {stepOf(StepKind::ClockPause), "the clock does not run"},
        {stepOf(StepKind::ClockReset), "at zero already"},
        {stepOf(StepKind::ResetRooms), "only the start room shows already"},
        {stepOf(StepKind::Unpin, {startX, startY}), "is not pinned"},
        {stepOf(StepKind::AreaUndone, {}, 3), "area 3 is not done"},
        {stepOf(StepKind::AreaDone, {}, -1), "there is no area -1"},
    };
    for (const auto& row : rows)
        EXPECT_NE(stepProblem(s, start, row.step).find(row.says), std::string::npos) << row.says;
    // A note is one short line: 40 characters (not bytes) at most.
    const auto note = [&](std::string text) {
        Step step = stepOf(StepKind::Note, {startX, startY});
        step.note = std::move(text);
        return stepProblem(s, start, step);
    };
    EXPECT_EQ(note(std::string(40, 'a')), "");
    std::string accented;
    for (int i = 0; i < 40; ++i) accented += "é";
    EXPECT_EQ(note(accented), "") << "40 characters of two bytes each";
    EXPECT_NE(note(std::string(41, 'a')).find("at most 40 characters"), std::string::npos);
    EXPECT_NE(note("two\nlines").find("one line"), std::string::npos);
    EXPECT_FALSE(decodeSteps("AB").ok()) << "a step without its time";
    EXPECT_FALSE(decodeSteps("!!A").ok());
    EXPECT_FALSE(readKeptRun("{\"version\":3,\"steps\":\"\",\"length\":0}", s, 0).ok());
    EXPECT_FALSE(readKeptRun("[1,2]", s, 0).ok());
}

// Runs kept by the page before runs were histories: rooms revealed one by
// one or together, a reset, the player's room, the clock and the ticks.
TEST(RunHistory, RunsKeptBeforeGoOn) {
    const DecodedStream s = labyrinthOf(12345);
    RunHistory source(s);
    std::mt19937 random(5);
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(source.take(anyStep(s, source.state(), random, 0)).ok());
    const RunState& want = source.state();
    // Each room revealed on its own, then the rest of area 5 together, as
    // "Reveal this area" kept it.
    std::string single;
    for (std::size_t i = 0; i < cellCount; ++i)
        if (want.shown.test(i) && i != static_cast<std::size_t>(startY * mazeSize + startX))
            single += ",[\"" + cellKey({static_cast<int>(i % mazeSize), static_cast<int>(i / mazeSize)}) + "\"]";
    AreaSelection five;
    five.set(5);
    const ShownCells area = cellsOfAreas(s, five) & ~want.shown;
    std::string together;
    for (std::size_t i = 0; i < cellCount; ++i)
        if (area.test(i))
            together += (together.empty() ? "\"" : ",\"") + cellKey({static_cast<int>(i % mazeSize), static_cast<int>(i / mazeSize)}) + "\"";
    const std::int64_t now = 1'800'000'000'000;
    const std::string clock = "{\"elapsed\":61000,\"startedAt\":null,\"splits\":[{\"area\":3,\"at\":5000}],\"ticks\":[]}";
    const std::string old = "{\"steps\":[[\"1,1\"],\"reset\"" + single + ",[" + together + "]],\"here\":\"" +
                            cellKey(want.here) + "\",\"clock\":" + clock + "}";
    const auto kept = readKeptRun(old, s, now);
    ASSERT_TRUE(kept.ok()) << kept.error().message;
    RunHistory run(s);
    run.restore(kept.value().steps, kept.value().length);
    EXPECT_EQ(run.state().shown, want.shown | area);
    EXPECT_EQ(run.state().here, want.here);
    EXPECT_EQ(run.state().clockAt(now), 61000);
    EXPECT_EQ(run.state().splits, (std::vector<Split>{{3, 5000}}));
    const auto damaged = readKeptRun("{\"steps\":[],\"here\":null,\"clock\":{\"elapsed\":-1}}", s, now);
    ASSERT_TRUE(damaged.ok());
    EXPECT_TRUE(damaged.value().clockForgotten);
}

// The splits as a LiveSplit file, read back by a general XML parser: the
// format's own element names, a segment "Area N" per area in the order the
// run entered them, and the run's times from its start.
TEST(RunHistory, SplitsAreALiveSplitFile) {
    const DecodedStream s = labyrinthOf(12345);
    RunHistory run(s);
    ASSERT_TRUE(run.take(stepOf(StepKind::ClockStart, {}, 0, 1000)).ok());
    ASSERT_TRUE(run.take(stepOf(StepKind::RevealAll, {}, 0, 1000)).ok());
    std::int64_t at = 1000;
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x)
            if (s.at(x, y).isRoom() && !(CellPosition{x, y} == run.state().here)) {
                ASSERT_TRUE(run.take(stepOf(StepKind::Walk, {x, y}, 0, at += 1234)).ok());
            }
    const std::vector<Split>& splits = run.state().splits;
    ASSERT_EQ(splits.size(), static_cast<std::size_t>(areaCount - 1));
    QXmlStreamReader xml(QByteArray::fromStdString(liveSplitsFile(run.state(), "Labyrinth <seed> 12345")));
    std::vector<std::string> path;
    std::vector<std::pair<std::string, std::string>> segments;  // name, personal best's real time
    std::string category;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path.push_back(xml.name().toString().toStdString());
            if (path.size() == 1) {
                EXPECT_EQ(xml.attributes().value("version").toString(), QStringLiteral("1.7.0"));
            }
            if (path.back() == "SplitTime") {
                EXPECT_EQ(xml.attributes().value("name").toString(), QStringLiteral("Personal Best"));
            }
        } else if (token == QXmlStreamReader::EndElement) {
            path.pop_back();
        } else if (token == QXmlStreamReader::Characters && !xml.isWhitespace()) {
            std::string where;
            for (const std::string& name : path) where += "/" + name;
            const std::string text = xml.text().toString().toStdString();
            if (where == "/Run/CategoryName") category = text;
            if (where == "/Run/Segments/Segment/Name") segments.emplace_back(text, "");
            if (where == "/Run/Segments/Segment/SplitTimes/SplitTime/RealTime") segments.back().second = text;
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(category, "Labyrinth <seed> 12345");
    ASSERT_EQ(segments.size(), splits.size());
    for (std::size_t i = 0; i < splits.size(); ++i) {
        EXPECT_EQ(segments[i].first, "Area " + std::to_string(splits[i].area));
        const auto& t = segments[i].second;
        ASSERT_EQ(t.size(), 16U) << t;  // hh:mm:ss.fffffff
        const std::int64_t ms = std::stoll(t.substr(0, 2)) * 3'600'000 + std::stoll(t.substr(3, 2)) * 60'000 +
                                std::stoll(t.substr(6, 2)) * 1000 + std::stoll(t.substr(9, 3));
        EXPECT_EQ(ms, splits[i].at);
    }
}

TEST(TrackedRun, AStepChangesTheRoomsAndDoorsItChangedAlone) {
    auto opened = TrackedRun::open(imageOf(12345), "", 0);
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    TrackedRun& run = *opened.value();
    const std::string first = run.picture();
    EXPECT_NE(first.find("data-room=\"11,12\""), std::string::npos);
    EXPECT_EQ(run.changes().added.size(), 0U) << "the picture counts as drawn";
    const std::vector<RunDoor> doors = run.doorsIntoFog();
    ASSERT_FALSE(doors.empty());
    ASSERT_TRUE(run.history().take(stepOf(StepKind::Reveal, doors[0].to)).ok());
    const RunChanges grown = run.changes();
    ASSERT_EQ(grown.added.size(), 1U);
    EXPECT_EQ(grown.added[0]->room, doors[0].to);
    EXPECT_NE(grown.added[0]->square.find("data-room=\"" + cellKey(doors[0].to) + "\""), std::string::npos);
    EXPECT_EQ(grown.doorsClosed, (std::vector<std::string>{doorKey(doors[0])}));
    EXPECT_NE(run.title().find(", 2 rooms shown"), std::string::npos);
    // The picture drawn afresh holds the very pieces the change added.
    EXPECT_NE(run.picture().find(grown.added[0]->walls), std::string::npos);
    ASSERT_TRUE(run.history().undo());
    const RunChanges shrunk = run.changes();
    EXPECT_EQ(shrunk.gone, (std::vector<CellPosition>{doors[0].to}));
    EXPECT_EQ(shrunk.doorsOpened.size(), 1U);
    EXPECT_NE(run.legend().find("1 room shown, the rest in fog"), std::string::npos);
}

}  // namespace
}  // namespace labyrinth::requests
