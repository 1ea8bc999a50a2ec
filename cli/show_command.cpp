// `show`: the labyrinth in an image, as a terminal map, a picture or JSON.

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "commands.h"
#include "layout/labyrinth_json.h"
#include "map/map_layout.h"
#include "map/map_svg.h"
#include "map/route_text.h"
#include "map/terminal_map.h"
#include "readback_io.h"
#include "writer/decoder.h"
#include "writer/file_plan.h"
#include "writer/readback.h"
#include "writer/seed_code.h"

namespace labyrinth::cli {
namespace {

// Whether standard output takes colour: a terminal, and NO_COLOR unset or empty.
bool colourWanted() {
    const char* noColour = std::getenv("NO_COLOR");
    if (noColour != nullptr && noColour[0] != '\0') return false;
    return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace

ExitCode runShow(const ShowOptions& options) {
    const bool svgToStandardOutput = options.svg == standardOutputName;
    if (options.json && svgToStandardOutput)
        return reportError(ExitCode::Usage,
                           "--svg: \"-\" (standard output) would mix the SVG with the JSON of --json; name a file");
    const std::array<PlannedOutput, 2> outputs{{{"--png", options.png, false}, {"--svg", options.svg, true}}};
    const std::array<std::string, 1> inputs{options.image};
    if (auto allowed = checkOutputs(outputs, inputs, options.force); !allowed)
        return reportError(ExitCode::Usage, allowed.error().message);

    auto image = readImageRegion(options.image, options.waitSeconds);
    if (!image) return reportError(ExitCode::Usage, image.error().message);
    auto labyrinth = decodeLabyrinth(options.image, std::move(image.value().bytes));
    if (!labyrinth) return reportError(ExitCode::Usage, labyrinth.error().message);
    const DecodedStream& stream = labyrinth.value().stream;
    const std::string& code = labyrinth.value().seedCode;

    // A partial spoiler: the rooms of the chosen areas, the rest in fog. A
    // choice of areas that have no room would show nothing at all.
    const AreaSelection areas = options.areas.value_or(AreaSelection().set());
    const ShownCells shown = options.areas ? cellsOfAreas(stream, areas) : allCells();
    if (options.areas && shown.none()) {
        AreaSelection withRooms;
        for (int area = 0; area < areaCount; ++area)
            withRooms.set(static_cast<std::size_t>(area), labyrinth.value().summary.roomsPerArea[static_cast<std::size_t>(area)] > 0);
        return reportError(ExitCode::Usage,
                           options.image + ": --areas " + map::areaListText(areas) +
                               ": no room is in these areas; the areas are numbers from 0 to " +
                               std::to_string(areaCount - 1) + ", and this labyrinth has rooms in " +
                               (withRooms.any() ? map::areaListText(withRooms) : std::string("none")));
    }

    Outputs written(options.force);
    if (!options.png.empty()) {
        auto png = mapPng(stream, code, options.scale, shown);
        if (!png) return reportError(ExitCode::Failed, options.png + ": " + png.error().message);
        if (auto saved = written.write(options.png, png.value()); !saved)
            return reportError(ExitCode::Failed, saved.error().message);
    }
    if (!options.svg.empty())
        if (auto saved = written.write(options.svg, map::mapSvg(map::layOutMap(stream, code, map::defaultScale, shown)));
            !saved)
            return reportError(ExitCode::Failed, saved.error().message);
    if (options.json) {
        std::cout << documentText(options.areas ? labyrinthJson(stream, code, areas) : labyrinthJson(stream, code));
    } else if (!options.png.empty() || !options.svg.empty()) {
        // With the SVG on standard output, the report goes to standard error.
        std::ostream& report = svgToStandardOutput ? std::cerr : std::cout;
        report << seedCodeLine(code) << '\n';
        if (options.areas) report << "Shown: areas " << map::areaListText(areas) << ", the rest in fog\n";
        if (!options.png.empty()) report << "Picture: " << printable(options.png) << '\n';
        if (!options.svg.empty() && !svgToStandardOutput) report << "SVG: " << printable(options.svg) << '\n';
        if (options.route) report << map::routesText(stream, areas);
        // The pictures named above must still be what was written when the report ends.
        report.flush();
        if (auto still = written.checkAll(); !still) return reportError(ExitCode::Failed, still.error().message);
    } else if (options.route) {
        std::cout << seedCodeLine(code) << '\n' << map::routesText(stream, areas);
    } else {
        std::cout << map::terminalMap(stream, code, colourWanted(), shown);
    }
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
