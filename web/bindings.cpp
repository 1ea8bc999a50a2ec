// The module's face to the page: each action takes one plain object and
// returns one. A failure is a value, { ok: false, message }, never an
// exception, so the page can always show what went wrong.
//
//   writeLabyrinth({ image, imageName, text, textName, seed, daily, layout, layoutName })
//     -> { ok: true, seed, seedCode, attempts, generations, layoutName, downloads }
//        (with daily, "YYYY-MM-DD", that day's labyrinth, its image named NAME-daily-DATE.nes)
//        (with a layout, the labyrinth it describes, and no seed)
//   patchOfWrite({ image, imageName, written, seed, seedCode, layoutName, daily })
//     -> { ok: true, downloads }   (the BPS patch from image to written)
//   lookAtImage({ image, imageName, seed })   (seed: "" or the seed it should hold)
//     -> { ok: true, seedCode, map, complete, verdict, problems: [...], downloads }
//   mapOfImage({ image, imageName }) -> { ok: true, seedCode, map }
//   routeOnMap({ image, imageName, area }) -> { ok: true, rooms: ["x,y", ...], path, through }   (start to the
//        area's numbered room, as in the spoiler; path: SVG path data on mapOfImage's map)
//   spoilerOfImage({ image, imageName }) -> { ok: true, downloads }  (the spoiler JSON)
//   labyrinthToTrack({ seed } or { layout, layoutName })
//     -> { ok: true, seed, seedCode, layoutName, image }   (no files needed: a
//        blank image in memory that holds the labyrinth a write would)
//   refuseLargeFile(name, size), refuseLargeLayout(name, size) -> "" or the message
//   kindOfFile(name, firstBytes) -> "image", "text" or "unknown"
//   unusedFileMessage(name) -> why a file of kind "unknown" fits no slot
//   seedProblem(seed) -> "" or the message (an empty seed is a random one)
//   seedLine(seed, seedCode) -> "Seed: N  Code: w w w w", as every front end tells a write
//   seedCodeLine(seedCode) -> "Seed code: w w w w", as show and verify tell a labyrinth
//   dailySeed("YYYY-MM-DD") -> { ok: true, seed }   (the daily labyrinth of that day)
//   linkProblem(revision) -> "" or why a link of that generator revision is refused
//   linkFragment(seed, track) -> "r=1&seed=N" (and "&track"): the address after "#"
//   dailyLinkFragment(date, track) -> "r=1&daily=YYYY-MM-DD" (and "&track"), "" for a date that is no day
//   codeLinkFragment(code, track) -> "r=1&code=w-w-w-w" (and "&track"): a sealed race's labyrinth, by its seed code
//   readLink(fragment) -> { names, seed, daily, code, lab, run, track, broadcast, width, height, background,
//                            problem }   (broadcast: view=broadcast, with size=N|WxH and bg=RRGGBB)   (what an address after "#" asks for)
//   about() -> { version, revision, statusCreating, statusFailed, statusDone, saveCaption,
//                fileKindBytes, textBytesRead, areaCount, start: "x,y", textFileName, trackerScale }
//
// Files are Uint8Arrays; seeds are decimal strings (64 bits do not fit in a
// JavaScript number); `map` is the SVG document. `downloads` lists the files
// to offer, each { kind, name, type, bytes }: the written image after a
// write, its BPS patch, the spoiler JSON after a look.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include "arguments/arguments.h"
#include "labyrinth/generator.h"
#include "labyrinth/version.h"
#include "requests/files.h"
#include "requests/links.h"
#include "requests/look.h"
#include "requests/memory_write.h"
#include "requests/track.h"
#include "writer/driver.h"
#include "writer/seed_code.h"
#include "js_values.h"

