// The application layer, natively: the links that name a labyrinth, the
// choice of the labyrinth a write writes, the write of a copy in memory with
// the names of what it offers, how a write names its outcome, and the run
// under fog. The page calls these through its module (tests/web/ compare
// that with the command line); here each rule is a row.

#include <gtest/gtest.h>

#include "map/map_svg.h"
#include "requests/files.h"
#include "requests/labyrinth_text.h"
#include "requests/links.h"
#include "requests/look.h"
#include "requests/memory_write.h"
#include "requests/track.h"
#include "writer/driver.h"
#include "requests/write.h"
#include "test_support.h"
#include "writer/seed_code.h"

namespace labyrinth::requests {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Links, AreReadInFullOrRefused) {
    const struct {
        const char* fragment;
        bool names;
        const char* seed;
        bool track;
        const char* problem;  // part of it; "" for none
    } rows[] = {
        {"", false, "", false, ""},
        {"seed=7", true, "7", false, ""},
        {"r=1&seed=7&track", true, "7", true, ""},
        {"track&seed=7", true, "7", true, ""},
        {"r=1&daily=2026-12-08", true, "7166512511697589649", false, ""},
        {"r=2&seed=7", true, "2:7", false, "generator revision 2; this page writes revision 1"},
        {"r=1&track", true, "", true, "gives neither a seed nor a daily date"},
        {"R=1&SEED=42", true, "", false, "\"R\" is none of the keys r, seed, daily, code, lab, run, track, view, size and bg"},
        // A sealed race's link names its code, and a run's link carries its steps.
        {"r=1&code=honey-mango-reed-canoe&track", true, "", true, ""},
        {"r=1&code=honey-mango-reed&track", true, "", true, "this link's seed code is refused"},
        {"r=1&seed=4&code=honey-mango-reed-canoe", true, "", false, "more than one of a seed, a daily date and a seed code"},
        {"r=1&seed=42&track&run=Eqg9D", true, "42", true, ""},
        {"r=1&seed=42&run=Eqg9D", true, "", false, "a run's steps without track"},
        {"r=1&seed=42&track&run=Eq", true, "", true, "this link's run is damaged"},
        // The broadcast view: with track, a size within reason, a colour.
        {"r=1&seed=42&track&view=broadcast&size=640x360&bg=00ff00", true, "42", true, ""},
        {"r=1&seed=42&view=broadcast", true, "", false, "view=broadcast without track"},
        {"r=1&seed=42&track&view=board", true, "", true, "the view is broadcast, not \"board\""},
        {"r=1&seed=42&track&view=broadcast&size=99999", true, "", true, "each from 120 to 4096"},
        {"r=1&seed=42&track&view=broadcast&bg=green", true, "", true, "3 or 6 hexadecimal digits"},
        {"r=1&seed=42&track&bg=000", true, "", true, "without view=broadcast"},
        {"r=1&seed=42&track=0", true, "", false, "track takes no value, not \"track=0\""},
        {"seed=42&", true, "", false, "an \"&\" too many"},
        {"r=1;seed=42", true, "", false, "names no generator revision (its r= is \"1;seed=42\")"},
        {"r=1&seed=42&seed=43", true, "", false, "gives seed= more than once"},
        {"r=1&seed=abc", true, "abc", false, "this link's seed is refused: the seed must be a whole number"},
        {"r=1&daily=2027-02-29", true, "", false, "this link's daily date is refused"},
        {"r=1&seed=4&daily=2026-12-08", true, "", false, "both a seed and a daily date"},
    };
    for (const auto& row : rows) {
        const LinkRead link = readLink(row.fragment);
        EXPECT_EQ(link.names, row.names) << row.fragment;
        EXPECT_EQ(link.seed, row.seed) << row.fragment;
        EXPECT_EQ(link.track, row.track) << row.fragment;
        if (*row.problem == '\0') {
            EXPECT_EQ(link.problem, "") << row.fragment;
        } else {
            EXPECT_NE(link.problem.find(row.problem), std::string::npos) << row.fragment << ": " << link.problem;
        }
    }
    // What the page makes, it reads back as the same labyrinth.
    for (const bool track : {false, true}) {
        const LinkRead seed = readLink(linkFragment(18446744073709551615ULL, track));
        EXPECT_TRUE(seed.problem.empty() && seed.seed == "18446744073709551615" && seed.track == track);
        const LinkRead daily = readLink(dailyLinkFragment("2026-12-08", track));
        EXPECT_TRUE(daily.problem.empty() && daily.daily == "2026-12-08" && daily.track == track);
    }
    EXPECT_EQ(dailyLinkFragment("2026-13-01"), "");
    const LinkRead streamed = readLink("r=1&seed=42&track&view=broadcast&size=640x360&bg=00ff00");
    EXPECT_TRUE(streamed.broadcast && streamed.width == 640 && streamed.height == 360 && streamed.background == "#00ff00");
    const LinkRead plain = readLink("r=1&seed=42&track&view=broadcast");
    EXPECT_TRUE(plain.broadcast && plain.width == 480 && plain.height == 480 && plain.background.empty())
        << "480 by 480, on a transparent background, unless the link says otherwise";
    const LinkRead sealed = readLink(codeLinkFragment("honey mango reed canoe", true) + "&run=Eqg9D");
    EXPECT_TRUE(sealed.problem.empty() && sealed.code == "honey mango reed canoe" && sealed.run == "Eqg9D") << sealed.problem;
}

