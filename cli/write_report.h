#pragma once
// `write --json`: one JSON object in place of the report lines, for race
// bots and scripts: which labyrinth (the seed as a string, absent when it is
// sealed), its seed code, the attempts, every file the write was asked for
// and whether it was written, the verdict, what failed, and the tracker's
// link of the labyrinth (for a sealed one, carrying its rooms, not its seed).

#include <cstdint>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "labyrinth/generator.h"
#include "writer/driver.h"
#include "writer/readback.h"

namespace labyrinth::cli {

/// What a write tells of its files and errors as it goes: each error as a
/// line on standard error, kept for --json too; each file asked for as
/// written, or named as missing in a last line.
class WriteTally {
public:
    /// Tells `message` on standard error and keeps it; returns `code`.
    ExitCode fail(ExitCode code, const std::string& message);
    /// The file of `option` ("IMAGE" for the image in place) was written.
    void made(const std::string& option) { made_.insert(option); }
    bool wrote(const std::string& option) const { return made_.contains(option); }
    /// The file `path` of `option` was asked for and is not written.
    void missing(const std::string& option, const std::string& path) { missing_.emplace_back(option, path); }
    bool isMissing(const std::string& path) const;
    bool anyMissing() const { return !missing_.empty(); }
    /// "not written: --patch p.bps, ...", as the last line; returns `code`.
    ExitCode notWrittenLine(ExitCode code);
    const std::vector<std::string>& errors() const { return errors_; }

private:
    std::set<std::string> made_;
    std::vector<std::pair<std::string, std::string>> missing_;  // option, file
    std::vector<std::string> errors_;
};

/// The seed line of a write into `written` (after the day of a daily
/// labyrinth), first on the report; when the report's stream refuses it (a
/// full disk, a closed pipe), on the other standard stream instead.
void tellSeedLine(std::ostream& report, const std::optional<CalendarDate>& daily, const std::string& written,
                  const std::string& line, WriteTally& tally);

/// What the object is made of, as the write left things.
struct WriteFacts {
    const WriteOptions& options;
    bool layout = false;                  ///< the labyrinth came from a layout
    std::optional<bool> sealedKept;       ///< a sealed write: whether its spoiler stays
    const ClickResult& click;
    const ReadBack& labyrinth;            ///< as read back; empty when the write did not get that far
    const std::string& written;           ///< the file the labyrinth went into
    bool toCopy = false;
    const WriteTally& tally;
};

/// Prints the object of a write that ended with `exit`, as one line.
void printReport(const WriteFacts& facts, ExitCode exit);

}  // namespace labyrinth::cli
