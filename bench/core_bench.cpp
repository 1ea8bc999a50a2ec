// Speed of the core: one generation, and whole clicks on an image in memory
// over 20,000 master seeds (mean, median, 99th percentile and worst), each
// click set against the bare random draws it took and checked for heap
// allocations.
//   build/bench/bench/labyrinth-bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <new>
#include <numeric>
#include <vector>

#include "labyrinth/generator.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/record_format.h"
#include "writer/route.h"

// Every heap allocation of this program is counted, so that the click
// benchmark can show how many a click makes. (The array and nothrow forms
// of the standard library call these.)
namespace {
std::uint64_t heapAllocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    ++heapAllocations;
    if (void* p = std::malloc(std::max<std::size_t>(size, 1))) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    ++heapAllocations;
    const auto align = static_cast<std::size_t>(alignment);
    if (void* p = std::aligned_alloc(align, (std::max<std::size_t>(size, 1) + align - 1) / align * align)) return p;
    throw std::bad_alloc();
}
// g++ takes these frees, once inlined where the new above was, for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace labyrinth;

// CPU time of this thread in milliseconds: what a click cost, without the
// time that the shared machine gave to other programs meanwhile.
double threadMillis() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void generation(benchmark::State& state, bool passBoxedInAreas) {
    Labyrinth model;
    Random rng;
    SilentHost host;
    std::uint64_t seed = 0;
    for (auto _ : state) {
        DerivedSeedSource seeds(seed++);
        benchmark::DoNotOptimize(maPupdate(model, rng, seeds, host, GeneratorOptions{passBoxedInAreas}));
    }
}

// maPupdate alone, restarts included.
void BM_maPupdate(benchmark::State& state) { generation(state, true); }
BENCHMARK(BM_maPupdate)->Unit(benchmark::kMicrosecond);

// The same without passing boxed-in areas at once: what the pick loop costs.
void BM_maPupdateWaitingOutBoxedInAreas(benchmark::State& state) { generation(state, false); }
BENCHMARK(BM_maPupdateWaitingOutBoxedInAreas)->Unit(benchmark::kMicrosecond);

// Master seeds 0, 1, 2, ...: one session runs a different click each time.
class SuccessiveSeeds final : public SeedSource {
public:
    std::uint64_t nextSeed() override { return next_++; }

private:
    std::uint64_t next_ = 0;
};

// The n that a click hands to `below`, 64 draws' worth in a click's
// proportions (callgrind's calls per call site over master seeds 0..999):
// 38 directions (growth and the probe passes), 20 picks of an entry below
// the step count, 2 room marks, and one each of the lottery's 2 and 3, the
// random byte's 47 and an anchor's 23. A draw costs the same whatever its n;
// the mix keeps the loop from being specialised for one.
constexpr std::array<int, 64> clickDrawMix = [] {
    std::array<int, 64> mix{};
    std::size_t i = 0;
    for (int k = 0; k < 38; ++k) mix[i++] = 4;
    for (int k = 0; k < 20; ++k) mix[i++] = 11 + 18 * k;
    for (const int n : {10, 10, 2, 3, 47, 23}) mix[i++] = n;
    return mix;
}();

// Counts the draws of real clicks without touching the core: at every call
// from the driver it steps a shadow of the session's random source until the
// two agree. Attempt k of a click reseeds with deriveSeed(master, k) after
// the driver says "Creating..." or after the ordering wrote link lines (a
// restart); the repaint after the anchors then reseeds the shadow likewise.
class DrawCensus final : public DriverHost {
public:
    explicit DrawCensus(Session& session) : session_(session) {}

    // Runs the session's next click, whose master seed must be `master`, and
    // gives the draws it took; 0 when it failed or the count was lost.
    std::uint64_t click(std::uint64_t master) {
        master_ = master;
        attempt_ = 0;
        draws_ = 0;
        if (!savebutClick(session_, *this).status || lost_) return 0;
        return draws_;
    }

    void repaint() override {
        if (reseedNext_) shadow_.seed(deriveSeed(master_, attempt_++));
        reseedNext_ = false;
        catchUp();
    }
    void setLinkLine(int, const LinkLine&) override {
        catchUp();
        reseedNext_ = true;
    }
    void setStatus(std::string_view text) override {
        catchUp();
        if (text == statusCreating) reseedNext_ = true;
    }
    void setBusy(bool) override {}

private:
    void catchUp() {
        // A click draws some 10^5 numbers at most; more means a missed reseed.
        for (int steps = 0; !(shadow_ == session_.random()); ++steps) {
            if (steps > 1'000'000) {
                lost_ = true;
                return;
            }
            shadow_.next();
            ++draws_;
        }
    }

    Session& session_;
    Random shadow_;  // as a new session's source
    std::uint64_t master_ = 0;
    std::uint64_t attempt_ = 0;
    std::uint64_t draws_ = 0;
    bool reseedNext_ = false;
    bool lost_ = false;
};

