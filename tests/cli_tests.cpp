// labyrinth-cli write and generate, end to end on synthetic files in a
// temporary folder: what they print, what they change, how they refuse.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <algorithm>

#include "cli_support.h"
#include "writer/decoder.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

using testing::readFile;
using testing::syntheticImage;
using testing::syntheticText;
using testing::TempDir;
using testing::writeFile;
using testing::CommandRun;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

using testing::cli;
using Folder = testing::GameFolder;

TEST(CliWrite, WritesInPlaceAndReportsSeedAttemptsAndDone) {
    Folder f;
    const CommandRun run = cli(f.dir, {"write", "game.nes", "--seed", "42"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out.find("Seed: 42  Code: "), 0U) << run.out;
    EXPECT_NE(run.out.find("Attempts: "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 6), "Done.\n");

    const Bytes image = readFile(f.dir / "game.nes");
    ASSERT_EQ(image.size(), syntheticImage().size());
    EXPECT_TRUE(decodeStream(image).ok());
    EXPECT_TRUE(std::equal(image.begin() + format::textBase, image.begin() + format::textEnd, syntheticText().begin()));
    const Bytes before = syntheticImage();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + format::roomDataPos, before.begin()));
    EXPECT_TRUE(std::equal(image.begin() + format::textEnd, image.end(), before.begin() + format::textEnd));
}

TEST(CliWrite, SameSeedSameBytesAndOutputLeavesTheImageAlone) {
    Folder f;
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "7", "--output", "a.nes"}).exit, 0);
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "7", "-o", "b.nes"}).exit, 0);
    EXPECT_EQ(readFile(f.dir / "a.nes"), readFile(f.dir / "b.nes"));
    EXPECT_EQ(readFile(f.dir / "game.nes"), syntheticImage());

    // In place with the same seed gives the same bytes as the copy.
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "7"}).exit, 0);
    EXPECT_EQ(readFile(f.dir / "game.nes"), readFile(f.dir / "a.nes"));

    const Bytes a = readFile(f.dir / "a.nes");
    const CommandRun refused = cli(f.dir, {"write", "game.nes", "--seed", "8", "--output", "a.nes"});
    EXPECT_EQ(refused.exit, 2);
    EXPECT_NE(refused.err.find("a.nes: exists (use --force to replace it)"), std::string::npos) << refused.err;
    EXPECT_EQ(readFile(f.dir / "a.nes"), a);
    EXPECT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "8", "--output", "a.nes", "--force"}).exit, 0);
    EXPECT_NE(readFile(f.dir / "a.nes"), a);
}

// --daily without a date is today's labyrinth by UTC: the same bytes as
// --daily with today's date, and as --seed with the seed it reports.
TEST(CliWrite, TheDailyLabyrinthIsTodaysByUtcAndNamesItsDate) {
    Folder f;
    const auto today = std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02u-%02u", static_cast<int>(today.year()),
                  static_cast<unsigned>(today.month()), static_cast<unsigned>(today.day()));
    const CommandRun daily = cli(f.dir, {"write", "game.nes", "--daily", "-o", "a.nes"});
    ASSERT_EQ(daily.exit, 0) << daily.err;
    EXPECT_EQ(daily.out.find(std::string("Daily labyrinth of ") + date + " (UTC)\nSeed: "), 0U) << daily.out;
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--daily", date, "-o", "b.nes"}).exit, 0);
    const std::string seed = testing::reportField(daily.out, "Seed").substr(0, testing::reportField(daily.out, "Seed").find(' '));
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", seed, "-o", "c.nes"}).exit, 0);
    EXPECT_EQ(readFile(f.dir / "a.nes"), readFile(f.dir / "b.nes"));
    EXPECT_EQ(readFile(f.dir / "a.nes"), readFile(f.dir / "c.nes"));
}

