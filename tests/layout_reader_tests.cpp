// A labyrinth read from its description: the description of every written
// labyrinth reads back as the very records that were written, and what is
// not a description is refused with the place named.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include <nlohmann/json.hpp>

#include "layout/labyrinth_json.h"
#include "layout/layout_reader.h"
#include "readback_support.h"
#include "writer/encoder.h"
#include "writer/seed_code.h"
#include "writer/verify.h"

namespace labyrinth {
namespace {

TEST(LayoutReader, EveryWrittenLabyrinthsDescriptionGivesItsRecordsAgain) {
    for (std::uint64_t seed = 1; seed <= 50; ++seed) {
        const auto written = testing::writtenImage(seed);
        const auto decoded = decodeStream(written.image);
        ASSERT_TRUE(decoded.ok()) << "seed " << seed;
        const auto document = labyrinthJson(decoded.value(), seedCode(written.click.stream));
        const std::string description = documentText(document);
        // What the size limit's message says of spoilers holds for them, even
        // as written before, with a key to a line, and so does the width.
        EXPECT_LT(static_cast<std::int64_t>(document.dump(2).size()) + 1, largestSpoilerSize) << "seed " << seed;
        EXPECT_EQ(nlohmann::ordered_json::parse(description), document) << "seed " << seed;
        std::istringstream lines(description);
        for (std::string line; std::getline(lines, line);) ASSERT_LE(line.size(), 160U) << "seed " << seed << ": " << line;
        const auto cells = readLayout(description, "spoiler.json");
        ASSERT_TRUE(cells.ok()) << "seed " << seed << ": " << cells.error().message;
        EXPECT_TRUE(verifyStream(cells.value()).empty()) << "seed " << seed;
        const auto stream = encodeCells(cells.value());
        ASSERT_TRUE(stream.ok()) << "seed " << seed << ": " << stream.error().message;
        EXPECT_EQ(stream.value(), written.click.stream) << "seed " << seed;
    }
}

TEST(LayoutReader, WhatIsNoDescriptionIsRefusedWithThePlaceNamed) {
    const auto written = testing::writtenImage(3);
    const auto decoded = decodeStream(written.image);
    ASSERT_TRUE(decoded.ok());
    const nlohmann::json good = nlohmann::json::parse(labyrinthJson(decoded.value(), "a b c d").dump());
    const struct {
        const char* what;
        std::function<void(nlohmann::json&)> change;
        const char* says;
    } rows[] = {
        {"no rooms", [](nlohmann::json& d) { d.erase("rooms"); }, "spoiler.json: it has no list of \"rooms\""},
        {"a cell beyond the grid", [](nlohmann::json& d) { d["rooms"][0]["x"] = 24; }, "room 0: \"x\" is 24; it must be 0 to 23"},
        {"a cell twice", [](nlohmann::json& d) { d["rooms"][1]["x"] = d["rooms"][0]["x"]; d["rooms"][1]["y"] = d["rooms"][0]["y"]; },
         "room 1 at"},
        {"an unknown record", [](nlohmann::json& d) { d["rooms"][2]["record"] = "treasure"; }, "has the record \"treasure\""},
        {"a record named across two lines", [](nlohmann::json& d) { d["rooms"][2]["record"] = "trea\nsure"; },
         "has the record \"trea\\nsure\"; it must be"},
        {"doors beyond a mask", [](nlohmann::json& d) { d["rooms"][2]["doors"] = 16; }, "\"doors\" is 16; it must be 0 to 15"},
        {"an area beyond a nibble in a packed record", [](nlohmann::json& d) {
             for (auto& room : d["rooms"]) if (room["record"] == "tag") { room["area"] = 16; break; } },
         "\"area\" is 16; it must be 0 to 15"},
        {"a value that is no whole number", [](nlohmann::json& d) {
             for (auto& room : d["rooms"]) if (room["record"] == "plain") { room["random"] = "x"; break; } },
         "has no whole number \"random\""},
        // Numbers are quoted as given, never as what they wrap to.
        {"a cell past the signed 64 bits", [](nlohmann::json& d) { d["rooms"][0]["x"] = 9223372036854775813ULL; },
         "\"x\" is 9223372036854775813; it must be 0 to 23"},
        {"the largest 64-bit number", [](nlohmann::json& d) {
             for (auto& room : d["rooms"]) if (room["record"] == "plain") { room["random"] = 18446744073709551615ULL; break; } },
         "\"random\" is 18446744073709551615; it must be 0 to 255"},
        {"a negative door mask", [](nlohmann::json& d) { d["rooms"][2]["doors"] = -3; }, "\"doors\" is -3; it must be 0 to 15"},
        {"a fraction", [](nlohmann::json& d) { d["rooms"][0]["y"] = 2.5; }, "\"y\" is 2.5; it must be a whole number, 0 to 23"},
    };
    for (const auto& row : rows) {
        nlohmann::json document = good;
        row.change(document);
        const auto cells = readLayout(document.dump(), "spoiler.json");
        ASSERT_FALSE(cells.ok()) << row.what;
        EXPECT_NE(cells.error().message.find(row.says), std::string::npos) << row.what << ": " << cells.error().message;
    }
    EXPECT_FALSE(readLayout("not json", "spoiler.json").ok());

    // A record that gives the area a byte of its own takes any byte there
    // (whether it names an area is verify's to say).
    nlohmann::json wide = good;
    for (auto& room : wide["rooms"])
        if (room["record"] == "plain") room["area"] = 200;
    const auto wideCells = readLayout(wide.dump(), "spoiler.json");
    ASSERT_TRUE(wideCells.ok()) << wideCells.error().message;
    EXPECT_EQ(std::count_if(wideCells.value().cells.begin(), wideCells.value().cells.end(),
                            [](const DecodedCell& c) { return c.area == 200; }),
              good["summary"]["plain"].get<long>());

    // What only the text shows: numbers beyond 64 bits as written, a key
    // that stands twice (the second would silently win), and what is no JSON
    // at all, with its line and column and the text there.
    const std::string text = good.dump();
    const auto firstX = text.find("\"x\":", text.find("\"rooms\":["));
    const auto firstY = text.find("\"y\":", firstX);
    const auto column = [](std::size_t index) { return "line 1, column " + std::to_string(index + 1) + ": "; };
    const struct {
        const char* what;
        std::string document;
        std::string says;
    } texts[] = {
        {"a number beyond 64 bits", text.substr(0, firstX) + "\"x\":123456789012345678901234567890," + text.substr(firstY),
         "room 0: \"x\" is 123456789012345678901234567890; it must be a whole number, 0 to 23"},
        {"an exponent", text.substr(0, firstX) + "\"x\":1E2," + text.substr(firstY),
         "room 0: \"x\" is 1E2; it must be a whole number, 0 to 23"},
        {"a key twice in a room", text.substr(0, firstX) + "\"x\":5,\"x\":6," + text.substr(firstY),
         "spoiler.json: the key \"x\" stands twice in room 0"},
        {"the rooms twice", "{\"rooms\":[]," + text.substr(1), "the key \"rooms\" stands twice at the top of the document"},
        {"the empty key twice", "{\"\":1,\"\":2}", "spoiler.json: the key \"\" stands twice at the top of the document"},
        {"a key twice with control characters in it and its path", "{\"x\\u001b\":{\"k\\n\":1,\"k\\n\":2}}",
         "spoiler.json: the key \"k\\n\" stands twice in /x\\x1B; each key"},
        {"larger than any description", std::string(static_cast<std::size_t>(maxLayoutSize) + 1, ' '),
         "spoiler.json: is 4,194,305 bytes; a labyrinth's description is at most 4,194,304 (a spoiler is under " +
             std::to_string(largestSpoilerSize / 1000) + " KB)"},
        {"a word that is no JSON", "{\n  \"rooms\": [\n    {\"x\": tru}\n  ]\n}",
         "spoiler.json: line 3, column 11: unexpected \"tru}\""},
        {"a key without its quotes", "{\n  seedCode: \"a b c d\"\n}", "spoiler.json: line 2, column 3: unexpected \"seedCode\""},
        {"a tab in a string", "{\"rooms\":[\"a\tb\"]}", "spoiler.json: line 1, column 11: unexpected \"\"a\\t\""},
        {"a number beyond any double", text.substr(0, firstX) + "\"x\":1E400," + text.substr(firstY),
         "spoiler.json: " + column(firstX + 4) + "the number 1E400 is too large"},
        {"a NUL byte and more after the document", text + std::string(1, '\0') + "{\"rooms\":[]}",
         "spoiler.json: " + column(text.size()) + "\"\\x00{\"rooms\":[]}\" follows the document; only whitespace may"},
        {"a word after the document and blank lines", text + "\n\n  x", "spoiler.json: line 3, column 3: \"x\" follows the document"},
        {"a document cut short", text.substr(0, firstY), "spoiler.json: " + column(firstY) + "the text ends before the document does"},
    };
    for (const auto& row : texts) {
        const auto cells = readLayout(row.document, "spoiler.json");
        if (cells.ok()) {
            ADD_FAILURE() << row.what << ": taken";
            continue;
        }
        EXPECT_NE(cells.error().message.find(row.says), std::string::npos) << row.what << ": " << cells.error().message;
    }

    // A link number that its record cannot carry is refused when encoded.
    auto cells = readLayout(good.dump(), "spoiler.json").value();
    for (DecodedCell& c : cells.cells)
        if (c.kind == format::RecordKind::AreaMark) c.areaMark = 11;
    ASSERT_FALSE(encodeCells(cells).ok());
    EXPECT_NE(encodeCells(cells).error().message.find("area-mark record cannot carry"), std::string::npos);
}

}  // namespace
}  // namespace labyrinth
