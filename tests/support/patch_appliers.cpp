#include "patch_appliers.h"

#include <cstring>

#ifndef LABYRINTH_NODE
#error "LABYRINTH_NODE must name the node executable"
#endif
#ifndef LABYRINTH_BPS_APPLIER
#error "LABYRINTH_BPS_APPLIER must name tests/patch/apply-bps.mjs"
#endif

namespace labyrinth::testing {

CommandRun applyBps(const std::filesystem::path& patch, const std::filesystem::path& source,
                    const std::filesystem::path& output) {
    return runCommand(LABYRINTH_NODE, output.parent_path(),
                      {LABYRINTH_BPS_APPLIER, patch.string(), source.string(), output.string()});
}

std::optional<std::vector<std::uint8_t>> applyIps(const std::vector<std::uint8_t>& patch,
                                                  std::vector<std::uint8_t> image) {
    std::size_t at = 0;
    const auto take = [&](std::size_t count) -> std::optional<std::uint32_t> {
        if (at + count > patch.size()) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < count; ++i) value = value << 8U | patch[at++];
        return value;
    };
    if (patch.size() < 5 || std::memcmp(patch.data(), "PATCH", 5) != 0) return std::nullopt;
    at = 5;
    for (;;) {
        if (at + 3 <= patch.size() && std::memcmp(patch.data() + at, "EOF", 3) == 0) {
            at += 3;
            break;
        }
        const auto offset = take(3), size = take(2);
        if (!offset || !size) return std::nullopt;
        if (*size == 0) {  // a run of one byte value
            const auto count = take(2), value = take(1);
            if (!count || !value) return std::nullopt;
            if (image.size() < *offset + *count) image.resize(*offset + *count);
            std::fill_n(image.begin() + *offset, *count, static_cast<std::uint8_t>(*value));
            continue;
        }
        if (at + *size > patch.size()) return std::nullopt;
        if (image.size() < *offset + *size) image.resize(*offset + *size);
        std::copy_n(patch.begin() + static_cast<std::ptrdiff_t>(at), *size, image.begin() + *offset);
        at += *size;
    }
    if (at != patch.size()) return std::nullopt;
    return image;
}

}  // namespace labyrinth::testing
