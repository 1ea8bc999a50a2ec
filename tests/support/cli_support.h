#pragma once
// What the end-to-end tests of labyrinth-cli share: the program under test,
// a run of it in a folder, and the value of a line of its report.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "test_support.h"

#ifndef LABYRINTH_CLI
#error "LABYRINTH_CLI must name the labyrinth-cli executable"
#endif

namespace labyrinth::testing {

/// Runs labyrinth-cli with `args` in `folder`; `prefix` goes before it (a
/// shell script, a time limit).
inline CommandRun cli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                      const std::vector<std::string>& prefix = {}) {
    return runCommand(LABYRINTH_CLI, folder, args, prefix);
}
inline CommandRun cli(const TempDir& dir, const std::vector<std::string>& args,
                      const std::vector<std::string>& prefix = {}) {
    return cli(dir.path(), args, prefix);
}

/// The words of a command line: split at blanks, except within single quotes.
inline std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : line) {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) out.push_back(std::exchange(word, {}));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) out.push_back(word);
    return out;
}

/// The value of a "name: value" line of a report; empty when there is none.
inline std::string reportField(const std::string& report, const std::string& name) {
    const std::string label = name + ": ";
    for (std::size_t at = 0; (at = report.find(label, at)) != std::string::npos; at += label.size()) {
        if (at != 0 && report[at - 1] != '\n') continue;
        const auto from = at + label.size();
        return report.substr(from, report.find('\n', from) - from);
    }
    return {};
}

/// The seed code that a write reported on its seed line ("Seed: N  Code: C").
inline std::string reportedCode(const std::string& report) {
    const std::string seedLine = reportField(report, "Seed");
    const auto at = seedLine.find("  Code: ");
    return at == std::string::npos ? std::string() : seedLine.substr(at + 8);
}

}  // namespace labyrinth::testing
