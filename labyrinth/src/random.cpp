#include "labyrinth/random.h"

#include <chrono>

namespace labyrinth {

std::uint64_t systemNanoseconds() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

std::uint64_t ClockSeedSource::nextSeed() {
    // Distinct (time, counter) pairs give distinct inputs; the mix spreads them.
    return splitmix64(clock_() ^ splitmix64(counter_++));
}

}  // namespace labyrinth