namespace labyrinth::web {
namespace {

using emscripten::val;
using namespace labyrinth::requests;

// A JavaScript array of `items`, each turned into a value by `toJs`.
template <class Items, class ToJs>
val listOf(const Items& items, ToJs toJs) {
    val out = val::array();
    for (const auto& item : items) out.call<void>("push", toJs(item));
    return out;
}

val downloadsOf(const std::vector<Download>& downloads) {
    return listOf(downloads, [](const Download& d) {
        val entry = val::object();
        entry.set("kind", d.kind);
        entry.set("name", d.name);
        entry.set("type", d.type);
        entry.set("bytes", arrayOf(d.bytes));
        return entry;
    });
}

val writeLabyrinthJs(const val& request) {
    const MemoryWrite input{fileOf(request, "image", "imageName"), fileOf(request, "text", "textName"),
                            stringOf(request, "seed"), fileOf(request, "layout", "layoutName"), stringOf(request, "daily")};
    const auto written = writeCopy(input);
    if (!written) return failure(written.error());
    const WriteResult& r = written.value();
    val out = success();
    out.set("seed", std::to_string(r.seed));
    out.set("seedCode", r.seedCode);
    out.set("attempts", r.attempts);
    out.set("generations", r.generations);
    out.set("layoutName", r.layoutName);
    out.set("downloads", downloadsOf(r.downloads));
    return out;
}

val patchOfWriteJs(const val& request) {
    PatchRequest input{fileOf(request, "image", "imageName"), fileOf(request, "written", "imageName"), {}, {}, {}, {}};
    input.seed = stringOf(request, "seed");
    input.seedCode = stringOf(request, "seedCode");
    input.layoutName = stringOf(request, "layoutName");
    input.daily = stringOf(request, "daily");
    auto patch = patchOfWrite(input);
    if (!patch) return failure(patch.error());
    val out = success();
    out.set("downloads", downloadsOf({std::move(patch.value())}));
    return out;
}

val lookAtImageJs(const val& request) {
    const auto looked = lookAtImage(fileOf(request, "image", "imageName"), stringOf(request, "seed"));
    if (!looked) return failure(looked.error());
    const LookResult& r = looked.value();
    val out = success();
    out.set("seedCode", r.seedCode);
    out.set("map", textOf(r.mapSvg));
    out.set("complete", r.complete);
    out.set("verdict", r.verdict);
    out.set("problems", listOf(r.problems, [](const std::string& problem) { return val(problem); }));
    out.set("downloads", downloadsOf(r.downloads));
    return out;
}

val mapOfImageJs(const val& request) {
    const auto mapped = mapOfImage(fileOf(request, "image", "imageName"));
    if (!mapped) return failure(mapped.error());
    val out = success();
    out.set("seedCode", mapped.value().seedCode);
    out.set("map", textOf(mapped.value().mapSvg));
    return out;
}

val spoilerOfImageJs(const val& request) {
    auto spoiler = spoilerOfImage(fileOf(request, "image", "imageName"));
    if (!spoiler) return failure(spoiler.error());
    val out = success();
    out.set("downloads", downloadsOf({std::move(spoiler.value())}));
    return out;
}

val cellsOf(const std::vector<CellPosition>& cells) {
    return listOf(cells, [](const CellPosition& cell) { return val(cellKey(cell)); });
}

val routeOnMapJs(const val& request) {
    const auto route = routeOnMap(fileOf(request, "image", "imageName"), request["area"].as<int>());
    if (!route) return failure(route.error());
    val out = success();
    out.set("rooms", cellsOf(route.value().rooms));
    out.set("path", route.value().path);
    out.set("through", route.value().through);
    return out;
}

val labyrinthToTrackJs(const val& request) {
    const auto made = labyrinthToTrack({{}, {}, stringOf(request, "seed"), fileOf(request, "layout", "layoutName"), {}});
    if (!made) return failure(made.error());
    const WriteResult& r = made.value();
    val out = success();
    out.set("seed", r.layoutName.empty() ? std::to_string(r.seed) : std::string());
    out.set("seedCode", r.seedCode);
    out.set("layoutName", r.layoutName);
    out.set("image", arrayOf(r.downloads.front().bytes));
    return out;
}

// The link of a seed given in decimal; nothing for anything else.
std::string linkFragmentJs(const std::string& seed, bool track) {
    auto parsed = parseSeed(seed);
    return parsed ? linkFragment(parsed.value(), track) : std::string();
}

std::string dailyLinkFragmentJs(const std::string& date, bool track) { return dailyLinkFragment(date, track); }
std::string codeLinkFragmentJs(const std::string& code, bool track) { return codeLinkFragment(code, track); }

val readLinkJs(const std::string& fragment) {
    const LinkRead link = readLink(fragment);
    val out = val::object();
    out.set("names", link.names);
    out.set("seed", link.seed);
    out.set("daily", link.daily);
    out.set("code", link.code);
    out.set("run", link.run);
    out.set("lab", link.labyrinth);
    out.set("broadcast", link.broadcast);
    out.set("width", link.width);
    out.set("height", link.height);
    out.set("background", link.background);
    out.set("track", link.track);
    out.set("problem", link.problem);
    return out;
}

val dailySeedJs(const std::string& date) {
    auto seed = dailySeedOf(date);
    if (!seed) return failure(seed.error());
    val out = success();
    out.set("seed", std::to_string(seed.value()));
    return out;
}

std::string seedLineJs(const std::string& seed, const std::string& code) {
    auto parsed = parseSeed(seed);
    return parsed ? seedLine(parsed.value(), code) : std::string();
}

std::string seedCodeLineJs(const std::string& code) { return seedCodeLine(code); }

std::string refuseLargeFileJs(const std::string& name, double size) { return refuseLargeFile(name, size); }
std::string refuseLargeLayoutJs(const std::string& name, double size) { return refuseLargeLayout(name, size); }

std::string kindOfFileJs(const std::string& name, const val& head) {
    const std::vector<std::uint8_t> bytes =
        head.instanceof(val::global("Uint8Array")) ? bytesOf(head) : std::vector<std::uint8_t>{};
    switch (kindOfFile(name, bytes)) {
    case FileKind::Image: return "image";
    case FileKind::Text: return "text";
    case FileKind::Unknown: break;
    }
    return "unknown";
}

// The facts the page shows or needs, each written once in the core: the
// program's version, the generator's revision, the status texts, how much
// of a file the page reads, and the name of the text file.
val about() {
    val out = val::object();
    out.set("version", std::string(versionText));
    out.set("revision", generatorRevision);
    out.set("statusCreating", std::string(statusCreating));
    out.set("statusFailed", std::string(statusFailed));
    out.set("statusDone", std::string(statusDone));
    out.set("fileKindBytes", static_cast<double>(fileKindBytes));
    out.set("textBytesRead", static_cast<double>(textBytesRead));
    out.set("areaCount", areaCount);
    out.set("start", cellKey({startX, startY}));
    out.set("textFileName", std::string(format::textFileName));
    out.set("saveCaption", std::string(saveCaption));
    out.set("trackerScale", trackerScale);
    return out;
}

}  // namespace
}  // namespace labyrinth::web

