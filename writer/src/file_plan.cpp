#include "writer/file_plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "writer/image_file.h"
#include "writer/output_file.h"

namespace labyrinth {
namespace {

FileIdentity identityOf(const struct stat& info, std::string newName = {}) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), std::move(newName)};
}

// A file of the plan as messages call it, and what it is.
struct Known {
    std::string path;
    std::string option;  // the output's option; empty for an input
    FileIdentity identity;
    std::string role() const { return option.empty() ? "which this command reads" : "named for " + option; }
};

// Moves a standard stream that is one of the command's files off it, so that
// nothing more lands there: standard error goes where standard output goes
// when that is safe, otherwise both go to /dev/null.
void moveOff(int fd, bool outputAlsoRefused) {
    if (fd == STDERR_FILENO && !outputAlsoRefused) {
        ::dup2(STDOUT_FILENO, STDERR_FILENO);
        return;
    }
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (null < 0) return;
    ::dup2(null, fd);
    ::close(null);
}

// Standard output and standard error, each checked against every file of
// the plan; a refused one is moved off before the refusal is told.
Status checkStandardStreams(const std::vector<Known>& files) {
    const auto clash = [&](int fd) -> const Known* {
        const auto stream = identifyDescriptor(fd);
        if (!stream) return nullptr;
        for (const Known& file : files)
            if (file.identity == *stream) return &file;
        return nullptr;
    };
    const Known* output = clash(STDOUT_FILENO);
    const Known* error = clash(STDERR_FILENO);
    if (output == nullptr && error == nullptr) return {};
    if (output != nullptr) moveOff(STDOUT_FILENO, true);
    if (error != nullptr) moveOff(STDERR_FILENO, output != nullptr);
    const char* stream = output != nullptr ? "standard output" : "standard error";
    const Known& file = output != nullptr ? *output : *error;
    return Error{std::string(stream) + " is the same file as " + file.path + ", " + file.role() +
                 "; send " + stream + " to another file"};
}

}  // namespace

Result<FileIdentity> identify(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return identityOf(info);
    int err = errno;
    // A link that leads nowhere is a file of its own: a new file cannot take its name.
    if (err == ENOENT && ::lstat(path.c_str(), &info) == 0) return identityOf(info);
    if (err != ENOENT) return systemError(path, "cannot be found", err);
    const std::filesystem::path name(path);
    const std::string folder = name.has_parent_path() ? name.parent_path().string() : ".";
    if (::stat(folder.c_str(), &info) != 0) {
        err = errno;
        return systemError(path, "cannot be found", err);
    }
    const std::string last = name.filename().string();
    return identityOf(info, last.empty() ? path : last);
}

std::optional<FileIdentity> identifyDescriptor(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return identityOf(info);
}

Status checkOutputs(std::span<const PlannedOutput> outputs, std::span<const std::string> inputs, bool replace) {
    std::vector<Known> files;
    for (const std::string& input : inputs)
        if (auto identity = input.empty() ? Result<FileIdentity>(Error{}) : identify(input))
            files.push_back({input, "", identity.value()});
    const std::size_t inputCount = files.size();

    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const PlannedOutput& out = outputs[i];
        if (out.path.empty()) continue;
        if (out.path == standardOutputName) {
            if (!out.standardOutputAllowed)
                return Error{out.option + ": \"-\" (standard output) is taken only by --spoiler and --svg; name a file"};
            for (std::size_t j = 0; j < i; ++j)
                if (outputs[j].path == standardOutputName)
                    return Error{out.path + ": is named for both " + outputs[j].option + " and " + out.option};
            continue;
        }
        // A name whose folder cannot be found is refused by the target's own check below.
        auto identity = identify(out.path);
        if (!identity) continue;
        for (std::size_t k = 0; k < files.size(); ++k) {
            const Known& other = files[k];
            if (other.identity != identity.value()) continue;
            if (k < inputCount)
                return Error{out.path + (out.path == other.path ? ": this command reads that file"
                                                                : ": is the same file as " + other.path + ", " + other.role()) +
                             "; choose another file for " + out.option};
            if (out.path == other.path)
                return Error{out.path + ": is named for both " + other.option + " and " + out.option};
            return Error{out.path + ": is the same file as " + other.path + ", " + other.role() +
                         "; choose another file for " + out.option};
        }
        files.push_back({out.path, out.option, identity.value()});
    }
    for (const PlannedOutput& out : outputs)
        if (!out.path.empty() && out.path != standardOutputName)
            if (auto target = checkOutputTarget(out.path, replace); !target) return target;
    return checkStandardStreams(files);
}

}  // namespace labyrinth
