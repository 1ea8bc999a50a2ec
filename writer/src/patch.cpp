#include "writer/patch.h"

#include "labyrinth/generator.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>

#include "writer/record_format.h"
#include "writer/verify.h"

namespace labyrinth {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A run [begin, end) of absolute offsets whose bytes a patch writes.
struct Run {
    std::int64_t begin = 0;
    std::int64_t end = 0;
};

Status checkInput(const PatchInput& input) {
    if (input.sourceSize < 0 || input.targetSize < 0) return Error{"a patch needs the sizes of both files"};
    const std::int64_t limit = std::min(input.sourceSize, input.targetSize);
    std::int64_t previousEnd = 0;
    for (const PatchRegion& region : input.regions) {
        if (region.original.size() != region.written.size())
            return Error{"a patch region at " + format::offsetText(region.offset) +
                         " has different lengths before and after the write"};
        const auto end = region.offset + static_cast<std::int64_t>(region.written.size());
        if (region.offset < previousEnd || end > limit)
            return Error{"the patch regions are out of order, overlap or reach past the end of the image, at " +
                         format::offsetText(region.offset)};
        previousEnd = end;
    }
    return {};
}

// The runs of changed bytes, in order; runs closer than `joinGap` unchanged
// bytes become one, as a separate run would cost more than the bytes between.
std::vector<Run> changedRuns(const std::vector<PatchRegion>& regions, std::int64_t joinGap) {
    std::vector<Run> runs;
    for (const PatchRegion& region : regions) {
        bool joinable = false;  // runs never join across regions: the bytes between are not known
        for (std::size_t i = 0; i < region.written.size(); ++i) {
            if (region.original[i] == region.written[i]) continue;
            const std::int64_t at = region.offset + static_cast<std::int64_t>(i);
            if (joinable && at - runs.back().end <= joinGap)
                runs.back().end = at + 1;
            else
                runs.push_back({at, at + 1});
            joinable = true;
        }
    }
    return runs;
}

// The written bytes of [begin, end), which lies inside one region.
std::span<const std::uint8_t> writtenBytes(const std::vector<PatchRegion>& regions, std::int64_t begin,
                                           std::int64_t end) {
    for (const PatchRegion& region : regions) {
        const auto regionEnd = region.offset + static_cast<std::int64_t>(region.written.size());
        if (begin >= region.offset && end <= regionEnd)
            return std::span(region.written).subspan(static_cast<std::size_t>(begin - region.offset),
                                                      static_cast<std::size_t>(end - begin));
    }
    return {};
}

void putLittleEndian32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putBigEndian(Bytes& out, std::uint64_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// BPS's variable-length number: seven bits a byte, the last one flagged,
// each further byte counting from one more than the bytes before can say.
void putNumber(Bytes& out, std::uint64_t value) {
    for (;;) {
        const auto low = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
        if (value == 0) {
            out.push_back(static_cast<std::uint8_t>(0x80 | low));
            return;
        }
        out.push_back(low);
        --value;
    }
}

enum class BpsAction : std::uint8_t { SourceRead = 0, TargetRead = 1 };

void putAction(Bytes& out, BpsAction action, std::int64_t length) {
    putNumber(out, (static_cast<std::uint64_t>(length - 1) << 2) | static_cast<std::uint8_t>(action));
}

// IPS: offsets are three bytes, a record holds at most 0xFFFF bytes, and a
// record may not start at 0x454F46, whose offset bytes read as "EOF".
inline constexpr std::int64_t ipsAddressable = std::int64_t{1} << 24;
inline constexpr std::int64_t ipsMaxRecord = 0xFFFF;
inline constexpr std::int64_t ipsEofOffset = 0x454F46;
inline constexpr std::int64_t ipsRecordHeader = 5;
inline constexpr std::array<std::uint8_t, 5> ipsHeader{'P', 'A', 'T', 'C', 'H'};
inline constexpr std::array<std::uint8_t, 3> ipsFooter{'E', 'O', 'F'};
inline constexpr std::array<std::uint8_t, 4> bpsHeader{'B', 'P', 'S', '1'};

bool insideOneRegion(const std::vector<PatchRegion>& regions, std::int64_t begin, std::int64_t end) {
    return !writtenBytes(regions, begin, end).empty();
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    return static_cast<std::uint32_t>(::crc32_z(crc, bytes.data(), bytes.size()));
}

PatchFormat patchFormatFor(std::string_view path) {
    constexpr std::string_view extension = ".ips";
    if (path.size() < extension.size()) return PatchFormat::Bps;
    const std::string_view tail = path.substr(path.size() - extension.size());
    const bool ips = std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
    return ips ? PatchFormat::Ips : PatchFormat::Bps;
}

std::string patchMetadata(std::optional<std::uint64_t> seed, std::string_view seedCode) {
    std::string code;
    for (const char c : seedCode) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            code += '\\';
            code += c;
        } else if (byte < 0x20) {
            static constexpr char hex[] = "0123456789abcdef";
            code += "\\u00";
            code += hex[byte >> 4];
            code += hex[byte & 0xF];
        } else {
            code += c;
        }
    }
    const std::string seedField = seed ? "\"seed\":\"" + std::to_string(*seed) + "\"," : std::string();
    return "{" + seedField + "\"seedCode\":\"" + code + "\",\"revision\":" + std::to_string(generatorRevision) + "}";
}

