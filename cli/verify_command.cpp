// `verify`: is the labyrinth in an image complete and consistent?

#include <array>
#include <iostream>
#include <optional>

#include "commands.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/image_file.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"
#include "writer/verify.h"

namespace labyrinth::cli {
ExitCode runVerify(const VerifyOptions& options) {
    auto image = readImageRegion(options.image);
    if (!image) return reportError(ExitCode::Usage, image.error().message);

    // Only the text block's bytes are read of the text file.
    std::array<std::uint8_t, format::textSize> textBlock{};
    std::optional<std::span<const std::uint8_t>> text;
    if (!options.text.empty()) {
        auto file = DiskFile::open(options.text, DiskFile::Mode::ReadOnly);
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

    auto problems = verifyImageFile(*image.value().file, text, original.get());
    if (!problems) return reportError(ExitCode::Usage, problems.error().message);
    const std::string name = printable(options.image);
    for (const Problem& problem : problems.value()) std::cout << name << ": " << printable(problem.message) << '\n';
    if (!problems.value().empty()) {
        const auto count = problems.value().size();
        std::cout << name << ": " << count << (count == 1 ? " problem" : " problems") << '\n';
        return ExitCode::Failed;
    }
    // No problem means the stream was read in full, so it decodes again here.
    const auto decoded = decodeStream(image.value().bytes);
    std::cout << name << ": the labyrinth is complete and consistent\n"
              << "Seed code: " << seedCode(writtenStream(image.value().bytes, decoded.value())) << '\n';
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
