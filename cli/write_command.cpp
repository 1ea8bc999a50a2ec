// `write`: the button's whole job on an image, in place or on a copy.

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <optional>

#include "commands.h"
#include "labyrinth_views.h"
#include "map/map_picture.h"
#include "map/map_svg.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/image_file.h"
#include "writer/output_file.h"
#include "writer/patch.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"

namespace labyrinth::cli {
namespace {

std::string textBeside(const std::string& image) {
    const auto slash = image.find_last_of('/');
    return slash == std::string::npos ? std::string(format::textFileName)
                                       : image.substr(0, slash + 1) + format::textFileName;
}

// The copy of `-o`: the image, chunk by chunk, into a new file that only
// appears at its name once the labyrinth is in it.
Result<std::unique_ptr<NewFile>> copyImage(DiskFile& image, const std::string& output, bool force) {
    auto copy = NewFile::create(output, force);
    if (!copy) return copy.error();
    auto size = image.size();
    if (!size) return size.error();
    NewFile& file = *copy.value();
    // Holes of a sparse image are skipped, not read, and stay holes.
    for (std::int64_t offset = 0; offset < size.value();) {
        const std::int64_t data = std::min(image.nextData(offset), size.value());
        if (data > offset) {
            if (auto hole = file.appendZeros(data - offset); !hole) return hole.error();
            offset = data;
            continue;
        }
        const std::int64_t end = std::min(offset + chunkSize, size.value());
        auto copied = forEachChunk(image, offset, end, [&](std::int64_t, std::span<const std::uint8_t> bytes) {
            return file.append(bytes);
        });
        if (!copied) return copied.error();
        offset = end;
    }
    return std::move(copy.value());
}

// The picture and the JSON description of the labyrinth just written, read
// back out of the written image so that they show exactly what it holds.
Status writeExtras(const WriteOptions& options, std::span<const std::uint8_t> region, const ClickResult& result,
                   const std::string& written) {
    auto decoded = decodeStream(region);
    if (!decoded) return Error{written + ": the labyrinth cannot be read back: " + decoded.error().message};
    const auto stream = writtenStream(region, decoded.value());
    if (!std::equal(stream.begin(), stream.end(), result.stream.begin(), result.stream.end()))
        return Error{written + ": the room records read back differ from those written"};
    const std::string code = seedCode(stream);
    if (!options.png.empty()) {
        auto png = mapPng(decoded.value(), code, map::defaultScale);
        if (!png) return Error{options.png + ": " + png.error().message};
        if (auto saved = writeOutput(options.png, png.value(), options.force); !saved) return saved;
    }
    if (!options.svg.empty())
        if (auto saved = writeOutput(options.svg, map::mapSvg(decoded.value(), code), options.force); !saved)
            return saved;
    if (!options.spoiler.empty())
        if (auto saved = writeOutput(options.spoiler, labyrinthJson(decoded.value(), code).dump(2) + "\n",
                                     options.force);
            !saved)
            return saved;
    return {};
}

}  // namespace

ExitCode runWrite(const WriteOptions& options) {
    const std::string textPath = options.text.empty() ? textBeside(options.image) : options.text;
    const bool toCopy = !options.output.empty();

    // Every output is checked before anything is written.
    if (toCopy && sameFile(options.image, options.output))
        return reportError(ExitCode::Usage,
                           options.output + ": is the image itself; leave out --output to write in place");
    const std::array<PlannedOutput, 5> outputs{{
        {"--output", options.output, false},
        {"--png", options.png, false},
        {"--svg", options.svg, true},
        {"--spoiler", options.spoiler, true},
        {"--patch", options.patch, false},
    }};
    const std::array<std::string, 2> inputs{options.image, textPath};
    if (auto allowed = checkOutputs(outputs, inputs, options.force); !allowed)
        return reportError(ExitCode::Usage, allowed.error().message);
    // With a description or the map on standard output, the report goes to
    // standard error, so that standard output holds that document alone.
    const bool documentToStandardOutput =
        options.spoiler == standardOutputName || options.svg == standardOutputName;
    std::ostream& report = documentToStandardOutput ? std::cerr : std::cout;

    // In place the image is opened for reading and writing; for a copy it is
    // only read, and the labyrinth is written into the copy.
    auto image = DiskFile::open(options.image, toCopy ? DiskFile::Mode::ReadOnly : DiskFile::Mode::ReadWrite);
    if (!image) return reportError(ExitCode::Usage, image.error().message);
    auto text = DiskFile::open(textPath, DiskFile::Mode::ReadOnly);
    if (!text) return reportError(ExitCode::Usage, text.error().message);
    const bool wantsPatch = !options.patch.empty();
    if (toCopy || wantsPatch) {
        // Checked before the image is copied or read whole, so that bad input costs nothing.
        for (const Status& fit : {checkImage(*image.value()), checkTextFile(*text.value())})
            if (!fit) return reportError(ExitCode::Usage, fit.error().message + "; nothing was written");
    }
    // A patch starts from the image as it is now: its size, its CRC32 and
    // the bytes that the click may change, read in one pass.
    std::optional<ImageSnapshot> before;
    if (wantsPatch) {
        auto taken = snapshotImage(*image.value(), clickRegions());
        if (!taken) return reportError(ExitCode::Usage, taken.error().message + "; nothing was written");
        before = std::move(taken.value());
    }
    std::unique_ptr<NewFile> copy;
    if (toCopy) {
        auto made = copyImage(*image.value(), options.output, options.force);
        if (!made) return reportError(ExitCode::Failed, made.error().message + "; " + options.image + " is unchanged");
        copy = std::move(made.value());
    }
    RandomAccessFile& rom = toCopy ? static_cast<RandomAccessFile&>(*copy) : *image.value();

    FixedSeedSource seed(options.seed ? *options.seed : ClockSeedSource().nextSeed());
    Session session(rom, *text.value(), seed);
    SilentDriverHost host;
    const ClickResult& result = savebutClick(session, host);
    if (!result.status)
        return reportError(result.refused ? ExitCode::Usage : ExitCode::Failed, result.status.error().message);

    const std::string written = toCopy ? options.output : options.image;
    const std::string code = seedCode(result.stream);
    // The image has changed: its seed goes out first, so that this labyrinth
    // can always be written again, whatever fails after.
    report << "Seed: " << result.seed << '\n' << "Seed code: " << code << '\n' << std::flush;
    // Standard output that refuses them (a full disk, a closed pipe) must
    // not take the seed with it: standard error gets it instead.
    if (!report)
        reportError(ExitCode::Failed, written + ": the labyrinth's Seed: " + std::to_string(result.seed) +
                                          "  Seed code: " + code +
                                          " (standard output did not take that line)");

    auto region = readPrefix(rom, format::readRegionEnd);
    // Made before the copy is saved (it is closed then), from the very bytes
    // the labyrinth went into; saved only once the image is.
    Result<std::vector<std::uint8_t>> patch = std::vector<std::uint8_t>{};
    if (wantsPatch) {
        patch = makeWritePatch(patchFormatFor(options.patch), *before, rom, result.seed, code);
        if (!patch) patch = Error{options.patch + ": " + patch.error().message};
    }
    if (toCopy) {
        if (auto saved = copy->commit(); !saved)
            return reportError(ExitCode::Failed, saved.error().message + "; " + options.image + " is unchanged");
    } else if (auto closed = image.value()->close(); !closed) {
        return reportError(ExitCode::Failed, closed.error().message);
    }
    if (wantsPatch) {
        const Status saved = patch ? writeNewFile(options.patch, patch.value(), options.force) : Status(patch.error());
        if (!saved)
            return reportError(ExitCode::Failed,
                               saved.error().message + " (the labyrinth itself was written to " + written + ")");
    }
    if (!options.png.empty() || !options.svg.empty() || !options.spoiler.empty()) {
        Status extras = region ? writeExtras(options, region.value(), result, written) : Status(region.error());
        if (!extras)
            return reportError(ExitCode::Failed,
                               extras.error().message + " (the labyrinth itself was written to " + written + ")");
    }
    report << "Attempts: " << result.attempts << " (generation attempts: " << result.generations << ")\n"
           << "Wrote: " << printable(written) << '\n';
    if (wantsPatch) report << "Patch: " << printable(options.patch) << '\n';
    if (!options.png.empty()) report << "Picture: " << printable(options.png) << '\n';
    if (!options.svg.empty() && options.svg != standardOutputName) report << "SVG: " << printable(options.svg) << '\n';
    if (!options.spoiler.empty() && options.spoiler != standardOutputName)
        report << "Spoiler: " << printable(options.spoiler) << '\n';
    report << statusDone << '\n';
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
