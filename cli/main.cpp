// labyrinth-cli: the "Write to TGL" button and friends on the command line.
// The only file that knows the parser: every command's options are declared
// here, and each command runs from its own file.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <functional>
#include <iostream>
#include <new>
#include <vector>

#include "checked_stream.h"
#include "commands.h"
#include "writer/interruption.h"
#include "writer/output_file.h"
#include "writer/standard_streams.h"

namespace labyrinth::cli {

namespace {

// The file layer says that an output exists; the command line says how to
// replace it.
std::string withHowToReplace(std::string message) {
    const std::string exists = ": " + std::string(existsText);
    for (auto at = message.find(exists); at != std::string::npos; at = message.find(exists, at + 1)) {
        const auto end = at + exists.size();
        if (end == message.size() || message[end] == ';') return message.insert(end, " (use --force to replace it)");
    }
    return message;
}

}  // namespace

ExitCode reportError(ExitCode code, const std::string& message) {
    std::cerr << "labyrinth-cli: " << printable(withHowToReplace(message)) << '\n';
    return code;
}

namespace {

// A registered subcommand and what runs it once the line is parsed.
struct Command {
    CLI::App* app = nullptr;
    std::function<ExitCode()> run;
};

// An option whose text is parsed by one of our strict parsers; a bad value
// is a usage error that says the range.
template <typename T, typename Parse>
CLI::Option* addParsed(CLI::App& app, const std::string& name, const std::string& typeName, T& target, Parse parse,
                       const std::string& help) {
    return app.add_option_function<std::string>(
                  name,
                  [&target, parse, name](const std::string& text) {
                      auto value = parse(text);
                      if (!value) throw CLI::ValidationError(name, value.error().message);
                      target = value.value();
                  },
                  help)
        ->type_name(typeName);
}

// A file name option: an empty name is refused rather than taken for none.
// Help shows an option's value as FILE; a positional is named (IMAGE) already.
CLI::Option* addFile(CLI::App& app, const std::string& name, std::string& target, const std::string& help) {
    return app.add_option(name, target, help)
        ->type_name(name.starts_with('-') ? "FILE" : "")
        ->check(CLI::Validator([](std::string& text) { return text.empty() ? "the file name is empty" : ""; }, ""));
}

// --seed N: a seed as the command line takes it, alone or as REVISION:SEED.
CLI::Option* addSeed(CLI::App& app, std::optional<std::uint64_t>& target, const std::string& help) {
    const auto parse = [](std::string_view text) { return parseSeed(text); };
    return addParsed(app, "--seed", "N", target, parse, help);
}

// --force: outputs that exist are replaced; the rest of the policy for files stands.
CLI::Option* addForce(CLI::App& app, bool& target) {
    return app.add_flag("--force,-f", target, "Replace output files that exist (never a folder, device or link)");
}

// How long to wait for another program that holds the image.
CLI::Option* addWait(CLI::App& app, int& target) {
    const auto parse = [](std::string_view text) { return parseWaitSeconds(text, maxWaitSeconds); };
    return addParsed(app, "--wait", "SECONDS", target, parse,
                     "How long to wait for another program that is writing IMAGE, 0 to " +
                         std::to_string(maxWaitSeconds) + " (default: " + std::to_string(defaultWaitSeconds) + ")");
}

Command addWrite(CLI::App& parent, WriteOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "write", "Write a new labyrinth into IMAGE in place (or into a copy with --output), as the window's button does");
    addFile(*app, "IMAGE", options.image, "The cartridge image (.nes) to write into")->required();
    addFile(*app, "--text", options.text, "The text block file (default: tgltext.tgl beside IMAGE)");
    auto* seed = addSeed(*app, options.seed,
                         "Seed for a reproducible labyrinth, 0 to 18446744073709551615, or REVISION:SEED "
                         "such as " + std::to_string(generatorRevision) + ":42 (default: from the clock)");
    app->add_option_function<std::string>(
           "--daily",
           [&options](const std::string& text) {
               // --daily alone is today; an empty date (an unset variable in a
               // script, say) is refused rather than taken for today.
               if (text == "today") {
                   options.daily = todayUtc();
                   return;
               }
               auto date = parseDate(text);
               if (!date) throw CLI::ValidationError("--daily", date.error().message);
               options.daily = date.value();
           },
           "The daily labyrinth: the same seed for everyone on that day (UTC; default: today), YYYY-MM-DD")
        ->expected(0, 1)
        ->default_str("today")
        ->type_name("[DATE]")
        ->excludes(seed);
    addFile(*app, "--layout", options.layout,
            "Write the labyrinth that FILE describes, in the form of 'show --json' (a spoiler, or your own "
            "design), once it passes every check of verify")
        ->excludes(seed)
        ->excludes("--daily");
    addFile(*app, "--output,-o", options.output, "Write into a copy, FILE, and leave IMAGE untouched");
    addFile(*app, "--png", options.png, "After a successful write, draw the labyrinth into FILE (PNG)");
    addFile(*app, "--svg", options.svg,
            "After a successful write, draw the labyrinth into FILE (SVG); - for standard output");
    auto* spoiler = addFile(*app, "--spoiler", options.spoiler,
                            "After a successful write, describe the labyrinth in FILE (JSON, as 'show --json'); - "
                            "for standard output");
    addFile(*app, "--patch", options.patch,
            "After a successful write, save a patch from the image as it was to the image as written: "
            "BPS, or IPS when FILE ends in .ips");
    app->add_flag("--sealed", options.sealed,
                  "For a race: a seed drawn from the system's random source and kept only in the --spoiler FILE "
                  "(written before the image), never printed; the report and the patch carry the seed code alone")
        ->needs(spoiler)
        ->excludes(seed)
        ->excludes("--daily")
        ->excludes("--layout");
    addForce(*app, options.force);
    addWait(*app, options.waitSeconds);
    auto* json = app->add_flag("--json", options.json,
                               "Print one JSON object in place of the report lines (for race bots): the seed as a "
                               "string (none when sealed), the seed code, the files and whether each was written, "
                               "the verdict and the tracker's link");
    app->add_option("--page", options.page,
                    "With --json: the page's address (URL), to put before the tracker's link; without it the link "
                    "is its part after \"#\"")
        ->type_name("URL")
        ->needs(json);
    app->footer("Examples: labyrinth-cli write game.nes --seed 42 --output game-42.nes\n"
                "          labyrinth-cli write game.nes --sealed --spoiler race.json --patch race.bps -o race.nes\n"
                "          labyrinth-cli write game.nes --daily --output today.nes\n"
                "          labyrinth-cli write game.nes --layout my-labyrinth.json --output mine.nes\n"
                "          labyrinth-cli write game.nes --seed 42 --output game-42.nes --patch game-42.bps\n"
                "          labyrinth-cli write game.nes --sealed --spoiler race.json -o race.nes --json --page URL");
    return {app, [&options] { return runWrite(options); }};
}

Command addGenerate(CLI::App& parent, GenerateOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "generate", "Run COUNT clicks on a blank image in memory and print one line of figures per click; no files");
    addParsed(*app, "--count,-n", "COUNT", options.count, parseCount,
              "Number of clicks, 1 to " + std::to_string(maxCount) + " (default: " + std::to_string(defaultCount) +
                  ")");
    addSeed(*app, options.seed,
            "Master seed; click i uses a seed derived from it, printed so that 'write --seed' repeats it");
    app->add_flag("--json", options.json, "One JSON object per click and line");
    app->footer("Example: labyrinth-cli generate --count 1000 --seed 7 --json > runs.jsonl");
    return {app, [&options] { return runGenerate(options); }};
}

