// labyrinth-cli: the "Write to TGL" button and friends on the command line.
// The only file that knows the parser: every command's options are declared
// here, and each command runs from its own file.

#include <CLI/CLI.hpp>
#include <functional>
#include <iostream>
#include <vector>

#include "commands.h"

namespace labyrinth::cli {

ExitCode reportError(ExitCode code, const std::string& message) {
    std::cerr << "labyrinth-cli: " << message << '\n';
    return code;
}

namespace {

// A registered subcommand and what runs it once the line is parsed.
struct Command {
    CLI::App* app = nullptr;
    std::function<ExitCode()> run;
};

Command addWrite(CLI::App& parent, WriteOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "write", "Write a new labyrinth into IMAGE in place (or into a copy with --output), as the window's button does");
    app->add_option("IMAGE", options.image, "The cartridge image (.nes) to write into")->required();
    app->add_option("--text", options.text, "The text block file (default: tgltext.tgl beside IMAGE)");
    app->add_option("--seed", options.seed, "Seed for a reproducible labyrinth (default: from the clock)");
    auto* output = app->add_option("--output,-o", options.output, "Write into a copy OUT and leave IMAGE untouched");
    app->add_flag("--force,-f", options.force, "Replace OUT if it exists")->needs(output);
    app->add_option("--png", options.png, "After a successful write, draw the labyrinth into FILE (PNG)");
    app->add_option("--spoiler", options.spoiler,
                    "After a successful write, describe the labyrinth in FILE (JSON, as 'show --json')");
    app->footer("Example: labyrinth-cli write game.nes --seed 42 --output game-42.nes");
    return {app, [&options] { return runWrite(options); }};
}

Command addGenerate(CLI::App& parent, GenerateOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "generate", "Run COUNT clicks on a blank image in memory and print one line of figures per click; no files");
    app->add_option("--count,-n", options.count, "Number of clicks")->check(CLI::PositiveNumber);
    app->add_option("--seed", options.seed,
                    "Master seed; click i uses a seed derived from it, printed so that 'write --seed' repeats it");
    app->add_flag("--json", options.json, "One JSON object per click and line");
    app->footer("Example: labyrinth-cli generate --count 1000 --seed 7 --json > runs.jsonl");
    return {app, [&options] { return runGenerate(options); }};
}

Command addShow(CLI::App& parent, ShowOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "show", "Read the labyrinth back out of IMAGE and show it: a map in the terminal, a PNG picture or JSON");
    app->add_option("IMAGE", options.image, "The cartridge image (.nes) to read")->required();
    auto* png = app->add_option("--png", options.png, "Write a picture of the labyrinth to FILE (PNG)");
    app->add_flag("--json", options.json, "Print one JSON document with every room and the summary counts");
    app->add_option("--scale", options.scale, "Pixels per cell of the picture")
        ->check(CLI::Range(map::minScale, map::maxScale))
        ->needs(png);
    app->footer("Examples: labyrinth-cli show game.nes\n"
                "          labyrinth-cli show game.nes --png map.png --scale 40\n"
                "          labyrinth-cli show game.nes --json > spoiler.json");
    return {app, [&options] { return runShow(options); }};
}

Command addVerify(CLI::App& parent, VerifyOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "verify", "Check that the labyrinth in IMAGE is complete and consistent; exit 1 with one line per problem");
    app->add_option("IMAGE", options.image, "The cartridge image (.nes) to check")->required();
    app->add_option("--text", options.text, "Also check that the text block equals the first 446 bytes of FILE");
    app->add_option("--original", options.original,
                    "Also check that nothing outside the labyrinth and the text block differs from ORIG, "
                    "the image before it was written");
    app->footer("Example: labyrinth-cli verify game-42.nes --text tgltext.tgl --original game.nes");
    return {app, [&options] { return runVerify(options); }};
}

}  // namespace
}  // namespace labyrinth::cli

int main(int argc, char** argv) {
    using namespace labyrinth::cli;
    CLI::App app{"Writes a freshly randomized overworld labyrinth into a Guardian Legend cartridge image (.nes).",
                 "labyrinth-cli"};
    app.require_subcommand(1);
    app.footer("Exit status: 0 success, 1 a failed check or write, 2 bad usage or unreadable input.\n"
               "Run 'labyrinth-cli COMMAND --help' for the options of a command.");

    WriteOptions write;
    GenerateOptions generate;
    ShowOptions show;
    VerifyOptions verify;
    const std::vector<Command> commands{addWrite(app, write), addGenerate(app, generate), addShow(app, show),
                                        addVerify(app, verify)};
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? static_cast<int>(ExitCode::Ok) : static_cast<int>(ExitCode::Usage);
    }
    for (const auto& command : commands)
        if (command.app->parsed()) return static_cast<int>(command.run());
    return static_cast<int>(ExitCode::Usage);
}