// A sealed race's link carries the rooms to track: the same map as the
// image's, in a few hundred characters, and nothing of a damaged text.
TEST(LabyrinthText, CarriesTheRoomsOfTheMap) {
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        const ReadBack written = labyrinthOfSeed(seed).value();
        const std::string text = labyrinthText(written.stream);
        EXPECT_LT(text.size(), 700U) << seed;
        const auto back = labyrinthOfText(text);
        ASSERT_TRUE(back.ok()) << seed;
        EXPECT_EQ(map::mapSvg(back.value(), "a b c d", map::SvgForm::Compact),
                  map::mapSvg(written.stream, "a b c d", map::SvgForm::Compact))
            << seed;
        const LinkRead link = readLink(sealedLinkFragment(written.stream, written.seedCode));
        EXPECT_TRUE(link.problem.empty() && link.track && link.labyrinth == text && link.code == written.seedCode)
            << link.problem;
        EXPECT_FALSE(labyrinthOfText(text.substr(0, text.size() / 2)).ok()) << "cut short";
        EXPECT_FALSE(labyrinthOfText(text + "A").ok()) << "more than the rooms";
    }
    EXPECT_FALSE(labyrinthOfText("2AAA").ok()) << "another form";
    EXPECT_NE(readLink("r=1&seed=4&lab=1AA&track").problem.find("without its seed code"), std::string::npos);
}