Command addShow(CLI::App& parent, ShowOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "show",
        "Read the labyrinth back out of IMAGE and show it: a map in the terminal, a PNG or SVG picture, or JSON");
    addFile(*app, "IMAGE", options.image, "The cartridge image (.nes) to read")->required();
    auto* png = addFile(*app, "--png", options.png, "Write a picture of the labyrinth to FILE (PNG)");
    addFile(*app, "--svg", options.svg, "Write the map of the labyrinth to FILE (SVG); - for standard output");
    auto* json = app->add_flag("--json", options.json,
                               "Print one JSON document with every room, each area's route and the summary counts");
    app->add_flag("--route", options.route,
                  "Print the shortest route from the start room to each area's numbered room, door by door")
        ->excludes(json);
    addParsed(*app, "--areas", "LIST", options.areas, parseAreas,
              "Show only these areas, such as 0,3-5 (0 to " + std::to_string(areaCount - 1) +
                  "), and the rest as fog: a partial spoiler");
    const auto scale = [](std::string_view text) { return parseScale(text, map::minScale, map::maxScale); };
    addParsed(*app, "--scale", "PIXELS", options.scale, scale,
              "Pixels per cell of the picture, " + std::to_string(map::minScale) + " to " +
                  std::to_string(map::maxScale) + " (default: " + std::to_string(map::defaultScale) + ")")
        ->needs(png);
    addForce(*app, options.force);
    addWait(*app, options.waitSeconds);
    app->footer("Examples: labyrinth-cli show game.nes\n"
                "          labyrinth-cli show game.nes --png map.png --scale 40\n"
                "          labyrinth-cli show game.nes --svg map.svg\n"
                "          labyrinth-cli show game.nes --json > spoiler.json\n"
                "          labyrinth-cli show game.nes --route --areas 3\n"
                "          labyrinth-cli show game.nes --areas 0,1 --png early.png");
    return {app, [&options] { return runShow(options); }};
}

