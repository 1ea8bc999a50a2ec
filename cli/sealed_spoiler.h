#pragma once
// The spoiler of a sealed race: a seed drawn from the system's random
// source and kept in this file alone. It is written before the image, so
// that no labyrinth is ever written whose seed is kept nowhere, and it never
// outlives a write that did not happen: until a labyrinth of its seed is in
// a file of the player's, a signal or a failure takes it away again.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "writer/output_file.h"
#include "writer/result.h"

namespace labyrinth::cli {

class SealedSpoiler {
public:
    /// Draws the seed and writes the spoiler of its labyrinth to `path`
    /// (replacing a file there only with `force`).
    static Result<std::unique_ptr<SealedSpoiler>> seal(const std::string& path, bool force);

    std::uint64_t seed() const { return seed_; }
    /// The records of its labyrinth: what the image must hold.
    const std::vector<std::uint8_t>& stream() const { return stream_; }

    /// A labyrinth of its seed is now, whole or in part, in a file of the
    /// player's: the spoiler stays, whatever comes next.
    void keep();
    /// For a write that did not finish: removes the spoiler unless it was
    /// kept, and gives the sentence that says which (naming `image`, the
    /// file the labyrinth was meant for), or empty when there is nothing to say.
    std::string settle(const std::string& image, bool written);
    /// Whether it stays: a labyrinth of its seed is in a file of the player's.
    bool kept() const { return kept_; }
    /// Fails unless the file is still under its name and holds the spoiler.
    Status checkHolds() { return file_->checkHolds(bytes_); }

private:
    SealedSpoiler() = default;
    std::string path_;
    std::uint64_t seed_ = 0;
    std::vector<std::uint8_t> stream_;
    std::vector<std::uint8_t> bytes_;
    std::unique_ptr<NewFile> file_;
    bool kept_ = false;
};

}  // namespace labyrinth::cli
