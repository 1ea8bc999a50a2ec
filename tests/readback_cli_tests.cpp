// End-to-end runs of `labyrinth-cli show` and `verify` (and the read-back
// options of `write`) on synthetic images in a temporary folder.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_support.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

using testing::CommandRun;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

std::string text(const std::filesystem::path& path) {
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

// Runs labyrinth-cli with the words of `args` in `dir`.
CommandRun cli(const TempDir& dir, const std::string& args) { return testing::cli(dir, testing::words(args)); }

std::string field(const std::string& output, const std::string& name) { return testing::reportField(output, name); }

class ReadbackCli : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "game.nes", testing::syntheticImage());
        writeFile(dir / "blank.nes", testing::syntheticImage());
        writeFile(dir / "tgltext.tgl", testing::syntheticText());
    }
    // Writes seed 42 into game.nes.
    void write() {
        const CommandRun run = cli(dir, "write game.nes --seed 42");
        ASSERT_EQ(run.exit, 0) << run.err;
    }
    TempDir dir;
};

TEST_F(ReadbackCli, WriteShowAndVerifyAgreeOnTheSeedCode) {
    const CommandRun written = cli(dir, "write game.nes --seed 42 --png written.png --spoiler spoiler.json");
    ASSERT_EQ(written.exit, 0) << written.err;
    const std::string code = testing::reportedCode(written.out);
    EXPECT_EQ(std::count(code.begin(), code.end(), ' '), 3) << written.out;
    EXPECT_EQ(written.out.find("Seed: 42  Code: " + code + "\n"), 0U) << "the seed comes first: " << written.out;

    const CommandRun shown = cli(dir, "show game.nes");
    ASSERT_EQ(shown.exit, 0) << shown.err;
    EXPECT_EQ(field(shown.out, "Seed code"), code);
    EXPECT_EQ(shown.out.find('\x1b'), std::string::npos) << "no colour into a file";

    const CommandRun verified = cli(dir, "verify game.nes --text tgltext.tgl --original blank.nes");
    EXPECT_EQ(verified.exit, 0) << verified.out << verified.err;
    EXPECT_EQ(field(verified.out, "Seed code"), code);

    // The spoiler written by `write` is the document `show --json` prints.
    const CommandRun json = cli(dir, "show game.nes --json");
    ASSERT_EQ(json.exit, 0) << json.err;
    const auto shownJson = nlohmann::json::parse(json.out);
    EXPECT_EQ(shownJson, nlohmann::json::parse(text(dir / "spoiler.json")));
    EXPECT_EQ(shownJson["seedCode"], code);
    EXPECT_EQ(shownJson["summary"]["links"], 10);

    const auto png = readFile(dir / "written.png");
    ASSERT_GT(png.size(), 24U);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
}

// PNG width and height, big-endian in the IHDR chunk at bytes 16 and 20.
std::pair<int, int> pngSize(const std::vector<std::uint8_t>& png) {
    auto word = [&](std::size_t at) {
        return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    };
    return {word(16), word(20)};
}

TEST_F(ReadbackCli, ShowPngAtAScale) {
    write();
    const CommandRun run = cli(dir, "show game.nes --png map.png --scale 20");
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.err, "") << "no notes from the graphics library";
    const auto size = pngSize(readFile(dir / "map.png"));
    EXPECT_EQ(size, std::make_pair(690, 510));
}

