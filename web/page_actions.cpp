#include "page_actions.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>

#include "arguments/arguments.h"
#include "layout/labyrinth_json.h"
#include "layout/layout_reader.h"
#include "map/map_layout.h"
#include "map/map_svg.h"
#include "writer/decoder.h"
#include "writer/driver.h"
#include "writer/image_file.h"
#include "writer/patch.h"
#include "writer/readback.h"
#include "writer/record_format.h"
#include "writer/route.h"
#include "writer/seed_code.h"
#include "writer/verify.h"

namespace labyrinth::web {
namespace {

// The name a file goes by in messages; a file always has one in a browser,
// but the module may be called without.
std::string nameOf(const InputFile& file, const char* fallback) {
    return file.name.empty() ? std::string(fallback) : file.name;
}

// "game" for "game.nes" (any case of the extension) or "path/game.nes";
// another extension may be dropped instead (".json" of a layout).
std::string downloadStem(const std::string& fileName, std::string_view dropped = ".nes") {
    const std::filesystem::path name = std::filesystem::path(fileName).filename();
    std::string extension = name.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string stem = extension == dropped ? name.stem().string() : name.string();
    return stem.empty() ? std::string("labyrinth") : stem;
}

// A master seed when the page gives none: from the browser's random source
// (crypto.getRandomValues), so that two clicks in the same millisecond, or
// two players, never share one by accident.
std::uint64_t randomSeed() {
    std::random_device device;
    return (std::uint64_t{device()} << 32U) ^ device();
}

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// How a refusal of another revision calls the page.
constexpr std::string_view pageName = "this page";

// The end of a text file's name, which puts a file without the image's
// magic into the text file's slot.
constexpr std::string_view textExtension = ".tgl";

bool endsWithIgnoringCase(const std::string& text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) {
                          const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
                          return lower(a) == lower(b);
                      });
}

// An image's labyrinth, read as `show` reads it.
Result<ReadBack> readLabyrinthOf(const InputFile& image, const std::string& name) {
    MemoryFile file(name, image.bytes);
    return readLabyrinth(file);
}

// The checks that come before an image is read: given at all, not too large.
Status checkGivenImage(const InputFile& image, const std::string& name) {
    if (image.name.empty() && image.bytes.empty()) return Error{"no image was given: choose a .nes file to look at"};
    if (auto refused = refuseLargeFile(name, static_cast<double>(image.bytes.size())); !refused.empty())
        return Error{refused};
    return {};
}

Download spoilerOf(const std::string& name, const ReadBack& labyrinth) {
    return {"spoiler", downloadStem(name) + "-spoiler.json", "application/json",
            bytesOf(labyrinthJson(labyrinth.stream, labyrinth.seedCode).dump(2) + "\n")};
}

