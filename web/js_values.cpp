#include "js_values.h"

namespace labyrinth::web {

using emscripten::val;

std::vector<std::uint8_t> bytesOf(const val& array) {
    std::vector<std::uint8_t> bytes(array["length"].as<std::size_t>());
    val(emscripten::typed_memory_view(bytes.size(), bytes.data())).call<void>("set", array);
    return bytes;
}

val arrayOf(const std::vector<std::uint8_t>& bytes) {
    return val::global("Uint8Array").new_(emscripten::typed_memory_view(bytes.size(), bytes.data()));
}

bool isObject(const val& value) { return value.typeOf().as<std::string>() == "object" && !value.isNull(); }

requests::InputFile fileOf(const val& request, const char* bytesKey, const char* nameKey) {
    requests::InputFile file;
    if (!isObject(request)) return file;
    const val bytes = request[bytesKey];
    if (!bytes.instanceof(val::global("Uint8Array"))) return file;
    const val name = request[nameKey];
    file.name = name.isString() ? name.as<std::string>() : std::string();
    file.bytes = bytesOf(bytes);
    return file;
}

std::string stringOf(const val& request, const char* key) {
    return isObject(request) && request[key].isString() ? request[key].as<std::string>() : std::string();
}

val textOf(const std::string& text) {
    static const val decoder = val::global("TextDecoder").new_();
    return decoder.call<val>("decode", emscripten::typed_memory_view(text.size(), text.data()));
}

val success() {
    val out = val::object();
    out.set("ok", true);
    return out;
}

val failure(const Error& error) {
    val out = val::object();
    out.set("ok", false);
    out.set("message", error.message);
    return out;
}

}  // namespace labyrinth::web