TEST_F(ReadbackCli, SvgMapFromShowAndWriteByTheOutputPolicy) {
    const CommandRun written = cli(dir, "write game.nes --seed 42 --svg - --png written.png");
    ASSERT_EQ(written.exit, 0) << written.err;
    // Standard output holds the SVG alone; the report went to standard error.
    EXPECT_EQ(written.out.rfind("<?xml", 0), 0U) << written.out.substr(0, 80);
    EXPECT_NE(written.out.find("</svg>"), std::string::npos);
    EXPECT_NE(written.err.find("Seed: 42"), std::string::npos) << written.err;
    EXPECT_NE(written.err.find("Done."), std::string::npos) << written.err;
    const std::string code = testing::reportedCode(written.err);
    EXPECT_NE(written.out.find("seed code " + code), std::string::npos);

    const CommandRun shown = cli(dir, "show game.nes --svg map.svg");
    ASSERT_EQ(shown.exit, 0) << shown.err;
    EXPECT_EQ(text(dir / "map.svg"), written.out) << "show and write draw the same map";
    EXPECT_EQ(field(shown.out, "SVG"), "map.svg");
    const CommandRun toStdout = cli(dir, "show game.nes --svg -");
    ASSERT_EQ(toStdout.exit, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, written.out);

    // Both documents on standard output, or an SVG over a file without
    // --force, over an input, or into a FIFO: refused, nothing written.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const auto before = readFile(dir / "map.svg");
    struct Case {
        std::string args;
        std::string message;
    };
    const Case cases[] = {
        {"show game.nes --json --svg -", "--svg: \"-\" (standard output)"},
        {"write game.nes --seed 2 --svg - --spoiler -", "-: is named for both --svg and --spoiler"},
        {"show game.nes --svg map.svg", "map.svg: exists (use --force to replace it)"},
        {"write game.nes --seed 2 --svg game.nes", "choose another file for --svg"},
        {"show game.nes --svg pipe --force", "pipe: is a FIFO, not a regular file"},
        {"write game.nes --seed 2 --svg other.svg --png other.svg", "named for both"},
    };
    const auto image = readFile(dir / "game.nes");
    for (const Case& c : cases) {
        const CommandRun run = cli(dir, c.args);
        EXPECT_EQ(run.exit, 2) << c.args << "\n" << run.out << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(readFile(dir / "game.nes"), image) << c.args;
    }
    EXPECT_EQ(readFile(dir / "map.svg"), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "other.svg"));
    const CommandRun forced = cli(dir, "show blank.nes --svg map.svg --force");
    EXPECT_EQ(forced.exit, 2) << "blank.nes holds no labyrinth";
    EXPECT_EQ(readFile(dir / "map.svg"), before);
    ASSERT_EQ(cli(dir, "write blank.nes --seed 5 --svg map.svg --force").exit, 0);
    EXPECT_NE(readFile(dir / "map.svg"), before);
}

TEST_F(ReadbackCli, VerifyNamesEachDamage) {
    write();
    struct Case {
        const char* what;
        std::int64_t offset;
        const char* reported;
    };
    const Case cases[] = {
        {"a byte before the stream", format::roomDataPos - 1, "changed before the room records"},
        {"a byte of the text block", format::textBase + 3, "text block differs"},
        {"the start record's third byte", -1, "start record"},
    };
    const auto good = readFile(dir / "game.nes");
    for (const Case& c : cases) {
        auto bad = good;
        // The start record follows the empty or room records before it; find
        // it by decoding would repeat the decoder, so the offset is looked up
        // through `show --json`.
        std::int64_t offset = c.offset;
        if (offset < 0) {
            const auto json = nlohmann::json::parse(cli(dir, "show game.nes --json").out);
            for (const auto& room : json["rooms"])
                if (room["record"] == "start") offset = room["offset"].get<std::int64_t>() + 2;
        }
        bad[static_cast<std::size_t>(offset)] ^= 0x21;
        writeFile(dir / "bad.nes", bad);
        const CommandRun run = cli(dir, "verify bad.nes --text tgltext.tgl --original blank.nes");
        EXPECT_EQ(run.exit, 1) << c.what;
        EXPECT_NE(run.out.find(c.reported), std::string::npos) << c.what << ":\n" << run.out;
        EXPECT_NE(run.out.find("bad.nes: 1 problem"), std::string::npos) << c.what << ":\n" << run.out;
    }
}

