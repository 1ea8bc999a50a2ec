#include "layout_document.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "arguments/arguments.h"

namespace labyrinth {
namespace {

using json = nlohmann::ordered_json;

// Builds the document as the library's own parser does, and watches the way:
// where each value stands, which keys each object has had so far.
class StrictReader {
public:
    explicit StrictReader(LayoutDocument& document) : document_(document), dom_(document.json, false) {}

    bool null() { return value() && ended(dom_.null()); }
    bool boolean(bool v) { return value() && ended(dom_.boolean(v)); }
    bool number_integer(json::number_integer_t v) { return value() && ended(dom_.number_integer(v)); }
    bool number_unsigned(json::number_unsigned_t v) { return value() && ended(dom_.number_unsigned(v)); }
    bool number_float(json::number_float_t v, const std::string& text) {
        if (!value()) return false;
        document_.numberText[pointer()] = text;
        return ended(dom_.number_float(v, text));
    }
    bool string(std::string& v) { return value() && ended(dom_.string(v)); }
    bool binary(json::binary_t& v) { return value() && ended(dom_.binary(v)); }
    bool start_object(std::size_t size) {
        if (!value()) return false;
        frames_.push_back({});
        return dom_.start_object(size);
    }
    bool key(std::string& key) {
        Frame& frame = frames_.back();
        if (!frame.keys.insert(key).second) {
            duplicate_ = key;
            duplicateIn_ = pointer(frames_.size() - 1);
            return false;
        }
        frame.segment = key;
        return dom_.key(key);
    }
    bool end_object() {
        frames_.pop_back();
        return ended(dom_.end_object());
    }
    bool start_array(std::size_t size) {
        if (!value()) return false;
        Frame frame;
        frame.array = true;
        frames_.push_back(std::move(frame));
        return dom_.start_array(size);
    }
    bool end_array() {
        frames_.pop_back();
        return ended(dom_.end_array());
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) {
        // The position counts the bytes read, the one that did not fit included.
        stoppedAt_ = position > 0 ? position - 1 : 0;
        numberTooLarge_ = error.id == numberOverflow;
        return false;
    }

    /// The key that stood twice in one object, if one did.
    const std::optional<std::string>& duplicate() const { return duplicate_; }
    const std::string& duplicateIn() const { return duplicateIn_; }
    /// Where the text stopped being JSON: the byte that did not fit (the
    /// text's size when it ended too early).
    std::size_t stoppedAt() const { return stoppedAt_; }
    /// Whether the whole document had been read by then, so that what did
    /// not fit follows it.
    bool complete() const { return complete_; }
    /// Whether what did not fit is a number too large for any double.
    bool numberTooLarge() const { return numberTooLarge_; }

private:
    struct Frame {
        bool array = false;
        std::size_t next = 0;         // the index of an array's next element
        std::string segment;          // the key or index of the value being read
        std::set<std::string> keys;   // an object's keys so far
    };

    // The library's id of a number beyond the range of a double.
    static constexpr int numberOverflow = 406;

    // A value has ended; when it is the outermost, so is the document.
    bool ended(bool ok) {
        if (frames_.empty()) complete_ = true;
        return ok;
    }

    // A value begins: in an array, it takes the next index.
    bool value() {
        if (!frames_.empty() && frames_.back().array) frames_.back().segment = std::to_string(frames_.back().next++);
        return true;
    }

    // The JSON pointer of the value being read, through the first `depth` frames.
    std::string pointer(std::size_t depth) const {
        std::string path;
        for (std::size_t i = 0; i < depth; ++i) path += "/" + frames_[i].segment;
        return path;
    }
    std::string pointer() const { return pointer(frames_.size()); }

