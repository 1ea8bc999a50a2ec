#include "write_report.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include <array>
#include <iostream>

#include "arguments/arguments.h"
#include "requests/links.h"

namespace labyrinth::cli {
namespace {

struct WriteReport {
    std::optional<std::uint64_t> seed;   // the master seed; none for a layout or a sealed labyrinth
    std::optional<CalendarDate> daily;   // the day, for the daily labyrinth
    std::string layout;                  // the file a layout came from
    std::string sealedIn;                // the spoiler that alone keeps a sealed seed
    std::string seedCode;                // of the labyrinth written; empty when none is whole in its file
    int attempts = 0;
    int generations = 0;
    struct File {
        std::string option;  // "IMAGE" for the image written in place, else the option that named it
        std::string path;
        bool written = false;
    };
    std::vector<File> files;
    std::string verdict;              // "done", "failed" (exit 1) or "refused" (exit 2, nothing written)
    std::vector<std::string> errors;  // every error line, as standard error has them
    std::string trackerLink;          // the page's address (when given) and "#r=1&...&track"; empty when none
};

std::string reportJson(const WriteReport& report) {
    nlohmann::ordered_json out;
    out["revision"] = generatorRevision;
    // Seeds are strings, as everywhere: a reader that takes numbers as
    // doubles would make another seed of a large one.
    if (report.seed) out["seed"] = std::to_string(*report.seed);
    if (report.daily) out["daily"] = dateText(*report.daily);
    if (!report.layout.empty()) out["layout"] = report.layout;
    if (!report.sealedIn.empty()) out["sealedIn"] = report.sealedIn;
    out["seedCode"] = report.seedCode.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(report.seedCode);
    out["attempts"] = report.attempts;
    out["generations"] = report.generations;
    out["files"] = nlohmann::ordered_json::array();
    for (const WriteReport::File& file : report.files)
        out["files"].push_back({{"option", file.option}, {"path", file.path}, {"written", file.written}});
    out["verdict"] = report.verdict;
    out["errors"] = report.errors;
    out["trackerLink"] = report.trackerLink.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(report.trackerLink);
    // Names that are no valid UTF-8 are written with their bytes replaced,
    // never refused: the report must always be printed.
    return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// The tracker's link of a fragment ("r=1&seed=42&track"): behind `page`,
// the page's address, when one is given, else as "#..." alone.
std::string trackerLink(const std::string& page, const std::string& fragment) {
    return page.substr(0, page.find('#')) + "#" + fragment;
}

}  // namespace

ExitCode WriteTally::fail(ExitCode code, const std::string& message) {
    errors_.push_back(message);
    return reportError(code, message);
}

bool WriteTally::isMissing(const std::string& path) const {
    return std::any_of(missing_.begin(), missing_.end(), [&](const auto& output) { return output.second == path; });
}

ExitCode WriteTally::notWrittenLine(ExitCode code) {
    std::string list;
    for (const auto& [option, path] : missing_) list += (list.empty() ? "" : ", ") + option + " " + path;
    return fail(code, "not written: " + list);
}

void tellSeedLine(std::ostream& report, const std::optional<CalendarDate>& daily, const std::string& written,
                  const std::string& line, WriteTally& tally) {
    if (daily) report << "Daily labyrinth of " << dateText(*daily) << " (UTC)\n";
    report << line << '\n' << std::flush;
    if (report) return;
    if (&report == &std::cout) {
        tally.fail(ExitCode::Failed, written + ": " + line + " (standard output did not take that line)");
    } else {
        // The report went to standard error for a document on standard
        // output; with standard error gone, the seed is told there all the same.
        std::cout << "labyrinth-cli: " << printable(written + ": " + line) << " (standard error did not take that line)\n"
                  << std::flush;
    }
}

void printReport(const WriteFacts& facts, ExitCode exit) {
    const WriteOptions& options = facts.options;
    const bool sealed = facts.sealedKept.has_value();
    WriteReport report;
    if (!facts.layout && !sealed && facts.click.attempts > 0) report.seed = facts.click.seed;
    report.daily = options.daily;
    report.layout = options.layout;
    if (sealed) report.sealedIn = options.spoiler;
    // A code, and a link, only for a labyrinth whole in its file.
    const bool whole = !facts.labyrinth.region.empty();
    if (whole) report.seedCode = facts.labyrinth.seedCode;
    report.attempts = facts.click.attempts;
    report.generations = facts.click.generations;
    const char* target = facts.toCopy ? "--output" : "IMAGE";
    report.files.push_back({target, facts.written, facts.tally.wrote(target)});
    const std::array<std::pair<const char*, const std::string*>, 4> beside{
        {{"--patch", &options.patch}, {"--png", &options.png}, {"--svg", &options.svg}, {"--spoiler", &options.spoiler}}};
    for (const auto& [option, path] : beside) {
        const bool sealedSpoiler = sealed && path == &options.spoiler;
        if (!path->empty())
            report.files.push_back({option, *path, sealedSpoiler ? *facts.sealedKept : facts.tally.wrote(option)});
    }
    report.verdict = exit == ExitCode::Ok ? "done" : exit == ExitCode::Usage ? "refused" : "failed";
    report.errors = facts.tally.errors();
    if (whole) {
        const std::string fragment =
            facts.layout || sealed ? requests::sealedLinkFragment(facts.labyrinth.stream, facts.labyrinth.seedCode)
            : options.daily        ? requests::dailyLinkFragment(dateText(*options.daily), true)
                                   : requests::linkFragment(facts.click.seed, true);
        report.trackerLink = trackerLink(options.page, fragment);
    }
    std::cout << reportJson(report) << '\n' << std::flush;
}

}  // namespace labyrinth::cli
