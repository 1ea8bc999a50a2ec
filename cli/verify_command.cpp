// `verify`: is the labyrinth in an image complete and consistent?

#include <iostream>
#include <optional>

#include "commands.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/image_file.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/seed_code.h"
#include "writer/verify.h"

namespace labyrinth::cli {
ExitCode runVerify(const VerifyOptions& options) {
    auto image = readImage(options.image);
    if (!image) return reportError(ExitCode::Usage, image.error().message);

    VerifyInputs inputs;
    inputs.image = image.value();
    std::vector<std::uint8_t> text;
    if (!options.text.empty()) {
        auto bytes = readWholeFile(options.text);
        if (!bytes) return reportError(ExitCode::Usage, bytes.error().message);
        text = std::move(bytes.value());
        if (static_cast<std::int64_t>(text.size()) < format::textSize)
            return reportError(ExitCode::Usage, options.text + ": holds " + std::to_string(text.size()) +
                                                    " bytes, but the text block needs " +
                                                    std::to_string(format::textSize));
        inputs.text = text;
    }
    std::vector<std::uint8_t> original;
    if (!options.original.empty()) {
        auto bytes = readWholeFile(options.original);
        if (!bytes) return reportError(ExitCode::Usage, bytes.error().message);
        original = std::move(bytes.value());
        inputs.original = original;
    }

    const std::vector<Problem> problems = verifyImage(inputs);
    for (const Problem& problem : problems) std::cout << options.image << ": " << problem.message << '\n';
    if (!problems.empty()) {
        std::cout << options.image << ": " << problems.size() << (problems.size() == 1 ? " problem" : " problems")
                  << '\n';
        return ExitCode::Failed;
    }
    // verifyImage found the stream readable, so it decodes again here.
    const auto decoded = decodeStream(image.value());
    std::cout << options.image << ": the labyrinth is complete and consistent\n"
              << "Seed code: " << seedCode(writtenStream(image.value(), decoded.value())) << '\n';
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
