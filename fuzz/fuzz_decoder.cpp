// libFuzzer target: the stream decoder on any bytes. The input stands at the
// stream's offset of an otherwise blank image, so every input is a stream.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "writer/decoder.h"
#include "writer/record_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<std::uint8_t> image(static_cast<std::size_t>(labyrinth::format::roomDataPos), 0);
    image.resize(static_cast<std::size_t>(labyrinth::format::roomDataPos));  // keep the blank part
    image.insert(image.end(), data, data + size);
    const auto decoded = labyrinth::decodeStream(image);
    if (decoded.ok() && decoded.value().end >= static_cast<std::int64_t>(image.size())) __builtin_trap();
    return 0;
}
