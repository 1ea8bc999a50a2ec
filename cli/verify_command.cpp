// `verify`: is the labyrinth in an image complete and consistent, and is it
// the one it should be (its text block, its seed)?

#include <array>
#include <filesystem>
#include <iostream>
#include <optional>

#include "commands.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/file_plan.h"
#include "writer/image_file.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"
#include "writer/verify.h"

namespace labyrinth::cli {
namespace {

// The text file to compare the text block with: the one given, else
// tgltext.tgl beside the image when it is there; empty for none.
std::string textToCompare(const VerifyOptions& options) {
    if (!options.text.empty()) return options.text;
    const std::string beside = textBeside(options.image);
    std::error_code ec;
    const bool there = std::filesystem::symlink_status(beside, ec).type() != std::filesystem::file_type::not_found;
    return there && !ec ? beside : std::string();
}

}  // namespace

ExitCode runVerify(const VerifyOptions& options) {
    // It writes no file, but prints: never into a file it reads.
    const std::array<std::string, 3> inputs{options.image, textToCompare(options), options.original};
    if (auto allowed = checkOutputs({}, inputs, false); !allowed)
        return reportError(ExitCode::Usage, allowed.error().message);
    auto image = readImageRegion(options.image, options.waitSeconds);
    if (!image) return reportError(ExitCode::Usage, image.error().message);

    // Only the text block's bytes are read of the text file.
    const std::string textPath = textToCompare(options);
    std::array<std::uint8_t, format::textSize> textBlock{};
    std::optional<std::span<const std::uint8_t>> text;
    if (!textPath.empty()) {
        auto file = DiskFile::open(textPath, DiskFile::Mode::ReadOnly);
        if (!file) return reportError(ExitCode::Usage, file.error().message);
        Status read = checkTextFile(*file.value());
        if (read) read = file.value()->readAt(0, textBlock);
        if (!read) return reportError(ExitCode::Usage, read.error().message);
        text = textBlock;
    }
    std::unique_ptr<DiskFile> original;
    if (!options.original.empty()) {
        auto file = DiskFile::open(options.original, DiskFile::Mode::ReadOnly);
        if (!file) return reportError(ExitCode::Usage, file.error().message);
        original = std::move(file.value());
    }

    auto checked = verifyImageFile(*image.value().file, text, original.get());
    if (!checked) return reportError(ExitCode::Usage, checked.error().message);
    std::vector<Problem>& problems = checked.value();
    const std::vector<std::uint8_t>& bytes = image.value().bytes;
    for (auto& more : {options.seed ? checkSeed(bytes, *options.seed) : std::vector<Problem>{},
                       options.code.empty() ? std::vector<Problem>{} : checkSeedCode(bytes, options.code)})
        problems.insert(problems.end(), more.begin(), more.end());

    const std::string name = printable(options.image);
    for (const Problem& problem : problems) std::cout << name << ": " << printable(problem.message) << '\n';
    // What the image was compared with, so that a clean result says what it covers.
    if (textPath.empty())
        std::cout << name << ": text block not compared: there is no " << format::textFileName
                  << " beside it (name one with --text)\n";
    else
        std::cout << name << ": text block compared with " << printable(textPath) << '\n';
    if (options.seed)
        std::cout << name << ": compared byte for byte with the labyrinth of seed " << *options.seed << '\n';
    if (!options.code.empty()) std::cout << name << ": compared with the seed code " << options.code << '\n';
    std::cout << verdictLine(name, problems.size()) << '\n';
    if (!problems.empty()) return ExitCode::Failed;
    // No problem means the stream was read in full, so it decodes again here.
    std::cout << seedCodeLine(decodeLabyrinth(options.image, bytes).value().seedCode) << '\n';
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
