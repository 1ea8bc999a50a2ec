#include "writer/verify.h"

#include <algorithm>
#include <array>
#include <utility>

#include "stream_checks.h"
#include "writer/driver.h"
#include "writer/image_check.h"
#include "writer/readback.h"
#include "writer/record_format.h"

namespace labyrinth {
namespace {

using format::offsetText;

void checkTextBlock(std::span<const std::uint8_t> image, std::span<const std::uint8_t> text,
                    std::vector<Problem>& problems) {
    if (static_cast<std::int64_t>(text.size()) < format::textSize) {
        problems.push_back({Check::TextBlock, "the text file holds " + std::to_string(text.size()) +
                                                  " bytes; the text block needs " + std::to_string(format::textSize)});
        return;
    }
    int differing = 0;
    std::int64_t first = -1;
    for (std::int64_t i = 0; i < format::textSize; ++i) {
        const auto offset = static_cast<std::size_t>(format::textBase + i);
        if (image[offset] == text[static_cast<std::size_t>(i)]) continue;
        if (differing++ == 0) first = i;
    }
    if (differing > 0)
        problems.push_back({Check::TextBlock, "the text block differs from the text file in " +
                                                  std::to_string(differing) + " of " +
                                                  std::to_string(format::textSize) + " bytes, first at " +
                                                  offsetText(format::textBase + first)});
}

// Bytes of a span, as a file that cannot fail: the in-memory checks run
// through the same code as the checks of files on disk.
class SpanFile final : public RandomAccessFile {
public:
    explicit SpanFile(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    const std::string& name() const override { return name_; }
    Status readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        if (offset < 0 || offset + static_cast<std::int64_t>(out.size()) > static_cast<std::int64_t>(bytes_.size()))
            return Error{"read past the end"};
        std::copy_n(bytes_.begin() + offset, out.size(), out.begin());
        return {};
    }
    Status writeAt(std::int64_t, std::span<const std::uint8_t>) override { return Error{"read-only"}; }
    Result<std::int64_t> size() override { return static_cast<std::int64_t>(bytes_.size()); }
    Status flush() override { return {}; }

private:
    std::span<const std::uint8_t> bytes_;
    std::string name_ = "(memory)";
};

// One line per stretch of the file (before the labyrinth, between it and the
// text block, after the text block) that holds changed bytes. Both files are
// compared chunk by chunk, so their size does not matter.
Status checkUnchanged(RandomAccessFile& image, RandomAccessFile& original, std::vector<Problem>& problems) {
    auto imageSize = image.size();
    if (!imageSize) return imageSize.error();
    auto originalSize = original.size();
    if (!originalSize) return originalSize.error();
    if (imageSize.value() != originalSize.value()) {
        problems.push_back({Check::Unchanged, "the image is " + std::to_string(imageSize.value()) +
                                                  " bytes long and the original " +
                                                  std::to_string(originalSize.value()) +
                                                  "; the writer never changes the size"});
        return {};
    }
    struct Stretch {
        std::int64_t begin, end;
        const char* name;
    };
    const std::array<Stretch, 3> stretches{{
        {0, format::roomDataPos, "before the room records"},
        {writerRegionEnd(), format::textBase, "between the room records and the text block"},
        {format::textEnd, imageSize.value(), "after the text block"},
    }};
    std::vector<std::uint8_t> theirs;
    for (const Stretch& stretch : stretches) {
        std::int64_t changed = 0;
        std::int64_t first = -1;
        std::uint8_t was = 0;
        std::uint8_t now = 0;
        auto compare = [&](std::int64_t offset, std::span<const std::uint8_t> ours) -> Status {
            theirs.resize(ours.size());
            if (auto read = original.readAt(offset, theirs); !read) return read;
            for (std::size_t i = 0; i < ours.size(); ++i) {
                if (ours[i] == theirs[i]) continue;
                if (changed++ == 0) {
                    first = offset + static_cast<std::int64_t>(i);
                    was = theirs[i];
                    now = ours[i];
                }
            }
            return {};
        };
        for (std::int64_t offset = stretch.begin; offset < stretch.end;) {
            // Where both files have a hole, both hold zeros: nothing to read.
            const std::int64_t data = std::min({image.nextData(offset), original.nextData(offset), stretch.end});
            if (data > offset) {
                offset = data;
                continue;
            }
            const std::int64_t end = std::min(offset + chunkSize, stretch.end);
            if (auto compared = forEachChunk(image, offset, end, compare); !compared) return compared;
            offset = end;
        }
        if (changed > 0)
            problems.push_back({Check::Unchanged, std::to_string(changed) + (changed == 1 ? " byte" : " bytes") +
                                                      " changed " + stretch.name + ", first at " + offsetText(first) +
                                                      " (" + std::to_string(was) + " in the original, " +
                                                      std::to_string(now) + " now)"});
    }
    return {};
}

}  // namespace

std::vector<Problem> verifyStream(const DecodedStream& stream) {
    return checkRecords(stream, format::recordCount);
}

std::int64_t writerRegionEnd() { return format::roomDataPos + format::maxGeneratedStream; }

Result<std::vector<Problem>> verifyImageFile(RandomAccessFile& image, std::optional<std::span<const std::uint8_t>> text,
                                             RandomAccessFile* original) {
    std::vector<Problem> problems;
    auto size = image.size();
    if (!size) return size.error();
    auto region = readPrefix(image, format::readRegionEnd);
    if (!region) return region.error();
    const std::vector<std::uint8_t>& bytes = region.value();

    for (std::string& problem : imageProblems(size.value(), bytes)) problems.push_back({Check::Image, std::move(problem)});
    if (size.value() < format::minImageSize) return problems;

    const PartialStream decoded = decodeAsFarAsPossible(bytes);
    if (!decoded.status) problems.push_back({Check::Records, decoded.status.error().message});
    auto found = checkRecords(decoded.stream, decoded.records);
    problems.insert(problems.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    if (text) checkTextBlock(bytes, *text, problems);
    if (original)
        if (auto compared = checkUnchanged(image, *original, problems); !compared) return compared.error();
    return problems;
}

std::vector<Problem> verifyImage(const VerifyInputs& inputs) {
    SpanFile image(inputs.image);
    std::optional<SpanFile> original;
    if (inputs.original) original.emplace(*inputs.original);
    // Nothing in memory fails to read.
    return verifyImageFile(image, inputs.text, original ? &*original : nullptr).value();
}

std::vector<Problem> checkSeed(std::span<const std::uint8_t> image, std::uint64_t seed) {
    const std::vector<std::uint8_t> expected = writtenBySeed(seed);
    const std::string whose = "the labyrinth that seed " + std::to_string(seed) + " writes";
    const auto begin = static_cast<std::size_t>(format::roomDataPos);
    if (image.size() < begin + expected.size()) return {{Check::Seed, "the image is too short to hold " + whose}};
    std::int64_t differing = 0;
    std::int64_t first = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (image[begin + i] == expected[i]) continue;
        if (differing++ == 0) first = format::roomDataPos + static_cast<std::int64_t>(i);
    }
    if (differing == 0) return {};
    return {{Check::Seed, "the room records differ from " + whose + " in " + std::to_string(differing) +
                              (differing == 1 ? " byte" : " bytes") + ", first at " + offsetText(first)}};
}

std::vector<Problem> checkSeedCode(std::span<const std::uint8_t> image, std::string_view code) {
    auto decoded = decodeLabyrinth("image", {image.begin(), image.end()});
    if (!decoded) return {{Check::Seed, "the labyrinth cannot be read, so it cannot have the seed code " + std::string(code)}};
    const std::string& held = decoded.value().seedCode;
    if (held == code) return {};
    return {{Check::Seed, "the labyrinth has the seed code " + held + ", not " + std::string(code)}};
}

}  // namespace labyrinth
