// `write`: the button's whole job on an image, in place or on a copy, in four
// steps: plan the outputs, prepare the target, write, save what goes beside.

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <optional>

#include "commands.h"
#include "labyrinth_views.h"
#include "layout/layout_reader.h"
#include "map/map_svg.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/image_file.h"
#include "writer/interruption.h"
#include "writer/output_file.h"
#include "writer/patch.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"

namespace labyrinth::cli {
namespace {

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

class WriteJob {
public:
    explicit WriteJob(const WriteOptions& options)
        : options_(options),
          textPath_(options.text.empty() ? textBeside(options.image) : options.text),
          toCopy_(!options.output.empty()),
          written_(toCopy_ ? options.output : options.image),
          // With a description or the map on standard output, the report goes
          // to standard error, so that standard output holds that document alone.
          report_(options.spoiler == standardOutputName || options.svg == standardOutputName ? std::cerr
                                                                                              : std::cout) {}

    // Every output is checked before anything is written.
    ExitCode planOutputs() {
        if (toCopy_ && sameFile(options_.image, options_.output))
            return reportError(ExitCode::Usage,
                               options_.output + ": is the image itself; leave out --output to write in place");
        const std::array<PlannedOutput, 5> outputs{{
            {"--output", options_.output, false},
            {"--png", options_.png, false},
            {"--svg", options_.svg, true},
            {"--spoiler", options_.spoiler, true},
            {"--patch", options_.patch, false},
        }};
        const std::array<std::string, 3> inputs{options_.image, textPath_, options_.layout};
        if (auto allowed = checkOutputs(outputs, inputs, options_.force); !allowed)
            return reportError(ExitCode::Usage, allowed.error().message);
        return ExitCode::Ok;
    }

    // Opens and locks the files, takes what a patch starts from, and makes the
    // copy of `-o`. Nothing is written to the image here.
    ExitCode prepareTarget() {
        if (!options_.layout.empty())
            if (const ExitCode code = readLayoutFile(); code != ExitCode::Ok) return code;
        // In place the image is opened for reading and writing and locked
        // against every other program that locks; for a copy it is only read,
        // and other readers may read it meanwhile.
        auto image = DiskFile::open(options_.image, toCopy_ ? DiskFile::Mode::ReadOnly : DiskFile::Mode::ReadWrite);
        if (!image) return reportError(ExitCode::Usage, image.error().message);
        image_ = std::move(image.value());
        auto text = DiskFile::open(textPath_, DiskFile::Mode::ReadOnly);
        if (!text) return reportError(ExitCode::Usage, text.error().message);
        text_ = std::move(text.value());
        const FileLock lock = toCopy_ ? FileLock::Shared : FileLock::Exclusive;
        if (auto locked = lockWaiting(*image_, lock, lockWait(options_.image, options_.waitSeconds)); !locked)
            return reportError(ExitCode::Usage, locked.error().message + "; nothing was written");

        const bool wantsPatch = !options_.patch.empty();
        if (toCopy_ || wantsPatch) {
            // Checked before the image is copied or read whole, so that bad input costs nothing.
            for (const Status& fit : {checkImage(*image_), checkTextFile(*text_)})
                if (!fit) return reportError(ExitCode::Usage, fit.error().message + "; nothing was written");
        }
        // A patch starts from the image as it is now: its size, its CRC32 and
        // the bytes that the click may change, read in one pass.
        if (wantsPatch) {
            auto taken = snapshotImage(*image_, clickRegions());
            if (!taken) return reportError(ExitCode::Usage, taken.error().message + "; nothing was written");
            before_ = std::move(taken.value());
        }
        if (toCopy_) {
            auto made = copyImage(*image_, options_.output, options_.force);
            if (!made)
                return reportError(ExitCode::Failed, made.error().message + "; " + options_.image + " is unchanged");
            copy_ = std::move(made.value());
        }
        return ExitCode::Ok;
    }

