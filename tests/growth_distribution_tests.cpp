// An area boxed in at the pick step passes its turn at once instead of
// drawing until 101 misses. No pick could claim a cell meanwhile, so the
// labyrinths must come out the same in distribution; this compares the two
// ways over many seeds with two-sample Kolmogorov-Smirnov tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>

#include "labyrinth/generator.h"

namespace labyrinth {
namespace {

struct Sample {
    std::vector<double> areaZeroRooms, largestArea, smallestArea, oneDoorRooms, attempts;
};

Sample collect(bool passBoxedInAreas, std::uint64_t master, int count) {
    Sample s;
    for (int i = 0; i < count; ++i) {
        Labyrinth m;
        Random rng;
        DerivedSeedSource seeds(deriveSeed(master, static_cast<std::uint64_t>(i)));
        SilentHost host;
        const auto result = maPupdate(m, rng, seeds, host, GeneratorOptions{passBoxedInAreas});
        std::array<int, areaCount> sizes{};
        int oneDoor = 0;
        for (int x = 0; x < mazeSize; ++x)
            for (int y = 0; y < mazeSize; ++y) {
                if (!m.isRoom(x, y)) continue;
                ++sizes[m.mapArea(x, y)];
                const int doors = m.mapDoors(x, y);
                oneDoor += (doors != 0 && (doors & (doors - 1)) == 0) ? 1 : 0;
            }
        s.areaZeroRooms.push_back(sizes[0]);
        s.largestArea.push_back(*std::max_element(sizes.begin(), sizes.end()));
        s.smallestArea.push_back(*std::min_element(sizes.begin(), sizes.end()));
        s.oneDoorRooms.push_back(oneDoor);
        s.attempts.push_back(result.attempts);
    }
    return s;
}

// The largest distance between the two empirical distribution functions.
double ksDistance(std::vector<double> a, std::vector<double> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::size_t i = 0, j = 0;
    double d = 0;
    while (i < a.size() && j < b.size()) {
        const double v = std::min(a[i], b[j]);
        while (i < a.size() && a[i] == v) ++i;
        while (j < b.size() && b[j] == v) ++j;
        d = std::max(d, std::abs(static_cast<double>(i) / static_cast<double>(a.size()) -
                                 static_cast<double>(j) / static_cast<double>(b.size())));
    }
    return d;
}

TEST(GrowthDistribution, PassingBoxedInAreasAtOnceKeepsTheDistribution) {
    constexpr int n = 400;
    const Sample mended = collect(true, 1, n);
    const Sample waiting = collect(false, 2, n);
    // Critical distance at the 0.1% level for two samples of n.
    const double critical = 1.95 * std::sqrt(2.0 / n);
    const std::pair<const char*, std::function<const std::vector<double>&(const Sample&)>> statistics[] = {
        {"rooms of area 0", [](const Sample& s) -> const auto& { return s.areaZeroRooms; }},
        {"largest area", [](const Sample& s) -> const auto& { return s.largestArea; }},
        {"smallest area", [](const Sample& s) -> const auto& { return s.smallestArea; }},
        {"one-door rooms", [](const Sample& s) -> const auto& { return s.oneDoorRooms; }},
        {"generation attempts", [](const Sample& s) -> const auto& { return s.attempts; }},
    };
    for (const auto& [name, of] : statistics)
        EXPECT_LT(ksDistance(of(mended), of(waiting)), critical) << name;
}

}  // namespace
}  // namespace labyrinth