Result<Bytes> makeBpsPatch(const PatchInput& input, std::string_view metadata) {
    if (auto valid = checkInput(input); !valid) return valid.error();
    if (input.sourceSize != input.targetSize)
        return Error{"the image changed size from " + std::to_string(input.sourceSize) + " to " +
                     std::to_string(input.targetSize) + " bytes; a write never does"};
    Bytes patch(bpsHeader.begin(), bpsHeader.end());
    putNumber(patch, static_cast<std::uint64_t>(input.sourceSize));
    putNumber(patch, static_cast<std::uint64_t>(input.targetSize));
    putNumber(patch, metadata.size());
    patch.insert(patch.end(), metadata.begin(), metadata.end());

    // A source read costs a byte or two, and so does the target read after
    // it: two unchanged bytes or fewer are cheaper written out.
    std::int64_t done = 0;
    for (const Run& run : changedRuns(input.regions, 2)) {
        if (run.begin > done) putAction(patch, BpsAction::SourceRead, run.begin - done);
        putAction(patch, BpsAction::TargetRead, run.end - run.begin);
        const auto bytes = writtenBytes(input.regions, run.begin, run.end);
        patch.insert(patch.end(), bytes.begin(), bytes.end());
        done = run.end;
    }
    if (input.targetSize > done) putAction(patch, BpsAction::SourceRead, input.targetSize - done);

    putLittleEndian32(patch, input.sourceCrc);
    putLittleEndian32(patch, input.targetCrc);
    putLittleEndian32(patch, crc32(patch));
    return patch;
}

Result<Bytes> makeIpsPatch(const PatchInput& input) {
    if (auto valid = checkInput(input); !valid) return valid.error();
    if (input.sourceSize != input.targetSize)
        return Error{"the image changed size from " + std::to_string(input.sourceSize) + " to " +
                     std::to_string(input.targetSize) + " bytes, which IPS cannot express; use a BPS patch"};

    // Records of at most ipsMaxRecord bytes; a record's five header bytes
    // cost more than up to five unchanged bytes between two runs.
    std::vector<Run> records;
    for (const Run& run : changedRuns(input.regions, ipsRecordHeader)) {
        if (run.end > ipsAddressable)
            return Error{"a changed byte lies at " + format::offsetText(run.end - 1) +
                         ", beyond the 16 MiB that an IPS patch can address; use a BPS patch (a name that does not "
                         "end in .ips)"};
        for (std::int64_t begin = run.begin; begin < run.end; begin += ipsMaxRecord)
            records.push_back({begin, std::min(run.end, begin + ipsMaxRecord)});
    }
    // A record at the "EOF" offset starts one byte earlier instead, taking
    // that byte from the record before it or from the region's bytes.
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].begin != ipsEofOffset) continue;
        if (!insideOneRegion(input.regions, ipsEofOffset - 1, records[i].end))
            return Error{"a changed byte lies at " + format::offsetText(ipsEofOffset) +
                         ", where an IPS record cannot start; use a BPS patch (a name that does not end in .ips)"};
        if (i > 0 && records[i - 1].end == ipsEofOffset) --records[i - 1].end;
        const Run moved{ipsEofOffset - 1, records[i].end};
        if (moved.end - moved.begin <= ipsMaxRecord) {
            records[i] = moved;
        } else {  // one byte too long now: its last byte gets a record of its own
            records[i] = {moved.begin, moved.begin + ipsMaxRecord};
            records.insert(records.begin() + static_cast<std::ptrdiff_t>(i) + 1, Run{records[i].end, moved.end});
        }
    }
    std::erase_if(records, [](const Run& r) { return r.end <= r.begin; });

    Bytes patch(ipsHeader.begin(), ipsHeader.end());
    for (const Run& record : records) {
        putBigEndian(patch, static_cast<std::uint64_t>(record.begin), 3);
        putBigEndian(patch, static_cast<std::uint64_t>(record.end - record.begin), 2);
        const auto bytes = writtenBytes(input.regions, record.begin, record.end);
        patch.insert(patch.end(), bytes.begin(), bytes.end());
    }
    patch.insert(patch.end(), ipsFooter.begin(), ipsFooter.end());
    return patch;
}

