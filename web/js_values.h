#pragma once
// Between JavaScript values and the requests' C++ ones, for the module's
// bindings: files as Uint8Arrays, strings, and answers that are plain
// objects, a failure one too ({ ok: false, message }), never an exception.

#include <emscripten/val.h>

#include <cstdint>
#include <string>
#include <vector>

#include "requests/files.h"
#include "writer/result.h"

namespace labyrinth::web {

/// A Uint8Array's bytes, copied into the module's memory in one step.
std::vector<std::uint8_t> bytesOf(const emscripten::val& array);
/// A fresh Uint8Array that owns a copy of `bytes`, so that it stays valid
/// whatever the module does with its memory afterwards.
emscripten::val arrayOf(const std::vector<std::uint8_t>& bytes);
/// Whether a value is an object (and not null).
bool isObject(const emscripten::val& value);
/// The file under `bytesKey` and its name; missing or of the wrong type, an
/// empty file without a name, which the requests report as not given.
requests::InputFile fileOf(const emscripten::val& request, const char* bytesKey, const char* nameKey);
/// The string under `key`; missing or of another type, "".
std::string stringOf(const emscripten::val& request, const char* key);
/// A long text, such as a map, as a JavaScript string: the browser's own
/// decoder takes it in several times faster than a std::string's binding.
emscripten::val textOf(const std::string& text);
/// The answer of an action that worked: { ok: true }, for its results to be added to.
emscripten::val success();
/// The answer of one that did not: { ok: false, message }.
emscripten::val failure(const Error& error);

}  // namespace labyrinth::web
