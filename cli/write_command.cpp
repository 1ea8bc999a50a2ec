// `write`: the button's whole job on an image, in place or on a copy, in
// five steps: plan the outputs, prepare the target, write, save what goes
// beside, and report. Which labyrinth, the write itself and how it is named
// are the application layer's (requests/write.h), as for every front end;
// this file holds what only files on disk need: locks, the copy, the
// outputs, signals and the checks that the files are what was written.

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <optional>

#include "commands.h"
#include "layout/labyrinth_json.h"
#include "map/map_svg.h"
#include "readback_io.h"
#include "requests/write.h"
#include "sealed_spoiler.h"
#include "write_report.h"
#include "writer/file_plan.h"
#include "writer/interruption.h"
#include "writer/patch.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"

namespace labyrinth::cli {
namespace {

// "; nothing was written", as every refusal ends.
std::string nothingWritten() { return "; " + std::string(nothingWrittenText); }

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
                                                                                              : std::cout) {
        choice_.seed = options.seed;
        choice_.daily = options.daily;
        if (options.sealed) choice_.sealedIn = options.spoiler;
    }

    // Every output is checked before anything is written.
    ExitCode planOutputs() {
        if (options_.sealed && options_.spoiler == standardOutputName)
            return fail(ExitCode::Usage, "--sealed keeps the seed in a file and prints it nowhere; name a file "
                                                "for --spoiler, not \"-\"");
        if (options_.json && (options_.spoiler == standardOutputName || options_.svg == standardOutputName))
            return fail(ExitCode::Usage, "--json prints its object on standard output; name a file for " +
                                             std::string(options_.svg == standardOutputName ? "--svg" : "--spoiler") +
                                             ", not \"-\"");
        if (toCopy_) {
            const auto image = identify(options_.image);
            const auto copy = identify(options_.output);
            if (image && copy && image.value() == copy.value())
                return fail(ExitCode::Usage,
                                   options_.output + ": is the image itself; leave out --output to write in place");
        }
        const std::array<PlannedOutput, 5> outputs{{
            {"--output", options_.output, false},
            {"--png", options_.png, false},
            {"--svg", options_.svg, true},
            {"--spoiler", options_.spoiler, true},
            {"--patch", options_.patch, false},
        }};
        const std::array<std::string, 3> inputs{options_.image, textPath_, options_.layout};
        if (auto allowed = checkOutputs(outputs, inputs, options_.force); !allowed)
            return fail(ExitCode::Usage, allowed.error().message);
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
        if (!image) return fail(ExitCode::Usage, image.error().message);
        image_ = std::move(image.value());
        auto text = DiskFile::open(textPath_, DiskFile::Mode::ReadOnly);
        if (!text) return fail(ExitCode::Usage, text.error().message);
        text_ = std::move(text.value());
        const FileLock lock = toCopy_ ? FileLock::Shared : FileLock::Exclusive;
        if (auto locked = lockWaiting(*image_, lock, lockWait(options_.image, options_.waitSeconds)); !locked)
            return fail(ExitCode::Usage, locked.error().message + nothingWritten());

        auto size = image_->size();
        if (!size) return fail(ExitCode::Usage, size.error().message + nothingWritten());
        imageSize_ = size.value();
        const bool wantsPatch = !options_.patch.empty();
        // Checked before the image is copied or read whole, so that bad input costs nothing.
        if (toCopy_ || wantsPatch || options_.sealed)
            if (auto fit = requests::checkFiles(*image_, *text_); !fit)
                return fail(ExitCode::Usage, fit.error().message + nothingWritten());
        // A patch starts from the image as it is now: its size, its CRC32 and
        // the bytes that the click may change, read in one pass.
        if (wantsPatch) {
            auto taken = snapshotImage(*image_, clickRegions());
            if (!taken) return fail(ExitCode::Usage, taken.error().message + nothingWritten());
            before_ = std::move(taken.value());
        }
        if (toCopy_) {
            // Until the copy is in place, a signal says that it was not made.
            interruption::setFarewell("labyrinth-cli: " + printable(options_.output) +
                                      ": stopped by a signal before the copy was made; it was not written, and " +
                                      nothingWrittenTo() + "\n");
            auto made = copyToNewFile(*image_, options_.output, options_.force);
            if (!made) return fail(ExitCode::Failed, made.error().message + "; " + nothingWrittenTo());
            copy_ = std::move(made.value());
        } else if (imageSize_ >= format::textEnd) {
            // What the image held where a click writes, to tell afterwards
            // whether a failed write changed it at all. (An image too short
            // for that is refused by the click itself.)
            regionBefore_.resize(static_cast<std::size_t>(format::textEnd - format::roomDataPos));
            if (auto read = image_->readAt(format::roomDataPos, regionBefore_); !read)
                return fail(ExitCode::Usage, read.error().message + nothingWritten());
        }
        if (!options_.sealed) return ExitCode::Ok;
        auto sealed = SealedSpoiler::seal(options_.spoiler, options_.force);
        if (!sealed) return fail(ExitCode::Failed, sealed.error().message + nothingWritten());
        sealed_ = std::move(sealed.value());
        choice_.seed = sealed_->seed();
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
            click_ = requests::writeChoice(target(), *text_, choice_,
                                           requests::masterSeed(choice_, ClockSeedSource().nextSeed()), host);
            if (click_.imageChanged && !toCopy_) {
                partlyWritten_ = !click_.status && changedSinceStart();
                interruption::setFarewell(farewell());
                if (sealed_ && (partlyWritten_ || click_.status)) sealed_->keep();
            }
        }
        if (click_.imageChanged && (!toCopy_ || click_.status) && !options_.json) tellSeed();
        if (!click_.status) {
            fail(click_.refused ? ExitCode::Usage : ExitCode::Failed, click_.status.error().message);
            // A refusal wrote nothing and says so; after a failed write, every
            // output asked for is named as missing.
            if (click_.refused) return ExitCode::Usage;
            return noneBeside(ExitCode::Failed, false);
        }

