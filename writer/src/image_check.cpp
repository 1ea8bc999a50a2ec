#include "writer/image_check.h"

#include <algorithm>
#include <array>

#include "writer/record_format.h"

namespace labyrinth {

std::vector<std::string> imageProblems(std::int64_t size, std::span<const std::uint8_t> header) {
    std::vector<std::string> problems;
    if (size < format::minImageSize)
        problems.push_back("is not a complete cartridge image: it is " + std::to_string(size) +
                           " bytes long, and the labyrinth needs at least " + std::to_string(format::minImageSize));
    if (header.size() < format::imageMagic.size() ||
        !std::equal(format::imageMagic.begin(), format::imageMagic.end(), header.begin()))
        problems.push_back("is not an NES cartridge image (it does not start with \"NES\" and 0x1A)");
    else if (header.size() > format::headerFlagsOffset &&
             (header[format::headerFlagsOffset] & format::trainerFlag) != 0)
        problems.push_back("carries a " + std::to_string(format::trainerSize) +
                           "-byte trainer after its header, and the labyrinth's offsets assume an image without "
                           "one; writing would damage the game");
    return problems;
}

Status checkImage(RandomAccessFile& image) {
    if (auto there = image.checkStillThere(); !there) return there;
    auto size = image.size();
    if (!size) return size.error();
    std::array<std::uint8_t, format::headerFlagsOffset + 1> header{};
    // A file too short for the header is too short for the labyrinth, which says so first.
    const bool headerRead = size.value() >= static_cast<std::int64_t>(header.size());
    if (headerRead)
        if (auto read = image.readAt(0, header); !read) return read;
    const auto problems = imageProblems(size.value(), std::span(header.data(), headerRead ? header.size() : 0));
    if (!problems.empty()) return Error{image.name() + ": " + problems.front()};
    return {};
}

Status checkTextFile(RandomAccessFile& text) {
    if (auto there = text.checkStillThere(); !there) return there;
    auto size = text.size();
    if (!size) return size.error();
    if (size.value() < format::textSize)
        return Error{text.name() + ": holds " + std::to_string(size.value()) + " bytes, but the text block needs " +
                     std::to_string(format::textSize)};
    // An image given as the text file (the same file picked twice, a link)
    // would fill the text block with its own header and code.
    std::array<std::uint8_t, format::imageMagic.size()> start{};
    if (auto read = text.readAt(0, start); !read) return read;
    if (start == format::imageMagic)
        return Error{text.name() + ": is a cartridge image, not the game's text file " + format::textFileName};
    return {};
}

}  // namespace labyrinth
