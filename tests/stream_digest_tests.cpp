// The output of many seeds, pinned: one line per seed with the click's
// attempts and a digest of every byte it may have changed, and for fewer
// seeds a digest of everything else a click leaves for the window. Any
// change of output on any of these seeds fails here, so that speed work or
// a clean-up cannot alter a labyrinth unnoticed. Regenerate the fixtures only on
// purpose, with scripts/update-stream-digests.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <type_traits>
#include <vector>

#include "labyrinth/generator.h"
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

// The click of one master seed on the synthetic image and text file.
struct PinnedClick {
    explicit PinnedClick(std::uint64_t master) : seed(master), seeds(master) {}

    // Empty when the click succeeded; otherwise the line that says why not.
    std::string run(DriverHost& host) {
        const ClickResult& click = savebutClick(session, host);
        return click.status ? "" : "seed " + std::to_string(seed) + " failed: " + click.status.error().message;
    }

    std::uint64_t seed;
    MemoryFile rom{"game.nes", testing::syntheticImage()};
    MemoryFile text{"tgltext.tgl", testing::syntheticText()};
    FixedSeedSource seeds;
    Session session{rom, text, seeds};
};

// "seed attempts generations digest": the digest covers the image from the
// stream's offset to the end of the text block, so leftovers of rejected
// attempts count too.
std::string digestLine(std::uint64_t seed) {
    PinnedClick pinned(seed);
    SilentDriverHost host;
    if (std::string failure = pinned.run(host); !failure.empty()) return failure;
    const ClickResult& click = pinned.session.lastClick();
    const std::span<const std::uint8_t> region(pinned.rom.bytes().data() + format::roomDataPos,
                                               static_cast<std::size_t>(format::textEnd - format::roomDataPos));
    char line[96];
    std::snprintf(line, sizeof line, "%" PRIu64 " %d %d %016" PRIx64, seed, click.attempts, click.generations,
                  streamHash(region));
    return line;
}

// The first line of a fixture: the generator revision whose labyrinths it pins.
std::string revisionLine() { return "revision " + std::to_string(generatorRevision); }

// Compares the lines of `digest` for seeds 0, 1, ... with the fixture `name`
// (rewritten first when LABYRINTH_UPDATE_DIGESTS is set), which must pin the
// labyrinths of this generator revision: a change of what a seed gives is a
// new revision, so that seeds shared before are refused, not reinterpreted.
void expectPinned(const std::string& name, std::uint64_t seeds, std::string (*digest)(std::uint64_t)) {
    const std::string fixture = std::string(LABYRINTH_GOLDEN_DIR) + "/" + name;
    if (std::getenv("LABYRINTH_UPDATE_DIGESTS") != nullptr) {
        std::ofstream out(fixture, std::ios::trunc);
        out << revisionLine() << '\n';
        for (std::uint64_t seed = 0; seed < seeds; ++seed) out << digest(seed) << '\n';
        ASSERT_TRUE(out.good()) << "cannot write " << fixture;
    }
    std::ifstream in(fixture);
    ASSERT_TRUE(in.good()) << "cannot read " << fixture;
    std::string expected;
    std::getline(in, expected);
    ASSERT_EQ(expected, revisionLine()) << name << " pins the labyrinths of another generator revision than this "
                                           "code's (labyrinth/include/labyrinth/generator.h)";
    std::uint64_t seed = 0;
    int differing = 0;
    while (std::getline(in, expected)) {
        const std::string actual = digest(seed);
        if (actual != expected && ++differing <= 5)
            ADD_FAILURE() << "seed " << seed << " now gives \"" << actual << "\", pinned \"" << expected << "\"";
        ++seed;
    }
    EXPECT_EQ(seed, seeds) << name << " holds " << seed << " lines";
    EXPECT_EQ(differing, 0) << differing << " of " << seed << " seeds changed their output";
}

TEST(StreamDigests, EveryPinnedSeedWritesExactlyWhatItWroteBefore) {
    expectPinned("stream-digests.txt", pinnedSeeds, digestLine);
}

// What the window shows besides the image: the whole model after the click
// (room information and the spoiler read it), every link-list line and
// status it was handed, and how often it was asked to repaint.
class ModelBytes {
public:
    template <typename T>
    void add(const T& value) {
        static_assert(std::is_integral_v<T>);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes_.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
    }
    template <typename T, std::size_t N>
    void add(const std::array<T, N>& values) {
        for (const T& value : values) add(value);
    }
    template <typename T>
    void add(const Grid<T>& grid) {
        for (int x = 0; x < gridSize; ++x)
            for (int y = 0; y < gridSize; ++y) add(grid(x, y));
    }
    void add(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
    }
    std::uint64_t hash() const { return streamHash(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

constexpr std::uint64_t pinnedModels = 500;

std::string modelLine(std::uint64_t seed) {
    PinnedClick pinned(seed);
    testing::RecordingHost host;
    if (std::string failure = pinned.run(host); !failure.empty()) return failure;
    const Labyrinth& m = pinned.session.model();
    ModelBytes bytes;
    bytes.add(m.mapEntry), bytes.add(m.mapDoors), bytes.add(m.mapArea), bytes.add(m.mapMark), bytes.add(m.mapLink);
    bytes.add(m.entryUsed), bytes.add(m.entryArea), bytes.add(m.entryX), bytes.add(m.entryY);
    bytes.add(m.areaX), bytes.add(m.areaY), bytes.add(m.areaMarked);
    for (const auto& row : m.areaLinks) bytes.add(row);
    bytes.add(m.corridorUsed), bytes.add(m.areaOrder), bytes.add(m.visitList);
    bytes.add(m.reachedCount), bytes.add(m.orderCount), bytes.add(m.visitIndex), bytes.add(m.linkPass);
    bytes.add(m.itemCount), bytes.add(m.markCount), bytes.add(m.itemList);
    for (const std::string& line : host.linkLines) bytes.add(line);
    for (const std::string& status : host.statuses) bytes.add(status);
    bytes.add(host.repaints);
    char line[64];
    std::snprintf(line, sizeof line, "%" PRIu64 " %016" PRIx64, seed, bytes.hash());
    return line;
}

TEST(StreamDigests, EveryPinnedSeedLeavesTheModelAndTheLinkListItLeftBefore) {
    expectPinned("model-digests.txt", pinnedModels, modelLine);
}

}  // namespace
}  // namespace labyrinth
