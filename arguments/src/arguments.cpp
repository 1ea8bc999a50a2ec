#include "arguments/arguments.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <charconv>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "labyrinth/generator.h"
#include "labyrinth/version.h"
#include "writer/seed_code.h"

namespace labyrinth {
namespace {

// Longer texts are not echoed in messages, only measured: a pasted page of
// digits must not become a page of error.
constexpr std::size_t longestEchoed = 32;

// A whole number from `low` to `high`, in decimal digits and nothing else.
// `noun` names the number ("seed"), for the message.
Result<std::uint64_t> parseWhole(std::string_view text, std::uint64_t low, std::uint64_t high, const char* noun) {
    const auto refuse = [&] {
        return Error{std::string("the ") + noun + " must be a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not " + shownInMessage(text, noun)};
    };
    const bool digitsOnly =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digitsOnly) return refuse();
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return refuse();
    return value;
}

// The length of the valid UTF-8 sequence that starts `text`, or 0 when it
// does not start with one (a stray continuation byte, an overlong form, a
// surrogate, a sequence cut short or beyond U+10FFFF).
std::size_t utf8Sequence(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

void appendEscape(std::string& out, unsigned char byte) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02X", byte);
    out += escape;
}

}  // namespace

Result<std::uint64_t> parseSeed(std::string_view text, std::string_view writer) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon > longestEchoed)
        return parseWhole(text, 0, std::numeric_limits<std::uint64_t>::max(), "seed");
    // REVISION:SEED names the generator revision it was shared under: only
    // this revision's seeds are taken, never turned into another labyrinth.
    // A fault in either part names the whole argument, as the user wrote it.
    auto revision = parseRevision(text.substr(0, colon));
    auto seed = parseWhole(text.substr(colon + 1), 0, std::numeric_limits<std::uint64_t>::max(), "seed");
    if (!revision || !seed)
        return Error{"a seed with a revision is written REVISION:SEED, such as " + std::to_string(generatorRevision) +
                     ":42; not " + shownInMessage(text)};
    if (auto other = revisionProblem(revision.value(), "the seed " + printable(text), writer); !other.empty())
        return Error{other};
    return seed.value();
}

Result<std::uint64_t> parseRevision(std::string_view text) {
    return parseWhole(text, 1, std::numeric_limits<std::uint32_t>::max(), "revision");
}

std::string revisionProblem(std::uint64_t revision, const std::string& what, std::string_view writer) {
    if (revision == static_cast<std::uint64_t>(generatorRevision)) return {};
    return what + " is for labyrinths of generator revision " + std::to_string(revision) + "; " + std::string(writer) +
           " writes revision " + std::to_string(generatorRevision);
}

Result<int> parseCount(std::string_view text) {
    auto value = parseWhole(text, 1, maxCount, "count");
    if (!value) return value.error();
    return static_cast<int>(value.value());
}

Result<int> parseScale(std::string_view text, int minScale, int maxScale) {
    auto value = parseWhole(text, static_cast<std::uint64_t>(minScale), static_cast<std::uint64_t>(maxScale), "scale");
    if (!value) return value.error();
    return static_cast<int>(value.value());
}

Result<int> parseWaitSeconds(std::string_view text, int maxSeconds) {
    auto value = parseWhole(text, 0, static_cast<std::uint64_t>(maxSeconds), "wait in seconds");
    if (!value) return value.error();
    return static_cast<int>(value.value());
}

Result<std::string> parseSeedCode(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : std::string(text) + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(std::exchange(word, {}));
        } else {
            word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    const auto known = [](const std::string& w) {
        return std::find(seedCodeWords.begin(), seedCodeWords.end(), w) != seedCodeWords.end();
    };
    if (words.size() != static_cast<std::size_t>(seedCodeLength) || !std::all_of(words.begin(), words.end(), known))
        return Error{"the seed code must be " + std::to_string(seedCodeLength) +
                     " words of the seed-code list, such as \"island bread peach cloud\", not " + shownInMessage(text)};
    std::string code;
    for (const std::string& w : words) code += (code.empty() ? "" : " ") + w;
    return code;
}

namespace {

constexpr bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

constexpr int daysInMonth(int year, int month) {
    constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

}  // namespace

Result<CalendarDate> parseDate(std::string_view text) {
    const auto refuse = [&] {
        return Error{"the date must be a day from 1970-01-01 to 9999-12-31 written YYYY-MM-DD, not " +
                     shownInMessage(text)};
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return refuse();
    auto year = parseWhole(text.substr(0, 4), 1970, 9999, "year");
    auto month = parseWhole(text.substr(5, 2), 1, 12, "month");
    auto day = parseWhole(text.substr(8, 2), 1, 31, "day");
    if (!year || !month || !day) return refuse();
    const CalendarDate date{static_cast<int>(year.value()), static_cast<int>(month.value()), static_cast<int>(day.value())};
    if (date.day > daysInMonth(date.year, date.month)) return refuse();
    return date;
}

std::string dateText(CalendarDate date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

CalendarDate todayUtc() {
    // Days since 1970-01-01 to the civil date (the proleptic Gregorian
    // calendar, as UTC counts days).
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    long long days = std::chrono::duration_cast<std::chrono::seconds>(now).count() / 86400;
    CalendarDate date;
    while (days >= (leapYear(date.year) ? 366 : 365)) days -= leapYear(date.year++) ? 366 : 365;
    while (days >= daysInMonth(date.year, date.month)) days -= daysInMonth(date.year, date.month++);
    date.day = static_cast<int>(days) + 1;
    return date;
}

Result<AreaSelection> parseAreas(std::string_view text) {
    const auto refuse = [&] {
        return Error{"the areas must be numbers from 0 to " + std::to_string(areaCount - 1) +
                     " or ranges of them such as 3-5, separated by commas, not " + shownInMessage(text)};
    };
    AreaSelection areas;
    std::string_view rest = text;
    while (true) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const auto dash = item.find('-');
        auto first = parseWhole(item.substr(0, dash), 0, areaCount - 1, "area");
        auto last = dash == std::string_view::npos ? first : parseWhole(item.substr(dash + 1), 0, areaCount - 1, "area");
        if (!first || !last || last.value() < first.value()) return refuse();
        for (std::uint64_t area = first.value(); area <= last.value(); ++area)
            areas.set(static_cast<std::size_t>(area));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return areas;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.front());
        const std::size_t length = utf8Sequence(text);
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (length == 0 || byte < 0x20 || byte == 0x7F) {
            appendEscape(out, byte);
        } else if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            // U+0080 to U+009F: control characters too, which some terminals obey.
            appendEscape(out, byte);
            appendEscape(out, static_cast<unsigned char>(text[1]));
            text.remove_prefix(2);
            continue;
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        text.remove_prefix(1);
    }
    return out;
}

std::string versionLine(std::string_view program) {
    return std::string(program) + " " + versionText + ", generator revision " + std::to_string(generatorRevision);
}

std::string shownInMessage(std::string_view text, std::string_view noun) {
    if (text.size() > longestEchoed) return "a " + std::string(noun) + " of " + groupedNumber(text.size()) + " characters";
    return "\"" + printable(text) + "\"";
}

std::string groupedNumber(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace labyrinth