TEST_F(ReadbackCli, BadInputGetsAClearErrorAndChangesNothing) {
    write();
    writeFile(dir / "notnes.nes", std::vector<std::uint8_t>(static_cast<std::size_t>(format::minImageSize), 1));
    auto shortImage = testing::syntheticImage(static_cast<std::size_t>(format::textBase));
    writeFile(dir / "short.nes", shortImage);
    writeFile(dir / "short.tgl", testing::syntheticText(100));
    const auto before = readFile(dir / "game.nes");

    struct Case {
        std::string args;
        int exit;
        std::string message;
    };
    const Case cases[] = {
        {"show missing.nes", 2, "missing.nes"},
        {"verify missing.nes", 2, "missing.nes"},
        {"show notnes.nes", 2, "not an NES cartridge image"},
        {"verify short.nes", 2, "short.nes"},
        {"show blank.nes", 2, "holds no readable labyrinth"},
        {"verify blank.nes", 1, "offset"},
        {"verify game.nes --text short.tgl", 2, "short.tgl"},
        {"verify game.nes --original missing.nes", 2, "missing.nes"},
        {"show game.nes --png game.nes", 2, "choose another file"},
        {"show game.nes --png ./game.nes", 2, "choose another file"},
        {"write game.nes --seed 1 --png tgltext.tgl", 2, "choose another file"},
        {"write game.nes --seed 1 --spoiler game.nes", 2, "choose another file"},
        {"write game.nes --seed 1 --output copy.nes --png copy.nes", 2, "named for both --output and --png"},
        {"write game.nes --seed 1 --png same.out --spoiler same.out", 2, "both"},
        {"show game.nes --scale 20", 2, "--png"},
        {"show game.nes --png x.png --scale 5", 2, "scale"},
    };
    for (const Case& c : cases) {
        const CommandRun run = cli(dir, c.args);
        EXPECT_EQ(run.exit, c.exit) << c.args << "\n" << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << c.args << "\n" << run.out << run.err;
        EXPECT_EQ(readFile(dir / "game.nes"), before) << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.nes"));
    EXPECT_FALSE(std::filesystem::exists(dir / "same.out"));
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

// verify says what it compared the image with: the text file beside it (or
// none), the labyrinth of a seed byte for byte, a seed code.
TEST_F(ReadbackCli, VerifyComparesWithTheTextBesideItASeedAndASeedCode) {
    write();
    for (const char* folder : {"other", "alone"}) {
        std::filesystem::create_directory(dir / folder);
        std::filesystem::copy_file(dir / "game.nes", dir / folder / "game.nes");
    }
    auto otherText = testing::syntheticText();
    otherText[100] ^= 1;
    writeFile(dir / "other" / "tgltext.tgl", otherText);
    const std::string code = field(cli(dir, "show game.nes").out, "Seed code");
    const struct {
        std::string args;
        int exit;
        std::vector<std::string> says;
    } cases[] = {
        {"verify game.nes", 0, {"game.nes: text block compared with tgltext.tgl\n", "complete and consistent"}},
        {"verify other/game.nes", 1,
         {"other/game.nes: the text block differs from the text file in 1 of 446 bytes, first at offset 87724",
          "text block compared with other/tgltext.tgl", "other/game.nes: 1 problem"}},
        {"verify alone/game.nes", 0, {"alone/game.nes: text block not compared: there is no tgltext.tgl beside it"}},
        {"verify game.nes --seed 42", 0, {"compared byte for byte with the labyrinth of seed 42\n"}},
        {"verify game.nes --seed 43", 1,
         {"game.nes: the room records differ from the labyrinth that seed 43 writes in "}},
        {"verify game.nes --code '" + code + "'", 0,
         {"game.nes: compared with the seed code " + code + "\n", "complete and consistent"}},
        {"verify game.nes --code 'ACORN  acorn acorn acorn'", 1,
         {"game.nes: the labyrinth has the seed code " + code + ", not acorn acorn acorn acorn",
          "game.nes: compared with the seed code acorn acorn acorn acorn\n"}},
        {"verify game.nes --code 'not a code'", 2, {"the seed code must be 4 words of the seed-code list"}},
        {"verify game.nes --seed 42 --code 'acorn acorn acorn acorn'", 2, {"excludes"}},
    };
    for (const auto& c : cases) {
        const CommandRun run = cli(dir, c.args);
        EXPECT_EQ(run.exit, c.exit) << c.args << "\n" << run.out << run.err;
        for (const std::string& said : c.says)
            EXPECT_NE((run.out + run.err).find(said), std::string::npos) << c.args << "\n" << run.out << run.err;
    }
}

// A partial spoiler: the JSON of --areas is the full document's rooms, links
// and area entries of those areas (and its summary counts those rooms); the
// terminal map, the PNG and the SVG show them alone. A list of no area, or
// of areas without rooms (a damaged image), is refused with the range.
TEST_F(ReadbackCli, ShowAreasShowsThoseAreasAloneTheRestInFog) {
    write();
    const auto full = nlohmann::json::parse(cli(dir, "show game.nes --json").out);
    const CommandRun partial = cli(dir, "show game.nes --areas 0,3-5 --json");
    ASSERT_EQ(partial.exit, 0) << partial.err;
    const auto json = nlohmann::json::parse(partial.out);
    const auto chosen = [](const nlohmann::json& area) { return area == 0 || (area >= 3 && area <= 5); };
    nlohmann::json rooms = nlohmann::json::array();
    nlohmann::json links = nlohmann::json::array();
    nlohmann::json areas = nlohmann::json::array();
    for (const auto& room : full["rooms"])
        if (chosen(room["area"])) rooms.push_back(room);
    for (const auto& link : full["links"])
        if (chosen(link["fromArea"])) links.push_back(link);
    for (const auto& area : full["areas"])
        if (chosen(area["area"])) areas.push_back(area);
    EXPECT_EQ(json["rooms"], rooms);
    EXPECT_EQ(json["links"], links);
    EXPECT_EQ(json["areas"], areas);
    EXPECT_EQ(json["summary"]["rooms"], rooms.size());
    EXPECT_EQ(json["summary"]["emptyCells"], mazeSize * mazeSize - static_cast<int>(rooms.size()));
    EXPECT_EQ(json["seedCode"], full["seedCode"]);

    // The routes of the chosen areas alone, as the JSON gives them.
    const CommandRun routes = cli(dir, "show game.nes --route --areas 3");
    ASSERT_EQ(routes.exit, 0) << routes.err;
    const auto& three = full["areas"][3];
    EXPECT_EQ(routes.out.find("Seed code: " + full["seedCode"].get<std::string>() + "\n"), 0U) << routes.out;
    EXPECT_NE(routes.out.find("\nArea 3: numbered room (" + three["numberedRoom"]["x"].dump() + ", " +
                              three["numberedRoom"]["y"].dump() + "), " + std::to_string(three["route"].size() - 1) +
                              " doors, through link"),
              std::string::npos)
        << routes.out;
    EXPECT_EQ(routes.out.find("Area 2"), std::string::npos) << routes.out;

    const CommandRun terminal = cli(dir, "show game.nes --areas 2");
    ASSERT_EQ(terminal.exit, 0) << terminal.err;
    EXPECT_NE(terminal.out.find("Fog: only the rooms shown are drawn and counted."), std::string::npos);
    const CommandRun pictures = cli(dir, "show game.nes --areas 2 --png part.png --svg part.svg");
    ASSERT_EQ(pictures.exit, 0) << pictures.err;
    EXPECT_NE(pictures.out.find("Shown: areas 2, the rest in fog"), std::string::npos) << pictures.out;
    EXPECT_EQ(pngSize(readFile(dir / "part.png")), std::make_pair(1104, 816));
    const std::string svg = text(dir / "part.svg");
    const auto inArea2 = std::count_if(full["rooms"].begin(), full["rooms"].end(),
                                       [](const auto& room) { return room["area"] == 2; });
    std::size_t shown = 0;
    for (auto at = svg.find("class=\"room\""); at != std::string::npos; at = svg.find("class=\"room\"", at + 1)) {
        ++shown;
        EXPECT_EQ(svg.substr(svg.find("data-area=", at), 13), "data-area=\"2\"");
    }
    EXPECT_EQ(shown, static_cast<std::size_t>(inArea2));

    // A damaged copy whose area 10 has no rooms: they all claim area 9.
    auto damaged = readFile(dir / "game.nes");
    for (const auto& room : full["rooms"]) {
        if (room["area"] != 10) continue;
        const auto offset = room["offset"].get<std::size_t>();
        const std::string record = room["record"];
        if (record == "item" || record == "dead-end" || record == "plain") damaged[offset + 2] = 9;
        else damaged[offset + 1] = static_cast<std::uint8_t>((damaged[offset + 1] & 0xF0) | 9);
    }
    writeFile(dir / "damaged.nes", damaged);
    const struct {
        std::string args;
        std::string message;
    } refused[] = {
        {"show game.nes --areas 11 --json", "the areas must be numbers from 0 to 10 or ranges of them"},
        {"show game.nes --areas 3,,4", "the areas must be numbers from 0 to 10"},
        {"show game.nes --route --json", "--json excludes --route"},
        {"show damaged.nes --areas 10 --png none.png",
         "damaged.nes: --areas 10: no room is in these areas; the areas are numbers from 0 to 10, and this labyrinth "
         "has rooms in 0-9"},
    };
    for (const auto& c : refused) {
        const CommandRun run = cli(dir, c.args);
        EXPECT_EQ(run.exit, 2) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_EQ(run.out, "") << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "none.png"));
    EXPECT_EQ(cli(dir, "show damaged.nes --areas 9,10 --json").exit, 0);
}

TEST_F(ReadbackCli, PictureToAMissingFolderIsRefusedBeforeTheWrite) {
    const auto before = readFile(dir / "game.nes");
    const CommandRun run = cli(dir, "write game.nes --seed 3 --png nowhere/map.png");
    EXPECT_EQ(run.exit, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("nowhere/map.png: cannot create: No such file or directory"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Done."), std::string::npos) << run.out;
    EXPECT_EQ(readFile(dir / "game.nes"), before);
}

}  // namespace
}  // namespace labyrinth
