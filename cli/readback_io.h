#pragma once
// File handling shared by the commands that read a labyrinth back or write
// its picture and description: reading an image whole, and writing an output
// file without ever overwriting one of the command's inputs.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "writer/decoder.h"
#include "writer/result.h"

namespace labyrinth::cli {

/// Reads a whole image and checks that it is one the writer can have written
/// to: the NES magic and room for the stream and the text block.
Result<std::vector<std::uint8_t>> readImage(const std::string& path);

/// Fails when `output` names the same file as one of `others`, the files the
/// command reads or writes (so that a slip such as `--png game.nes` cannot
/// destroy the image).
Status checkOutputPath(const std::string& output, const std::vector<std::string>& others);

/// Writes `bytes` to `path`, replacing it, through a temporary file that is
/// renamed into place.
Status writeOutput(const std::string& path, std::span<const std::uint8_t> bytes);

/// The picture of a decoded labyrinth as PNG bytes (needs no display).
Result<std::vector<std::uint8_t>> mapPng(const DecodedStream& stream, const std::string& seedCode, int scale);

}  // namespace labyrinth::cli
