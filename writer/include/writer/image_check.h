#pragma once
// Whether the two files can take a labyrinth: the image and the text file,
// as the writer, the read-back and verify each check them before they read
// or write anything. Worded to follow the file's name.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "writer/image_file.h"
#include "writer/result.h"

namespace labyrinth {

/// Checks that an image can take a labyrinth: the NES magic, no trainer
/// (the labyrinth's offsets assume an image without one), and room for the
/// stream and the text block. Asked of the open file, so a file that changed
/// since it was opened is caught too. The one check of an image, whichever
/// front end reports it.
Status checkImage(RandomAccessFile& image);
/// Why an image of `size` bytes that starts with `header` (at least its
/// first `format::headerFlagsOffset` + 1 bytes, when it has them) cannot take
/// a labyrinth, each reason worded to follow the image's name; empty when it
/// can. The words of `checkImage`, for callers that hold the bytes.
std::vector<std::string> imageProblems(std::int64_t size, std::span<const std::uint8_t> header);
/// Checks that a text file holds the whole text block.
Status checkTextFile(RandomAccessFile& text);

}  // namespace labyrinth
