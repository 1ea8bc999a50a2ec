#pragma once
// The subcommands of labyrinth-cli. Each registers itself on the parser and
// returns the function that runs it once the command line has been parsed.

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

namespace labyrinth::cli {

/// Exit status of labyrinth-cli.
enum class ExitCode : int {
    Ok = 0,      ///< success
    Failed = 1,  ///< a failed check or operation
    Usage = 2,   ///< bad usage or unreadable input
};

struct Command {
    CLI::App* app = nullptr;
    std::function<ExitCode()> run;
};

Command addWriteCommand(CLI::App& parent);
Command addGenerateCommand(CLI::App& parent);
Command addShowCommand(CLI::App& parent);
Command addVerifyCommand(CLI::App& parent);

/// Prints "labyrinth-cli: message" to standard error and returns `code`.
ExitCode reportError(ExitCode code, const std::string& message);

}  // namespace labyrinth::cli
