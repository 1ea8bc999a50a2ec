// The generate-and-write driver on in-memory images: statuses, retries, the
// text block, the golden bytes of a fixed seed, and every way it must refuse.

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "test_support.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/record_format.h"
#include "writer/verify.h"

#ifndef LABYRINTH_GOLDEN_DIR
#error "LABYRINTH_GOLDEN_DIR must name the folder of the golden files"
#endif

namespace labyrinth {
namespace {

using testing::firstDifference;
using testing::RecordingHost;
using testing::syntheticImage;
using testing::syntheticText;
using Bytes = std::vector<std::uint8_t>;

// An image and a text file in memory, and a session over them.
struct Bench {
    explicit Bench(std::uint64_t seed, Bytes image = syntheticImage(), Bytes text = syntheticText())
        : rom("game.nes", std::move(image)), textFile("tgltext.tgl", std::move(text)), seeds(seed),
          session(rom, textFile, seeds) {}
    MemoryFile rom;
    MemoryFile textFile;
    FixedSeedSource seeds;
    Session session;
    RecordingHost host;
};

// The part of an image that a click may change: from the stream to the end
// of the text block.
constexpr auto writable = static_cast<std::size_t>(format::roomDataPos);
constexpr auto writableEnd = static_cast<std::size_t>(format::textEnd);

// What a successful click must leave: the stream at its offset, the text
// block, and no change before the stream, between the longest stream a
// generation can give and the text block, or after the text block. (A
// rejected attempt's longer stream may leave bytes after the accepted one.)
void expectWrittenOnlyWhereAllowed(const Bytes& before, const Bytes& after, const Bytes& stream, const Bytes& text) {
    ASSERT_EQ(before.size(), after.size());
    const Bytes written(after.begin() + format::roomDataPos, after.begin() + format::roomDataPos +
                                                                 static_cast<std::ptrdiff_t>(stream.size()));
    EXPECT_EQ(written, stream) << "stream differs at " << firstDifference(written, stream);
    const Bytes block(after.begin() + format::textBase, after.begin() + format::textEnd);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), text.begin())) << "text block";
    const auto quietStart = static_cast<std::size_t>(format::roomDataPos + format::maxGeneratedStream);
    const std::pair<std::size_t, std::size_t> unchanged[] = {
        {0, writable}, {quietStart, static_cast<std::size_t>(format::textBase)}, {writableEnd, before.size()}};
    for (const auto& [from, to] : unchanged) {
        const auto diff = std::mismatch(before.begin() + static_cast<std::ptrdiff_t>(from),
                                        before.begin() + static_cast<std::ptrdiff_t>(to),
                                        after.begin() + static_cast<std::ptrdiff_t>(from));
        ASSERT_TRUE(diff.first == before.begin() + static_cast<std::ptrdiff_t>(to))
            << "byte at offset " << (diff.first - before.begin()) << " changed";
    }
}

TEST(Driver, GoldenBytesForAFixedSeed) {
    // The golden file holds the image bytes from the stream to the end of
    // the text block after one click with this seed on the synthetic image.
    const std::string golden = std::string(LABYRINTH_GOLDEN_DIR) + "/seed-20261207.bin";
    Bench b(20261207);
    const ClickResult click = savebutClick(b.session, b.host);
    ASSERT_TRUE(click.status.ok());
    const Bytes region(b.rom.bytes().begin() + writable, b.rom.bytes().begin() + writableEnd);
    if (std::getenv("LABYRINTH_UPDATE_GOLDEN") != nullptr) testing::writeFile(golden, region);
    Bytes expected = syntheticImage();
    const Bytes goldenRegion = testing::readFile(golden);
    ASSERT_EQ(goldenRegion.size(), writableEnd - writable);
    std::copy(goldenRegion.begin(), goldenRegion.end(), expected.begin() + format::roomDataPos);
    EXPECT_EQ(b.rom.bytes(), expected) << "first difference at " << firstDifference(b.rom.bytes(), expected);
}

