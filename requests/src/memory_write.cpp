#include "requests/memory_write.h"

#include <optional>
#include <random>

#include "arguments/arguments.h"
#include "requests/links.h"
#include "requests/write.h"
#include "writer/image_file.h"
#include "writer/patch.h"
#include "writer/seed_code.h"

namespace labyrinth::requests {
namespace {

// A master seed when the page gives none: from the system's random source.
std::uint64_t randomSeed() {
    std::random_device device;
    return (std::uint64_t{device()} << 32U) ^ device();
}

}  // namespace

Result<WriteResult> writeCopy(const MemoryWrite& request) {
    if (!request.image.given()) return Error{"no cartridge image was given: choose your .nes file"};
    if (!request.text.given()) return Error{std::string("no text file was given: choose ") + format::textFileName};
    for (const InputFile* file : {&request.image, &request.text})
        if (auto refused = refuseLargeFile(file->name, static_cast<double>(file->bytes.size())); !refused.empty())
            return Error{refused};
    auto choice = choiceFromText(request.seed, request.daily, request.layout.name, request.layout.bytes, pageName);
    if (!choice) return choice.error();

    // The written image is a copy, as with `write -o`: the checks come first.
    const std::string name = imageName(request.image);
    MemoryFile image(name, request.image.bytes);
    MemoryFile text(nameOf(request.text, format::textFileName), request.text.bytes);
    if (auto fit = checkFiles(image, text); !fit) return fit.error();
    const LabyrinthChoice& chosen = choice.value();
    const bool fresh = !chosen.seed && !chosen.daily && !chosen.layout;
    SilentDriverHost host;
    const ClickResult click = writeChoice(image, text, chosen, masterSeed(chosen, fresh ? randomSeed() : 0), host);
    if (!click.status) return click.status.error();

    WriteResult result;
    result.seed = click.seed;
    result.seedCode = seedCode(click.stream);
    result.attempts = click.attempts;
    result.generations = click.generations;
    result.layoutName = chosen.layoutName;
    result.downloads.push_back({"image", downloadStem(name) + "-" + writeLabel(chosen, click.seed) + ".nes",
                                "application/octet-stream", std::move(image.bytes())});
    return result;
}

std::string seedProblem(const std::string& seed) {
    if (seed.empty()) return {};
    auto parsed = parseSeed(seed, pageName);
    return parsed ? std::string() : parsed.error().message;
}

Result<std::uint64_t> dailySeedOf(const std::string& date) {
    auto parsed = parseDate(date);
    if (!parsed) return parsed.error();
    return dailySeed(parsed.value());
}

Result<Download> patchOfWrite(const PatchRequest& request) {
    std::optional<std::uint64_t> seed;
    if (request.layoutName.empty()) {
        auto parsed = parseSeed(request.seed, pageName);
        if (!parsed) return parsed.error();
        seed = parsed.value();
    }
    // The date names the download, so it must be a day, and that seed's.
    if (!request.daily.empty()) {
        auto day = dailySeedOf(request.daily);
        if (!day) return day.error();
        if (seed != day.value())
            return Error{"the seed " + request.seed + " is not the daily labyrinth of " + request.daily};
    }
    MemoryFile original(imageName(request.original), request.original.bytes);
    MemoryFile written(nameOf(request.written, "written.nes"), request.written.bytes);
    auto before = snapshotImage(original, clickRegions());
    if (!before) return before.error();
    // The same BPS patch as `labyrinth-cli write --patch NAME.bps`.
    auto patch = makeWritePatch(PatchFormat::Bps, before.value(), written, seed, request.seedCode);
    if (!patch) return patch.error();
    const std::string label = !request.daily.empty() ? "daily-" + request.daily
                              : seed                 ? std::to_string(*seed)
                                                     : downloadStem(request.layoutName, ".json");
    return Download{"patch", downloadStem(original.name()) + "-" + label + ".bps", "application/octet-stream",
                    std::move(patch.value())};
}

}  // namespace labyrinth::requests
