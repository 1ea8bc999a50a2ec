// `labyrinth-cli write --patch`, end to end: the patches turn the image as it
// was into the image as written (BPS checked by the npm package `bps`, IPS by
// a minimal applier), are refused where they do not belong, and follow the
// rules for every file the tool writes.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_support.h"
#include "patch_appliers.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

using testing::CommandRun;
using testing::firstDifference;
using testing::readFile;
using testing::syntheticImage;
using testing::syntheticText;
using testing::TempDir;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

using testing::cli;
using Folder = testing::GameFolder;

// The JSON metadata of a BPS patch: after "BPS1" and two sizes, its length
// and its bytes.
nlohmann::json bpsMetadata(const Bytes& patch) {
    std::size_t at = 4;
    const auto number = [&] {
        std::uint64_t value = 0, shift = 1;
        for (;;) {
            const std::uint8_t byte = patch.at(at++);
            value += (byte & 0x7FU) * shift;
            if ((byte & 0x80U) != 0) return value;
            shift <<= 7U;
            value += shift;
        }
    };
    number();
    number();
    const auto length = static_cast<std::ptrdiff_t>(number());
    const auto begin = patch.begin() + static_cast<std::ptrdiff_t>(at);
    return nlohmann::json::parse(std::string(begin, begin + length));
}

TEST(CliPatch, TwentySeedsPatchTheImageAsItWasIntoTheImageAsWritten) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Folder f;
        const bool inPlace = seed % 2 == 1;
        if (inPlace) {  // over a labyrinth already there, so that some bytes stay the same
            ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", std::to_string(seed + 1000)}).exit, 0);
        }
        fs::copy_file(f.dir / "game.nes", f.dir / "before.nes");
        const fs::path written = inPlace ? f.dir / "game.nes" : f.dir / "out.nes";
        std::vector<std::string> args{"write", "game.nes", "--seed", std::to_string(seed), "--patch", "run.bps"};
        if (!inPlace) args.insert(args.end(), {"-o", "out.nes"});
        const CommandRun run = cli(f.dir, args);
        ASSERT_EQ(run.exit, 0) << run.err;
        EXPECT_EQ(testing::reportField(run.out, "Patch"), "run.bps") << run.out;

        const auto applied = testing::applyBps(f.dir / "run.bps", f.dir / "before.nes", f.dir / "applied.nes");
        ASSERT_EQ(applied.exit, 0) << applied.err;
        EXPECT_EQ(firstDifference(readFile(f.dir / "applied.nes"), readFile(written)), "identical");
        const auto metadata = bpsMetadata(readFile(f.dir / "run.bps"));
        EXPECT_EQ(metadata.at("seed"), std::to_string(seed));
        EXPECT_EQ(metadata.at("seedCode"), testing::reportedCode(run.out));
        EXPECT_EQ(metadata.at("revision"), 1);

        // The same write as an IPS patch, from the same image as it was.
        const CommandRun ips =
            cli(f.dir, {"write", "before.nes", "--seed", std::to_string(seed), "-o", "ips.nes", "--patch", "run.ips"});
        ASSERT_EQ(ips.exit, 0) << ips.err;
        const auto patched = testing::applyIps(readFile(f.dir / "run.ips"), readFile(f.dir / "before.nes"));
        ASSERT_TRUE(patched.has_value()) << "malformed IPS patch";
        EXPECT_EQ(firstDifference(*patched, readFile(written)), "identical");
    }
}

