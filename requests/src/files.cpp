#include "requests/files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "arguments/arguments.h"
#include "layout/layout_reader.h"
#include "writer/image_check.h"
#include "writer/image_file.h"

namespace labyrinth::requests {
namespace {

// The end of a text file's name, which puts a file without the image's
// magic into the text file's slot.
constexpr std::string_view textExtension = ".tgl";

// How a file without a name of its own is called: the page always has one,
// but the module may be called without.
constexpr std::string_view unnamedImage = "image.nes";

bool endsWithIgnoringCase(const std::string& text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) {
                          const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
                          return lower(a) == lower(b);
                      });
}

// A limit in whole mebibytes, as messages spell it: "16 MiB".
std::string mebibytes(std::int64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

std::string nameOf(const InputFile& file, std::string_view fallback) {
    return file.name.empty() ? std::string(fallback) : file.name;
}

std::string downloadStem(const std::string& fileName, std::string_view dropped) {
    const std::filesystem::path name = std::filesystem::path(fileName).filename();
    std::string extension = name.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string stem = extension == dropped ? name.stem().string() : name.string();
    return stem.empty() ? std::string("labyrinth") : stem;
}

std::string refuseLargeFile(const std::string& name, double size) {
    if (!(size > static_cast<double>(maxFileSize))) return {};
    return name + ": is " + groupedNumber(static_cast<std::uint64_t>(size)) + " bytes, larger than the " +
           mebibytes(maxFileSize) + " the page reads (a cartridge image is far smaller); it was not read";
}

std::string refuseLargeLayout(const std::string& name, double size) {
    return labyrinth::refuseLargeLayout(name, static_cast<std::uint64_t>(std::max(0.0, size)));
}

FileKind kindOfFile(const std::string& name, std::span<const std::uint8_t> head) {
    if (head.size() >= format::imageMagic.size() &&
        std::equal(format::imageMagic.begin(), format::imageMagic.end(), head.begin()))
        return FileKind::Image;
    return endsWithIgnoringCase(name, textExtension) ? FileKind::Text : FileKind::Unknown;
}

std::string unusedFileMessage(const std::string& name) {
    // The image check's own words for a file without the magic.
    const auto notImage = imageProblems(format::minImageSize, {});
    return name + " was not used: it " + notImage.front() + ", nor a text file whose name ends in " +
           std::string(textExtension);
}

std::string imageName(const InputFile& image) { return nameOf(image, unnamedImage); }

Result<ReadBack> readImage(const InputFile& image) {
    if (!image.given()) return Error{"no image was given: choose a .nes file to look at"};
    const std::string name = imageName(image);
    if (auto refused = refuseLargeFile(name, static_cast<double>(image.bytes.size())); !refused.empty())
        return Error{refused};
    MemoryFile file(name, image.bytes);
    return readLabyrinth(file);
}

}  // namespace labyrinth::requests
