#include "sealed_spoiler.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "layout/labyrinth_json.h"
#include "writer/driver.h"
#include "writer/interruption.h"

namespace labyrinth::cli {
namespace {

// The spoiler: the description, with the seed (a string, as seeds travel
// everywhere) beside its revision, to publish after the race.
std::string spoilerOf(const ReadBack& labyrinth, std::uint64_t seed) {
    const nlohmann::ordered_json description = labyrinthJson(labyrinth.stream, labyrinth.seedCode);
    nlohmann::ordered_json spoiler = nlohmann::ordered_json::object();
    for (const auto& [key, value] : description.items()) {
        spoiler[key] = value;
        if (key == "revision") spoiler["seed"] = std::to_string(seed);
    }
    return documentText(spoiler);
}

}  // namespace

Result<std::unique_ptr<SealedSpoiler>> SealedSpoiler::seal(const std::string& path, bool force) {
    std::unique_ptr<SealedSpoiler> sealed(new SealedSpoiler);
    sealed->path_ = path;
    if (::getentropy(&sealed->seed_, sizeof sealed->seed_) != 0)
        return Error{std::string("cannot draw a seed from the system's random source: ") + std::strerror(errno)};
    auto labyrinth = labyrinthOfSeed(sealed->seed_);
    if (!labyrinth) return labyrinth.error();
    sealed->stream_.assign(labyrinth.value().written().begin(), labyrinth.value().written().end());
    const std::string text = spoilerOf(labyrinth.value(), sealed->seed_);
    sealed->bytes_.assign(text.begin(), text.end());
    // From the moment it has its name until `keep`, a signal takes it away.
    const interruption::Deferred held;
    auto file = writeNewFile(path, sealed->bytes_, force);
    if (!file) return file.error();
    sealed->file_ = std::move(file.value());
    interruption::addTemporary(path);
    return sealed;
}

void SealedSpoiler::keep() {
    kept_ = true;
    interruption::removeTemporary(path_);
}

std::string SealedSpoiler::settle(const std::string& image, bool written) {
    if (kept_)
        return written ? std::string()
                       : path_ + ": kept: it holds the seed of the labyrinth that was meant to be written into " + image;
    const bool removed = file_->withdraw();
    interruption::removeTemporary(path_);
    return path_ + (removed ? ": removed" : ": could not be removed") + ", as no labyrinth of its seed was written";
}

}  // namespace labyrinth::cli
