// The seed code: a fixed word list, stable codes, and different codes for
// different streams.

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "readback_support.h"
#include "writer/seed_code.h"

namespace labyrinth {
namespace {

TEST(SeedCodeWords, TwoHundredFiftySixShortDistinctLowerCaseWords) {
    std::set<std::string_view> distinct(seedCodeWords.begin(), seedCodeWords.end());
    EXPECT_EQ(distinct.size(), 256U);
    for (const std::string_view word : seedCodeWords) {
        EXPECT_GE(word.size(), 2U) << word;
        EXPECT_LE(word.size(), 7U) << word;
        for (const char c : word) EXPECT_TRUE(c >= 'a' && c <= 'z') << word;
    }
}

std::vector<std::string> words(const std::string& code) {
    std::istringstream in(code);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

TEST(SeedCode, FourWordsFromTheList) {
    const auto w = testing::writtenImage(11);
    const std::string code = seedCode(w.click.stream);
    const auto parts = words(code);
    ASSERT_EQ(parts.size(), static_cast<std::size_t>(seedCodeLength)) << code;
    EXPECT_EQ(code, parts[0] + " " + parts[1] + " " + parts[2] + " " + parts[3]);
    for (const auto& part : parts)
        EXPECT_NE(std::find(seedCodeWords.begin(), seedCodeWords.end(), part), seedCodeWords.end()) << part;
}

// Players compare codes made by different builds and machines, so the code
// of a given stream is pinned (values worked out independently of this
// code: FNV-1a 64, then the splitmix64 finaliser); a change here changes
// every player's code.
TEST(SeedCode, PinnedForAFixedStream) {
    const std::vector<std::uint8_t> stream{128, 163, 0x20, 3, 0, 130, 83, 135, 0};
    EXPECT_EQ(streamHash({}), 0xC3817C016BA4FF30ULL);
    EXPECT_EQ(seedCode(stream), seedCode(std::vector<std::uint8_t>(stream)));
    EXPECT_EQ(seedCode(stream), "chalk comet dingo plum");
}

TEST(SeedCode, EverySingleByteChangeGivesAnotherCode) {
    const auto w = testing::writtenImage(12);
    auto stream = w.click.stream;
    const std::string original = seedCode(stream);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        stream[i] ^= 0x01;
        EXPECT_NE(seedCode(stream), original) << "byte " << i;
        stream[i] ^= 0x01;
    }
    stream.push_back(0);
    EXPECT_NE(seedCode(stream), original) << "one byte longer";
}

TEST(SeedCode, DifferentLabyrinthsGetDifferentCodes) {
    std::set<std::string> codes;
    constexpr int labyrinths = 200;
    for (std::uint64_t seed = 1; seed <= labyrinths; ++seed) codes.insert(seedCode(testing::writtenImage(seed).click.stream));
    EXPECT_EQ(codes.size(), static_cast<std::size_t>(labyrinths));
}

}  // namespace
}  // namespace labyrinth