// A limit in whole mebibytes, as messages spell it: "16 MiB".
std::string mebibytes(std::int64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

std::string refuseLargeFile(const std::string& name, double size) {
    if (!(size > static_cast<double>(maxFileSize))) return {};
    return name + ": is " + groupedNumber(static_cast<std::uint64_t>(size)) + " bytes, larger than the " +
           mebibytes(maxFileSize) + " the page reads (a cartridge image is far smaller); it was not read";
}

std::string refuseLargeLayout(const std::string& name, double size) {
    return labyrinth::refuseLargeLayout(name, static_cast<std::uint64_t>(std::max(0.0, size)));
}

namespace {

// The file that stands in for the player's files when a labyrinth is only
// tracked: a blank image, and a text block of zeros, neither of which the
// labyrinth's records depend on.
InputFile blankFile(std::string name, std::vector<std::uint8_t> bytes) { return {std::move(name), std::move(bytes)}; }

}  // namespace

std::string seedProblem(const std::string& seed) {
    if (seed.empty()) return {};
    auto parsed = parseSeed(seed, pageName);
    return parsed ? std::string() : parsed.error().message;
}

FileKind kindOfFile(const std::string& name, std::span<const std::uint8_t> head) {
    if (head.size() >= format::imageMagic.size() &&
        std::equal(format::imageMagic.begin(), format::imageMagic.end(), head.begin()))
        return FileKind::Image;
    return endsWithIgnoringCase(name, textExtension) ? FileKind::Text : FileKind::Unknown;
}

std::string unusedFileMessage(const std::string& name) {
    // The image check's own words for a file without the magic.
    const auto notImage = imageProblems(format::minImageSize, {});
    return name + " was not used: it " + notImage.front() + ", nor a text file whose name ends in " + std::string(textExtension);
}

Result<WriteResult> writeLabyrinth(const WriteRequest& request) {
    const std::string imageName = nameOf(request.image, "image.nes");
    const std::string textName = nameOf(request.text, format::textFileName);
    if (request.image.name.empty() && request.image.bytes.empty())
        return Error{"no cartridge image was given: choose your .nes file"};
    if (request.text.name.empty() && request.text.bytes.empty())
        return Error{std::string("no text file was given: choose ") + format::textFileName};
    for (const InputFile* file : {&request.image, &request.text})
        if (auto refused = refuseLargeFile(file->name, static_cast<double>(file->bytes.size())); !refused.empty())
            return Error{refused};

    const bool fromLayout = !request.layout.name.empty() || !request.layout.bytes.empty();
    std::uint64_t seed = 0;
    std::optional<DecodedStream> layout;
    if (fromLayout) {
        const std::string layoutName = nameOf(request.layout, "layout.json");
        if (auto refused = refuseLargeLayout(layoutName, static_cast<double>(request.layout.bytes.size())); !refused.empty())
            return Error{refused};
        auto checked = checkLayout(std::string_view(reinterpret_cast<const char*>(request.layout.bytes.data()),
                                                    request.layout.bytes.size()),
                                   layoutName);
        if (!checked.cells) {
            std::string message = checked.refusal;
            for (std::size_t i = 0; i < checked.problems.size(); ++i)
                message += (i == 0 ? ", so nothing was written: " : "; ") + checked.problems[i];
            return Error{message};
        }
        layout = std::move(*checked.cells);
    } else if (!request.daily.empty()) {
        auto daily = dailySeedOf(request.daily);
        if (!daily) return daily.error();
        seed = daily.value();
    } else if (request.seed.empty()) {
        seed = randomSeed();
    } else {
        auto parsed = parseSeed(request.seed, pageName);
        if (!parsed) return parsed.error();
        seed = parsed.value();
    }

    // The written image is a copy, as with `write -o`: the checks come first.
    MemoryFile rom(imageName, request.image.bytes);
    MemoryFile text(textName, request.text.bytes);
    for (const Status& fit : {checkImage(rom), checkTextFile(text)})
        if (!fit) return fit.error();

    // A layout is written as it stands: no seed drawn, no generator session.
    SilentDriverHost host;
    const ClickResult click = layout ? writeLayout(rom, text, *layout, host) : [&] {
        FixedSeedSource seeds(seed);
        auto session = std::make_unique<Session>(rom, text, seeds);
        return savebutClick(*session, host);
    }();
    if (!click.status) return click.status.error();

    WriteResult result;
    result.seed = click.seed;
    result.seedCode = seedCode(click.stream);
    result.attempts = click.attempts;
    result.generations = click.generations;
    if (layout) result.layoutName = nameOf(request.layout, "layout.json");
    const std::string label = layout                   ? downloadStem(result.layoutName, ".json")
                              : !request.daily.empty() ? "daily-" + request.daily
                                                       : std::to_string(click.seed);
    result.downloads.push_back({"image", downloadStem(imageName) + "-" + label + ".nes", "application/octet-stream",
                                std::move(rom.bytes())});
    return result;
}

Result<std::uint64_t> dailySeedOf(const std::string& date) {
    auto parsed = parseDate(date);
    if (!parsed) return parsed.error();
    return dailySeed(parsed.value());
}

std::string linkProblem(const std::string& revision) {
    auto number = parseRevision(revision);
    if (!number) return "this link names no generator revision (its r= is " + shownInMessage(revision) + ")";
    return revisionProblem(number.value(), "this link", pageName);
}

std::string linkFragment(std::uint64_t seed, bool track) {
    return "r=" + std::to_string(generatorRevision) + "&seed=" + std::to_string(seed) + (track ? "&track" : "");
}

std::string dailyLinkFragment(const std::string& date, bool track) {
    if (!parseDate(date)) return {};
    return "r=" + std::to_string(generatorRevision) + "&daily=" + date + (track ? "&track" : "");
}

LinkRead readLink(std::string_view fragment) {
    // No "#", or "#" alone: no link at all, and the page opens as it is.
    if (fragment.empty()) return {};
    LinkRead link;
    link.names = true;
    std::optional<std::string_view> revision;
    std::optional<std::string_view> seed;
    std::optional<std::string_view> daily;
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
        // A key given twice leaves the link's meaning to whichever one a
        // reader happens to take: the link is refused rather than guessed at.
        auto take = [&](std::optional<std::string_view>& slot) {
            if (slot && repeated.empty()) repeated = std::string(key);
            slot = value;
        };
        if (pair.empty()) {
            notRead("it has an \"&\" too many");
        } else if (key == "seed") {
            take(seed);
        } else if (key == "daily") {
            take(daily);
        } else if (key == "r") {
            take(revision);
        } else if (key == "track") {
            if (equals != std::string_view::npos) {
                notRead("track takes no value, not " + shownInMessage(pair, "part"));
            } else {
                if (link.track && repeated.empty()) repeated = "track";
                link.track = true;
            }
        } else {
            notRead(shownInMessage(key, "key") + " is none of the keys r, seed, daily and track");
        }
        if (end == std::string_view::npos) break;
        fragment.remove_prefix(end + 1);
    }
    if (daily) link.daily = std::string(*daily);
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
    } else if (seed && daily) {
        link.problem = "this link gives both a seed and a daily date, so it names no one labyrinth";
    } else if (!seed && !daily) {
        link.problem = "this link gives neither a seed nor a daily date, so it names no labyrinth";
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

Result<WriteResult> labyrinthToTrack(const WriteRequest& request) {
    WriteRequest blank{blankFile("(labyrinth to track)", format::blankImage()),
                       blankFile(format::textFileName, std::vector<std::uint8_t>(format::textSize, 0)), request.seed,
                       request.layout, request.daily};
    // Without a seed there is nothing to track: a random one would be a
    // labyrinth that no write of the player's holds.
    if (blank.seed.empty() && blank.layout.name.empty() && blank.layout.bytes.empty())
        return Error{"no seed was given: type the seed of the labyrinth to track"};
    return writeLabyrinth(blank);
}

Result<Download> patchOfWrite(const PatchRequest& request) {
    std::optional<std::uint64_t> seed;
    if (request.layoutName.empty()) {
        auto parsed = parseSeed(request.seed, pageName);
        if (!parsed) return parsed.error();
        seed = parsed.value();
    }
    // The date names the download, so it must be a day, and that seed's.
    if (!request.daily.empty()) {
        auto day = dailySeedOf(request.daily);
        if (!day) return day.error();
        if (seed != day.value())
            return Error{"the seed " + request.seed + " is not the daily labyrinth of " + request.daily};
    }
    MemoryFile original(nameOf(request.original, "image.nes"), request.original.bytes);
    MemoryFile written(nameOf(request.written, "written.nes"), request.written.bytes);
    auto before = snapshotImage(original, clickRegions());
    if (!before) return before.error();
    // The same BPS patch as `labyrinth-cli write --patch NAME.bps`.
    auto patch = makeWritePatch(PatchFormat::Bps, before.value(), written, seed, request.seedCode);
    if (!patch) return patch.error();
    const std::string label = !request.daily.empty() ? "daily-" + request.daily
                              : seed                 ? std::to_string(*seed)
                                                     : downloadStem(request.layoutName, ".json");
    return Download{"patch", downloadStem(original.name()) + "-" + label + ".bps", "application/octet-stream",
                    std::move(patch.value())};
}

Result<MapResult> mapOfImage(const InputFile& image) {
    const std::string name = nameOf(image, "image.nes");
    if (auto given = checkGivenImage(image, name); !given) return given.error();
    auto labyrinth = readLabyrinthOf(image, name);
    if (!labyrinth) return labyrinth.error();
    return MapResult{labyrinth.value().seedCode,
                     map::mapSvg(labyrinth.value().stream, labyrinth.value().seedCode, map::SvgForm::Compact)};
}

Result<RouteResult> routeOnMap(const InputFile& image, int area) {
    if (area < 0 || area >= areaCount)
        return Error{"there is no area " + std::to_string(area) + ": the areas are 0 to " + std::to_string(areaCount - 1)};
    const std::string name = nameOf(image, "image.nes");
    if (auto given = checkGivenImage(image, name); !given) return given.error();
    auto labyrinth = readLabyrinthOf(image, name);
    if (!labyrinth) return labyrinth.error();
    const DecodedStream& stream = labyrinth.value().stream;
    const auto goal = numberedRooms(stream)[static_cast<std::size_t>(area)];
    auto route = goal ? shortestRoute(stream, *goal) : std::nullopt;
    if (!route)
        return Error{name + ": area " + std::to_string(area) + " has no way from the start room to its numbered room"};
    // The middles of the rooms where the page's map draws them.
    const map::MapLayout layout = map::layOutMap(stream, labyrinth.value().seedCode, map::defaultScale);
    RouteResult result;
    for (const CellPosition& room : *route) {
        const auto drawn = std::find_if(layout.rooms.begin(), layout.rooms.end(),
                                        [&](const map::Room& r) { return r.x == room.x && r.y == room.y; });
        if (drawn == layout.rooms.end()) return Error{name + ": the route leaves the rooms of the map"};
        const map::Point middle = drawn->box.centre();
        char step[64];
        std::snprintf(step, sizeof step, "%s%.1f %.1f", result.path.empty() ? "M" : " L", middle.x, middle.y);
        result.path += step;
    }
    result.rooms = std::move(*route);
    return result;
}

Result<Download> spoilerOfImage(const InputFile& image) {
    const std::string name = nameOf(image, "image.nes");
    if (auto given = checkGivenImage(image, name); !given) return given.error();
    auto labyrinth = readLabyrinthOf(image, name);
    if (!labyrinth) return labyrinth.error();
    return spoilerOf(name, labyrinth.value());
}

Result<LookResult> lookAtImage(const InputFile& image, const std::string& seed) {
    const std::string name = nameOf(image, "image.nes");
    if (auto given = checkGivenImage(image, name); !given) return given.error();
    std::optional<std::uint64_t> expected;
    if (!seed.empty()) {
        auto parsed = parseSeed(seed);
        if (!parsed) return parsed.error();
        expected = parsed.value();
    }
    MemoryFile file(name, image.bytes);
    auto read = readLabyrinth(file);
    if (!read) return read.error();
    const ReadBack& labyrinth = read.value();

    LookResult result;
    result.seedCode = labyrinth.seedCode;
    result.mapSvg = map::mapSvg(labyrinth.stream, result.seedCode, map::SvgForm::Compact);
    auto problems = verifyImageFile(file, std::nullopt, nullptr);
    if (!problems) return problems.error();
    // With a seed, the one check that sees every byte: is it that seed's labyrinth?
    if (expected)
        for (Problem& problem : checkSeed(labyrinth.region, *expected)) problems.value().push_back(std::move(problem));
    for (const Problem& problem : problems.value()) result.problems.push_back(name + ": " + problem.message);
    result.downloads.push_back(spoilerOf(name, labyrinth));
    result.complete = result.problems.empty();
    result.verdict = verdictLine(name, result.problems.size());
    if (expected && result.complete) result.verdict += "; it is exactly the labyrinth of seed " + seed;
    return result;
}

Result<TrackResult> trackRun(const TrackRequest& request) {
    const std::string name = nameOf(request.image, "image.nes");
    if (auto given = checkGivenImage(request.image, name); !given) return given.error();
    auto read = readLabyrinthOf(request.image, name);
    if (!read) return read.error();
    const DecodedStream& stream = read.value().stream;

    // The start room is where every run begins, so it is always shown.
    ShownCells shown;
    shown.set(static_cast<std::size_t>(startY * mazeSize + startX));
    for (const std::string& text : request.revealed)
        if (const auto cell = cellOfKey(text)) shown.set(static_cast<std::size_t>(cell->y * mazeSize + cell->x));

    const map::MapLayout layout = map::layOutMap(stream, read.value().seedCode, trackerScale, shown);
    TrackResult result;
    result.seedCode = read.value().seedCode;
    result.mapSvg = map::mapSvg(layout, map::SvgForm::Growing);
    for (const map::Room& room : layout.rooms) {
        result.shown.push_back({room.x, room.y});
        if (room.kind == format::RecordKind::Item) result.items.push_back({room.x, room.y});
    }
    result.itemRooms = static_cast<int>(std::count_if(stream.cells.begin(), stream.cells.end(), [](const DecodedCell& cell) {
        return cell.kind == format::RecordKind::Item;
    }));
    const auto isShown = [&](const CellPosition& cell) {
        return std::find(result.shown.begin(), result.shown.end(), cell) != result.shown.end();
    };
    const auto here = cellOfKey(request.here);
    result.here = here && isShown(*here) ? *here : CellPosition{startX, startY};
    for (const map::Door& door : layout.doors) {
        const auto side = std::find_if(doorSides.begin(), doorSides.end(), [&](const Direction& d) { return d.bit == door.side; });
        const CellPosition from{door.x, door.y};
        const CellPosition to{door.x + side->dx, door.y + side->dy};
        // Doors into the fog, and the player's room's doors into shown rooms.
        if (!door.intoFog && !(from == result.here && isShown(to))) continue;
        const map::Point middle{(door.opening.from.x + door.opening.to.x) / 2, (door.opening.from.y + door.opening.to.y) / 2};
        std::string label = std::string(side->name) + " of " + positionText(from) + " to " + positionText(to);
        label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
        const bool link = std::any_of(layout.links.begin(), layout.links.end(), [&](const map::LinkBadge& badge) {
            return badge.to && ((badge.from == from && *badge.to == to) || (badge.from == to && *badge.to == from));
        });
        const RunDoor entry{from, to, side->name, std::move(label), link, door.intoFog, middle.x, middle.y};
        if (from == result.here) result.hereDoors.push_back(entry);
        if (door.intoFog) result.doors.push_back(entry);
    }
    return result;
}

Result<std::vector<CellPosition>> roomsOfAreas(const InputFile& image, const std::vector<int>& areas) {
    const std::string name = nameOf(image, "image.nes");
    if (auto given = checkGivenImage(image, name); !given) return given.error();
    auto read = readLabyrinthOf(image, name);
    if (!read) return read.error();
    AreaSelection wanted;
    for (const int area : areas)
        if (area >= 0 && area < areaCount) wanted.set(static_cast<std::size_t>(area));
    const ShownCells cells = cellsOfAreas(read.value().stream, wanted);
    std::vector<CellPosition> rooms;
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x)
            if (cells.test(static_cast<std::size_t>(y * mazeSize + x))) rooms.push_back({x, y});
    return rooms;
}

}  // namespace labyrinth::web
