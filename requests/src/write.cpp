#include "requests/write.h"

#include <memory>

#include "arguments/arguments.h"
#include "layout/layout_reader.h"
#include "requests/files.h"
#include "writer/image_check.h"
#include "writer/seed_code.h"

namespace labyrinth::requests {

LayoutRead readLayout(const std::string& name, std::span<const std::uint8_t> bytes, std::uint64_t size) {
    LayoutRead read;
    if (std::string tooLarge = labyrinth::refuseLargeLayout(name, size); !tooLarge.empty()) {
        read.refusal = std::move(tooLarge);
        return read;
    }
    auto checked = checkLayout(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), name);
    read.cells = std::move(checked.cells);
    read.problems = std::move(checked.problems);
    read.refusal = std::move(checked.refusal);
    return read;
}

std::string refusalLine(const LayoutRead& layout) {
    std::string line = layout.refusal;
    for (std::size_t i = 0; i < layout.problems.size(); ++i)
        line += (i == 0 ? ", so " + std::string(nothingWrittenText) + ": " : "; ") + layout.problems[i];
    return line;
}

Result<LabyrinthChoice> choiceFromText(const std::string& seed, const std::string& daily, const std::string& layoutName,
                                       std::span<const std::uint8_t> layoutBytes, std::string_view program) {
    LabyrinthChoice choice;
    if (!layoutName.empty() || !layoutBytes.empty()) {
        choice.layoutName = layoutName.empty() ? std::string("layout.json") : layoutName;
        LayoutRead read = readLayout(choice.layoutName, layoutBytes, layoutBytes.size());
        if (!read.cells) return Error{refusalLine(read)};
        choice.layout = std::move(read.cells);
    } else if (!daily.empty()) {
        auto date = parseDate(daily);
        if (!date) return date.error();
        choice.daily = date.value();
    } else if (!seed.empty()) {
        auto parsed = parseSeed(seed, program);
        if (!parsed) return parsed.error();
        choice.seed = parsed.value();
    }
    return choice;
}

std::uint64_t masterSeed(const LabyrinthChoice& choice, std::uint64_t fresh) {
    if (choice.layout) return 0;
    if (choice.daily) return dailySeed(*choice.daily);
    return choice.seed.value_or(fresh);
}

Status checkFiles(RandomAccessFile& image, RandomAccessFile& text) {
    if (auto fit = checkImage(image); !fit) return fit;
    return checkTextFile(text);
}

ClickResult writeChoice(RandomAccessFile& image, RandomAccessFile& text, const LabyrinthChoice& choice, std::uint64_t seed,
                        DriverHost& host) {
    // A layout is written as it stands: no seed drawn, no generator session.
    if (choice.layout) return writeLayout(image, text, *choice.layout, host);
    FixedSeedSource seeds(seed);
    auto session = std::make_unique<Session>(image, text, seeds);
    return savebutClick(*session, host);
}

std::string writeLabel(const LabyrinthChoice& choice, std::uint64_t seed) {
    if (choice.layout) return downloadStem(choice.layoutName, ".json");
    if (choice.daily) return "daily-" + dateText(*choice.daily);
    return std::to_string(seed);
}

std::string writeIdentity(const LabyrinthChoice& choice, const ClickResult& click, bool partlyWritten) {
    const bool named = choice.layout || !choice.sealedIn.empty();
    if (!named)
        return click.status ? seedLine(click.seed, seedCode(click.stream))
                            : unfinishedSeedLine(std::to_string(click.seed), partlyWritten);
    const std::string outcome = click.status ? "  Code: " + seedCode(click.stream)
                                             : "  (" + std::string(partlyWritten ? partlyWrittenText : nothingWrittenText) + ")";
    if (choice.layout) return "Layout: " + printable(choice.layoutName) + outcome;
    return "Seed: sealed in " + printable(choice.sealedIn) + outcome;
}

}  // namespace labyrinth::requests