EMSCRIPTEN_BINDINGS(labyrinth_page) {
    emscripten::function("writeLabyrinth", &labyrinth::web::writeLabyrinthJs);
    emscripten::function("patchOfWrite", &labyrinth::web::patchOfWriteJs);
    emscripten::function("lookAtImage", &labyrinth::web::lookAtImageJs);
    emscripten::function("mapOfImage", &labyrinth::web::mapOfImageJs);
    emscripten::function("routeOnMap", &labyrinth::web::routeOnMapJs);
    emscripten::function("spoilerOfImage", &labyrinth::web::spoilerOfImageJs);
    emscripten::function("refuseLargeFile", &labyrinth::web::refuseLargeFileJs);
    emscripten::function("refuseLargeLayout", &labyrinth::web::refuseLargeLayoutJs);
    emscripten::function("unusedFileMessage", &labyrinth::web::unusedFileMessage);
    emscripten::function("labyrinthToTrack", &labyrinth::web::labyrinthToTrackJs);
    emscripten::function("linkFragment", &labyrinth::web::linkFragmentJs);
    emscripten::function("dailyLinkFragment", &labyrinth::web::dailyLinkFragmentJs);
    emscripten::function("readLink", &labyrinth::web::readLinkJs);
    emscripten::function("codeLinkFragment", &labyrinth::web::codeLinkFragmentJs);
    emscripten::function("kindOfFile", &labyrinth::web::kindOfFileJs);
    emscripten::function("seedProblem", &labyrinth::web::seedProblem);
    emscripten::function("seedLine", &labyrinth::web::seedLineJs);
    emscripten::function("seedCodeLine", &labyrinth::web::seedCodeLineJs);
    emscripten::function("dailySeed", &labyrinth::web::dailySeedJs);
    emscripten::function("linkProblem", &labyrinth::web::linkProblem);
    emscripten::function("about", &labyrinth::web::about);
}
