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
namespace {

struct ShowOptions {
    std::string image;
    std::string png;
    bool json = false;
    int scale = map::defaultScale;
};

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

}  // namespace

Command addShowCommand(CLI::App& parent) {
    auto options = std::make_shared<ShowOptions>();
    CLI::App* app = parent.add_subcommand(
        "show", "Read the labyrinth back out of IMAGE and show it: a map in the terminal, a PNG picture or JSON");
    app->add_option("IMAGE", options->image, "The cartridge image (.nes) to read")->required();
    auto* png = app->add_option("--png", options->png, "Write a picture of the labyrinth to FILE (PNG)");
    app->add_flag("--json", options->json, "Print one JSON document with every room and the summary counts");
    app->add_option("--scale", options->scale, "Pixels per cell of the picture")
        ->check(CLI::Range(map::minScale, map::maxScale))
        ->needs(png);
    app->footer("Examples: labyrinth-cli show game.nes\n"
                "          labyrinth-cli show game.nes --png map.png --scale 40\n"
                "          labyrinth-cli show game.nes --json > spoiler.json");
    return {app, [options] { return runShow(*options); }};
}

}  // namespace labyrinth::cli
