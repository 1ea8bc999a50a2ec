#include "requests/look.h"

#include <algorithm>
#include <optional>

#include "arguments/arguments.h"
#include "layout/labyrinth_json.h"
#include "map/map_layout.h"
#include "map/map_svg.h"
#include "map/route_text.h"
#include "writer/route.h"
#include "writer/verify.h"

namespace labyrinth::requests {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

Download spoilerOf(const std::string& name, const ReadBack& labyrinth) {
    return {"spoiler", downloadStem(name) + "-spoiler.json", "application/json",
            bytesOf(documentText(labyrinthJson(labyrinth.stream, labyrinth.seedCode)))};
}

}  // namespace

Result<MapResult> mapOfImage(const InputFile& image) {
    auto labyrinth = readImage(image);
    if (!labyrinth) return labyrinth.error();
    return MapResult{labyrinth.value().seedCode,
                     map::mapSvg(labyrinth.value().stream, labyrinth.value().seedCode, map::SvgForm::Compact)};
}

Result<RouteResult> routeOnMap(const InputFile& image, int area) {
    if (area < 0 || area >= areaCount)
        return Error{"there is no area " + std::to_string(area) + ": the areas are 0 to " + std::to_string(areaCount - 1)};
    auto labyrinth = readImage(image);
    if (!labyrinth) return labyrinth.error();
    const DecodedStream& stream = labyrinth.value().stream;
    const auto goal = numberedRooms(stream)[static_cast<std::size_t>(area)];
    auto route = goal ? shortestRoute(stream, *goal) : std::nullopt;
    const std::string name = imageName(image);
    if (!route)
        return Error{name + ": area " + std::to_string(area) + " has no way from the start room to its numbered room"};
    // The middles of the rooms where the page's map draws them.
    const map::MapLayout layout = map::layOutMap(stream, labyrinth.value().seedCode, map::defaultScale);
    RouteResult result;
    for (const CellPosition& room : *route) {
        const auto drawn = std::find_if(layout.rooms.begin(), layout.rooms.end(),
                                        [&](const map::Room& r) { return r.x == room.x && r.y == room.y; });
        if (drawn == layout.rooms.end()) return Error{name + ": the route leaves the rooms of the map"};
        const map::Point middle = drawn->box.centre();
        result.path += (result.path.empty() ? "M" : " L") + map::svgNumber(middle.x) + " " + map::svgNumber(middle.y);
    }
    result.through = map::linksCrossed(map::routeLegs(stream, *route));
    result.rooms = std::move(*route);
    return result;
}

Result<Download> spoilerOfImage(const InputFile& image) {
    auto labyrinth = readImage(image);
    if (!labyrinth) return labyrinth.error();
    return spoilerOf(imageName(image), labyrinth.value());
}

Result<LookResult> lookAtImage(const InputFile& image, const std::string& seed) {
    std::optional<std::uint64_t> expected;
    if (!seed.empty()) {
        auto parsed = parseSeed(seed);
        if (!parsed) return parsed.error();
        expected = parsed.value();
    }
    auto read = readImage(image);
    if (!read) return read.error();
    const ReadBack& labyrinth = read.value();
    const std::string name = imageName(image);

    LookResult result;
    result.seedCode = labyrinth.seedCode;
    result.mapSvg = map::mapSvg(labyrinth.stream, result.seedCode, map::SvgForm::Compact);
    std::vector<Problem> problems = verifyImage({image.bytes, std::nullopt, std::nullopt});
    // With a seed, the one check that sees every byte: is it that seed's labyrinth?
    if (expected)
        for (Problem& problem : checkSeed(labyrinth.region, *expected)) problems.push_back(std::move(problem));
    for (const Problem& problem : problems) result.problems.push_back(name + ": " + problem.message);
    result.downloads.push_back(spoilerOf(name, labyrinth));
    result.complete = result.problems.empty();
    result.verdict = verdictLine(name, result.problems.size());
    if (expected && result.complete) result.verdict += "; it is exactly the labyrinth of seed " + seed;
    return result;
}

}  // namespace labyrinth::requests
