// `write`: the button's whole job on an image, in place or on a copy.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "commands.h"
#include "labyrinth_views.h"
#include "map/map_picture.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/image_file.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"

namespace labyrinth::cli {
namespace {

namespace fs = std::filesystem;

std::string textBeside(const std::string& image) {
    return (fs::path(image).parent_path() / format::textFileName).string();
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

// The picture and the JSON description of the labyrinth just written, read
// back out of the written image so that they show exactly what it holds.
Status writeExtras(const WriteOptions& options, RandomAccessFile& rom, const ClickResult& result,
                   std::string& code) {
    auto size = rom.size();
    if (!size) return size.error();
    std::vector<std::uint8_t> image(static_cast<std::size_t>(size.value()));
    if (auto failed = rom.readAt(0, image)) return failed;
    auto decoded = decodeStream(image);
    if (!decoded) return Error{rom.name() + ": the labyrinth cannot be read back: " + decoded.error().message};
    const auto written = writtenStream(image, decoded.value());
    if (!std::equal(written.begin(), written.end(), result.stream.begin(), result.stream.end()))
        return Error{rom.name() + ": the room records read back differ from those written"};
    code = seedCode(written);

    if (!options.png.empty()) {
        auto png = mapPng(decoded.value(), code, map::defaultScale);
        if (!png) return Error{options.png + ": " + png.error().message};
        if (auto failed = writeOutput(options.png, png.value())) return failed;
    }
    if (!options.spoiler.empty()) {
        const std::string json = labyrinthJson(decoded.value(), code).dump(2) + "\n";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(json.data());
        if (auto failed = writeOutput(options.spoiler, std::span<const std::uint8_t>(bytes, json.size())))
            return failed;
    }
    return std::nullopt;
}
}  // namespace

ExitCode runWrite(const WriteOptions& options) {
    const std::string textPath = options.text.empty() ? textBeside(options.image) : options.text;
    const std::uint64_t seed = options.seed ? *options.seed : ClockSeedSource().nextSeed();
    const bool toCopy = !options.output.empty();

    if (toCopy && sameFile(options.image, options.output)) {
        return reportError(ExitCode::Usage,
                           options.output + ": is the image itself; leave out --output to write in place");
    }
    if (toCopy && !options.force && fs::exists(fs::symlink_status(options.output))) {
        return reportError(ExitCode::Usage, options.output + ": already exists (use --force to replace it)");
    }

    for (const std::string* extra : {&options.png, &options.spoiler})
        if (!extra->empty())
            if (auto clash = checkOutputPath(*extra, {options.image, textPath, options.output}))
                return reportError(ExitCode::Usage, clash->message);
    if (!options.png.empty() && !options.spoiler.empty())
        if (checkOutputPath(options.png, {options.spoiler}))
            return reportError(ExitCode::Usage, options.png + ": named for both --png and --spoiler");

    // In place the image is kept open for reading and writing; for a copy it
    // is read into memory and never opened for writing.
    std::unique_ptr<RandomAccessFile> rom;
    if (toCopy) {
        auto bytes = readWholeFile(options.image);
        if (!bytes) return reportError(ExitCode::Usage, bytes.error().message);
        rom = std::make_unique<MemoryFile>(options.image, std::move(bytes.value()));
    } else {
        auto file = DiskFile::open(options.image, DiskFile::Mode::ReadWrite);
        if (!file) return reportError(ExitCode::Usage, file.error().message);
        rom = std::move(file.value());
    }
    auto text = DiskFile::open(textPath, DiskFile::Mode::ReadOnly);
    if (!text) return reportError(ExitCode::Usage, text.error().message);
    for (const Status& status : {checkImage(*rom), checkTextFile(*text.value())})
        if (status) return reportError(ExitCode::Usage, status->message + "; nothing was written");

    DerivedSeedSource seeds(seed);
    Session session(*rom, *text.value(), seeds);
    SilentDriverHost host;
    const ClickResult result = savebutClick(session, host);
    if (result.error) return reportError(ExitCode::Failed, result.error->message);

    if (toCopy) {
        const auto& bytes = static_cast<MemoryFile&>(*rom).bytes();
        if (auto failed = writeNewFile(options.output, bytes, options.force))
            return reportError(ExitCode::Failed, failed->message + "; " + options.image + " is unchanged");
    }
    // The seed code comes from the stream as written; the picture and the
    // description, when asked for, are read back from the image itself.
    std::string code = seedCode(result.stream);
    if (!options.png.empty() || !options.spoiler.empty()) {
        const std::string written = toCopy ? options.output : options.image;
        if (auto failed = writeExtras(options, *rom, result, code))
            return reportError(ExitCode::Failed,
                               failed->message + " (the labyrinth itself was written to " + written + ")");
    }
    std::cout << "Seed: " << seed << '\n'
              << "Seed code: " << code << '\n'
              << "Attempts: " << result.attempts << " (generation attempts: " << result.generations << ")\n"
              << "Wrote: " << (toCopy ? options.output : options.image) << '\n';
    if (!options.png.empty()) std::cout << "Picture: " << options.png << '\n';
    if (!options.spoiler.empty()) std::cout << "Spoiler: " << options.spoiler << '\n';
    std::cout << statusDone << '\n';
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
