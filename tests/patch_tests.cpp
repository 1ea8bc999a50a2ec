// The patch builder on hand-made images: IPS checked by a minimal applier,
// BPS by the independent `bps` package from npm; bad input refused; image
// snapshots read in chunks and changes outside the regions caught.

#include <gtest/gtest.h>

#include <string_view>

#include "patch_appliers.h"
#include "test_support.h"
#include "writer/image_file.h"
#include "writer/patch.h"

namespace labyrinth {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

Bytes patterned(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 13 + 7) % 253);
    return bytes;
}

// An image before and after a write, and the stretches the write may change.
struct Case {
    std::string what;
    std::size_t size;
    std::vector<ByteRange> regions;
    std::vector<std::int64_t> changed;  // offsets whose byte the write flips
};

struct Images {
    Bytes source, target;
};

Images imagesOf(const Case& c) {
    Images images{patterned(c.size), {}};
    images.target = images.source;
    for (const std::int64_t at : c.changed) images.target[static_cast<std::size_t>(at)] ^= 0xFF;
    return images;
}

PatchInput inputOf(const Case& c, const Images& images) {
    PatchInput input{static_cast<std::int64_t>(c.size), crc32(images.source), static_cast<std::int64_t>(c.size),
                     crc32(images.target), {}};
    for (const ByteRange& r : c.regions)
        input.regions.push_back({r.begin, Bytes(images.source.begin() + r.begin, images.source.begin() + r.end),
                                 Bytes(images.target.begin() + r.begin, images.target.begin() + r.end)});
    return input;
}

std::vector<std::int64_t> range(std::int64_t from, std::int64_t to) {
    std::vector<std::int64_t> offsets;
    for (std::int64_t i = from; i < to; ++i) offsets.push_back(i);
    return offsets;
}

// Offsets of an IPS patch's records, read back.
std::vector<std::int64_t> ipsRecordOffsets(const Bytes& patch) {
    std::vector<std::int64_t> offsets;
    for (std::size_t at = 5; at + 3 < patch.size();) {
        const std::int64_t offset = patch[at] << 16 | patch[at + 1] << 8 | patch[at + 2];
        const std::size_t size = static_cast<std::size_t>(patch[at + 3] << 8 | patch[at + 4]);
        offsets.push_back(offset);
        at += 5 + size;
    }
    return offsets;
}

constexpr std::int64_t eofOffset = 0x454F46;  // the offset whose bytes spell "EOF"
constexpr std::int64_t sixteenMiB = std::int64_t{1} << 24;

TEST(PatchFormat, IpsOnlyForNamesEndingInDotIps) {
    const std::pair<std::string_view, PatchFormat> table[] = {
        {"run.ips", PatchFormat::Ips},  {"RUN.IPS", PatchFormat::Ips}, {"dir.ips/run.Ips", PatchFormat::Ips},
        {"run.bps", PatchFormat::Bps},  {"run", PatchFormat::Bps},     {"ips", PatchFormat::Bps},
        {"run.ips.bps", PatchFormat::Bps}, {"run.ipsx", PatchFormat::Bps},
    };
    for (const auto& [name, format] : table) EXPECT_EQ(patchFormatFor(name), format) << name;
}

TEST(PatchMetadata, HoldsTheSeedAsDigitsTheCodeAsJsonTextAndTheRevision) {
    EXPECT_EQ(patchMetadata(18446744073709551615ULL, "island bread peach cloud"),
              R"({"seed":"18446744073709551615","seedCode":"island bread peach cloud","revision":1})");
    EXPECT_EQ(patchMetadata(0, "a\"b\\c\n"), R"({"seed":"0","seedCode":"a\"b\\c\u000a","revision":1})");
    EXPECT_EQ(patchMetadata(std::nullopt, "a b c d"), R"({"seedCode":"a b c d","revision":1})") << "a layout has no seed";
}

