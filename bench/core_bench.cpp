// Speed of the core: one generation, and one whole click on an image in
// memory over many seeds (mean, median, 99th percentile and worst).
//   build/release/bench/labyrinth-bench

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

#include "labyrinth/generator.h"
#include "writer/driver.h"
#include "writer/record_format.h"

namespace {

using namespace labyrinth;

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

// Whole clicks: generate, encode, accept or retry, text block. Each click is
// timed on its own so that the tail shows.
void BM_Click(benchmark::State& state) {
    MemoryFile rom("bench.nes", format::blankImage());
    MemoryFile text("tgltext.tgl", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    SilentDriverHost host;
    std::vector<double> millis;
    std::uint64_t seed = 0;
    for (auto _ : state) {
        FixedSeedSource seeds(seed++);
        Session session(rom, text, seeds);
        const auto start = std::chrono::steady_clock::now();
        const ClickResult click = savebutClick(session, host);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (!click.status) state.SkipWithError(click.status.error().message.c_str());
        millis.push_back(took.count());
    }
    std::sort(millis.begin(), millis.end());
    auto at = [&](double q) { return millis[static_cast<std::size_t>(q * static_cast<double>(millis.size() - 1))]; };
    state.counters["mean_ms"] = std::accumulate(millis.begin(), millis.end(), 0.0) / static_cast<double>(millis.size());
    state.counters["p50_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = millis.back();
}
BENCHMARK(BM_Click)->Iterations(20000)->Unit(benchmark::kMicrosecond);
// Seeds 0 to 199 alone: the clicks that `make bench-web` times in the browser.
BENCHMARK(BM_Click)->Name("BM_Click/seeds_0_to_199")->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
