#include "requests/links.h"

#include <algorithm>
#include <array>
#include <optional>

#include "arguments/arguments.h"
#include "labyrinth/generator.h"
#include "requests/memory_write.h"
#include "requests/labyrinth_text.h"
#include "requests/run.h"

namespace labyrinth::requests {

std::string linkProblem(const std::string& revision) {
    auto number = parseRevision(revision);
    if (!number) return "this link names no generator revision (its r= is " + shownInMessage(revision) + ")";
    return revisionProblem(number.value(), "this link", pageName);
}

namespace {

// The address after "#" of this revision's labyrinth that `key`=`value` names, and "&track" to track it.
std::string fragment(std::string_view key, std::string_view value, bool track) {
    return "r=" + std::to_string(generatorRevision) + "&" + std::string(key) + "=" + std::string(value) +
           (track ? "&track" : "");
}

}  // namespace

std::string linkFragment(std::uint64_t seed, bool track) { return fragment("seed", std::to_string(seed), track); }

std::string codeLinkFragment(std::string_view code, bool track) {
    std::string words(code);
    std::replace(words.begin(), words.end(), ' ', '-');
    return fragment("code", words, track);
}

std::string sealedLinkFragment(const DecodedStream& stream, std::string_view code) {
    return codeLinkFragment(code, false) + "&lab=" + labyrinthText(stream) + "&track";
}

std::string dailyLinkFragment(const std::string& date, bool track) {
    if (!parseDate(date)) return {};
    return fragment("daily", date, track);
}

namespace {

// Reads the broadcast view's keys into `link`: why they cannot be followed,
// or empty. view=broadcast goes with track; size= is one number or WxH of
// CSS pixels within reason; bg= a colour of three or six hexadecimal digits.
std::string broadcastProblem(LinkRead& link, std::optional<std::string_view> view, std::optional<std::string_view> size,
                             std::optional<std::string_view> background) {
    if (!view && (size || background)) return "this link gives size= or bg= without view=broadcast";
    if (!view) return {};
    if (*view != "broadcast") return "this link's view is refused: the view is broadcast, not " + shownInMessage(*view);
    if (!link.track) return "this link gives view=broadcast without track, and only the tracker is broadcast";
    link.broadcast = true;
    if (size) {
        const auto by = size->find('x');
        const auto side = [](std::string_view text) {
            int value = 0;
            if (text.empty() || text.size() > 4) return 0;
            for (const char c : text) {
                if (c < '0' || c > '9') return 0;
                value = value * 10 + (c - '0');
            }
            return value;
        };
        link.width = side(size->substr(0, by));
        link.height = by == std::string_view::npos ? link.width : side(size->substr(by + 1));
        if (link.width < minBroadcastSide || link.height < minBroadcastSide || link.width > maxBroadcastSide ||
            link.height > maxBroadcastSide)
            return "this link's size is refused: it is N or WxH, each from " + std::to_string(minBroadcastSide) + " to " +
                   std::to_string(maxBroadcastSide) + " CSS pixels, not " + shownInMessage(*size);
    }
    if (background) {
        const bool hex = (background->size() == 3 || background->size() == 6) &&
                         background->find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
        if (!hex)
            return "this link's bg is refused: it is a colour of 3 or 6 hexadecimal digits, such as 00ff00, not " +
                   shownInMessage(*background);
        link.background = "#" + std::string(*background);
    }
    return {};
}

}  // namespace

LinkRead readLink(std::string_view fragment) {
    // No "#", or "#" alone: no link at all, and the page opens as it is.
    if (fragment.empty()) return {};
    LinkRead link;
    link.names = true;
    std::optional<std::string_view> revision;
    std::optional<std::string_view> seed;
    std::optional<std::string_view> daily;
    std::optional<std::string_view> code;
    std::optional<std::string_view> run;
    std::optional<std::string_view> labyrinth;
    std::optional<std::string_view> view;
    std::optional<std::string_view> size;
    std::optional<std::string_view> background;
    // The keys a link may carry, each with where its value goes (track
    // carries none), in the order a refusal of another key names them.
    const std::array<std::pair<std::string_view, std::optional<std::string_view>*>, 10> keys{{
        {"r", &revision}, {"seed", &seed}, {"daily", &daily}, {"code", &code}, {"lab", &labyrinth}, {"run", &run},
        {"track", nullptr}, {"view", &view}, {"size", &size}, {"bg", &background}}};
    std::string keyList;  // "r, seed, ..., size and bg"
    for (std::size_t i = 0; i < keys.size(); ++i)
        keyList += std::string(i == 0 ? "" : i + 1 == keys.size() ? " and " : ", ") + std::string(keys[i].first);
    std::string repeated;  // the first key that the link gives twice
    std::string unread;    // what is wrong with the first part that this page does not read, or empty
    // The link is read in full or not at all: a part the page does not know
    // (a key in another case, another separator, a value where none goes)
    // may be what the sender meant, so it is refused rather than passed over.
    const auto notRead = [&](std::string why) {
        if (unread.empty()) unread = std::move(why);
    };
    while (true) {
        const auto end = fragment.find('&');
        const std::string_view pair = fragment.substr(0, end);
        const auto equals = pair.find('=');
        const std::string_view key = pair.substr(0, equals);
        // A key without "=" reads as one with an empty value, which its check
        // then refuses.
        const std::string_view value = equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        const auto known = std::find_if(keys.begin(), keys.end(), [&](const auto& entry) { return entry.first == key; });
        if (pair.empty()) {
            notRead("it has an \"&\" too many");
        } else if (known != keys.end() && known->second != nullptr) {
            // A key given twice leaves the link's meaning to whichever one a
            // reader happens to take: the link is refused rather than guessed at.
            if (*known->second && repeated.empty()) repeated = std::string(key);
            *known->second = value;
        } else if (known != keys.end()) {
            if (equals != std::string_view::npos) {
                notRead("track takes no value, not " + shownInMessage(pair, "part"));
            } else {
                if (link.track && repeated.empty()) repeated = "track";
                link.track = true;
            }
        } else {
            notRead(shownInMessage(key, "key") + " is none of the keys " + keyList);
        }
        if (end == std::string_view::npos) break;
        fragment.remove_prefix(end + 1);
    }
    if (daily) link.daily = std::string(*daily);
    if (run) link.run = std::string(*run);
    if (labyrinth) link.labyrinth = std::string(*labyrinth);
    // A link without r= is of revision 1: every link was, before links
    // named their revision. Another revision comes first, since a link of a
    // later page may well carry keys that this page does not know.
    const std::string named(revision.value_or("1"));
    link.problem = linkProblem(named);
    if (!link.problem.empty()) {
        // A seed of another revision goes into the field with its revision,
        // which a write then refuses, so that it never becomes another
        // labyrinth.
        if (seed) link.seed = named + ":" + std::string(*seed);
        return link;
    }
    // A link that names no one labyrinth puts nothing into the field.
    if (!unread.empty()) {
        link.problem = "this link is not one this page reads: " + unread;
    } else if (!repeated.empty()) {
        link.problem = "this link gives " + repeated + (repeated == "track" ? "" : "=") +
                       " more than once, so it names no one labyrinth";
    } else if (int{seed.has_value()} + int{daily.has_value()} + int{code.has_value()} > 1) {
        link.problem = seed && daily && !code ? "this link gives both a seed and a daily date, so it names no one labyrinth"
                                              : "this link gives more than one of a seed, a daily date and a seed code, "
                                                "so it names no one labyrinth";
    } else if (!seed && !daily && !code) {
        link.problem = "this link gives neither a seed nor a daily date, so it names no labyrinth";
    } else if (labyrinth && !code) {
        link.problem = "this link gives a labyrinth without its seed code, which names it";
    } else if (labyrinth && !labyrinthOfText(*labyrinth)) {
        link.problem = "this link's labyrinth is damaged: its rooms cannot be read";
    } else if (const std::string shown = broadcastProblem(link, view, size, background); !shown.empty()) {
        link.problem = shown;
    } else if (run && !link.track) {
        link.problem = "this link gives a run's steps without track, and only the tracker shows a run";
    } else if (run && !decodeSteps(*run)) {
        link.problem = "this link's run is damaged: its steps cannot be read";
    } else if (code) {
        std::string words(*code);
        std::replace(words.begin(), words.end(), '-', ' ');
        if (auto parsed = parseSeedCode(words); !parsed) link.problem = "this link's seed code is refused: " + parsed.error().message;
        else link.code = parsed.value();
    } else if (seed) {
        link.seed = std::string(*seed);
        // The field gets what the link says, and the write refuses it in the
        // same words; an empty seed would otherwise write a random labyrinth.
        if (auto parsed = parseSeed(*seed, pageName); !parsed) link.problem = "this link's seed is refused: " + parsed.error().message;
    } else if (auto day = dailySeedOf(link.daily); !day) {
        link.problem = "this link's daily date is refused: " + day.error().message;
    } else {
        link.seed = std::to_string(day.value());
    }
    return link;
}

}  // namespace labyrinth::requests