// A labyrinth written from its description (show --json) is the image's
// labyrinth again, byte for byte; a description that breaks a rule of verify
// is refused with every problem named, and nothing is written.
TEST(CliWrite, ALayoutWritesTheLabyrinthItDescribesOnceEveryCheckPasses) {
    Folder f;
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "12"}).exit, 0);
    const CommandRun shown = cli(f.dir, {"show", "game.nes", "--json"});
    writeFile(f.dir / "spoiler.json", Bytes(shown.out.begin(), shown.out.end()));
    const CommandRun copied = cli(f.dir, {"write", "game.nes", "--layout", "spoiler.json", "-o", "copy.nes"});
    ASSERT_EQ(copied.exit, 0) << copied.err;
    EXPECT_EQ(testing::firstDifference(readFile(f.dir / "copy.nes"), readFile(f.dir / "game.nes")), "identical");
    EXPECT_EQ(copied.out.find("Layout: spoiler.json  Code: " + nlohmann::json::parse(shown.out)["seedCode"].get<std::string>()),
              0U) << copied.out;

    auto broken = nlohmann::json::parse(shown.out);
    for (auto& room : broken["rooms"])
        if (room["record"] == "plain") room["random"] = 99;
    broken["rooms"].erase(broken["rooms"].begin() + 40);
    const std::string text = broken.dump();
    writeFile(f.dir / "broken.json", Bytes(text.begin(), text.end()));
    const Bytes before = readFile(f.dir / "game.nes");
    const CommandRun refused = cli(f.dir, {"write", "game.nes", "--layout", "broken.json"});
    EXPECT_EQ(refused.exit, 2);
    EXPECT_NE(refused.err.find("broken.json: the random byte of room"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("into the empty cell"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find(" problems in the labyrinth it describes; nothing was written"), std::string::npos)
        << refused.err;
    EXPECT_EQ(readFile(f.dir / "game.nes"), before);
}

TEST(CliWrite, TextFileDefaultsToTheImagesFolderAndCanBeNamed) {
    Folder f;
    fs::create_directory(f.dir / "roms");
    fs::rename(f.dir / "game.nes", f.dir / "roms" / "game.nes");
    const CommandRun missing = cli(f.dir, {"write", "roms/game.nes"});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_NE(missing.err.find("roms/tgltext.tgl"), std::string::npos) << missing.err;
    EXPECT_EQ(cli(f.dir, {"write", "roms/game.nes", "--text", "tgltext.tgl"}).exit, 0);
}

TEST(CliWrite, BadInputIsRefusedWithTheFileNamedAndNothingChanged) {
    Bytes noMagic = syntheticImage();
    noMagic[0] = 'M';
    // As root the permission bits do not keep the tool out: it refuses an
    // image marked read-only itself, and the unreadable files are tried as
    // an unprivileged user.
    const bool root = ::geteuid() == 0;
    const testing::Unprivileged unprivileged = testing::unprivilegedPrefix();
    const struct {
        const char* what;
        std::function<void(const TempDir&)> spoil;
        const char* says;
        bool asUnprivileged = false;
    } rows[] = {
        {"missing image", [](const TempDir& d) { fs::remove(d / "game.nes"); }, "game.nes: cannot open"},
        {"folder as image", [](const TempDir& d) { fs::remove(d / "game.nes"); fs::create_directory(d / "game.nes"); },
         "game.nes: is a folder"},
        {"wrong magic", [&](const TempDir& d) { writeFile(d / "game.nes", noMagic); }, "not an NES cartridge image"},
        {"short image", [](const TempDir& d) { writeFile(d / "game.nes", syntheticImage(88069)); }, "88069 bytes long"},
        {"empty image", [](const TempDir& d) { writeFile(d / "game.nes", {}); }, "0 bytes long"},
        {"read-only image", [](const TempDir& d) { ::chmod((d / "game.nes").c_str(), 0444); },
         root ? "game.nes: is marked read-only" : "Permission denied"},
        {"read-only image, unprivileged", [](const TempDir& d) { ::chmod((d / "game.nes").c_str(), 0444); },
         "Permission denied", true},
        {"unreadable image", [](const TempDir& d) { ::chmod((d / "game.nes").c_str(), 0200); }, "Permission denied",
         true},
        {"missing text", [](const TempDir& d) { fs::remove(d / "tgltext.tgl"); }, "tgltext.tgl: cannot open"},
        {"empty text", [](const TempDir& d) { writeFile(d / "tgltext.tgl", {}); }, "holds 0 bytes"},
        {"unreadable text", [](const TempDir& d) { ::chmod((d / "tgltext.tgl").c_str(), 0); }, "Permission denied",
         true},
        {"short text", [](const TempDir& d) { writeFile(d / "tgltext.tgl", syntheticText(445)); }, "holds 445 bytes"},
        {"folder as text", [](const TempDir& d) { fs::remove(d / "tgltext.tgl"); fs::create_directory(d / "tgltext.tgl"); },
         "tgltext.tgl: is a folder"},
    };
    for (const auto& row : rows) {
        if (row.asUnprivileged && !unprivileged.available) {
            ADD_FAILURE() << row.what << ": " << unprivileged.reason;
            continue;
        }
        Folder f;
        if (row.asUnprivileged) testing::openToEveryone(f.dir.path());
        row.spoil(f.dir);
        const bool imageIsFile = fs::is_regular_file(f.dir / "game.nes");
        const Bytes before = imageIsFile ? readFile(f.dir / "game.nes") : Bytes{};
        const auto entriesBefore = std::distance(fs::directory_iterator(f.dir.path()), fs::directory_iterator());
        const CommandRun run = cli(f.dir, {"write", "game.nes"},
                                                   row.asUnprivileged ? unprivileged.prefix : std::vector<std::string>{});
        EXPECT_EQ(run.exit, 2) << row.what;
        EXPECT_NE(run.err.find(row.says), std::string::npos) << row.what << ": " << run.err;
        EXPECT_EQ(run.out.find("Done."), std::string::npos) << row.what;
        if (imageIsFile) {
            EXPECT_EQ(readFile(f.dir / "game.nes"), before) << row.what;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(f.dir.path()), fs::directory_iterator()), entriesBefore)
            << row.what << ": no file is created";
    }
}

