// `generate`: clicks on an image kept in memory, for statistics and timing.

#include <chrono>
#include <iostream>
#include <optional>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "writer/driver.h"
#include "writer/image_file.h"
#include "writer/record_format.h"

namespace labyrinth::cli {
namespace {

int roomCount(const Labyrinth& model) {
    int rooms = 0;
    for (int x = 0; x < mazeSize; ++x)
        for (int y = 0; y < mazeSize; ++y) rooms += model.isRoom(x, y) ? 1 : 0;
    return rooms;
}

// The seed goes as a string: a JSON number above 2^53 reaches JavaScript
// (and any reader that takes numbers as doubles) as another seed.
nlohmann::ordered_json describe(std::uint64_t seed, const ClickResult& click, const Labyrinth& model) {
    return {{"seed", std::to_string(seed)},
            {"attempts", click.attempts},
            {"generations", click.generations},
            {"rooms", roomCount(model)},
            {"items", click.stats.items},
            {"deadEnds", click.stats.deadEnds},
            {"sequences", click.stats.sequences},
            {"tags", click.stats.tags},
            {"links", click.stats.links},
            {"areaMarks", click.stats.areaMarks},
            {"streamBytes", click.stats.streamBytes}};
}
}  // namespace

ExitCode runGenerate(const GenerateOptions& options) {
    const std::uint64_t master = options.seed ? *options.seed : ClockSeedSource().nextSeed();
    MemoryFile rom("(memory image)", format::blankImage());
    MemoryFile text("(memory text)", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    SilentDriverHost host;

    long attempts = 0;
    long generations = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < options.count; ++i) {
        // Click i runs exactly as `write --seed <its seed>` would.
        const std::uint64_t seed = deriveSeed(master, static_cast<std::uint64_t>(i));
        FixedSeedSource seeds(seed);
        Session session(rom, text, seeds);
        const ClickResult& click = savebutClick(session, host);
        if (!click.status) return reportError(ExitCode::Failed, click.status.error().message);
        attempts += click.attempts;
        generations += click.generations;
        const auto line = describe(seed, click, session.model());
        if (options.json) {
            std::cout << line.dump() << '\n';
        } else {
            for (auto it = line.begin(); it != line.end(); ++it)
                std::cout << (it == line.begin() ? "" : " ") << it.key() << '='
                          << (it.value().is_string() ? it.value().get<std::string>() : it.value().dump());
            std::cout << '\n';
        }
        // Nobody reads the lines any more: stop, and let the check of
        // standard output at the end say why.
        if (!std::cout) return ExitCode::Failed;
    }
    // The figures below are only worth printing once the lines arrived.
    if (!std::cout.flush()) return ExitCode::Failed;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::cerr << options.count << " clicks from master seed " << master << " in " << elapsed.count()
              << " s: " << attempts << " encoding passes, " << generations << " generation attempts\n";
    return ExitCode::Ok;
}

}  // namespace labyrinth::cli
