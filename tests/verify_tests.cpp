// The verifier: silent on every image the writer produces, and the right
// reason for each kind of damage.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "readback_support.h"
#include "writer/decoder.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"
#include "writer/verify.h"

namespace labyrinth {
namespace {

using format::RecordKind;
using testing::WrittenImage;
using testing::writtenImage;

std::string describe(const std::vector<Problem>& problems) {
    std::string text;
    for (const Problem& p : problems) text += "\n  " + p.message;
    return text.empty() ? " (none)" : text;
}

bool reports(const std::vector<Problem>& problems, Check check) {
    return std::any_of(problems.begin(), problems.end(), [&](const Problem& p) { return p.check == check; });
}

std::vector<Problem> verifyAll(const WrittenImage& w, const std::vector<std::uint8_t>& image) {
    return verifyImage({image, w.text, w.original});
}

TEST(VerifyWritten, EveryWrittenImagePassesEveryCheck) {
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        const auto w = writtenImage(seed);
        ASSERT_TRUE(w.click.status.ok()) << "seed " << seed;
        const auto problems = verifyAll(w, w.image);
        EXPECT_TRUE(problems.empty()) << "seed " << seed << ":" << describe(problems);
    }
}

// A rejected attempt can leave a longer stream behind the accepted one's
// trailing 0; --original must not call that a change.
TEST(VerifyWritten, LeftoversOfARejectedAttemptAreNoChange) {
    const auto w = writtenImage(5);
    auto image = w.image;
    const auto end = static_cast<std::size_t>(format::roomDataPos) + w.click.stream.size();
    for (std::size_t i = end; i < static_cast<std::size_t>(writerRegionEnd()); ++i)
        image[i] = static_cast<std::uint8_t>(image[i] ^ 0x5A);
    EXPECT_TRUE(verifyAll(w, image).empty()) << describe(verifyAll(w, image));
    image[static_cast<std::size_t>(writerRegionEnd())] ^= 1;
    EXPECT_TRUE(reports(verifyAll(w, image), Check::Unchanged));
}

// Only a comparison with what the seed writes sees a byte changed within its
// range (a random byte, an area number that still names an area): the seed
// check refuses a change of any byte the click wrote, leftovers of its
// rejected attempts included, and accepts the image as written.
TEST(VerifySeed, EveryByteTheClickWroteIsComparedAndNothingElse) {
    const auto w = writtenImage(8);
    EXPECT_TRUE(checkSeed(w.image, 8).empty()) << describe(checkSeed(w.image, 8));
    EXPECT_TRUE(reports(checkSeed(w.image, 9), Check::Seed));
    const auto written = writtenBySeed(8);
    ASSERT_EQ(written.size(), static_cast<std::size_t>(w.click.longestStream));
    ASSERT_GT(written.size(), w.click.stream.size()) << "a seed whose rejected attempt left bytes behind";
    const auto begin = static_cast<std::size_t>(format::roomDataPos);
    for (std::size_t i = begin; i < begin + written.size(); ++i) {
        auto image = w.image;
        image[i] ^= 1;
        const auto problems = checkSeed(image, 8);
        ASSERT_EQ(problems.size(), 1U) << "offset " << i;
        EXPECT_NE(problems[0].message.find("in 1 byte, first at offset " + std::to_string(i)), std::string::npos)
            << problems[0].message;
    }
    auto image = w.image;
    image[begin + written.size()] ^= 1;  // never written by this click: the original's byte
    EXPECT_TRUE(checkSeed(image, 8).empty());

    EXPECT_TRUE(checkSeedCode(w.image, seedCode(w.click.stream)).empty());
    EXPECT_TRUE(reports(checkSeedCode(w.image, "acorn acorn acorn acorn"), Check::Seed));
}

// The first cell in scan order that satisfies `wanted`.
std::optional<CellPosition> find(const DecodedStream& s, const std::function<bool(const DecodedCell&, int, int)>& wanted) {
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x)
            if (wanted(s.at(x, y), x, y)) return CellPosition{x, y};
    return std::nullopt;
}

struct Damage {
    const char* what;
    Check expected;
    // Changes the image; returns false when this seed has no fitting cell.
    std::function<bool(const DecodedStream&, std::vector<std::uint8_t>&)> apply;
};

std::size_t byteOf(const DecodedCell& c, int i) { return static_cast<std::size_t>(c.offset + i); }