// The draws of clicks with master seeds 0..count-1 in one session, counted
// beforehand so that counting costs the timed clicks nothing.
std::vector<std::uint64_t> drawsOfClicks(std::size_t count) {
    MemoryFile rom("census.nes", format::blankImage());
    MemoryFile text("tgltext.tgl", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    SuccessiveSeeds seeds;
    Session session(rom, text, seeds);
    DrawCensus census(session);
    std::vector<std::uint64_t> draws(count);
    for (std::size_t i = 0; i < count; ++i) draws[i] = census.click(i);
    return draws;
}

// `count` draws in a loop and nothing else: the floor of a click that takes them.
std::uint64_t bareDraws(Random& rng, std::uint64_t count) {
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < count; ++i)
        sum += static_cast<std::uint64_t>(rng.below(clickDrawMix[i % clickDrawMix.size()]));
    return sum;
}

// Draws that decide where loops end, as in the probe pass: for every entry,
// directions until all four have come up (the pass without its rules), then
// as many bare draws; no bookkeeping of the labyrinth takes part. With
// argument 0 each entry's loop ends on a branch of its own, which the draws
// make unpredictable; with 1 the entries are counted off in one loop with a
// mask, as the pass draws for the entries that take nothing. The ratio, and
// the time per loop end beyond the draws, tell what such a branch costs.
void BM_DrawsEndingLoops(benchmark::State& state) {
    constexpr int passesPerIteration = 100;
    constexpr int entries = passesPerIteration * entryCount;
    const bool counted = state.range(0) != 0;
    Random deciding(1);
    Random bare(1);
    std::uint64_t draws = 0;
    double decidingMillis = 0;
    double bareMillis = 0;
    for (auto _ : state) {
        std::uint64_t taken = 0;
        unsigned tried = 0;
        const double start = threadMillis();
        if (counted) {
            for (int ended = 0; ended < entries; ++taken) {
                tried |= 1U << static_cast<unsigned>(deciding.below(4) + 1);
                const unsigned all = tried == 0b11110U ? 1U : 0U;
                ended += static_cast<int>(all);
                tried &= all - 1U;
            }
        } else {
            for (int entry = 0; entry < entries; ++entry) {
                for (tried = 0; tried != 0b11110U; ++taken) tried |= 1U << static_cast<unsigned>(deciding.below(4) + 1);
                benchmark::DoNotOptimize(tried);
            }
        }
        const double decided = threadMillis();
        benchmark::DoNotOptimize(tried);
        benchmark::DoNotOptimize(bareDraws(bare, taken));
        const double end = threadMillis();
        draws += taken;
        decidingMillis += decided - start;
        bareMillis += end - decided;
    }
    const auto loops = static_cast<double>(state.iterations()) * entries;
    state.counters["draws_per_loop"] = static_cast<double>(draws) / loops;
    state.counters["draw_ns"] = bareMillis * 1e6 / static_cast<double>(draws);
    state.counters["ratio"] = decidingMillis / bareMillis;
    state.counters["ns_per_loop_end"] = (decidingMillis - bareMillis) * 1e6 / loops;
}
BENCHMARK(BM_DrawsEndingLoops)->ArgName("counted")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The draws between two states of one engine (a pass takes a few thousand).
std::uint64_t drawsBetween(Random from, const Random& to) {
    std::uint64_t count = 0;
    for (; !(from == to); ++count) from.next();
    return count;
}

// The stages that can be run on their own, each on copies of 64 finished
// labyrinths, timed beside as many bare draws as it took: where a click's
// time goes beyond its draws. (Growth runs only inside a generation; it is
// what BM_maPupdate takes beyond the passes.)
template <typename Stage>
void stageAgainstDraws(benchmark::State& state, Stage&& stage) {
    std::vector<Labyrinth> finished(64);
    for (std::size_t i = 0; i < finished.size(); ++i) {
        Random rng;
        SilentHost host;
        DerivedSeedSource seeds(i);
        maPupdate(finished[i], rng, seeds, host);
    }
    Labyrinth model;
    Random rng(7);
    Random bare(7);
    double stageMillis = 0;
    double bareMillis = 0;
    std::uint64_t draws = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        model = finished[next++ % finished.size()];
        const Random before = rng;
        const double start = threadMillis();
        stage(model, rng);
        const double staged = threadMillis();
        const std::uint64_t taken = drawsBetween(before, rng);
        const double bareStart = threadMillis();
        benchmark::DoNotOptimize(bareDraws(bare, taken));
        bareMillis += threadMillis() - bareStart;
        stageMillis += staged - start;
        draws += taken;
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["us"] = stageMillis * 1e3 / runs;
    state.counters["draws"] = static_cast<double>(draws) / runs;
    state.counters["ratio"] = stageMillis / bareMillis;
}

// The survey: which areas touch which.
void BM_SurveyPass(benchmark::State& state) {
    stageAgainstDraws(state, [](Labyrinth& m, Random& rng) {
        for (auto& row : m.areaLinks) row.fill(0);
        m.linkPass = 0;
        probePass(m, rng);
    });
}
BENCHMARK(BM_SurveyPass)->Unit(benchmark::kMicrosecond);