TEST(CliWrite, UsageErrorsExitWith2AndHelpWith0) {
    Folder f;
    EXPECT_EQ(cli(f.dir, {}).exit, 2);
    EXPECT_EQ(cli(f.dir, {"write"}).exit, 2);
    EXPECT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "minus"}).exit, 2);
    const CommandRun help = cli(f.dir, {"write", "--help"});
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("--output"), std::string::npos);
    EXPECT_EQ(readFile(f.dir / "game.nes"), syntheticImage());

    // Help names each value plainly: the image IMAGE, a file FILE, a number N.
    const struct {
        const char* command;
        std::vector<std::string> shows;
    } rows[] = {
        {"write", {"\n  IMAGE  ", "--text FILE  ", "-o,--output FILE  ", "--seed N "}},
        {"show", {"\n  IMAGE  ", "--png FILE  ", "--svg FILE  "}},
        {"verify", {"\n  IMAGE  ", "--text FILE  ", "--original FILE  ", "--seed N "}},
        {"generate", {"--seed N  "}},
    };
    for (const auto& row : rows) {
        const CommandRun run = cli(f.dir, {row.command, "--help"});
        EXPECT_EQ(run.exit, 0) << row.command;
        for (const std::string& shown : row.shows) EXPECT_NE(run.out.find(shown), std::string::npos) << row.command << ": " << shown << "\n" << run.out;
        for (const char* hidden : {":FILE", "REQUIRED"}) EXPECT_EQ(run.out.find(hidden), std::string::npos) << row.command << ": " << hidden;
    }
}

