// `show`: the labyrinth in an image, as a terminal map, a picture or JSON.

#include <array>
#include <iostream>
#include <optional>

#include "commands.h"
#include "labyrinth_views.h"
#include "map/map_picture.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/output_file.h"
#include "writer/readback.h"
#include "writer/seed_code.h"

namespace labyrinth::cli {
ExitCode runShow(const ShowOptions& options) {
    const std::array<PlannedOutput, 1> outputs{{{"--png", options.png, false}}};
    const std::array<std::string, 1> inputs{options.image};
    if (auto allowed = checkOutputs(outputs, inputs, options.force); !allowed)
        return reportError(ExitCode::Usage, allowed.error().message);

    auto image = readImageRegion(options.image);
    if (!image) return reportError(ExitCode::Usage, image.error().message);
    auto decoded = decodeStream(image.value().bytes);
    if (!decoded)
        return reportError(ExitCode::Usage, options.image + ": holds no readable labyrinth: " + decoded.error().message);
    const DecodedStream& stream = decoded.value();
    const std::string code = seedCode(writtenStream(image.value().bytes, stream));

    if (!options.png.empty()) {
        auto png = mapPng(stream, code, options.scale);
        if (!png) return reportError(ExitCode::Failed, options.png + ": " + png.error().message);
        if (auto saved = writeOutput(options.png, png.value(), options.force); !saved)
            return reportError(ExitCode::Failed, saved.error().message);
    }
    if (options.json) {
        std::cout << labyrinthJson(stream, code).dump(2) << '\n';
    } else if (!options.png.empty()) {
        std::cout << "Seed code: " << code << '\n' << "Picture: " << printable(options.png) << '\n';
    } else {
        std::cout << terminalMap(stream, code, colourWanted());
    }
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