TEST(Driver, StatusesBusyPointerAndRetries) {
    std::set<int> attemptCounts;
    for (std::uint64_t seed = 0; seed < 40; ++seed) {
        Bench b(seed);
        const ClickResult click = savebutClick(b.session, b.host);
        ASSERT_TRUE(click.status.ok());
        // "Creating..." opens every attempt, "Failed." separates them, "Done." ends.
        std::vector<std::string> expected;
        for (int a = 0; a < click.attempts; ++a) {
            if (a > 0) expected.emplace_back(statusFailed);
            expected.emplace_back(statusCreating);
        }
        expected.emplace_back(statusDone);
        EXPECT_EQ(b.host.statuses, expected) << "seed " << seed;
        EXPECT_FALSE(b.host.busy);
        EXPECT_GE(click.generations, click.attempts);
        EXPECT_EQ(b.host.linkLines.size(), 121U);
        attemptCounts.insert(click.attempts);
    }
    EXPECT_GT(attemptCounts.size(), 1U) << "some clicks must have needed a retry";
}

TEST(Driver, AcceptedStreamsAreCompleteConsistentLabyrinthsWrittenOnlyWhereAllowed) {
    // Each written image is judged twice: by the product's verifier, and by
    // the tests' own check of the model the stream was encoded from.
    for (std::uint64_t seed = 0; seed < 1000; ++seed) {
        Bench b(seed);
        const ClickResult click = savebutClick(b.session, b.host);
        ASSERT_TRUE(click.status.ok()) << click.status.error().message;
        expectWrittenOnlyWhereAllowed(syntheticImage(), b.rom.bytes(), click.stream, syntheticText());
        if (::testing::Test::HasFatalFailure()) return;
        const Bytes text = syntheticText();
        const Bytes original = syntheticImage();
        for (const Problem& problem : verifyImage({b.rom.bytes(), text, original}))
            ADD_FAILURE() << "seed " << seed << ": " << problem.message;
        for (const std::string& problem : testing::invariantProblems(b.session.model(), testing::ModelStage::Written))
            ADD_FAILURE() << "seed " << seed << ": " << problem;
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(Driver, SameSeedSameBytesAndASecondClickWritesANewLabyrinth) {
    Bench a(99), b(99);
    savebutClick(a.session, a.host);
    savebutClick(b.session, b.host);
    EXPECT_EQ(a.rom.bytes(), b.rom.bytes());

    // The window draws a new master seed for every click.
    MemoryFile rom("game.nes", syntheticImage());
    MemoryFile text("tgltext.tgl", syntheticText());
    DerivedSeedSource clockLike(99);
    Session session(rom, text, clockLike);
    RecordingHost host;
    const ClickResult first = savebutClick(session, host);
    const Bytes afterFirst = rom.bytes();
    const ClickResult second = savebutClick(session, host);
    ASSERT_TRUE(first.status.ok() && second.status.ok());
    EXPECT_NE(first.seed, second.seed);
    EXPECT_NE(rom.bytes(), afterFirst);
    EXPECT_EQ(host.statuses.back(), statusDone);
}

TEST(Driver, CopiesOnlyTheFirst446BytesOfALongerTextFile) {
    Bench b(3, syntheticImage(), syntheticText(1000));
    ASSERT_TRUE(savebutClick(b.session, b.host).status.ok());
    const Bytes text = syntheticText(1000);
    for (std::int64_t i = 0; i < format::textSize; ++i)
        ASSERT_EQ(b.rom.bytes()[static_cast<std::size_t>(format::textBase + i)], text[static_cast<std::size_t>(i)]);
}

TEST(Driver, RefusesBadFilesAndWritesNothing) {
    Bytes noMagic = syntheticImage();
    noMagic[3] = 0x1B;
    const struct {
        const char* what;
        Bytes image, text;
        const char* named;
    } rows[] = {
        {"wrong magic", noMagic, syntheticText(), "game.nes"},
        {"image one byte short", syntheticImage(static_cast<std::size_t>(format::minImageSize - 1)), syntheticText(),
         "game.nes"},
        {"empty image", {}, syntheticText(), "game.nes"},
        {"text one byte short", syntheticImage(), syntheticText(445), "tgltext.tgl"},
        {"empty text", syntheticImage(), {}, "tgltext.tgl"},
    };
    for (const auto& row : rows) {
        Bench b(1, row.image, row.text);
        const ClickResult click = savebutClick(b.session, b.host);
        ASSERT_FALSE(click.status.ok()) << row.what;
        EXPECT_NE(click.status.error().message.find(row.named), std::string::npos) << click.status.error().message;
        EXPECT_NE(click.status.error().message.find("Nothing was written"), std::string::npos) << click.status.error().message;
        EXPECT_EQ(b.rom.bytes(), row.image) << row.what;
        EXPECT_EQ(std::count(b.host.statuses.begin(), b.host.statuses.end(), std::string(statusDone)), 0);
        EXPECT_FALSE(b.host.busy);
    }
}

TEST(Driver, NoticesATextFileThatShrankAfterStartUp) {
    Bench b(1);
    ASSERT_TRUE(savebutClick(b.session, b.host).status.ok());
    const Bytes afterFirst = b.rom.bytes();
    b.textFile.bytes().resize(100);
    const ClickResult click = savebutClick(b.session, b.host);
    ASSERT_FALSE(click.status.ok());
    EXPECT_NE(click.status.error().message.find("tgltext.tgl"), std::string::npos);
    EXPECT_EQ(b.rom.bytes(), afterFirst);
}

TEST(Driver, EachClickStartsTheSessionsOutcomeAfresh) {
    // The session keeps one outcome and reuses its stream buffer: a click
    // that fails must not report anything of the click before it.
    Bench b(1);
    const ClickResult& first = savebutClick(b.session, b.host);
    EXPECT_EQ(&first, &b.session.lastClick());
    ASSERT_TRUE(first.status.ok());
    const ClickResult kept = first;
    ASSERT_FALSE(kept.stream.empty());

    b.textFile.bytes().resize(100);
    const ClickResult& refused = savebutClick(b.session, b.host);
    EXPECT_FALSE(refused.status.ok());
    EXPECT_TRUE(refused.refused);
    EXPECT_TRUE(refused.stream.empty());
    EXPECT_EQ(refused.attempts + refused.generations, 0);
    EXPECT_EQ(refused.stats.streamBytes, 0);

    b.textFile.bytes() = syntheticText();
    const ClickResult& again = savebutClick(b.session, b.host);
    ASSERT_TRUE(again.status.ok()) << again.status.error().message;
    EXPECT_FALSE(again.refused);
    EXPECT_EQ(again.stream, kept.stream) << "the same master seed writes the same stream";
    EXPECT_EQ(again.attempts, kept.attempts);
    EXPECT_EQ(static_cast<std::size_t>(again.stats.streamBytes), again.stream.size());
}

TEST(Driver, AFailingWriteIsReportedAndNeverDone) {
    // Seed 0 needs more than one attempt, so writes 1 and 2 are both streams.
    Bench probe(0);
    const int attempts = savebutClick(probe.session, probe.host).attempts;
    ASSERT_GT(attempts, 1);
    const struct {
        int failingWrite;
        const char* says;
    } rows[] = {{1, "partly written"}, {2, "partly written"}, {attempts + 1, "text block"}};
    for (const auto& row : rows) {
        MemoryFile memory("game.nes", syntheticImage());
        testing::FaultyFile rom(memory, {.failingWrite = row.failingWrite});
        MemoryFile text("tgltext.tgl", syntheticText());
        FixedSeedSource seeds(0);
        Session session(rom, text, seeds);
        RecordingHost host;
        const ClickResult click = savebutClick(session, host);
        ASSERT_FALSE(click.status.ok()) << "write " << row.failingWrite;
        EXPECT_NE(click.status.error().message.find("No space left on device"), std::string::npos) << click.status.error().message;
        EXPECT_NE(click.status.error().message.find(row.says), std::string::npos) << click.status.error().message;
        EXPECT_EQ(host.statuses.back(), statusFailed);
        EXPECT_FALSE(host.busy);
        EXPECT_EQ(rom.writes(), row.failingWrite) << "nothing is written after a failure";
    }
}

// A program that writes without a lock, just as a click ends: the click
// reads its bytes back, and says what the image holds instead of "Done.".
TEST(Driver, BytesThatChangedBeforeTheReadBackAreNoSuccess) {
    const struct {
        const char* what;
        std::int64_t offset;  // of the byte the other program changes
        const char* says;
    } rows[] = {
        {"a record", format::roomDataPos + 5, "it now holds "},
        {"the text block", format::textBase + 9, "this labyrinth (seed code "},
    };
    for (const auto& row : rows) {
        MemoryFile memory("game.nes", syntheticImage());
        testing::FaultyFile::Faults faults;
        faults.duringFlush = [&] { memory.bytes()[static_cast<std::size_t>(row.offset)] ^= 0x40; };
        testing::FaultyFile rom(memory, faults);
        MemoryFile text("tgltext.tgl", syntheticText());
        FixedSeedSource seeds(3);
        Session session(rom, text, seeds);
        RecordingHost host;
        const ClickResult click = savebutClick(session, host);
        ASSERT_FALSE(click.status.ok()) << row.what;
        EXPECT_TRUE(click.imageChanged);
        const std::string& message = click.status.error().message;
        EXPECT_NE(message.find("game.nes: changed while it was being written"), std::string::npos) << message;
        EXPECT_NE(message.find(row.says), std::string::npos) << message;
        EXPECT_EQ(host.statuses.back(), statusFailed);
    }
}

TEST(Driver, EveryClickSavesTheImageOnceAndAFailedSaveIsNoSuccess) {
    MemoryFile memory("game.nes", syntheticImage());
    testing::FaultyFile rom(memory, {.failingFlush = 2});
    MemoryFile text("tgltext.tgl", syntheticText());
    DerivedSeedSource seeds(4);
    Session session(rom, text, seeds);
    RecordingHost host;
    ASSERT_TRUE(savebutClick(session, host).status.ok());
    EXPECT_EQ(rom.flushes(), 1) << "the written bytes are pushed to the disk at the end of a click";

    const ClickResult click = savebutClick(session, host);
    ASSERT_FALSE(click.status.ok());
    EXPECT_FALSE(click.refused);
    EXPECT_NE(click.status.error().message.find("cannot save the changes"), std::string::npos)
        << click.status.error().message;
    EXPECT_EQ(host.statuses.back(), statusFailed);
}

TEST(Seeds, ClockSeedsNeverRepeat) {
    ClockSeedSource clock;
    std::set<std::uint64_t> seen;
    for (int i = 0; i < 20000; ++i) ASSERT_TRUE(seen.insert(clock.nextSeed()).second) << "attempt " << i;

    // Not even when the clock stands still between two clicks.
    ClockSeedSource frozen([] { return std::uint64_t{1'700'000'000'000'000'000}; });
    std::set<std::uint64_t> sameTick;
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(sameTick.insert(frozen.nextSeed()).second) << "attempt " << i;
}

// The daily labyrinth's seed is one documented function of the date and the
// revision, the same in every front end: pinned here for one date.
TEST(Seeds, TheDailySeedIsTheRevisionsSeedOfTheDatesDigits) {
    EXPECT_EQ(dailySeed({2026, 12, 8}), 7166512511697589649ULL);
    EXPECT_EQ(dailySeed({2026, 12, 8}), deriveSeed(generatorRevision, 20261208));
    EXPECT_NE(dailySeed({2026, 12, 9}), dailySeed({2026, 12, 8}));
    EXPECT_NE(dailySeed({2026, 12, 8}, generatorRevision + 1), dailySeed({2026, 12, 8}));
}

}  // namespace
}  // namespace labyrinth
