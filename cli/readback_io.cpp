#include "readback_io.h"

#include <filesystem>
#include <iostream>

#include "arguments/arguments.h"
#include "checked_stream.h"
#include "picture/map_picture.h"
#include "picture/offscreen_gui.h"
#include "layout/layout_reader.h"
#include "writer/driver.h"
#include "writer/readback.h"
#include "writer/record_format.h"

namespace labyrinth::cli {

std::string textBeside(const std::string& image) {
    return (std::filesystem::path(image).parent_path() / format::textFileName).string();
}

LockWait lockWait(const std::string& name, int seconds) {
    LockWait wait;
    wait.limit = std::chrono::seconds(seconds);
    wait.waiting = [name, seconds] {
        std::cerr << "labyrinth-cli: " << printable(name) << ": waiting for another program that is using it (up to "
                  << seconds << " s)" << std::endl;
    };
    return wait;
}

Result<ImageRegion> readImageRegion(const std::string& path, int waitSeconds) {
    auto file = DiskFile::open(path, DiskFile::Mode::ReadOnly);
    if (!file) return file.error();
    if (auto locked = lockWaiting(*file.value(), FileLock::Shared, lockWait(path, waitSeconds)); !locked)
        return locked.error();
    auto bytes = readRegion(*file.value());
    if (!bytes) return bytes.error();
    return ImageRegion{std::move(file.value()), std::move(bytes.value())};
}

Result<requests::LayoutRead> readLayoutFile(const std::string& path) {
    auto file = DiskFile::open(path, DiskFile::Mode::ReadOnly);
    if (!file) return file.error();
    auto size = file.value()->size();
    if (!size) return size.error();
    auto bytes = size.value() > maxLayoutSize ? std::vector<std::uint8_t>{} : readPrefix(*file.value(), maxLayoutSize);
    if (!bytes) return bytes.error();
    return requests::readLayout(path, bytes.value(), static_cast<std::uint64_t>(size.value()));
}

Status Outputs::write(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (path == standardOutputName) {
        std::cout.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        // Told here, as the outcome of this output, and not again at the end.
        if (CheckedStream* output = checkedOutput(); output != nullptr && output->failed()) {
            output->setReported();
            return Error{output->message()};
        }
        return {};
    }
    auto file = writeNewFile(path, bytes, force_);
    if (!file) return file.error();
    written_.push_back({std::move(file.value()), {bytes.begin(), bytes.end()}});
    return {};
}

Status Outputs::write(const std::string& path, const std::string& text) {
    return write(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Status Outputs::checkAll() {
    for (Written& output : written_)
        if (auto holds = output.file->checkHolds(output.bytes); !holds) return holds;
    return {};
}

Result<std::vector<std::uint8_t>> mapPng(const DecodedStream& stream, const std::string& seedCode, int scale,
                                         const ShownCells& shown) {
    map::OffscreenGui gui;
    auto bytes = map::pngBytes(map::drawMap(map::layOutMap(stream, seedCode, scale, shown)));
    if (bytes.empty()) return Error{"the picture could not be encoded as PNG"};
    return bytes;
}

}  // namespace labyrinth::cli