Result<Bytes> makePatch(PatchFormat format, const PatchInput& input, std::string_view metadata) {
    return format == PatchFormat::Ips ? makeIpsPatch(input) : makeBpsPatch(input, metadata);
}

std::vector<ByteRange> clickRegions() {
    return {{format::roomDataPos, writerRegionEnd()}, {format::textBase, format::textEnd}};
}

Result<ImageSnapshot> snapshotImage(RandomAccessFile& file, const std::vector<ByteRange>& regions) {
    auto size = file.size();
    if (!size) return size.error();
    ImageSnapshot snapshot;
    snapshot.size = size.value();
    snapshot.regions = regions;
    std::int64_t previousEnd = 0;
    for (const ByteRange& region : regions) {
        if (region.begin < previousEnd || region.end < region.begin)
            return Error{"the regions of an image snapshot must be in order and apart"};
        if (region.end > snapshot.size)
            return Error{file.name() + ": is " + std::to_string(snapshot.size) + " bytes long, too short to hold " +
                         "the bytes up to " + format::offsetText(region.end)};
        previousEnd = region.end;
        snapshot.regionBytes.emplace_back();
        snapshot.regionBytes.back().reserve(static_cast<std::size_t>(region.end - region.begin));
    }

    std::size_t next = 0;  // the first region that does not end before the chunk
    auto read = forEachChunk(file, 0, snapshot.size, [&](std::int64_t offset, std::span<const std::uint8_t> chunk) {
        snapshot.crc = crc32(chunk, snapshot.crc);
        const std::int64_t chunkEnd = offset + static_cast<std::int64_t>(chunk.size());
        for (std::int64_t at = offset; at < chunkEnd;) {
            while (next < regions.size() && regions[next].end <= at) ++next;
            const bool inside = next < regions.size() && regions[next].begin <= at;
            const std::int64_t until =
                std::min(chunkEnd, next == regions.size() ? chunkEnd : inside ? regions[next].end : regions[next].begin);
            const auto piece = chunk.subspan(static_cast<std::size_t>(at - offset), static_cast<std::size_t>(until - at));
            if (inside)
                snapshot.regionBytes[next].insert(snapshot.regionBytes[next].end(), piece.begin(), piece.end());
            else
                snapshot.outsideCrc = crc32(piece, snapshot.outsideCrc);
            at = until;
        }
        return Status{};
    });
    if (!read) return read.error();
    return snapshot;
}

Result<PatchInput> compareSnapshots(const ImageSnapshot& source, const ImageSnapshot& target,
                                    const std::string& targetName) {
    const bool sameRegions =
        source.regions.size() == target.regions.size() &&
        std::equal(source.regions.begin(), source.regions.end(), target.regions.begin(),
                   [](const ByteRange& a, const ByteRange& b) { return a.begin == b.begin && a.end == b.end; });
    if (!sameRegions) return Error{"the two snapshots of a patch must cover the same regions"};
    if (source.size != target.size)
        return Error{targetName + ": is " + std::to_string(target.size) + " bytes long, but the image was " +
                     std::to_string(source.size) + " bytes before the write; it was changed by something else"};
    if (source.outsideCrc != target.outsideCrc)
        return Error{targetName + ": differs from the image before the write outside the labyrinth and its text " +
                     "block; it was changed by something else"};
    PatchInput input{source.size, source.crc, target.size, target.crc, {}};
    for (std::size_t i = 0; i < source.regions.size(); ++i)
        input.regions.push_back({source.regions[i].begin, source.regionBytes[i], target.regionBytes[i]});
    return input;
}

Result<std::vector<std::uint8_t>> makeWritePatch(PatchFormat format, const ImageSnapshot& before,
                                                 RandomAccessFile& written, std::optional<std::uint64_t> seed,
                                                 std::string_view seedCode) {
    auto after = snapshotImage(written, before.regions);
    if (!after) return after.error();
    auto input = compareSnapshots(before, after.value(), written.name());
    if (!input) return input.error();
    return makePatch(format, input.value(), patchMetadata(seed, seedCode));
}

}  // namespace labyrinth
