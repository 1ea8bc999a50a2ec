// labyrinth-cli: the "Write to TGL" button and friends on the command line.

#include <iostream>
#include <vector>

#include "commands.h"

namespace labyrinth::cli {

ExitCode reportError(ExitCode code, const std::string& message) {
    std::cerr << "labyrinth-cli: " << message << '\n';
    return code;
}

}  // namespace labyrinth::cli

int main(int argc, char** argv) {
    using namespace labyrinth::cli;
    CLI::App app{"Writes a freshly randomized overworld labyrinth into a Guardian Legend cartridge image (.nes).",
                 "labyrinth-cli"};
    app.require_subcommand(1);
    app.footer("Exit status: 0 success, 1 a failed check or write, 2 bad usage or unreadable input.\n"
               "Run 'labyrinth-cli COMMAND --help' for the options of a command.");

    const std::vector<Command> commands{addWriteCommand(app), addGenerateCommand(app), addShowCommand(app),
                                        addVerifyCommand(app)};
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? static_cast<int>(ExitCode::Ok) : static_cast<int>(ExitCode::Usage);
    }
    for (const auto& command : commands)
        if (command.app->parsed()) return static_cast<int>(command.run());
    return static_cast<int>(ExitCode::Usage);
}
