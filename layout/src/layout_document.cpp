#include "layout_document.h"

#include <set>
#include <vector>

namespace labyrinth {
namespace {

using nlohmann::json;

// Builds the document as the library's own parser does, and watches the way:
// where each value stands, which keys each object has had so far.
class StrictReader {
public:
    explicit StrictReader(LayoutDocument& document) : document_(document), dom_(document.json, false) {}

    bool null() { return value() && dom_.null(); }
    bool boolean(bool v) { return value() && dom_.boolean(v); }
    bool number_integer(json::number_integer_t v) { return value() && dom_.number_integer(v); }
    bool number_unsigned(json::number_unsigned_t v) { return value() && dom_.number_unsigned(v); }
    bool number_float(json::number_float_t v, const std::string& text) {
        if (!value()) return false;
        document_.numberText[pointer()] = text;
        return dom_.number_float(v, text);
    }
    bool string(std::string& v) { return value() && dom_.string(v); }
    bool binary(json::binary_t& v) { return value() && dom_.binary(v); }
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
        return dom_.end_object();
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
        return dom_.end_array();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

    const std::string& duplicate() const { return duplicate_; }
    const std::string& duplicateIn() const { return duplicateIn_; }

private:
    struct Frame {
        bool array = false;
        std::size_t next = 0;         // the index of an array's next element
        std::string segment;          // the key or index of the value being read
        std::set<std::string> keys;   // an object's keys so far
    };

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
    std::string duplicate_;
    std::string duplicateIn_;
};

// Where an object stands, in the words of the layout's messages.
std::string placeOf(const std::string& pointer) {
    if (pointer.empty()) return "at the top of the document";
    const std::string rooms = "/rooms/";
    if (pointer.starts_with(rooms) && pointer.find('/', rooms.size()) == std::string::npos)
        return "in room " + pointer.substr(rooms.size());
    return "in " + pointer;
}

}  // namespace

std::string LayoutDocument::quoted(const std::string& pointer, const nlohmann::json& value) const {
    if (const auto text = numberText.find(pointer); text != numberText.end()) return text->second;
    return value.dump();
}

Result<LayoutDocument> readLayoutDocument(std::string_view text, const std::string& name) {
    LayoutDocument document;
    StrictReader reader(document);
    if (json::sax_parse(text, &reader)) return document;
    if (!reader.duplicate().empty())
        return Error{name + ": the key \"" + reader.duplicate() + "\" stands twice " + placeOf(reader.duplicateIn()) +
                     "; each key may stand once in an object"};
    return Error{name + ": is not a JSON document"};
}

}  // namespace labyrinth