TEST(IpsPatch, RecordsGiveTheWrittenBytes) {
    const Case table[] = {
        {"one changed byte", 4096, {{90, 110}}, {100}},
        {"nothing changed", 4096, {{90, 110}}, {}},
        {"runs five bytes apart share a record", 4096, {{90, 120}}, {100, 106}},
        {"runs six bytes apart do not", 4096, {{90, 120}}, {100, 107}},
        {"runs in two regions", 4096, {{10, 20}, {21, 40}}, {19, 21}},
        {"a run longer than a record", 200000, {{16, 70016}}, range(16, 70016)},
        {"a run at the EOF offset starts a byte early", eofOffset + 64, {{eofOffset - 8, eofOffset + 8}},
         {eofOffset, eofOffset + 1}},
        {"a split that would land on the EOF offset", eofOffset + 64, {{eofOffset - 0x10000, eofOffset + 8}},
         range(eofOffset - 0xFFFF, eofOffset + 6)},
        {"the last byte IPS can address", sixteenMiB + 64, {{sixteenMiB - 8, sixteenMiB + 8}}, {sixteenMiB - 1}},
    };
    for (const Case& c : table) {
        const Images images = imagesOf(c);
        auto patch = makeIpsPatch(inputOf(c, images));
        ASSERT_TRUE(patch.ok()) << c.what << ": " << patch.error().message;
        const auto applied = testing::applyIps(patch.value(), images.source);
        ASSERT_TRUE(applied.has_value()) << c.what << ": malformed patch";
        EXPECT_EQ(testing::firstDifference(*applied, images.target), "identical") << c.what;
        for (const std::int64_t offset : ipsRecordOffsets(patch.value()))
            EXPECT_NE(offset, eofOffset) << c.what << ": a record at 0x454F46 reads as the end of the patch";
    }
    const Case joined = table[2], apart = table[3];
    EXPECT_EQ(ipsRecordOffsets(makeIpsPatch(inputOf(joined, imagesOf(joined))).value()).size(), 1U);
    EXPECT_EQ(ipsRecordOffsets(makeIpsPatch(inputOf(apart, imagesOf(apart))).value()).size(), 2U);
}

TEST(IpsPatch, RefusedWithAPointerToBpsWhereIpsCannotReach) {
    const Case table[] = {
        {"a changed byte at 16 MiB", sixteenMiB + 64, {{sixteenMiB - 8, sixteenMiB + 8}}, {sixteenMiB}},
        {"a run across 16 MiB", sixteenMiB + 64, {{sixteenMiB - 8, sixteenMiB + 8}}, {sixteenMiB - 2, sixteenMiB + 2}},
        {"a region that starts at the EOF offset", eofOffset + 64, {{eofOffset, eofOffset + 8}}, {eofOffset}},
    };
    for (const Case& c : table) {
        auto patch = makeIpsPatch(inputOf(c, imagesOf(c)));
        ASSERT_FALSE(patch.ok()) << c.what;
        EXPECT_NE(patch.error().message.find("use a BPS patch"), std::string::npos) << patch.error().message;
        EXPECT_TRUE(makeBpsPatch(inputOf(c, imagesOf(c)), "").ok()) << c.what;
    }
}

TEST(BpsPatch, TheIndependentApplierTurnsSourceIntoTarget) {
    const Case table[] = {
        {"one changed byte", 4096, {{90, 110}}, {100}},
        {"nothing changed", 4096, {{90, 110}}, {}},
        {"the first and the last byte", 4096, {{0, 8}, {4088, 4096}}, {0, 4095}},
        {"runs two bytes apart, and three", 4096, {{90, 140}}, {100, 103, 107}},
        {"a long run and a tail of source", 300000, {{1000, 90000}}, range(1000, 90000)},
    };
    TempDir dir;
    for (const Case& c : table) {
        const Images images = imagesOf(c);
        auto patch = makeBpsPatch(inputOf(c, images), patchMetadata(7, "w x y z"));
        ASSERT_TRUE(patch.ok()) << c.what << ": " << patch.error().message;
        writeFile(dir / "source", images.source);
        writeFile(dir / "patch.bps", patch.value());
        const auto run = testing::applyBps(dir / "patch.bps", dir / "source", dir / "target");
        ASSERT_EQ(run.exit, 0) << c.what << ": " << run.err;
        EXPECT_EQ(testing::firstDifference(readFile(dir / "target"), images.target), "identical") << c.what;
    }
}

TEST(BpsPatch, HeaderCarriesTheSizesAndTheMetadata) {
    const Case c{"one byte", 300, {{90, 110}}, {100}};
    const std::string metadata = patchMetadata(42, "a b c d");
    const Bytes patch = makeBpsPatch(inputOf(c, imagesOf(c)), metadata).value();
    // "BPS1", then 300 twice as BPS numbers (0x2C, 0x81: 44 + 128 * (1 + 1)),
    // then the metadata's length and the metadata.
    const Bytes head{'B', 'P', 'S', '1', 0x2C, 0x81, 0x2C, 0x81, static_cast<std::uint8_t>(0x80 | metadata.size())};
    ASSERT_GT(patch.size(), head.size() + metadata.size());
    EXPECT_EQ(Bytes(patch.begin(), patch.begin() + 9), head);
    EXPECT_EQ(std::string(patch.begin() + 9, patch.begin() + 9 + static_cast<std::ptrdiff_t>(metadata.size())),
              metadata);
}