// The link pass: one door into each area.
void BM_LinkPass(benchmark::State& state) {
    stageAgainstDraws(state, [](Labyrinth& m, Random& rng) {
        for (auto& row : m.areaLinks) row.fill(0);
        m.corridorUsed.fill(0);
        m.linkPass = 1;
        probePass(m, rng);
    });
}
BENCHMARK(BM_LinkPass)->Unit(benchmark::kMicrosecond);

// One encoding pass: 576 records, the lottery and the random bytes.
void BM_EncodingPass(benchmark::State& state) {
    WriterState writer;
    std::vector<std::uint8_t> stream;
    stageAgainstDraws(state, [&](Labyrinth& m, Random& rng) {
        writer.startPass(m);
        benchmark::DoNotOptimize(encodeRooms(m, writer, rng, stream));
    });
}
BENCHMARK(BM_EncodingPass)->Unit(benchmark::kMicrosecond);

double mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

// Sorts `values` and gives the q-quantile.
double quantile(std::vector<double>& values, double q) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}

// Whole clicks in one session: generate, encode, accept or retry, text
// block. Each click is timed on its own (CPU time) so that the tail shows,
// and right after it as many bare draws as it took, so that both see the
// same state of a shared machine. Also counts the heap allocations of every
// click after the first.
void BM_Click(benchmark::State& state) {
    const std::vector<std::uint64_t> drawsPerClick = drawsOfClicks(static_cast<std::size_t>(state.max_iterations));
    if (std::find(drawsPerClick.begin(), drawsPerClick.end(), 0U) != drawsPerClick.end())
        return state.SkipWithError("could not count the draws of every click");
    MemoryFile rom("bench.nes", format::blankImage());
    MemoryFile text("tgltext.tgl", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    SilentDriverHost host;
    SuccessiveSeeds seeds;
    Session session(rom, text, seeds);
    Random floorRng(1);
    std::vector<double> clickMillis;
    std::vector<double> drawMillis;
    clickMillis.reserve(static_cast<std::size_t>(state.max_iterations));
    drawMillis.reserve(static_cast<std::size_t>(state.max_iterations));
    std::uint64_t draws = 0;
    std::uint64_t laterAllocations = 0;
    for (auto _ : state) {
        const std::uint64_t allocationsBefore = heapAllocations;
        const double start = threadMillis();
        const ClickResult& click = savebutClick(session, host);
        const double clicked = threadMillis();
        if (!clickMillis.empty()) laterAllocations += heapAllocations - allocationsBefore;
        if (!click.status) state.SkipWithError(click.status.error().message.c_str());

        const std::uint64_t taken = drawsPerClick[clickMillis.size()];
        const double floorStart = threadMillis();
        benchmark::DoNotOptimize(bareDraws(floorRng, taken));
        const double floorEnd = threadMillis();

        draws += taken;
        clickMillis.push_back(clicked - start);
        drawMillis.push_back(floorEnd - floorStart);
    }
    if (clickMillis.empty()) return;
    const auto clicks = static_cast<double>(clickMillis.size());
    const double clickMean = mean(clickMillis);
    const double clickP99 = quantile(clickMillis, 0.99);
    const double drawMean = mean(drawMillis);
    const double drawP99 = quantile(drawMillis, 0.99);
    state.counters["mean_ms"] = clickMean;
    state.counters["p50_ms"] = quantile(clickMillis, 0.5);
    state.counters["p99_ms"] = clickP99;
    state.counters["max_ms"] = clickMillis.back();
    state.counters["draws"] = static_cast<double>(draws) / clicks;
    state.counters["draw_ns"] = drawMean * clicks * 1e6 / static_cast<double>(draws);
    state.counters["draws_mean_ms"] = drawMean;
    state.counters["draws_p99_ms"] = drawP99;
    state.counters["ratio_mean"] = clickMean / drawMean;
    state.counters["ratio_p99"] = clickP99 / drawP99;
    state.counters["allocs_per_click"] = static_cast<double>(laterAllocations) / std::max(clicks - 1, 1.0);
}
BENCHMARK(BM_Click)->Iterations(20000)->Unit(benchmark::kMicrosecond);
// Seeds 0 to 199 alone: the clicks that `make bench-web` times in the browser.
BENCHMARK(BM_Click)->Name("BM_Click/seeds_0_to_199")->Iterations(200)->Unit(benchmark::kMicrosecond);

// The routes of a spoiler: the shortest way from the start to each area's
// numbered room in a labyrinth read back, as `show --json` finds them.
void BM_SpoilerRoutes(benchmark::State& state) {
    MemoryFile rom("bench.nes", format::blankImage());
    MemoryFile text("tgltext.tgl", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    SilentDriverHost host;
    FixedSeedSource seeds(42);
    Session session(rom, text, seeds);
    if (!savebutClick(session, host).status) return state.SkipWithError("the click failed");
    const auto stream = decodeStream(rom.bytes());
    if (!stream) return state.SkipWithError(stream.error().message.c_str());
    for (auto _ : state)
        for (const auto& room : numberedRooms(stream.value()))
            if (room) benchmark::DoNotOptimize(shortestRoute(stream.value(), *room));
}
BENCHMARK(BM_SpoilerRoutes)->Unit(benchmark::kMicrosecond);

}  // namespace
