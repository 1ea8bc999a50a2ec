#include "writer/record_format.h"

#include <cstdio>

namespace labyrinth::format {

std::string offsetText(std::int64_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "offset %lld (0x%llX)", static_cast<long long>(offset),
                  static_cast<unsigned long long>(offset));
    return text;
}

}  // namespace labyrinth::format