        // What the outputs show comes from the file: the whole region that
        // readers read, decoded, must hold the very stream that was written.
        auto region = readPrefix(target(), format::readRegionEnd);
        if (!region) return fail(ExitCode::Failed, region.error().message);
        auto labyrinth = decodeLabyrinth(written_, std::move(region.value()));
        if (!labyrinth || !std::ranges::equal(labyrinth.value().written(), click_.stream)) {
            fail(ExitCode::Failed, written_ + ": the room records read back differ from those written");
            return noneBeside(ExitCode::Failed, false);
        }
        // A sealed write must hold the very labyrinth that its spoiler describes.
        if (sealed_ && sealed_->stream() != click_.stream) {
            fail(ExitCode::Failed, written_ + ": holds another labyrinth than the one sealed in " + options_.spoiler);
            return noneBeside(ExitCode::Failed, false);
        }
        labyrinth_ = std::move(labyrinth.value());
        if (!toCopy_) tally_.made("IMAGE");
        return ExitCode::Ok;
    }

    // The patch (made from the very bytes the labyrinth went into, before a
    // copy is closed), the copy moved into place, then picture and spoiler.
    // Each output is tried whatever became of the one before, and each ends
    // written or named as missing.
    ExitCode saveExtras() {
        Result<std::vector<std::uint8_t>> patch = std::vector<std::uint8_t>{};
        if (!options_.patch.empty()) {
            // A layout has no seed, and a sealed one travels in its spoiler alone.
            const std::optional<std::uint64_t> seed =
                choice_.layout || sealed_ ? std::nullopt : std::optional(click_.seed);
            patch = makeWritePatch(patchFormatFor(options_.patch), *before_, target(), seed, code());
            if (!patch) patch = Error{options_.patch + ": " + patch.error().message};
        }
        // Without the file that holds the labyrinth, nothing beside it is made:
        // it would describe a labyrinth that no file of the player's holds.
        if (toCopy_) {
            // Once the copy is in place, a signal tells its seed and leaves the spoiler of a sealed one.
            if (auto saved = copy_->commit([this] {
                    interruption::setFarewell(farewell());
                    if (sealed_) sealed_->keep();
                    tally_.made("--output");
                });
                !saved) {
                fail(ExitCode::Failed, saved.error().message + "; " + nothingWrittenTo());
                return noneBeside(ExitCode::Failed, true);
            }
        } else if (auto there = checkStillNamed(*image_); !there) {
            fail(ExitCode::Failed, there.error().message);
            return noneBeside(ExitCode::Failed, false);
        }
        if (!options_.patch.empty())
            saveOutcome("--patch", options_.patch,
                        patch ? outputs_.write(options_.patch, patch.value()) : Status(patch.error()));
        if (!options_.png.empty()) {
            auto png = mapPng(labyrinth_.stream, code(), map::defaultScale);
            saveOutcome("--png", options_.png,
                        png ? outputs_.write(options_.png, png.value())
                            : Status(Error{options_.png + ": " + png.error().message}));
        }
        if (!options_.svg.empty())
            saveOutcome("--svg", options_.svg, outputs_.write(options_.svg, map::mapSvg(labyrinth_.stream, code())));
        if (!options_.spoiler.empty() && !sealed_)
            saveOutcome("--spoiler", options_.spoiler,
                        outputs_.write(options_.spoiler, documentText(labyrinthJson(labyrinth_.stream, code()))));
        return ExitCode::Ok;
    }

    // The report of what was written; "Done." only when every output asked
    // for exists and the last check holds, and otherwise a last line that
    // says what does not.
    ExitCode reportDone() {
        if (options_.json) {
            if (tally_.anyMissing()) return tally_.notWrittenLine(ExitCode::Failed);
            if (auto still = lastCheck(); !still) return fail(ExitCode::Failed, still.error().message);
            interruption::holdUntilExit();
            printJson(ExitCode::Ok);
            return ExitCode::Ok;
        }
        if (!choice_.layout)
            report_ << "Attempts: " << click_.attempts << " (generation attempts: " << click_.generations << ")\n";
        report_ << "Wrote: " << printable(written_) << '\n';
        const auto saved = [this](const std::string& path) {
            return !path.empty() && path != standardOutputName && !tally_.isMissing(path);
        };
        if (saved(options_.patch)) report_ << "Patch: " << printable(options_.patch) << '\n';
        if (saved(options_.png)) report_ << "Picture: " << printable(options_.png) << '\n';
        if (saved(options_.svg)) report_ << "SVG: " << printable(options_.svg) << '\n';
        if (saved(options_.spoiler)) report_ << "Spoiler: " << printable(options_.spoiler) << '\n';
        if (tally_.anyMissing()) return tally_.notWrittenLine(ExitCode::Failed);
        // The report is out before the last check, so that nothing that
        // happens while it is written goes unseen.
        report_.flush();
        if (auto still = lastCheck(); !still) return fail(ExitCode::Failed, still.error().message);
        // Once "Done." is said, a signal no longer ends the finished job.
        interruption::holdUntilExit();
        report_ << statusDone << '\n' << std::flush;
        return ExitCode::Ok;
    }

    // What --json prints, once, at the end: the labyrinth, every file and
    // whether it was written, the verdict and every error told.
    void printJson(ExitCode exit) {
        const std::optional<bool> sealedKept = sealed_ ? std::optional(sealed_->kept()) : std::nullopt;
        printReport({options_, choice_.layout.has_value(), sealedKept, click_, labyrinth_, written_, toCopy_, tally_}, exit);
    }

    // A write that did not finish: the spoiler of a sealed labyrinth goes
    // with it, unless the image holds (part of) its labyrinth; then it stays
    // and says so, never silently.
    void settleSealedSpoiler() {
        if (!sealed_) return;
        if (const std::string told = sealed_->settle(written_, click_.status.ok()); !told.empty())
            fail(ExitCode::Failed, told);
    }

