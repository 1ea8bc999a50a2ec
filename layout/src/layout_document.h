#pragma once
// A layout file read as JSON, strictly: a key written twice in one object is
// refused (layouts are edited by hand, and the second of two keys silently
// winning is an editing slip), and each number keeps the text it was written
// with, so that a message quotes it as the player wrote it.

#include <map>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "writer/result.h"

namespace labyrinth {

struct LayoutDocument {
    nlohmann::ordered_json json;
    /// The text of each number that the JSON value does not give back as
    /// written (a fraction, or a whole number beyond 64 bits), by its JSON
    /// pointer, such as "/rooms/3/x".
    std::map<std::string, std::string> numberText;

    /// How a message quotes the number at `pointer`: as it was written.
    std::string quoted(const std::string& pointer, const nlohmann::ordered_json& value) const;
};

/// Reads `text`; fails, naming `name`, on a key that stands twice in one
/// object (naming the key and where) and on what is not JSON: then the line
/// and column (from 1, columns in characters) where it stops being JSON and
/// the text there, quoted short and printable; a number beyond any double,
/// or anything but whitespace after the document (a NUL byte included).
Result<LayoutDocument> readLayoutDocument(std::string_view text, const std::string& name);

}  // namespace labyrinth
