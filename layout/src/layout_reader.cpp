#include "layout/layout_reader.h"

#include <array>
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

#include "arguments/arguments.h"
#include "layout_document.h"
#include "room_keys.h"
#include "writer/readback.h"
#include "writer/verify.h"

namespace labyrinth {
namespace {

using format::RecordKind;
using json = nlohmann::ordered_json;

constexpr std::array<RecordKind, 8> roomKinds{RecordKind::Start,  RecordKind::Link,     RecordKind::AreaMark,
                                              RecordKind::Item,   RecordKind::DeadEnd,  RecordKind::Sequence,
                                              RecordKind::Tag,    RecordKind::Plain};

std::optional<RecordKind> kindNamed(const std::string& name) {
    for (const RecordKind kind : roomKinds)
        if (name == recordKindName(kind)) return kind;
    return std::nullopt;
}

std::string kindNames() {
    std::string names;
    for (const RecordKind kind : roomKinds) names += std::string(names.empty() ? "" : ", ") + recordKindName(kind);
    return names;
}

// Reads the rooms of a document, one field at a time, and says where the
// first thing that does not fit is.
class Reader {
public:
    Reader(const std::string& name, const LayoutDocument& source) : name_(name), source_(source) {}

    Result<DecodedStream> run(const json& document) {
        if (!document.is_object() || !document.contains("rooms") || !document["rooms"].is_array())
            return fail("it has no list of \"rooms\"; it is not a labyrinth as show --json describes one");
        DecodedStream cells;
        std::array<bool, format::recordCount> taken{};
        std::size_t index = 0;
        for (const json& room : document["rooms"]) {
            pointer_ = "/rooms/" + std::to_string(index);
            where_ = "room " + std::to_string(index++);
            if (!room.is_object()) return fail("is not an object");
            auto x = whole(room, room_keys::x, 0, mazeSize - 1);
            auto y = whole(room, room_keys::y, 0, mazeSize - 1);
            if (!x || !y) return error_;
            where_ += " at (" + std::to_string(*x) + ", " + std::to_string(*y) + ")";
            const auto cell = static_cast<std::size_t>(*y * mazeSize + *x);
            if (taken[cell]) return fail("describes a cell that an earlier room already took");
            taken[cell] = true;
            auto read = readRoom(room);
            if (!read) return read.error();
            cells.cells[cell] = read.value();
        }
        // Each record where it will be written, so that problems point there.
        std::int64_t offset = format::roomDataPos;
        for (DecodedCell& c : cells.cells) {
            c.offset = offset;
            offset += format::layoutOf(c.kind).length;
        }
        cells.end = offset;
        return cells;
    }

private:
    Result<DecodedCell> readRoom(const json& room) {
        const char* record = room_keys::record;
        if (!room.contains(record) || !room[record].is_string())
            return fail("has no \"" + std::string(record) + "\" (one of " + kindNames() + ")");
        const auto kind = kindNamed(room[record].get<std::string>());
        if (!kind)
            return fail("has the " + std::string(record) + " " + shownInMessage(room[record].get<std::string>(), "name") +
                        "; it must be one of " + kindNames());
        DecodedCell c = cellOfKind(*kind);
        // An area travels in a nibble of the records that pack it, in a byte of the others.
        auto area = whole(room, room_keys::area, 0, format::areaInNibble(c.kind) ? static_cast<int>(format::nibbleValues) - 1 : 255);
        auto doors = whole(room, room_keys::doors, 0, 15);
        if (!area || !doors) return error_;
        c.area = static_cast<std::uint8_t>(*area);
        c.doors = static_cast<std::uint8_t>(*doors);
        for (const room_keys::RecordValue& value : room_keys::recordValues)
            if (value.kind == c.kind && !take(room, value.key, 0, value.highest, c.*value.member)) return error_;
        return c;
    }

    // The whole number under `key`, from `low` to `high`; empty (with the
    // error kept) when it is missing or out of range.
    // A number that is no whole number (a fraction, or one beyond 64 bits)
    // is out of range too; every message quotes the number as written.
    std::optional<int> whole(const json& room, const char* key, int low, int high) {
        const auto found = room.find(key);
        if (found == room.end() || !found->is_number()) {
            error_ = Error{name_ + ": " + where_ + " has no whole number \"" + key + "\""};
            return std::nullopt;
        }
        std::optional<long long> value;
        if (found->is_number_unsigned()) {
            const auto u = found->get<std::uint64_t>();
            if (u <= static_cast<std::uint64_t>(high)) value = static_cast<long long>(u);
        } else if (found->is_number_integer()) {
            value = found->get<long long>();
        }
        if (!value || *value < low || *value > high) {
            error_ = Error{name_ + ": " + where_ + ": \"" + key + "\" is " +
                           source_.quoted(pointer_ + "/" + key, *found) + "; it must be " +
                           (found->is_number_integer() ? "" : "a whole number, ") + std::to_string(low) + " to " +
                           std::to_string(high)};
            return std::nullopt;
        }
        return static_cast<int>(*value);
    }

    bool take(const json& room, const char* key, int low, int high, int& target) {
        auto value = whole(room, key, low, high);
        if (value) target = *value;
        return value.has_value();
    }

    Error fail(const std::string& what) {
        error_ = Error{name_ + ": " + (where_.empty() ? what : where_ + " " + what)};
        return error_;
    }

    const std::string& name_;
    const LayoutDocument& source_;  // the numbers as written
    std::string where_;
    std::string pointer_;           // the room being read, as a JSON pointer
    Error error_;
};

}  // namespace

std::string refuseLargeLayout(const std::string& name, std::uint64_t size) {
    if (size <= static_cast<std::uint64_t>(maxLayoutSize)) return {};
    return name + ": is " + groupedNumber(size) + " bytes; a labyrinth's description is at most " +
           groupedNumber(static_cast<std::uint64_t>(maxLayoutSize)) + " (a spoiler is under " +
           std::to_string(largestSpoilerSize / 1000) + " KB)";
}

Result<DecodedStream> readLayout(std::string_view text, const std::string& name) {
    if (std::string tooLarge = refuseLargeLayout(name, text.size()); !tooLarge.empty()) return Error{tooLarge};
    auto document = readLayoutDocument(text, name);
    if (!document) return document.error();
    return Reader(name, document.value()).run(document.value().json);
}

CheckedLayout checkLayout(std::string_view text, const std::string& name) {
    CheckedLayout checked;
    auto cells = readLayout(text, name);
    if (!cells) {
        checked.refusal = cells.error().message;
        return checked;
    }
    for (const Problem& problem : verifyStream(cells.value())) checked.problems.push_back(problem.message);
    if (checked.problems.empty()) {
        checked.cells = std::move(cells.value());
        return checked;
    }
    const auto count = checked.problems.size();
    checked.refusal = name + ": " + std::to_string(count) + (count == 1 ? " problem" : " problems") +
                      " in the labyrinth it describes";
    return checked;
}

}  // namespace labyrinth