    // The click, then the check that the file holds it; the seed goes out
    // first, so that this labyrinth can always be written again.
    ExitCode write() {
        SilentDriverHost host;
        {
            // A signal waits until the labyrinth is whole in the file, and
            // then tells its seed as it ends the program.
            const interruption::Deferred held;
            click_ = layout_ ? writeLayout(target(), *text_, *layout_, host) : generatedClick(host);
            if (click_.imageChanged && !toCopy_) interruption::setFarewell(farewell());
        }
        if (click_.imageChanged && (!toCopy_ || click_.status)) tellSeed();
        if (!click_.status)
            return reportError(click_.refused ? ExitCode::Usage : ExitCode::Failed, click_.status.error().message);

        // What the outputs show comes from the file: the whole region that
        // readers read, decoded, must hold the very stream that was written.
        auto region = readPrefix(target(), format::readRegionEnd);
        if (!region) return reportError(ExitCode::Failed, region.error().message);
        auto labyrinth = decodeLabyrinth(written_, std::move(region.value()));
        if (!labyrinth || !std::ranges::equal(labyrinth.value().written(), click_.stream))
            return reportError(ExitCode::Failed, written_ + ": the room records read back differ from those written");
        labyrinth_ = std::move(labyrinth.value());
        return ExitCode::Ok;
    }

    // A click of the generator with the seed asked for: given, of the day,
    // or from the clock.
    ClickResult generatedClick(DriverHost& host) {
        FixedSeedSource seed(options_.daily   ? dailySeed(*options_.daily)
                             : options_.seed ? *options_.seed
                                             : ClockSeedSource().nextSeed());
        auto session = std::make_unique<Session>(target(), *text_, seed);
        return savebutClick(*session, host);
    }

    // The patch (made from the very bytes the labyrinth went into, before a
    // copy is closed), the copy moved into place, then picture and spoiler.
    ExitCode saveExtras() {
        Result<std::vector<std::uint8_t>> patch = std::vector<std::uint8_t>{};
        if (!options_.patch.empty()) {
            const std::optional<std::uint64_t> seed = layout_ ? std::nullopt : std::optional(click_.seed);
            patch = makeWritePatch(patchFormatFor(options_.patch), *before_, target(), seed, code());
            if (!patch) patch = Error{options_.patch + ": " + patch.error().message};
        }
        if (toCopy_) {
            if (auto saved = copy_->commit(); !saved)
                return reportError(ExitCode::Failed, saved.error().message + "; " + options_.image + " is unchanged");
            interruption::setFarewell(farewell());
        } else if (auto closed = image_->close(); !closed) {
            return reportError(ExitCode::Failed, closed.error().message);
        }
        if (!options_.patch.empty()) {
            const Status saved = patch ? writeNewFile(options_.patch, patch.value(), options_.force)
                                       : Status(patch.error());
            if (!saved) return failedBeside(saved.error());
        }
        if (!options_.png.empty()) {
            auto png = mapPng(labyrinth_.stream, code(), map::defaultScale);
            if (!png) return failedBeside(Error{options_.png + ": " + png.error().message});
            if (auto saved = writeOutput(options_.png, png.value(), options_.force); !saved)
                return failedBeside(saved.error());
        }
        if (!options_.svg.empty())
            if (auto saved = writeOutput(options_.svg, map::mapSvg(labyrinth_.stream, code()), options_.force); !saved)
                return failedBeside(saved.error());
        if (!options_.spoiler.empty())
            if (auto saved = writeOutput(options_.spoiler, labyrinthJson(labyrinth_.stream, code()).dump(2) + "\n",
                                         options_.force);
                !saved)
                return failedBeside(saved.error());
        return ExitCode::Ok;
    }

