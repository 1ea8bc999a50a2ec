// The output of many seeds, pinned: one line per seed with the click's
// attempts and a digest of every byte it may have changed. Any change of
// output on any of these seeds fails here, so that speed work or a clean-up
// cannot alter a labyrinth unnoticed. Regenerate the fixture only on
// purpose, with scripts/update-stream-digests.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "test_support.h"
#include "writer/driver.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"

#ifndef LABYRINTH_GOLDEN_DIR
#error "LABYRINTH_GOLDEN_DIR must name the folder of the golden files"
#endif

namespace labyrinth {
namespace {

constexpr std::uint64_t pinnedSeeds = 3000;

// "seed attempts generations digest": the digest covers the image from the
// stream's offset to the end of the text block, so leftovers of rejected
// attempts count too.
std::string digestLine(std::uint64_t seed) {
    MemoryFile rom("game.nes", testing::syntheticImage());
    MemoryFile text("tgltext.tgl", testing::syntheticText());
    FixedSeedSource seeds(seed);
    Session session(rom, text, seeds);
    SilentDriverHost host;
    const ClickResult click = savebutClick(session, host);
    if (!click.status) return "seed " + std::to_string(seed) + " failed: " + click.status.error().message;
    const std::span<const std::uint8_t> region(rom.bytes().data() + format::roomDataPos,
                                               static_cast<std::size_t>(format::textEnd - format::roomDataPos));
    char line[96];
    std::snprintf(line, sizeof line, "%" PRIu64 " %d %d %016" PRIx64, seed, click.attempts, click.generations,
                  streamHash(region));
    return line;
}

TEST(StreamDigests, EveryPinnedSeedWritesExactlyWhatItWroteBefore) {
    const std::string fixture = std::string(LABYRINTH_GOLDEN_DIR) + "/stream-digests.txt";
    if (std::getenv("LABYRINTH_UPDATE_DIGESTS") != nullptr) {
        std::ofstream out(fixture, std::ios::trunc);
        for (std::uint64_t seed = 0; seed < pinnedSeeds; ++seed) out << digestLine(seed) << '\n';
        ASSERT_TRUE(out.good()) << "cannot write " << fixture;
    }
    std::ifstream in(fixture);
    ASSERT_TRUE(in.good()) << "cannot read " << fixture;
    std::string expected;
    std::uint64_t seed = 0;
    int differing = 0;
    while (std::getline(in, expected)) {
        const std::string actual = digestLine(seed);
        if (actual != expected && ++differing <= 5)
            ADD_FAILURE() << "seed " << seed << " now gives \"" << actual << "\", pinned \"" << expected << "\"";
        ++seed;
    }
    EXPECT_EQ(seed, pinnedSeeds) << "the fixture holds " << seed << " lines";
    EXPECT_EQ(differing, 0) << differing << " of " << seed << " seeds changed their output";
}

}  // namespace
}  // namespace labyrinth
