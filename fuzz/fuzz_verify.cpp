// libFuzzer target: the verifier on any stream. The input stands at the
// stream's offset of an image with the right magic and size (longer inputs
// make longer images), so every check of the labyrinth is reached.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "writer/record_format.h"
#include "writer/verify.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace format = labyrinth::format;
    const auto streamAt = static_cast<std::size_t>(format::roomDataPos);
    std::vector<std::uint8_t> image(std::max(static_cast<std::size_t>(format::minImageSize), streamAt + size), 0);
    std::copy(format::imageMagic.begin(), format::imageMagic.end(), image.begin());
    std::copy(data, data + size, image.begin() + static_cast<std::ptrdiff_t>(streamAt));
    const auto problems = labyrinth::verifyImage({image, std::nullopt, std::nullopt});
    for (const auto& problem : problems)
        if (problem.message.empty()) __builtin_trap();  // every problem must say what it is
    return 0;
}