TEST(Patch, InconsistentInputIsRefusedByBothFormats) {
    const Case c{"base", 4096, {{90, 110}, {200, 220}}, {100}};
    const Images images = imagesOf(c);
    const std::pair<const char*, std::function<void(PatchInput&)>> table[] = {
        {"sizes differ", [](PatchInput& in) { in.targetSize += 1; }},
        {"a region's two sides differ in length", [](PatchInput& in) { in.regions[0].written.push_back(0); }},
        {"regions out of order", [](PatchInput& in) { std::swap(in.regions[0], in.regions[1]); }},
        {"regions overlap", [](PatchInput& in) { in.regions[1].offset = 100; }},
        {"a region past the end", [](PatchInput& in) { in.regions[1].offset = 4090; }},
    };
    for (const auto& [what, spoil] : table) {
        PatchInput input = inputOf(c, images);
        spoil(input);
        EXPECT_FALSE(makeBpsPatch(input, "").ok()) << what;
        EXPECT_FALSE(makeIpsPatch(input).ok()) << what;
    }
}

// --- Snapshots of image files --------------------------------------------------

TEST(ImageSnapshot, ReadsRegionsAcrossChunksAndGivesAPatchThatApplies) {
    const auto size = static_cast<std::size_t>(2 * chunkSize + 100);
    const std::vector<ByteRange> regions{{5, 9}, {chunkSize - 10, chunkSize + 10}, {2 * chunkSize + 90, 2 * chunkSize + 100}};
    MemoryFile before("before.nes", patterned(size));
    MemoryFile after("after.nes", patterned(size));
    for (const auto at : {std::int64_t{5}, chunkSize - 1, chunkSize, 2 * chunkSize + 99})
        after.bytes()[static_cast<std::size_t>(at)] ^= 0x5A;

    auto source = snapshotImage(before, regions);
    auto target = snapshotImage(after, regions);
    ASSERT_TRUE(source.ok() && target.ok());
    EXPECT_EQ(source.value().crc, crc32(before.bytes()));
    EXPECT_EQ(target.value().crc, crc32(after.bytes()));
    for (std::size_t i = 0; i < regions.size(); ++i)
        EXPECT_EQ(target.value().regionBytes[i],
                  Bytes(after.bytes().begin() + regions[i].begin, after.bytes().begin() + regions[i].end))
            << "region " << i;

    auto input = compareSnapshots(source.value(), target.value(), after.name());
    ASSERT_TRUE(input.ok()) << input.error().message;
    const auto applied = testing::applyIps(makeIpsPatch(input.value()).value(), before.bytes());
    ASSERT_TRUE(applied.has_value());
    EXPECT_EQ(testing::firstDifference(*applied, after.bytes()), "identical");
}

TEST(ImageSnapshot, AChangeOutsideTheRegionsOrOfTheSizeIsCaught) {
    const auto size = static_cast<std::size_t>(chunkSize + 500);
    const std::vector<ByteRange> regions{{100, 200}, {chunkSize + 10, chunkSize + 20}};
    MemoryFile before("before.nes", patterned(size));
    const auto source = snapshotImage(before, regions).value();
    const std::pair<const char*, std::function<void(Bytes&)>> table[] = {
        {"the first byte", [](Bytes& b) { b[0] ^= 1; }},
        {"just before a region", [](Bytes& b) { b[99] ^= 1; }},
        {"just after a region", [](Bytes& b) { b[200] ^= 1; }},
        {"in the next chunk", [](Bytes& b) { b[static_cast<std::size_t>(chunkSize + 5)] ^= 1; }},
        {"the last byte", [](Bytes& b) { b.back() ^= 1; }},
        {"one byte longer", [](Bytes& b) { b.push_back(0); }},
    };
    for (const auto& [what, change] : table) {
        MemoryFile after("after.nes", before.bytes());
        change(after.bytes());
        auto input = compareSnapshots(source, snapshotImage(after, regions).value(), after.name());
        ASSERT_FALSE(input.ok()) << what;
        EXPECT_EQ(input.error().message.rfind("after.nes: ", 0), 0U) << input.error().message;
    }
    MemoryFile shortFile("short.nes", patterned(150));
    auto refused = snapshotImage(shortFile, regions);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("short.nes: is 150 bytes long"), std::string::npos)
        << refused.error().message;
}

}  // namespace
}  // namespace labyrinth