TEST(CliPatch, TheApplierRefusesAnotherImageAndACorruptedPatch) {
    Folder f;
    ASSERT_EQ(cli(f.dir, {"write", "game.nes", "--seed", "9", "-o", "out.nes", "--patch", "run.bps"}).exit, 0);
    const Bytes patch = readFile(f.dir / "run.bps");

    // Another image of the same size, one byte apart, far from the labyrinth.
    Bytes other = syntheticImage();
    other[20] ^= 1;
    writeFile(f.dir / "other.nes", other);
    const auto wrongSource = testing::applyBps(f.dir / "run.bps", f.dir / "other.nes", f.dir / "x.nes");
    EXPECT_EQ(wrongSource.exit, 1) << wrongSource.err;
    EXPECT_NE(wrongSource.err.find("Source is not compatible"), std::string::npos) << wrongSource.err;
    EXPECT_FALSE(fs::exists(f.dir / "x.nes"));

    // One byte changed anywhere but in the patch's own CRC: in the metadata,
    // an action, the bytes it writes, the CRC of the target.
    for (const std::size_t at : {std::size_t{12}, std::size_t{80}, patch.size() / 2, patch.size() - 6}) {
        Bytes corrupted = patch;
        corrupted[at] ^= 0x10;
        writeFile(f.dir / "corrupted.bps", corrupted);
        const auto run = testing::applyBps(f.dir / "corrupted.bps", f.dir / "game.nes", f.dir / "y.nes");
        EXPECT_EQ(run.exit, 1) << "byte " << at << ": " << run.err;
        EXPECT_NE(run.err.find("Patch is invalid, it does not have the expected checksum"), std::string::npos)
            << "byte " << at << ": " << run.err;
    }
}

TEST(CliPatch, AnImageBeyondWhatIpsAddressesStillPatchesInBothFormats) {
    Folder f;
    writeFile(f.dir / "game.nes", syntheticImage(std::size_t{24} << 20));
    for (const char* name : {"big.bps", "big.ips"}) {
        const CommandRun run = cli(f.dir, {"write", "game.nes", "--seed", "3", "-o", "out.nes", "--patch", name, "-f"});
        ASSERT_EQ(run.exit, 0) << run.err;
        EXPECT_LT(fs::file_size(f.dir / name), 4096U) << "a patch holds the labyrinth's bytes, not the image";
    }
    const Bytes written = readFile(f.dir / "out.nes");
    const auto bps = testing::applyBps(f.dir / "big.bps", f.dir / "game.nes", f.dir / "applied.nes");
    ASSERT_EQ(bps.exit, 0) << bps.err;
    EXPECT_EQ(firstDifference(readFile(f.dir / "applied.nes"), written), "identical");
    const auto ips = testing::applyIps(readFile(f.dir / "big.ips"), readFile(f.dir / "game.nes"));
    ASSERT_TRUE(ips.has_value());
    EXPECT_EQ(firstDifference(*ips, written), "identical");
}

struct RuleRow {
    const char* what;
    std::vector<std::string> args;  // after "write game.nes --seed 5"
    std::function<void(const TempDir&)> prepare;
    const char* says;
};

