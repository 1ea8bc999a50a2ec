// `show`: the labyrinth in an image, as a terminal map, a picture or JSON.

#include <iostream>
#include <optional>

#include "commands.h"
#include "labyrinth_views.h"
#include "map/map_picture.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/readback.h"
#include "writer/seed_code.h"

namespace labyrinth::cli {
ExitCode runShow(const ShowOptions& options) {
    if (!options.png.empty())
        if (auto clash = checkOutputPath(options.png, {options.image})) return reportError(ExitCode::Usage, clash->message);

    auto image = readImage(options.image);
    if (!image) return reportError(ExitCode::Usage, image.error().message);
    auto decoded = decodeStream(image.value());
    if (!decoded)
        return reportError(ExitCode::Usage, options.image + ": holds no readable labyrinth: " + decoded.error().message);
    const DecodedStream& stream = decoded.value();
    const std::string code = seedCode(writtenStream(image.value(), stream));

    if (!options.png.empty()) {
        auto png = mapPng(stream, code, options.scale);
        if (!png) return reportError(ExitCode::Failed, options.png + ": " + png.error().message);
        if (auto failed = writeOutput(options.png, png.value())) return reportError(ExitCode::Failed, failed->message);
    }
    if (options.json) {
        std::cout << labyrinthJson(stream, code).dump(2) << '\n';
    } else if (!options.png.empty()) {
        std::cout << "Seed code: " << code << '\n' << "Picture: " << options.png << '\n';
    } else {
        std::cout << terminalMap(stream, code, colourWanted());
    }
    std::cout.flush();
    if (!std::cout) return reportError(ExitCode::Failed, "standard output: cannot write");
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