const std::vector<Damage>& damages() {
    static const std::vector<Damage> table{
        {"a door bit cleared on one side of a door", Check::Doors,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [&](const DecodedCell& cell, int x, int y) {
                 return cell.kind == RecordKind::Plain && (cell.doors & doorEast) != 0 && x + 1 < mazeSize &&
                        s.at(x + 1, y).isRoom();
             });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 1)] ^= static_cast<std::uint8_t>(doorEast << 4U);
             return true;
         }},
        {"a door out of the labyrinth", Check::Doors,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [](const DecodedCell& cell, int, int y) {
                 return cell.kind == RecordKind::Plain && y == 0 && (cell.doors & doorNorth) == 0;
             });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 1)] |= static_cast<std::uint8_t>(doorNorth << 4U);
             return true;
         }},
        {"a link number changed to one that exists", Check::Links,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [](const DecodedCell& cell, int, int) {
                 return cell.kind == RecordKind::Link && cell.link == 10;
             });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 2)] = format::linkBase + 9;
             return true;
         }},
        {"a dead-end number", Check::DeadEnds,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [](const DecodedCell& cell, int, int) { return cell.kind == RecordKind::DeadEnd; });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 3)] = 33;
             return true;
         }},
        {"an item code", Check::Items,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [](const DecodedCell& cell, int, int) { return cell.kind == RecordKind::Item; });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 3)] ^= 0x40;
             return true;
         }},
        {"an area mark naming another area", Check::AreaMarks,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [](const DecodedCell& cell, int, int) {
                 return cell.kind == RecordKind::AreaMark && cell.area >= 1 && cell.area < 10;
             });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 2)] += 1;
             return true;
         }},
        {"a sequence number", Check::Sequences,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [](const DecodedCell& cell, int, int) { return cell.kind == RecordKind::Sequence; });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 3)] = 70;
             return true;
         }},
        {"the start record's fixed bytes", Check::Start,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             image[byteOf(s.at(startX, startY), 2)] = 4;
             return true;
         }},
        {"the trailing 0", Check::Records,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             image[static_cast<std::size_t>(s.end)] = 7;
             return true;
         }},
        {"an unknown kind byte", Check::Records,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             image[byteOf(s.at(5, 5), 0)] = 99;
             return true;
         }},
        {"a random byte out of range", Check::RecordBytes,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             const auto c = find(s, [](const DecodedCell& cell, int, int) { return cell.kind == RecordKind::Plain; });
             if (!c) return false;
             image[byteOf(s.at(c->x, c->y), 3)] = format::randomByteRange;
             return true;
         }},
        {"a room walled in on every side", Check::Reachable,
         [](const DecodedStream& s, std::vector<std::uint8_t>& image) {
             // A dead end and the door back into it: both bits go.
             const auto c = find(s, [](const DecodedCell& cell, int, int) { return cell.kind == RecordKind::DeadEnd; });
             if (!c) return false;
             const DecodedCell& end = s.at(c->x, c->y);
             for (const Direction& side : doorSides) {
                 if ((end.doors & side.bit) == 0) continue;
                 const DecodedCell& other = s.at(c->x + side.dx, c->y + side.dy);
                 image[byteOf(other, 1)] = static_cast<std::uint8_t>(image[byteOf(other, 1)] & ~(side.back << 4U));
             }
             image[byteOf(end, 1)] &= 0x0F;
             return true;
         }},
        {"a byte before the stream", Check::Unchanged,
         [](const DecodedStream&, std::vector<std::uint8_t>& image) {
             image[static_cast<std::size_t>(format::roomDataPos - 1)] ^= 0xFF;
             return true;
         }},
        {"a byte in the header", Check::Unchanged,
         [](const DecodedStream&, std::vector<std::uint8_t>& image) {
             image[16] ^= 0x01;
             return true;
         }},
        {"a byte after the text block", Check::Unchanged,
         [](const DecodedStream&, std::vector<std::uint8_t>& image) {
             image.push_back(0);  // the synthetic image ends at the text block: grow it
             return true;
         }},
        {"a byte of the text block", Check::TextBlock,
         [](const DecodedStream&, std::vector<std::uint8_t>& image) {
             image[static_cast<std::size_t>(format::textBase + 100)] ^= 0x10;
             return true;
         }},
    };
    return table;
}

TEST(VerifyDamaged, EachDamageIsReportedWithItsReason) {
    for (const Damage& damage : damages()) {
        bool applied = false;
        for (std::uint64_t seed = 1; seed <= 20 && !applied; ++seed) {
            const auto w = writtenImage(seed);
            const auto decoded = decodeStream(w.image);
            ASSERT_TRUE(decoded) << damage.what;
            auto image = w.image;
            if (!damage.apply(decoded.value(), image)) continue;
            applied = true;
            const auto problems = verifyAll(w, image);
            EXPECT_TRUE(reports(problems, damage.expected)) << damage.what << ", seed " << seed << ":" << describe(problems);
        }
        EXPECT_TRUE(applied) << damage.what << ": no seed has a cell to damage";
    }
}

TEST(VerifyDamaged, ProblemsNameTheCellOrOffset) {
    const auto w = writtenImage(3);
    const auto decoded = decodeStream(w.image);
    ASSERT_TRUE(decoded);
    const auto c = find(decoded.value(), [](const DecodedCell& cell, int, int) { return cell.kind == RecordKind::Item; });
    ASSERT_TRUE(c);
    auto image = w.image;
    image[byteOf(decoded.value().at(c->x, c->y), 3)] = 200;
    const auto problems = verifyAll(w, image);
    ASSERT_EQ(problems.size(), 1U) << describe(problems);
    const std::string where = "(" + std::to_string(c->x) + ", " + std::to_string(c->y) + ")";
    EXPECT_NE(problems[0].message.find(where), std::string::npos) << problems[0].message;
    EXPECT_NE(problems[0].message.find("200"), std::string::npos) << problems[0].message;
}

TEST(VerifyImageHeader, NotAnImageOrTooShort) {
    const auto w = writtenImage(1);
    auto wrongMagic = w.image;
    wrongMagic[3] = 0;
    EXPECT_TRUE(reports(verifyImage({wrongMagic, std::nullopt, std::nullopt}), Check::Image));
    const std::vector<std::uint8_t> shortImage(w.image.begin(), w.image.begin() + format::textBase);
    EXPECT_TRUE(reports(verifyImage({shortImage, std::nullopt, std::nullopt}), Check::Image));
    const std::vector<std::uint8_t> empty;
    EXPECT_TRUE(reports(verifyImage({empty, std::nullopt, std::nullopt}), Check::Image));
}

TEST(VerifyImageHeader, ShortTextFileIsAProblemNotACrash) {
    const auto w = writtenImage(1);
    const std::vector<std::uint8_t> text(w.text.begin(), w.text.begin() + 100);
    EXPECT_TRUE(reports(verifyImage({w.image, text, std::nullopt}), Check::TextBlock));
}

}  // namespace
}  // namespace labyrinth
