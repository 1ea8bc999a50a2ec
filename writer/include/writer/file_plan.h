#pragma once
// A command's files known by what they are, never by how their names are
// spelled. Before anything is written, every input, every output and the
// standard streams the command prints on are resolved to the file each
// leads to; two that are one file are refused, whatever --force says.
// `out.nes`, `./out.nes`, `d/../out.nes`, a name through a link to a folder,
// another hard link and the file behind `1<>out.nes` are all one file.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "writer/result.h"

namespace labyrinth {

/// What a name leads to. An existing file: its device and inode. A name
/// that leads to no file yet: its folder's device and inode, and its last
/// part, which the file will have once it is made.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string newName;  ///< empty for an existing file
    bool operator==(const FileIdentity&) const = default;
};

/// What `path` leads to now, links followed. Fails when neither the file
/// nor the folder it would be made in can be found.
Result<FileIdentity> identify(const std::string& path);

/// The regular file open on descriptor `fd`; nothing for a terminal, pipe,
/// device or socket, which no file of the player's can be.
std::optional<FileIdentity> identifyDescriptor(int fd);

/// The name that stands for standard output, for the outputs that take it.
inline constexpr std::string_view standardOutputName = "-";

/// One file a command is going to write, and the option that named it.
struct PlannedOutput {
    std::string option;  ///< such as "--png", for messages
    std::string path;    ///< empty when the option was not given
    bool standardOutputAllowed = false;  ///< "-" means standard output
};

/// Every rule at once for the files of one command, before it writes
/// anything: each output as `checkOutputTarget` (output_file.h) allows; "-"
/// only where allowed; no output is one of `inputs` or another output; and
/// neither standard output nor standard error is one of the command's files
/// (as `cat` refuses to read the file it writes). A standard stream so
/// refused is moved off that file at once (standard error onto standard
/// output, or either onto /dev/null), so that the refusal, and nothing
/// after it, lands in the player's file.
Status checkOutputs(std::span<const PlannedOutput> outputs, std::span<const std::string> inputs, bool replace);

}  // namespace labyrinth