private:
    // A labyrinth given as its description: read and checked by every rule
    // of verify before anything is opened for writing; every problem named.
    ExitCode readLayoutFile() {
        const std::string& path = options_.layout;
        auto read = cli::readLayoutFile(path);
        if (!read) return fail(ExitCode::Usage, read.error().message);
        for (const std::string& problem : read.value().problems) fail(ExitCode::Usage, path + ": " + problem);
        if (!read.value().cells) return fail(ExitCode::Usage, read.value().refusal + nothingWritten());
        choice_.layout = std::move(read.value().cells);
        choice_.layoutName = path;
        return ExitCode::Ok;
    }

    RandomAccessFile& target() { return toCopy_ ? static_cast<RandomAccessFile&>(*copy_) : *image_; }

    // Every error goes to standard error, as one line, and into the --json object.
    ExitCode fail(ExitCode code, const std::string& message) { return tally_.fail(code, message); }
    bool wrote(const std::string& option) const { return tally_.wrote(option); }
    std::string code() const { return seedCode(click_.stream); }

    // How a failure says that the image itself was left alone: this command
    // wrote nothing to it (another program may have, which it cannot vouch for).
    std::string nothingWrittenTo() const { return std::string(nothingWrittenText) + " to " + options_.image; }

    // Whether the image's bytes where a click writes differ from those it
    // held before: after a failed write, partly written or not at all.
    bool changedSinceStart() {
        std::vector<std::uint8_t> now(regionBefore_.size());
        return regionBefore_.empty() || !image_->readAt(format::roomDataPos, now) || now != regionBefore_;
    }

    // Immediately before "Done.": the file that holds the labyrinth is still
    // under its name, as long as it was, and holds what was read back; each
    // file written beside it holds what was written. Then the image is
    // closed, which on some file systems is when a late failure shows.
    Status lastCheck() {
        if (auto holds = checkStillHolds(target(), imageSize_, labyrinth_.region); !holds) return holds;
        if (sealed_)
            if (auto holds = sealed_->checkHolds(); !holds) return holds;
        if (auto holds = outputs_.checkAll(); !holds) return holds;
        if (!toCopy_)
            if (auto closed = image_->close(); !closed) return closed;
        return {};
    }

    void tellSeed() { tellSeedLine(report_, options_.daily, written_, identity(), tally_); }

    std::string identity() const { return requests::writeIdentity(choice_, click_, partlyWritten_); }

    // What a signal says once the labyrinth is in the file it names.
    std::string farewell() const {
        return "labyrinth-cli: " + printable(written_) + ": stopped by a signal after writing the labyrinth of " +
               identity() + "\n";
    }

    // The outcome of one output beside the labyrinth: on failure its reason,
    // and the output joins those named as missing at the end.
    void saveOutcome(const std::string& option, const std::string& path, const Status& saved) {
        if (saved) {
            tally_.made(option);
            return;
        }
        const std::string where = path == standardOutputName ? option + " -: " : "";
        fail(ExitCode::Failed,
                    where + saved.error().message + " (the labyrinth itself was written to " + written_ + ")");
        tally_.missing(option, path);
    }

    // After a failure that stops every output not made yet: all of them are
    // named, the copy of --output too when `withCopy`; a sealed spoiler is
    // made already, and settled apart.
    ExitCode noneBeside(ExitCode code, bool withCopy) {
        const std::array<std::pair<const char*, const std::string*>, 5> outputs{{
            {"--output", withCopy ? &options_.output : nullptr},
            {"--patch", &options_.patch},
            {"--png", &options_.png},
            {"--svg", &options_.svg},
            {"--spoiler", sealed_ ? nullptr : &options_.spoiler},
        }};
        for (const auto& [option, path] : outputs)
            if (path != nullptr && !path->empty()) tally_.missing(option, *path);
        return tally_.anyMissing() ? tally_.notWrittenLine(code) : code;
    }

    const WriteOptions& options_;
    const std::string textPath_;
    const bool toCopy_;
    const std::string written_;  // the file that gets the labyrinth: the image, or the copy
    std::ostream& report_;
    requests::LabyrinthChoice choice_;  // which labyrinth: a seed given, the day's, a layout, a sealed seed
    std::unique_ptr<DiskFile> image_;
    std::unique_ptr<DiskFile> text_;
    std::optional<ImageSnapshot> before_;
    std::unique_ptr<NewFile> copy_;
    std::unique_ptr<SealedSpoiler> sealed_;   // the spoiler of --sealed, written before the image
    std::int64_t imageSize_ = 0;              // the image's size when it was checked
    std::vector<std::uint8_t> regionBefore_;  // what the image held where a click writes
    bool partlyWritten_ = false;              // a failed write changed the image all the same
    ClickResult click_;
    ReadBack labyrinth_;              // what the file holds after the write
    Outputs outputs_{options_.force};  // the files written beside the labyrinth
    WriteTally tally_;  // the files written and missing, the errors told
};

}  // namespace

ExitCode runWrite(const WriteOptions& options) {
    WriteJob job(options);
    ExitCode code = ExitCode::Ok;
    for (auto step : {&WriteJob::planOutputs, &WriteJob::prepareTarget, &WriteJob::write, &WriteJob::saveExtras,
                      &WriteJob::reportDone})
        if (code = (job.*step)(); code != ExitCode::Ok) break;
    if (code != ExitCode::Ok) {
        job.settleSealedSpoiler();
        if (options.json) job.printJson(code);
    }
    return code;
}

}  // namespace labyrinth::cli