    LayoutDocument& document_;
    nlohmann::detail::json_sax_dom_parser<json> dom_;
    std::vector<Frame> frames_;
    std::optional<std::string> duplicate_;  // the empty key may stand twice too
    std::string duplicateIn_;
    std::size_t stoppedAt_ = 0;
    bool complete_ = false;
    bool numberTooLarge_ = false;
};

// Where an object stands, in the words of the layout's messages; the keys
// on the way are the file's, so they are shown printable, and a path of
// many of them or of long ones only measured.
std::string placeOf(const std::string& pointer) {
    constexpr std::size_t longestPath = 64;
    if (pointer.empty()) return "at the top of the document";
    const std::string rooms = "/rooms/";
    if (pointer.starts_with(rooms) && pointer.find('/', rooms.size()) == std::string::npos)
        return "in room " + pointer.substr(rooms.size());
    if (pointer.size() > longestPath) return "in a path of " + groupedNumber(pointer.size()) + " characters";
    return "in " + printable(pointer);
}

// A key as a message names it: quoted and printable, or only measured when long.
std::string keyInMessage(const std::string& key) {
    const std::string shown = shownInMessage(key, "key");
    return shown.starts_with('"') ? "the key " + shown : shown;
}

// How a message shows a piece of a faulty text: a few characters, enough to
// find the place, never a page.
constexpr std::size_t longestQuoted = 24;

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool isJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isStructural(char c) { return c == '{' || c == '}' || c == '[' || c == ']' || c == ':' || c == ','; }
bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Where the text begins after a byte order mark (which the reader skips).
std::size_t textStart(std::string_view text) { return text.starts_with(byteOrderMark) ? byteOrderMark.size() : 0; }

// The byte after the token that starts at `start`: a string runs to its
// closing quote, a structural character is one byte, and anything else (a
// number, a literal, a stray word) runs to the next space, structural
// character or quote.
std::size_t tokenEnd(std::string_view text, std::size_t start) {
    const char first = text[start];
    if (isStructural(first)) return start + 1;
    std::size_t i = start + 1;
    if (first == '"') {
        while (i < text.size() && text[i] != '"') i += text[i] == '\\' ? 2 : 1;
        return std::min(i + 1, text.size());
    }
    while (i < text.size() && !isJsonSpace(text[i]) && !isStructural(text[i]) && text[i] != '"') ++i;
    return i;
}

// Where the token begins that the reader was on when it stopped at byte
// `at`: the token that holds `at`, or the one that ends right there when
// `at` only ends a word (the "}" of "tru}") or the text (a string that
// never closes).
std::size_t tokenStartBefore(std::string_view text, std::size_t at) {
    std::size_t i = textStart(text);
    std::optional<std::size_t> previous;  // the start of the token that ends at `i`
    while (true) {
        const std::size_t spaceStart = i;
        while (i < at && isJsonSpace(text[i])) ++i;
        if (i >= at) {
            const bool joined = previous && i == spaceStart &&
                                (at == text.size() || (text[*previous] != '"' && !isStructural(text[*previous])));
            return joined ? *previous : at;
        }
        const std::size_t end = tokenEnd(text, i);
        if (end > at) return i;
        previous = i;
        i = end;
    }
}

// The byte after the character that starts at `at`: a whole UTF-8 sequence,
// so that a quote never ends in half a character.
std::size_t characterEnd(std::string_view text, std::size_t at) {
    if (at >= text.size()) return text.size();
    std::size_t end = at + 1;
    while (end < text.size() && end < at + 4 && isContinuation(text[end])) ++end;
    return end;
}

// Where byte `at` stands, as an editor counts: "line 3, column 12", both
// from 1, columns in characters.
std::string lineAndColumn(std::string_view text, std::size_t at) {
    const std::string_view before = text.substr(0, at);
    const std::size_t newline = before.rfind('\n');
    const std::size_t lineStart = newline == std::string_view::npos ? textStart(before) : newline + 1;
    const auto line = std::count(before.begin(), before.end(), '\n') + 1;
    const std::string_view columns = before.substr(lineStart);
    const auto column = std::count_if(columns.begin(), columns.end(), [](char c) { return !isContinuation(c); }) + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// What follows a document from byte `from` on, refused with its first few
// characters.
std::string followsDocument(std::string_view text, std::size_t from) {
    std::size_t to = std::min(text.size(), from + longestQuoted);
    while (to > from + 1 && to < text.size() && isContinuation(text[to])) --to;
    return lineAndColumn(text, from) + ": " + shownInMessage(text.substr(from, to - from)) +
           " follows the document; only whitespace may follow it";
}

// Why `text` is not a JSON document, after what `reader` saw: where it stops
// being one, and the text there, quoted.
std::string notJson(std::string_view text, const StrictReader& reader) {
    const std::size_t at = std::min(reader.stoppedAt(), text.size());
    if (at == text.size() && !reader.complete())
        return lineAndColumn(text, at) + ": the text ends before the document does";
    const std::size_t tokenStart = tokenStartBefore(text, at);
    if (reader.complete()) {
        std::size_t documentStart = textStart(text);
        while (documentStart < text.size() && isJsonSpace(text[documentStart])) ++documentStart;
        // Unless the document is one word and more is written onto it.
        if (tokenStart > documentStart) return followsDocument(text, tokenStart);
    }
    const std::size_t to = characterEnd(text, at);
    if (reader.numberTooLarge()) {
        // Quoted as written, as every number out of range is, unless it is long.
        const std::string_view number = text.substr(tokenStart, to - tokenStart);
        return lineAndColumn(text, tokenStart) + ": " +
               (number.size() <= longestQuoted ? "the number " + std::string(number)
                                               : "a number of " + groupedNumber(number.size()) + " characters") +
               " is too large";
    }
    // The token up to the byte that did not fit, or its last few characters;
    // a word whole ("nope", not "no") when it is short.
    std::size_t from = std::max(tokenStart, to > longestQuoted ? to - longestQuoted : 0);
    while (from < at && isContinuation(text[from])) ++from;
    std::size_t quoteEnd = to;
    if (tokenStart < text.size() && text[tokenStart] != '"' && !isStructural(text[tokenStart])) {
        quoteEnd = std::max(to, std::min(tokenEnd(text, tokenStart), from + longestQuoted));
        while (quoteEnd > to && quoteEnd < text.size() && isContinuation(text[quoteEnd])) --quoteEnd;
    }
    return lineAndColumn(text, from) + ": unexpected " + shownInMessage(text.substr(from, quoteEnd - from));
}

}  // namespace

std::string LayoutDocument::quoted(const std::string& pointer, const nlohmann::ordered_json& value) const {
    if (const auto text = numberText.find(pointer); text != numberText.end()) return text->second;
    return value.dump();
}

Result<LayoutDocument> readLayoutDocument(std::string_view text, const std::string& name) {
    LayoutDocument document;
    StrictReader reader(document);
    if (json::sax_parse(text, &reader)) {
        // The library takes a NUL byte for the end of the text; whatever
        // stands from there on follows the document all the same.
        if (const auto nul = text.find('\0'); nul != std::string_view::npos)
            return Error{name + ": " + followsDocument(text, nul)};
        return document;
    }
    if (reader.duplicate())
        return Error{name + ": " + keyInMessage(*reader.duplicate()) + " stands twice " + placeOf(reader.duplicateIn()) +
                     "; each key may stand once in an object"};
    return Error{name + ": " + notJson(text, reader)};
}

}  // namespace labyrinth