    ExitCode reportDone() {
        if (!layout_)
            report_ << "Attempts: " << click_.attempts << " (generation attempts: " << click_.generations << ")\n";
        report_ << "Wrote: " << printable(written_) << '\n';
        if (!options_.patch.empty()) report_ << "Patch: " << printable(options_.patch) << '\n';
        if (!options_.png.empty()) report_ << "Picture: " << printable(options_.png) << '\n';
        if (!options_.svg.empty() && options_.svg != standardOutputName)
            report_ << "SVG: " << printable(options_.svg) << '\n';
        if (!options_.spoiler.empty() && options_.spoiler != standardOutputName)
            report_ << "Spoiler: " << printable(options_.spoiler) << '\n';
        report_ << statusDone << '\n';
        return ExitCode::Ok;
    }

private:
    // A labyrinth given as its description: read and checked by every rule
    // of verify before anything is opened for writing; every problem named.
    ExitCode readLayoutFile() {
        const std::string& path = options_.layout;
        auto file = DiskFile::open(path, DiskFile::Mode::ReadOnly);
        if (!file) return reportError(ExitCode::Usage, file.error().message);
        auto size = file.value()->size();
        if (!size) return reportError(ExitCode::Usage, size.error().message);
        if (size.value() > maxLayoutSize)
            return reportError(ExitCode::Usage, path + ": is " + groupedNumber(static_cast<std::uint64_t>(size.value())) +
                                                    " bytes; a labyrinth's description is far smaller");
        auto bytes = readPrefix(*file.value(), maxLayoutSize);
        if (!bytes) return reportError(ExitCode::Usage, bytes.error().message);
        auto checked = checkLayout(std::string_view(reinterpret_cast<const char*>(bytes.value().data()),
                                                    bytes.value().size()),
                                   path);
        for (const std::string& problem : checked.problems) reportError(ExitCode::Usage, path + ": " + problem);
        if (!checked.cells) return reportError(ExitCode::Usage, checked.refusal + "; nothing was written");
        layout_ = std::move(*checked.cells);
        return ExitCode::Ok;
    }

    // Large enough for any description that show --json prints.
    static constexpr std::int64_t maxLayoutSize = std::int64_t{4} << 20;

    RandomAccessFile& target() { return toCopy_ ? static_cast<RandomAccessFile&>(*copy_) : *image_; }
    std::string code() const { return seedCode(click_.stream); }

    // The seed line, on the report; when standard output refuses it (a full
    // disk, a closed pipe), on standard error instead.
    void tellSeed() {
        if (options_.daily) report_ << "Daily labyrinth of " << dateText(*options_.daily) << " (UTC)\n";
        report_ << identity() << '\n' << std::flush;
        if (!report_)
            reportError(ExitCode::Failed, written_ + ": " + identity() + " (standard output did not take that line)");
    }

    // What names the labyrinth written: its seed line, or for a layout the
    // file it came from and its seed code.
    std::string identity() const {
        if (layout_) return "Layout: " + printable(options_.layout) + "  Code: " + code();
        return seedLine(click_.seed, code());
    }

    // What a signal says once the labyrinth is in the file it names.
    std::string farewell() const {
        return "labyrinth-cli: " + printable(written_) + ": stopped by a signal after writing the labyrinth of " +
               identity() + "\n";
    }

    ExitCode failedBeside(const Error& error) {
        return reportError(ExitCode::Failed,
                           error.message + " (the labyrinth itself was written to " + written_ + ")");
    }

    const WriteOptions& options_;
    const std::string textPath_;
    const bool toCopy_;
    const std::string written_;  // the file that gets the labyrinth: the image, or the copy
    std::ostream& report_;
    std::unique_ptr<DiskFile> image_;
    std::unique_ptr<DiskFile> text_;
    std::optional<ImageSnapshot> before_;
    std::unique_ptr<NewFile> copy_;
    ClickResult click_;
    std::optional<DecodedStream> layout_;  // the labyrinth of --layout
    ReadBack labyrinth_;                   // what the file holds after the write
};

}  // namespace

ExitCode runWrite(const WriteOptions& options) {
    WriteJob job(options);
    for (auto step : {&WriteJob::planOutputs, &WriteJob::prepareTarget, &WriteJob::write, &WriteJob::saveExtras})
        if (const ExitCode code = (job.*step)(); code != ExitCode::Ok) return code;
    return job.reportDone();
}

}  // namespace labyrinth::cli
