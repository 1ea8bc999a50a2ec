// libFuzzer target: the command line's number parsers and the escaping of
// names in messages. A number is taken exactly when the text is decimal
// digits naming a value in range, and it is the value the digits name; an
// escaped name holds no control character and is valid UTF-8.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "arguments/arguments.h"
#include "labyrinth/generator.h"

namespace {

// The value of decimal digits, worked out independently of the parser;
// empty for anything else or for more than 2^64 - 1.
std::optional<std::uint64_t> decimal(std::string_view text) {
    if (text.empty()) return std::nullopt;
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

template <typename T>
void expectTaken(const labyrinth::Result<T>& parsed, std::optional<std::uint64_t> expected, std::uint64_t low,
                 std::uint64_t high) {
    const bool inRange = expected && *expected >= low && *expected <= high;
    if (parsed.ok() != inRange) __builtin_trap();
    if (parsed.ok() && static_cast<std::uint64_t>(parsed.value()) != *expected) __builtin_trap();
    if (!parsed.ok() && parsed.error().message.find(std::to_string(high)) == std::string::npos)
        __builtin_trap();  // the message says the range
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace labyrinth;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = decimal(text);
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon > 32) {
        expectTaken(parseSeed(text), value, 0, std::numeric_limits<std::uint64_t>::max());
    } else {
        // REVISION:SEED is taken for this generator's revision alone.
        const auto revision = decimal(text.substr(0, colon));
        const auto seed = decimal(text.substr(colon + 1));
        const bool taken = revision == static_cast<std::uint64_t>(labyrinth::generatorRevision) && seed;
        const auto parsed = parseSeed(text);
        if (parsed.ok() != taken || (taken && parsed.value() != *seed)) __builtin_trap();
    }
    expectTaken(parseCount(text), value, 1, maxCount);
    expectTaken(parseScale(text, 16, 128), value, 16, 128);
    const std::string shown = printable(text);
    for (const char c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
    // Escaping again changes nothing only when no byte needed an escape.
    if (printable(shown) != shown) __builtin_trap();
    return 0;
}
