#include "readback_io.h"

#include <filesystem>

#include "map/map_picture.h"
#include "map/offscreen_gui.h"
#include "writer/driver.h"
#include "writer/image_file.h"

namespace labyrinth::cli {

Result<std::vector<std::uint8_t>> readImage(const std::string& path) {
    auto bytes = readWholeFile(path);
    if (!bytes) return bytes.error();
    MemoryFile image(path, std::move(bytes.value()));
    if (auto failed = checkImage(image)) return *failed;
    return std::move(image.bytes());
}

Status checkOutputPath(const std::string& output, const std::vector<std::string>& others) {
    namespace fs = std::filesystem;
    for (const std::string& input : others) {
        if (input.empty()) continue;
        // Same file by identity (links included), or the same path for a
        // file that does not exist yet.
        std::error_code ec;
        std::error_code ecOut;
        std::error_code ecIn;
        const bool same = fs::equivalent(output, input, ec) ||
                          fs::weakly_canonical(output, ecOut) == fs::weakly_canonical(input, ecIn);
        if (same && !ecOut && !ecIn)
            return Error{output + ": is " + input + ", which this command reads or writes; choose another file"};
    }
    return std::nullopt;
}

Status writeOutput(const std::string& path, std::span<const std::uint8_t> bytes) {
    return writeNewFile(path, bytes, true);
}

Result<std::vector<std::uint8_t>> mapPng(const DecodedStream& stream, const std::string& seedCode, int scale) {
    map::OffscreenGui gui;
    auto bytes = map::pngBytes(map::drawMap(stream, seedCode, scale));
    if (bytes.empty()) return Error{"the picture could not be encoded as PNG"};
    return bytes;
}

}  // namespace labyrinth::cli