// `write --json`, for race bots: one object on standard output, whatever
// the outcome, with the seed (a string; none when sealed), the code, every
// file and whether it was written, the verdict, the errors, and a tracker
// link that opens the same labyrinth; for a sealed one it carries the rooms.
TEST(CliWrite, JsonTellsBotsWhatWasWrittenAndHowToTrackIt) {
    Folder f;
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "12", "-o", "w.nes"}).exit, 0);
    writeFile(f.dir / "mine.json", [&] {
        const std::string text = cli(f.dir, {"show", "w.nes", "--json"}).out;
        return Bytes(text.begin(), text.end());
    }());
    const struct {
        std::vector<std::string> args;
        int exit;
        const char* verdict;
        const char* link;  // the tracker link's start; nullptr for none
        bool seeded;       // a seed is named
    } rows[] = {
        {{"--seed", "42", "-o", "a.nes", "--patch", "a.bps"}, 0, "done", "https://x.example/p/#r=1&seed=42&track", true},
        {{"--daily", "2026-12-08", "-o", "b.nes"}, 0, "done", "https://x.example/p/#r=1&daily=2026-12-08&track", true},
        {{"--layout", "mine.json", "-o", "c.nes"}, 0, "done", "https://x.example/p/#r=1&code=", false},
        {{"--sealed", "--spoiler", "race.json", "-o", "d.nes"}, 0, "done", "https://x.example/p/#r=1&code=", false},
        {{"--seed", "42", "-o", "game.nes"}, 2, "refused", nullptr, false},
        {{"--seed", "42", "--png", "no/such/folder.png"}, 2, "refused", nullptr, false},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"write", "game.nes", "--json", "--page", "https://x.example/p/#old"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        SCOPED_TRACE(args[5]);
        const CommandRun run = cli(f.dir, args);
        EXPECT_EQ(run.exit, row.exit) << run.err;
        const auto report = nlohmann::json::parse(run.out);  // standard output holds the object alone
        EXPECT_EQ(report["revision"], 1);
        EXPECT_EQ(report["verdict"], row.verdict);
        EXPECT_EQ(report.contains("seed"), row.seeded) << report.dump();
        if (row.seeded) { EXPECT_TRUE(report["seed"].is_string()); }
        EXPECT_EQ(report["errors"].empty(), row.exit == 0) << report.dump();
        for (const auto& file : report["files"])
            EXPECT_EQ(file["written"].get<bool>(), row.exit == 0 && fs::exists(f.dir / file["path"].get<std::string>()))
                << file.dump();
        if (row.link == nullptr) {
            EXPECT_TRUE(report["seedCode"].is_null() && report["trackerLink"].is_null()) << report.dump();
            continue;
        }
        const std::string link = report["trackerLink"];
        EXPECT_EQ(link.rfind(row.link, 0), 0U) << link;
        EXPECT_LT(link.size(), 2000U);
        // The labyrinth the link names is the one written: by its seed, or
        // by the code and the rooms it carries.
        const std::string written = report["files"][0]["path"];
        EXPECT_EQ(cli(f.dir, {"show", written}).out.find(report["seedCode"].get<std::string>()) != std::string::npos, true);
        if (row.seeded) {
            EXPECT_EQ(cli(f.dir, {"verify", written, "--seed", report["seed"]}).exit, 0);
        } else {
            std::string code = report["seedCode"];
            std::replace(code.begin(), code.end(), ' ', '-');
            EXPECT_NE(link.find("&code=" + code + "&lab="), std::string::npos) << link;
            EXPECT_EQ(run.out.find("\"seed\""), std::string::npos) << "a sealed seed is told nowhere";
        }
    }
    // A failed write says what failed, and names no code.
    const CommandRun full = cli(f.dir, {"write", "game.nes", "--seed", "3", "--json"}, {"sh", "-c", "\"$0\" \"$@\" 2>/dev/null >/dev/full; echo $?"});
    EXPECT_EQ(full.out, "1\n");
}

TEST(CliGenerate, PrintsOneJsonObjectPerClickThatWriteRepeats) {
    Folder f;
    const CommandRun run = cli(f.dir, {"generate", "--count", "3", "--seed", "5", "--json"});
    ASSERT_EQ(run.exit, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::vector<nlohmann::json> clicks;
    while (std::getline(lines, line)) clicks.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(clicks.size(), 3U);
    for (const auto& click : clicks) {
        for (const char* key : {"seed", "attempts", "generations", "rooms", "items", "deadEnds", "sequences", "tags",
                                "links", "areaMarks", "streamBytes"})
            EXPECT_TRUE(click.contains(key)) << key;
        EXPECT_EQ(click["links"], 10);
        EXPECT_EQ(click["areaMarks"], 11);
        EXPECT_GE(click["generations"].get<int>(), click["attempts"].get<int>());
    }

    // The seed of a click repeats it through write. It is a string, so that
    // readers that take JSON numbers as doubles (JavaScript) get it whole.
    ASSERT_TRUE(clicks[1]["seed"].is_string()) << clicks[1].dump();
    const std::string seed = clicks[1]["seed"];
    const CommandRun plain = cli(f.dir, {"generate", "--count", "3", "--seed", "5"});
    EXPECT_NE(plain.out.find("\nseed=" + seed + " attempts="), std::string::npos) << plain.out;
    const CommandRun write = cli(f.dir, {"write", "game.nes", "--seed", seed});
    ASSERT_EQ(write.exit, 0);
    const auto decoded = decodeStream(readFile(f.dir / "game.nes"));
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value().end + 1 - format::roomDataPos, clicks[1]["streamBytes"].get<int>());
    EXPECT_NE(write.out.find("Attempts: " + std::to_string(clicks[1]["attempts"].get<int>())), std::string::npos);
}

}  // namespace
}  // namespace labyrinth
