#pragma once
// Uniform draws and the seeds of generation attempts. The engine is fully
// specified (xoshiro256**, seeded through splitmix64) and `below` is computed
// by hand, so a seed gives the same labyrinth on every compiler and platform.

#include <array>
#include <cassert>
#include <cstdint>

namespace labyrinth {

/// splitmix64 finaliser: a bijective 64-bit mix.
constexpr std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31U);
}

/// The seed of the k-th attempt (or click) derived from a master seed.
constexpr std::uint64_t deriveSeed(std::uint64_t master, std::uint64_t k) {
    return splitmix64(master ^ splitmix64(k));
}

/// One generator of uniform draws in [0, 1).
class Random {
public:
    explicit Random(std::uint64_t seedValue = 0) { seed(seedValue); }

    void seed(std::uint64_t seedValue) {
        for (auto& word : state_) {
            seedValue += 0x9E3779B97F4A7C15ULL;
            word = splitmix64(seedValue);
        }
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(state_[1] * 5U, 7) * 9U;
        const std::uint64_t t = state_[1] << 17U;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

    /// floor(n * u) for the next uniform draw u in [0, 1), u being the top
    /// 53 bits of the engine's output over 2^53: 0 to n - 1, each equally
    /// likely. Computed in integers, which is exact (a double product could
    /// round up across an integer). n must be 1 to 2048.
    int below(int n) {
        assert(n > 0 && n <= 2048);
        const std::uint64_t mantissa = next() >> 11U;  // u = mantissa / 2^53
        return static_cast<int>((static_cast<std::uint64_t>(n) * mantissa) >> 53U);
    }

    /// Equal sources draw the same numbers from here on.
    bool operator==(const Random&) const = default;

private:
    static constexpr std::uint64_t rotl(std::uint64_t x, int k) {
        return (x << static_cast<unsigned>(k)) | (x >> static_cast<unsigned>(64 - k));
    }
    std::array<std::uint64_t, 4> state_{};
};

/// Where seeds come from: the master seed of each click, or the seed of
/// each generation attempt.
class SeedSource {
public:
    virtual ~SeedSource() = default;
    virtual std::uint64_t nextSeed() = 0;
};

/// Nanoseconds since the epoch, from the system clock.
std::uint64_t systemNanoseconds();

/// Seeds from the time of day at nanosecond resolution, mixed with a running
/// counter, so that two seeds never repeat even within one tick of the
/// clock. The clock can be handed in, so that tests can stop it.
class ClockSeedSource final : public SeedSource {
public:
    using Clock = std::uint64_t (*)();
    explicit ClockSeedSource(Clock clock = systemNanoseconds) : clock_(clock) {}
    std::uint64_t nextSeed() override;

private:
    Clock clock_;
    std::uint64_t counter_ = 0;
};

/// The one seed that the user gave, every time it is asked.
class FixedSeedSource final : public SeedSource {
public:
    explicit FixedSeedSource(std::uint64_t seed) : seed_(seed) {}
    std::uint64_t nextSeed() override { return seed_; }

private:
    std::uint64_t seed_;
};

/// Seeds derived from one master seed: the k-th call gives
/// deriveSeed(master, k). The same master always gives the same sequence.
class DerivedSeedSource final : public SeedSource {
public:
    explicit DerivedSeedSource(std::uint64_t master) : master_(master) {}
    std::uint64_t nextSeed() override { return deriveSeed(master_, counter_++); }

private:
    std::uint64_t master_;
    std::uint64_t counter_ = 0;
};

}  // namespace labyrinth