Command addVerify(CLI::App& parent, VerifyOptions& options) {
    CLI::App* app = parent.add_subcommand(
        "verify", "Check that the labyrinth in IMAGE is complete and consistent; exit 1 with one line per problem");
    addFile(*app, "IMAGE", options.image, "The cartridge image (.nes) to check")->required();
    addFile(*app, "--text", options.text,
            "Check that the text block equals the first 446 bytes of FILE (default: tgltext.tgl beside IMAGE, "
            "when there is one)");
    addFile(*app, "--original", options.original,
            "Also check that nothing outside the labyrinth and the text block differs from FILE, "
            "the image before it was written");
    auto* seed = addSeed(*app, options.seed,
                         "Also check that IMAGE holds exactly the labyrinth that 'write --seed N' writes, "
                         "byte for byte");
    addParsed(*app, "--code", "WORDS", options.code, parseSeedCode,
              "Also check that the labyrinth has this seed code (four words, quoted)")
        ->excludes(seed);
    addWait(*app, options.waitSeconds);
    app->footer("Examples: labyrinth-cli verify game-42.nes --original game.nes\n"
                "          labyrinth-cli verify game-42.nes --seed 42\n"
                "          labyrinth-cli verify game-42.nes --code \"island bread peach cloud\"");
    return {app, [&options] { return runVerify(options); }};
}

int run(int argc, char** argv) {
    CLI::App app{"Writes a freshly randomized overworld labyrinth into a Guardian Legend cartridge image (.nes).",
                 "labyrinth-cli"};
    // The usage line shows that IMAGE is required; help names values alone.
    app.get_formatter()->label("REQUIRED", "");
    app.require_subcommand(1);
    // A parse error reads like every other error: one line, the program's
    // name first and any control character in an argument escaped.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return "labyrinth-cli: " + printable(e.what()) + "\nRun with --help for more information.\n";
    });
    app.set_version_flag("--version", versionLine("labyrinth-cli"));
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

// Whatever a command printed must have reached the standard streams: a full
// disk, a closed pipe or a stream closed at the start is a failure, told on
// the other stream, never a silent success.
int checkStandardStreams(CheckedStream& output, CheckedStream& error, int code) {
    std::cout.flush();
    std::cerr.flush();
    const bool failed = output.failed() || error.failed();
    if (output.failed() && !output.reported()) {
        output.setReported();
        reportError(ExitCode::Failed, output.message());
    }
    // Told on standard output only when nothing else can tell it.
    if (error.failed() && !output.failed()) {
        std::cout << "labyrinth-cli: " << error.message() << std::endl;
    }
    return failed && code == 0 ? static_cast<int>(ExitCode::Failed) : code;
}

}  // namespace
}  // namespace labyrinth::cli

int main(int argc, char** argv) {
    using namespace labyrinth::cli;
    // Before anything opens a file: no file of the player's may become
    // standard input, output or error.
    const labyrinth::StandardStreams streams = labyrinth::openStandardStreams();
    if (!streams.ready) return static_cast<int>(ExitCode::Failed);
    // A reader that went away is a failure to write standard output, told
    // like any other, and never ends the program before its work is done.
    std::signal(SIGPIPE, SIG_IGN);
    // What a signal says goes where someone can read it.
    labyrinth::interruption::install(streams.errorClosed ? STDOUT_FILENO : STDERR_FILENO);
    // Nothing may end the program without a message and an exit status.
    CheckedStream output(STDOUT_FILENO, streams.outputClosed);
    CheckedStream error(STDERR_FILENO, streams.errorClosed);
    std::streambuf* const previousOutput = std::cout.rdbuf(&output);
    std::streambuf* const previousError = std::cerr.rdbuf(&error);
    struct Restore {
        std::streambuf* output;
        std::streambuf* error;
        ~Restore() {
            std::cout.rdbuf(output);
            std::cerr.rdbuf(error);
        }
    } restore{previousOutput, previousError};
    try {
        return checkStandardStreams(output, error, run(argc, argv));
    } catch (const std::bad_alloc&) {
        reportError(ExitCode::Failed, "out of memory");
    } catch (const std::exception& e) {
        reportError(ExitCode::Failed, std::string("unexpected failure: ") + e.what());
    } catch (...) {
        reportError(ExitCode::Failed, "unexpected failure");
    }
    return static_cast<int>(ExitCode::Failed);
}