TEST(CliPatch, FollowsTheRulesForFilesTheToolWritesBeforeAnythingIsWritten) {
    const auto keep = [](const TempDir& d) { writeFile(d / "kept.bps", Bytes{1, 2, 3}); };
    const RuleRow table[] = {
        {"an existing patch without --force", {"--patch", "kept.bps"}, keep, "kept.bps"},
        {"the image itself", {"--patch", "game.nes", "-f"}, nullptr, "game.nes"},
        {"the text file", {"--patch", "tgltext.tgl", "-f"}, nullptr, "tgltext.tgl"},
        {"the copy", {"-o", "out.nes", "--patch", "out.nes"}, nullptr, "out.nes"},
        {"a device", {"--patch", "/dev/null", "-f"}, nullptr, "/dev/null"},
        {"a link to a file", {"--patch", "link.bps", "-f"},
         [&](const TempDir& d) {
             keep(d);
             fs::create_symlink(d / "kept.bps", d / "link.bps");
         },
         "link.bps"},
        {"a missing folder", {"--patch", "no/such/run.bps"}, nullptr, "no/such"},
        {"an image that is not one", {"--patch", "run.bps"},
         [](const TempDir& d) { writeFile(d / "game.nes", Bytes(90000, 0)); }, "not an NES cartridge image"},
    };
    for (const RuleRow& row : table) {
        Folder f;
        if (row.prepare) row.prepare(f.dir);
        const Bytes image = readFile(f.dir / "game.nes");
        std::vector<std::string> args{"write", "game.nes", "--seed", "5"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CommandRun run = cli(f.dir, args);
        EXPECT_EQ(run.exit, 2) << row.what << ": " << run.out << run.err;
        EXPECT_NE(run.err.find(row.says), std::string::npos) << row.what << ": " << run.err;
        EXPECT_EQ(readFile(f.dir / "game.nes"), image) << row.what;
        EXPECT_FALSE(fs::exists(f.dir / "run.bps")) << row.what;
        EXPECT_FALSE(fs::exists(f.dir / "out.nes")) << row.what;
        if (fs::exists(f.dir / "kept.bps")) {
            EXPECT_EQ(readFile(f.dir / "kept.bps"), (Bytes{1, 2, 3})) << row.what;
        }
    }

    Folder f;
    keep(f.dir);
    const CommandRun forced = cli(f.dir, {"write", "game.nes", "--seed", "5", "--patch", "kept.bps", "--force"});
    ASSERT_EQ(forced.exit, 0) << forced.err;
    EXPECT_EQ(readFile(f.dir / "kept.bps").at(0), 'B') << "--force replaces the old patch";
}

// A sealed race from end to end: the organizer writes a labyrinth whose seed
// nobody sees, racers patch their own images and check the seed code, and
// after the race the published seed writes the racers' very bytes.
TEST(CliPatch, ASealedRaceKeepsItsSeedInTheSpoilerAlone) {
    Folder f;
    writeFile(f.dir / "racer.nes", readFile(f.dir / "game.nes"));
    const CommandRun sealed = cli(f.dir, {"write", "game.nes", "--sealed", "--spoiler", "race.json", "--patch",
                                          "race.bps", "-o", "race.nes"});
    ASSERT_EQ(sealed.exit, 0) << sealed.err;
    const auto spoiler = nlohmann::json::parse(readFile(f.dir / "race.json"));
    ASSERT_TRUE(spoiler.at("seed").is_string()) << "a seed travels as a string";
    const std::string seed = spoiler.at("seed").get<std::string>();
    EXPECT_EQ(spoiler.at("revision"), 1);
    const std::string code = spoiler.at("seedCode").get<std::string>();
    EXPECT_EQ(testing::reportField(sealed.out, "Seed"), "sealed in race.json  Code: " + code) << sealed.out;
    EXPECT_EQ((sealed.out + sealed.err).find(seed), std::string::npos) << "the seed is printed nowhere";
    const Bytes patch = readFile(f.dir / "race.bps");
    EXPECT_EQ(std::search(patch.begin(), patch.end(), seed.begin(), seed.end()), patch.end())
        << "nor carried by the patch";
    EXPECT_FALSE(bpsMetadata(patch).contains("seed"));
    EXPECT_EQ(bpsMetadata(patch).at("seedCode"), code);

    // A racer applies the patch to their own image and checks the code the organizer published.
    ASSERT_EQ(testing::applyBps(f.dir / "race.bps", f.dir / "racer.nes", f.dir / "racer-race.nes").exit, 0);
    EXPECT_EQ(cli(f.dir, {"verify", "racer-race.nes", "--code", code}).exit, 0);
    // After the race the seed is published: it writes the racer's bytes.
    ASSERT_EQ(cli(f.dir, {"write", "racer.nes", "--seed", seed, "-o", "after.nes"}).exit, 0);
    EXPECT_EQ(firstDifference(readFile(f.dir / "after.nes"), readFile(f.dir / "racer-race.nes")), "identical");

    // Nothing is written when the spoiler cannot be: the seed would be kept nowhere.
    const Bytes before = readFile(f.dir / "game.nes");
    const CommandRun noSpoiler = cli(f.dir, {"write", "game.nes", "--sealed", "--spoiler", "gone/race.json"});
    EXPECT_EQ(noSpoiler.exit, 2) << noSpoiler.err;
    EXPECT_EQ(readFile(f.dir / "game.nes"), before);
}

}  // namespace
}  // namespace labyrinth
