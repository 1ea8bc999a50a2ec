#pragma once
// Patches that turn an image as it was before a write into the image as
// written, in the two formats that players' patchers apply: BPS (sizes,
// actions and the CRC32s of source, target and patch) and IPS (records of
// changed bytes). A patch is built from the stretches a write may change and
// the size and CRC32 of each whole file, never from whole images, so memory
// stays bounded whatever an image's size. Every front end builds its patches
// here: the command line from files on disk, the browser page from the bytes
// it holds (a MemoryFile, or the regions, sizes and CRCs directly).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "writer/image_file.h"
#include "writer/result.h"

namespace labyrinth {

/// CRC32 as zlib, PNG and BPS compute it, continuing from `crc` (0 to start).
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

/// One stretch of an image that a write may change: where it starts, and its
/// bytes before and after the write (the same number of each).
struct PatchRegion {
    std::int64_t offset = 0;
    std::vector<std::uint8_t> original;
    std::vector<std::uint8_t> written;
};

/// What a patch is made from: the size and CRC32 of the whole source (the
/// image before the write) and target (the image as written), and the
/// stretches where they may differ, in order, apart and inside both files.
/// Every byte outside the regions must be the same in source and target;
/// `compareSnapshots` makes sure of that for files.
struct PatchInput {
    std::int64_t sourceSize = 0;
    std::uint32_t sourceCrc = 0;
    std::int64_t targetSize = 0;
    std::uint32_t targetCrc = 0;
    std::vector<PatchRegion> regions;
};

enum class PatchFormat { Bps, Ips };

/// IPS for a file name that ends in ".ips" (in any case), BPS for any other.
PatchFormat patchFormatFor(std::string_view path);

/// The metadata a BPS patch carries:
/// {"seed":"N","seedCode":"w w w w","revision":1}, without the seed for a
/// labyrinth that no seed made (a layout). The seed is a string of decimal
/// digits, since readers that hold every JSON number as a double
/// (JavaScript's among them) would round seeds above 2^53; the revision is
/// the generator revision under which the seed names the labyrinth.
std::string patchMetadata(std::optional<std::uint64_t> seed, std::string_view seedCode);

/// The BPS patch: "BPS1", the sizes, `metadata`, the actions (source reads for
/// what is unchanged, target reads for what changed) and the three CRC32s.
/// Fails when the input is inconsistent or the sizes differ (writes never
/// change an image's size).
Result<std::vector<std::uint8_t>> makeBpsPatch(const PatchInput& input, std::string_view metadata);

/// The IPS patch: "PATCH", one record per run of changed bytes, "EOF". Fails
/// with a message that says to use BPS when a changed byte lies beyond the
/// 16 MiB that IPS's three-byte offsets reach, or when a record would have to
/// start at the offset that spells "EOF" with nothing before it to start at.
Result<std::vector<std::uint8_t>> makeIpsPatch(const PatchInput& input);

/// The patch in `format`, with `metadata` when the format carries any.
Result<std::vector<std::uint8_t>> makePatch(PatchFormat format, const PatchInput& input, std::string_view metadata);

/// The stretches [begin, end) a click may change: the room records up to
/// `writerRegionEnd()` and the text block.
struct ByteRange {
    std::int64_t begin = 0;
    std::int64_t end = 0;
};
std::vector<ByteRange> clickRegions();

/// What a patch needs to know of one image file: its size, its CRC32, the
/// bytes of `regions`, and a CRC32 of every byte outside them, by which a
/// change anywhere else shows. Taken in one pass in chunks.
struct ImageSnapshot {
    std::int64_t size = 0;
    std::uint32_t crc = 0;
    std::uint32_t outsideCrc = 0;
    std::vector<ByteRange> regions;
    std::vector<std::vector<std::uint8_t>> regionBytes;
};

/// Reads `file` once, chunk by chunk. Fails when it cannot be read or is too
/// short to hold every region.
Result<ImageSnapshot> snapshotImage(RandomAccessFile& file, const std::vector<ByteRange>& regions);

/// The patch input from the image before (`source`) and after (`target`) a
/// write. Fails, naming `targetName`, when the two differ in size or anywhere
/// outside the regions, as a patch of the regions alone would then be wrong.
Result<PatchInput> compareSnapshots(const ImageSnapshot& source, const ImageSnapshot& target,
                                    const std::string& targetName);

/// The patch of one write, in `format`: from `before` (the snapshot of the
/// image taken before the click) to the image as `written` now holds it,
/// with the seed and seed code of the click as metadata. What the command
/// line's `write --patch` and the browser page both offer.
Result<std::vector<std::uint8_t>> makeWritePatch(PatchFormat format, const ImageSnapshot& before,
                                                 RandomAccessFile& written, std::optional<std::uint64_t> seed,
                                                 std::string_view seedCode);

}  // namespace labyrinth
