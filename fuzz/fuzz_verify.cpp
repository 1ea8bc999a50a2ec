// libFuzzer target: the verifier on any image, as `verify` runs it, with and
// without the text file and the original. The first input byte chooses what
// is compared and where the rest lands: over the labyrinth's stream of a
// written image (so every check of the labyrinth is reached), or over its
// header; bytes past the image's end make it longer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "labyrinth/random.h"
#include "writer/driver.h"
#include "writer/image_file.h"
#include "writer/record_format.h"
#include "writer/verify.h"

namespace {

using namespace labyrinth;

struct Written {
    std::vector<std::uint8_t> original, image, text;
};

// One click on a blank image: the image every input is laid over.
const Written& written() {
    static const Written w = [] {
        Written made;
        made.original = format::blankImage();
        made.text.assign(static_cast<std::size_t>(format::textSize), '.');
        MemoryFile rom("image.nes", made.original);
        MemoryFile text("tgltext.tgl", made.text);
        FixedSeedSource seed(7);
        Session session(rom, text, seed);
        SilentDriverHost host;
        if (!savebutClick(session, host).status) __builtin_trap();
        made.image = rom.bytes();
        return made;
    }();
    return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const bool withText = (mode & 1U) != 0;
    const bool withOriginal = (mode & 2U) != 0;
    const auto at = static_cast<std::size_t>((mode & 4U) != 0 ? 0 : format::roomDataPos);
    const Written& w = written();

    std::vector<std::uint8_t> image = w.image;
    image.resize(std::max(image.size(), at + size - 1));
    std::copy(data + 1, data + size, image.begin() + static_cast<std::ptrdiff_t>(at));
    VerifyInputs inputs{image, std::nullopt, std::nullopt};
    if (withText) inputs.text = w.text;
    if (withOriginal) inputs.original = w.original;
    const auto problems = verifyImage(inputs);
    for (const auto& problem : problems)
        if (problem.message.empty() || problem.message.find('\n') != std::string::npos)
            __builtin_trap();  // every problem is one line that says what it is
    // The image as written passes; anything else that passes must decode.
    if (problems.empty() && !decodeStream(image)) __builtin_trap();
    return 0;
}