TEST(WriteChoice, IsOneOfASeedADayALayoutOrAFreshSeed) {
    const Bytes notJson{'{', 'x'};
    const struct {
        const char* what;
        const char* seed;
        const char* daily;
        const Bytes* layout;
        std::uint64_t master;  // with a fresh seed of 99
        const char* label;
        const char* refusal;  // part of it; nullptr when taken
    } rows[] = {
        {"a fresh seed", "", "", nullptr, 99, "99", nullptr},
        {"a seed", "42", "", nullptr, 42, "42", nullptr},
        {"a seed with its revision", "1:42", "", nullptr, 42, "42", nullptr},
        {"a day", "", "2026-12-08", nullptr, dailySeed({2026, 12, 8}), "daily-2026-12-08", nullptr},
        {"a seed of another revision", "2:42", "", nullptr, 0, "", "the seed 2:42 is for labyrinths of generator revision 2; this page"},
        {"no seed", "abc", "", nullptr, 0, "", "a whole number from 0 to 18446744073709551615"},
        {"a day that does not exist", "", "2027-02-29", nullptr, 0, "", "not \"2027-02-29\""},
        {"a layout that is no JSON", "", "", &notJson, 0, "", "mine.json: line 1, column 2"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto choice = choiceFromText(row.seed, row.daily, row.layout ? "mine.json" : "",
                                           row.layout ? *row.layout : Bytes{}, pageName);
        if (row.refusal != nullptr) {
            ASSERT_FALSE(choice.ok());
            EXPECT_NE(choice.error().message.find(row.refusal), std::string::npos) << choice.error().message;
            continue;
        }
        ASSERT_TRUE(choice.ok()) << choice.error().message;
        EXPECT_EQ(masterSeed(choice.value(), 99), row.master);
        EXPECT_EQ(writeLabel(choice.value(), row.master), row.label);
    }
}

TEST(WriteCopy, WritesTheSameBytesAsTheDriverAndNamesWhatItOffers) {
    const InputFile image{"roms/Game.NES", testing::syntheticImage()};
    const InputFile text{"tgltext.tgl", testing::syntheticText()};
    const auto written = writeCopy({image, text, "42", {}, {}});
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(written.value().seed, 42U);
    ASSERT_EQ(written.value().downloads.size(), 1U);
    EXPECT_EQ(written.value().downloads[0].name, "Game-42.nes");
    // The very bytes of the driver's click on the same files.
    MemoryFile rom("game.nes", image.bytes);
    MemoryFile block("tgltext.tgl", text.bytes);
    SilentDriverHost host;
    const ClickResult click = writeChoice(rom, block, {}, 42, host);
    ASSERT_TRUE(click.status.ok());
    EXPECT_EQ(written.value().downloads[0].bytes, rom.bytes());
    EXPECT_EQ(written.value().seedCode, seedCode(click.stream));

    // A layout: the spoiler of that write gives that labyrinth again, named after it.
    const auto spoiler = spoilerOfImage({"w.nes", rom.bytes()});
    ASSERT_TRUE(spoiler.ok());
    const auto again = writeCopy({image, text, "", {"mine.json", spoiler.value().bytes}, {}});
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(again.value().downloads[0].name, "Game-mine.nes");
    EXPECT_EQ(again.value().seedCode, written.value().seedCode);

    const struct {
        MemoryWrite request;
        const char* says;
    } refused[] = {
        {{{}, text, "1", {}, {}}, "no cartridge image was given"},
        {{image, {}, "1", {}, {}}, "no text file was given: choose tgltext.tgl"},
        {{{"big.nes", Bytes(static_cast<std::size_t>(maxFileSize) + 1)}, text, "1", {}, {}}, "big.nes: is 16,777,217 bytes"},
        {{{"short.nes", Bytes{'N', 'E', 'S', 0x1A}}, text, "1", {}, {}}, "short.nes"},
        {{image, {"t.tgl", Bytes(10)}, "1", {}, {}}, "t.tgl"},
    };
    for (const auto& row : refused) {
        const auto result = writeCopy(row.request);
        ASSERT_FALSE(result.ok()) << row.says;
        EXPECT_NE(result.error().message.find(row.says), std::string::npos) << result.error().message;
    }
}

TEST(WriteIdentity, NamesACodeOnlyForWhatWasWritten) {
    ClickResult done;
    done.seed = 42;
    done.stream = {1, 2, 0};
    ClickResult failed = done;
    failed.status = Error{"cannot write"};
    LabyrinthChoice layout;
    layout.layout = DecodedStream{};
    layout.layoutName = "mine.json";
    LabyrinthChoice sealed;
    sealed.sealedIn = "race.json";
    const std::string code = seedCode(done.stream);
    const struct {
        const LabyrinthChoice& choice;
        const ClickResult& click;
        bool partly;
        std::string line;
    } rows[] = {
        {{}, done, false, "Seed: 42  Code: " + code},
        {layout, done, false, "Layout: mine.json  Code: " + code},
        {sealed, done, false, "Seed: sealed in race.json  Code: " + code},
        {{}, failed, true, "Seed: 42  (partly written)"},
        {{}, failed, false, "Seed: 42  (nothing was written)"},
        {layout, failed, true, "Layout: mine.json  (partly written)"},
        {sealed, failed, false, "Seed: sealed in race.json  (nothing was written)"},
    };
    for (const auto& row : rows) EXPECT_EQ(writeIdentity(row.choice, row.click, row.partly), row.line);
}

TEST(TrackRun, ALabyrinthToTrackIsTheOneItsSeedWrites) {
    const auto made = labyrinthToTrack({{}, {}, "12345", {}, {}});
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_EQ(made.value().seedCode, seedCode(labyrinthOfSeed(12345).value().written()));
    EXPECT_FALSE(labyrinthToTrack({{}, {}, "", {}, {}}).ok()) << "no seed: nothing to track";
}

}  // namespace
}  // namespace labyrinth::requests
