#include "arguments.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

namespace labyrinth::cli {
namespace {

// A whole number from `low` to `high`, in decimal digits and nothing else.
Result<std::uint64_t> parseWhole(std::string_view text, std::uint64_t low, std::uint64_t high, const char* what) {
    const auto refuse = [&] {
        return Error{what + std::string(" must be a whole number from ") + std::to_string(low) + " to " +
                     std::to_string(high) + ", not \"" + printable(text) + "\""};
    };
    const bool digitsOnly =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digitsOnly) return refuse();
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return refuse();
    return value;
}

}  // namespace

Result<std::uint64_t> parseSeed(std::string_view text) {
    return parseWhole(text, 0, std::numeric_limits<std::uint64_t>::max(), "the seed");
}

Result<int> parseCount(std::string_view text) {
    auto value = parseWhole(text, 1, maxCount, "the count");
    if (!value) return value.error();
    return static_cast<int>(value.value());
}

Result<int> parseScale(std::string_view text, int minScale, int maxScale) {
    auto value = parseWhole(text, static_cast<std::uint64_t>(minScale), static_cast<std::uint64_t>(maxScale),
                            "the scale");
    if (!value) return value.error();
    return static_cast<int>(value.value());
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace labyrinth::cli
